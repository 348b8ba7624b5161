// SPDX-License-Identifier: BSD-2-Clause
#include "app/LinePresenter.h"

#include <algorithm>
#include <string_view>

#include "app/MonitorController.h"
#include "app/Readouts.h"
#include "app/ReceiverTestController.h"
#include "platform/Alert.h"
#include "instruments/DataLampView.h"
#include "nmea/NMEA.h"
#include "instruments/SatelliteStore.h"
#include "nmea/SentenceTable.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

double now()
{
    const platform::Clock* clock = platform::services().clock;
    return clock ? clock->now() : 0.0;
}

}  // namespace

void LinePresenter::presentVerified(const ByteBuffer& sentence)
{
    if (sentence.empty() || (sentence[0] != '$' && sentence[0] != '!')) return;
    if (sentence.size() > 1 && sentence[1] == 'P') return;
    present(SentencePipeline::decodeVerified(sentence));
}

void LinePresenter::present(const LineResult& result)
{
    ++m_linesPresented;
    switch (result.kind) {
    case LineResult::Kind::Dropped:
    case LineResult::Kind::Proprietary:
        return;
    case LineResult::Kind::Unknown:
    case LineResult::Kind::Ignored:
        m_readouts.sentenceArrived();
        if (result.line.empty() || result.line[0] != '$') return;
        m_readouts.lamp(DataLampView::kUnhandled);
        echo(result.line, false);
        return;
    case LineResult::Kind::Broken:
        m_brokenLines.fetch_add(1);
        monitorRejected(result.line, DecodeNote{});
        return;
    case LineResult::Kind::Refused:
        m_readouts.sentenceArrived();
        m_readouts.lamp(DataLampView::kUnhandled);
        monitorRejected(result.line, result.note);
        return;
    case LineResult::Kind::Ubx:
    case LineResult::Kind::Rtcm3:
        presentFrame(result);
        return;
    case LineResult::Kind::Decoded:
        break;
    }
    m_readouts.sentenceArrived();
    m_readouts.lamp(DataLampView::kHandled);
    echo(result.line, true);
    // The sentence counts; what was left out of it, and why, is said under it.
    if (result.note) monitorNote("FieldIgnored", result.note);
    const double at = now();
    // Satellites no longer reported age out as each sentence is folded, as in headless; the
    // position timer still ages them on a line that went quiet.
    const bool taken = m_state.takesFromNmea(*result.record);
    const ReceiverState::Changes changes = m_state.apply(*result.record, at) | m_state.expire(at);
    if (m_receiverTestController && result.line.size() >= 3) {
        const std::string_view talker(reinterpret_cast<const char*>(result.line.data()) + 1, 2);
        m_receiverTestController->apply(talker, m_state, *result.record, changes, at);
    }
    // A receiver that also speaks UBX has its read-outs from the binary messages.
    if (taken) m_readouts.show(*result.record, m_state);
    showSatellites(changes);
}

// A UBX or RTCM 3 frame: one line in the monitor; a decoded UBX message folded into the
// receiver state, whose read-outs then follow the state.
void LinePresenter::presentFrame(const LineResult& result)
{
    m_readouts.sentenceArrived();
    m_readouts.lamp(DataLampView::kHandled);
    if (m_monitorController) m_monitorController->appendFrame(result.description);
    if (!result.ubx) return;
    const double at = now();
    const ReceiverState::Changes changes = m_state.apply(*result.ubx, at) | m_state.expire(at);
    m_readouts.showState(m_state, changes);
    showSatellites(changes);
}

// The sky plot is redrawn when a satellite cycle ends or the used set moves, not for every
// GSV sentence.
void LinePresenter::showSatellites(ReceiverState::Changes changes)
{
    if (m_satelliteStore && (changes & (ReceiverState::kSatellites | ReceiverState::kUsed)))
        m_satelliteStore->setSatellitesInView(m_state.satellites());
}

void LinePresenter::expireSatellites(double at)
{
    if (m_state.expire(at) && m_satelliteStore) m_satelliteStore->setSatellitesInView(m_state.satellites());
}

void LinePresenter::reset()
{
    m_state.reset();
    if (m_satelliteStore) m_satelliteStore->reset();
}

void LinePresenter::echo(const ByteBuffer& sentence, bool recognised)
{
    if (!m_monitorController) return;
    // The text up to the first NUL, through the codec's ISO-8859-1 reading, so the monitor
    // always gets valid UTF-8.
    const auto nul = std::find(sentence.begin(), sentence.end(), std::uint8_t{0});
    const std::optional<std::string> text = NMEA::address(sentence, 0, static_cast<std::uint32_t>(nul - sentence.begin()));
    m_monitorController->append(text.value_or(""), recognised);
    m_monitorController->append("\n", recognised);
}

void LinePresenter::monitorRejected(const ByteBuffer& line, const DecodeNote& note)
{
    if (!m_monitorController) return;
    const auto nul = std::find(line.begin(), line.end(), std::uint8_t{0});
    const std::optional<std::string> text = NMEA::address(line, 0, static_cast<std::uint32_t>(nul - line.begin()));
    m_monitorController->append(text.value_or(""), false);
    if (note) {
        monitorNote("SentenceRejected", note);
        return;
    }
    m_monitorController->append("  <- " + Alert::localizedStringWithKey("BrokenLine"), false);
    m_monitorController->append("\n", false);
}

void LinePresenter::monitorNote(const std::string& verdictKey, const DecodeNote& note)
{
    if (!m_monitorController) return;
    std::string why = Alert::localizedStringWithKey(verdictKey) + ": " +
                      Alert::localizedStringWithKey(std::string(decodeProblemKey(note.problem)));
    if (note.field != 0) why += " (" + std::to_string(note.field) + ")";
    m_monitorController->append("  <- " + why, false);
    m_monitorController->append("\n", false);
}
