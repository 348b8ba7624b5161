#pragma once

#include <QFrame>
#include <QObject>
#include <QPointer>

#include "platform/Drawer.h"

class QToolButton;

namespace qtplatform {

// A panel that slides out of one edge of the main window: a frameless tool window that
// stays attached to that edge and follows the window when it moves or resizes. Being a
// window of its own, it never changes the main window's size or proportions.
class QtDrawer : public QObject, public platform::Drawer {
    Q_OBJECT
public:
    enum class Edge { Left, Right, Top, Bottom };

    // The panel belongs to the main window (Qt parent) and follows it.
    QtDrawer(QWidget* mainWindow, Edge edge);
    ~QtDrawer() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void setDelegate(platform::DrawerDelegate* delegate) override;

    // What the drawer's button does.
    void toggle();
    // Where the drawer's controls go.
    QWidget* contentView() const;
    // The panel window itself (for pictures of the whole program).
    QWidget* panel() const;
    Edge edge() const { return m_edge; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> m_mainWindow;
    Edge m_edge;
    QFrame* m_panel = nullptr;
    QWidget* m_content = nullptr;
    QToolButton* m_closeButton = nullptr;
    platform::DrawerDelegate* m_delegate = nullptr;
    bool m_open = false;
};

}  // namespace qtplatform
