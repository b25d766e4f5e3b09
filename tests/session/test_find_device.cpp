// The device search engine alone against tarvex-sim: what it probes, under which line settings,
// what it reports as found, and how it ends.
#include "model/register_map.h"
#include "session/find_device.h"
#include "session/find_probe.h"
#include "session/line_settings.h"
#include "sim_process.h"
#include "transport/utils.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A pass probes 247 addresses; with this time-out it takes a few seconds on an idle machine.
constexpr int kPassTimeoutMs = 20;
// Where an answer must be caught, the module gets a time-out far beyond its reply time.
constexpr int kAnswerTimeoutMs = 100;
// Generous bounds for waits that normally end much sooner.
constexpr int kPassWaitMs = 120000;
constexpr int kLongWaitMs = 15000;

const QString kBusyText = QStringLiteral("Выбранный СОМ-порт занят или недоступен");
const QString kBusyCaption = QStringLiteral("Уведомление");

QByteArray Hex(const char *text) {
    return QByteArray::fromHex(text);
}

// The frame with its CRC appended, low byte first.
QByteArray WithCrc(const char *text) {
    const QByteArray frame = QByteArray::fromHex(text);
    const uint16_t crc = ModbusCRC16(TStringBytes::FromBytes(frame), int(frame.size()));
    return frame + char(crc & 0xFF) + char(crc >> 8);
}

QList<int> Range(int first, int last) {
    QList<int> values;
    for (int i = first; i <= last; ++i)
        values.append(i);
    return values;
}

bool CanOpen(const QString &portName) {
    QSerialPort port(portName);
    return port.open(QIODevice::ReadWrite);
}

// A search engine that may open the simulator's port (or the ports given), with its reports
// recorded.
class SearchFixture {
public:
    explicit SearchFixture(const QStringList &simArgs = {}, const QStringList *portList = nullptr)
        : m_sim(QStringList{"--log-frames"} + simArgs), m_simStarted(m_sim.start()),
          engine(portList ? *portList : QStringList{m_sim.portPath()}),
          process(&engine, &TfrmFindDevice::OnFindProcess),
          addr(&engine, &TfrmFindDevice::OnFindAddr), line(&engine, &TfrmFindDevice::OnFindLine),
          end(&engine, &TfrmFindDevice::OnFindEnd), warning(&engine, &TfrmFindDevice::ShowWarning) {
        engine.SetComPort(m_sim.portPath());
        engine.SetBaudRate(9600);
        engine.SetFormat(0);
        engine.SetTimeout(kPassTimeoutMs);
    }

    bool ok() const {
        return m_simStarted && process.isValid() && addr.isValid() && line.isValid();
    }
    SimProcess &sim() { return m_sim; }
    QString port() const { return m_sim.portPath(); }

    QList<int> positions() const { return IntArguments(process); }
    QList<int> found() const { return IntArguments(addr); }
    QList<QByteArray> answers() const {
        QList<QByteArray> bytes;
        for (const QList<QVariant> &call : addr)
            bytes.append(call.at(1).value<TStringBytes>().AsBytes());
        return bytes;
    }
    QStringList warnings() const {
        QStringList texts;
        for (const QList<QVariant> &call : warning)
            texts.append(call.at(1).toString() + ": " + call.at(0).toString());
        return texts;
    }
    bool waitForPositions(int count, int timeoutMs) {
        return QTest::qWaitFor([&] { return process.size() >= count; }, timeoutMs);
    }
    QList<QByteArray> simFrames() {
        QList<QByteArray> frames;
        for (const SimProcess::Frame &frame : m_sim.frames())
            frames.append(frame.bytes);
        return frames;
    }

private:
    static QList<int> IntArguments(const QSignalSpy &spy) {
        QList<int> values;
        for (const QList<QVariant> &call : spy)
            values.append(call.at(0).toInt());
        return values;
    }

    SimProcess m_sim;
    bool m_simStarted = false;

public:
    TfrmFindDevice engine;
    QSignalSpy process;
    QSignalSpy addr;
    QSignalSpy line;
    QSignalSpy end;
    QSignalSpy warning;
};
} // namespace

