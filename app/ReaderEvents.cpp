// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReaderEvents.h"

#include "app/ReaderUpdate.h"

void tell(ReaderEvents& events, const ReaderUpdate& update)
{
    switch (update.kind) {
    case ReaderUpdate::Kind::Line: events.lineRead(update.result); return;
    case ReaderUpdate::Kind::ReadyToConnect: events.readyToConnect(); return;
    case ReaderUpdate::Kind::Opened: events.connectionOpened(); return;
    case ReaderUpdate::Kind::Closed: events.connectionClosed(); return;
    case ReaderUpdate::Kind::OpenFailed: events.openFailed(update.text, update.detail); return;
    case ReaderUpdate::Kind::Lost: events.connectionLost(update.text); return;
    case ReaderUpdate::Kind::Message: events.readerMessage(update.text); return;
    case ReaderUpdate::Kind::RateFound: events.rateFound(update.text); return;
    case ReaderUpdate::Kind::WrongRate: events.wrongRate(); return;
    }
}
