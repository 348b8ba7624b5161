#pragma once

#include <QPlainTextEdit>

#include "platform/TextView.h"

namespace qtplatform {

// The monitor's scrolling text: read-only plain text, one colour per appended run, on a dark
// background so that green and yellow read well. Never interprets markup.
class QtTextView : public QPlainTextEdit, public platform::TextView {
    Q_OBJECT
public:
    explicit QtTextView(QWidget* parent = nullptr);

    std::size_t length() const override;
    std::string string() const override;
    void appendText(const std::string& text, platform::Color color) override;
    void clear() override;
    std::size_t lineCount() const override;
    void removeFirstLines(std::size_t count) override;
    void scrollToEnd() override;
    void setFont(const platform::Font& font) override;
    void setNeedsDisplay() override;

private:
    bool m_scrollPending = false;
};

}  // namespace qtplatform
