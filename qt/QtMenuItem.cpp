// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtMenuItem.h"

namespace qtplatform {

QtMenuItem::QtMenuItem(const QString& title, QObject* parent) : QAction(title, parent)
{
    connect(this, &QAction::triggered, this, [this] {
        validate();
        if (QAction::isEnabled() && m_action) m_action();
    });
}

void QtMenuItem::setEnabled(bool enabled)
{
    QAction::setEnabled(enabled);
}

bool QtMenuItem::isEnabled() const
{
    return QAction::isEnabled();
}

void QtMenuItem::setAction(std::function<void()> action)
{
    m_action = std::move(action);
}

void QtMenuItem::setValidator(std::function<bool(platform::MenuItem*)> validator)
{
    m_validator = std::move(validator);
}

void QtMenuItem::validate()
{
    if (m_validator) setEnabled(m_validator(this));
}

}  // namespace qtplatform
