// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtImageView.h"

#include <QImageReader>

#include "platform/Alerts.h"
#include "platform/Services.h"

namespace qtplatform {

QtImageView::QtImageView(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setMinimumSize(1, 1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

bool QtImageView::setImageNamed(const std::string& name)
{
    const platform::Bundle* bundle = platform::services().bundle;
    const auto path = bundle ? bundle->pathForResource(name) : std::nullopt;
    if (!path) {
        m_picture = QPixmap();
        clear();
        return false;
    }
    return setImageFile(QString::fromStdString(*path));
}

bool QtImageView::setImageFile(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    m_picture = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    showScaled();
    return !m_picture.isNull();
}

void QtImageView::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    showScaled();
}

void QtImageView::showScaled()
{
    if (m_picture.isNull()) {
        clear();
        return;
    }
    // Scaled for the screen's pixels, so the picture stays sharp on a high-density screen.
    const qreal ratio = devicePixelRatioF();
    QPixmap scaled = m_picture.scaled(size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    setPixmap(scaled);
}

}  // namespace qtplatform
