// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QMainWindow>
#include <memory>

#include "platform/Window.h"

namespace qtplatform {

// The main window. The delegate is asked about every size the window is dragged to
// (windowWillResize) and the window takes the answer, so a delegate can keep the window's
// proportions; windowWillClose comes once, whoever closes the window. Sizes the delegate
// sees (proposed, size, minSize) are those of the content (the central widget), without the
// menu bar and the panes around it.
class QtWindow : public platform::Window {
public:
    QtWindow();
    ~QtWindow() override;

    // The Qt window, owned by this object.
    QMainWindow* widget() const;

    void center() override;
    void show() override;
    void close() override;
    platform::Size minSize() const override;
    platform::Size size() const override;
    void setDelegate(platform::WindowDelegate* delegate) override;

private:
    class Widget;
    std::unique_ptr<Widget> m_widget;
};

// The Qt window behind a platform window made here, or nullptr.
QWidget* widgetForWindow(platform::Window* window);

}  // namespace qtplatform
