// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

// The configuration keys the simulated receiver acts on, by id, shared by its key table and
// its older CFG messages.
namespace sim::keyid {

constexpr std::uint8_t kCfg = 0x06;  // the CFG message class
constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kRateNav = 0x30210002;
constexpr std::uint32_t kRateTimeRef = 0x20210003;
constexpr std::uint32_t kUart1Baud = 0x40520001;
constexpr std::uint32_t kUart1OutUbx = 0x10740001;
constexpr std::uint32_t kUart1OutNmea = 0x10740002;
constexpr std::uint32_t kNavPvtUart1 = 0x20910007;
constexpr std::uint32_t kNavSatUart1 = 0x20910016;
constexpr std::uint32_t kNavSigUart1 = 0x20910346;
constexpr std::uint32_t kNavDopUart1 = 0x20910039;

}  // namespace sim::keyid
