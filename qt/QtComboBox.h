// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QComboBox>

#include "platform/ComboBox.h"

namespace qtplatform {

// A pick list. Qt selects the first item that is added to an empty list; this one keeps
// "no selection" until an item is selected, as the settings drawer expects at first run.
class QtComboBox : public QComboBox, public platform::ComboBox {
    Q_OBJECT
public:
    explicit QtComboBox(QWidget* parent = nullptr);

    void addItemWithObjectValue(const std::string& text) override;
    void removeAllItems() override;
    int numberOfItems() const override;
    void setNumberOfVisibleItems(int rows) override;
    void selectItemAtIndex(int index) override;
    int indexOfSelectedItem() const override;
    std::optional<std::string> objectValueOfSelectedItem() const override;
    std::optional<std::string> itemObjectValueAtIndex(int index) const override;
};

}  // namespace qtplatform
