// "Справка" opens the operator's manual from where a build or an installed program keeps it, and
// says so in the log when it cannot.
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

const QString kManual = QStringLiteral("Doc/Панель управления Tarvex.pdf");

// Receives the URLs the panel asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

bool PutFile(const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
}

} // namespace

class TestPanelHelp : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanup() {
        SetSerialPortSource(nullptr);
        SetPanelExeDir(QString());
    }
    void cleanupTestCase() { DeleteLogWindow(); }

    void opensTheManual_data();
    void opensTheManual();
    void missingManualIsLogged();
    void viewerThatFailsIsLogged();
};

// A program folder laid out as an installed prefix: <root>/usr/bin holds the executable.
void TestPanelHelp::opensTheManual_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("opened");
    const QString besideExe = QStringLiteral("usr/bin/") + kManual;
    const QString installed = QStringLiteral("usr/share/tarvex-panel/") + kManual;
    QTest::newRow("next to the executable") << QStringList{besideExe} << besideExe;
    QTest::newRow("installed share folder") << QStringList{installed} << installed;
    QTest::newRow("both: the one beside wins") << QStringList{installed, besideExe} << besideExe;
}

void TestPanelHelp::opensTheManual() {
    QFETCH(QStringList, present);
    QFETCH(QString, opened);
    QTemporaryDir root;
    for (const QString &file : present)
        QVERIFY(PutFile(root.filePath(file)));
    SetPanelExeDir(root.filePath(QStringLiteral("usr/bin")));
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QTest::mouseClick(p.btnHelp, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(root.filePath(opened))});
    for (const QString &line : LogLines())
        QVERIFY2(!line.contains(QStringLiteral("справки")), qPrintable(line));
}

void TestPanelHelp::missingManualIsLogged() {
    QTemporaryDir root;
    SetPanelExeDir(root.filePath(QStringLiteral("usr/bin")));
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QTest::mouseClick(p.btnHelp, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QVERIFY(catcher.urls.isEmpty());
    const QString expected = QStringLiteral("Не найден файл справки: ") +
                             root.filePath(QStringLiteral("usr/bin/") + kManual) +
                             QStringLiteral(" или ") +
                             root.filePath(QStringLiteral("usr/share/tarvex-panel/") + kManual);
    QCOMPARE(LogLines().value(0), expected);
    QVERIFY(LogHasLine(expected, LogColor::DarkRed));
}

// A desktop without a handler for PDF files: the desktop service refuses the file.
void TestPanelHelp::viewerThatFailsIsLogged() {
    QTemporaryDir root;
    const QString manual = root.filePath(QStringLiteral("usr/bin/") + kManual);
    QVERIFY(PutFile(manual));
    SetPanelExeDir(root.filePath(QStringLiteral("usr/bin")));
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    TestPanel p;

    UrlCatcher refusing; // names no slot it has, so the desktop service reports failure
    QDesktopServices::setUrlHandler("file", &refusing, "noSuchSlot");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No such method"));
    QTest::mouseClick(p.btnHelp, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QVERIFY(LogHasLine(QStringLiteral("Не удалось открыть файл справки: ") + manual,
                       LogColor::DarkRed));
}

QTEST_MAIN(TestPanelHelp)
#include "test_panel_help.moc"
