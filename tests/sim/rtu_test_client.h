#pragma once

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>

// A plain Modbus RTU master over a real tty, for tests of the simulator: blocking writes, and
// reads that end at the first gap of 30 ms.
class RtuTestClient {
public:
    bool open(const QString &portPath); // 9600 8N1
    // Reopens the port with other line settings; false when the port refuses them (a
    // pseudo-terminal refuses even parity). Qt's change from odd parity to none on an open
    // port leaves the odd-parity flag set, which a pseudo-terminal shows as odd parity.
    bool setLine(qint32 baud, QSerialPort::Parity parity, QSerialPort::StopBits stopBits);
    QString errorString() const { return m_port.errorString(); }

    // Sends the frame with its CRC appended; the answer as received, empty when none came
    // within firstByteMs.
    QByteArray exchange(const QByteArray &frame, int firstByteMs = 1000);
    // The two halves of an exchange: send drops what is waiting, then writes the frame with its
    // CRC; receive gives the pieces of the answer as they reached the port.
    void send(const QByteArray &frame);
    QList<QByteArray> receive(int firstByteMs = 1000);

    static quint16 crc(const QByteArray &bytes);
    static QByteArray withCrc(const QByteArray &frame);
    static bool crcOk(const QByteArray &frame);

    // Request frames without their CRC.
    static QByteArray read(quint8 addr, quint8 function, quint16 start, quint16 count);
    static QByteArray writeCoil(quint8 addr, quint16 coil, bool on);
    static QByteArray writeRegister(quint8 addr, quint16 reg, quint16 value);
    static QByteArray writeRegisters(quint8 addr, quint16 start, const QList<quint16> &values);
    static QByteArray writeCoils(quint8 addr, quint16 start, const QList<bool> &states);

    // The values of a read answer: registers, or one 0/1 per coil for function 01.
    static QList<quint16> values(const QByteArray &answer, int coilCount = 0);
    // The exception code of an exception answer, 0 for any other frame.
    static int exceptionCode(const QByteArray &answer);

private:
    QSerialPort m_port;
};
