#include "tools/port_observer_model.h"
#include "tools/port_observer_window.h"
#include "tools/port_observers.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

using enum TzPortObserverModel::Column;

const QByteArray kReadFrame = QByteArray::fromHex("0103100000018ACA");
const QByteArray kAnswerFrame = QByteArray::fromHex("01030200497986");
// QString drops a leading byte-order mark, so the expected files are put together as bytes.
const QByteArray kByteOrderMark = "\xEF\xBB\xBF";

uint32_t g_tick = 0;

TzPortObsRec Request(int id, int func, int reg, const QByteArray &cmd = kReadFrame,
                     const QString &name = "Напряжение питания") {
    TzPortObsRec rec;
    rec.Port = 7;
    rec.Index = id;
    rec.Addr = 1;
    rec.Func = func;
    rec.Reg = reg;
    rec.Cmd = cmd;
    rec.Value = "ignored for a request";
    rec.Name = name;
    return rec;
}

TzPortObsRec Answer(int id, const QByteArray &cmd = kAnswerFrame, const QString &value = "73") {
    TzPortObsRec rec;
    rec.Index = id;
    rec.Cmd = cmd;
    rec.Value = value;
    rec.Name = "ignored for an answer";
    return rec;
}

// The cases of the clearing triggers: each names how it starts and what it does.
enum Trigger {
    ChooseStatic,
    ChooseDynamic,
    CheckFilters,
    CheckFiltersInDynamicMode,
    FunctionChangeWithFilter,
    FunctionChangeWithoutFilter,
    FunctionChangeWithFiltersOff,
    RegisterChangeWithFilter,
    RegisterChangeWithoutFilter,
    ClickFunctionFilterOn,
    ClickRegisterFilterOn,
    ClickFunctionFilterOffKeepingRegisterFilter,
    ClickLastFilterOff,
    ClickFilterWhileFiltersOff,
    ClickFilterInDynamicMode,
};

} // namespace

class TestPortObserver : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRecordFillsEmptyRow_data();
    void firstRecordFillsEmptyRow();
    void columnTexts_data();
    void columnTexts();
    void pauseKeepsRequestsOutButCompletesRows();
    void filters_data();
    void filters();
    void staticModeKeysRowsByRegister();
    void dynamicModeFollowsNewestRowUntilUserLooksBack();
    void autoLimit_data();
    void autoLimit();
    void emptyAnswerEmptiesAnswerColumn();
    void answerColumnWidensButNeverNarrows();
    void numberViews_data();
    void numberViews();
    void clearLeavesNothingToReRender();
    void elapsedTime_data();
    void elapsedTime();
    void copySelectedRow_data();
    void copySelectedRow();
    void clearingTriggers_data();
    void clearingTriggers();
    void closingRemovesWindowFromObservers_data();
    void closingRemovesWindowFromObservers();
    void caption_data();
    void caption();
    void windowShapeAndPinPlacement();
    void toolbarHidesWhileUnpinnedAndMouseAway();
    void recordsFromAnotherThreadReachTheWindow();
    void answerFindsItsRowAfterTrimming_data();
    void answerFindsItsRowAfterTrimming();
    void rowsReachTheViewInBatches();
    void exportWritesTheRowsShown_data();
    void exportWritesTheRowsShown();
    void exportButton_data();
    void exportButton();

private:
    template <typename T> T *Control(const char *name) const {
        T *control = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    QAbstractItemModel *Grid() const { return Control<QTableView>("SG")->model(); }
    // The rows gathered since the last batch are shown first, as the window's timer does.
    void Show() const { m_window->RowsTimerTimer(); }
    int Rows() const {
        Show();
        return Grid()->rowCount();
    }
    QString Cell(int row, int column) const {
        Show();
        return Grid()->index(row, column).data().toString();
    }
    int CurrentRow() const {
        Show();
        return Control<QTableView>("SG")->currentIndex().row();
    }
    void ChooseDynamicMode() { Control<QRadioButton>("rbDinamica")->click(); }
    void Prepare(Trigger trigger);
    void Act(Trigger trigger);

    QPointer<TfrmPortObserver> m_window;
    std::function<uint32_t()> m_realTicks;
};

void TestPortObserver::init() {
    m_realTicks = PortObserverTicks;
    g_tick = 1000;
    PortObserverTicks = [] { return g_tick; };
    QVERIFY(PortObservers().isEmpty());
    m_window = CreatePortObserver(nullptr);
    QCOMPARE(PortObservers(), QList<TzPortObserver *>{m_window.data()});
    // The tests drive the timers' slots themselves.
    Control<QTimer>("AutoClearTimer")->stop();
    Control<QTimer>("InterfaceTimer")->stop();
    Control<QTimer>("RowsTimer")->stop();
}

void TestPortObserver::cleanup() {
    delete m_window.data();
    PortObserverTicks = m_realTicks;
    QVERIFY(PortObservers().isEmpty());
}

void TestPortObserver::firstRecordFillsEmptyRow_data() {
    QTest::addColumn<bool>("dynamic");
    QTest::addColumn<int>("secondReg");
    QTest::addColumn<int>("rowsAfterSecond");

    QTest::newRow("static, another register") << false << 101 << 2;
    QTest::newRow("static, the same register") << false << 100 << 1;
    QTest::newRow("dynamic, another register") << true << 101 << 2;
    QTest::newRow("dynamic, the same register") << true << 100 << 2;
}

