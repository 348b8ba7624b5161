// SPDX-License-Identifier: BSD-2-Clause
#include "core/ReceiverTest.h"

#include <cmath>

#include "core/FormatText.h"

namespace {

std::string number(std::optional<double> value, const char* format)
{
    if (!value || !std::isfinite(*value)) return "null";
    return formatText(format, *value);
}

}  // namespace

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

std::string ReceiverTest::jsonLine() const
{
    const auto& summary = m_accuracy.summary();
    std::optional<double> ttff2d, ttff3d;
    if (!m_firstFix.runs().empty()) {
        ttff2d = m_firstFix.runs().newest().first2dFix;
        ttff3d = m_firstFix.runs().newest().first3dFix;
    }
    return std::string("{\"class\":\"TEST\",\"points\":") + std::to_string(m_accuracy.size()) +
           ",\"cep50\":" + number(summary ? std::optional(summary->cep50Metres) : std::nullopt, "%.3f") +
           ",\"cep95\":" + number(summary ? std::optional(summary->cep95Metres) : std::nullopt, "%.3f") +
           ",\"drms2\":" + number(summary ? std::optional(summary->drms2Metres) : std::nullopt, "%.3f") +
           ",\"ttff2d\":" + number(ttff2d, "%.1f") + ",\"ttff3d\":" + number(ttff3d, "%.1f") + "}";
}
