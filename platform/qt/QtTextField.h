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
    platform::Rect bounds() const override;
    std::string stringValue() const override;

private:
    void showValue();

    const platform::Formatter* m_formatter = nullptr;
    std::optional<float> m_value;
    bool m_showsNumber = false;
};

}  // namespace qtplatform
