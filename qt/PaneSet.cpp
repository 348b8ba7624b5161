// SPDX-License-Identifier: BSD-2-Clause
#include "qt/PaneSet.h"

#include <QCoreApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>

#include "qt/MessageText.h"
#include "platform/Settings.h"
#include "qt/QtButton.h"
#include "qt/QtMenuItem.h"
#include "qt/QtWindow.h"
#include "qt/WindowMenus.h"
#include "qt/WindowPlacement.h"

namespace qtplatform {

namespace {

// Where the window stands (Qt's own geometry record, so a window saved on a screen that is
// gone comes back on one that is there) and the names of the open panes.
const char* const kWindowGeometryKey = "windowGeometry";
const char* const kOpenPanesKey = "openPanes";

}  // namespace

QtDrawer& PaneSet::add(const NewPane& wanted)
{
    auto drawer = std::make_unique<QtDrawer>(m_window.widget(), wanted.edge,
                                             QString::fromStdString(wanted.name));
    QtDrawer* pane = drawer.get();
    m_drawers.push_back(std::move(drawer));
    pane->setTitle(text(wanted.titleKey));
    m_panes.push_back({wanted.name, pane});

    QtMenuItem* item = m_menus.add(m_viewMenu, wanted.name, wanted.menuKey, wanted.shortcut);
    item->setCheckable(true);
    item->setAction([pane] { pane->toggle(); });
    // A checkable action flips its own mark when chosen; the pane's state is what counts.
    QObject::connect(m_viewMenu, &QMenu::aboutToShow, item, [item, pane] { item->setChecked(pane->isOpen()); });
    if (wanted.button) wanted.button->setAction([pane] { pane->toggle(); });
    return *pane;
}

void PaneSet::forgetDelegates()
{
    for (const Pane& pane : m_panes) pane.drawer->setDelegate(nullptr);
}

void PaneSet::save() const
{
    Settings::setItem(kWindowGeometryKey, m_window.widget()->saveGeometry().toBase64().toStdString());
    std::string open;
    for (const Pane& pane : m_panes) {
        if (!pane.drawer->isOpen()) continue;
        if (!open.empty()) open += ',';
        open += pane.name;
    }
    Settings::setItem(kOpenPanesKey, open);
}

void PaneSet::restore()
{
    if (const auto stored = Settings::item(kOpenPanesKey, SettingType::Text)) {
        const QStringList names =
            QString::fromStdString(std::get<std::string>(*stored)).split(u',', Qt::SkipEmptyParts);
        for (const Pane& pane : m_panes) {
            if (names.contains(QString::fromStdString(pane.name)))
                pane.drawer->open();
            else
                pane.drawer->close();
        }
    }
    QMainWindow* widget = m_window.widget();
    std::vector<QtDrawer*> open;
    for (const Pane& pane : m_panes)
        if (pane.drawer->isOpen()) open.push_back(pane.drawer);
    WindowPlacement::fitOpenPanes(*widget, open);
    const auto geometry = Settings::item(kWindowGeometryKey, SettingType::Text);
    // Qt's restore keeps the window on a screen that exists; a damaged record is ignored.
    const bool restored =
        geometry && widget->restoreGeometry(QByteArray::fromBase64(
                        QByteArray::fromStdString(std::get<std::string>(*geometry))));
    // The screen may have become smaller since, and a first size may be larger than it.
    WindowPlacement::keepOnScreen(*widget);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (widget->layout()) widget->layout()->activate();
    WindowPlacement::keepOnScreen(*widget);
    // The first start centres with the size the window really has, panes included.
    if (!restored) m_window.center();
}

}  // namespace qtplatform
