#include "platform/qt/QtTextView.h"

#include <algorithm>

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "platform/qt/QtFont.h"

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
    // The document counts one paragraph separator past the end.
    const int characters = document()->characterCount() - 1;
    return characters > 0 ? static_cast<std::size_t>(characters) : 0;
}

std::string QtTextView::string() const
{
    return toPlainText().toStdString();
}

void QtTextView::appendText(const std::string& text, platform::Color color)
{
    if (text.empty()) return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(qtColor(color));
    cursor.insertText(QString::fromStdString(text), format);
}

void QtTextView::clear()
{
    QPlainTextEdit::clear();
}

std::size_t QtTextView::lineCount() const
{
    if (document()->isEmpty()) return 0;
    const int blocks = document()->blockCount();
    const bool endsWithLineFeed = document()->lastBlock().length() <= 1;
    return static_cast<std::size_t>(endsWithLineFeed ? blocks - 1 : blocks);
}

void QtTextView::removeFirstLines(std::size_t count)
{
    if (count == 0) return;
    if (count >= lineCount()) {
        QPlainTextEdit::clear();
        return;
    }
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

void QtTextView::scrollToEnd()
{
    // Sentences come in bursts; one scroll after the burst is enough.
    if (m_scrollPending) return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
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
