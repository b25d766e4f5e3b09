#pragma once

#include <QString>
#include <QStringList>

inline constexpr int kFirstAddress = 1; // the Modbus addresses a module may have
inline constexpr int kLastAddress = 247;

// The line a session connects over and the module it asks there.
struct TarvexLineSettings {
    QString portName; // the system name: "ttyUSB0", "/dev/pts/4", "COM3"
    int address = 16; // kFirstAddress..kLastAddress
    int baudRate = 9600;
    int format = 0;     // a row of LineFormats: 0 8N1, 1 8O1, 2 8E1, 3 8N2
    int timeoutMs = 20; // the operator's time-out, at least GetTimeout(baudRate)
};

// The rates a line may run at, slowest first; the module's own baud-rate code is the row.
const QStringList &LineBaudRates();
// The line formats, as the connection settings name them.
const QStringList &LineFormats();
// "RTU 8N1" for row 0 of LineFormats, and so on.
QString ShortFormatText(int format);

// The shortest time-out the baud rate allows, in ms.
int GetTimeout(int baudRate);
bool CheckTimeout(int timeout, int baudRate);

// The port as log lines name it: "COM3" on Windows, its system name elsewhere.
QString PortTitle(const QString &portName);
// The digits of the port name, 0 when it has none.
int PortNumber(const QString &portName);

// The module's own format code as text: 1 "ASCII 7O1" ... 7 "RTU 8N2"; empty for other codes.
QString ModuleFormatText(int code);
// The row of LineFormats the module's format code stands for; -1 for the ASCII codes and others.
int ModuleFormatRow(int code);