void TestPortObserver::firstRecordFillsEmptyRow() {
    QFETCH(bool, dynamic);
    QFETCH(int, secondReg);
    QFETCH(int, rowsAfterSecond);
    if (dynamic)
        ChooseDynamicMode();
    QCOMPARE(Rows(), 1);
    QVERIFY(Cell(0, colIndex).isEmpty());

    ObserversAddRequest(Request(1, 3, 100));
    QCOMPARE(Rows(), 1);
    QCOMPARE(Cell(0, colIndex), QString("1"));

    ObserversAddRequest(Request(2, 3, secondReg));
    QCOMPARE(Rows(), rowsAfterSecond);
    QCOMPARE(Cell(Rows() - 1, colIndex), QString("2"));
}

void TestPortObserver::columnTexts_data() {
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("func");
    QTest::addColumn<QString>("regText");
    QTest::addColumn<QString>("funcText");

    QTest::newRow("holding register 4096") << 4096 << 3 << "4096 (0x1000)"
                                           << "03h";
    QTest::newRow("register 0, coils") << 0 << 1 << "0 (0x0)"
                                       << "01h";
    QTest::newRow("input register 60016") << 60016 << 4 << "60016 (0xEA70)"
                                          << "04h";
    QTest::newRow("last register, function 16") << 65535 << 16 << "65535 (0xFFFF)"
                                                << "10h";
}

void TestPortObserver::columnTexts() {
    QFETCH(int, reg);
    QFETCH(int, func);
    QFETCH(QString, regText);
    QFETCH(QString, funcText);
    const QString format = "dd.MM.yyyy hh:mm:ss";
    const QDateTime before =
        QDateTime::fromString(QDateTime::currentDateTime().toString(format), format);

    ObserversAddRequest(Request(7, func, reg));

    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(Cell(0, colIndex), QString("7"));
    const QDateTime entered = QDateTime::fromString(Cell(0, colTime), format);
    QVERIFY2(entered.isValid(), qPrintable(Cell(0, colTime)));
    QVERIFY(before <= entered && entered <= after);
    QCOMPARE(Cell(0, colReg), regText);
    QCOMPARE(Cell(0, colFunc), funcText);
    QCOMPARE(Cell(0, colName), QString("Напряжение питания"));
    QCOMPARE(Cell(0, colRequest), QString("01.03.10.00.00.01.8A.CA"));
    QVERIFY(Cell(0, colTimeout).isEmpty());
    QVERIFY(Cell(0, colValue).isEmpty());
    QVERIFY(Cell(0, colAnswer).isEmpty());

    g_tick += 250;
    ObserversAddAnswer(Answer(7, kAnswerFrame, ""));
    QCOMPARE(Cell(0, colTimeout), QString("250 мс"));
    QCOMPARE(Cell(0, colValue), QString());
    QCOMPARE(Cell(0, colAnswer), QString("01.03.02.00.49.79.86"));

    // Each later answer record overwrites the value; the last one stays.
    g_tick += 5;
    ObserversAddAnswer(Answer(7, kAnswerFrame, "73"));
    ObserversAddAnswer(Answer(7, kAnswerFrame, "ErrCode: Illegal data address"));
    QCOMPARE(Cell(0, colValue), QString("ErrCode: Illegal data address"));
    QCOMPARE(Cell(0, colTimeout), QString("255 мс"));
    QCOMPARE(Cell(0, colName), QString("Напряжение питания"));
}

void TestPortObserver::pauseKeepsRequestsOutButCompletesRows() {
    ObserversAddRequest(Request(1, 3, 100));
    auto *pause = Control<QToolButton>("btnPause");
    QVERIFY(!pause->isChecked());
    pause->click();

    ObserversAddRequest(Request(2, 3, 101));
    ObserversAddRequest(Request(3, 3, 100));
    QCOMPARE(Rows(), 1);
    QCOMPARE(Cell(0, colIndex), QString("1"));

    ObserversAddAnswer(Answer(1, kAnswerFrame, "73"));
    ObserversAddAnswer(Answer(2, kAnswerFrame, "99"));
    QCOMPARE(Cell(0, colValue), QString("73"));
    QCOMPARE(Rows(), 1);

    pause->click();
    ObserversAddRequest(Request(4, 3, 101));
    QCOMPARE(Rows(), 2);
    QCOMPARE(Cell(1, colIndex), QString("4"));
}

void TestPortObserver::filters_data() {
    QTest::addColumn<bool>("filtersOn");
    QTest::addColumn<bool>("funcFilter");
    QTest::addColumn<int>("funcItem");
    QTest::addColumn<bool>("regFilter");
    QTest::addColumn<int>("regValue");
    QTest::addColumn<int>("func");
    QTest::addColumn<int>("reg");
    QTest::addColumn<bool>("shown");

    QTest::newRow("03h refuses function 16")
        << true << true << 2 << false << 0 << 16 << 100 << false;
    QTest::newRow("03h refuses function 4") << true << true << 2 << false << 0 << 4 << 100 << false;
    QTest::newRow("03h passes function 3") << true << true << 2 << false << 0 << 3 << 100 << true;
    QTest::newRow("01h passes function 1") << true << true << 0 << false << 0 << 1 << 5 << true;
    QTest::newRow("06h passes function 6") << true << true << 5 << false << 0 << 6 << 5 << true;
    QTest::newRow("register 100 refuses 101")
        << true << false << 0 << true << 100 << 3 << 101 << false;
    QTest::newRow("register 100 passes 100")
        << true << false << 0 << true << 100 << 3 << 100 << true;
    QTest::newRow("register 65535 passes 65535")
        << true << false << 0 << true << 65535 << 4 << 65535 << true;
    QTest::newRow("both on, register differs")
        << true << true << 2 << true << 100 << 3 << 101 << false;
    QTest::newRow("both on, function differs")
        << true << true << 2 << true << 100 << 4 << 100 << false;
    QTest::newRow("both on, both match") << true << true << 2 << true << 100 << 3 << 100 << true;
    QTest::newRow("filters switched off") << false << true << 2 << true << 100 << 16 << 101 << true;
}

