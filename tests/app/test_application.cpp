#include "app/application.h"
#include "throwing_object.h"

#include <QLabel>
#include <QStyle>
#include <QtTest>

#include <stdexcept>

namespace {

class ThrowingWidget : public QWidget {
protected:
    void mousePressEvent(QMouseEvent *) override { throw std::logic_error("press failed"); }
};

class UnknownThrower : public QObject {
public:
    bool event(QEvent *event) override {
        if (event->type() == kThrowEvent)
            throw 42;
        return QObject::event(event);
    }
};

class EventCounter : public QObject {
public:
    bool event(QEvent *event) override {
        if (event->type() == QEvent::User)
            ++Count;
        return QObject::event(event);
    }
    int Count = 0;
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void exceptionFromPostedEventReachesHandler();
    void exceptionFromWidgetHandlerReachesHandler();
    void unknownExceptionReachesHandler();
    void withoutHandlerTheMessageIsAWarning();
    void toolTipTimings();

private:
    QStringList m_messages;
    void InstallRecorder();
};

void TestApplication::cleanup() {
    TApplication::SetExceptionHandler({});
    m_messages.clear();
}

void TestApplication::InstallRecorder() {
    TApplication::SetExceptionHandler([this](const QString &message) { m_messages << message; });
}

void TestApplication::exceptionFromPostedEventReachesHandler() {
    InstallRecorder();
    ThrowingObject thrower;
    EventCounter counter;

    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    QCoreApplication::processEvents();

    QCOMPARE(m_messages, QStringList{"boom"});
    QCOMPARE(counter.Count, 1); // the event after the failing one is still delivered

    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(counter.Count, 2);
}

void TestApplication::exceptionFromWidgetHandlerReachesHandler() {
    InstallRecorder();
    ThrowingWidget widget;
    widget.resize(100, 100);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    QTest::mouseClick(&widget, Qt::LeftButton);
    QCOMPARE(m_messages.value(0), QString("press failed"));

    QTest::mouseClick(&widget, Qt::LeftButton);
    QCOMPARE(m_messages.count("press failed"), 2);
}

void TestApplication::unknownExceptionReachesHandler() {
    InstallRecorder();
    UnknownThrower thrower;
    QEvent event(kThrowEvent);
    QCOMPARE(QCoreApplication::sendEvent(&thrower, &event), false);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!m_messages.first().isEmpty());
}

void TestApplication::withoutHandlerTheMessageIsAWarning() {
    ThrowingObject thrower;
    QTest::ignoreMessage(QtWarningMsg, "boom");
    QEvent event(kThrowEvent);
    QCoreApplication::sendEvent(&thrower, &event);
    QVERIFY(m_messages.isEmpty());
}

void TestApplication::toolTipTimings() {
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);

    QLabel plain("plain");
    plain.setToolTip("hint");
    QLabel ownDuration("own");
    ownDuration.setToolTip("hint");
    ownDuration.setToolTipDuration(5000);
    for (QWidget *widget : {static_cast<QWidget *>(&plain), static_cast<QWidget *>(&ownDuration)}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), widget->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(widget, &help);
    }

    QCOMPARE(plain.toolTipDuration(), 100000);
    QCOMPARE(ownDuration.toolTipDuration(), 5000);
}

int main(int argc, char *argv[]) {
    TApplication app(argc, argv);
    TestApplication test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
