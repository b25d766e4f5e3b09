#include "cli_read_back.h"

namespace {

// The text the line monitor shows for an exception answer.
bool IsExceptionText(const QString &value) {
    return value.startsWith(QLatin1String("ErrCode: "));
}

} // namespace

CliReadBack::CliReadBack(TarvexSession &session, const QList<int> &registers)
    : m_session(session), m_waiting(registers.begin(), registers.end()) {
    connect(&session, &TarvexSession::frameSent, this, &CliReadBack::FrameSent);
    connect(&session, &TarvexSession::answerReceived, this, &CliReadBack::AnswerReceived);
}

bool CliReadBack::write(const std::function<bool()> &command) {
    m_recording = true;
    const bool queued = command();
    m_recording = false;
    return queued && !m_writeRegister.isEmpty();
}

void CliReadBack::FrameSent(const TzPortObsRec &rec) {
    if (m_recording)
        m_writeRegister.insert(rec.Index, rec.Reg);
    else if (!m_writeRegister.isEmpty() && m_waiting.contains(rec.Reg))
        m_readRegister.insert(rec.Index, rec.Reg);
}

// An answer comes as several records, the value last: the session has taken it in by the time
// the queued confirmation runs.
void CliReadBack::AnswerReceived(const TzPortObsRec &rec) {
    if (IsExceptionText(rec.Value)) {
        const int reg = m_writeRegister.value(rec.Index, m_readRegister.value(rec.Index, -1));
        if (reg >= 0)
            emit refused(reg, rec.Value);
        return;
    }
    const auto read = m_readRegister.constFind(rec.Index);
    if (read == m_readRegister.constEnd() || rec.Value.isEmpty())
        return;
    m_waiting.remove(*read);
    if (!m_waiting.isEmpty() || m_confirming)
        return;
    m_confirming = true;
    QMetaObject::invokeMethod(this, &CliReadBack::confirmed, Qt::QueuedConnection);
}
