// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtWindow.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLayout>
#include <QResizeEvent>
#include <QScreen>
#include <cmath>

namespace qtplatform {

class QtWindow::Widget : public QMainWindow {
public:
    platform::WindowDelegate* delegate = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QMainWindow::closeEvent(event);
        if (!event->isAccepted() || m_closed) return;
        m_closed = true;
        if (delegate) delegate->windowWillClose();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QMainWindow::resizeEvent(event);
        if (!delegate) return;
        if (!m_adjusting) {
            // The delegate rules the content (the read-outs), not the panes and menu bar
            // around it. The main window lays out later by itself; lay out now to learn the
            // content's share of the new size. Panes that stood before keep their size.
            const bool settled = isVisible() && event->oldSize().isValid();
            auto panes = settled ? paneSizes() : PaneSizes{};
            relayout();
            panes.measure();
            const QSize proposed =
                content()->size() - QSize(0, centralWidget() ? menuBarHeight() : 0);
            const QSize around = event->size() - proposed;
            const platform::Size answer = delegate->windowWillResize(
                {static_cast<float>(proposed.width()), static_cast<float>(proposed.height())});
            const QSize answered(static_cast<int>(std::lround(answer.width)),
                                 static_cast<int>(std::lround(answer.height)));
            const QSize wanted = (answered + panes.shrink(around)).expandedTo(minimumSize());
            if (wanted != event->size()) {
                // Qt asks nobody before a resize; take the delegate's size now. The nested
                // resize event reports the final size.
                m_adjusting = true;
                resize(wanted);
                restorePaneSizes(panes);
                m_adjusting = false;
                return;
            }
        }
        delegate->windowDidResize();
    }

    // Lays the window out at its present size now (menu bar included), not at Qt's next pass.
    // Qt's own pass puts the menu bar above; this one lays out the whole window, so the
    // content comes out higher by the menu bar's height.
    void relayout()
    {
        if (layout()) layout()->setGeometry(rect());
    }
    int menuBarHeight() const
    {
        const QWidget* bar = layout() ? layout()->menuBar() : nullptr;
        if (!bar || bar->isHidden()) return 0;
        return bar->hasHeightForWidth() ? bar->heightForWidth(width()) : bar->sizeHint().height();
    }

    // The panes' sizes across their sides, as they were before a resize.
    struct PaneSizes {
        QList<QDockWidget*> across, upright;
        QList<int> heights, widths;
        int grownHeight = 0, grownWidth = 0;  // what the layout gave the panes since

        void measure()
        {
            for (int i = 0; i < across.size(); ++i) grownHeight += across[i]->height() - heights[i];
            for (int i = 0; i < upright.size(); ++i) grownWidth += upright[i]->width() - widths[i];
        }
        QSize shrink(QSize around) const { return around - QSize(grownWidth, grownHeight); }
    };
    void restorePaneSizes(const PaneSizes& sizes)
    {
        if (!sizes.across.isEmpty()) resizeDocks(sizes.across, sizes.heights, Qt::Vertical);
        if (!sizes.upright.isEmpty()) resizeDocks(sizes.upright, sizes.widths, Qt::Horizontal);
        relayout();
    }
    PaneSizes paneSizes()
    {
        PaneSizes sizes;
        for (QDockWidget* pane : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
            if (pane->isHidden()) continue;
            const Qt::DockWidgetArea area = dockWidgetArea(pane);
            if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea) {
                sizes.across.append(pane);
                sizes.heights.append(pane->height());
            } else {
                sizes.upright.append(pane);
                sizes.widths.append(pane->width());
            }
        }
        return sizes;
    }

public:
    const QWidget* content() const { return centralWidget() ? centralWidget() : this; }

private:
    bool m_adjusting = false;
    bool m_closed = false;
};

QtWindow::QtWindow() : m_widget(std::make_unique<Widget>()) {}

QtWindow::~QtWindow()
{
    m_widget->delegate = nullptr;
}

QMainWindow* QtWindow::widget() const
{
    return m_widget.get();
}

void QtWindow::center()
{
    const QScreen* screen = m_widget->screen() ? m_widget->screen()
                                               : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = m_widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    m_widget->move(frame.topLeft());
}

void QtWindow::show()
{
    m_widget->show();
    m_widget->raise();
    m_widget->activateWindow();
}

void QtWindow::close()
{
    m_widget->close();
}

platform::Size QtWindow::minSize() const
{
    const QSize minimum = m_widget->content()->minimumSize();
    return {static_cast<float>(minimum.width()), static_cast<float>(minimum.height())};
}

platform::Size QtWindow::size() const
{
    const QSize current = m_widget->content()->size();
    return {static_cast<float>(current.width()), static_cast<float>(current.height())};
}

void QtWindow::setDelegate(platform::WindowDelegate* delegate)
{
    m_widget->delegate = delegate;
}

QWidget* widgetForWindow(platform::Window* window)
{
    auto* qtWindow = dynamic_cast<QtWindow*>(window);
    return qtWindow ? qtWindow->widget() : nullptr;
}

}  // namespace qtplatform
