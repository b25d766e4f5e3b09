// The panel's executable answers --version and --help and exits, without any display.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <algorithm>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
};

void TestCommandLine::answersWithoutDisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expectedLines"); // each must be the start of an output line
    const QString version = QStringLiteral("tarvex-panel " TARVEX_EXPECTED_VERSION);
    const QStringList options = {"  --port ",   "  --connect ", "  test ",
                                 "  /autorun ", "  --help",     "  --version"};
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{version};
    QTest::newRow("-v") << QStringList{"-v"} << QStringList{version};
    QTest::newRow("after other arguments")
        << QStringList{"test", "--version"} << QStringList{version};
    QTest::newRow("--help") << QStringList{"--help"} << options;
    QTest::newRow("-h") << QStringList{"-h"} << options;
    QTest::newRow("help wins over version") << QStringList{"--version", "--help"} << options;
}

void TestCommandLine::answersWithoutDisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expectedLines);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess panel;
    panel.setProcessEnvironment(environment);
    panel.start(QStringLiteral(TARVEX_PANEL_PATH), arguments);
    QVERIFY(panel.waitForFinished(30000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 0);
    QCOMPARE(panel.readAllStandardError(), QByteArray());

    const QStringList lines = QString::fromUtf8(panel.readAllStandardOutput()).split('\n');
    for (const QString &expected : expectedLines) {
        const bool found =
            std::any_of(lines.begin(), lines.end(),
                        [&expected](const QString &line) { return line.startsWith(expected); });
        QVERIFY2(found,
                 qPrintable(expected + QStringLiteral(" missing from:\n") + lines.join('\n')));
    }
    if (expectedLines.size() == 1) // a version request prints exactly one line
        QCOMPARE(lines, (QStringList{expectedLines[0], QString()}));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
