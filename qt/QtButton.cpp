// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtButton.h"

namespace qtplatform {

QtButton::QtButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_action) m_action();
    });
}

void QtButton::setTitle(const std::string& title)
{
    setText(QString::fromStdString(title));
}

std::string QtButton::title() const
{
    return text().toStdString();
}

void QtButton::setAction(std::function<void()> action)
{
    m_action = std::move(action);
}

void QtButton::setEnabled(bool enabled)
{
    QPushButton::setEnabled(enabled);
}

}  // namespace qtplatform
