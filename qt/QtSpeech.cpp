// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtSpeech.h"

#include <QString>

#ifdef GPSDESK_HAVE_QT_SPEECH
#include <QTextToSpeech>
#endif

namespace qtplatform {

struct QtSpeech::Engine {
#ifdef GPSDESK_HAVE_QT_SPEECH
    std::unique_ptr<QTextToSpeech> speech;
#endif
};

QtSpeech::QtSpeech(platform::Speech* fallback)
    : m_engine(std::make_unique<Engine>()), m_fallback(fallback)
{
#ifdef GPSDESK_HAVE_QT_SPEECH
    // Without an engine plugin QTextToSpeech still constructs, in its error state.
    if (!QTextToSpeech::availableEngines().isEmpty()) {
        auto speech = std::make_unique<QTextToSpeech>();
        if (speech->state() != QTextToSpeech::Error) m_engine->speech = std::move(speech);
    }
#endif
}

QtSpeech::~QtSpeech() = default;

bool QtSpeech::hasEngine() const
{
#ifdef GPSDESK_HAVE_QT_SPEECH
    return m_engine->speech != nullptr;
#else
    return false;
#endif
}

bool QtSpeech::startSpeaking(const std::string& text)
{
#ifdef GPSDESK_HAVE_QT_SPEECH
    if (m_engine->speech) {
        m_engine->speech->say(QString::fromStdString(text));
        return true;
    }
#endif
    return m_fallback ? m_fallback->startSpeaking(text) : false;
}

}  // namespace qtplatform
