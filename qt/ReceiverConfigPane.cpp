// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReceiverConfigPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/Alert.h"
#include "qt/MessageText.h"

namespace qtplatform {

namespace {

using Kind = ReceiverConfiguration::SettingKind;
using Setting = ReceiverConfiguration::Setting;

// Legible on the light and the dark palette alike.
const QColor kProblemColour(220, 50, 47);


bool isConstellation(const Setting& setting)
{
    return setting.kind == Kind::OnOff && !std::string_view(setting.label).starts_with("Config");
}

}  // namespace

ReceiverConfigPane::ReceiverConfigPane(ReceiverLink link, QWidget* parent) : QWidget(parent)
{
    setLink(std::move(link));
    build();
    m_ticker = new QTimer(this);
    m_ticker->setInterval(200);
    connect(m_ticker, &QTimer::timeout, this, [this] {
        if (m_configuration->busy()) m_configuration->tick();
    });
    m_ticker->start();
    refresh();
}

ReceiverConfigPane::~ReceiverConfigPane() = default;

void ReceiverConfigPane::setLink(ReceiverLink link)
{
    m_link = std::move(link);
    ReceiverConfiguration::Hooks hooks;
    hooks.send = [this](std::vector<std::uint8_t> frame) {
        if (m_link.send) m_link.send(std::move(frame));
    };
    hooks.message = [this](const std::string& message, bool problem) { say(message, problem); };
    hooks.changed = [this] { refresh(); };
    if (m_link.reopenAt) hooks.reopenAt = m_link.reopenAt;
    m_configuration = std::make_unique<ReceiverConfiguration>(std::move(hooks));
    m_reading = false;
    if (m_message) refresh();
}

void ReceiverConfigPane::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* intro = new QLabel(text("ConfigIntro"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* general = new QFormLayout;
    auto* constellations = new QGroupBox(text("ConfigConstellations"), this);
    auto* constellationGrid = new QGridLayout(constellations);
    auto* outputs = new QGroupBox(text("ConfigOutputs"), this);
    auto* outputForm = new QFormLayout(outputs);
    int constellationCount = 0;
    for (const Setting& setting : ReceiverConfiguration::shownSettings()) {
        const binary::UbxConfigKey* key = binary::ubxConfigKeyById(setting.key);
        const QString name = key ? QString::fromUtf8(key->name.data(), static_cast<int>(key->name.size())) : QString();
        QWidget* editor = nullptr;
        switch (setting.kind) {
        case Kind::Number: {
            auto* spin = new QSpinBox(this);
            // The receiver decides what it takes; the box only keeps to the key's size.
            spin->setRange(0, binary::ubxKeyValueSize(setting.key) >= 2 ? 65535 : 255);
            editor = spin;
            break;
        }
        case Kind::OnOff:
            editor = new QCheckBox(isConstellation(setting) ? text(std::string(setting.label)) : QString(), this);
            break;
        case Kind::LineRate: {
            auto* rates = new QComboBox(this);
            for (const std::uint32_t rate : ReceiverConfiguration::lineRates())
                rates->addItem(QString::number(rate), QVariant::fromValue(rate));
            editor = rates;
            break;
        }
        }
        editor->setToolTip(name);
        m_editors[setting.key] = editor;
        if (isConstellation(setting)) {
            constellationGrid->addWidget(editor, constellationCount / 3, constellationCount % 3);
            ++constellationCount;
            continue;
        }
        auto* label = new QLabel(text(std::string(setting.label)), this);
        label->setToolTip(name);
        m_labels[setting.key] = label;
        (setting.kind == Kind::OnOff || setting.label.find("Uart1") != std::string_view::npos ||
                 setting.label.find("Usb") != std::string_view::npos
             ? outputForm
             : general)
            ->addRow(label, editor);
    }
    layout->addLayout(general);
    layout->addWidget(constellations);
    layout->addWidget(outputs);

    auto* buttons = new QHBoxLayout;
    m_readButton = new QPushButton(text("ConfigRead"), this);
    m_applyButton = new QPushButton(text("ConfigApply"), this);
    m_saveButton = new QPushButton(text("ConfigSave"), this);
    m_resetButton = new QPushButton(text("ConfigReset"), this);
    for (QPushButton* button : {m_readButton, m_applyButton, m_saveButton, m_resetButton}) buttons->addWidget(button);
    connect(m_readButton, &QPushButton::clicked, this, [this] { readBack(); });
    connect(m_applyButton, &QPushButton::clicked, this, [this] { apply(); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_resetButton, &QPushButton::clicked, this, [this] { resetToDefaults(); });
    layout->addLayout(buttons);

    m_message = new QLabel(this);
    // The receiver's words and key names go in as they are: never as markup.
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_message);
    layout->addStretch(1);
}

void ReceiverConfigPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_configuration->busy() && m_link.connected && m_link.connected()) readBack();
}

