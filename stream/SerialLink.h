// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "stream/ReaderLink.h"

// A receiver on a serial port. Owns the port when given one to own, and the ports it reopens.
class SerialLink : public ReaderLink {
public:
    // path and rate: where the port is open and at what line rate, for reopenAt().
    explicit SerialLink(Serial& serial, std::string path = {}, const std::string& rate = {});
    explicit SerialLink(std::unique_ptr<Serial> serial, std::string path = {}, const std::string& rate = {});
    ~SerialLink() override;

    Read read(ByteBuffer& bytes, double waitSeconds) override;
    bool write(const std::vector<std::uint8_t>& bytes) override;
    bool waitForInput(double seconds) override;
    void gather(double seconds) override;
    std::uint64_t bytesRead() const override;
    void cancel() override;
    void close() override;
    Serial* serial() override { return m_serial; }
    std::optional<std::uint32_t> lineRate() const override { return m_rate; }
    bool reopenAt(std::uint32_t baud) override;
    // Told the new port after reopenAt() replaced the old one (on the reading thread).
    void setReplacedListener(std::function<void(Serial&)> listener) { m_replaced = std::move(listener); }

private:
    std::unique_ptr<Serial> m_owned;
    Serial* m_serial;
    std::string m_path;
    std::optional<std::uint32_t> m_rate;
    std::uint64_t m_earlierBytes = 0;
    bool m_behind = false;  // the last read brought more than a gathering's worth
    std::function<void(Serial&)> m_replaced;
};
