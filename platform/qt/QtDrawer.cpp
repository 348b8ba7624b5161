#include "platform/qt/QtDrawer.h"

#include <QEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace qtplatform {

namespace {
// How far a side drawer stays in from the window's corners, as drawers do.
constexpr int kInset = 8;
}

QtDrawer::QtDrawer(QWidget* mainWindow, Edge edge) : m_mainWindow(mainWindow), m_edge(edge)
{
    m_panel = new QFrame(mainWindow, Qt::Tool | Qt::FramelessWindowHint);
    m_panel->setFrameShape(QFrame::StyledPanel);
    m_panel->setFrameShadow(QFrame::Raised);
    m_panel->setAutoFillBackground(true);
    QPalette colours = m_panel->palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Window).darker(106));
    m_panel->setPalette(colours);

    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(10, 10, 10, 10);
    m_content = new QWidget(m_panel);
    layout->addWidget(m_content);

    // A drawer can always be pushed back in from the drawer itself.
    m_closeButton = new QToolButton(m_panel);
    m_closeButton->setText(QStringLiteral("\u2715"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setToolTip(QStringLiteral("Close"));
    m_closeButton->setFixedSize(18, 18);
    connect(m_closeButton, &QToolButton::clicked, this, [this] { close(); });

    if (mainWindow) mainWindow->installEventFilter(this);
}

QtDrawer::~QtDrawer()
{
    if (m_mainWindow) m_mainWindow->removeEventFilter(this);
}

void QtDrawer::open()
{
    if (m_open) return;
    m_open = true;
    place();
    if (!m_mainWindow || m_mainWindow->isVisible()) m_panel->show();
}

void QtDrawer::close()
{
    if (!m_open) return;
    m_open = false;
    m_panel->hide();
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

QWidget* QtDrawer::contentView() const
{
    return m_content;
}

QWidget* QtDrawer::panel() const
{
    return m_panel;
}

bool QtDrawer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_mainWindow) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            if (m_open) place();
            break;
        case QEvent::Show:
            if (m_open) {
                place();
                m_panel->show();
            }
            // The window manager adds the frame only once the window is up, and the window
            // hears of it by no event: place again when it has had its turn.
            QTimer::singleShot(0, this, [this] {
                if (m_open) place();
            });
            break;
        case QEvent::Hide:
            m_panel->hide();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void QtDrawer::place()
{
    if (!m_mainWindow) return;
    const QRect frame = m_mainWindow->frameGeometry();
    const QRect client = m_mainWindow->geometry();
    const QSize wanted = m_panel->sizeHint().expandedTo(m_panel->minimumSizeHint());
    QRect rect;
    switch (m_edge) {
    case Edge::Left:
    case Edge::Right: {
        const int height = std::max(client.height() - 2 * kInset, wanted.height());
        const int x = m_edge == Edge::Left ? frame.left() - wanted.width() : frame.right() + 1;
        rect = QRect(x, client.top() + kInset, wanted.width(), height);
        break;
    }
    case Edge::Top:
    case Edge::Bottom: {
        const int width = std::max(client.width() - 2 * kInset, wanted.width());
        const int y = m_edge == Edge::Top ? frame.top() - wanted.height() : frame.bottom() + 1;
        rect = QRect(client.left() + kInset, y, width, wanted.height());
        break;
    }
    }
    m_panel->setGeometry(rect);
    m_closeButton->move(rect.width() - m_closeButton->width() - 3, 3);
    m_closeButton->raise();
}

}  // namespace qtplatform