void TestPortObserver::filters() {
    QFETCH(bool, filtersOn);
    QFETCH(bool, funcFilter);
    QFETCH(int, funcItem);
    QFETCH(bool, regFilter);
    QFETCH(int, regValue);
    QFETCH(int, func);
    QFETCH(int, reg);
    QFETCH(bool, shown);
    QVERIFY(Control<QCheckBox>("chFilters")->isChecked());
    QVERIFY(!Control<QCheckBox>("chFilterFunc")->isChecked());
    QVERIFY(!Control<QCheckBox>("chFilterReg")->isChecked());
    QCOMPARE(Control<QComboBox>("cbFunc")->currentIndex(), 0);
    Control<QComboBox>("cbFunc")->setCurrentIndex(funcItem);
    Control<QSpinBox>("txtReg")->setValue(regValue);
    Control<QCheckBox>("chFilterFunc")->setChecked(funcFilter);
    Control<QCheckBox>("chFilterReg")->setChecked(regFilter);
    Control<QCheckBox>("chFilters")->setChecked(filtersOn);

    ObserversAddRequest(Request(1, func, reg));

    QCOMPARE(Cell(0, colIndex), shown ? QString("1") : QString());
    // An answer is not filtered, but it needs the row of its request.
    ObserversAddAnswer(Answer(1));
    QCOMPARE(Cell(0, colValue), shown ? QString("73") : QString());
}

void TestPortObserver::staticModeKeysRowsByRegister() {
    QVERIFY(Control<QRadioButton>("rbStatica")->isChecked());
    ObserversAddRequest(Request(1, 3, 100));
    g_tick += 40;
    ObserversAddAnswer(Answer(1, QByteArray::fromHex("0103020005"), "5"));

    ObserversAddRequest(Request(2, 4, 100, QByteArray::fromHex("01040064"), "другая функция"));
    QCOMPARE(Rows(), 1);
    QCOMPARE(Cell(0, colIndex), QString("2"));
    QCOMPARE(Cell(0, colFunc), QString("04h"));
    QCOMPARE(Cell(0, colName), QString("другая функция"));
    QCOMPARE(Cell(0, colRequest), QString("01.04.00.64"));
    // The answer of the earlier request stays until the next answer.
    QCOMPARE(Cell(0, colValue), QString("5"));
    QCOMPARE(Cell(0, colTimeout), QString("40 мс"));
    QCOMPARE(Cell(0, colAnswer), QString("01.03.02.00.05"));

    ObserversAddAnswer(Answer(1, kAnswerFrame, "late"));
    QCOMPARE(Cell(0, colValue), QString("5"));

    g_tick += 15;
    ObserversAddAnswer(Answer(2, QByteArray::fromHex("010402000A"), "10"));
    QCOMPARE(Cell(0, colValue), QString("10"));
    QCOMPARE(Cell(0, colTimeout), QString("15 мс"));
    QCOMPARE(Cell(0, colAnswer), QString("01.04.02.00.0A"));

    ObserversAddRequest(Request(3, 3, 101));
    ObserversAddRequest(Request(4, 3, 101));
    QCOMPARE(Rows(), 2);
    QCOMPARE(Cell(1, colIndex), QString("4"));
}

void TestPortObserver::dynamicModeFollowsNewestRowUntilUserLooksBack() {
    ChooseDynamicMode();
    auto *grid = Control<QTableView>("SG");
    for (int id = 1; id <= 3; ++id)
        ObserversAddRequest(Request(id, 3, 100));
    QCOMPARE(Rows(), 3);
    QCOMPARE(CurrentRow(), 2);

    // Answers find their own row even when the register repeats.
    ObserversAddAnswer(Answer(1, kAnswerFrame, "first"));
    QCOMPARE(Cell(0, colValue), QString("first"));
    QVERIFY(Cell(1, colValue).isEmpty());

    grid->selectRow(0);
    ObserversAddRequest(Request(4, 3, 100));
    QCOMPARE(Rows(), 4);
    QCOMPARE(CurrentRow(), 0);

    grid->selectRow(3);
    ObserversAddRequest(Request(5, 3, 100));
    QCOMPARE(CurrentRow(), 4);
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
}

void TestPortObserver::autoLimit_data() {
    QTest::addColumn<bool>("autoLimit");
    QTest::addColumn<int>("dataRows");
    QTest::addColumn<int>("rowsLeft");

    QTest::newRow("on, 2001 rows") << true << 2000 << 1000;
    QTest::newRow("on, 2000 rows") << true << 1999 << 1999;
    QTest::newRow("off, 2001 rows") << false << 2000 << 2000;
    QTest::newRow("off, 10000 rows") << false << 9999 << 9999;
    QTest::newRow("off, 10001 rows") << false << 10000 << 5000;
}

