// Connecting the panel to a simulated module: first contact, first full read, polling, the
// status labels and the log lines of success and failure.
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/blinker.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

namespace {

using namespace TarvexMap;

QString Hex(std::initializer_list<int> bytes) {
    QByteArray data;
    for (int b : bytes)
        data.append(char(b));
    return QString::fromLatin1(data.toHex(' ').toUpper());
}

// The request part of a frame log line: address, function, register and quantity.
QString RequestOf(const QString &frame) {
    return frame.left(17);
}

QString ReadRequest(int function, int reg, int count) {
    return Hex({16, function, reg >> 8, reg & 0xFF, count >> 8, count & 0xFF});
}

QString FailureLine(const QString &port, const QString &addr = "16") {
    return QStringLiteral("Неудачное подключение: [Адр:%1, %2, 9600, MODBUS RTU 8N1]")
        .arg(addr, port);
}

} // namespace

class TestPanelConnect : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void connectFillsLabels();
    void firmwareVersionText_data();
    void firmwareVersionText();
    void powerAlarmColours();
    void firstReadOrderThenPolling();
    void failedAttempts_data();
    void failedAttempts();
    void portMissingOrBusy_data();
    void portMissingOrBusy();
    void badAddressOpensNothing_data();
    void badAddressOpensNothing();
    void shortTimeoutCorrected();
    void userDisconnectWritesNoFailure();
    void reconnectAfterDisconnectDuringFirstRead();
};

