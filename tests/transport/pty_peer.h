#pragma once

#include <QByteArray>
#include <QString>

// The far end of a serial line for tests: a raw pseudo-terminal. The port under test opens
// slavePath(); the peer reads and writes the master side. The peer keeps a slave descriptor
// open itself so the line settings survive the port closing and can be read with tcgetattr.
class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int slaveFd() const { return m_slave; }

    // Waits up to firstByteMs for a first byte, then reads until the line is silent for gapMs.
    // Empty when nothing arrived.
    QByteArray read(int firstByteMs, int gapMs);
    bool write(const QByteArray &bytes);
    // The device goes away: the port's side then reads an error.
    void closeMaster();

private:
    bool waitReadable(int ms);

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
