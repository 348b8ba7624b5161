// SPDX-License-Identifier: BSD-2-Clause
#include "qt/DesktopTheme.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStyleFactory>
#include <cstdlib>
#include <string_view>

namespace qtplatform {

bool DesktopTheme::prefersDark(const Environment& environment, const SchemeReader& scheme)
{
    if (const char* theme = environment("GTK_THEME"); theme && *theme) {
        const std::string_view name(theme);
        return name.ends_with(":dark") || name.find("-dark") != std::string_view::npos ||
               name.find("-Dark") != std::string_view::npos;
    }
    const auto setting = scheme ? scheme() : std::nullopt;
    return setting && setting->find("prefer-dark") != std::string::npos;
}

std::optional<std::string> DesktopTheme::gnomeColorScheme()
{
    if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty()) return std::nullopt;
    QProcess gsettings;
    gsettings.start(QStringLiteral("gsettings"),
                    {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                     QStringLiteral("color-scheme")});
    if (!gsettings.waitForFinished(500) || gsettings.exitStatus() != QProcess::NormalExit ||
        gsettings.exitCode() != 0) {
        gsettings.kill();
        gsettings.waitForFinished(100);
        return std::nullopt;
    }
    return gsettings.readAllStandardOutput().trimmed().toStdString();
}

bool DesktopTheme::isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QPalette DesktopTheme::darkPalette()
{
    QPalette dark;
    const QColor window(45, 47, 51), base(30, 32, 35), text(232, 234, 237), dim(150, 155, 162);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::PlaceholderText, dim);
    dark.setColor(QPalette::Button, QColor(58, 61, 66));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, QColor(255, 110, 110));
    dark.setColor(QPalette::Light, QColor(75, 78, 84));
    dark.setColor(QPalette::Midlight, QColor(64, 67, 72));
    dark.setColor(QPalette::Mid, QColor(90, 94, 100));
    dark.setColor(QPalette::Dark, QColor(25, 26, 28));
    dark.setColor(QPalette::Shadow, QColor(10, 10, 10));
    dark.setColor(QPalette::Highlight, QColor(53, 132, 228));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::Link, QColor(120, 174, 237));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(110, 114, 120));
    return dark;
}

void DesktopTheme::follow(QApplication& application)
{
    if (isDark(QApplication::palette())) return;
    if (!prefersDark(::getenv, &DesktopTheme::gnomeColorScheme)) return;
    // Fusion draws every control from the palette; other styles may keep light parts.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    application.setPalette(darkPalette());
}

}  // namespace qtplatform
