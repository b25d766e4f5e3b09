// The panel frame without a module: pop-up panels, layout, tool buttons, the port list, the
// connection fields and their checks, and what assistive technology hears.
#include "app/main_window.h"
#include "app/panel_app.h"
#include "app/tarvex_registration.h"
#include "model/register_map.h"
#include "panel/connection_panel.h"
#include "panel/serial_port_list.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "transport/serial_overlays.h"
#include "widgets/blinker.h"
#include "widgets/output_button.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

// Receives the URLs the panel asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestPanelLayout : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetLog();
        UseFreshPanelDir();
    }
    void cleanupTestCase() { DeleteLogWindow(); }
    void cleanup() { SetSerialPortSource(nullptr); }

    void toolbarPanels();
    void frameClickClosesPanels();
    void edgeAnchoredLayout();
    void helpAndLogButtons();
    void fallbackPortList();
    void portListReadAgainKeepsSelection();
    void fieldChangesTakeOverPortAndBaudRate();
    void checkBlinkEditInt_data();
    void checkBlinkEditInt();
    void connectDots();
    void arrowBouncesWhileDisconnected();
    void everyControlHasAnAccessibleName();
    void valueLabelsSpeakCaptionAndValue();
    void bigButtonsActThroughAccessibility_data();
    void bigButtonsActThroughAccessibility();
    void outputButtonsDescribeTheirState_data();
    void outputButtonsDescribeTheirState();
};

namespace {

QString SpokenName(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// Output 4 at a duty factor of 50 %, as a read of the first PWM block would bring it.
void ModulateOutput4(TarvexSession &session) {
    TzTag *block = session.device().GetTagByID(TarvexMap::kTagPwmBlock1);
    block->Data = QByteArray(2 * TarvexMap::kPwmBlockRegisters, char(0));
    // Three words per output: time unit, period, duty factor.
    const int duty = (4 - 1) * 2 * TarvexMap::kPwmRegistersPerOutput + 2 * 2;
    block->Data[duty] = char(500 >> 8);
    block->Data[duty + 1] = char(500 & 0xFF);
    session.ShimAllCallback(block);
}

} // namespace

void TestPanelLayout::toolbarPanels() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ButtonsEnabled(true);

    QTest::mouseClick(p.btnRS485, Qt::LeftButton);
    QVERIFY(Child<QFrame>(p, "panRS485")->isVisible());
    QVERIFY(p.btnRS485->isChecked());
    QCOMPARE(Child<QFrame>(p, "panRS485")->pos(),
             QPoint(p.btnRS485->geometry().right() + 1, p.btnRS485->y()));
    QTest::mouseClick(p.btnRS485, Qt::LeftButton);
    QVERIFY(!Child<QFrame>(p, "panRS485")->isVisible());
    QVERIFY(!p.btnRS485->isChecked());

    QTest::mouseClick(p.btnRS485, Qt::LeftButton);
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QVERIFY(!Child<QFrame>(p, "panRS485")->isVisible());
    QVERIFY(Child<QFrame>(p, "panComPort")->isVisible());
    QVERIFY(p.btnComPort->isChecked());
    QVERIFY(!p.btnRS485->isChecked());
    QCOMPARE(p.CurrPanel, Child<QFrame>(p, "panComPort"));
}

void TestPanelLayout::frameClickClosesPanels() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QVERIFY(Child<QFrame>(p, "panComPort")->isVisible());
    QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(650, 520)); // free area
    QVERIFY(!Child<QFrame>(p, "panComPort")->isVisible());
    QVERIFY(!p.btnComPort->isChecked());
}

