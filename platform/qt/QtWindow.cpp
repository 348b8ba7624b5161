#include "platform/qt/QtWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
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
            const QSize proposed = event->size();
            const platform::Size answer = delegate->windowWillResize(
                {static_cast<float>(proposed.width()), static_cast<float>(proposed.height())});
            const QSize wanted =
                QSize(static_cast<int>(std::lround(answer.width)),
                      static_cast<int>(std::lround(answer.height)))
                    .expandedTo(minimumSize());
            if (wanted != proposed) {
                // Qt asks nobody before a resize; take the delegate's size now. The nested
                // resize event reports the final size.
                m_adjusting = true;
                resize(wanted);
                m_adjusting = false;
                return;
            }
        }
        delegate->windowDidResize();
    }

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

void QtWindow::makeKeyAndOrderFront()
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
    const QSize minimum = m_widget->minimumSize();
    return {static_cast<float>(minimum.width()), static_cast<float>(minimum.height())};
}

platform::Size QtWindow::size() const
{
    const QSize current = m_widget->size();
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