class TestFindDevice : public QObject {
    Q_OBJECT
private slots:
    void probeFrame_data();
    void probeFrame();
    void recognition_data();
    void recognition();
    void answersToTheProbe_data();
    void answersToTheProbe();
    void sweepLines_data();
    void sweepLines();
    void foundDeviceAsListedAndSaved_data();
    void foundDeviceAsListedAndSaved();

    void answerAtAddress16_data();
    void answerAtAddress16();
    void singlePassProbesEveryAddressOnceAndReleasesPort();
    void cycledSearchStartsAgainAtAddress1();
    void stopEndsReportsAndReleasesPort();
    void lineSettingsFollowBaudRateAndFormat_data();
    void lineSettingsFollowBaudRateAndFormat();
    void timeoutBoundsTheWaitForAnAnswer_data();
    void timeoutBoundsTheWaitForAnAnswer();
    void portThatCannotBeOpenedFails_data();
    void portThatCannotBeOpenedFails();
    void zeroTimeoutFails();
    void portThatGoesAwayEndsTheSearch();
    void sweepRunsAPassUnderEachLineInTurn();
};

void TestFindDevice::probeFrame_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("first address") << 1 << Hex("01 04 90 00 00 02 5C CB");
    QTest::newRow("address 16") << 16 << Hex("10 04 90 00 00 02 5F 8A");
    QTest::newRow("last address") << 247 << Hex("F7 04 90 00 00 02 48 5D");
}

void TestFindDevice::probeFrame() {
    QFETCH(int, address);
    QFETCH(QByteArray, frame);
    QCOMPARE(TfrmFindDevice::ProbeFrame(address).AsBytes().toHex(' '), frame.toHex(' '));
}

void TestFindDevice::recognition_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("tarvex");
    QTest::newRow("type 73, count 4") << Hex("10 04 04 00 49 00 01 EA 93") << true;
    QTest::newRow("exactly 5 bytes") << Hex("10 04 04 00 49") << true;
    QTest::newRow("high byte of type ignored") << Hex("10 04 04 FF 49 00 01 DA 87") << true;
    QTest::newRow("function and address ignored") << Hex("2A 03 04 00 49 00 01 71 27") << true;
    QTest::newRow("count 2") << Hex("10 04 02 00 49 84 C5") << false;
    QTest::newRow("type 72") << Hex("10 04 04 00 48 00 01 BB 53") << false;
    QTest::newRow("short, 4 bytes") << Hex("10 04 04 00") << false;
    QTest::newRow("exception answer") << Hex("10 84 02 92 C4") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestFindDevice::recognition() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, tarvex);
    QCOMPARE(TfrmFindDevice::IsTarvexAnswer(TStringBytes::FromBytes(answer)), tarvex);
}

// Only an answer to the probe counts: from the probed address, to its function, with its CRC.
void TestFindDevice::answersToTheProbe_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("counts");
    QTest::newRow("Tarvex module") << WithCrc("10 04 04 00 49 00 01") << true;
    QTest::newRow("another device") << WithCrc("10 04 04 00 48 00 01") << true;
    QTest::newRow("exception answer") << WithCrc("10 84 02") << true;
    QTest::newRow("corrupt checksum") << Hex("10 04 04 00 49 00 01 15 6C") << false;
    QTest::newRow("another address") << WithCrc("11 04 04 00 49 00 01") << false;
    QTest::newRow("another function") << WithCrc("10 03 04 00 49 00 01") << false;
    QTest::newRow("exception to another function") << WithCrc("10 83 02") << false;
    QTest::newRow("the probe, inverted") << Hex("EF FB 6F FF FF FD A0 75") << false;
    QTest::newRow("too short") << Hex("10 04") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestFindDevice::answersToTheProbe() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, counts);
    const TStringBytes probe = TfrmFindDevice::ProbeFrame(16);
    QCOMPARE(AnswersFindProbe(probe, TStringBytes::FromBytes(answer)), counts);
}

