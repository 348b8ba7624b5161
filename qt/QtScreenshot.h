// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QImage>
#include <QString>
#include <vector>

class QWidget;

namespace qtplatform {

// One picture of several top-level windows (the main window and the sheets over it), each
// rendered by Qt and placed where it stands on the screen, on a plain backdrop, in device
// pixels. Works on every platform plugin, offscreen included, because no screen is read back.
QImage composeWindows(const std::vector<QWidget*>& windows, int margin = 16);

// Writes the picture as PNG; false when it cannot be written.
bool writeScreenshot(const std::vector<QWidget*>& windows, const QString& path);

}  // namespace qtplatform
