// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QDockWidget>
#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/Drawer.h"

class QMainWindow;

namespace qtplatform {

// A pane on one side of the main window (a dock area of that window, never a window of its
// own), so the desktop places, tiles and scales the program as one window. Opening a pane
// makes the window larger by the pane and closing it gives that room back, so the read-outs
// keep their size, unless the window is maximised or the window manager says otherwise.
class QtDrawer : public QObject, public platform::Drawer {
    Q_OBJECT
public:
    enum class Edge { Left, Right, Top, Bottom };

    // The pane belongs to the main window (Qt parent). objectName names it in the stored
    // window state.
    QtDrawer(QMainWindow* mainWindow, Edge edge, const QString& objectName = QString());
    ~QtDrawer() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void setDelegate(platform::DrawerDelegate* delegate) override;

    // What the pane's button and menu item do.
    void toggle();
    void setTitle(const QString& title);
    // Where the pane's controls go.
    QWidget* contentView() const;
    // The dock widget itself.
    QDockWidget* panel() const;
    Edge edge() const { return m_edge; }

private:
    class Dock;
    // Shows or hides the pane (change) and resizes the window so that its content keeps
    // its size across the pane's side.
    void keepContentSize(const std::function<void()>& change);
    void closedByUser();

    QPointer<QMainWindow> m_mainWindow;
    Edge m_edge;
    QPointer<QDockWidget> m_dock;
    QWidget* m_content = nullptr;
    platform::DrawerDelegate* m_delegate = nullptr;
    bool m_open = false;
};

}  // namespace qtplatform
