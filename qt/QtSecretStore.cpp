// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtSecretStore.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace qtplatform {

namespace {

const QString kService = QStringLiteral("gpsdesk");

struct Outcome {
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString text;  // a read's secret
};

// Starts the job and waits for it (or the time-out) in a local event loop. The job deletes
// itself once done, also when it finishes after the time-out: the connection ends with the loop.
Outcome runJob(QKeychain::Job* job, int timeoutMilliseconds)
{
    Outcome outcome;
    QEventLoop loop;
    job->setAutoDelete(true);
    // Never a clear-text file beside the preferences when no secret service answers.
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        outcome.finished = true;
        outcome.error = done->error();
        outcome.errorText = done->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done)) outcome.text = read->textData();
        loop.quit();
    });
    QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
    job->start();
    if (!outcome.finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return outcome;
}

platform::SecretStore::Result unavailable(const Outcome& outcome)
{
    std::string detail = outcome.finished ? outcome.errorText.toStdString() : std::string("no answer");
    if (detail.empty()) detail = "no secret service";
    return {platform::SecretStore::Status::Unavailable, {}, std::move(detail)};
}

}  // namespace

platform::SecretStore::Result QtSecretStore::read(const std::string& name)
{
    if (const auto kept = m_session.find(name); kept != m_session.end())
        return {Status::KeptForSession, kept->second, {}};
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(QString::fromStdString(name));
    const Outcome outcome = runJob(job, m_timeoutMilliseconds);
    if (outcome.finished && outcome.error == QKeychain::NoError)
        return {Status::Stored, outcome.text.toStdString(), {}};
    if (outcome.finished && outcome.error == QKeychain::EntryNotFound) return {Status::NotFound, {}, {}};
    return unavailable(outcome);
}

platform::SecretStore::Result QtSecretStore::write(const std::string& name, const std::string& secret)
{
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(QString::fromStdString(name));
    job->setTextData(QString::fromStdString(secret));
    const Outcome outcome = runJob(job, m_timeoutMilliseconds);
    if (outcome.finished && outcome.error == QKeychain::NoError) {
        m_session.erase(name);
        return {Status::Stored, {}, {}};
    }
    // The user still gets connected this session; the result tells them it will not last.
    m_session[name] = secret;
    Result result = unavailable(outcome);
    result.status = Status::KeptForSession;
    return result;
}

platform::SecretStore::Result QtSecretStore::erase(const std::string& name)
{
    const bool wasKept = m_session.erase(name) > 0;
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(QString::fromStdString(name));
    const Outcome outcome = runJob(job, m_timeoutMilliseconds);
    if (outcome.finished && outcome.error == QKeychain::NoError) return {Status::Stored, {}, {}};
    if (outcome.finished && outcome.error == QKeychain::EntryNotFound) return {Status::NotFound, {}, {}};
    if (wasKept) return {Status::KeptForSession, {}, {}};
    return unavailable(outcome);
}

}  // namespace qtplatform
