#include "rtu_test_client.h"

bool RtuTestClient::open(const QString &portPath) {
    m_port.setPortName(portPath);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.setBaudRate(9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clear();
    return true;
}

bool RtuTestClient::setLine(qint32 baud, QSerialPort::Parity parity,
                            QSerialPort::StopBits stopBits) {
    // Qt applies the settings it holds when it opens a port, so they are set in between.
    m_port.close();
    m_port.setBaudRate(baud);
    m_port.setParity(parity);
    m_port.setStopBits(stopBits);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.clear();
    return true;
}

QByteArray RtuTestClient::exchange(const QByteArray &frame, int firstByteMs) {
    send(frame);
    return receive(firstByteMs).join();
}

void RtuTestClient::send(const QByteArray &frame) {
    m_port.clear();
    m_port.readAll();
    m_port.write(withCrc(frame));
    m_port.waitForBytesWritten(1000);
}

QList<QByteArray> RtuTestClient::receive(int firstByteMs) {
    QList<QByteArray> pieces;
    if (!m_port.waitForReadyRead(firstByteMs))
        return pieces;
    do {
        pieces.append(m_port.readAll());
    } while (m_port.waitForReadyRead(30));
    return pieces;
}

quint16 RtuTestClient::crc(const QByteArray &bytes) {
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray RtuTestClient::withCrc(const QByteArray &frame) {
    const quint16 c = crc(frame);
    QByteArray result = frame;
    return result.append(char(c & 0xFF)).append(char(c >> 8));
}

bool RtuTestClient::crcOk(const QByteArray &frame) {
    return frame.size() > 2 && withCrc(frame.left(frame.size() - 2)) == frame;
}

static QByteArray header(quint8 addr, quint8 function, quint16 a, quint16 b) {
    const char bytes[] = {char(addr), char(function), char(a >> 8), char(a), char(b >> 8), char(b)};
    return QByteArray(bytes, sizeof bytes);
}

QByteArray RtuTestClient::read(quint8 addr, quint8 function, quint16 start, quint16 count) {
    return header(addr, function, start, count);
}

QByteArray RtuTestClient::writeCoil(quint8 addr, quint16 coil, bool on) {
    return header(addr, 0x05, coil, on ? 0xFF00 : 0x0000);
}

QByteArray RtuTestClient::writeRegister(quint8 addr, quint16 reg, quint16 value) {
    return header(addr, 0x06, reg, value);
}

QByteArray RtuTestClient::writeRegisters(quint8 addr, quint16 start, const QList<quint16> &values) {
    QByteArray frame = header(addr, 0x10, start, quint16(values.size()));
    frame.append(char(2 * values.size()));
    for (quint16 v : values)
        frame.append(char(v >> 8)).append(char(v));
    return frame;
}

QByteArray RtuTestClient::writeCoils(quint8 addr, quint16 start, const QList<bool> &states) {
    QByteArray frame = header(addr, 0x0F, start, quint16(states.size()));
    QByteArray bits((states.size() + 7) / 8, '\0');
    for (int i = 0; i < states.size(); ++i) {
        if (states[i])
            bits[i / 8] = char(bits[i / 8] | (1 << (i % 8)));
    }
    frame.append(char(bits.size()));
    return frame + bits;
}

QList<quint16> RtuTestClient::values(const QByteArray &answer, int coilCount) {
    QList<quint16> result;
    if (answer.size() < 5 || (quint8(answer[1]) & 0x80) || answer.size() != quint8(answer[2]) + 5)
        return result;
    const QByteArray data = answer.mid(3, quint8(answer[2]));
    if (coilCount > 0) {
        for (int i = 0; i < coilCount && i / 8 < data.size(); ++i)
            result.append((quint8(data[i / 8]) >> (i % 8)) & 1);
        return result;
    }
    for (int i = 0; i + 1 < data.size(); i += 2)
        result.append(quint16(quint8(data[i]) << 8 | quint8(data[i + 1])));
    return result;
}

int RtuTestClient::exceptionCode(const QByteArray &answer) {
    if (answer.size() != 5 || !(quint8(answer[1]) & 0x80))
        return 0;
    return quint8(answer[2]);
}
