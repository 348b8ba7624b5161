// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QWidget>

class CorrectionsController;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace platform {
class Preferences;
}

namespace qtplatform {

// Where the receiver's data and its corrections come from: the receiver source ("SourceURL":
// empty for the serial port of the settings, tcp:// or gpsd://), the NTRIP caster
// ("NtripURL", without a password), the caster's password (to the secret store only, never
// shown again), how often the position goes to the caster ("NtripGgaSeconds"), and the
// mountpoint, picked from the caster's source table nearest first. When gpsd holds the serial
// port of the settings, it offers to read the receiver through gpsd instead.
// Main thread; the controller and preferences are not owned and must outlive the pane.
class SourceSettingsPane : public QWidget {
    Q_OBJECT
public:
    using SerialPortSource = std::function<std::optional<std::string>()>;

    SourceSettingsPane(CorrectionsController& controller, platform::Preferences& preferences,
                       SerialPortSource serialPort, QWidget* parent = nullptr);

    // Corrections chosen earlier start with the program once its loop runs (the secret store
    // may ask to be unlocked), unless the command line started some first. A failure goes to
    // standard error. context: the object whose life bounds the wait.
    static void startStoredCorrections(CorrectionsController& controller, platform::Preferences& preferences,
                                       QObject* context);

    // Saves the fields, keeps a typed password, and (re)starts the corrections; false when a
    // field is wrong (the note says why, nothing is saved).
    bool apply();
    // Asks the caster in the caster field for its source table.
    void fetchSourceTable();
    // Looks again whether gpsd holds the serial port (on show and after apply).
    void checkForGpsd();

    // For tests.
    QLineEdit& sourceField() { return *m_source; }
    QLineEdit& casterField() { return *m_caster; }
    QLineEdit& passwordField() { return *m_password; }
    QSpinBox& ggaSecondsField() { return *m_ggaSeconds; }
    QComboBox& mountpoints() { return *m_mountpoints; }
    QPushButton& useGpsdButton() { return *m_useGpsd; }
    QString note() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void say(const std::string& text);
    void pollSourceTable();
    void mountpointChosen(int index);

    CorrectionsController& m_controller;
    platform::Preferences& m_preferences;
    SerialPortSource m_serialPort;
    QLineEdit* m_source = nullptr;
    QLineEdit* m_caster = nullptr;
    QLineEdit* m_password = nullptr;
    QSpinBox* m_ggaSeconds = nullptr;
    QComboBox* m_mountpoints = nullptr;
    QPushButton* m_fetch = nullptr;
    QPushButton* m_useGpsd = nullptr;
    QLabel* m_note = nullptr;
    QTimer* m_tablePoll = nullptr;
    std::optional<std::string> m_gpsdSource;
};

}  // namespace qtplatform
