// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QKeySequence>
#include <memory>
#include <string>
#include <vector>

#include "qt/QtDrawer.h"

class QMainWindow;
class QMenu;

namespace qtplatform {

class QtButton;
class QtWindow;
class WindowMenus;

// The panes on the window's four sides, each with a View menu item that opens and closes
// it; and which of them are open, and where the window stands, kept in the preferences.
class PaneSet {
public:
    // name keys the pane in the stored window state; titleKey (the pane's title) and menuKey
    // (its menu item, with its mnemonic) are message keys. The button, when given, opens and
    // closes the pane too.
    struct NewPane {
        std::string name;
        std::string titleKey;
        std::string menuKey;
        QtDrawer::Edge edge = QtDrawer::Edge::Right;
        QKeySequence shortcut;
        QtButton* button = nullptr;
    };

    PaneSet(QtWindow& window, WindowMenus& menus) : m_window(window), m_menus(menus) {}
    void setViewMenu(QMenu* menu) { m_viewMenu = menu; }

    QtDrawer& add(const NewPane& wanted);
    // Every pane lets go of its delegate (before the controllers go).
    void forgetDelegates();

    void save() const;
    // The panes open as stored (a first start keeps those the controllers opened), then the
    // window where it stood, on a screen that is there, sized for its open panes.
    void restore();

private:
    struct Pane {
        std::string name;
        QtDrawer* drawer = nullptr;
    };

    QtWindow& m_window;
    WindowMenus& m_menus;
    QMenu* m_viewMenu = nullptr;
    std::vector<Pane> m_panes;
    std::vector<std::unique_ptr<QtDrawer>> m_drawers;
};

}  // namespace qtplatform