void TestPanelConnect::connectFillsLabels() {
    PanelFixture f({"--id", "0123456789AB", "--voltage", "24000"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.clickConnect();
    const auto filled = [&p] {
        return p.labAddr->text() == QStringLiteral("16") &&
               p.labBaudRate->text() == QStringLiteral("9600") &&
               p.labFormat->text() == QStringLiteral("RTU 8N1") &&
               p.labVerPO->text() == QStringLiteral("1.00") &&
               p.labPower1->text() == QStringLiteral("24.00 В") &&
               p.txtMAC->text() == QStringLiteral("01-23-45-67-89-AB");
    };
    QTRY_VERIFY_WITH_TIMEOUT(filled(), 2000);
    QCOMPARE(p.labPower1->palette().color(QPalette::Window), QColor(166, 202, 240));
    QCOMPARE(p.labPower1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    bool isNumber = false;
    p.labTest->text().toInt(&isNumber);
    QVERIFY(isNumber);
    QCOMPARE(p.btnConnect->text(), QStringLiteral("Отключиться"));
    QVERIFY(p.btnRS485->isEnabled() && p.btnReset->isEnabled() && p.btnDOUT->isEnabled());
    QVERIFY(p.imgFindDevice->isHidden());
    const QString success =
        QStringLiteral("Успешное подключение: [Адр:16, %1, 9600, RTU 8N1]").arg(f.sim().portPath());
    QVERIFY2(LogHasLine(success, LogColor::Green), qPrintable(LogLines().join('\n')));
}

void TestPanelConnect::firmwareVersionText_data() {
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("shown");
    QTest::newRow("100") << "100"
                         << "1.00";
    QTest::newRow("123") << "123"
                         << "1.23";
    QTest::newRow("99") << "99"
                        << "99";
}

void TestPanelConnect::firmwareVersionText() {
    QFETCH(QString, firmware);
    QFETCH(QString, shown);
    PanelFixture f({"--firmware", firmware});
    QVERIFY(f.ok());
    QVERIFY(f.connectAndPoll());
    QCOMPARE(f.panel().labVerPO->text(), shown);
    QCOMPARE(f.panel().Device->DevPOVersionStr, shown);
}

void TestPanelConnect::powerAlarmColours() {
    PanelFixture f({"--power-status", "32768"});
    QVERIFY(f.ok());
    QLabel *power = f.panel().labPower1;
    QVERIFY(f.connectAndPoll());
    const QColor red(255, 0, 0), yellow(255, 255, 0), skyBlue(166, 202, 240), navy(0, 0, 128);
    QTRY_COMPARE_WITH_TIMEOUT(power->palette().color(QPalette::Window), red, 2000);
    QCOMPARE(power->palette().color(QPalette::WindowText), yellow);

    f.sim().setInput(kRegPowerStatus, 0);
    QTRY_COMPARE_WITH_TIMEOUT(power->palette().color(QPalette::Window), skyBlue, 2000);
    QCOMPARE(power->palette().color(QPalette::WindowText), navy);

    f.sim().setInput(kRegPowerStatus, 16384); // bit 14 alone raises the alarm too
    QTRY_COMPARE_WITH_TIMEOUT(power->palette().color(QPalette::Window), red, 2000);
}

void TestPanelConnect::firstReadOrderThenPolling() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    // A few polling cycles, watching that no request ever waits twice.
    QElapsedTimer watch;
    watch.start();
    while (watch.elapsed() < 1500) {
        QStringList waiting;
        for (const TzModbusAnswer &a : p.ModbusAnswerList)
            waiting.append(QString::fromLatin1(a.Cmd.AsBytes().toHex()));
        const qsizetype all = waiting.size();
        waiting.removeDuplicates();
        QVERIFY2(waiting.size() == all, "two copies of one request waiting");
        QTest::qWait(5);
    }

    // The first full read follows the register table, its read of the device type included: it
    // equals the first contact, whose request left the queue before its answer was handled.
    const QStringList expectedFirst = {ReadRequest(4, kRegDeviceType, 1), // first contact
                                       ReadRequest(3, kRegBaudCode, 1),
                                       ReadRequest(3, kRegFormatCode, 1),
                                       ReadRequest(3, kRegAddress, 1),
                                       ReadRequest(3, kRegNetworkTimeout, 1),
                                       ReadRequest(4, kRegDeviceType, 1),
                                       ReadRequest(4, kRegHardwareVersion, 1),
                                       ReadRequest(4, kRegId1, 1),
                                       ReadRequest(4, kRegId2, 1),
                                       ReadRequest(4, kRegId3, 1),
                                       ReadRequest(4, kRegFirmwareVersion, 1),
                                       ReadRequest(4, kRegSupplyVoltage, 1),
                                       ReadRequest(4, kRegPowerStatus, 1),
                                       ReadRequest(3, kRegSafeStates17to20, 1),
                                       ReadRequest(3, kRegSafeStates1to16, 1),
                                       ReadRequest(3, kRegOutputStates17to20, 1),
                                       ReadRequest(3, kRegOutputStates1to16, 1),
                                       ReadRequest(3, kRegPwmBlock1, kPwmBlockRegisters),
                                       ReadRequest(3, kRegPwmBlock2, kPwmBlockRegisters)};
    const QList<SimProcess::Frame> timed = f.sim().frames();
    QStringList frames = f.simFrames();
    for (QString &frame : frames)
        frame = RequestOf(frame);
    QCOMPARE(frames.mid(0, expectedFirst.size()), expectedFirst);

    // Then the eight polled reads: the first cycle complete and in order, after it nothing
    // else. (When a cycle overruns its 250 ms, the queue refuses the copies still waiting.)
    const QStringList polled = {ReadRequest(4, kRegSupplyVoltage, 1),
                                ReadRequest(4, kRegPowerStatus, 1),
                                ReadRequest(3, kRegSafeStates17to20, 1),
                                ReadRequest(3, kRegSafeStates1to16, 1),
                                ReadRequest(3, kRegOutputStates17to20, 1),
                                ReadRequest(3, kRegOutputStates1to16, 1),
                                ReadRequest(3, kRegPwmBlock1, kPwmBlockRegisters),
                                ReadRequest(3, kRegPwmBlock2, kPwmBlockRegisters)};
    const QStringList rest = frames.mid(expectedFirst.size());
    QVERIFY(rest.size() >= 24);
    QCOMPARE(rest.mid(0, 8), polled);
    for (const QString &frame : rest)
        QVERIFY2(polled.contains(frame), qPrintable(frame));

    QList<qint64> spacing; // between reads of the supply voltage: one per cycle
    qint64 previous = -1;
    for (int i = expectedFirst.size(); i < timed.size(); ++i) {
        if (RequestOf(frames[i]) != polled[0])
            continue;
        if (previous >= 0)
            spacing.append(timed[i].ms - previous);
        previous = timed[i].ms;
    }
    std::sort(spacing.begin(), spacing.end());
    QVERIFY(spacing.size() >= 3);
    const qint64 median = spacing[spacing.size() / 2];
    QVERIFY2(median >= 200 && median <= 400, qPrintable(QString::number(median)));
}

void TestPanelConnect::failedAttempts_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::newRow("device type 72") << QStringList{"--type", "72"};
    QTest::newRow("silent module") << QStringList{"--silent"};
    QTest::newRow("exception to the first contact") << SimProcess::exceptionArgs(kRegDeviceType, 2);
}

void TestPanelConnect::failedAttempts() {
    QFETCH(QStringList, simArgs);
    PanelFixture f(simArgs);
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.clickConnect();
    QVERIFY(!p.btnConnect->isEnabled());
    QVERIFY(!p.labAni->isHidden());
    const QString failure = FailureLine(f.sim().portPath());
    QTRY_VERIFY_WITH_TIMEOUT(LogHasLine(failure, LogColor::DarkRed), 2500);
    QVERIFY(!p.Connected);
    QVERIFY(p.btnConnect->isEnabled());
    QVERIFY(p.labAni->isHidden());
    QVERIFY(!p.imgFindDevice->isHidden());
    QVERIFY(!LogLines().join('\n').contains(QStringLiteral("Успешное подключение")));
    QCOMPARE(LogCount(failure), 1);
    QTest::qWait(1200); // the watchdog stopped: no second failure line
    QCOMPARE(LogCount(failure), 1);
}

void TestPanelConnect::portMissingOrBusy_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing, message box") << false << false << "Причина: нет такого устройства";
    QTest::newRow("missing, silent mode") << false << true << "Причина: нет такого устройства";
    QTest::newRow("busy, message box") << true << false << "Причина: порт занят другой программой";
}

