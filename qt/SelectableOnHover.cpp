// SPDX-License-Identifier: BSD-2-Clause
#include "qt/SelectableOnHover.h"

#include <QEvent>
#include <QLabel>

namespace qtplatform {

namespace {

class HoverSelection : public QObject {
public:
    explicit HoverSelection(QLabel* label) : QObject(label), m_label(label) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_label) return false;
        if (event->type() == QEvent::Enter)
            m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        else if (event->type() == QEvent::Leave && !m_label->hasSelectedText())
            m_label->setTextInteractionFlags(Qt::NoTextInteraction);
        return false;
    }

private:
    QLabel* m_label;
};

}  // namespace

void selectableOnHover(QLabel* label)
{
    label->setTextInteractionFlags(label->underMouse() ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    label->installEventFilter(new HoverSelection(label));
}

}  // namespace qtplatform
