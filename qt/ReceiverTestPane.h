// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>

#include <QWidget>

#include "serial/ReceiverCommands.h"

class QPushButton;
class QTimer;
class ReceiverTestController;
class ReceiverTestView;

namespace qtplatform {

class QtViewWidget;

// The "Receiver test" pane: the drawn test view above a row of buttons (Reset, Copy,
// Export CSV, hot/warm/cold restart). The controller is not owned and must outlive the
// pane; the pane owns the view and sets it as the controller's outlet. A one-second timer
// moves the clock on and keeps the restart buttons' state and tooltip current.
class ReceiverTestPane : public QWidget {
    Q_OBJECT
public:
    explicit ReceiverTestPane(ReceiverTestController& controller, QWidget* parent = nullptr);
    ~ReceiverTestPane() override;

    QPushButton* restartButton(RestartDepth depth) const;
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* exportButton() const { return m_export; }
    QtViewWidget* viewWidget() const { return m_host; }

    // Moves the clock on and refreshes the restart buttons now rather than at the next tick.
    void refresh();

private:
    void exportCsv();
    double now() const;

    ReceiverTestController& m_controller;
    std::unique_ptr<ReceiverTestView> m_view;
    QtViewWidget* m_host = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_hot = nullptr;
    QPushButton* m_warm = nullptr;
    QPushButton* m_cold = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace qtplatform
