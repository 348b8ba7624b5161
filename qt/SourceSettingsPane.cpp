// SPDX-License-Identifier: BSD-2-Clause
#include "qt/SourceSettingsPane.h"

#include <cmath>
#include <cstdio>
#include <variant>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app/CorrectionsController.h"
#include "platform/Alert.h"
#include "qt/MessageText.h"
#include "serial/ConnectionDoctor.h"
#include "platform/Preferences.h"
#include "sources/SourceUrl.h"

namespace qtplatform {

namespace {


std::string preferenceText(const platform::Preferences& preferences, const char* key)
{
    const auto value = preferences.objectForKey(key);
    const auto* found = value ? std::get_if<std::string>(&*value) : nullptr;
    return found ? *found : std::string();
}

}  // namespace

SourceSettingsPane::SourceSettingsPane(CorrectionsController& controller, platform::Preferences& preferences,
                                       SerialPortSource serialPort, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_preferences(preferences), m_serialPort(std::move(serialPort))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 6, 4, 4);
    auto* form = new QFormLayout();
    layout->addLayout(form);

    m_source = new QLineEdit(this);
    m_source->setPlaceholderText(text("corrections.sourceUrl.placeholder"));
    m_useGpsd = new QPushButton(text("corrections.useGpsd"), this);
    m_useGpsd->hide();
    auto* sourceRow = new QHBoxLayout();
    sourceRow->addWidget(m_source, 1);
    sourceRow->addWidget(m_useGpsd);
    form->addRow(text("corrections.sourceUrl"), sourceRow);

    m_caster = new QLineEdit(this);
    m_caster->setPlaceholderText(text("corrections.casterUrl.placeholder"));
    form->addRow(text("corrections.casterUrl"), m_caster);

    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(text("corrections.passwordField.placeholder"));
    form->addRow(text("corrections.passwordField"), m_password);

    m_mountpoints = new QComboBox(this);
    m_mountpoints->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_mountpoints->setMinimumContentsLength(24);
    m_fetch = new QPushButton(text("corrections.fetchTable"), this);
    auto* mountRow = new QHBoxLayout();
    mountRow->addWidget(m_mountpoints, 1);
    mountRow->addWidget(m_fetch);
    form->addRow(text("corrections.mountpoint"), mountRow);

    m_ggaSeconds = new QSpinBox(this);
    m_ggaSeconds->setRange(1, 600);
    m_ggaSeconds->setSuffix(text("corrections.ggaSeconds.suffix"));
    form->addRow(text("corrections.ggaSeconds"), m_ggaSeconds);

    auto* buttons = new QHBoxLayout();
    auto* stop = new QPushButton(text("corrections.stop"), this);
    auto* applyButton = new QPushButton(text("corrections.apply"), this);
    buttons->addStretch(1);
    buttons->addWidget(stop);
    buttons->addWidget(applyButton);
    layout->addLayout(buttons);

    m_note = new QLabel(this);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    layout->addStretch(1);

    const CorrectionsSettings stored = CorrectionsSettings::load(m_preferences);
    m_source->setText(QString::fromStdString(preferenceText(m_preferences, CorrectionsSettings::kSourceKey)));
    m_caster->setText(QString::fromStdString(stored.casterUrl));
    m_ggaSeconds->setValue(stored.ggaSeconds);

    m_tablePoll = new QTimer(this);
    m_tablePoll->setInterval(100);
    connect(m_tablePoll, &QTimer::timeout, this, &SourceSettingsPane::pollSourceTable);
    connect(m_fetch, &QPushButton::clicked, this, &SourceSettingsPane::fetchSourceTable);
    connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
    connect(stop, &QPushButton::clicked, this, [this] { m_controller.stop(); });
    connect(m_mountpoints, &QComboBox::activated, this, &SourceSettingsPane::mountpointChosen);
    connect(m_useGpsd, &QPushButton::clicked, this, [this] {
        if (!m_gpsdSource) return;
        m_source->setText(QString::fromStdString(*m_gpsdSource));
        apply();
    });
}

void SourceSettingsPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    checkForGpsd();
}

QString SourceSettingsPane::note() const { return m_note->text(); }

void SourceSettingsPane::say(const std::string& said) { m_note->setText(QString::fromStdString(said)); }

