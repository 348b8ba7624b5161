// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtScreen.h"

#include <QGuiApplication>
#include <QScreen>

namespace qtplatform {

std::optional<platform::Size> QtScreen::mainScreenSize() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    const QSize size = screen->size();
    return platform::Size{static_cast<float>(size.width()), static_cast<float>(size.height())};
}

std::optional<float> QtScreen::horizontalDPI() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    const qreal dpi = screen->physicalDotsPerInchX();
    if (dpi <= 0) return std::nullopt;
    return static_cast<float>(dpi);
}

}  // namespace qtplatform
