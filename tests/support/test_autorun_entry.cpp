// The start at log-on on Linux: an XDG autostart entry whose Exec value names the program.
#include "support/autorun_registration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <stdexcept>

namespace {

QString EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/autostart/panel-tarvex.desktop";
}

QString ExecValue() {
    QFile file(EntryPath());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<no entry>");
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return QStringLiteral("<no Exec>");
}

// The Exec value read back as a launcher following the Desktop Entry standard does: first the
// string escapes of the value, then the quoting of the arguments, then the doubled '%'.
QStringList ExecArguments(const QString &value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const QChar next = value[++i];
        unescaped += next == 's'   ? QChar(' ')
                     : next == 'n' ? QChar('\n')
                     : next == 't' ? QChar('\t')
                     : next == 'r' ? QChar('\r')
                                   : next;
    }
    QStringList arguments;
    QString current;
    bool quoted = false, inArgument = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == '\\' && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (c == ' ' && !quoted) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
        } else if (c == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
            current += unescaped[++i];
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

} // namespace

class TestAutorunEntry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { UnregisterAutorun(); }

    void pathsAreQuotedAndEscaped_data();
    void pathsAreQuotedAndEscaped();
    void inexpressiblePathsAreRefused_data();
    void inexpressiblePathsAreRefused();
};

void TestAutorunEntry::pathsAreQuotedAndEscaped_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec"); // as the file holds it

    QTest::newRow("plain") << "/opt/tarvex/tarvex-panel"
                           << R"("/opt/tarvex/tarvex-panel" /autorun)";
    QTest::newRow("space") << "/opt/Tarvex Panel/tarvex-panel"
                           << R"("/opt/Tarvex Panel/tarvex-panel" /autorun)";
    QTest::newRow("quote") << R"(/opt/a"b/tarvex-panel)"
                           << R"("/opt/a\\"b/tarvex-panel" /autorun)";
    QTest::newRow("dollar") << "/opt/$HOME/tarvex-panel"
                            << R"("/opt/\\$HOME/tarvex-panel" /autorun)";
    QTest::newRow("percent") << "/opt/100%/%f/tarvex-panel"
                             << R"("/opt/100%%/%%f/tarvex-panel" /autorun)";
    QTest::newRow("backtick") << "/opt/`id`/tarvex-panel"
                              << R"("/opt/\\`id\\`/tarvex-panel" /autorun)";
    QTest::newRow("backslash") << R"(/opt/a\b/tarvex-panel)"
                               << R"("/opt/a\\\\b/tarvex-panel" /autorun)";
    QTest::newRow("Cyrillic and a tab") << "/opt/Панель\tTarvex/tarvex-panel"
                                        << R"("/opt/Панель\tTarvex/tarvex-panel" /autorun)";
}

void TestAutorunEntry::pathsAreQuotedAndEscaped() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const QString command = program + " /autorun";

    RegisterAutorun(command);
    QCOMPARE(ExecValue(), exec);
    QCOMPARE(ExecArguments(ExecValue()), (QStringList{program, "/autorun"}));
    QVERIFY(AutorunIsRegistered(command));
    QVERIFY(!AutorunIsRegistered("/opt/other/tarvex-panel /autorun"));

    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {EntryPath()});
    QVERIFY2(validate.waitForFinished(30000), "desktop-file-validate (desktop-file-utils) ran");
    QVERIFY2(validate.exitCode() == 0 && validate.readAll().trimmed().isEmpty(),
             qPrintable(QString::fromUtf8(validate.readAll())));
}

void TestAutorunEntry::inexpressiblePathsAreRefused_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("control character") << QString("/opt/a\x01"
                                                  "b/tarvex-panel");
    QTest::newRow("name not valid in UTF-8") << QString("/opt/a\uFFFDb/tarvex-panel");
    QTest::newRow("lone surrogate") << QString("/opt/a") + QChar(0xD800) + "b/tarvex-panel";
}

void TestAutorunEntry::inexpressiblePathsAreRefused() {
    QFETCH(QString, program);
    RegisterAutorun("/opt/tarvex/tarvex-panel /autorun"); // an earlier registration stays

    QVERIFY_THROWS_EXCEPTION(std::runtime_error, RegisterAutorun(program + " /autorun"));
    QVERIFY(!AutorunIsRegistered(program + " /autorun"));
    QVERIFY(AutorunIsRegistered("/opt/tarvex/tarvex-panel /autorun"));
}

QTEST_GUILESS_MAIN(TestAutorunEntry)
#include "test_autorun_entry.moc"
