// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QPalette>
#include <functional>
#include <optional>
#include <string>

class QApplication;

namespace qtplatform {

// The desktop's light or dark colour scheme. Qt's own platform themes carry a dark palette
// on some desktops only; where the desktop asks for dark and Qt's palette is light, the
// program takes a dark palette of its own.
class DesktopTheme {
public:
    using Environment = std::function<const char*(const char*)>;
    // The GNOME colour-scheme setting ("'prefer-dark'", "'default'"), nothing when unknown.
    using SchemeReader = std::function<std::optional<std::string>()>;

    // Whether the desktop asks for dark: GTK_THEME naming a dark variant ("Adwaita:dark",
    // "Adwaita-dark"), else the colour-scheme setting.
    static bool prefersDark(const Environment& environment, const SchemeReader& scheme);
    // The setting as gsettings reports it; nothing without gsettings or within half a second.
    static std::optional<std::string> gnomeColorScheme();

    static bool isDark(const QPalette& palette);
    // A dark palette for the Fusion style, legible on the read-outs and in the panes.
    static QPalette darkPalette();
    // Gives the application the dark palette when the desktop asks for dark and Qt did not.
    static void follow(QApplication& application);
};

}  // namespace qtplatform
