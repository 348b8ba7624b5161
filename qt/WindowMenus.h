// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QKeySequence>
#include <functional>
#include <map>
#include <string>

class QMainWindow;
class QMenu;

namespace qtplatform {

class QtMenuItem;

// The window's menu items by name: each made with its title (a message key) and shortcut,
// and carried by the window too, so that its shortcut works with the menu bar closed.
// Commands other parts of the program provide are registered by name; every item is
// validated just before its menu shows.
class WindowMenus {
public:
    explicit WindowMenus(QMainWindow& window) : m_window(window) {}

    QtMenuItem* add(QMenu* menu, const std::string& name, const std::string& titleKey,
                    const QKeySequence& shortcut = {});
    // The menu's items are validated just before it shows; a disabled one says why on hover.
    void validateOnShow(QMenu* menu);
    // An item stays disabled, saying why in its tooltip, until its command is registered;
    // isEnabled, when given, is asked before the menu shows.
    void registerCommand(const std::string& name, std::function<void()> action,
                         std::function<bool()> isEnabled = {});
    // nullptr for none.
    QtMenuItem* item(const std::string& name) const;

private:
    QMainWindow& m_window;
    std::map<std::string, QtMenuItem*> m_items;
};

}  // namespace qtplatform
