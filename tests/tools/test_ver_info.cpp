#include "tools/ver_info_window.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

QLabel *Label(QWidget *window, const QString &name) {
    return window->findChild<QLabel *>(name);
}

QStringList TextLines(QWidget *window, int panel) {
    QLabel *text = Label(window, QStringLiteral("lblVersionText%1").arg(panel));
    return text ? text->text().split('\n') : QStringList();
}

// One wheel notch (or several) delivered to target at its centre; a positive delta turns the
// wheel away from the user.
void Wheel(QWidget *target, int delta) {
    const QPointF pos = QRectF(target->rect()).center();
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestVerInfo : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAndPanels();
    void textLines_data();
    void textLines();
    void everyControlHasAnAccessibleName();
    void centresOnMainWindow();
    void showingCentresAgain();
    void wheelScrollsByItsDelta();
    void scrollPositionKeptBetweenShowings();

private:
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<TfrmVerInfo> m_window;
};

void TestVerInfo::init() {
    m_main = std::make_unique<QWidget>();
    m_main->setGeometry(100, 50, 801, 601);
    m_window = std::make_unique<TfrmVerInfo>(m_main.get());
}

void TestVerInfo::cleanup() {
    m_window.reset();
    m_main.reset();
}

void TestVerInfo::windowAndPanels() {
    QCOMPARE(m_window->windowTitle(), QString("История версий"));
    QCOMPARE(m_window->size(), QSize(505, 457));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(m_window->ScrollBox()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->ScrollBox()->geometry(), QRect(0, 0, 505, 457));
    const QStringList captions{" ver 0.5.2 alpha", " ver 0.4.3 alpha", " ver 0.3 alpha",
                               " ver 0.2 alpha", " ver 0.1 alpha"};
    const QList<int> lineCounts{18, 18, 7, 6, 2};
    int nextTop = 6;
    for (int i = 1; i <= 5; ++i) {
        auto *panel = m_window->findChild<QWidget *>(QStringLiteral("pnlVersion%1").arg(i));
        QVERIFY(panel);
        QCOMPARE(Label(panel, QStringLiteral("lblVersionCaption%1").arg(i))->text(),
                 captions[i - 1]);
        QCOMPARE(TextLines(m_window.get(), i).size(), lineCounts[i - 1]);
        QCOMPARE(panel->x(), 4);
        QCOMPARE(panel->y(), nextTop);
        nextTop = panel->geometry().bottom() + 1 + 6;
    }
    // More text than fits: the box scrolls.
    QVERIFY(m_window->ScrollBox()->verticalScrollBar()->maximum() > 0);
}

void TestVerInfo::textLines_data() {
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("A first") << 1 << 0 << "ver 0.5.2a";
    QTest::newRow("A indented") << 1 << 3
                                << "      (строки добавляются только для отсутствующих регистров)";
    QTest::newRow("A empty") << 1 << 4 << "";
    QTest::newRow("A trailing space") << 1 << 8 << " * изменён обслуживающий сервер ";
    QTest::newRow("A last") << 1 << 17 << "  * включается в контекстном меню окна";
    QTest::newRow("B quoted") << 2 << 1
                              << "+ добавлено \"Удалённое управление дискретными выходами\"";
    QTest::newRow("B quoted end") << 2 << 8 << "+ изменён интерфейс для \"Тестирования\"";
    QTest::newRow("B empty") << 2 << 9 << "";
    QTest::newRow("B device tab") << 2 << 11 << "+ исправлено: параметры на вкладке \"Устройство\"";
    QTest::newRow("B pwm buttons") << 2 << 13 << "+ добавлено: новый режим для кнопок \"ШИМ\"";
    QTest::newRow("C quoted start") << 3 << 5 << "+ \"Тестирование\" можно таскать мышкой";
    QTest::newRow("D quoted") << 4 << 2
                              << "+ устранён баг \"реакция на Shift при неактивном окне\"";
    QTest::newRow("D indented") << 4 << 5 << "  * это исключает рост количества ошибок 04h";
    QTest::newRow("E last") << 5 << 1 << "+ налажено подключение";
}

void TestVerInfo::textLines() {
    QFETCH(int, panel);
    QFETCH(int, line);
    QFETCH(QString, expected);
    const QStringList lines = TextLines(m_window.get(), panel);
    QVERIFY(line < lines.size());
    QCOMPARE(lines[line], expected);
    QVERIFY(Label(m_window.get(), QStringLiteral("lblVersionText%1").arg(panel))->wordWrap());
}

void TestVerInfo::everyControlHasAnAccessibleName() {
    QList<QWidget *> controls;
    for (QFrame *frame : m_window->findChildren<QFrame *>())
        controls.append(frame);
    controls.append(m_window->ScrollBox()->verticalScrollBar());
    QVERIFY(controls.size() >= 16);
    for (QWidget *control : controls)
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
}

// left = 100 + 801 div 2 - 505 div 2 = 248; top = 50 + 601 div 2 - 457 div 2 = 122.
void TestVerInfo::centresOnMainWindow() {
    m_window->CenterOn(m_main.get());
    QCOMPARE(m_window->frameGeometry().topLeft(), QPoint(248, 122));

    QWidget other;
    other.setGeometry(-300, 1000, 11, 9);
    m_window->CenterOn(&other);
    QCOMPARE(m_window->frameGeometry().topLeft(), QPoint(-300 + 5 - 252, 1000 + 4 - 228));
}

// Once shown, the window's width and height include its frame.
void TestVerInfo::showingCentresAgain() {
    m_window->show();
    const QSize own = m_window->frameGeometry().size();
    QCOMPARE(m_window->frameGeometry().topLeft(),
             QPoint(100 + 400 - own.width() / 2, 50 + 300 - own.height() / 2));
    m_window->hide();

    m_main->move(300, 250);
    m_window->move(0, 0);
    m_window->show();
    QCOMPARE(m_window->frameGeometry().topLeft(),
             QPoint(300 + 400 - own.width() / 2, 250 + 300 - own.height() / 2));
}

void TestVerInfo::wheelScrollsByItsDelta() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QScrollBar *bar = m_window->ScrollBox()->verticalScrollBar();
    QVERIFY2(bar->maximum() >= 240, qPrintable(QString::number(bar->maximum())));
    QCOMPARE(bar->value(), 0);

    // Towards the user scrolls down, over a text, a caption, the box and the window alike.
    Wheel(Label(m_window.get(), "lblVersionText1"), -120);
    QCOMPARE(bar->value(), 120);
    Wheel(Label(m_window.get(), "lblVersionCaption2"), -120);
    QCOMPARE(bar->value(), 240);
    Wheel(m_window->ScrollBox()->viewport(), 120);
    QCOMPARE(bar->value(), 120);
    Wheel(bar, 120);
    QCOMPARE(bar->value(), 0);
    Wheel(m_window.get(), -120);
    QCOMPARE(bar->value(), 120);
    Wheel(m_window.get(), 240);
    QCOMPARE(bar->value(), 0);
}

void TestVerInfo::scrollPositionKeptBetweenShowings() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QScrollBar *bar = m_window->ScrollBox()->verticalScrollBar();
    Wheel(Label(m_window.get(), "lblVersionText1"), -240);
    QCOMPARE(bar->value(), 240);

    m_window->hide();
    QVERIFY(!m_window->isVisible());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(bar->value(), 240);
}

QTEST_MAIN(TestVerInfo)
#include "test_ver_info.moc"