bool SourceSettingsPane::apply()
{
    const std::string source = m_source->text().trimmed().toStdString();
    if (!source.empty()) {
        SourceMessage whyNot;
        const auto url = SourceUrl::parse(source, whyNot);
        if (!url) {
            say(Alert::localizedStringWithKey("corrections.badSource", {whyNot.text()}));
            return false;
        }
        if (url->kind == SourceUrl::Kind::Ntrip) {
            say(Alert::localizedStringWithKey("corrections.sourceIsCaster"));
            return false;
        }
    }
    CorrectionsSettings settings;
    settings.casterUrl = m_caster->text().trimmed().toStdString();
    settings.ggaSeconds = m_ggaSeconds->value();
    if (!settings.casterUrl.empty()) {
        SourceMessage whyNot;
        const auto url = SourceUrl::parse(settings.casterUrl, whyNot);
        if (!url || url->kind != SourceUrl::Kind::Ntrip) {
            say(url ? Alert::localizedStringWithKey("corrections.notCaster", {url->toString()}) : whyNot.text());
            return false;
        }
        // Kept in the form the parser gives back: never anything but user, host and mountpoint.
        settings.casterUrl = url->toString();
        m_caster->setText(QString::fromStdString(settings.casterUrl));
    }

    std::vector<std::string> notes;
    m_preferences.setObject(CorrectionsSettings::kSourceKey, source);
    settings.save(m_preferences);
    if (!m_preferences.synchronize()) notes.push_back(m_preferences.failureReason());
    if (!m_password->text().isEmpty() && !settings.casterUrl.empty()) {
        notes.push_back(m_controller.storePassword(settings.casterUrl, m_password->text().toStdString()).text());
        // Out of the widget at once: it is never shown again.
        m_password->clear();
    }
    SourceMessage whyNot;
    if (!m_controller.start(settings, whyNot)) notes.push_back(whyNot.text());
    notes.push_back(Alert::localizedStringWithKey("corrections.applied"));
    std::string joined;
    for (const std::string& line : notes) joined += (joined.empty() ? "" : "\n") + line;
    say(joined);
    checkForGpsd();
    return true;
}

void SourceSettingsPane::fetchSourceTable()
{
    const std::string caster = m_caster->text().trimmed().toStdString();
    SourceMessage whyNot;
    const auto url = SourceUrl::parse(caster, whyNot);
    m_controller.requestSourceTable(caster);
    if (url) say(Alert::localizedStringWithKey("corrections.fetching", {url->hostAndPort()}));
    m_fetch->setEnabled(false);
    m_tablePoll->start();
}

void SourceSettingsPane::pollSourceTable()
{
    auto answer = m_controller.takeSourceTable();
    if (!answer) return;
    m_tablePoll->stop();
    m_fetch->setEnabled(true);
    if (!answer->error.empty()) {
        say(answer->error.text());
        return;
    }
    m_mountpoints->clear();
    for (const Mountpoint& mountpoint : answer->mountpoints) {
        const QString entry =
            mountpoint.distanceKm
                ? text("corrections.mountpointEntry",
                       {mountpoint.name, mountpoint.identifier, mountpoint.format,
                        std::to_string(static_cast<long>(std::lround(*mountpoint.distanceKm)))})
                : text("corrections.mountpointEntryFar", {mountpoint.name, mountpoint.identifier, mountpoint.format});
        m_mountpoints->addItem(entry, QString::fromStdString(mountpoint.name));
    }
    say(answer->mountpoints.empty()
            ? Alert::localizedStringWithKey("corrections.tableEmpty")
            : Alert::localizedStringWithKey("corrections.tableCount", {std::to_string(answer->mountpoints.size())}));
}

void SourceSettingsPane::mountpointChosen(int index)
{
    SourceMessage whyNot;
    auto url = SourceUrl::parse(m_caster->text().trimmed().toStdString(), whyNot);
    if (!url || index < 0) return;
    url->mountpoint = m_mountpoints->itemData(index).toString().toStdString();
    m_caster->setText(QString::fromStdString(url->toString()));
}

void SourceSettingsPane::checkForGpsd()
{
    const std::optional<std::string> port = m_serialPort ? m_serialPort() : std::nullopt;
    m_gpsdSource = port && !port->empty() ? ConnectionDoctor().gpsdSourceFor(*port) : std::nullopt;
    m_useGpsd->setVisible(m_gpsdSource.has_value());
    if (m_gpsdSource)
        m_useGpsd->setToolTip(QString::fromStdString(Alert::localizedStringWithKey("DoctorGpsdSource", {*m_gpsdSource})));
}

void SourceSettingsPane::startStoredCorrections(CorrectionsController& controller,
                                                platform::Preferences& preferences, QObject* context)
{
    const CorrectionsSettings stored = CorrectionsSettings::load(preferences);
    if (stored.casterUrl.empty()) return;
    QTimer::singleShot(0, context, [&controller, stored] {
        if (controller.running()) return;
        SourceMessage whyNot;
        if (!controller.start(stored, whyNot)) std::fprintf(stderr, "gpsdesk: %s\n", whyNot.text().c_str());
    });
}

}  // namespace qtplatform