void TestPanelLayout::edgeAnchoredLayout() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    for (const QSize size : {QSize(700, 550), QSize(900, 550)}) {
        p.resize(size);
        QCOMPARE(p.imgLogo->geometry().right(), size.width() - 2);
        QCOMPARE(p.imgLogo->y(), -8);
        QCOMPARE(p.btnHelp->geometry().right(), size.width() - 2);
        QCOMPARE(p.btnHelp->y(), p.imgLogo->geometry().bottom() + 1);
        QCOMPARE(p.btnVerInfo->y(), p.btnHelp->geometry().bottom() + 1 + 5);
        QCOMPARE(p.btnTempLog->y(), p.btnVerInfo->geometry().bottom() + 1 + 5);
        QCOMPARE(p.btnReset->geometry().bottom(), size.height() - 1 - 5);
        QCOMPARE(p.labNeedReset->y(), p.btnReset->y());
    }
    // The output buttons: two rows of ten under their header, row 2 twelve pixels lower.
    QCOMPARE(p.DoutBtns[2]->x() - p.DoutBtns[1]->geometry().right() - 1, 8);
    QCOMPARE(p.DoutBtns[11]->y() - p.DoutBtns[1]->geometry().bottom() - 1, 12);
    QCOMPARE(p.labDOUTHeader->x(), p.DoutBtns[1]->x());
    QCOMPARE(p.labDOUTHeader->geometry().right(), p.DoutBtns[10]->geometry().right());
}

void TestPanelLayout::helpAndLogButtons() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QDir(p.ExeDir).mkpath(QStringLiteral("Doc"));
    QFile manual(QDir(p.ExeDir).filePath(QStringLiteral("Doc/Панель управления Tarvex.pdf")));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QTest::mouseClick(p.btnHelp, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls.size(), 1);
    QVERIFY(catcher.urls[0].toLocalFile().endsWith(
        QStringLiteral("/Doc/Панель управления Tarvex.pdf")));

    TfrmTempLog *log = LogWindow();
    QVERIFY(log && !log->isVisible());
    QTest::mouseClick(p.btnTempLog, Qt::LeftButton);
    QVERIFY(log->isVisible());
    QTest::mouseClick(p.btnTempLog, Qt::LeftButton);
    QVERIFY(!log->isVisible());
}

void TestPanelLayout::fallbackPortList() {
    SetSerialPortSource([] { return QStringList(); });
    TestPanel p;
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->count(), 255);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentIndex(), 0);
    const QStringList lines = LogLines();
    QCOMPARE(lines.value(0), QStringLiteral("Не удалось обнаружить ни одного СОМ-порта"));
    QCOMPARE(lines.value(1),
             QStringLiteral("Попробуйте запустить программу с правами Администратора"));
    QCOMPARE(TempLogModel::instance().colors().value(0), LogColor::DarkRed);
    QCOMPARE(TempLogModel::instance().colors().value(1), LogColor::DarkRed);
}

void TestPanelLayout::portListReadAgainKeepsSelection() {
    QStringList ports = {"ttyUSB0", "ttyUSB1"};
    SetSerialPortSource([&ports] { return ports; });
    TestPanel p;
    Child<QComboBox>(p, "cbComPort")->setCurrentText("ttyUSB1");
    ports = {"ttyACM0", "ttyUSB0", "ttyUSB1"}; // an adapter plugged in after start
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->count(), 3);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), QStringLiteral("ttyUSB1"));
    QCOMPARE(p.panComPort->comPortName(), QStringLiteral("ttyUSB1"));

    ports = {"ttyACM0"}; // the selected adapter was unplugged: it stays selected
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), QStringLiteral("ttyUSB1"));
}

void TestPanelLayout::fieldChangesTakeOverPortAndBaudRate() {
    SetSerialPortSource([] { return QStringList{"ttyUSB3", "/dev/pts/12"}; });
    TestPanel p;
    QCOMPARE(p.panComPort->comPort(), 3);
    Child<QComboBox>(p, "cbComPort")->setCurrentIndex(1);
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentText("57600");
    QCOMPARE(p.panComPort->comPort(), 12);
    QCOMPARE(p.panComPort->comPortName(), QStringLiteral("/dev/pts/12"));
    QCOMPARE(p.panComPort->baudRate(), 57600);
}

