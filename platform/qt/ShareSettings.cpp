#include "platform/qt/ShareSettings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Alert.h"
#include "platform/qt/StreamTaps.h"

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
    form->addRow(text("NSShareAddress"), row);
    m_pty = new QLabel(this);
    m_pty->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pty->setTextFormat(Qt::PlainText);
    form->addRow(text("NSSharePty"), m_pty);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    form->addRow(m_note);
    connect(m_toggle, &QPushButton::clicked, this, [this] { toggle(); });
    connect(m_endpoint, &QLineEdit::textChanged, this, [this] { refresh(); });
    refresh();
}

void ShareSettings::refresh()
{
    const bool running = m_taps.share().running();
    m_toggle->setText(text(running ? "NSStop" : "NSStart"));
    m_endpoint->setEnabled(!running);
    const std::string link = NmeaShare::defaultPtyLink();
    m_pty->setText(running && !m_taps.share().ptyPath().empty()
                       ? QString::fromStdString(link + " \u2192 " + m_taps.share().ptyPath())
                       : QString::fromStdString(link));
    const auto endpoint = NmeaShare::parseEndpoint(m_endpoint->text().toStdString());
    m_toggle->setEnabled(running || endpoint.has_value());
    m_note->setText(endpoint && !NmeaShare::isLoopback(endpoint->first)
                        ? text("NSShareBeyondLoopbackNote")
                        : text("NSShareLoopbackNote"));
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
            m_note->setText(text("NSShareFailed") + QLatin1Char(' ') + QString::fromStdString(error));
        else
            refresh();
        return;
    }
    refresh();
}

}  // namespace qtplatform
