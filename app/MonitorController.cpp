#include "app/MonitorController.h"

#include "platform/Button.h"
#include "platform/Drawing.h"
#include "platform/TextView.h"
#include "core/Alert.h"

void MonitorController::awakeFromNib()
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
        if (m_startButton) m_startButton->setTitle(Alert::localizedStringWithKey("NSStop"));
    } else {
        if (m_startButton) m_startButton->setTitle(Alert::localizedStringWithKey("NSStart"));
    }
}

void MonitorController::onGPSMonitorClear()
{
    if (!m_monitorTextView || m_monitorTextView->length() == 0) return;
    m_monitorTextView->clear();
    m_monitorTextView->setNeedsDisplay();
}

void MonitorController::append(const std::string& text, bool recognised)
{
    if (!m_start || text.empty() || !m_monitorTextView) return;
    m_monitorTextView->appendText(text,
                                  recognised ? platform::Color::Green : platform::Color::Yellow);
    // Lines end with the separate "\n" append, so only then can the count have grown.
    if (text.find('\n') != std::string::npos) {
        const std::size_t lines = m_monitorTextView->lineCount();
        if (lines > kMaxLines) m_monitorTextView->removeFirstLines(lines - kMaxLines);
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
