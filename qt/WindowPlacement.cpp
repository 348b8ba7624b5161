// SPDX-License-Identifier: BSD-2-Clause
#include "qt/WindowPlacement.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLayout>
#include <QList>
#include <QScreen>

#include "qt/QtDrawer.h"

namespace qtplatform {

void WindowPlacement::fitOpenPanes(QMainWindow& window, const std::vector<QtDrawer*>& open)
{
    // The panes' layout passes are queued; their sizes count in the window's first size.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window.resize(window.sizeHint().expandedTo(window.minimumSizeHint()));
    // The panes were placed when the window first showed, before their contents had a
    // size; now they get the room they ask for, and the read-outs keep theirs.
    QList<QDockWidget*> across, upright;
    QList<int> heights, widths;
    for (QtDrawer* pane : open) {
        QDockWidget* dock = pane->panel();
        const QSize wanted = dock->sizeHint();
        if (pane->edge() == QtDrawer::Edge::Left || pane->edge() == QtDrawer::Edge::Right) {
            upright.append(dock);
            widths.append(wanted.width());
        } else {
            across.append(dock);
            heights.append(wanted.height());
        }
    }
    if (!upright.isEmpty()) window.resizeDocks(upright, widths, Qt::Horizontal);
    if (!across.isEmpty()) window.resizeDocks(across, heights, Qt::Vertical);
    // Side panes are as high as the read-outs, whose proportions are fixed: a side pane
    // that wants more height gets it through a wider window. What the pane really gets is
    // measured after each layout pass (tabs, separators and rounding take their share), so
    // that it does not start a few points short, with both scroll bars.
    const QSize smallest = window.centralWidget()->minimumSize();
    for (int round = 0; round < 4 && smallest.height() > 0; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (window.layout()) window.layout()->activate();
        int taller = 0;
        for (QDockWidget* dock : upright)
            taller = std::max(taller, dock->sizeHint().height() - dock->height());
        if (taller <= 0) break;
        const int wider = (taller * smallest.width() + smallest.height() - 1) / smallest.height();
        window.resize(window.width() + wider, window.height() + taller);
        window.resizeDocks(upright, widths, Qt::Horizontal);
        if (!across.isEmpty()) window.resizeDocks(across, heights, Qt::Vertical);
    }
}

void WindowPlacement::keepOnScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::screenAt(window.frameGeometry().center());
    if (!screen) screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen || window.isMaximized() || window.isFullScreen()) return;
    const QRect available = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const QSize room = (available.size() - frame).expandedTo(window.minimumSize());
    // The window keeps its content's proportions, so a lower window may come only with a
    // narrower one: a few rounds settle it.
    for (int round = 0; round < 4; ++round) {
        if (window.width() <= room.width() && window.height() <= room.height()) break;
        QSize wanted = window.size().boundedTo(room);
        if (window.height() > room.height())
            wanted.rwidth() -= 2 * (window.height() - room.height());
        wanted = wanted.expandedTo(window.minimumSize());
        if (wanted == window.size()) break;
        window.resize(wanted);
    }
    QRect placed = window.frameGeometry();
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    if (placed.topLeft() != window.frameGeometry().topLeft()) window.move(placed.topLeft());
}

}  // namespace qtplatform
