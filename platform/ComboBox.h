// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>

namespace platform {

// A list-and-text control. Indexes are zero-based; -1 means "no selected item".
// Main thread only.
class ComboBox {
public:
    virtual ~ComboBox() = default;

    virtual void addItemWithObjectValue(const std::string& text) = 0;
    virtual void removeAllItems() = 0;
    virtual int numberOfItems() const = 0;
    virtual void setNumberOfVisibleItems(int rows) = 0;
    // An index the list does not hold leaves the selection as it was.
    virtual void selectItemAtIndex(int index) = 0;
    virtual int indexOfSelectedItem() const = 0;
    virtual std::optional<std::string> objectValueOfSelectedItem() const = 0;
    virtual std::optional<std::string> itemObjectValueAtIndex(int index) const = 0;
};

}  // namespace platform
