// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QWidget>

#include "platform/View.h"

namespace qtplatform {

// Hosts a drawn view: paint events go through a QtCanvas to the view's drawRect, and the
// view's redraw requests become update() (coalesced by Qt). The view is not owned; it must
// outlive the widget or be detached with setView(nullptr).
class QtViewWidget : public QWidget, public platform::ViewHost {
    Q_OBJECT
public:
    explicit QtViewWidget(QWidget* parent = nullptr);
    ~QtViewWidget() override;

    void setView(platform::View* view);
    platform::View* view() const { return m_view; }

    void setNeedsDisplay() override;
    platform::Rect bounds() const override;
    void setWindowAlphaValue(float alpha) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    platform::View* m_view = nullptr;
};

}  // namespace qtplatform
