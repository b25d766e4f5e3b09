#pragma once

#include "find_lines.h"
#include "found_device.h"
#include "transport/free_port.h"
#include "transport/string_bytes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <list>
#include <memory>

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
// under each in turn, each on a fresh worker. No widgets: the panel's search list and a
// command-line search both drive it.
//
// Its reports are signals under the names the callbacks had (OnFindAddr, OnFindProcess,
// OnFindLine, OnFindEnd), so they are found by those names; a warning for the user is the signal
// ShowWarning, which whoever shows warnings receives. Everything runs on the thread that owns the
// engine: the worker's answers come back as queued signals, so the probes in flight need no lock.
class TfrmFindDevice : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstAddr = 1;
    static constexpr int kLastAddr = 247;

    // portList: the ports the system offers now; only these may be searched.
    explicit TfrmFindDevice(const QStringList &portList, QObject *parent = nullptr);
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
    std::list<TzFindAnswer> AnswerList; // probes sent and not yet answered

    void SetComPort(const QString &portName);
    void SetBaudRate(int baudRate) { BaudRate = baudRate; }
    void SetFormat(int format) { Format = format; }
    void SetTimeout(int timeout) { Timeout = timeout; }

    bool Start();
    void Stop();
    bool InFindProgress() const { return InProgress; }
    // The settings of the pass running (or that ran last).
    TzFindLine CurrentLine() const;
    // What answered at the address under the pass running.
    TzFindDevice FoundDevice(int aAddr, const TStringBytes &Answer) const;

    // A Tarvex module answers the probe with byte count 4 and 73 in the type's low byte.
    static bool IsTarvexAnswer(const TStringBytes &answer);
    // Read input registers 0x9000..0x9001 (type and hardware version) at the address.
    static TStringBytes ProbeFrame(int address);

signals:
    // A probe got an answer to it, without error: a module or another responder.
    void OnFindAddr(int aAddr, const TStringBytes &Answer);
    // A probe finished, answered or not.
    void OnFindProcess(int aPos);
    // A pass under these line settings begins.
    void OnFindLine(const TzFindLine &line);
    // The search ended by itself: the last pass of a single round, or a port that went away.
    void OnFindEnd();
    void ShowWarning(const QString &text, const QString &caption);

private:
    enum class LineOpening { Opened, Refused, PortFailed };

    LineOpening OpenLine(int index);
    bool OpenNextLine(int first, int count, bool &portFailed);
    void NextLine();
    void EndSearch();
    void WarnPortBusy();
    void ApplyLineSettings(const TzFindLine &line);
    void QueueProbes();
    void AsyncAnswer(uint32_t uid, const TStringBytes &answer, uint32_t errCode);
    const TzFindAnswer *FindEntry(uint32_t uid) const;
    void RemoveEntry(uint32_t uid);

    std::unique_ptr<TzFreePort> FreePort;
    QStringList m_portList; // the system's ports when the engine was created
    QList<TzFindLine> m_lines;
    int m_line = 0; // the line of the pass running
};
