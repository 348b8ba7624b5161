// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtFont.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace qtplatform {

QColor qtColor(platform::Color color)
{
    switch (color) {
    case platform::Color::Black: return QColor(0, 0, 0);
    case platform::Color::White: return QColor(255, 255, 255);
    case platform::Color::Red: return QColor(255, 0, 0);
    case platform::Color::Green: return QColor(0, 255, 0);
    case platform::Color::Yellow: return QColor(255, 255, 0);
    case platform::Color::ControlShadow: return QColor(128, 128, 128);
    case platform::Color::Blue: return QColor(0, 0, 255);
    case platform::Color::Orange: return QColor(255, 128, 0);
    case platform::Color::Purple: return QColor(128, 0, 128);
    case platform::Color::Cyan: return QColor(0, 255, 255);
    case platform::Color::Magenta: return QColor(255, 0, 255);
    case platform::Color::Brown: return QColor(153, 102, 51);
    case platform::Color::LightGray: return QColor(170, 170, 170);
    }
    return QColor(0, 0, 0);
}

QFont qtFont(const platform::Font& font, qreal logicalDpi)
{
    QFont result = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (font.kind == platform::FontKind::BoldSystem) result.setBold(true);
    const qreal pointSize = font.pointSize > 0.0f ? font.pointSize : 12.0;
    const qreal dpi = logicalDpi > 0.0 ? logicalDpi : 72.0;
    result.setPointSizeF(pointSize * 72.0 / dpi);
    return result;
}

}  // namespace qtplatform
