// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "qt/StatusRows.h"
#include "app/ReceiverHealthText.h"

class QGridLayout;
class QLabel;
class QTimer;

namespace qtplatform {

// The "Receiver identity and health" pane: one labelled line per row of ReceiverHealthText
// (model, firmware, supported systems, interference, antenna, spoofing, ...), unknown values
// dimmed, warnings and critical states in colour. It asks its source for the receiver's
// health once a second while it is shown, and at once when it is shown; the source is
// called on the main thread only.
class ReceiverHealthPane : public QWidget {
    Q_OBJECT
public:
    using Source = std::function<ReceiverHealth()>;

    explicit ReceiverHealthPane(Source source, QWidget* parent = nullptr);

    // Shows what the source says now, rather than at the next tick.
    void refresh();

    // What is shown, for tests: the rows in order, and the value label of a row by its key
    // (nullptr for a row not shown).
    const std::vector<ReceiverHealthRow>& shownRows() const { return m_shown; }
    QLabel* valueLabel(const std::string& key) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void style(QLabel* value, HealthLevel level) const;

    Source m_source;
    StatusRows m_rows;
    std::vector<ReceiverHealthRow> m_shown;
    QTimer* m_timer = nullptr;
};

}  // namespace qtplatform
