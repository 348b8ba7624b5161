// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ProgramStats.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "qt/QtViewWidget.h"

namespace qtplatform {

std::unique_ptr<ProgramStats> ProgramStats::fromEnvironment(
    std::function<std::uint64_t()> linesPresented, std::function<std::uint64_t()> droppedUpdates)
{
    if (!std::getenv("GPSDESK_STATS")) return nullptr;
    return std::unique_ptr<ProgramStats>(
        new ProgramStats(std::move(linesPresented), std::move(droppedUpdates)));
}

ProgramStats::ProgramStats(std::function<std::uint64_t()> linesPresented,
                           std::function<std::uint64_t()> droppedUpdates)
    : m_linesPresented(std::move(linesPresented)), m_droppedUpdates(std::move(droppedUpdates))
{
    m_clock.start();
    QApplication::instance()->installEventFilter(this);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] { print(); });
    m_timer.start();
}

ProgramStats::~ProgramStats()
{
    if (QApplication::instance()) QApplication::instance()->removeEventFilter(this);
}

void ProgramStats::print()
{
    std::fprintf(stderr,
                 "gpsdesk-stats: t=%.3f lines=%" PRIu64 " dropped=%" PRIu64 " window-repaints=%" PRIu64
                 " view-paints=%" PRIu64 "\n",
                 static_cast<double>(m_clock.nsecsElapsed()) / 1e9, m_linesPresented(), m_droppedUpdates(),
                 m_windowRepaints, m_viewPaints);
    std::fflush(stderr);
}

bool ProgramStats::eventFilter(QObject* watched, QEvent* event)
{
    // A window's pending paints are composed into one frame on its UpdateRequest.
    if (event->type() == QEvent::UpdateRequest && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->isWindow())
        ++m_windowRepaints;
    else if (event->type() == QEvent::Paint && qobject_cast<QtViewWidget*>(watched))
        ++m_viewPaints;
    return false;
}

}  // namespace qtplatform
