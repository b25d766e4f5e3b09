#include "log_colours.h"
#include "tarvex_session.h"
#include "transport/serial_port_presence.h"
#include "transport/utils.h"

void TarvexSession::LinkEvent(TzLinkState::Change change) {
    switch (change) {
    case TzLinkState::Change::None:
        return;
    case TzLinkState::Change::Lost:
        emit linkChanged(true);
        Log(QStringLiteral("Связь с устройством потеряна"), LogColor::DarkRed);
        return;
    case TzLinkState::Change::Restored:
        emit linkChanged(false);
        Log(QStringLiteral("Связь с устройством восстановлена"), LogColor::Green);
        return;
    }
}

// The connection is over: nothing is lost any more, and no output state is known.
void TarvexSession::EndLink() {
    FirstRead.Clear();
    const bool wasLost = Link.Lost();
    Link.Reset(GetTickCount());
    if (wasLost)
        emit linkChanged(false);
    for (int n = 1; n <= kOutputCount; ++n)
        DOUTs[n].StateKnown = false;
}

// The worker found the port gone (an adapter pulled out): disconnect and wait for it to return.
void TarvexSession::PortGone() {
    Disconnect();
    Log(PortTitle(m_line.portName) + QStringLiteral(" отключён от системы"), LogColor::DarkRed);
    MissingPortName = m_line.portName;
    PortWatchTimer.start();
}

void TarvexSession::stopWaitingForPort() {
    PortWatchTimer.stop();
}

void TarvexSession::PortWatchTimerTimer() {
    if (isConnected()) {
        PortWatchTimer.stop();
        return;
    }
    if (!SerialPortPresent(MissingPortName))
        return;
    PortWatchTimer.stop();
    Log(PortTitle(MissingPortName) + QStringLiteral(" снова в системе: повторное подключение"),
        LogColor::Navy);
    DoConnect(m_line);
}

// Ends the first full read once every read has its value or has been given up. A retry goes
// out at once: the worker let go of the request before its answer came.
void TarvexSession::FirstReadAnswered(TzTag *tag, bool valueRead) {
    if (!isConnected())
        return;
    TzFirstRead::Outcome outcome = FirstRead.Answered(tag, valueRead, Link.Lost());
    if (outcome == TzFirstRead::Outcome::Retry) {
        if (GetModbusRegRTU(tag))
            return;
        outcome = FirstRead.GiveUp(tag); // an equal request waits under another record
    }
    switch (outcome) {
    case TzFirstRead::Outcome::NotTracked:
    case TzFirstRead::Outcome::Retry:
        return;
    case TzFirstRead::Outcome::GivenUp:
        Log(QStringLiteral("Не удалось прочитать регистр %1 «%2»").arg(tag->Reg).arg(tag->OPCName),
            LogColor::DarkRed);
        break;
    case TzFirstRead::Outcome::Settled:
        break;
    }
    if (FirstRead.Waiting())
        return;
    for (const auto &t : Device->Tags)
        t->IsLast = false;
    Device->IsLocked = false;
    AfterFirstUpdate();
}