// Every rate, fastest first, with each format in its order; the time-out raised to each rate's
// minimum.
void TestFindDevice::sweepLines_data() {
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("lineTimeout");
    QTest::newRow("fastest first") << 10 << 0 << 115200 << 0 << 10;
    QTest::newRow("formats in order") << 10 << 3 << 115200 << 3 << 10;
    QTest::newRow("then the next rate") << 10 << 4 << 57600 << 0 << 10;
    QTest::newRow("raised to the rate's minimum") << 10 << 19 << 19200 << 3 << 15;
    QTest::newRow("slowest last") << 10 << 39 << 1200 << 3 << 150;
    QTest::newRow("a longer time-out kept") << 200 << 39 << 1200 << 3 << 200;
}

void TestFindDevice::sweepLines() {
    QFETCH(int, timeout);
    QFETCH(int, index);
    QFETCH(int, baudRate);
    QFETCH(int, format);
    QFETCH(int, lineTimeout);
    const QList<TzFindLine> lines = SearchSweepLines(timeout);
    QCOMPARE(lines.size(), LineBaudRates().size() * LineFormats().size());
    QCOMPARE(lines.value(index).BaudRate, baudRate);
    QCOMPARE(lines.value(index).Format, format);
    QCOMPARE(lines.value(index).Timeout, lineTimeout);
}

// What answered, as the search list shows it and its CSV file saves it.
void TestFindDevice::foundDeviceAsListedAndSaved_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("swept");
    QTest::addColumn<QString>("csv");
    QTest::newRow("Tarvex module") << WithCrc("10 04 04 00 49 00 01") << 38400 << 3 << "[16] Tarvex"
                                   << "[16] Tarvex 38400 8N2"
                                   << "16;38400;MODBUS RTU 8N2;Tarvex;10.04.04.00.49.00.01.EA.93";
    QTest::newRow("another device")
        << WithCrc("10 04 04 00 48 00 01") << 9600 << 1 << "[16] Unknown"
        << "[16] Unknown 9600 8O1"
        << "16;9600;MODBUS RTU 8O1;Unknown;10.04.04.00.48.00.01.BB.53";
    QTest::newRow("exception answer") << Hex("10 84 02 92 C4") << 1200 << 0 << "[16] Unknown"
                                      << "[16] Unknown 1200 8N1"
                                      << "16;1200;MODBUS RTU 8N1;Unknown;10.84.02.92.C4";
}

void TestFindDevice::foundDeviceAsListedAndSaved() {
    QFETCH(QByteArray, answer);
    QFETCH(int, baudRate);
    QFETCH(int, format);
    QFETCH(QString, listed);
    QFETCH(QString, swept);
    QFETCH(QString, csv);
    TfrmFindDevice engine({});
    engine.SetComPort("ttyS3");
    engine.SetBaudRate(baudRate);
    engine.SetFormat(format);
    engine.SetTimeout(77);
    const TzFindDevice device = engine.FoundDevice(16, TStringBytes::FromBytes(answer));
    QCOMPARE(device.PortName, QStringLiteral("ttyS3"));
    QCOMPARE(device.Timeout, 77);
    QCOMPARE(device.ListText(false), listed);
    QCOMPARE(device.ListText(true), swept);
    QCOMPARE(device.CsvRow().join(';'), csv);
    QCOMPARE(FindListCsvHeader().join(';'),
             QStringLiteral("Адрес;Скорость;Формат;Устройство;Ответ"));

    // A module is listed once per address and line; another responder every time it answers.
    const bool tarvex = listed.endsWith("Tarvex");
    QCOMPARE(device.SameModule(device), tarvex);
    TzFindDevice otherFormat = device;
    otherFormat.Format = (format + 1) % 4;
    QVERIFY(!device.SameModule(otherFormat));
    TzFindDevice otherAddress = device;
    otherAddress.Addr = 17;
    QVERIFY(!device.SameModule(otherAddress));
}