void TestPortObserver::autoLimit() {
    QFETCH(bool, autoLimit);
    QFETCH(int, dataRows);
    QFETCH(int, rowsLeft);
    auto *button = Control<QPushButton>("btnAutoLimit");
    QVERIFY(button->isChecked());
    if (!autoLimit)
        button->click();
    ChooseDynamicMode();
    for (int id = 1; id <= dataRows; ++id)
        ObserversAddRequest(Request(id, 3, id % 50));
    QCOMPARE(Rows(), dataRows);

    m_window->AutoClearTimerTimer();

    QCOMPARE(Rows(), rowsLeft);
    const int oldestKept = dataRows - rowsLeft + 1;
    QCOMPARE(Cell(0, colIndex), QString::number(oldestKept));
    QCOMPARE(Cell(Rows() - 1, colIndex), QString::number(dataRows));
    // Rows keep their own timing after the cut.
    g_tick += 9;
    ObserversAddAnswer(Answer(oldestKept));
    QCOMPARE(Cell(0, colTimeout), QString("9 мс"));
    ObserversAddAnswer(Answer(oldestKept - 1, kAnswerFrame, "gone"));
    for (int row = 0; row < Rows(); ++row)
        QVERIFY(Cell(row, colValue) != "gone");

    m_window->AutoClearTimerTimer();
    QCOMPARE(Rows(), rowsLeft);
}

void TestPortObserver::emptyAnswerEmptiesAnswerColumn() {
    ObserversAddRequest(Request(1, 5, 4608));
    ObserversAddAnswer(Answer(1));
    QVERIFY(!Cell(0, colAnswer).isEmpty());

    ObserversAddAnswer(Answer(1, QByteArray(), "нет ответа"));

    QCOMPARE(Cell(0, colAnswer), QString());
    QCOMPARE(Cell(0, colValue), QString("нет ответа"));
    Control<QRadioButton>("rbDec")->click();
    QCOMPARE(Cell(0, colAnswer), QString());
}

void TestPortObserver::answerColumnWidensButNeverNarrows() {
    auto *grid = Control<QTableView>("SG");
    QCOMPARE(grid->columnWidth(colAnswer), 140);
    ObserversAddRequest(Request(1, 3, 100));
    ObserversAddAnswer(Answer(1, QByteArray::fromHex("0103020005")));
    QCOMPARE(grid->columnWidth(colAnswer), 140);

    const QByteArray longFrame(80, '\xAB');
    ObserversAddAnswer(Answer(1, longFrame));
    const int wide = grid->fontMetrics().horizontalAdvance(Cell(0, colAnswer)) + 10;
    QVERIFY(wide > 140);
    QCOMPARE(grid->columnWidth(colAnswer), wide);

    ObserversAddAnswer(Answer(1, QByteArray::fromHex("0103020005")));
    QCOMPARE(grid->columnWidth(colAnswer), wide);
}

void TestPortObserver::numberViews_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("dec");

    QTest::newRow("read frame") << QByteArray::fromHex("0103000A") << "01.03.00.0A"
                                << "01.03.00.10";
    QTest::newRow("wide bytes") << QByteArray::fromHex("FF106400") << "FF.10.64.00"
                                << "255.16.100.00";
    QTest::newRow("one byte") << QByteArray::fromHex("07") << "07"
                              << "07";
    QTest::newRow("no bytes") << QByteArray() << ""
                              << "";
}

void TestPortObserver::numberViews() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hex);
    QFETCH(QString, dec);
    ChooseDynamicMode();
    ObserversAddRequest(Request(1, 3, 100, bytes));
    ObserversAddAnswer(Answer(1, bytes));
    ObserversAddRequest(Request(2, 3, 100, bytes));
    QCOMPARE(Cell(0, colRequest), hex);
    QCOMPARE(Cell(0, colAnswer), hex);

    Control<QRadioButton>("rbDec")->click();
    QCOMPARE(Cell(0, colRequest), dec);
    QCOMPARE(Cell(0, colAnswer), dec);
    QCOMPARE(Cell(1, colRequest), dec);
    QCOMPARE(Cell(1, colAnswer), QString());

    ObserversAddRequest(Request(3, 3, 100, bytes));
    ObserversAddAnswer(Answer(2, bytes));
    QCOMPARE(Cell(2, colRequest), dec);
    QCOMPARE(Cell(1, colAnswer), dec);

    Control<QRadioButton>("rbHex")->click();
    for (int row = 0; row < 3; ++row)
        QCOMPARE(Cell(row, colRequest), hex);
    QCOMPARE(Cell(1, colAnswer), hex);
}

