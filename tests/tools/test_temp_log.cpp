#include "tools/temp_log.h"
#include "tools/temp_log_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

QStringList CounterLines() {
    return {"Ошибок 01h: 0", "Ошибок 02h: 0", "Ошибок 03h: 0", "Ошибок 04h: 0",   "Ошибок 05h: 0",
            "Ошибок 06h: 0", "Ошибок 07h: 0", "Ошибок 08h: 0", "Других ошибок: 0"};
}

TempLogModel &Log() {
    return TempLogModel::instance();
}

} // namespace

class TestTempLog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshWindowShowsCounterLines();
    void newestLineOnTopWithItsColour();
    void emptyTextAddsEmptyNavyLine();
    void trimmingKeepsThe200Newest();
    void setErrors_data();
    void setErrors();
    void replaceKeepsColours();
    void linesWrittenBeforeTheWindowAreKept();
    void viewShowsTopLineAfterAddition();
    void copySelectedLines();
    void closeOnlyHides();
    void rePosCentresOverMainWindow();

private:
    std::unique_ptr<TfrmTempLog> m_window;
};

void TestTempLog::init() {
    Log().clear();
}

void TestTempLog::cleanup() {
    m_window.reset();
}

void TestTempLog::freshWindowShowsCounterLines() {
    m_window = std::make_unique<TfrmTempLog>();
    QCOMPARE(Log().lines(), CounterLines());
    QCOMPARE(Log().colors(), QList<quint32>(9, LogColor::Navy));
    QCOMPARE(m_window->windowTitle(), QString("Лог"));
    QVERIFY(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(m_window->size(), QSize(635, 413));
}

void TestTempLog::newestLineOnTopWithItsColour() {
    m_window = std::make_unique<TfrmTempLog>();
    TempLogAdd("first", LogColor::DarkRed);
    TempLogAdd("second", LogColor::Green);

    QCOMPARE(Log().lines().mid(0, 3), QStringList({"second", "first", "Ошибок 01h: 0"}));
    QCOMPARE(Log().colors().mid(0, 3),
             QList<quint32>({LogColor::Green, LogColor::DarkRed, LogColor::Navy}));

    const QAbstractItemModel *model = m_window->Rich()->model();
    QCOMPARE(model->index(0, 0).data().toString(), QString("second"));
    QCOMPARE(model->index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0, 128, 0));
    QCOMPARE(model->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(128, 0, 0));
    QCOMPARE(model->index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0, 0, 128));
}

void TestTempLog::emptyTextAddsEmptyNavyLine() {
    m_window = std::make_unique<TfrmTempLog>();
    TempLogAdd("", LogColor::Navy);
    QCOMPARE(Log().rowCount(), 10);
    QCOMPARE(Log().lines().first(), QString());
    QCOMPARE(Log().colors().first(), LogColor::Navy);
}

void TestTempLog::trimmingKeepsThe200Newest() {
    m_window = std::make_unique<TfrmTempLog>();
    for (int i = 0; i < 991; ++i)
        TempLogAdd(QString("line %1").arg(i), LogColor::DarkRed);
    QCOMPARE(Log().rowCount(), 1000);
    QCOMPARE(Log().lines().last(), QString("Других ошибок: 0"));

    TempLogAdd("after", LogColor::Green);
    const QStringList lines = Log().lines();
    QCOMPARE(lines.size(), 201);
    QCOMPARE(lines.first(), QString("after"));
    QCOMPARE(lines.at(1), QString("line 990"));
    QCOMPARE(lines.last(), QString("line 791"));
    QCOMPARE(m_window->Rich()->model()->rowCount(), 201);

    // The counter lines are gone, so there is nothing left to update.
    for (int code : {1, 8, 0, 11})
        TempLogSetErrors(code, 7);
    QCOMPARE(Log().lines(), lines);
}

void TestTempLog::setErrors_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");

    QTest::newRow("code 1") << 1 << 3 << 0 << "Ошибок 01h: 3";
    QTest::newRow("code 2") << 2 << 5 << 1 << "Ошибок 02h: 5";
    QTest::newRow("code 8") << 8 << 1 << 7 << "Ошибок 08h: 1";
    QTest::newRow("code 0 counts as other") << 0 << 4 << 8 << "Других ошибок: 4";
    QTest::newRow("code 9 counts as other") << 9 << 2 << 8 << "Других ошибок: 2";
    QTest::newRow("code 11 counts as other") << 11 << 12 << 8 << "Других ошибок: 12";
}

