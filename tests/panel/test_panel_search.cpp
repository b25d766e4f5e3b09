// The device search as the panel shows it: the search icon, the pop-up panFind (TzSearchPanel)
// with its result list and counter line, taking a found module's settings into the connection
// fields, and the line monitor button. What the engine does is tested on the engine.
#include "panel/connection_panel.h"
#include "panel/search_panel.h"
#include "panel_fixture.h"
#include "session/find_device.h"
#include "tools/port_observer_window.h"
#include "tools/port_observers.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/blinker.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QStringList ListLines(const QListWidget *list) {
    QStringList lines;
    for (int row = 0; row < list->count(); ++row)
        lines.append(list->item(row)->text());
    return lines;
}

TStringBytes TypeAnswer(int address, int type) {
    return TStringBytes::FromBytes({uint8_t(address), 4, 4, 0, uint8_t(type), 0, 1, 0, 0});
}

TzSearchPanel &SearchView(TfrTarvex &p) {
    auto *view = p.findChild<TzSearchPanel *>(QStringLiteral("panFind"));
    Q_ASSERT(view);
    return *view;
}

// Opens the connection panel and starts a search on it through the search icon.
void ClickSearchIcon(TfrTarvex &p) {
    if (!Child<QFrame>(p, "panComPort")->isVisible())
        QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QTest::mouseClick(p.imgFindDevice, Qt::LeftButton);
}

} // namespace

class TestPanelSearch : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void searchFindsTheModule();
    void shortTimeoutRaisedBeforeSearch();
    void busyPortWarnsAndFreesTheFields();
    void listKeepsModulesOnceAndOthersEveryTime();
    void counterLineWrapsToTheNextPass();
    void clickTakesTheSettings();
    void doubleClickWhileSearchingFindsThePortBusy();
    void noSearchWhileConnected();
    void lineMonitorShowsTheTraffic();
    void sweepFindsTheModuleAtItsSettings();
    void foundListSavedFromTheContextMenu();
};

void TestPanelSearch::searchFindsTheModule() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentText("115200");
    Child<QLineEdit>(p, "txtLineTimeout")->setText("10");
    ClickSearchIcon(p);
    QVERIFY(f.engine().InFindProgress());
    QCOMPARE(f.engine().BaudRate, 115200);
    QCOMPARE(f.engine().PortName, f.sim().portPath());
    QVERIFY(!Child<QPushButton>(p, "btnConnect")->isEnabled() &&
            !Child<QComboBox>(p, "cbComPort")->isEnabled() &&
            !Child<QLineEdit>(p, "txtLineAddr")->isEnabled());
    QVERIFY(!view.chkSearchSweep->isEnabled());
    QVERIFY(view.isVisible());
    QVERIFY(view.aniAdvProgress->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(ListLines(view.FindListBox).contains("[16] Tarvex"), 8000);
    QVERIFY(ListLines(view.FindListBox).first().startsWith('['));
    QCOMPARE(view.aniAdvProgress->minimum(), 1);
    QCOMPARE(view.aniAdvProgress->maximum(), 247);

    QTest::mouseClick(p.imgFindDevice, Qt::LeftButton); // stop
    QVERIFY(!f.engine().InFindProgress());
    QCOMPARE(ListLines(view.FindListBox), QStringList{"[16] Tarvex"}); // the counter line goes
    QVERIFY(Child<QPushButton>(p, "btnConnect")->isEnabled() &&
            Child<QComboBox>(p, "cbComPort")->isEnabled());
    QVERIFY(view.chkSearchSweep->isEnabled());
    QVERIFY(!view.aniAdvProgress->isVisible());
    QVERIFY(view.isVisible());
}

void TestPanelSearch::shortTimeoutRaisedBeforeSearch() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    Child<QLineEdit>(p, "txtLineTimeout")->setText("5");
    ClickSearchIcon(p);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("30"));
    QCOMPARE(BlinkTarget(), Child<QLineEdit>(p, "txtLineTimeout"));
    QCOMPARE(f.engine().Timeout, 30);
    QVERIFY(f.engine().InFindProgress());
    SearchView(p).FindStop();
}

// The engine's warning reaches the operator as the panel's warnings do (the log, in silent
// mode), and the connection fields are free again.
void TestPanelSearch::busyPortWarnsAndFreesTheFields() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.Session->SetSilenceMode(true);
    QSerialPort holder(f.sim().portPath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    ClickSearchIcon(p);
    QVERIFY(!f.engine().InFindProgress());
    QVERIFY(LogHasLine(QStringLiteral("Выбранный СОМ-порт занят или недоступен"), LogColor::Navy));
    QVERIFY(Child<QPushButton>(p, "btnConnect")->isEnabled() &&
            Child<QComboBox>(p, "cbComPort")->isEnabled() &&
            Child<QLineEdit>(p, "txtLineTimeout")->isEnabled());
    QVERIFY(SearchView(p).chkSearchSweep->isEnabled());
    QVERIFY(!SearchView(p).aniAdvProgress->isVisible());
}

