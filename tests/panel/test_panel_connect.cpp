// The panel's connection settings and status labels bound to a session on a simulated module:
// the labels a connection fills, the fields that blink, the look of a failed attempt and of a
// disconnect, and the message box of a port that cannot be opened.
#include "model/register_map.h"
#include "panel/connection_panel.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/blinker.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
    void powerAlarmColours();
    void failedAttemptShowsIdle();
    void portMissing_data();
    void portMissing();
    void badAddressOpensNothing_data();
    void badAddressOpensNothing();
    void shortTimeoutCorrected();
    void connectWithLine_data();
    void connectWithLine();
    void userDisconnectWritesNoFailure();
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
    QCOMPARE(Child<QPushButton>(p, "btnConnect")->text(), QStringLiteral("Отключиться"));
    QVERIFY(p.btnRS485->isEnabled() && p.btnReset->isEnabled() && p.btnDOUT->isEnabled());
    QVERIFY(p.imgFindDevice->isHidden());
    const QString success =
        QStringLiteral("Успешное подключение: [Адр:16, %1, 9600, RTU 8N1]").arg(f.sim().portPath());
    QVERIFY2(LogHasLine(success, LogColor::Green), qPrintable(LogLines().join('\n')));
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

// While the attempt runs, the dots move and the button waits; the watchdog's end of it brings
// the idle look back.
void TestPanelConnect::failedAttemptShowsIdle() {
    PanelFixture f({"--silent"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.clickConnect();
    QVERIFY(!Child<QPushButton>(p, "btnConnect")->isEnabled());
    QVERIFY(!Child<QLabel>(p, "labAni")->isHidden());
    QVERIFY(p.imgFindDevice->isHidden());
    const QString failure = FailureLine(f.sim().portPath());
    QTRY_VERIFY_WITH_TIMEOUT(LogHasLine(failure, LogColor::DarkRed), 2500);
    QVERIFY(Child<QPushButton>(p, "btnConnect")->isEnabled());
    QCOMPARE(Child<QPushButton>(p, "btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(Child<QLabel>(p, "labAni")->isHidden());
    QVERIFY(!p.imgFindDevice->isHidden());
    QCOMPARE(LogCount(failure), 1);
}

// The session's warning becomes a message box, or in silent mode a line of the log.
void TestPanelConnect::portMissing_data() {
    QTest::addColumn<bool>("silent");
    QTest::newRow("message box") << false;
    QTest::newRow("silent mode") << true;
}

void TestPanelConnect::portMissing() {
    QFETCH(bool, silent);
    const QString reason = QStringLiteral("Причина: нет такого устройства");
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    const QString port = QStringLiteral("/dev/tarvex-no-such-port");
    Child<QComboBox>(p, "cbComPort")->addItem(port);
    Child<QComboBox>(p, "cbComPort")->setCurrentText(port);
    p.Session->SetSilenceMode(silent);

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
    Child<QLineEdit>(p, "txtLineAddr")->setText(address);
    f.clickConnect();
    QCOMPARE(p.Session->connectionState() != TarvexSession::ConnectionState::Idle, accepted);
    QCOMPARE(BlinkTarget() == Child<QLineEdit>(p, "txtLineAddr"), !accepted);
    if (accepted) {
        QTRY_VERIFY_WITH_TIMEOUT(p.Session->isConnected(), 2000);
        QCOMPARE(RequestOf(f.simFrames().first()), Hex({address.toInt(), 4, 0x90, 0, 0, 1}));
    } else {
        QVERIFY(Child<QPushButton>(p, "btnConnect")->isEnabled());
        QTest::qWait(300);
        QVERIFY(f.simFrames().isEmpty());
    }
}

void TestPanelConnect::shortTimeoutCorrected() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    Child<QLineEdit>(p, "txtLineTimeout")->setText("5");
    f.clickConnect();
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("30"));
    QCOMPARE(BlinkTarget(), Child<QLineEdit>(p, "txtLineTimeout"));
    QTRY_VERIFY_WITH_TIMEOUT(f.polling(), 3000);
    QCOMPARE(p.Session->lineSettings().timeoutMs, 30);
}

// What the search hands over for a module it found: the fields show it, are taken over, and the
// connection uses them; a line the fields refuse connects nothing.
void TestPanelConnect::connectWithLine_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("found module") << 16 << 0 << true;
    QTest::newRow("address out of range") << 300 << 2 << false;
}

void TestPanelConnect::connectWithLine() {
    QFETCH(int, address);
    QFETCH(int, format);
    QFETCH(bool, accepted);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TarvexLineSettings line;
    line.portName = f.sim().portPath();
    line.address = address;
    line.baudRate = 19200;
    line.format = format;
    line.timeoutMs = 40;
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentIndex(0);
    Child<QLineEdit>(p, "txtLineTimeout")->setText("500");

    p.panComPort->ShowLine(line); // a found module chosen: shown, not connected
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QString::number(address));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("19200"));
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), format);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("40"));
    QCOMPARE(p.panComPort->baudRate(), 19200);
    QCOMPARE(p.Session->connectionState(), TarvexSession::ConnectionState::Idle);

    Child<QLineEdit>(p, "txtLineAddr")->setText("1"); // the operator changed it meanwhile
    p.panComPort->ConnectWithLine(line);
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QString::number(address));
    QCOMPARE(BlinkTarget() == Child<QLineEdit>(p, "txtLineAddr"), !accepted);
    if (!accepted) {
        QCOMPARE(p.Session->connectionState(), TarvexSession::ConnectionState::Idle);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.polling(), 3000);
    const TarvexLineSettings used = p.Session->lineSettings();
    QCOMPARE(used.portName, line.portName);
    QCOMPARE(used.address, address);
    QCOMPARE(used.baudRate, 19200);
    QCOMPARE(used.format, format);
    QCOMPARE(used.timeoutMs, 40);
}

void TestPanelConnect::userDisconnectWritesNoFailure() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    f.clickConnect();
    QVERIFY(!p.Session->isConnected());
    QCOMPARE(p.labAddr->text(), QStringLiteral("..."));
    QVERIFY(p.btnPortObserver->isHidden());
    QTest::qWait(1500);
    QVERIFY(!LogLines().join('\n').contains(QStringLiteral("Неудачное подключение")));
    QCOMPARE(Child<QPushButton>(p, "btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(!p.btnRS485->isEnabled());
}

QTEST_MAIN(TestPanelConnect)
#include "test_panel_connect.moc"
