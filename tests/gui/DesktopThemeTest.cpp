// SPDX-License-Identifier: BSD-2-Clause
// Following a dark desktop: when the program takes a dark palette, and how the instruments
// draw on it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <map>

#include "GuiTestApp.h"
#include "qt/DesktopTheme.h"
#include "qt/QtCanvas.h"

using namespace qtplatform;

TEST(DesktopThemeTest, DarkWhenGtkThemeOrTheColourSchemeAsksForIt)
{
    const struct {
        const char* name;
        const char* gtkTheme;  // nullptr: unset
        std::optional<std::string> scheme;
        bool dark;
    } cases[] = {
        {"GTK_THEME dark variant", "Adwaita:dark", std::nullopt, true},
        {"GTK_THEME dark theme name", "Arc-Dark", std::string("'default'"), true},
        {"GTK_THEME light wins over the scheme", "Adwaita", std::string("'prefer-dark'"), false},
        {"scheme prefers dark", nullptr, std::string("'prefer-dark'"), true},
        {"scheme default", nullptr, std::string("'default'"), false},
        {"nothing known", nullptr, std::nullopt, false},
        {"empty GTK_THEME counts as unset", "", std::string("'prefer-dark'"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto environment = [&](const char* name) -> const char* {
            return std::string(name) == "GTK_THEME" ? c.gtkTheme : nullptr;
        };
        EXPECT_EQ(DesktopTheme::prefersDark(environment, [&] { return c.scheme; }), c.dark);
    }
    EXPECT_TRUE(DesktopTheme::isDark(DesktopTheme::darkPalette()));
    const QPalette dark = DesktopTheme::darkPalette();
    EXPECT_GT(dark.color(QPalette::Text).lightness() - dark.color(QPalette::Base).lightness(), 150)
        << "read-out text on its field";
}

TEST(DesktopThemeTest, InstrumentsDrawLightLinesOnADarkBackground)
{
    guiTestApp();
    for (const bool darkBackground : {false, true}) {
        SCOPED_TRACE(darkBackground ? "dark" : "light");
        QImage picture(20, 20, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        {
            QPainter painter(&picture);
            QtCanvas canvas(painter, 20, darkBackground);
            canvas.setColor(platform::Color::Black);
            canvas.fillRect({0, 0, 10, 20});
            canvas.setColor(platform::Color::White);
            canvas.fillRect({10, 0, 10, 20});
            canvas.setColor(platform::Color::Green);
            canvas.fillRect({0, 0, 2, 2});
        }
        const int line = QColor(picture.pixel(5, 5)).lightness();
        const int face = QColor(picture.pixel(15, 5)).lightness();
        if (darkBackground)
            EXPECT_GT(line, face + 150);
        else
            EXPECT_LT(line + 150, face);
        EXPECT_EQ(QColor(picture.pixel(1, 18)), QColor(0, 255, 0)) << "signal colours stay";
    }
}