void TestFindDevice::answerAtAddress16_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QList<int>>("found");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("tarvex");
    QTest::newRow("Tarvex module")
        << QStringList{} << QList<int>{16} << Hex("10 04 04 00 49 00 01 EA 93") << true;
    QTest::newRow("other device, type 72") << QStringList{"--type", "72"} << QList<int>{16}
                                           << Hex("10 04 04 00 48 00 01 BB 53") << false;
    QTest::newRow("silent module")
        << QStringList{"--silent"} << QList<int>{} << QByteArray() << false;
    QTest::newRow("refusing module") << SimProcess::exceptionArgs(TarvexMap::kRegDeviceType, 2)
                                     << QList<int>{16} << Hex("10 84 02 92 C4") << false;
    QTest::newRow("corrupt answers")
        << QStringList{"--corrupt-every", "1"} << QList<int>{} << QByteArray() << false;
    QTest::newRow("module at another rate")
        << QStringList{"--check-line", "--baud", "19200"} << QList<int>{} << QByteArray() << false;
}

// Addresses 1..20 around the module: every probe is reported, an answer only where one came.
void TestFindDevice::answerAtAddress16() {
    QFETCH(QStringList, simArgs);
    QFETCH(QList<int>, found);
    QFETCH(QByteArray, answer);
    QFETCH(bool, tarvex);
    SearchFixture f(simArgs);
    QVERIFY(f.ok());
    f.engine.SetTimeout(kAnswerTimeoutMs);
    QVERIFY(f.engine.Start());
    QVERIFY(f.engine.InFindProgress());
    QVERIFY(f.waitForPositions(20, kLongWaitMs));
    f.engine.Stop();

    QCOMPARE(f.positions().mid(0, 20), Range(1, 20));
    QCOMPARE(f.found(), found);
    if (!found.isEmpty()) {
        QCOMPARE(f.answers().first().toHex(' '), answer.toHex(' '));
        QCOMPARE(TfrmFindDevice::IsTarvexAnswer(TStringBytes::FromBytes(f.answers().first())),
                 tarvex);
    }
    QVERIFY(f.warnings().isEmpty());
}

// The simulator sees only the probes addressed to its module: one per pass.
void TestFindDevice::singlePassProbesEveryAddressOnceAndReleasesPort() {
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.Cycled = false;
    QVERIFY(f.engine.Start());
    QVERIFY(QTest::qWaitFor([&] { return !f.engine.InFindProgress(); }, kPassWaitMs));

    QCOMPARE(f.positions(), Range(1, 247));
    QVERIFY(f.engine.AnswerList.empty());
    QVERIFY(CanOpen(f.port()));
    const QByteArray probe16 = TfrmFindDevice::ProbeFrame(16).AsBytes();
    QTRY_COMPARE_WITH_TIMEOUT(f.simFrames(), QList<QByteArray>{probe16}, kLongWaitMs);

    // Nothing more goes out once the pass is over.
    QTest::qWait(500);
    QCOMPARE(f.positions().size(), 247);
    QCOMPARE(f.simFrames().size(), 1);
}

void TestFindDevice::cycledSearchStartsAgainAtAddress1() {
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.Cycled = true;
    QVERIFY(f.engine.Start());
    QVERIFY(f.waitForPositions(247 + 16, kPassWaitMs));
    QVERIFY(f.engine.InFindProgress());
    // Every probe of the second pass, 247 included, is in flight or answered.
    QCOMPARE(int(f.engine.AnswerList.size()), 2 * 247 - int(f.positions().size()));
    QVERIFY(f.engine.AnswerList.back().IsLast);
    QCOMPARE(f.engine.AnswerList.back().DevAddr, 247);
    f.engine.Stop();

    QCOMPARE(f.positions().mid(0, 247 + 16), Range(1, 247) + Range(1, 16));
    QVERIFY(CanOpen(f.port()));
    // The second pass sends the same probes again.
    const QByteArray probe16 = TfrmFindDevice::ProbeFrame(16).AsBytes();
    QTRY_COMPARE_WITH_TIMEOUT(f.simFrames(), (QList<QByteArray>{probe16, probe16}), kLongWaitMs);
}

