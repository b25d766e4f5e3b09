#include "app/frame_registry.h"
#include "app/main_window.h"
#include "tools/temp_log_window.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

namespace {

QWidget *PanelOwner = nullptr;

QAction *Action(const TfrmMain &window, const char *name) {
    return window.findChild<QAction *>(name);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void testArgument_data();
    void testArgument();
    void menuCommandsToggleBack();
    void fixedSizeWithoutMaximise();
    void panelFillsWindow();
    void contextMenuOffersBothCommands();
    void firstActivationCentresLog();
};

void TestMainWindow::initTestCase() {
    RegisterFrameClass("TfrTarvex", [](QWidget *owner) {
        PanelOwner = owner;
        return new QWidget;
    });
    RegisterDevFrame("Tarvex", 100, "TfrTarvex");
}

void TestMainWindow::testArgument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("testMode");

    QTest::newRow("no arguments") << QStringList{"tarvex-panel"} << false;
    QTest::newRow("test") << QStringList{"tarvex-panel", "test"} << true;
    QTest::newRow("test after another") << QStringList{"tarvex-panel", "/autorun", "test"} << true;
    QTest::newRow("capitals") << QStringList{"tarvex-panel", "TEST"} << false;
    QTest::newRow("dash") << QStringList{"tarvex-panel", "-test"} << false;
    QTest::newRow("slash") << QStringList{"tarvex-panel", "/test"} << false;
    QTest::newRow("longer word") << QStringList{"tarvex-panel", "testing"} << false;
    QTest::newRow("program name") << QStringList{"test"} << false;
}

void TestMainWindow::testArgument() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, testMode);

    TfrmMain window(arguments);
    QCOMPARE(window.TestMode, testMode);
    QCOMPARE(Action(window, "actTestMode")->isChecked(), testMode);
    QVERIFY(!Action(window, "actStayOnTop")->isChecked());
}

void TestMainWindow::menuCommandsToggleBack() {
    TfrmMain window(QStringList{"tarvex-panel"});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QAction *testMode = Action(window, "actTestMode");
    QAction *onTop = Action(window, "actStayOnTop");
    QCOMPARE(testMode->data().toInt(), 1369);
    QCOMPARE(onTop->data().toInt(), 1370);

    testMode->trigger();
    QVERIFY(window.TestMode);
    QVERIFY(testMode->isChecked());
    testMode->trigger();
    QVERIFY(!window.TestMode);
    QVERIFY(!testMode->isChecked());

    onTop->trigger();
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(onTop->isChecked());
    QVERIFY(window.isVisible());
    window.SysCommand(1370);
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!onTop->isChecked());
    QVERIFY(window.isVisible());

    window.SysCommand(61536); // not ours: nothing changes
    QVERIFY(!window.TestMode);
    QVERIFY(window.isVisible());
}

void TestMainWindow::fixedSizeWithoutMaximise() {
    TfrmMain window(QStringList{"tarvex-panel"});
    QCOMPARE(window.size(), QSize(700, 550));
    QCOMPARE(window.minimumSize(), QSize(700, 550));
    QCOMPARE(window.maximumSize(), QSize(700, 550));
    QCOMPARE(window.windowTitle(), QString("Панель управления Tarvex"));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(window.First);

    window.SetFixedWidthTo(900);
    QCOMPARE(window.size(), QSize(900, 550));
    QCOMPARE(window.minimumWidth(), 900);
    QCOMPARE(window.maximumWidth(), 900);
    window.SetFixedWidthTo(700);
    QCOMPARE(window.size(), QSize(700, 550));
    QCOMPARE(window.maximumSize(), QSize(700, 550));
}

void TestMainWindow::panelFillsWindow() {
    PanelOwner = nullptr;
    TfrmMain window(QStringList{"tarvex-panel"});
    QWidget *panel = window.Frame();
    QVERIFY(panel);
    QCOMPARE(PanelOwner, &window);
    QCOMPARE(panel->parentWidget(), &window);
    QVERIFY(QRegularExpression("^Frame\\d+$").match(panel->objectName()).hasMatch());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(panel->geometry(), QRect(0, 0, 700, 550));
    window.SetFixedWidthTo(900);
    QTRY_COMPARE(panel->geometry(), QRect(0, 0, 900, 550));
}

void TestMainWindow::contextMenuOffersBothCommands() {
    TfrmMain window(QStringList{"tarvex-panel"});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<QAction *> offered;
    QTimer::singleShot(0, this, [&offered] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        offered = menu->actions();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            window.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&window, &event);

    QCOMPARE(offered.size(), 4);
    QVERIFY(offered.at(0)->isSeparator());
    QCOMPARE(offered.at(1), Action(window, "actTestMode"));
    QVERIFY(offered.at(2)->isSeparator());
    QCOMPARE(offered.at(3), Action(window, "actStayOnTop"));
}

void TestMainWindow::firstActivationCentresLog() {
    TfrmMain window(QStringList{"tarvex-panel"});
    TfrmTempLog log;
    window.SetTempLog(&log);
    log.move(0, 0);

    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(!window.First);
    const QPoint offset = window.frameGeometry().center() - log.frameGeometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));

    // Later activations leave the log where the user put it.
    log.move(5, 7);
    window.FormActivate();
    QCOMPARE(log.pos(), QPoint(5, 7));
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
