// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qtplatform {

class StreamTaps;

// The Share section: where sentences are offered ("[ADDRESS:]PORT", 127.0.0.1:10110 by
// default), a Start/Stop button, the pseudo-terminal's path for gpsd or a chart plotter,
// and a note that says who can connect. StreamTaps is not owned.
class ShareSettings : public QWidget {
    Q_OBJECT
public:
    explicit ShareSettings(StreamTaps& taps, QWidget* parent = nullptr);

    // Shows the share's current state; call after starting or stopping it elsewhere.
    void refresh();

    QLineEdit* endpointField() const { return m_endpoint; }
    QPushButton* toggleButton() const { return m_toggle; }
    QLabel* ptyLabel() const { return m_pty; }
    QLabel* noteLabel() const { return m_note; }

private:
    void toggle();

    StreamTaps& m_taps;
    QLineEdit* m_endpoint;
    QPushButton* m_toggle;
    QLabel* m_pty;
    QLabel* m_note;
};

}  // namespace qtplatform
