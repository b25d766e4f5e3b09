#pragma once

#include "model/exchange_records.h"
#include "session/tarvex_session.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>

// Confirms a write by reading the module back. The writes a command queues are watched for a
// refusal; then the first answered read of each register asked for, among the reads queued after
// the writes, tells what the module holds. A read already on the line when the write was queued
// could tell the state from before it, and a queued write goes out ahead of every read queued
// after it, so only those count.
class CliReadBack : public QObject {
    Q_OBJECT
public:
    CliReadBack(TarvexSession &session, const QList<int> &registers);

    // Runs the command that queues the writes; false when it queued none.
    bool write(const std::function<bool()> &command);

signals:
    // Every register was read after the writes; the session holds the values read.
    void confirmed();
    // The module answered a write or a read with an exception.
    void refused(int reg, const QString &answer);

private:
    void FrameSent(const TzPortObsRec &rec);
    void AnswerReceived(const TzPortObsRec &rec);

    TarvexSession &m_session;
    QSet<int> m_waiting;             // registers still to be read
    QHash<int, int> m_readRegister;  // request id of a read queued after the writes: its register
    QHash<int, int> m_writeRegister; // request id of a write: its register
    bool m_recording = false;        // the command is queueing its writes
    bool m_confirming = false;       // the confirmation is on its way
};
