// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReceiverTestPane.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ReceiverTestController.h"
#include "platform/Alert.h"
#include "instruments/ReceiverTestView.h"
#include "platform/Application.h"
#include "platform/Services.h"
#include "qt/QtViewWidget.h"

namespace qtplatform {

namespace {

QString text(const char* key)
{
    return QString::fromStdString(Alert::localizedStringWithKey(key));
}

}  // namespace

ReceiverTestPane::ReceiverTestPane(ReceiverTestController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_view(std::make_unique<ReceiverTestView>())
{
    m_host = new QtViewWidget(this);
    m_host->setMinimumSize(760, 560);
    m_host->setView(m_view.get());
    m_controller.setView(m_view.get());

    m_reset = new QPushButton(text("TestReset"), this);
    m_copy = new QPushButton(text("TestCopy"), this);
    m_export = new QPushButton(text("TestExportCsv"), this);
    m_hot = new QPushButton(text("TestHot"), this);
    m_warm = new QPushButton(text("TestWarm"), this);
    m_cold = new QPushButton(text("TestCold"), this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_reset, m_copy, m_export}) buttons->addWidget(button);
    buttons->addStretch(1);
    for (QPushButton* button : {m_hot, m_warm, m_cold}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_host, 1);
    layout->addLayout(buttons);

    connect(m_reset, &QPushButton::clicked, this, [this] { m_controller.reset(); });
    connect(m_copy, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(m_controller.copyText()));
    });
    connect(m_export, &QPushButton::clicked, this, [this] { exportCsv(); });
    const std::pair<QPushButton*, RestartDepth> restarts[] = {
        {m_hot, RestartDepth::Hot}, {m_warm, RestartDepth::Warm}, {m_cold, RestartDepth::Cold}};
    for (const auto& [button, depth] : restarts) {
        connect(button, &QPushButton::clicked, this, [this, depth = depth] {
            m_controller.restart(depth, now());
            refresh();
        });
    }

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { refresh(); });
    m_timer->start();
    refresh();
}

ReceiverTestPane::~ReceiverTestPane()
{
    m_controller.setView(nullptr);
    m_host->setView(nullptr);
}

QPushButton* ReceiverTestPane::restartButton(RestartDepth depth) const
{
    switch (depth) {
    case RestartDepth::Hot: return m_hot;
    case RestartDepth::Warm: return m_warm;
    case RestartDepth::Cold: return m_cold;
    }
    return nullptr;
}

double ReceiverTestPane::now() const
{
    const platform::Clock* clock = platform::services().clock;
    return clock ? clock->now() : 0.0;
}

void ReceiverTestPane::refresh()
{
    m_controller.tick(now());
    const auto refusal = m_controller.restartRefusal();
    // A disabled button still shows its tooltip, so the reason is where the user looks.
    const QString why = refusal ? QString::fromStdString(*refusal) : QString();
    for (QPushButton* button : {m_hot, m_warm, m_cold}) {
        button->setEnabled(!refusal);
        button->setToolTip(why);
    }
}

void ReceiverTestPane::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, text("TestExportCsv"), "receiver-test.csv",
                                                      "CSV (*.csv)");
    if (path.isEmpty()) return;
    // Written whole or not at all: a failed export never leaves half a file in place.
    QSaveFile file(path);
    const std::string csv = m_controller.csvText();
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size()) &&
                         file.commit();
    if (!written) Alert::showMessageWithKey("TestExportFailed");
}

}  // namespace qtplatform
