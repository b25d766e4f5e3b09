#include "port_settings.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr uint32_t kHardwareFlowBits = DcbFlags::fOutxCtsFlow | DcbFlags::fRtsControlHandshake;
constexpr uint32_t kSoftwareFlowBits = DcbFlags::fOutX | DcbFlags::fInX;

// On the platform a total of zero means "no limit", which would let one silent device hold
// the line for ever; here it means this long.
constexpr int64_t kZeroTotalFallbackMs = 1000;

int ClampToInt(int64_t ms) {
    return int(std::clamp<int64_t>(ms, 0, INT_MAX));
}

bool ToQtDataBits(uint8_t byteSize, QSerialPort::DataBits &bits) {
    if (byteSize < 5 || byteSize > 8)
        return false;
    bits = QSerialPort::DataBits(byteSize);
    return true;
}

bool ToQtParity(uint8_t parity, QSerialPort::Parity &qtParity) {
    static constexpr QSerialPort::Parity byCode[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    if (parity > 4)
        return false;
    qtParity = byCode[parity];
    return true;
}

uint8_t FromQtParity(QSerialPort::Parity parity) {
    switch (parity) {
    case QSerialPort::OddParity:
        return 1;
    case QSerialPort::EvenParity:
        return 2;
    case QSerialPort::MarkParity:
        return 3;
    case QSerialPort::SpaceParity:
        return 4;
    default:
        return 0;
    }
}

bool ToQtStopBits(uint8_t stopBits, QSerialPort::StopBits &qtStopBits) {
    static constexpr QSerialPort::StopBits byCode[] = {
        QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    if (stopBits > 2)
        return false;
    qtStopBits = byCode[stopBits];
    return true;
}

uint8_t FromQtStopBits(QSerialPort::StopBits stopBits) {
    switch (stopBits) {
    case QSerialPort::OneAndHalfStop:
        return 1;
    case QSerialPort::TwoStop:
        return 2;
    default:
        return 0;
    }
}

// Hardware handshake wins when the flag word asks for both kinds.
QSerialPort::FlowControl ToQtFlowControl(uint32_t flags) {
    if (flags & kHardwareFlowBits)
        return QSerialPort::HardwareControl;
    if (flags & kSoftwareFlowBits)
        return QSerialPort::SoftwareControl;
    return QSerialPort::NoFlowControl;
}

uint32_t FromQtFlowControl(QSerialPort::FlowControl flow) {
    if (flow == QSerialPort::HardwareControl)
        return kHardwareFlowBits;
    if (flow == QSerialPort::SoftwareControl)
        return kSoftwareFlowBits;
    return 0;
}

bool Unsupported(TzPortError &error, const QString &what) {
    error.Code = QSerialPort::UnsupportedOperationError;
    error.Text = what;
    return false;
}

bool Refused(const QSerialPort &port, TzPortError &error) {
    error.Code = port.error();
    error.Text = port.errorString();
    return false;
}
} // namespace

void ApplyDCB(const TzDCB &overlay, TzPortDCB &dcb) {
    if (overlay.OnlyMyFlags)
        dcb.Flags = 0;
    if (overlay.BaudRate != kNotSet)
        dcb.BaudRate = uint32_t(overlay.BaudRate);
    if (overlay.Flags != kNotSet)
        dcb.Flags |= uint32_t(overlay.Flags);
    if (overlay.XonLim != kNotSet)
        dcb.XonLim = uint16_t(overlay.XonLim);
    if (overlay.XoffLim != kNotSet)
        dcb.XoffLim = uint16_t(overlay.XoffLim);
    if (overlay.ByteSize != kNotSet)
        dcb.ByteSize = uint8_t(overlay.ByteSize);
    if (overlay.Parity != kNotSet)
        dcb.Parity = uint8_t(overlay.Parity);
    if (overlay.StopBits != kNotSet)
        dcb.StopBits = uint8_t(overlay.StopBits);
    if (overlay.bXonChar)
        dcb.XonChar = overlay.fXonChar;
    if (overlay.bXoffChar)
        dcb.XoffChar = overlay.fXoffChar;
    if (overlay.bErrorChar)
        dcb.ErrorChar = overlay.fErrorChar;
    if (overlay.bEofChar)
        dcb.EofChar = overlay.fEofChar;
    if (overlay.bEvtChar)
        dcb.EvtChar = overlay.fEvtChar;
}

void ApplyTimeouts(const TzTimeouts &overlay, TzCommTimeouts &timeouts) {
    const auto apply = [](int field, uint32_t &target) {
        if (field != kNotSet)
            target = uint32_t(field);
    };
    apply(overlay.ReadIntervalTimeout, timeouts.ReadIntervalTimeout);
    apply(overlay.ReadTotalTimeoutMultiplier, timeouts.ReadTotalTimeoutMultiplier);
    apply(overlay.ReadTotalTimeoutConstant, timeouts.ReadTotalTimeoutConstant);
    apply(overlay.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutMultiplier);
    apply(overlay.WriteTotalTimeoutConstant, timeouts.WriteTotalTimeoutConstant);
}

void ReadPortSettings(const QSerialPort &port, TzPortDCB &dcb) {
    dcb.BaudRate = uint32_t(port.baudRate());
    dcb.ByteSize = uint8_t(port.dataBits());
    dcb.Parity = FromQtParity(port.parity());
    dcb.StopBits = FromQtStopBits(port.stopBits());
    dcb.Flags = (dcb.Flags & ~(kHardwareFlowBits | kSoftwareFlowBits)) |
                FromQtFlowControl(port.flowControl());
}

bool WritePortSettings(QSerialPort &port, const TzPortDCB &dcb, TzPortError &error) {
    QSerialPort::DataBits dataBits;
    QSerialPort::Parity parity;
    QSerialPort::StopBits stopBits;
    if (!ToQtDataBits(dcb.ByteSize, dataBits))
        return Unsupported(error, QString("unsupported data bits %1").arg(dcb.ByteSize));
    if (!ToQtParity(dcb.Parity, parity))
        return Unsupported(error, QString("unsupported parity code %1").arg(dcb.Parity));
    if (!ToQtStopBits(dcb.StopBits, stopBits))
        return Unsupported(error, QString("unsupported stop bits code %1").arg(dcb.StopBits));
    if (dcb.BaudRate == 0 || dcb.BaudRate > uint32_t(INT_MAX))
        return Unsupported(error, QString("unsupported baud rate %1").arg(dcb.BaudRate));

    // The error character, the limits and the other flag bits have no Qt equivalent; fParity
    // and fAbortOnError are kept in the record only (an error ends the exchange anyway).
    if (!port.setBaudRate(qint32(dcb.BaudRate)) || !port.setDataBits(dataBits) ||
        !port.setParity(parity) || !port.setStopBits(stopBits) ||
        !port.setFlowControl(ToQtFlowControl(dcb.Flags)))
        return Refused(port, error);
    return true;
}

int ReadTotalMs(const TzCommTimeouts &timeouts, int answerWireMs) {
    const int64_t total =
        int64_t(timeouts.ReadTotalTimeoutMultiplier) * 255 + timeouts.ReadTotalTimeoutConstant;
    if (total <= 0)
        return ClampToInt(kZeroTotalFallbackMs);
    return ClampToInt(
        std::max<int64_t>(total, int64_t(answerWireMs) + timeouts.ReadTotalTimeoutConstant));
}

int WriteTotalMs(const TzCommTimeouts &timeouts, int length) {
    const int64_t total =
        int64_t(timeouts.WriteTotalTimeoutMultiplier) * length + timeouts.WriteTotalTimeoutConstant;
    return ClampToInt(total > 0 ? total : kZeroTotalFallbackMs);
}

int ReadIntervalMs(const TzCommTimeouts &timeouts) {
    return ClampToInt(timeouts.ReadIntervalTimeout);
}

double CharTimeUs(const TzPortDCB &dcb) {
    static constexpr double kStopBits[] = {1, 1.5, 2};
    const double bits =
        1 + dcb.ByteSize + (dcb.Parity != 0 ? 1 : 0) + kStopBits[std::min<int>(dcb.StopBits, 2)];
    return 1e6 * bits / std::max<uint32_t>(dcb.BaudRate, 1);
}

int WireTimeMs(const TzPortDCB &dcb, int characters) {
    return ClampToInt(int64_t(std::ceil(characters * CharTimeUs(dcb) / 1000)));
}

int64_t InterFrameUs(const TzPortDCB &dcb) {
    constexpr int64_t kFastLineUs = 1750;
    return dcb.BaudRate > 19200 ? kFastLineUs : int64_t(std::ceil(3.5 * CharTimeUs(dcb)));
}
