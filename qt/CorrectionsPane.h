// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "qt/StatusRows.h"
#include "app/CorrectionsStatusText.h"

class CorrectionsController;
class QGridLayout;
class QLabel;
class QTimer;
class ReceiverState;

namespace qtplatform {

// The corrections pane's status part: one labelled line per row of CorrectionsStatusText
// (caster, connection, age, base station and position, baseline, fix, message types).
// Once a second it hands the receiver's state to the controller (for the caster's GGA and
// the baseline, also while the pane is hidden) and, while shown, shows the status.
// Main thread; the controller is not owned and must outlive the pane.
class CorrectionsPane : public QWidget {
    Q_OBJECT
public:
    using StateSource = std::function<const ReceiverState*()>;

    CorrectionsPane(CorrectionsController& controller, StateSource state, QWidget* parent = nullptr);

    // Hands the state over and shows the status now, rather than at the next tick.
    void refresh();

    const std::vector<CorrectionsRow>& shownRows() const { return m_shown; }
    QLabel* valueLabel(const std::string& key) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CorrectionsController& m_controller;
    StateSource m_state;
    StatusRows m_rows;
    std::vector<CorrectionsRow> m_shown;
    QTimer* m_timer = nullptr;
};

}  // namespace qtplatform
