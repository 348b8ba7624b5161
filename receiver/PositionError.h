// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// The receiver's estimated horizontal position error in feet: 24.5 feet per unit of HDOP.
// Shared by the satellites pane and the receiver test's estimate so the two always agree.
constexpr float estimatedPositionErrorFeet(float hdop) { return 24.5f * hdop; }
