// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QWidget>

#include "serial/ReceiverConfiguration.h"

class QLabel;
class QPushButton;
class QTimer;

namespace qtplatform {

// Receiver › Configure…: the settings of a u-blox receiver (generation 9 and later by its
// configuration keys, an M8 through its older CFG messages) as read back from it (measurement period, constellations, outputs on UART1 and USB, UART1 rate),
// edited here and written with Apply; Save keeps them, Reset to Defaults goes back to the
// factory settings. Each answer of the receiver is said under the buttons, refusals in red.
// Reads back when shown. Main thread only.
class ReceiverConfigPane : public QWidget {
    Q_OBJECT
public:
    // How the pane reaches the receiver; all called on the main thread.
    struct ReceiverLink {
        // Whether a receiver is connected now; empty: never.
        std::function<bool()> connected;
        // Writes one whole frame to the receiver.
        std::function<void(std::vector<std::uint8_t> frame)> send;
        // Reopens the port at another rate; empty where the port cannot follow a rate change.
        std::function<bool(std::uint32_t baud)> reopenAt;
        // The rate the port is open at now; empty or nothing when not known.
        std::function<std::optional<std::uint32_t>()> lineRate;
    };

    explicit ReceiverConfigPane(ReceiverLink link, QWidget* parent = nullptr);
    ~ReceiverConfigPane() override;
    // Links the pane to the receiver (or to another one); what was on its way is let go.
    void setLink(ReceiverLink link);

    // Every UBX frame the receiver sends (from the reader's frame listener).
    void onUbxFrame(std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload);

    void readBack();
    void apply();
    void save();
    void resetToDefaults();

    // For tests: the editor of a shown key (QSpinBox, QCheckBox or QComboBox), the last
    // message and whether it told of a problem.
    QWidget* editor(std::uint32_t key) const;
    QString message() const;
    bool messageIsProblem() const { return m_problem; }
    const ReceiverConfiguration& configuration() const { return *m_configuration; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void refresh();
    void say(const std::string& text, bool problem);
    bool connected();
    std::optional<std::uint64_t> edited(const ReceiverConfiguration::Setting& setting) const;

    ReceiverLink m_link;
    std::unique_ptr<ReceiverConfiguration> m_configuration;
    std::map<std::uint32_t, QWidget*> m_editors;
    std::map<std::uint32_t, QLabel*> m_labels;
    QLabel* m_message = nullptr;
    bool m_problem = false;
    QPushButton* m_readButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_resetButton = nullptr;
    QTimer* m_ticker = nullptr;
    bool m_reading = false;  // a read back is on its way
};

}  // namespace qtplatform
