#include "platform/qt/QtDrawer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <functional>
#include <QLayout>
#include <QMainWindow>
#include <QVBoxLayout>

namespace qtplatform {

// The pane's own close button (in its title bar) ends in closeEvent; the owner hears of it
// there, as it does of a close by code.
class QtDrawer::Dock : public QDockWidget {
public:
    Dock(QWidget* parent, QtDrawer& owner) : QDockWidget(parent), m_owner(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QDockWidget::closeEvent(event);
        if (event->isAccepted()) m_owner.closedByUser();
    }

private:
    QtDrawer& m_owner;
};

namespace {

Qt::DockWidgetArea areaOf(QtDrawer::Edge edge)
{
    switch (edge) {
    case QtDrawer::Edge::Left: return Qt::LeftDockWidgetArea;
    case QtDrawer::Edge::Right: return Qt::RightDockWidgetArea;
    case QtDrawer::Edge::Top: return Qt::TopDockWidgetArea;
    case QtDrawer::Edge::Bottom: return Qt::BottomDockWidgetArea;
    }
    return Qt::RightDockWidgetArea;
}

}  // namespace

QtDrawer::QtDrawer(QMainWindow* mainWindow, Edge edge, const QString& objectName)
    : m_mainWindow(mainWindow), m_edge(edge)
{
    m_dock = new Dock(mainWindow, *this);
    m_dock->setObjectName(objectName);
    // A floating pane would be a second top-level window again; panes stay on their side.
    m_dock->setFeatures(QDockWidget::DockWidgetClosable);
    m_dock->setAllowedAreas(areaOf(edge));
    m_content = new QWidget(m_dock);
    auto* frame = new QWidget(m_dock);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 4, 10, 10);
    layout->addWidget(m_content);
    m_dock->setWidget(frame);
    if (mainWindow) mainWindow->addDockWidget(areaOf(edge), m_dock);
    m_dock->hide();
}

QtDrawer::~QtDrawer()
{
    // The dock refers back to this object; it goes with it unless the window took it first.
    delete m_dock.data();
}

void QtDrawer::open()
{
    if (m_open) return;
    m_open = true;
    keepContentSize([this] { m_dock->show(); });
}

void QtDrawer::close()
{
    if (!m_open) return;
    keepContentSize([this] { m_dock->hide(); });
    m_open = false;
    if (m_delegate) m_delegate->drawerDidClose();
}

void QtDrawer::closedByUser()
{
    if (!m_open) return;
    keepContentSize([this] { m_dock->hide(); });
    m_open = false;
    if (m_delegate) m_delegate->drawerDidClose();
}

bool QtDrawer::isOpen() const
{
    return m_open;
}

void QtDrawer::setDelegate(platform::DrawerDelegate* delegate)
{
    m_delegate = delegate;
}

void QtDrawer::toggle()
{
    if (m_open)
        close();
    else
        open();
}

void QtDrawer::setTitle(const QString& title)
{
    m_dock->setWindowTitle(title);
}

QWidget* QtDrawer::contentView() const
{
    return m_content;
}

QDockWidget* QtDrawer::panel() const
{
    return m_dock;
}

void QtDrawer::keepContentSize(const std::function<void()>& change)
{
    QMainWindow* window = m_mainWindow;
    QWidget* content = window ? window->centralWidget() : nullptr;
    // Before the window shows it takes its first size from its layout, panes included; a
    // maximised or full-screen window keeps the size the desktop gave it.
    if (!content || !window->isVisible() || window->isMaximized() || window->isFullScreen()) {
        change();
        return;
    }
    const QSize before = content->size();
    change();
    // The layout learns of the shown or hidden pane only at its next pass, which is queued;
    // take it now, then give the content back what the pane took or took back.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (window->layout()) window->layout()->activate();
    const QSize after = content->size();
    QSize size = window->size();
    if (m_edge == Edge::Left || m_edge == Edge::Right)
        size.rwidth() += before.width() - after.width();
    else
        size.rheight() += before.height() - after.height();
    window->resize(size.expandedTo(window->minimumSize()));
}

}  // namespace qtplatform
