// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QColor>
#include <QFont>

#include "platform/Drawing.h"

// Conversions from the platform's named colours and fonts to Qt's.
namespace qtplatform {

// The named colours are Qt's pure colours (green is 0, 255, 0).
QColor qtColor(platform::Color color);

// A platform font at its size in points, where one point is one unit of the view's geometry
// (one logical pixel). The paint device's logical DPI turns that into Qt's point size, so a
// 12-point text is 12 units tall wherever it is drawn.
QFont qtFont(const platform::Font& font, qreal logicalDpi);

}  // namespace qtplatform
