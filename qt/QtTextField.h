// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QLabel>

#include "platform/TextField.h"

namespace qtplatform {

// A read-only field: a label that shows either a text or a number through its formatter.
// Always plain text, so a received text can never turn into markup.
class QtTextField : public QLabel, public platform::TextField {
    Q_OBJECT
public:
    explicit QtTextField(QWidget* parent = nullptr);

    void setStringValue(const std::string& text) override;
    void setObjectValue(std::optional<float> value) override;
    void setFormatter(const platform::Formatter* formatter) override;
    void setFont(const platform::Font& font) override;
    void setStale(bool stale) override;
    platform::Rect bounds() const override;
    std::string stringValue() const override;

    // A text wider than the field is shown in a smaller size of the same font instead of
    // being cut off; the font set by setFont stays the one reported and used otherwise.
    // margin: room the field's style keeps on the left and right together.
    void setShrinkToFit(bool shrink, int margin = 0);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showValue();
    void display(const QString& text);
    void fitFont();
    qreal textWidth();  // of the text at the set font

    const platform::Formatter* m_formatter = nullptr;
    std::optional<float> m_value;
    bool m_showsNumber = false;
    bool m_shrinkToFit = false;
    int m_fitMargin = 0;
    QFont m_font;
    bool m_tabularDigits = false;
    QString m_measuredShape;
    qreal m_measuredWidth = 0.0;
};

}  // namespace qtplatform
