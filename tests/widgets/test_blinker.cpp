#include "widgets/blinker.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {

const QColor kRed(255, 0, 0);

// Records the background colour of a field at every palette change.
class ColourRecorder : public QObject {
public:
    ColourRecorder(QWidget *field, QPalette::ColorRole role) : m_role(role) {
        field->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::PaletteChange)
            Colours.append(static_cast<QWidget *>(watched)->palette().color(m_role));
        return false;
    }

    int RedCount() const { return Colours.count(kRed); }

    QList<QColor> Colours;

private:
    QPalette::ColorRole m_role;
};

std::unique_ptr<QWidget> MakeField(const QString &kind) {
    if (kind == "QComboBox")
        return std::make_unique<QComboBox>();
    if (kind == "QLabel")
        return std::make_unique<QLabel>("label");
    return std::make_unique<QLineEdit>();
}

QList<QColor> ThreeFlashes(const QColor &normal) {
    return {kRed, normal, kRed, normal, kRed, normal};
}

} // namespace

class TestBlinker : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void flashesThreeTimes_data();
    void flashesThreeTimes();
    void secondCallForBlinkingFieldDoesNotRestart();
    void anotherFieldTakesOverAndFirstGetsItsColourBack();
    void fieldDestroyedWhileBlinking();
};

void TestBlinker::cleanup() {
    QTRY_COMPARE_WITH_TIMEOUT(BlinkTarget(), nullptr, 10000);
}

void TestBlinker::flashesThreeTimes_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("role");

    QTest::newRow("edit field") << "QLineEdit" << int(QPalette::Base);
    QTest::newRow("combo box") << "QComboBox" << int(QPalette::Base);
    QTest::newRow("other widget") << "QLabel" << int(QPalette::Window);
}

void TestBlinker::flashesThreeTimes() {
    QFETCH(QString, kind);
    QFETCH(int, role);
    const auto colourRole = QPalette::ColorRole(role);

    std::unique_ptr<QWidget> field = MakeField(kind);
    const QColor normal = field->palette().color(colourRole);
    const bool autoFill = field->autoFillBackground();
    ColourRecorder recorder(field.get(), colourRole);

    QElapsedTimer elapsed;
    elapsed.start();
    BlinkEdit(field.get());
    QCOMPARE(BlinkTarget(), field.get());
    QTRY_COMPARE_WITH_TIMEOUT(BlinkTarget(), nullptr, 10000);

    // Six 60 ms ticks: never faster than about 360 ms.
    QVERIFY2(elapsed.elapsed() >= 300, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(recorder.Colours, ThreeFlashes(normal));
    QCOMPARE(field->palette().color(colourRole), normal);
    QCOMPARE(field->autoFillBackground(), autoFill);
}

void TestBlinker::secondCallForBlinkingFieldDoesNotRestart() {
    QLineEdit field;
    const QColor normal = field.palette().color(QPalette::Base);
    ColourRecorder recorder(&field, QPalette::Base);

    BlinkEdit(&field);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.Colours.size(), 3, 10000);
    BlinkEdit(&field);
    QTRY_COMPARE_WITH_TIMEOUT(BlinkTarget(), nullptr, 10000);

    QCOMPARE(recorder.Colours, ThreeFlashes(normal));
}

void TestBlinker::anotherFieldTakesOverAndFirstGetsItsColourBack() {
    QLineEdit first;
    QLineEdit second;
    QPalette yellow = second.palette();
    yellow.setColor(QPalette::Base, QColor(255, 255, 0));
    second.setPalette(yellow);
    const QColor firstNormal = first.palette().color(QPalette::Base);
    ColourRecorder firstRecorder(&first, QPalette::Base);
    ColourRecorder secondRecorder(&second, QPalette::Base);

    BlinkEdit(&first);
    QTRY_COMPARE_WITH_TIMEOUT(firstRecorder.Colours.size(), 1, 10000);
    QCOMPARE(first.palette().color(QPalette::Base), kRed);

    BlinkEdit(&second);
    QCOMPARE(BlinkTarget(), &second);
    QCOMPARE(first.palette().color(QPalette::Base), firstNormal);
    QTRY_COMPARE_WITH_TIMEOUT(BlinkTarget(), nullptr, 10000);

    QCOMPARE(firstRecorder.Colours, QList<QColor>({kRed, firstNormal}));
    QCOMPARE(secondRecorder.Colours, ThreeFlashes(QColor(255, 255, 0)));
}

void TestBlinker::fieldDestroyedWhileBlinking() {
    auto field = std::make_unique<QLineEdit>();
    BlinkEdit(field.get());
    field.reset();
    QCOMPARE(BlinkTarget(), nullptr);

    QLineEdit next;
    ColourRecorder recorder(&next, QPalette::Base);
    BlinkEdit(&next);
    QTRY_COMPARE_WITH_TIMEOUT(BlinkTarget(), nullptr, 10000);
    QCOMPARE(recorder.RedCount(), 3);
}

QTEST_MAIN(TestBlinker)
#include "test_blinker.moc"