void TestPortObserver::clearLeavesNothingToReRender() {
    ChooseDynamicMode();
    ObserversAddRequest(Request(1, 3, 100));
    ObserversAddAnswer(Answer(1));
    ObserversAddRequest(Request(2, 4, 101));
    ObserversAddAnswer(Answer(2));

    Control<QPushButton>("btnClear")->click();

    QCOMPARE(Rows(), 1);
    Control<QRadioButton>("rbDec")->click();
    Control<QRadioButton>("rbHex")->click();
    ObserversAddAnswer(Answer(1));
    ObserversAddAnswer(Answer(2));
    for (int column = colIndex; column <= colAnswer; ++column)
        QVERIFY2(Cell(0, column).isEmpty(), qPrintable(Cell(0, column)));

    ObserversAddRequest(Request(3, 3, 100));
    QCOMPARE(Rows(), 1);
    QCOMPARE(Cell(0, colIndex), QString("3"));
    QCOMPARE(CurrentRow(), 0);
}

void TestPortObserver::elapsedTime_data() {
    QTest::addColumn<uint32_t>("requestTick");
    QTest::addColumn<uint32_t>("answerTick");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << 1000u << 1250u << "250 мс";
    QTest::newRow("same tick") << 5u << 5u << "0 мс";
    QTest::newRow("counter wraps") << 0xFFFFFF00u << 0x64u << "356 мс";
    QTest::newRow("wrap to zero") << 0xFFFFFFFFu << 0u << "1 мс";
}

void TestPortObserver::elapsedTime() {
    QFETCH(uint32_t, requestTick);
    QFETCH(uint32_t, answerTick);
    QFETCH(QString, shown);
    g_tick = requestTick;
    ObserversAddRequest(Request(1, 3, 100));
    g_tick = answerTick;
    ObserversAddAnswer(Answer(1));
    QCOMPARE(Cell(0, colTimeout), shown);
}

void TestPortObserver::copySelectedRow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("copies");

    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+C on a Russian layout")
        << 0x0421 << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
    QTest::newRow("C alone") << int(Qt::Key_C) << Qt::KeyboardModifiers() << false;
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << Qt::KeyboardModifiers(Qt::ControlModifier)
                            << false;
}

void TestPortObserver::copySelectedRow() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, copies);
    ChooseDynamicMode();
    for (int id = 11; id <= 14; ++id)
        ObserversAddRequest(Request(id, 3, 4096, kReadFrame, QString("tag %1").arg(id)));
    g_tick += 12;
    ObserversAddAnswer(Answer(13));
    auto *grid = Control<QTableView>("SG");
    Show();
    grid->selectRow(2); // grid row 3: the header row is row 0
    QGuiApplication::clipboard()->setText("before");

    // Sent as events: QTest's key helpers only know ASCII keys.
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(grid, &press);
    QCoreApplication::sendEvent(grid, &release);

    if (!copies) {
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        return;
    }
    const QStringList lines = QGuiApplication::clipboard()->text().split("\r\n");
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[0], QString("##: 13"));
    QVERIFY(lines[1].startsWith("Время: "));
    QCOMPARE(lines[1].size(), QString("Время: dd.MM.yyyy hh:mm:ss").size());
    QCOMPARE(lines.mid(2),
             QStringList({"Регистр: 4096 (0x1000)", "Ф-ция: 03h", "Таймаут: 12 мс", "Значение: 73",
                          "Название: tag 13", "Запрос: 01.03.10.00.00.01.8A.CA",
                          "Ответ: 01.03.02.00.49.79.86"}));
}

void TestPortObserver::clearingTriggers_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<bool>("clears");

    QTest::newRow("choosing Статический") << int(ChooseStatic) << true;
    QTest::newRow("choosing Динамический") << int(ChooseDynamic) << false;
    QTest::newRow("checking chFilters") << int(CheckFilters) << true;
    QTest::newRow("checking chFilters, dynamic") << int(CheckFiltersInDynamicMode) << false;
    QTest::newRow("function change, filter on") << int(FunctionChangeWithFilter) << true;
    QTest::newRow("function change, filter off") << int(FunctionChangeWithoutFilter) << false;
    QTest::newRow("function change, chFilters off") << int(FunctionChangeWithFiltersOff) << false;
    QTest::newRow("register change, filter on") << int(RegisterChangeWithFilter) << true;
    QTest::newRow("register change, filter off") << int(RegisterChangeWithoutFilter) << false;
    QTest::newRow("function filter clicked on") << int(ClickFunctionFilterOn) << true;
    QTest::newRow("register filter clicked on") << int(ClickRegisterFilterOn) << true;
    QTest::newRow("function filter off, register on")
        << int(ClickFunctionFilterOffKeepingRegisterFilter) << true;
    QTest::newRow("last filter clicked off") << int(ClickLastFilterOff) << false;
    QTest::newRow("filter clicked, chFilters off") << int(ClickFilterWhileFiltersOff) << false;
    QTest::newRow("filter clicked, dynamic") << int(ClickFilterInDynamicMode) << false;
}

void TestPortObserver::Prepare(Trigger trigger) {
    // Function 3 and register 1 pass whichever filter a case turns on.
    Control<QComboBox>("cbFunc")->setCurrentIndex(2);
    Control<QSpinBox>("txtReg")->setValue(1);
    auto *filters = Control<QCheckBox>("chFilters");
    auto *funcFilter = Control<QCheckBox>("chFilterFunc");
    auto *regFilter = Control<QCheckBox>("chFilterReg");
    switch (trigger) {
    case ChooseStatic:
    case CheckFiltersInDynamicMode:
    case ClickFilterInDynamicMode:
        ChooseDynamicMode();
        break;
    case FunctionChangeWithFilter:
    case ClickLastFilterOff:
        funcFilter->setChecked(true);
        break;
    case FunctionChangeWithFiltersOff:
        funcFilter->setChecked(true);
        filters->setChecked(false);
        break;
    case RegisterChangeWithFilter:
        regFilter->setChecked(true);
        break;
    case ClickFunctionFilterOffKeepingRegisterFilter:
        regFilter->setChecked(true);
        funcFilter->setChecked(true);
        break;
    case ClickFilterWhileFiltersOff:
        filters->setChecked(false);
        break;
    default:
        break;
    }
    if (trigger == CheckFilters || trigger == CheckFiltersInDynamicMode)
        filters->setChecked(false);
}