void TestFindDevice::stopEndsReportsAndReleasesPort() {
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.Cycled = true;
    QVERIFY(f.engine.Start());
    QVERIFY(f.waitForPositions(10, kLongWaitMs));
    QVERIFY(!CanOpen(f.port()));

    f.engine.Stop();
    QVERIFY(!f.engine.InFindProgress());
    QVERIFY(CanOpen(f.port()));
    const int reported = f.positions().size();
    QTest::qWait(300);
    QCOMPARE(f.positions().size(), reported);

    // A new start begins a fresh pass at address 1, untroubled by the probes left unanswered.
    f.process.clear();
    QVERIFY(f.engine.Start());
    QVERIFY(f.waitForPositions(20, kLongWaitMs));
    f.engine.Stop();
    QCOMPARE(f.positions().mid(0, 20), Range(1, 20));
}

// A pseudo-terminal keeps 8 data bits and drops PARENB, and Qt refuses even parity on it; the
// PARODD bit survives and shows odd parity.
void TestFindDevice::lineSettingsFollowBaudRateAndFormat_data() {
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("format");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<bool>("oddParity");
    QTest::addColumn<bool>("twoStopBits");
    QTest::newRow("9600 8N1") << 9600 << 0 << speed_t(B9600) << false << false;
    QTest::newRow("19200 8O1") << 19200 << 1 << speed_t(B19200) << true << false;
    QTest::newRow("1200 8N2") << 1200 << 3 << speed_t(B1200) << false << true;
}

