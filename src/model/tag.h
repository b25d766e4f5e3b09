#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class TzDevice;

// Quality codes of a tag value.
inline constexpr uint16_t kQualityGood = 192;
inline constexpr uint16_t kQualityNeverRead = 32;
inline constexpr uint16_t kQualityUndecodable = 16;
inline constexpr uint16_t kQualityFailed = 0;

// One data point of the module: a register, a coil or a block of registers read at once.
class TzTag {
public:
    TzTag(); // Value 0, ValueStr "0", Quality 32

    int ID = 0;
    QString OPCName;
    QString GUID;
    TzDevice *Device = nullptr;
    bool Enabled = true;

    int Reg = 0;
    int RegType = 0;  // 1 coil, 2 input register, 3 holding register
    int ReadCmd = 0;  // Modbus function used to read (1..4), anything else: not readable
    int WriteCmd = 0; // Modbus function used to write (5, 6; 16 accepted)
    bool CanRead = true;
    bool CanWrite = true;
    int SegSize = 0;
    int ValType = 0;
    QString Order;       // byte order as digits, e.g. "21"; set through SetOrder
    QByteArray OrderMas; // the digits of Order as numbers, 0 for a non-digit
    int BitPos = -1;
    int Offset = 0, DataSize = 0, DataType = 0;
    QByteArray Data; // data bytes of the last block read

    uint16_t Quality = kQualityNeverRead;
    QString ValueStr;
    double fOPCValue = 0;
    double Radius = 2147483647; // dead band of ValueStr; 2147483647 means 0.0001
    double MinValue = -2147483647;
    double MaxValue = 2147483647;

    bool ModbusError = false;
    int ModbusErrorCode = 0;
    QString ModbusErrorCodeStr; // "02h"

    bool Force = false;     // always queue with priority
    bool ForceOnce = false; // queue the next request with priority
    int ReadPriority = 0;
    int WritePriority = 0;
    bool IsLast = false; // last tag of a polling cycle

    std::function<void(TzTag *)> OnResponse;

    double Value() const { return m_value; }
    // NaN only empties ValueStr; otherwise the value is clamped, Quality becomes 192 and
    // ValueStr follows once the value has moved by at least the dead band.
    void SetValue(double v);
    void SetOrder(const QString &order);

private:
    double m_value = 0;
};
