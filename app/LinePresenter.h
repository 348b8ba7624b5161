// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>

#include "base/ByteBuffer.h"
#include "receiver/ReceiverState.h"
#include "stream/SentencePipeline.h"

class MonitorController;
class Readouts;
class ReceiverTestController;
class SatelliteStore;

// Shows each line the reader brings, in arrival order: in the monitor (with why a line was
// refused), on the lamp, folded into the receiver state, then on the read-outs, the sky plot
// and the receiver test. Owns the window's receiver state. Main thread.
class LinePresenter {
public:
    // The read-outs are not owned and outlive the presenter.
    explicit LinePresenter(Readouts& readouts) : m_readouts(readouts) {}

    // Not owned; nullptr for none.
    void setMonitorController(MonitorController* c) { m_monitorController = c; }
    void setSatelliteStore(SatelliteStore* c) { m_satelliteStore = c; }
    // Told of every folded sentence.
    void setReceiverTestController(ReceiverTestController* c) { m_receiverTestController = c; }

    void present(const LineResult& result);
    // A sentence whose checksum was verified (text up to the first NUL): decoded with the
    // sentence table and presented as the reader's lines are.
    void presentVerified(const ByteBuffer& sentence);
    // Satellites of a system whose GSV stopped coming leave the sky plot.
    void expireSatellites(double now);
    // The connection ended: the receiver state starts over.
    void reset();

    const ReceiverState& receiverState() const { return m_state; }
    // Lines without "*hh" on a connection that has sent checksums: cut short on the way.
    // Any thread.
    std::uint64_t brokenLines() const { return m_brokenLines.load(); }
    // Lines presented (handled, refused or unknown).
    std::uint64_t linesPresented() const { return m_linesPresented; }

private:
    void presentFrame(const LineResult& result);
    void echo(const ByteBuffer& sentence, bool recognised);
    void monitorRejected(const ByteBuffer& line, const DecodeNote& note);
    // "  <- verdict: problem (field)" under the line just shown.
    void monitorNote(const std::string& verdictKey, const DecodeNote& note);
    void showSatellites(ReceiverState::Changes changes);

    Readouts& m_readouts;
    MonitorController* m_monitorController = nullptr;
    SatelliteStore* m_satelliteStore = nullptr;
    ReceiverTestController* m_receiverTestController = nullptr;
    ReceiverState m_state;
    std::atomic<std::uint64_t> m_brokenLines{0};
    std::uint64_t m_linesPresented = 0;
};