void TestFindDevice::lineSettingsFollowBaudRateAndFormat() {
    QFETCH(int, baudRate);
    QFETCH(int, format);
    QFETCH(speed_t, speed);
    QFETCH(bool, oddParity);
    QFETCH(bool, twoStopBits);
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.SetBaudRate(baudRate);
    f.engine.SetFormat(format);
    QVERIFY(f.engine.Start());

    const int fd = ::open(qPrintable(f.port()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    const int got = ::tcgetattr(fd, &tio);
    ::close(fd);
    f.engine.Stop();
    QCOMPARE(got, 0);
    QCOMPARE(cfgetospeed(&tio), speed);
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(bool(tio.c_cflag & PARODD), oddParity);
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
}

void TestFindDevice::timeoutBoundsTheWaitForAnAnswer_data() {
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("caught");
    // At 1200 baud the simulated wire holds request and answer back for about 140 ms.
    QTest::newRow("time-out shorter than the answer") << 20 << false;
    QTest::newRow("time-out longer than the answer") << 1000 << true;
}

void TestFindDevice::timeoutBoundsTheWaitForAnAnswer() {
    QFETCH(int, timeout);
    QFETCH(bool, caught);
    SearchFixture f({"--addr", "1", "--baud", "1200", "--wire-delay"});
    QVERIFY(f.ok());
    f.engine.SetBaudRate(1200);
    f.engine.SetTimeout(timeout);
    QVERIFY(f.engine.Start());
    QVERIFY(f.waitForPositions(1, kLongWaitMs));
    f.engine.Stop();
    QCOMPARE(f.positions().first(), 1);
    QCOMPARE(f.found().contains(1), caught);
}

// Only the ports given at creation may be opened: the program gives the system's list then.
void TestFindDevice::portThatCannotBeOpenedFails_data() {
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QStringList>("portList");
    QTest::newRow("not in the port list") << QString() << QStringList{"ttyS0"};
    QTest::newRow("no port listed") << QString() << QStringList{};
    QTest::newRow("listed but missing") << QStringLiteral("/dev/tarvex-no-such-port")
                                        << QStringList{QStringLiteral("/dev/tarvex-no-such-port")};
}

void TestFindDevice::portThatCannotBeOpenedFails() {
    QFETCH(QString, portName);
    QFETCH(QStringList, portList);
    SearchFixture f({}, &portList);
    QVERIFY(f.ok());
    if (!portName.isEmpty())
        f.engine.SetComPort(portName);

    QVERIFY(!f.engine.Start());
    QCOMPARE(f.warnings(), QStringList{kBusyCaption + ": " + kBusyText});
    QVERIFY(!f.engine.InFindProgress());
    QTest::qWait(200);
    QVERIFY(f.positions().isEmpty());
    QVERIFY(f.end.isEmpty());
    QVERIFY(f.simFrames().isEmpty());
    QVERIFY(CanOpen(f.port()));
}

void TestFindDevice::zeroTimeoutFails() {
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.SetTimeout(0);
    QVERIFY(!f.engine.Start());
    QVERIFY(!f.engine.InFindProgress());
    QTest::qWait(200);
    QVERIFY(f.positions().isEmpty());
    QVERIFY(f.simFrames().isEmpty());
    QVERIFY(CanOpen(f.port()));
}

// The module's port goes away in the middle of a pass: every probe after that would fail at
// once, pass after pass; the search ends instead, with the busy-port warning, and the port is
// released.
void TestFindDevice::portThatGoesAwayEndsTheSearch() {
    SearchFixture f;
    QVERIFY(f.ok());
    f.engine.Cycled = true;
    f.engine.SetTimeout(kAnswerTimeoutMs);
    QVERIFY(f.engine.Start());
    QVERIFY(f.waitForPositions(3, kLongWaitMs));
    f.sim().stop(); // the pseudo-terminal goes away with its simulator

    QTRY_COMPARE_WITH_TIMEOUT(f.end.size(), 1, kLongWaitMs);
    QVERIFY(!f.engine.InFindProgress());
    QCOMPARE(f.warnings(), QStringList{kBusyCaption + ": " + kBusyText});
    const int reported = f.positions().size();
    QVERIFY(reported < 247);
    QTest::qWait(300);
    QCOMPARE(f.positions().size(), reported);
    QCOMPARE(f.end.size(), 1);
}

// A sweep: one pass under each line in turn, on its own worker; a line the port refuses (a
// pseudo-terminal refuses even parity) is passed over, and the module answers only the pass
// under its own settings.
void TestFindDevice::sweepRunsAPassUnderEachLineInTurn() {
    SearchFixture f({"--check-line", "--baud", "19200", "--format", "8N2"});
    QVERIFY(f.ok());
    f.engine.Lines = {{115200, 0, 10}, {115200, 2, 10}, {19200, 3, 15}, {9600, 1, 30}};
    f.engine.FirstAddr = 15;
    f.engine.LastAddr = 17;
    f.engine.Cycled = false;
    // What a command-line search would print for each find: the line it answered under.
    QList<TzFindDevice> foundUnder;
    QObject::connect(&f.engine, &TfrmFindDevice::OnFindAddr, &f.engine,
                     [&](int aAddr, const TStringBytes &answer) {
                         foundUnder.append(f.engine.FoundDevice(aAddr, answer));
                     });

    QVERIFY(f.engine.Start());
    QVERIFY(QTest::qWaitFor([&] { return !f.engine.InFindProgress(); }, kPassWaitMs));

    QList<QPair<int, int>> lines;
    for (const QList<QVariant> &call : f.line)
        lines.append(
            {call.at(0).value<TzFindLine>().BaudRate, call.at(0).value<TzFindLine>().Format});
    QCOMPARE(lines, (QList<QPair<int, int>>{{115200, 0}, {19200, 3}, {9600, 1}}));
    QCOMPARE(f.positions(), (QList<int>{15, 16, 17, 15, 16, 17, 15, 16, 17}));
    QCOMPARE(f.found(), QList<int>{16});
    QCOMPARE(foundUnder.size(), 1);
    QCOMPARE(foundUnder.first().ListText(true), QStringLiteral("[16] Tarvex 19200 8N2"));
    QCOMPARE(foundUnder.first().PortName, f.port());
    QCOMPARE(foundUnder.first().Timeout, 15);
    QCOMPARE(f.end.size(), 1);
    QVERIFY(f.warnings().isEmpty());
    QVERIFY(CanOpen(f.port()));
    // The module heard the probe under every line, and answered noise to the two that differ.
    QTRY_COMPARE_WITH_TIMEOUT(f.sim().answers().size(), 3, kLongWaitMs);
    const QByteArray good = WithCrc("10 04 04 00 49 00 01");
    QList<bool> goodAnswers;
    for (const SimProcess::Frame &answer : f.sim().answers())
        goodAnswers.append(answer.bytes == good);
    QCOMPARE(goodAnswers, (QList<bool>{false, true, false}));
}

QTEST_MAIN(TestFindDevice)
#include "test_find_device.moc"
