// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtTextField.h"

#include "qt/QtFont.h"
#include "qt/SelectableOnHover.h"

#include <QFontMetricsF>
#include <algorithm>

namespace qtplatform {

QtTextField::QtTextField(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    selectableOnHover(this);
    // A longer text must not push the window's layout around.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_font = QLabel::font();
}

void QtTextField::setStringValue(const std::string& text)
{
    m_showsNumber = false;
    m_value.reset();
    display(QString::fromStdString(text));
}

void QtTextField::setStale(bool stale)
{
    // A disabled label is drawn in the palette's greyed text colour, on light and dark themes.
    setEnabled(!stale);
}

void QtTextField::setObjectValue(std::optional<float> value)
{
    m_showsNumber = true;
    m_value = value;
    showValue();
}

void QtTextField::setFormatter(const platform::Formatter* formatter)
{
    m_formatter = formatter;
    if (m_showsNumber) showValue();
}

void QtTextField::showValue()
{
    if (!m_value) {
        display(QString());
    } else if (m_formatter) {
        const auto text = m_formatter->format(m_value);
        display(text ? QString::fromStdString(*text) : QString());
    } else {
        display(QString::number(static_cast<double>(*m_value)));
    }
}

void QtTextField::display(const QString& text)
{
    setText(text);
    fitFont();
}

void QtTextField::setShrinkToFit(bool shrink, int margin)
{
    m_shrinkToFit = shrink;
    m_fitMargin = margin;
    fitFont();
}

void QtTextField::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    fitFont();
}

void QtTextField::fitFont()
{
    QFont shown = m_font;
    const qreal room = contentsRect().width() - m_fitMargin;
    if (m_shrinkToFit && room > 0 && !text().isEmpty()) {
        const qreal needed = textWidth();
        if (needed > room)
            shown.setPointSizeF(std::max(1.0, m_font.pointSizeF() * room / needed * 0.98));
    }
    if (QLabel::font() != shown) QLabel::setFont(shown);
}

qreal QtTextField::textWidth()
{
    // A read-out changes its digits several times a second, its shape hardly ever. Where the
    // font's digits are all one width (nearly every font's are) a text is as wide as its
    // digits-as-zeros form, measured once instead of laid out anew at every change.
    QString shape = text();
    if (m_tabularDigits)
        for (QChar& character : shape)
            if (character.isDigit()) character = u'0';
    if (shape != m_measuredShape) {
        m_measuredShape = shape;
        m_measuredWidth = QFontMetricsF(m_font, this).horizontalAdvance(shape);
    }
    return m_measuredWidth;
}

void QtTextField::setFont(const platform::Font& font)
{
    m_font = qtFont(font, logicalDpiY());
    const QFontMetricsF metrics(m_font, this);
    const qreal zero = metrics.horizontalAdvance(u'0');
    m_tabularDigits = true;
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) != zero) m_tabularDigits = false;
    m_measuredShape.clear();
    fitFont();
}

platform::Rect QtTextField::bounds() const
{
    return {0.0f, 0.0f, static_cast<float>(width()), static_cast<float>(height())};
}

std::string QtTextField::stringValue() const
{
    return text().toStdString();
}

}  // namespace qtplatform
