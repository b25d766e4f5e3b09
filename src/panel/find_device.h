#pragma once

#include "transport/free_port.h"
#include "transport/string_bytes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

// The line settings of one address pass.
struct TzFindLine {
    int BaudRate = 9600;
    int Format = 0; // 0 8N1, 1 8O1, 2 8E1, 3 8N2
    int Timeout = 100;
};

// One probe in flight.
struct TzFindAnswer {
    int DevAddr = 0;
    uint32_t Code = 0; // the serial worker's id of the probe request
    TStringBytes Cmd;
    uint32_t TimeStamp = 0;
    bool IsLast = false; // the probe of the pass's last address
};

// The device search engine: probes every Modbus address 1..247 on its own serial worker and
// reports each probe's outcome. Given several line settings it sweeps them: one address pass
// under each in turn, each on a fresh worker. A window class that is never shown; only the
// panel uses it.
class TfrmFindDevice : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFirstAddr = 1;
    static constexpr int kLastAddr = 247;

    explicit TfrmFindDevice(QWidget *parent = nullptr);
    ~TfrmFindDevice() override;

    QString PortName; // the port's system name
    int ComPort = 0;  // the digits of PortName
    int BaudRate = 9600;
    int Format = 0; // 0 8N1, 1 8O1, 2 8E1, 3 8N2
    int Timeout = 100;
    // Several: the line settings of a sweep, in the order they are tried. None: the settings
    // above, in one pass after another.
    QList<TzFindLine> Lines;
    // The addresses of a pass (tests narrow them).
    int FirstAddr = kFirstAddr;
    int LastAddr = kLastAddr;
    bool InProgress = false;
    bool Cycled = false;
    std::unique_ptr<TzFreePort> FreePort;
    std::list<TzFindAnswer> AnswerList; // probes sent and not yet answered
    std::mutex CS;                      // guards AnswerList

    std::function<void(int aAddr, const TStringBytes &Answer)> OnFindAddr;
    std::function<void(int aPos)> OnFindProcess;
    // A pass under these line settings begins.
    std::function<void(const TzFindLine &line)> OnFindLine;
    // The search ended by itself: the last pass of a single round, or a port that went away.
    std::function<void()> OnFindEnd;
    // How a warning reaches the user; a warning message box unless replaced.
    std::function<void(const QString &text, const QString &caption)> ShowWarning;

    void SetComPort(const QString &portName);
    void SetBaudRate(int baudRate) { BaudRate = baudRate; }
    void SetFormat(int format) { Format = format; }
    void SetTimeout(int timeout) { Timeout = timeout; }

    bool Start();
    void Stop();
    bool InFindProgress() const { return InProgress; }
    // The settings of the pass running (or that ran last).
    TzFindLine CurrentLine() const;

    // A Tarvex module answers the probe with byte count 4 and 73 in the type's low byte.
    static bool IsTarvexAnswer(const TStringBytes &answer);
    // Read input registers 0x9000..0x9001 (type and hardware version) at the address.
    static TStringBytes ProbeFrame(int address);

private:
    enum class LineOpening { Opened, Refused, PortFailed };

    LineOpening OpenLine(int index);
    bool OpenNextLine(int first, int count, bool &portFailed);
    void NextLine();
    void EndSearch();
    void ApplyLineSettings(const TzFindLine &line);
    void QueueProbes();
    void AsyncAnswer(uint32_t uid, const TStringBytes &answer, uint32_t errCode);
    bool TakeEntry(uint32_t uid, TzFindAnswer &entry);
    void RemoveEntry(uint32_t uid);

    QStringList m_portList; // the system's ports when the engine was created
    QList<TzFindLine> m_lines;
    int m_line = 0; // the line of the pass running
};

// The process-wide search engine while it exists.
extern TfrmFindDevice *frmFindDevice;