void TestPanelConnect::portMissingOrBusy() {
    QFETCH(bool, busy);
    QFETCH(bool, silent);
    QFETCH(QString, reason);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QString port = f.sim().portPath();
    QSerialPort holder(port);
    if (busy) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else {
        port = QStringLiteral("/dev/tarvex-no-such-port");
        p.cbComPort->addItem(port);
        p.cbComPort->setCurrentText(port);
    }
    p.SilenceMode = silent;

    const QString notice = QStringLiteral("Выбранный СОМ-порт занят или недоступен");
    QString boxText, boxTitle;
    if (!silent) {
        QTimer::singleShot(100, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxText = box->text();
                boxTitle = box->windowTitle();
                box->accept();
            }
        });
    }
    f.clickConnect();
    QCOMPARE(LogHasLine(notice, LogColor::Navy), silent);
    if (!silent) {
        QCOMPARE(boxText, notice);
        QCOMPARE(boxTitle, QStringLiteral("Уведомление"));
    }
    QVERIFY(LogHasLine(port + QStringLiteral(" занят или недоступен"), LogColor::DarkRed));
    QVERIFY2(LogLines().first().startsWith(reason), qPrintable(LogLines().first()));
    QTRY_VERIFY_WITH_TIMEOUT(LogHasLine(FailureLine(port), LogColor::DarkRed), 2500);
}

void TestPanelConnect::badAddressOpensNothing_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("248") << "248" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("247") << "247" << true;
}

void TestPanelConnect::badAddressOpensNothing() {
    QFETCH(QString, address);
    QFETCH(bool, accepted);
    PanelFixture f({"--addr", accepted ? address : QStringLiteral("16")});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.txtLineAddr->setText(address);
    f.clickConnect();
    QCOMPARE(p.FreePort != nullptr, accepted);
    QCOMPARE(BlinkTarget() == p.txtLineAddr, !accepted);
    if (accepted) {
        QTRY_VERIFY_WITH_TIMEOUT(p.Connected, 2000);
        QCOMPARE(RequestOf(f.simFrames().first()), Hex({address.toInt(), 4, 0x90, 0, 0, 1}));
    } else {
        QVERIFY(p.btnConnect->isEnabled());
        QTest::qWait(300);
        QVERIFY(f.simFrames().isEmpty());
    }
}

void TestPanelConnect::shortTimeoutCorrected() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.txtLineTimeout->setText("5");
    f.clickConnect();
    QCOMPARE(p.txtLineTimeout->text(), QStringLiteral("30"));
    QCOMPARE(BlinkTarget(), p.txtLineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(p.OprosTimer.isActive(), 3000);
}

void TestPanelConnect::userDisconnectWritesNoFailure() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    f.clickConnect();
    QVERIFY(!p.Connected);
    QVERIFY(!p.OprosTimer.isActive());
    QCOMPARE(p.labAddr->text(), QStringLiteral("..."));
    QTest::qWait(1500);
    QVERIFY(!LogLines().join('\n').contains(QStringLiteral("Неудачное подключение")));
    QCOMPARE(p.btnConnect->text(), QStringLiteral("Подключиться"));
    QVERIFY(!p.btnRS485->isEnabled());
}

// A disconnect while the first full read is still on the line used to leave the device locked,
// so the next connection never finished its first read.
void TestPanelConnect::reconnectAfterDisconnectDuringFirstRead() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.clickConnect();
    QTRY_VERIFY_WITH_TIMEOUT(p.Connected, 2000);
    QVERIFY(p.Device->IsLocked); // the first full read has just been queued
    p.btnConnectClick();         // disconnect, and at once connect again: the answer to the
    p.btnConnectClick();         // last read of the cut-short first read never comes
    QTRY_VERIFY_WITH_TIMEOUT(p.OprosTimer.isActive(), 3000);
    QVERIFY(p.Connected);
    QVERIFY(!p.Device->IsLocked);
}

QTEST_MAIN(TestPanelConnect)
#include "test_panel_connect.moc"
