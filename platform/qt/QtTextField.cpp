#include "platform/qt/QtTextField.h"

#include "platform/qt/QtFont.h"

namespace qtplatform {

QtTextField::QtTextField(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A longer text must not push the window's layout around.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void QtTextField::setStringValue(const std::string& text)
{
    m_showsNumber = false;
    m_value.reset();
    setText(QString::fromStdString(text));
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
        setText(QString());
    } else if (m_formatter) {
        const auto text = m_formatter->stringForObjectValue(m_value);
        setText(text ? QString::fromStdString(*text) : QString());
    } else {
        setText(QString::number(static_cast<double>(*m_value)));
    }
}

void QtTextField::setFont(const platform::Font& font)
{
    QLabel::setFont(qtFont(font, logicalDpiY()));
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
