// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtAlerts.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include "qt/QtWindow.h"

namespace qtplatform {

namespace {

// QMessageBox guesses the format of its informative text; received texts (a port path) must
// never be taken for markup.
void setPlainInformativeText(QMessageBox& box, const QString& text)
{
    box.setInformativeText(text);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
    } else {
        box.setInformativeText(QString());
        box.setText(box.text() + QStringLiteral("\n\n") + text);
    }
}

// A panel belongs to the program's window even when another program has the focus, so the
// desktop keeps it over that window and a picture of the window holds it.
QWidget* panelParent()
{
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(top) && top->isVisible()) return top;
    return nullptr;
}

}  // namespace

int QtAlerts::runPanel(const std::string& title, const std::string& message,
                       const std::string& defaultButton,
                       const std::optional<std::string>& alternateButton)
{
    QMessageBox box(panelParent());
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(QString::fromStdString(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(message));
    QPushButton* first = box.addButton(QString::fromStdString(defaultButton),
                                       QMessageBox::AcceptRole);
    QPushButton* second = nullptr;
    if (alternateButton)
        second = box.addButton(QString::fromStdString(*alternateButton), QMessageBox::RejectRole);
    box.setDefaultButton(first);
    box.exec();
    if (box.clickedButton() == first) return 0;
    if (second && box.clickedButton() == second) return 1;
    return -1;
}

void QtAlerts::beginSheet(platform::Window* window, const std::string& message,
                          const std::optional<std::string>& informative,
                          const std::string& button, std::function<void()> didEnd)
{
    QWidget* parent = widgetForWindow(window);
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(message));
    if (informative) setPlainInformativeText(*box, QString::fromStdString(*informative));
    box->setDefaultButton(box->addButton(QString::fromStdString(button), QMessageBox::AcceptRole));
    QObject::connect(box, &QMessageBox::finished, box, [didEnd = std::move(didEnd)](int) {
        if (didEnd) didEnd();
    });
    box->open();
}

}  // namespace qtplatform