void TestPanelLayout::checkBlinkEditInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<bool>("ok");
    QTest::newRow("inside") << "16" << 1 << 247 << true;
    QTest::newRow("lower bound") << "1" << 1 << 247 << true;
    QTest::newRow("upper bound") << "247" << 1 << 247 << true;
    QTest::newRow("below") << "0" << 1 << 247 << false;
    QTest::newRow("above") << "248" << 1 << 247 << false;
    QTest::newRow("empty") << "" << 1 << 247 << false;
    QTest::newRow("not a number") << "1a" << 1 << 247 << false;
    QTest::newRow("unbounded") << "-5" << kNotSet << kNotSet << true;
    QTest::newRow("too large for 32 bits") << "3000000000" << kNotSet << kNotSet << false;
}

void TestPanelLayout::checkBlinkEditInt() {
    QFETCH(QString, text);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(bool, ok);
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;
    Child<QLineEdit>(p, "txtLineTimeout")->setText(text);
    int value = 12345;
    QCOMPARE(TzConnectionPanel::CheckBlinkEditInt(Child<QLineEdit>(p, "txtLineTimeout"), value,
                                                  minimum, maximum),
             ok);
    QCOMPARE(BlinkTarget() == Child<QLineEdit>(p, "txtLineTimeout"), !ok);
    QCOMPARE(value, ok ? text.toInt() : 12345);
    QTRY_VERIFY(BlinkTarget() == nullptr);
}

void TestPanelLayout::connectDots() {
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;
    p.Anima(true);
    QVERIFY(!Child<QPushButton>(p, "btnConnect")->isEnabled());
    p.AniTimer.stop(); // ticks are driven by hand
    QList<int> dots;
    for (int i = 0; i < 21; ++i) {
        p.AniTimerTimer();
        dots.append(Child<QLabel>(p, "labAni")->text().size());
    }
    QCOMPARE(dots, (QList<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2}));
    p.Anima(false);
    QVERIFY(Child<QPushButton>(p, "btnConnect")->isEnabled());
    QVERIFY(!Child<QLabel>(p, "labAni")->isVisible());
    QCOMPARE(p.AniSlide, 0);
    QCOMPARE(p.AniDirect, 1);
}

void TestPanelLayout::arrowBouncesWhileDisconnected() {
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;
    p.show();
    p.ArrowTimer.stop();
    QSet<int> positions;
    for (int i = 0; i < 40; ++i) {
        p.ArrowTimerTimer();
        positions.insert(p.imgArrow->x());
    }
    QVERIFY(p.imgArrow->isVisible());
    QCOMPARE(*std::min_element(positions.begin(), positions.end()), 127);
    QCOMPARE(*std::max_element(positions.begin(), positions.end()), 136);
    p.ShowConnectionState(TarvexSession::ConnectionState::Polling);
    const int x = p.imgArrow->x();
    p.ArrowTimerTimer();
    QVERIFY(!p.imgArrow->isVisible());
    QCOMPARE(p.imgArrow->x(), x);
}

