// SPDX-License-Identifier: BSD-2-Clause
#include "qt/WindowMenus.h"

#include <QMainWindow>
#include <QMenu>

#include "platform/Alert.h"
#include "qt/MessageText.h"
#include "qt/QtMenuItem.h"

namespace qtplatform {


QtMenuItem* WindowMenus::add(QMenu* menu, const std::string& name, const std::string& titleKey,
                             const QKeySequence& shortcut)
{
    auto* item = new QtMenuItem(text(titleKey), &m_window);
    item->setObjectName(QString::fromStdString(name));
    item->setShortcut(shortcut);
    m_window.addAction(item);
    menu->addAction(item);
    m_items[name] = item;
    return item;
}

void WindowMenus::validateOnShow(QMenu* menu)
{
    menu->setToolTipsVisible(true);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        for (QAction* action : menu->actions())
            if (auto* item = qobject_cast<QtMenuItem*>(action)) item->validate();
    });
}

void WindowMenus::registerCommand(const std::string& name, std::function<void()> action,
                                  std::function<bool()> isEnabled)
{
    QtMenuItem* found = item(name);
    if (!found) return;
    const bool bound = static_cast<bool>(action);
    found->setAction(std::move(action));
    found->setToolTip(bound ? QString() : text("tooltip.unavailable"));
    found->setValidator([bound, isEnabled = std::move(isEnabled)](platform::MenuItem*) {
        return bound && (!isEnabled || isEnabled());
    });
    found->validate();
}

QtMenuItem* WindowMenus::item(const std::string& name) const
{
    const auto found = m_items.find(name);
    return found == m_items.end() ? nullptr : found->second;
}

}  // namespace qtplatform
