// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtScreenshot.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

#include "stream/OutputFile.h"

namespace qtplatform {

QImage composeWindows(const std::vector<QWidget*>& windows, int margin)
{
    QRect area;
    for (const QWidget* window : windows) {
        if (window && window->isVisible()) area = area.united(window->geometry());
    }
    if (area.isEmpty()) return {};
    area.adjust(-margin, -margin, margin, margin);

    // At the display's scale (2 on a 200 % screen), so the picture has every device pixel.
    qreal scale = 1.0;
    for (const QWidget* window : windows)
        if (window && window->isVisible()) scale = std::max(scale, window->devicePixelRatioF());
    QImage picture((QSizeF(area.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(scale);
    picture.fill(QColor(62, 68, 78));
    QPainter painter(&picture);
    for (QWidget* window : windows) {
        if (!window || !window->isVisible()) continue;
        const QPixmap rendered = window->grab();
        const QPoint at = window->geometry().topLeft() - area.topLeft();
        painter.drawPixmap(at, rendered);
        // A sheet or panel over the window gets the edge a window manager would draw.
        if (window != windows.front()) {
            painter.setPen(QColor(0, 0, 0, 140));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRect(at - QPoint(1, 1), window->size() + QSize(1, 1)));
        }
    }
    painter.end();
    return picture;
}

bool writeScreenshot(const std::vector<QWidget*>& windows, const QString& path)
{
    const QImage picture = composeWindows(windows);
    if (picture.isNull()) return false;
    // Put in place whole, and never through a link planted at the name.
    OutputFile output;
    std::string why;
    if (!output.beginReplacing(path.toStdString(), why)) return false;
    QFile file;
    if (!file.open(output.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
        || !picture.save(&file, "PNG") || !file.flush())
        return false;
    file.close();
    return output.commit(why);
}

}  // namespace qtplatform