void TestPortObserver::Act(Trigger trigger) {
    switch (trigger) {
    case ChooseStatic:
        Control<QRadioButton>("rbStatica")->click();
        break;
    case ChooseDynamic:
        ChooseDynamicMode();
        break;
    case CheckFilters:
    case CheckFiltersInDynamicMode:
        Control<QCheckBox>("chFilters")->click();
        break;
    case FunctionChangeWithFilter:
    case FunctionChangeWithoutFilter:
    case FunctionChangeWithFiltersOff:
        Control<QComboBox>("cbFunc")->setCurrentIndex(3);
        break;
    case RegisterChangeWithFilter:
    case RegisterChangeWithoutFilter:
        Control<QSpinBox>("txtReg")->stepUp();
        break;
    case ClickRegisterFilterOn:
        Control<QCheckBox>("chFilterReg")->click();
        break;
    default: // the function filter's own click
        Control<QCheckBox>("chFilterFunc")->click();
        break;
    }
}

void TestPortObserver::clearingTriggers() {
    QFETCH(int, trigger);
    QFETCH(bool, clears);
    Prepare(Trigger(trigger));
    ObserversAddRequest(Request(1, 3, 1));
    ObserversAddRequest(Request(2, 3, 2));
    const int rowsBefore = Rows();
    QCOMPARE(Cell(0, colIndex), QString("1"));

    Act(Trigger(trigger));

    if (clears) {
        QCOMPARE(Rows(), 1);
        QVERIFY(Cell(0, colIndex).isEmpty());
    } else {
        QCOMPARE(Rows(), rowsBefore);
        QCOMPARE(Cell(0, colIndex), QString("1"));
    }
}

void TestPortObserver::closingRemovesWindowFromObservers_data() {
    QTest::addColumn<bool>("byClose");
    QTest::newRow("closed") << true;
    QTest::newRow("destroyed") << false;
}

void TestPortObserver::closingRemovesWindowFromObservers() {
    QFETCH(bool, byClose);
    QPointer<TfrmPortObserver> other = CreatePortObserver(nullptr);
    QCOMPARE(PortObservers().size(), 2);
    QPointer<TfrmPortObserver> first = m_window;
    m_window->show();

    if (byClose) {
        QVERIFY(first->close());
        QVERIFY(!PortObservers().contains(first.data()));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else {
        delete first.data();
    }

    QVERIFY(first.isNull());
    QCOMPARE(PortObservers(), QList<TzPortObserver *>{other.data()});
    ObserversAddRequest(Request(1, 3, 100));
    QCOMPARE(other->findChild<QTableView *>("SG")->model()->index(0, 0).data().toString(),
             QString("1"));
    delete other.data();
}

void TestPortObserver::caption_data() {
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QString>("portName");
    QTest::newRow("USB adapter") << 0 << "ttyUSB0";
    QTest::newRow("pseudo-terminal") << 3 << "/dev/pts/3";
    QTest::newRow("COM port") << 12 << "COM12";
}

void TestPortObserver::caption() {
    QFETCH(int, comPort);
    QFETCH(QString, portName);
    QCOMPARE(m_window->windowTitle(), QString("Наблюдение за линией"));

    m_window->SetComPort(comPort, portName);

    QCOMPARE(m_window->ComPort(), comPort);
#ifdef Q_OS_WIN
    QCOMPARE(m_window->windowTitle(), "Наблюдение за линией COM" + QString::number(comPort));
#else
    QCOMPARE(m_window->windowTitle(), "Наблюдение за линией " + portName);
#endif
}

void TestPortObserver::windowShapeAndPinPlacement() {
    QCOMPARE(m_window->size(), QSize(934, 538));
    QCOMPARE(m_window->minimumSize(), QSize(380, 300));
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::Window);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(flags & Qt::WindowMaximizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(m_window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(Control<QToolButton>("btnPause")->accessibleName(), QString("Пауза"));
    QCOMPARE(Control<QToolButton>("btnPin")->accessibleName(), QString("Закрепить панель"));
    QVERIFY(!Control<QToolButton>("btnPause")->icon().isNull());
    QVERIFY(!Control<QToolButton>("btnPin")->icon().isNull());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));

    for (const QSize size : {QSize(934, 538), QSize(600, 400), QSize(380, 300)}) {
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size);
        const QRect pin = Control<QToolButton>("btnPin")->geometry();
        QCOMPARE(pin.x() + pin.width(), size.width() - 10);
        QCOMPARE(Control<QTableView>("SG")->geometry().top(), 46);
    }
}

