// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Button.h"
#include "platform/ComboBox.h"
#include "platform/Drawer.h"
#include "platform/ImageView.h"
#include "platform/MenuItem.h"
#include "platform/TextField.h"
#include "platform/TextView.h"
#include "platform/View.h"
#include "platform/Window.h"

namespace fakes {

class FakeTextField : public platform::TextField {
public:
    std::string text;                  // set by setStringValue
    std::optional<float> value;        // set by setObjectValue
    bool showsNumber = false;          // the last setter was setObjectValue
    const platform::Formatter* formatter = nullptr;
    std::optional<platform::Font> font;
    platform::Rect frame{0, 0, 100, 20};
    int setCount = 0;
    bool stale = false;

    void setStale(bool s) override { stale = s; }
    std::vector<std::string> shown;    // every text shown, in order, when keepHistory
    bool keepHistory = false;

    void setStringValue(const std::string& t) override
    {
        text = t;
        showsNumber = false;
        ++setCount;
        if (keepHistory) shown.push_back(stringValue());
    }
    void setObjectValue(std::optional<float> v) override
    {
        value = v;
        showsNumber = true;
        ++setCount;
        if (keepHistory) shown.push_back(stringValue());
    }
    void setFormatter(const platform::Formatter* f) override { formatter = f; }
    void setFont(const platform::Font& f) override { font = f; }
    platform::Rect bounds() const override { return {0, 0, frame.width, frame.height}; }
    std::string stringValue() const override
    {
        if (!showsNumber) return text;
        if (!value) return {};
        if (!formatter) return std::to_string(*value);
        return formatter->format(value).value_or("");
    }
};

class FakeComboBox : public platform::ComboBox {
public:
    std::vector<std::string> items;
    int selected = -1;
    int visibleItems = 5;

    void addItemWithObjectValue(const std::string& t) override { items.push_back(t); }
    void removeAllItems() override { items.clear(); selected = -1; }
    int numberOfItems() const override { return static_cast<int>(items.size()); }
    void setNumberOfVisibleItems(int rows) override { visibleItems = rows; }
    void selectItemAtIndex(int index) override
    {
        if (index >= 0 && index < numberOfItems()) selected = index;
    }
    int indexOfSelectedItem() const override { return selected; }
    std::optional<std::string> objectValueOfSelectedItem() const override
    {
        return itemObjectValueAtIndex(selected);
    }
    std::optional<std::string> itemObjectValueAtIndex(int index) const override
    {
        if (index < 0 || index >= numberOfItems()) return std::nullopt;
        return items[static_cast<std::size_t>(index)];
    }
};

class FakeButton : public platform::Button {
public:
    std::string currentTitle;
    bool enabled = true;
    void setTitle(const std::string& t) override { currentTitle = t; }
    std::string title() const override { return currentTitle; }
    void setEnabled(bool e) override { enabled = e; }
};

class FakeMenuItem : public platform::MenuItem {
public:
    bool enabled = true;
    void setEnabled(bool e) override { enabled = e; }
    bool isEnabled() const override { return enabled; }
};

class FakeDrawer : public platform::Drawer {
public:
    bool opened = false;
    int openCount = 0;
    int closeCount = 0;
    platform::DrawerDelegate* delegate = nullptr;

    void open() override { opened = true; ++openCount; }
    void close() override
    {
        const bool wasOpen = opened;
        opened = false;
        ++closeCount;
        if (wasOpen && delegate) delegate->drawerDidClose();
    }
    bool isOpen() const override { return opened; }
    void setDelegate(platform::DrawerDelegate* d) override { delegate = d; }
    // The user closes the drawer with its button.
    void userClose() { close(); }
};

class FakeWindow : public platform::Window {
public:
    int centerCount = 0;
    int closeCount = 0;
    platform::Size minimum{400, 200};
    platform::Size current{400, 200};
    platform::WindowDelegate* delegate = nullptr;

    void center() override { ++centerCount; }
    void show() override {}
    void close() override
    {
        ++closeCount;
        if (delegate) delegate->windowWillClose();
    }
    platform::Size minSize() const override { return minimum; }
    platform::Size size() const override { return current; }
    void setDelegate(platform::WindowDelegate* d) override { delegate = d; }
};

class FakeTextView : public platform::TextView {
public:
    struct Run {
        std::string text;
        platform::Color color;
    };
    // Read by tests; changed only through the interface (lengths are kept incrementally so
    // a long-running monitor stays cheap to fake).
    std::deque<Run> runs;
    std::optional<platform::Font> font;
    int scrollCount = 0;
    int redisplayCount = 0;

    std::size_t length() const override { return m_length; }
    std::string string() const override
    {
        std::string all;
        for (const auto& run : runs) all += run.text;
        return all;
    }
    void appendText(const std::string& t, platform::Color c) override;
    void clear() override
    {
        runs.clear();
        m_length = 0;
        m_newlines = 0;
    }
    std::size_t lineCount() const override;
    void removeFirstLines(std::size_t count) override;
    void scrollToEnd() override { ++scrollCount; }
    void setFont(const platform::Font& f) override { font = f; }
    void setNeedsDisplay() override { ++redisplayCount; }

private:
    std::size_t m_length = 0;
    std::size_t m_newlines = 0;
};

class FakeImageView : public platform::ImageView {
public:
    std::string imageName;
    bool available = true;
    bool setImageNamed(const std::string& name) override
    {
        imageName = available ? name : std::string();
        return available;
    }
};

// Hosts a drawn view in tests: counts redraw requests.
class FakeViewHost : public platform::ViewHost {
public:
    platform::Rect frame{0, 0, 100, 100};
    int redrawRequests = 0;
    float windowAlpha = 1.0f;
    void setNeedsDisplay() override { ++redrawRequests; }
    platform::Rect bounds() const override { return {0, 0, frame.width, frame.height}; }
    void setWindowAlphaValue(float alpha) override { windowAlpha = alpha; }
};

}  // namespace fakes