void TestPanelSearch::listKeepsModulesOnceAndOthersEveryTime() {
    PanelFixture f;
    QVERIFY(f.ok());
    TzSearchPanel &view = SearchView(f.panel());
    for (int pass = 0; pass < 3; ++pass) {
        view.FindAddrProc(16, TypeAnswer(16, 73));
        view.FindAddrProc(5, TypeAnswer(5, 72));
    }
    QCOMPARE(ListLines(view.FindListBox),
             (QStringList{"[16] Tarvex", "[5] Unknown", "[5] Unknown", "[5] Unknown"}));
}

void TestPanelSearch::counterLineWrapsToTheNextPass() {
    PanelFixture f({"--silent"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    Child<QLineEdit>(p, "txtLineTimeout")
        ->setText("500"); // the engine stays on its first probes meanwhile
    ClickSearchIcon(p);
    QVERIFY(f.engine().InFindProgress());
    view.FindProcessAniPos = 9;
    view.FindProcessProc(247);
    QCOMPARE(view.FindListBox->item(0)->text(), QStringLiteral("[247] .........."));
    QCOMPARE(view.aniAdvProgress->value(), 247);
    view.FindProcessProc(1);
    QCOMPARE(view.FindListBox->item(0)->text(), QStringLiteral("[1] ."));
    QCOMPARE(view.FindListBox->count(), 1);
    view.FindStop();
    QCOMPARE(view.FindListBox->count(), 0);
}

// A module found under the engine's settings: a click puts them into the connection fields,
// whatever the fields hold meanwhile.
void TestPanelSearch::clickTakesTheSettings() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    f.engine().SetBaudRate(38400);
    f.engine().SetFormat(3);
    f.engine().SetTimeout(77);
    view.FindAddrProc(42, TypeAnswer(42, 73));
    view.FindAddrProc(5, TypeAnswer(5, 72));
    Child<QLineEdit>(p, "txtLineAddr")->setText("16");
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentIndex(0);
    Child<QComboBox>(p, "cbLineFormat")->setCurrentIndex(0);
    Child<QLineEdit>(p, "txtLineTimeout")->setText("200");

    view.FindListBoxClick(view.FindListBox->item(1)); // another device: nothing is taken
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentIndex(), 0);

    view.FindListBoxClick(view.FindListBox->item(0));
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), f.sim().portPath());
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("42"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentIndex(), 7);
    QCOMPARE(p.panComPort->baudRate(), 38400);
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 3);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("77"));
}

void TestPanelSearch::doubleClickWhileSearchingFindsThePortBusy() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    p.Session->SetSilenceMode(true);
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentText("115200");
    Child<QLineEdit>(p, "txtLineTimeout")->setText("10");
    ClickSearchIcon(p);
    QTRY_VERIFY_WITH_TIMEOUT(ListLines(view.FindListBox).contains("[16] Tarvex"), 8000);
    const QRect entry = view.FindListBox->visualItemRect(
        view.FindListBox->findItems("[16] Tarvex", Qt::MatchExactly).value(0));
    // A double click's first press selects the entry.
    QTest::mouseClick(view.FindListBox->viewport(), Qt::LeftButton, {}, entry.center());
    QTest::mouseDClick(view.FindListBox->viewport(), Qt::LeftButton, {}, entry.center());
    QVERIFY(LogHasLine(QStringLiteral("Выбранный СОМ-порт занят или недоступен"), LogColor::Navy));
    QVERIFY(!p.Session->isConnected());
    view.FindStop();
}

void TestPanelSearch::noSearchWhileConnected() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    view.FindAddrProc(16, TypeAnswer(16, 73));
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QVERIFY(view.isVisible()); // a list with entries shows beside the open panel
    QVERIFY(!view.chkSearchSweep->isHidden());
    QVERIFY(f.connectAndPoll());
    QVERIFY(p.imgFindDevice->isHidden());
    QVERIFY(view.chkSearchSweep->isHidden());
    view.imgFindDeviceClick();
    QVERIFY(!f.engine().InFindProgress());
    QVERIFY(!view.FindStart());
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QVERIFY(!view.isVisible()); // not while connected
}

void TestPanelSearch::lineMonitorShowsTheTraffic() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.btnPortObserver->isVisible(), 2000);
    QTest::mouseClick(p.btnPortObserver, Qt::LeftButton);
    QTest::mouseClick(p.btnPortObserver, Qt::LeftButton); // every click opens another
    QCOMPARE(PortObservers().size(), 2);
    auto *monitor = dynamic_cast<TfrmPortObserver *>(PortObservers().first());
    QVERIFY(monitor && monitor->isVisible());
    QCOMPARE(monitor->windowTitle(), QStringLiteral("Наблюдение за линией ") + f.sim().portPath());
    const auto *grid = monitor->findChild<QTableView *>(QStringLiteral("SG"));
    QVERIFY(grid);
    // The polled registers fill the static view with one row each, answers included.
    QTRY_VERIFY_WITH_TIMEOUT(grid->model()->rowCount() >= 8, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!grid->model()->index(0, 8).data().toString().isEmpty(), 2000);
    for (TzPortObserver *observer : PortObservers())
        dynamic_cast<QWidget *>(observer)->close();
    QVERIFY(PortObservers().isEmpty());
}