void TestPortObserver::toolbarHidesWhileUnpinnedAndMouseAway() {
    m_window->move(100, 100);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    const QList<QWidget *> toolbar = {
        Control<QPushButton>("btnFilters"), Control<QPushButton>("btnClear"),
        Control<QToolButton>("btnPause"),   Control<QCheckBox>("chFilters"),
        Control<QToolButton>("btnPin"),     Control<QPushButton>("btnExport")};
    auto *grid = Control<QTableView>("SG");
    auto *panel = Control<QGroupBox>("gbFilters");
    const QPoint away = m_window->frameGeometry().bottomRight() + QPoint(50, 50);
    const QPoint inside = m_window->frameGeometry().center();
    QCursor::setPos(away);
    if (QCursor::pos() != away)
        QSKIP("this platform does not move the cursor");

    // Pinned: nothing moves.
    m_window->InterfaceTimerTimer();
    for (QWidget *control : toolbar)
        QVERIFY(control->isVisible());

    Control<QPushButton>("btnFilters")->click();
    QVERIFY(panel->isVisible());
    Control<QToolButton>("btnPin")->click();
    m_window->InterfaceTimerTimer();
    for (QWidget *control : toolbar)
        QVERIFY2(!control->isVisible(), qPrintable(control->objectName()));
    QVERIFY(!panel->isVisible());
    QVERIFY(!Control<QPushButton>("btnFilters")->isChecked());
    QCOMPARE(grid->geometry().top(), 8);

    QCursor::setPos(inside);
    m_window->InterfaceTimerTimer();
    for (QWidget *control : toolbar)
        QVERIFY(control->isVisible());
    QVERIFY(!panel->isVisible());
    QCOMPARE(grid->geometry().top(), 46);
}

void TestPortObserver::recordsFromAnotherThreadReachTheWindow() {
    std::unique_ptr<QThread> publisher(QThread::create([] {
        ObserversAddRequest(Request(1, 6, 4608));
        ObserversAddAnswer(Answer(1, kAnswerFrame, "1"));
    }));
    publisher->start();
    QVERIFY(publisher->wait(30000));

    QTRY_COMPARE(Cell(0, colValue), QString("1"));
    QCOMPARE(Cell(0, colFunc), QString("06h"));
}

// Far more rows than the limit keeps: the cut leaves the newest ones, and an answer still lands
// in the row of its own request, by id, wherever the cuts have moved that row.
void TestPortObserver::answerFindsItsRowAfterTrimming_data() {
    QTest::addColumn<bool>("dynamic");
    QTest::addColumn<bool>("autoLimit");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("rowsLeft");
    QTest::addColumn<QList<int>>("answered"); // ids; those cut away find no row

    QTest::newRow("dynamic, auto-limit, one cut")
        << true << true << 2001 << 1000 << QList<int>{1002, 2001, 1500, 1001, 1};
    QTest::newRow("dynamic, auto-limit, rows for several cuts")
        << true << true << 4500 << 1000 << QList<int>{3501, 4500, 3500, 2000};
    QTest::newRow("dynamic, long limit")
        << true << false << 12000 << 5000 << QList<int>{7001, 9000, 12000, 7000, 50};
    QTest::newRow("static, auto-limit")
        << false << true << 2500 << 1000 << QList<int>{1501, 2500, 1800, 1500, 3};
}

void TestPortObserver::answerFindsItsRowAfterTrimming() {
    QFETCH(bool, dynamic);
    QFETCH(bool, autoLimit);
    QFETCH(int, requests);
    QFETCH(int, rowsLeft);
    QFETCH(QList<int>, answered);
    if (dynamic)
        ChooseDynamicMode();
    if (!autoLimit)
        Control<QPushButton>("btnAutoLimit")->click();
    // In dynamic mode registers repeat, so only the id can tell the rows apart.
    const auto reg = [dynamic](int id) { return dynamic ? id % 7 : id; };
    for (int id = 1; id <= requests; ++id) {
        ObserversAddRequest(Request(id, 3, reg(id)));
        if (id % 500 == 0)
            Show(); // a batch reaches the view now and then, as the timer would show it
    }

    m_window->AutoClearTimerTimer();

    QCOMPARE(Rows(), rowsLeft);
    const int firstKept = requests - rowsLeft + 1;
    for (int id : answered) {
        g_tick += 1;
        ObserversAddAnswer(Answer(id, kAnswerFrame, QString("answer %1").arg(id)));
        QList<int> rowsWithValue;
        for (int row = 0; row < Rows(); ++row)
            if (Cell(row, colValue) == QString("answer %1").arg(id))
                rowsWithValue << row;
        if (id < firstKept) {
            QVERIFY2(rowsWithValue.isEmpty(), qPrintable(QString("id %1 was cut").arg(id)));
            continue;
        }
        QCOMPARE(rowsWithValue, QList<int>{id - firstKept});
        QCOMPARE(Cell(id - firstKept, colIndex), QString::number(id));
    }

    // New requests still find their rows: a kept register in static mode, a new row otherwise.
    ObserversAddRequest(Request(requests + 1, 3, reg(requests)));
    ObserversAddAnswer(Answer(requests + 1, kAnswerFrame, "after the cut"));
    const int expectedRow = dynamic ? rowsLeft : rowsLeft - 1;
    QCOMPARE(Rows(), expectedRow + 1);
    QCOMPARE(Cell(expectedRow, colIndex), QString::number(requests + 1));
    QCOMPARE(Cell(expectedRow, colValue), QString("after the cut"));
}

