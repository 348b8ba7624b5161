// SPDX-License-Identifier: BSD-2-Clause
#include "app/MonitorController.h"

#include "platform/Button.h"
#include "platform/Drawing.h"
#include "platform/TextView.h"
#include "platform/Alert.h"

void MonitorController::start()
{
    if (m_monitorDrawer) m_monitorDrawer->setDelegate(this);
    onGPSMonitorStart();
    if (m_monitorDrawer) m_monitorDrawer->open();
}

void MonitorController::onGPSMonitorStart()
{
    m_start = !m_start;
    if (m_start) {
        if (m_monitorTextView)
            m_monitorTextView->setFont(platform::Font{platform::FontKind::Label, 10.0f});
        if (m_startButton) m_startButton->setTitle(Alert::localizedStringWithKey("Stop"));
    } else {
        if (m_startButton) m_startButton->setTitle(Alert::localizedStringWithKey("Start"));
    }
}

void MonitorController::onGPSMonitorClear()
{
    m_lineLengths.clear();
    m_partialLength = 0;
    m_characters = 0;
    if (!m_monitorTextView || m_monitorTextView->length() == 0) return;
    m_monitorTextView->clear();
    m_monitorTextView->setNeedsDisplay();
}

void MonitorController::append(const std::string& text, bool recognised)
{
    appendColoured(text, recognised ? platform::Color::Green : platform::Color::Yellow);
}

void MonitorController::appendFrame(const std::string& description)
{
    if (description.empty()) return;
    appendColoured(description, platform::Color::Cyan);
    appendColoured("\n", platform::Color::Cyan);
}

void MonitorController::appendColoured(const std::string& text, platform::Color color)
{
    if (!m_start || text.empty() || !m_monitorTextView) return;
    m_monitorTextView->appendText(text, color);
    m_characters += text.size();
    std::size_t from = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
        m_lineLengths.push_back(m_partialLength + end + 1 - from);
        m_partialLength = 0;
        from = end + 1;
    }
    m_partialLength += text.size() - from;
    // Lines end with the separate "\n" append, so only then can the count have grown.
    if (from > 0) {
        const std::size_t lines = m_monitorTextView->lineCount();
        std::size_t remove = lines > kMaxLines ? lines - kMaxLines : 0;
        for (std::size_t i = 0; i < remove && !m_lineLengths.empty(); ++i) {
            m_characters -= m_lineLengths.front();
            m_lineLengths.pop_front();
        }
        // The newest line stays, however long.
        while (m_characters > kMaxCharacters && m_lineLengths.size() > 1) {
            m_characters -= m_lineLengths.front();
            m_lineLengths.pop_front();
            ++remove;
        }
        if (remove > 0) m_monitorTextView->removeFirstLines(remove);
    }
    m_monitorTextView->scrollToEnd();
}

void MonitorController::close()
{
    if (m_monitorDrawer) m_monitorDrawer->close();
    if (m_start) onGPSMonitorStart();
    onGPSMonitorClear();
}

void MonitorController::drawerDidClose()
{
    if (m_start) onGPSMonitorStart();
}
