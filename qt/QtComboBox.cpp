// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtComboBox.h"

#include <QSignalBlocker>

namespace qtplatform {

QtComboBox::QtComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setPlaceholderText(QStringLiteral("—"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void QtComboBox::addItemWithObjectValue(const std::string& text)
{
    const int selected = currentIndex();
    // Only a user's choice is a change of selection; filling the list is not.
    const QSignalBlocker blocker(this);
    addItem(QString::fromStdString(text));
    if (selected < 0) setCurrentIndex(-1);
}

void QtComboBox::removeAllItems()
{
    const QSignalBlocker blocker(this);
    clear();
}

int QtComboBox::numberOfItems() const
{
    return count();
}

void QtComboBox::setNumberOfVisibleItems(int rows)
{
    setMaxVisibleItems(rows > 0 ? rows : 1);
}

void QtComboBox::selectItemAtIndex(int index)
{
    if (index < 0 || index >= count()) return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

int QtComboBox::indexOfSelectedItem() const
{
    return currentIndex();
}

std::optional<std::string> QtComboBox::objectValueOfSelectedItem() const
{
    return itemObjectValueAtIndex(currentIndex());
}

std::optional<std::string> QtComboBox::itemObjectValueAtIndex(int index) const
{
    if (index < 0 || index >= count()) return std::nullopt;
    return itemText(index).toStdString();
}

}  // namespace qtplatform
