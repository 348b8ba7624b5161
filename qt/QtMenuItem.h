// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QAction>
#include <functional>

#include "platform/MenuItem.h"

namespace qtplatform {

// A menu command. Its validator is asked before the menu shows (validate()) and again when
// the command is chosen, so a shortcut cannot run a command that is not valid now.
class QtMenuItem : public QAction, public platform::MenuItem {
    Q_OBJECT
public:
    explicit QtMenuItem(const QString& title, QObject* parent = nullptr);

    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

    void setAction(std::function<void()> action);
    // Answers whether the item is enabled now; empty means always.
    void setValidator(std::function<bool(platform::MenuItem*)> validator);
    void validate();

private:
    std::function<void()> m_action;
    std::function<bool(platform::MenuItem*)> m_validator;
};

}  // namespace qtplatform