void ReceiverConfigPane::onUbxFrame(std::uint8_t messageClass, std::uint8_t messageId,
                                    std::span<const std::uint8_t> payload)
{
    m_configuration->onUbxFrame(messageClass, messageId, payload);
}

bool ReceiverConfigPane::connected()
{
    if (m_link.connected && m_link.connected()) {
        if (m_link.lineRate) m_configuration->setLineRate(m_link.lineRate());
        return true;
    }
    say(text("ConfigNoReceiver").toStdString(), true);
    return false;
}

void ReceiverConfigPane::readBack()
{
    if (!connected()) return;
    m_reading = true;
    m_configuration->readBack();
}

std::optional<std::uint64_t> ReceiverConfigPane::edited(const Setting& setting) const
{
    const QWidget* editor = m_editors.at(setting.key);
    switch (setting.kind) {
    case Kind::Number: return static_cast<std::uint64_t>(static_cast<const QSpinBox*>(editor)->value());
    case Kind::OnOff: return static_cast<const QCheckBox*>(editor)->isChecked() ? 1u : 0u;
    case Kind::LineRate: {
        const QVariant rate = static_cast<const QComboBox*>(editor)->currentData();
        if (!rate.isValid()) return std::nullopt;
        return rate.toUInt();
    }
    }
    return std::nullopt;
}

void ReceiverConfigPane::apply()
{
    if (!connected()) return;
    std::vector<binary::UbxConfigValue> changes;
    for (const Setting& setting : ReceiverConfiguration::shownSettings()) {
        const std::optional<std::uint64_t> was = m_configuration->value(setting.key);
        const std::optional<std::uint64_t> now = edited(setting);
        // Only what was read back can be changed: a value never read is not overwritten.
        if (was && now && *was != *now) changes.push_back({setting.key, *now});
    }
    if (changes.empty()) {
        say(text("ConfigNothingChanged").toStdString(), false);
        return;
    }
    m_configuration->apply(changes);
}

void ReceiverConfigPane::save()
{
    if (connected()) m_configuration->save();
}

void ReceiverConfigPane::resetToDefaults()
{
    if (connected()) m_configuration->resetToDefaults();
}

void ReceiverConfigPane::say(const std::string& message, bool problem)
{
    m_problem = problem;
    if (problem) m_reading = false;
    m_message->setText(QString::fromStdString(message));
    QPalette colours = palette();
    if (problem) colours.setColor(QPalette::WindowText, kProblemColour);
    m_message->setPalette(colours);
}

QWidget* ReceiverConfigPane::editor(std::uint32_t key) const
{
    const auto found = m_editors.find(key);
    return found == m_editors.end() ? nullptr : found->second;
}

QString ReceiverConfigPane::message() const { return m_message->text(); }

void ReceiverConfigPane::refresh()
{
    const bool busy = m_configuration->busy();
    for (QPushButton* button : {m_readButton, m_applyButton, m_saveButton, m_resetButton}) button->setEnabled(!busy);
    // A read that ended without a problem is said too, so the user sees the values are fresh.
    if (m_reading && !busy) {
        m_reading = false;
        say(text("ConfigValuesRead").toStdString(), false);
    }
    for (const Setting& setting : ReceiverConfiguration::shownSettings()) {
        QWidget* editor = m_editors.at(setting.key);
        const std::optional<std::uint64_t> value = m_configuration->value(setting.key);
        const bool supported = m_configuration->supported(setting.key);
        editor->setEnabled(value.has_value() && !busy);
        const binary::UbxConfigKey* key = binary::ubxConfigKeyById(setting.key);
        QString tip = key ? QString::fromUtf8(key->name.data(), static_cast<int>(key->name.size())) : QString();
        if (!value) tip += QStringLiteral(" — ") + text(supported ? "ConfigUnknown" : "ConfigUnsupported");
        editor->setToolTip(tip);
        if (!value) continue;
        const QSignalBlocker quiet(editor);
        switch (setting.kind) {
        case Kind::Number: static_cast<QSpinBox*>(editor)->setValue(static_cast<int>(*value)); break;
        case Kind::OnOff: static_cast<QCheckBox*>(editor)->setChecked(*value != 0); break;
        case Kind::LineRate: {
            auto* rates = static_cast<QComboBox*>(editor);
            int index = rates->findData(QVariant::fromValue(static_cast<std::uint32_t>(*value)));
            // A rate outside the usual list is shown as it is.
            if (index < 0) {
                rates->addItem(QString::number(*value), QVariant::fromValue(static_cast<std::uint32_t>(*value)));
                index = rates->count() - 1;
            }
            rates->setCurrentIndex(index);
            break;
        }
        }
    }
}

}  // namespace qtplatform
