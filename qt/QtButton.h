// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QPushButton>
#include <functional>

#include "platform/Button.h"

namespace qtplatform {

class QtButton : public QPushButton, public platform::Button {
    Q_OBJECT
public:
    explicit QtButton(const QString& title, QWidget* parent = nullptr);

    void setTitle(const std::string& title) override;
    std::string title() const override;
    void setEnabled(bool enabled) override;
    // The action a press runs (replaces any earlier one); empty for none.
    void setAction(std::function<void()> action);

private:
    std::function<void()> m_action;
};

}  // namespace qtplatform
