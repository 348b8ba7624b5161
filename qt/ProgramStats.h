// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

namespace qtplatform {

// Counts for the whole-program benchmark, on when GPSDESK_STATS is set: once a second and at
// the end, one line on standard error with the lines the main thread has been given, the updates the reader
// dropped because the main thread fell behind, the
// window repaints (one per frame Qt composes for a top-level window, however many widgets it
// paints) and the paints of the drawn views (compass, lamp, sky plot).
class ProgramStats : public QObject {
public:
    // Null when GPSDESK_STATS is not set. The count is read on the main thread.
    static std::unique_ptr<ProgramStats> fromEnvironment(std::function<std::uint64_t()> linesPresented,
                                                         std::function<std::uint64_t()> droppedUpdates);
    ~ProgramStats() override;

    void print();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ProgramStats(std::function<std::uint64_t()> linesPresented,
                 std::function<std::uint64_t()> droppedUpdates);

    std::function<std::uint64_t()> m_linesPresented;
    std::function<std::uint64_t()> m_droppedUpdates;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::uint64_t m_windowRepaints = 0;
    std::uint64_t m_viewPaints = 0;
};

}  // namespace qtplatform
