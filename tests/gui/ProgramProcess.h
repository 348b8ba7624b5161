// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <csignal>
#include <memory>

// Starting the gpsdesk program under test, offscreen, with a private preferences folder.
namespace programtest {

inline QProcess* startProgram(const QStringList& arguments, const QString& home,
                       QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
{
    auto* process = new QProcess();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Preferences go to a private folder, never the developer's own.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(channels);
    process->start(QStringLiteral(GPSDESK_BINARY), arguments);
    return process;
}

// Starts the program, lets it set up its handlers and show the window, and sends the signal.
inline std::unique_ptr<QProcess> signalAfterStart(const QStringList& arguments, const QString& home,
                                           int signal)
{
    std::unique_ptr<QProcess> process(
        startProgram(arguments, home, QProcess::SeparateChannels));
    if (!process->waitForStarted(10000)) return process;
    process->waitForFinished(1500);
    if (process->state() == QProcess::Running)
        ::kill(static_cast<pid_t>(process->processId()), signal);
    process->waitForFinished(20000);
    return process;
}

}  // namespace programtest
