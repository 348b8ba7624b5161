// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "platform/View.h"

// The round data-ready lamp: 0 red (no data), 1 yellow (sentences without a handler),
// 2 green (handled sentences). It changes only when told to.
class DataLampView : public platform::View {
public:
    static constexpr std::uint32_t kNoData = 0;
    static constexpr std::uint32_t kUnhandled = 1;
    static constexpr std::uint32_t kHandled = 2;

    // Stores the state and asks for a redraw when it differs from the current one.
    void drawDataReady(std::uint32_t state);
    std::uint32_t dataReadyState() const { return m_dataReadyState; }

    bool isOpaque() const override { return false; }
    // Draws the lamp inside the rectangle (the whole view).
    void drawRect(platform::Canvas& canvas, const platform::Rect& rect) override;

private:
    std::uint32_t m_dataReadyState = kNoData;
};
