// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ShareSettings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "platform/Alert.h"
#include "qt/StreamTaps.h"

namespace qtplatform {

namespace {

QString text(const char* key)
{
    return QString::fromStdString(Alert::localizedStringWithKey(key));
}

}  // namespace

ShareSettings::ShareSettings(StreamTaps& taps, QWidget* parent) : QWidget(parent), m_taps(taps)
{
    auto* form = new QFormLayout(this);
    auto* row = new QHBoxLayout();
    m_endpoint = new QLineEdit(QStringLiteral("127.0.0.1:10110"), this);
    m_toggle = new QPushButton(this);
    row->addWidget(m_endpoint, 1);
    row->addWidget(m_toggle);
    form->addRow(text("ShareAddress"), row);
    m_pty = new QLabel(this);
    m_pty->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pty->setTextFormat(Qt::PlainText);
    form->addRow(text("SharePty"), m_pty);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    form->addRow(m_note);
    connect(m_toggle, &QPushButton::clicked, this, [this] { toggle(); });
    connect(m_endpoint, &QLineEdit::textChanged, this, [this] { refresh(); });
    refresh();
}

void ShareSettings::refresh()
{
    const NmeaShare& share = m_taps.share();
    const bool running = share.running();
    m_toggle->setText(text(running ? "Stop" : "Start"));
    m_endpoint->setEnabled(!running);
    if (running && share.options().tcp) {
        // What the share listens on, however it was started (the command line included).
        const std::string& address = share.options().address;
        const std::string shown = address.find(':') != std::string::npos ? "[" + address + "]" : address;
        const QString endpoint = QString::fromStdString(shown + ":" + std::to_string(share.boundPort()));
        if (m_endpoint->text() != endpoint) {
            const QSignalBlocker quiet(m_endpoint);
            m_endpoint->setText(endpoint);
        }
    }
    const std::string link = running ? share.options().ptyLink : NmeaShare::defaultPtyLink();
    if (running && !share.ptyPath().empty())
        m_pty->setText(QString::fromStdString(share.ptyLinkWarning().empty()
                                                  ? link + " \u2192 " + share.ptyPath()
                                                  : share.ptyPath()));
    else
        m_pty->setText(QString::fromStdString(link));
    const auto endpoint = NmeaShare::parseEndpoint(m_endpoint->text().toStdString());
    m_toggle->setEnabled(running || endpoint.has_value());
    QString note = endpoint && !NmeaShare::isLoopback(endpoint->first) ? text("ShareBeyondLoopbackNote")
                                                                       : text("ShareLoopbackNote");
    if (running && !share.ptyLinkWarning().empty())
        note += QLatin1Char('\n') + QString::fromStdString(share.ptyLinkWarning());
    m_note->setText(note);
}

void ShareSettings::toggle()
{
    if (m_taps.share().running()) {
        m_taps.stopSharing();
    } else if (const auto endpoint = NmeaShare::parseEndpoint(m_endpoint->text().toStdString())) {
        NmeaShare::Options options;
        options.address = endpoint->first;
        options.port = endpoint->second;
        options.ptyLink = NmeaShare::defaultPtyLink();
        std::string error;
        if (!m_taps.startSharing(options, error))
            m_note->setText(text("ShareFailed") + QLatin1Char(' ') + QString::fromStdString(error));
        else
            refresh();
        return;
    }
    refresh();
}

}  // namespace qtplatform
