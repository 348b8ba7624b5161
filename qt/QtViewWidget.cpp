// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtViewWidget.h"

#include <QPaintEvent>
#include <QPainter>

#include "qt/QtCanvas.h"

namespace qtplatform {

QtViewWidget::QtViewWidget(QWidget* parent) : QWidget(parent)
{
    // A view fills its own background (the window's colour, as behind it), so that a view
    // repainted at every update does not have the pane behind it painted first.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

QtViewWidget::~QtViewWidget()
{
    if (m_view && m_view->host() == this) m_view->setHost(nullptr);
}

void QtViewWidget::setView(platform::View* view)
{
    if (m_view && m_view->host() == this) m_view->setHost(nullptr);
    m_view = view;
    if (m_view) m_view->setHost(this);
    update();
}

void QtViewWidget::setNeedsDisplay()
{
    update();
}

platform::Rect QtViewWidget::bounds() const
{
    return {0.0f, 0.0f, static_cast<float>(width()), static_cast<float>(height())};
}

void QtViewWidget::setWindowAlphaValue(float alpha)
{
    window()->setWindowOpacity(alpha);
}

void QtViewWidget::paintEvent(QPaintEvent* event)
{
    if (!m_view) return;
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    // The views draw on the window's background, light or dark as the desktop has it.
    QtCanvas canvas(painter, height(), palette().color(QPalette::Window).lightness() < 128);
    // The compass takes its geometry from the rectangle it is given, so it is always the
    // whole view; Qt clips to the exposed part by itself.
    m_view->drawRect(canvas, bounds());
}

}  // namespace qtplatform
