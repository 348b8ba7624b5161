// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QString>
#include <cstddef>
#include <vector>

#include "platform/TextView.h"

namespace qtplatform {

// The monitor's scrolling text: read-only plain text, one colour per appended run, on a dark
// background so that green and yellow read well. Never interprets markup.
// Appends wait until the event loop turns and go in as one edit: laying the document out
// once per line cost more than everything else the program does with a sentence. The
// counts and texts it reports include what waits.
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
    struct Run {
        QString text;
        QColor color;
    };
    // Complete lines of the document itself, and whether its last line is unfinished.
    std::size_t documentLineFeeds() const;
    // Takes out the first `count` lines of the document now, keeping a selection in place.
    void removeDocumentLines(std::size_t count);
    // Puts the waiting removal and runs into the document. Const because the waiting text
    // already counts as shown.
    void flushPending() const;
    void scheduleFlush();

    mutable std::vector<Run> m_pending;
    mutable std::size_t m_pendingLineFeeds = 0;
    mutable std::size_t m_pendingRemoval = 0;  // first lines of the document to take out
    bool m_flushScheduled = false;
    bool m_scrollPending = false;
};

}  // namespace qtplatform
