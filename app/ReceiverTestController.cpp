// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReceiverTestController.h"

#include "platform/Alert.h"
#include "stream/SentencePipeline.h"
#include "instruments/ReceiverTestView.h"

namespace {

RunStart runStartOf(RestartDepth depth)
{
    switch (depth) {
    case RestartDepth::Hot: return RunStart::HotRestart;
    case RestartDepth::Warm: return RunStart::WarmRestart;
    case RestartDepth::Cold: return RunStart::ColdRestart;
    }
    return RunStart::ColdRestart;
}

}  // namespace

void ReceiverTestController::setView(ReceiverTestView* view)
{
    m_view = view;
    if (m_view) m_view->setReceiverTest(&m_test);
}

void ReceiverTestController::connected(double now)
{
    m_connected = true;
    m_otherTalkerSeen = false;
    m_feed.connected(now);
    tick(now);
}

void ReceiverTestController::disconnected(double now)
{
    m_connected = false;
    m_feed.disconnected(now);
    tick(now);
}

void ReceiverTestController::apply(std::string_view talker, const ReceiverState& state,
                                   const SentenceRecord& record, ReceiverState::Changes changes, double now)
{
    if (talker != "GP") m_otherTalkerSeen = true;
    m_feed.apply(state, record, changes, now);
}

bool ReceiverTestController::feedLine(ReceiverState& state, std::string_view line, double now)
{
    const LineResult result = SentencePipeline::decodeText(line);
    if (result.kind != LineResult::Kind::Decoded) return false;
    const auto changes = state.apply(*result.record, now);
    const std::string_view talker(reinterpret_cast<const char*>(result.line.data()) + 1, 2);
    apply(talker, state, *result.record, changes, now);
    return true;
}

void ReceiverTestController::tick(double now)
{
    if (m_view) m_view->setNow(now);
    redraw();
}

void ReceiverTestController::reset()
{
    m_test.reset();
    redraw();
}

bool ReceiverTestController::restart(RestartDepth depth, double now)
{
    if (restartRefusal() || !m_sendRestart) return false;
    if (!m_sendRestart(depth)) return false;
    m_feed.restarted(now, runStartOf(depth));
    tick(now);
    return true;
}

std::optional<std::string> ReceiverTestController::restartRefusal() const
{
    const auto key = ReceiverCommands::restartRefusalKey(m_connected, m_otherTalkerSeen);
    if (!key) return std::nullopt;
    return Alert::localizedStringWithKey(*key);
}

void ReceiverTestController::redraw()
{
    if (m_view) m_view->setNeedsDisplay();
}