// Screen readers and UI automation find every control by its name.
void TestPanelLayout::everyControlHasAnAccessibleName() {
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TzPanelApp program(QStringList{"tarvex-panel", "test"});
    QVERIFY(program.Panel());
    QStringList unnamed;
    for (QWidget *window : {static_cast<QWidget *>(&program.MainWindow()),
                            static_cast<QWidget *>(&program.TempLog())}) {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const bool control =
                qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractItemView *>(w) ||
                (qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->pixmap().isNull());
            if (!control || w->objectName().startsWith("qt_"))
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed.append(w->metaObject()->className() + QStringLiteral(" ") +
                               w->objectName());
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
}

// Assistive technology hears what a sighted operator sees: caption and value, as they change.
void TestPanelLayout::valueLabelsSpeakCaptionAndValue() {
    PanelFixture f({"--id", "012A00FF100B", "--voltage", "24000", "--firmware", "123"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QCOMPARE(SpokenName(p.labAddr), QStringLiteral("Адрес: ..."));
    QCOMPARE(SpokenName(p.txtMAC), QStringLiteral("ID: AA-BB-CC-DD-EE-FF"));
    QVERIFY(f.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(SpokenName(p.labPower1), QStringLiteral("Питание: 24.00 В"), 2000);
    const QStringList names = {SpokenName(p.txtMAC), SpokenName(p.labAddr),
                               SpokenName(p.labBaudRate), SpokenName(p.labFormat),
                               SpokenName(p.labVerPO)};
    QCOMPARE(names, (QStringList{"ID: 01-2A-00-FF-10-0B", "Адрес: 16", "Скорость: 9600",
                                 "Формат: RTU 8N1", "Версия ПО: 1.23"}));
    f.sim().setInput(TarvexMap::kRegSupplyVoltage, 12340);
    QTRY_COMPARE_WITH_TIMEOUT(SpokenName(p.labPower1), QStringLiteral("Питание: 12.34 В"), 2000);
}

// A screen reader's "Toggle" (AT-SPI), the one action a checkable button offers, opens and
// closes the panel like a click.
void TestPanelLayout::bigButtonsActThroughAccessibility_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("panel");
    QTest::newRow("СОМ-порт") << "btnComPort"
                              << "panComPort";
    QTest::newRow("Устройство") << "btnRS485"
                                << "panRS485";
    QTest::newRow("Широтно импульсная модуляция") << "btnDOUT"
                                                  << "panDOUT";
}

void TestPanelLayout::bigButtonsActThroughAccessibility() {
    QFETCH(QString, button);
    QFETCH(QString, panel);
    const QString action = QAccessibleActionInterface::toggleAction();
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;
    p.show();
    p.ButtonsEnabled(true);
    auto *b = p.findChild<QPushButton *>(button);
    auto *pan = p.findChild<QWidget *>(panel);
    QVERIFY(b && pan);
    QAccessibleActionInterface *actions =
        QAccessible::queryAccessibleInterface(b)->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(action));

    actions->doAction(action);
    QVERIFY(pan->isVisible());
    QVERIFY(b->isChecked());
    QCOMPARE(p.CurrPanel, pan);
    actions->doAction(action);
    QVERIFY(!pan->isVisible());
    QVERIFY(!b->isChecked());

    // Another button's toggle closes this panel and releases its button.
    actions->doAction(action);
    QVERIFY(pan->isVisible());
    QPushButton *other = b == p.btnRS485 ? p.btnComPort : p.btnRS485;
    QAccessible::queryAccessibleInterface(other)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    QVERIFY(!pan->isVisible());
    QVERIFY(!b->isChecked());
    QVERIFY(other->isChecked());
}

void TestPanelLayout::outputButtonsDescribeTheirState_data() {
    QTest::addColumn<QString>("steps"); // what the panel does to output 4, in order
    QTest::addColumn<QString>("described");
    QTest::newRow("never read") << ""
                                << "состояние неизвестно";
    QTest::newRow("off") << "off"
                         << "выключен";
    QTest::newRow("on") << "on"
                        << "включён";
    QTest::newRow("PWM") << "pwm on"
                         << "ШИМ";
    QTest::newRow("clicked, not confirmed") << "off pending"
                                            << "ожидает подтверждения модуля";
    QTest::newRow("connection over") << "on end"
                                     << "состояние неизвестно";
    QTest::newRow("read again") << "on end off"
                                << "выключен";
}

void TestPanelLayout::outputButtonsDescribeTheirState() {
    QFETCH(QString, steps);
    QFETCH(QString, described);
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;
    for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
        if (step == "pwm")
            ModulateOutput4(*p.Session);
        else if (step == "pending")
            p.SetDOUT_Temp(4);
        else if (step == "end")
            p.ShowConnectionState(TarvexSession::ConnectionState::Idle);
        else
            p.SetDOUT(4, step == "on");
    }
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(p.DoutBtns[4]);
    QCOMPARE(face->text(QAccessible::Description), described);
    QCOMPARE(face->text(QAccessible::Name), QStringLiteral("4"));
}

QTEST_MAIN(TestPanelLayout)
#include "test_panel_layout.moc"
