// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <vector>

#include <QMainWindow>
#include <QWidget>

namespace qtplatform {

class QtDrawer;

// Where the main window stands and how large it is: inside the screen it is on, and with
// room for the panes that are open.
class WindowPlacement {
public:
    WindowPlacement() = delete;

    // Gives the open panes the room they ask for at a first start; side panes that want
    // more height than the read-outs get it through a wider window.
    static void fitOpenPanes(QMainWindow& window, const std::vector<QtDrawer*>& open);
    // Keeps the window, frame included, inside its screen's available area, smaller if need
    // be (keeping its content's proportions).
    static void keepOnScreen(QWidget& window);
};

}  // namespace qtplatform
