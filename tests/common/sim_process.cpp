#include "sim_process.h"

#include <QDeadlineTimer>

SimProcess::SimProcess(const QStringList &args) : m_args(args) {}

SimProcess::~SimProcess() {
    stop();
}

bool SimProcess::start(int timeoutMs) {
    m_process.setProgram(QStringLiteral(TARVEX_SIM_PATH));
    m_process.setArguments(m_args);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_pending.contains('\n')) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        m_pending += m_process.readAllStandardOutput();
    }
    const int end = m_pending.indexOf('\n');
    m_portPath = QString::fromLocal8Bit(m_pending.left(end)).trimmed();
    m_pending.remove(0, end + 1);
    return !m_portPath.isEmpty();
}

void SimProcess::command(const QString &line) {
    m_process.write(line.toLocal8Bit() + '\n');
    m_process.waitForBytesWritten(1000);
}

void SimProcess::setCoil(int reg, bool on) {
    command(QStringLiteral("set coil %1 %2").arg(reg).arg(on ? 1 : 0));
}

void SimProcess::setInput(int reg, int value) {
    command(QStringLiteral("set input %1 %2").arg(reg).arg(value));
}

void SimProcess::setHolding(int reg, int value) {
    command(QStringLiteral("set holding %1 %2").arg(reg).arg(value));
}

void SimProcess::setException(int reg, int code, int count) {
    QString line = QStringLiteral("exception %1 %2").arg(reg).arg(code);
    if (count > 0)
        line += QStringLiteral(" %1").arg(count);
    command(line);
}

void SimProcess::clearException(int reg) {
    command(QStringLiteral("exception %1 off").arg(reg));
}

QStringList SimProcess::exceptionArgs(int reg, int code) {
    return {QStringLiteral("--exception"), QStringLiteral("%1:%2").arg(reg).arg(code)};
}

void SimProcess::closeInput() {
    m_process.closeWriteChannel();
}

void SimProcess::readOutput() {
    // Without a running event loop, output reaches the buffer only through a wait.
    if (m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(0);
    m_pending += m_process.readAllStandardOutput();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QList<QByteArray> parts = m_pending.left(end).trimmed().split(' ');
        m_pending.remove(0, end + 1);
        if (parts.size() < 2)
            continue;
        const qint64 ms = parts[1].toLongLong();
        if (parts[0] == "TX-END") {
            if (!m_answers.isEmpty())
                m_answers.last().endMs = ms;
            continue;
        }
        QList<Frame> *list = parts[0] == "RX"          ? &m_frames
                             : parts[0] == "TX"        ? &m_answers
                             : parts[0] == "COLLISION" ? &m_collisions
                                                       : nullptr;
        if (!list)
            continue;
        Frame frame;
        frame.ms = ms;
        for (int i = 2; i < parts.size(); ++i)
            frame.bytes.append(char(parts[i].toInt(nullptr, 16)));
        list->append(frame);
    }
}

QList<SimProcess::Frame> SimProcess::frames() {
    readOutput();
    return m_frames;
}

QList<SimProcess::Frame> SimProcess::answers() {
    readOutput();
    return m_answers;
}

QList<SimProcess::Frame> SimProcess::collisions() {
    readOutput();
    return m_collisions;
}

void SimProcess::clearFrames() {
    readOutput();
    m_frames.clear();
    m_answers.clear();
    m_collisions.clear();
}

bool SimProcess::waitForFrames(int count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    readOutput();
    while (m_frames.size() < count) {
        if (deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 50)));
        readOutput();
    }
    return true;
}

QString SimProcess::errorOutput() {
    return QString::fromLocal8Bit(m_process.readAllStandardError());
}

void SimProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}