// A module at 19200 8N2 answers noise to every other rate and format; the sweep, fastest rate
// first, lists it once with its settings, and a click on it sets up a connection that works.
void TestPanelSearch::sweepFindsTheModuleAtItsSettings() {
    PanelFixture f({"--check-line", "--baud", "19200", "--format", "8N2"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzSearchPanel &view = SearchView(p);
    TfrmFindDevice &engine = f.engine();
    engine.FirstAddr = 15; // a short pass keeps the sweep quick
    engine.LastAddr = 17;
    Child<QLineEdit>(p, "txtLineTimeout")->setText("10");
    if (!Child<QFrame>(p, "panComPort")->isVisible())
        QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QVERIFY(view.chkSearchSweep->isVisible());
    QCOMPARE(view.chkSearchSweep->parentWidget(), Child<QFrame>(p, "panComPort"));
    QCOMPARE(view.chkSearchSweep->text(), QStringLiteral("Перебирать скорости и форматы"));
    view.chkSearchSweep->click();
    QTest::mouseClick(p.imgFindDevice, Qt::LeftButton);
    QVERIFY(engine.InFindProgress());
    QVERIFY(!view.chkSearchSweep->isEnabled());
    QVERIFY(view.labFindLine->isVisible());
    // What the panel shows beside the progress bar while the module answers.
    QStringList shownAtFind;
    QObject::connect(&engine, &TfrmFindDevice::OnFindAddr, &view,
                     [&] { shownAtFind << view.labFindLine->text(); });

    QTRY_VERIFY_WITH_TIMEOUT(ListLines(view.FindListBox).contains("[16] Tarvex 19200 8N2"), 30000);
    QTest::mouseClick(p.imgFindDevice, Qt::LeftButton); // stop
    QVERIFY(!engine.InFindProgress());

    QCOMPARE(ListLines(view.FindListBox), QStringList{"[16] Tarvex 19200 8N2"});
    QCOMPARE(shownAtFind, QStringList{"19200 8N2"});
    // Every line before it was tried, but a pseudo-terminal refuses even parity: the module
    // answered each of the others with noise, which lists nothing.
    const QList<TzFindLine> lines = SearchSweepLines(10);
    QCOMPARE(lines.first().BaudRate, 115200);
    int linesBefore = 0;
    for (const TzFindLine &line : lines) {
        if (line.BaudRate == 19200 && line.Format == 3)
            break;
        linesBefore += line.Format != 2;
    }
    const QByteArray good = TStringBytes::FromBytes({16, 4, 4, 0, 73, 0, 1, 0xEA, 0x93}).AsBytes();
    const QList<SimProcess::Frame> answers = f.sim().answers();
    int noiseBefore = 0;
    while (noiseBefore < answers.size() && answers[noiseBefore].bytes != good)
        ++noiseBefore;
    QCOMPARE(noiseBefore, linesBefore);
    QVERIFY(noiseBefore < answers.size());

    const QRect entry = view.FindListBox->visualItemRect(view.FindListBox->item(0));
    QTest::mouseClick(view.FindListBox->viewport(), Qt::LeftButton, {}, entry.center());
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("19200"));
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentText(), QStringLiteral("MODBUS RTU 8N2"));
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(),
             QStringLiteral("15")); // the minimum at 19200
    QVERIFY(f.connectAndPoll(5000));
    QVERIFY(p.Session->isConnected());
}

void TestPanelSearch::foundListSavedFromTheContextMenu() {
    PanelFixture f;
    QVERIFY(f.ok());
    TzSearchPanel &view = SearchView(f.panel());
    f.engine().SetBaudRate(38400);
    f.engine().SetFormat(3);
    view.FindAddrProc(16, TypeAnswer(16, 73));
    view.FindAddrProc(5, TypeAnswer(5, 72));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("устройства.csv");
    const auto realSource = TzSearchPanel::FindListPathSource;
    TzSearchPanel::FindListPathSource = [&](QWidget *) { return path; };
    auto *save = view.FindListBox->findChild<QAction *>("actFindListSave");
    QVERIFY(save);
    QCOMPARE(save->text(), QStringLiteral("Сохранить список..."));
    QVERIFY(view.FindListBox->actions().contains(save));
    QCOMPARE(view.FindListBox->contextMenuPolicy(), Qt::ActionsContextMenu);

    save->trigger();
    TzSearchPanel::FindListPathSource = realSource;

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("\xEF\xBB\xBF") +
                 QString("Адрес;Скорость;Формат;Устройство;Ответ\r\n"
                         "16;38400;MODBUS RTU 8N2;Tarvex;10.04.04.00.49.00.01.00.00\r\n"
                         "5;38400;MODBUS RTU 8N2;Unknown;05.04.04.00.48.00.01.00.00\r\n")
                     .toUtf8());
}

QTEST_MAIN(TestPanelSearch)
#include "test_panel_search.moc"
