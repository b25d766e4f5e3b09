#include "app/frame_registry.h"
#include "app/main_window.h"

#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

QWidget *LastOwner = nullptr;

TzFrameConstructor FrameMaker(const QString &kind) {
    return [kind](QWidget *owner) {
        LastOwner = owner;
        auto *frame = new QWidget;
        frame->setProperty("kind", kind);
        return frame;
    };
}

} // namespace

// Nothing here registers "Tarvex", so a main window gets no panel.
class TestFrameRegistry : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void findDevFrameClass_data();
    void findDevFrameClass();
    void createdFrameFillsParentAndFollowsItsSize();
    void framesGetUniqueNames();
    void unknownDeviceCreatesNothing();
    void mainWindowStaysEmptyWithoutPanelFrame();
};

void TestFrameRegistry::initTestCase() {
    RegisterFrameClass("TfrA", FrameMaker("A"));
    RegisterFrameClass("TfrB", FrameMaker("B"));
    RegisterDevFrame("Alpha", 1, "TfrA");
    RegisterDevFrame("Alpha", 1, "TfrB");
    RegisterDevFrame("Alpha", 2, "TfrB");
    RegisterDevFrame("Beta", 1, "TfrUnregistered");
    RegisterDevFrame("Beta", 1, "TfrA");
    QCOMPARE(DevFrames().size(), 5);
    QCOMPARE(DevFrames().first().FrameName, QString("TfrA"));
}

void TestFrameRegistry::findDevFrameClass_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("kind"); // empty: no class

    QTest::newRow("first match in registration order") << "Alpha" << 1 << "A";
    QTest::newRow("version selects the entry") << "Alpha" << 2 << "B";
    QTest::newRow("name is case-sensitive") << "alpha" << 1 << "";
    QTest::newRow("unknown version") << "Alpha" << 3 << "";
    QTest::newRow("unknown name") << "Gamma" << 1 << "";
    QTest::newRow("first match names no registered class") << "Beta" << 1 << "";
}

void TestFrameRegistry::findDevFrameClass() {
    QFETCH(QString, name);
    QFETCH(int, version);
    QFETCH(QString, kind);

    const TzFrameConstructor construct = FindDevFrameClass(name, version);
    QCOMPARE(bool(construct), !kind.isEmpty());
    if (construct) {
        std::unique_ptr<QWidget> frame(construct(nullptr));
        QCOMPARE(frame->property("kind").toString(), kind);
    }
}

void TestFrameRegistry::createdFrameFillsParentAndFollowsItsSize() {
    QWidget owner;
    QWidget parent;
    parent.resize(300, 200);

    QWidget *frame = CreateDevFrame("Alpha", 2, &owner, &parent);
    QVERIFY(frame);
    QCOMPARE(LastOwner, &owner);
    QCOMPARE(frame->parentWidget(), &parent);
    QCOMPARE(frame->property("kind").toString(), QString("B"));

    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QVERIFY(frame->isVisible());
    QTRY_COMPARE(frame->geometry(), parent.rect());

    parent.resize(420, 260);
    QTRY_COMPARE(frame->geometry(), QRect(0, 0, 420, 260));
}

void TestFrameRegistry::framesGetUniqueNames() {
    QWidget parent;
    QWidget *first = CreateDevFrame("Alpha", 1, &parent, &parent);
    QWidget *second = CreateDevFrame("Alpha", 1, &parent, &parent);
    QVERIFY(first && second);

    const QRegularExpression pattern("^Frame\\d+$");
    QVERIFY2(pattern.match(first->objectName()).hasMatch(), qPrintable(first->objectName()));
    QVERIFY2(pattern.match(second->objectName()).hasMatch(), qPrintable(second->objectName()));
    QVERIFY(first->objectName() != second->objectName());
}

void TestFrameRegistry::unknownDeviceCreatesNothing() {
    QWidget parent;
    LastOwner = nullptr;
    QCOMPARE(CreateDevFrame("Tarvex", 100, &parent, &parent), nullptr);
    QCOMPARE(LastOwner, nullptr);
    QVERIFY(parent.findChildren<QWidget *>().isEmpty());
}

void TestFrameRegistry::mainWindowStaysEmptyWithoutPanelFrame() {
    TfrmMain window(QStringList{"tarvex-panel"});
    QCOMPARE(window.Frame(), nullptr);
    QVERIFY(window.findChildren<QWidget *>().isEmpty());
}

QTEST_MAIN(TestFrameRegistry)
#include "test_frame_registry.moc"
