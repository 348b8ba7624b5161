// SPDX-License-Identifier: BSD-2-Clause
#include "quality/FirstFixTimer.h"

#include "platform/Alert.h"
#include "base/FormatText.h"

namespace {

void reach(std::optional<double>& milestone, double secondsAfterStart)
{
    if (!milestone) milestone = secondsAfterStart;
}

std::string seconds(const std::optional<double>& value)
{
    if (!value) return "-";
    return formatText("%.1f", *value);
}

}  // namespace

std::string runStartKey(RunStart why)
{
    switch (why) {
    case RunStart::Connect: return "TestConnect";
    case RunStart::HotRestart: return "TestHotStart";
    case RunStart::WarmRestart: return "TestWarmStart";
    case RunStart::ColdRestart: return "TestColdStart";
    }
    return "TestConnect";
}

void FirstFixTimer::start(double now, RunStart why)
{
    FirstFixRun run;
    run.start = why;
    run.startedAtSeconds = now;
    m_runs.push(run);
    m_running = true;
    m_waitingForLoss = why != RunStart::Connect;
    m_dimension = 0;
    m_used = {};
    m_stoppedClock.reset();
}

void FirstFixTimer::stop(double now)
{
    if (!m_running) return;
    m_stoppedClock = clockSeconds(now);
    m_running = false;
}

void FirstFixTimer::sentence(double now)
{
    if (!m_running) return;
    FirstFixRun& run = m_runs[m_runs.size() - 1];
    reach(run.firstSentence, now - run.startedAtSeconds);
}

void FirstFixTimer::satellites(double now, std::span<const SatelliteInView> inView)
{
    if (!m_running || m_waitingForLoss) return;
    FirstFixRun& run = m_runs[m_runs.size() - 1];
    m_used = {};
    for (const SatelliteInView& satellite : inView) {
        if (satellite.snrDbHz && *satellite.snrDbHz > 0) {
            reach(run.firstSignal, now - run.startedAtSeconds);
        }
        const auto system = static_cast<std::size_t>(satellite.constellation);
        if (satellite.usedInFix && system < kConstellationCount) m_used[system] = true;
    }
    markUsed(now);
}

void FirstFixTimer::fix(double now, int dimension)
{
    if (!m_running) return;
    if (m_waitingForLoss) {
        if (dimension >= 2) return;
        m_waitingForLoss = false;
    }
    FirstFixRun& run = m_runs[m_runs.size() - 1];
    m_dimension = dimension;
    if (dimension >= 2) reach(run.first2dFix, now - run.startedAtSeconds);
    if (dimension >= 3) reach(run.first3dFix, now - run.startedAtSeconds);
    markUsed(now);
}

void FirstFixTimer::markUsed(double now)
{
    if (m_dimension < 2) return;
    FirstFixRun& run = m_runs[m_runs.size() - 1];
    for (std::size_t system = 0; system < kConstellationCount; ++system) {
        if (m_used[system]) reach(run.firstFixWith[system], now - run.startedAtSeconds);
    }
}

std::optional<double> FirstFixTimer::clockSeconds(double now) const
{
    if (m_runs.empty()) return std::nullopt;
    if (!m_running) return m_stoppedClock;
    const FirstFixRun& run = m_runs.newest();
    if (run.first3dFix) return run.first3dFix;
    return now - run.startedAtSeconds;
}

std::string FirstFixTimer::copyText() const
{
    std::string text = Alert::localizedStringWithKey("TestStart") + '\t' +
                       Alert::localizedStringWithKey("TestFirstSentence") + '\t' +
                       Alert::localizedStringWithKey("TestFirstSignal") + '\t' +
                       Alert::localizedStringWithKey("TestFirst2D") + '\t' +
                       Alert::localizedStringWithKey("TestFirst3D");
    for (std::size_t system = 0; system < kConstellationCount; ++system) {
        text += '\t';
        text += constellationName(static_cast<Constellation>(system));
    }
    text += '\n';
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        const FirstFixRun& run = m_runs[i];
        text += Alert::localizedStringWithKey(runStartKey(run.start));
        for (const auto* milestone : {&run.firstSentence, &run.firstSignal, &run.first2dFix,
                                      &run.first3dFix}) {
            text += '\t' + seconds(*milestone);
        }
        for (const auto& with : run.firstFixWith) text += '\t' + seconds(with);
        text += '\n';
    }
    return text;
}