void TestTempLog::setErrors() {
    QFETCH(int, code);
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(QString, text);

    m_window = std::make_unique<TfrmTempLog>();
    TempLogSetErrors(code, count);

    QStringList expected = CounterLines();
    expected[row] = text;
    QCOMPARE(Log().lines(), expected);

    // The line keeps its key, so the next total replaces it again.
    TempLogSetErrors(code, count + 100);
    QVERIFY(Log().lines().at(row).endsWith(QString(": %1").arg(count + 100)));
}

void TestTempLog::replaceKeepsColours() {
    TempLogAdd("COM3 занят или недоступен", LogColor::DarkRed);
    TempLogAdd("Успешное подключение: [Адр:1, COM3]", LogColor::Green);
    TempLogAdd("com3 lower case", LogColor::Navy);

    TempLogReplace("COM3", "replaced");

    QCOMPARE(Log().lines(), QStringList({"com3 lower case", "replaced", "replaced"}));
    QCOMPARE(Log().colors(), QList<quint32>({LogColor::Navy, LogColor::Green, LogColor::DarkRed}));
}

void TestTempLog::linesWrittenBeforeTheWindowAreKept() {
    TempLogAdd("Ошибка загрузки таблицы регистров", LogColor::Navy);
    TempLogAdd("Не удалось обнаружить ни одного СОМ-порта", LogColor::DarkRed);

    m_window = std::make_unique<TfrmTempLog>();
    const QAbstractItemModel *model = m_window->Rich()->model();
    QCOMPARE(model->rowCount(), 11);
    QCOMPARE(model->index(9, 0).data().toString(),
             QString("Не удалось обнаружить ни одного СОМ-порта"));
    QCOMPARE(model->index(10, 0).data().toString(), QString("Ошибка загрузки таблицы регистров"));
    QCOMPARE(Log().colors().at(9), LogColor::DarkRed);
}

void TestTempLog::viewShowsTopLineAfterAddition() {
    m_window = std::make_unique<TfrmTempLog>();
    for (int i = 0; i < 200; ++i)
        TempLogAdd(QString("line %1").arg(i), LogColor::Navy);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    QScrollBar *scroll = m_window->Rich()->verticalScrollBar();
    m_window->Rich()->scrollToBottom();
    QTRY_VERIFY(scroll->value() > 0);

    TempLogAdd("newest", LogColor::Green);
    QTRY_COMPARE(scroll->value(), 0);
}

void TestTempLog::copySelectedLines() {
    m_window = std::make_unique<TfrmTempLog>();
    TempLogAdd("second", LogColor::Navy);
    TempLogAdd("first", LogColor::Navy);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

    QListView *view = m_window->Rich();
    view->setFocus();
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(view, QKeySequence::Copy);

    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString("first\nsecond"));
}

void TestTempLog::closeOnlyHides() {
    m_window = std::make_unique<TfrmTempLog>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    TempLogAdd("kept", LogColor::Navy);

    const QPointer<TfrmTempLog> window = m_window.get();
    m_window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(window);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(Log().lines().first(), QString("kept"));
    m_window->show();
    QVERIFY(m_window->isVisible());
}

void TestTempLog::rePosCentresOverMainWindow() {
    m_window = std::make_unique<TfrmTempLog>();
    QWidget mainWindow;
    mainWindow.setGeometry(100, 50, 701, 551);

    m_window->RePos(&mainWindow);
    // 100 + 701/2 - 635/2 and 50 + 551/2 - 413/2, halves rounded toward zero.
    QCOMPARE(m_window->pos(), QPoint(133, 119));

    mainWindow.setGeometry(-400, -300, 200, 100);
    m_window->RePos(&mainWindow);
    QCOMPARE(m_window->pos(), QPoint(-400 + 100 - 317, -300 + 50 - 206));
}

QTEST_MAIN(TestTempLog)
#include "test_temp_log.moc"