// Rows wait for the next batch; an answer completes a row that is still waiting.
void TestPortObserver::rowsReachTheViewInBatches() {
    ChooseDynamicMode();
    QSignalSpy inserted(Grid(), &QAbstractItemModel::rowsInserted);
    for (int id = 1; id <= 50; ++id)
        ObserversAddRequest(Request(id, 3, 100 + id));
    ObserversAddAnswer(Answer(40, kAnswerFrame, "early"));
    QCOMPARE(Grid()->rowCount(), 1); // the first request filled the empty row
    QVERIFY(inserted.isEmpty());

    m_window->RowsTimerTimer();

    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 1);
    QCOMPARE(inserted.first().at(2).toInt(), 49);
    QCOMPARE(Grid()->rowCount(), 50);
    QCOMPARE(Grid()->index(39, colValue).data().toString(), QString("early"));
    QCOMPARE(Control<QTableView>("SG")->currentIndex().row(), 49);
    m_window->RowsTimerTimer();
    QCOMPARE(inserted.size(), 1);
}

void TestPortObserver::exportWritesTheRowsShown_data() {
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<QString>("request1");
    QTest::addColumn<QString>("answer1");
    QTest::newRow("hex view") << false << "01.03.10.00.00.01.8A.CA"
                              << "01.03.02.00.49.79.86";
    QTest::newRow("dec view") << true << "01.03.16.00.00.01.138.202"
                              << "01.03.02.00.73.121.134";
}

void TestPortObserver::exportWritesTheRowsShown() {
    QFETCH(bool, decimal);
    QFETCH(QString, request1);
    QFETCH(QString, answer1);
    ChooseDynamicMode();
    ObserversAddRequest(Request(1, 3, 4096, kReadFrame, "Напряжение питания"));
    g_tick += 12;
    ObserversAddAnswer(Answer(1, kAnswerFrame, "24.1"));
    ObserversAddRequest(
        Request(2, 6, 60000, QByteArray::fromHex("1006EA6000017F4D"), "Команда; \"сброс\""));
    g_tick += 7;
    ObserversAddAnswer(Answer(2, QByteArray::fromHex("1006EA6000017F4D"), "ErrCode: 02h"));
    ObserversAddRequest(Request(3, 5, 4608, QByteArray::fromHex("0105120000"), "Реле #1\nвкл"));
    if (decimal)
        Control<QRadioButton>("rbDec")->click();
    const QStringList times = {Cell(0, colTime), Cell(1, colTime), Cell(2, colTime)};
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("монитор.csv");

    QString error;
    QVERIFY2(m_window->ExportCsv(path, &error), qPrintable(error));

    const QString request2 = decimal ? "16.06.234.96.00.01.127.77" : "10.06.EA.60.00.01.7F.4D";
    const QString request3 = decimal ? "01.05.18.00.00" : "01.05.12.00.00";
    const QString expected = "Время;Регистр;Ф-ция;Название;Запрос;Ответ;Значение;Таймаут\r\n" +
                             times[0] + ";4096 (0x1000);03h;Напряжение питания;" + request1 + ";" +
                             answer1 + ";24.1;12 мс\r\n" + times[1] +
                             ";60000 (0xEA60);06h;\"Команда; \"\"сброс\"\"\";" + request2 + ";" +
                             request2 + ";ErrCode: 02h;7 мс\r\n" + times[2] +
                             ";4608 (0x1200);05h;\"Реле #1\nвкл\";" + request3 + ";;;\r\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QCOMPARE(written, kByteOrderMark + expected.toUtf8());
}

void TestPortObserver::exportButton_data() {
    QTest::addColumn<bool>("answerPath");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("written");
    QTest::newRow("a path chosen") << true << "export.csv" << true;
    QTest::newRow("dialog cancelled") << false << "export.csv" << false;
    QTest::newRow("folder missing") << true << "no/such/folder/export.csv" << false;
}

// The button asks for a path and saves there; the empty data row of a fresh table is left out.
void TestPortObserver::exportButton() {
    QFETCH(bool, answerPath);
    QFETCH(QString, fileName);
    QFETCH(bool, written);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(fileName);
    const auto realSource = TfrmPortObserver::ExportPathSource;
    int asked = 0;
    TfrmPortObserver::ExportPathSource = [&](QWidget *parent) {
        ++asked;
        [&] { QCOMPARE(parent, m_window.data()); }();
        return answerPath ? path : QString();
    };
    // A failed save warns in a message box; it is closed as soon as it shows.
    const auto warned = std::make_shared<bool>(false);
    QTimer::singleShot(0, m_window.data(), [warned] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            *warned = true;
            box->close();
        }
    });
    auto *button = Control<QPushButton>("btnExport");
    QCOMPARE(button->text(), QString("Экспорт"));
    QCOMPARE(button->accessibleName(), QString("Экспорт"));

    button->click();
    TfrmPortObserver::ExportPathSource = realSource;

    QCOMPARE(asked, 1);
    QCOMPARE(QFile::exists(path), written);
    QCOMPARE(*warned, answerPath && !written);
    if (written) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            file.readAll(),
            kByteOrderMark +
                QString("Время;Регистр;Ф-ция;Название;Запрос;Ответ;Значение;Таймаут\r\n").toUtf8());
    }
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() <= 1);
}

QTEST_MAIN(TestPortObserver)
#include "test_port_observer.moc"
