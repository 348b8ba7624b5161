// SPDX-License-Identifier: BSD-2-Clause
#include "quality/ReceiverTest.h"

void ReceiverTest::started(double now, RunStart why)
{
    m_firstFix.start(now, why);
}

void ReceiverTest::stopped(double now)
{
    m_firstFix.stop(now);
}

void ReceiverTest::sentence(double now)
{
    m_firstFix.sentence(now);
}

void ReceiverTest::position(double now, int dimension, const std::optional<FixSample>& fix)
{
    m_firstFix.fix(now, dimension);
    if (dimension >= 2 && fix) m_accuracy.add(*fix);
}

void ReceiverTest::satellites(double now, std::span<const SatelliteInView> inView)
{
    m_firstFix.satellites(now, inView);
    m_signals.record(now, inView);
    m_obstructions.record(inView);
}

void ReceiverTest::reset()
{
    m_accuracy.reset();
    m_signals.reset();
    m_obstructions.reset();
}
