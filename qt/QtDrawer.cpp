// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtDrawer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <functional>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QGuiApplication>
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

// What a pane keeps of its own when the window is made small: room for its scroll bars and
// a glimpse of its content. Small enough that the read-outs and a pane on each side fit a
// window of about 640 x 400.
const QSize kMinimumPaneSize(72, 80);

// Asks for its content's room, as far as a share of the screen goes (Qt's own scroll area
// asks for a fixed size), and scrolls only when the window cannot give that. It hears of
// every change of its content's wish, so the window's layout never keeps a stale one.
class PaneScroller : public QScrollArea {
public:
    explicit PaneScroller(QWidget* parent) : QScrollArea(parent) {}

    QSize sizeHint() const override
    {
        const QWidget* content = widget();
        if (!content) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        QSize wanted = content->sizeHint().expandedTo(content->minimumSizeHint()) + QSize(frame, frame);
        if (const QScreen* shown = screen()) wanted = wanted.boundedTo(shown->availableSize() * 0.45);
        return wanted.expandedTo(kMinimumPaneSize);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget() && event->type() == QEvent::LayoutRequest) updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }
};

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
    // A pane that does not fit scrolls: its content never makes the window larger than
    // the screen, and the window's smallest size does not grow with every open pane.
    auto* scroller = new PaneScroller(m_dock);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setMinimumSize(kMinimumPaneSize);
    auto* frame = new QWidget(scroller);
    m_content = new QWidget(frame);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 4, 10, 10);
    layout->addWidget(m_content);
    scroller->setWidget(frame);
    m_dock->setWidget(scroller);
    if (mainWindow) {
        // Panes on one side share it as tabs instead of stacking up across the screen.
        QDockWidget* neighbour = nullptr;
        for (QDockWidget* dock : mainWindow->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
            if (dock != m_dock && mainWindow->dockWidgetArea(dock) == areaOf(edge)) neighbour = dock;
        mainWindow->addDockWidget(areaOf(edge), m_dock);
        if (neighbour) mainWindow->tabifyDockWidget(neighbour, m_dock);
    }
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
    // A pane that shares its side comes to the front as its tab.
    m_dock->raise();
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
