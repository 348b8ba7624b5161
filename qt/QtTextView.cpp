// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtTextView.h"

#include <algorithm>

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "qt/QtFont.h"

namespace qtplatform {

QtTextView::QtTextView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);  // an undo stack would keep every line ever shown
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, QColor(16, 20, 24));
    colours.setColor(QPalette::Text, QColor(220, 220, 220));
    setPalette(colours);
    QWidget::setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

std::size_t QtTextView::length() const
{
    flushPending();
    // The document counts one paragraph separator past the end.
    const int characters = document()->characterCount() - 1;
    return characters > 0 ? static_cast<std::size_t>(characters) : 0;
}

std::string QtTextView::string() const
{
    flushPending();
    return toPlainText().toStdString();
}

void QtTextView::appendText(const std::string& text, platform::Color color)
{
    if (text.empty()) return;
    const QString run = QString::fromStdString(text);
    m_pendingLineFeeds += static_cast<std::size_t>(run.count(QLatin1Char('\n')));
    // Lines of one colour go into the document in one insertion.
    const QColor shade = qtColor(color);
    if (!m_pending.empty() && m_pending.back().color == shade)
        m_pending.back().text += run;
    else
        m_pending.push_back({run, shade});
    scheduleFlush();
}

void QtTextView::clear()
{
    m_pending.clear();
    m_pendingLineFeeds = 0;
    m_pendingRemoval = 0;
    QPlainTextEdit::clear();
}

std::size_t QtTextView::documentLineFeeds() const
{
    return document()->isEmpty() ? 0 : static_cast<std::size_t>(document()->blockCount() - 1);
}

std::size_t QtTextView::lineCount() const
{
    const bool documentUnfinished = !document()->isEmpty() && document()->lastBlock().length() > 1;
    const bool unfinished = m_pending.empty() ? documentUnfinished : !m_pending.back().text.endsWith(QLatin1Char('\n'));
    const std::size_t lines = documentLineFeeds() + m_pendingLineFeeds + (unfinished ? 1 : 0);
    return lines - m_pendingRemoval;
}

void QtTextView::removeFirstLines(std::size_t count)
{
    if (count == 0) return;
    if (count >= lineCount()) {
        clear();
        return;
    }
    // Lines of the document go with the next flush, in the same turn as the new ones come.
    if (m_pendingRemoval + count <= documentLineFeeds()) {
        m_pendingRemoval += count;
        scheduleFlush();
        return;
    }
    flushPending();
    removeDocumentLines(count);
}

void QtTextView::removeDocumentLines(std::size_t count)
{
    // One selection over the first lines and their line feeds: a single edit, however many
    // lines go, and the remaining runs keep their formats.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    const QTextBlock first = document()->findBlockByNumber(static_cast<int>(count));
    cursor.setPosition(first.position(), QTextCursor::KeepAnchor);
    // While the user holds a selection the view stands still (see scrollToEnd): the lines
    // shown stay where they are when older ones go. The scroll bar counts lines here.
    QScrollBar* bar = verticalScrollBar();
    const int firstShown = bar->value();
    cursor.removeSelectedText();
    if (textCursor().hasSelection())
        bar->setValue(std::max(0, firstShown - static_cast<int>(count)));
}

void QtTextView::scheduleFlush()
{
    if (m_flushScheduled) return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_flushScheduled = false;
        flushPending();
    });
}

void QtTextView::flushPending() const
{
    auto* self = const_cast<QtTextView*>(this);
    if (m_pendingRemoval > 0) {
        const std::size_t count = m_pendingRemoval;
        m_pendingRemoval = 0;
        self->removeDocumentLines(count);
    }
    if (m_pending.empty()) return;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    for (const Run& run : m_pending) {
        format.setForeground(run.color);
        cursor.insertText(run.text, format);
    }
    cursor.endEditBlock();
    m_pending.clear();
    m_pendingLineFeeds = 0;
}

void QtTextView::scrollToEnd()
{
    // Sentences come in bursts; one scroll after the burst is enough.
    if (m_scrollPending) return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        flushPending();
        // Moving the cursor would drop the user's selection, and scrolling would pull the
        // selected lines away while they are being copied: the view waits until the
        // selection is gone. The document's edits move the selection along with its text.
        if (textCursor().hasSelection()) return;
        // The last line at the bottom edge, as a terminal shows it.
        moveCursor(QTextCursor::End);
        ensureCursorVisible();
    });
}

void QtTextView::setFont(const platform::Font& font)
{
    // Raw sentences read best in fixed-pitch letters, at the size asked for.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(qtFont(font, logicalDpiY()).pointSizeF());
    QWidget::setFont(fixed);
}

void QtTextView::setNeedsDisplay()
{
    viewport()->update();
}

}  // namespace qtplatform
