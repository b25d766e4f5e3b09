#include "support/korvel_file_path.h"
#include "support/korvel_ini_files.h"
#include "support/path_utils.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QString ReadText(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString &fileName, const QString &text) {
    QDir().mkpath(QFileInfo(fileName).path());
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString UserConfigHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

class TestKorvelConfig : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readsDefaultsWithoutCreatingTheFile();
    void writesCreateTheFileAndKeepKeyOrder();
    void readsAndEditsAHandWrittenFile();
    void eraseSectionAndClear();
    void readOnlyPolicy_data();
    void readOnlyPolicy();
    void firstFailedWriteIsFinal();
    void writeFileFromIniCopiesInOrder();

    void combinePath_data();
    void combinePath();
    void resolveLocation_data();
    void resolveLocation();

    void configFileLocation_data();
    void configFileLocation();
    void migratesOlderFileFromProgramFolder();
    void existingFileIsNotOverwrittenByMigration();
    void folders_data();
    void folders();
    void nothingCreatedWithoutConfigFile();

private:
    QString Expand(QString text) const;
    QString WriteSystemIni(const QString &type, const QString &base);

    QTemporaryDir m_userHome;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_exeDir;
    QString m_savedCurrent;
};

void TestKorvelConfig::initTestCase() {
    QVERIFY(m_userHome.isValid());
    qputenv("XDG_CONFIG_HOME", m_userHome.path().toLocal8Bit());
    qputenv("TARVEX_TEST_LONG", QByteArray(600, 'a'));
    m_savedCurrent = QDir::currentPath();
}

// Each test gets a fresh folder that is also the current folder, so that relative folders land
// there, and a fake program folder "exe/" inside it.
void TestKorvelConfig::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_exeDir = m_dir->path() + "/exe/";
    QVERIFY(QDir().mkpath(m_exeDir));
    qputenv("TARVEX_TEST_DIR", m_dir->path().toLocal8Bit());
}

void TestKorvelConfig::cleanup() {
    QDir::setCurrent(m_savedCurrent);
    m_dir.reset();
}

// $TMP the test folder, $EXE the fake program folder (no trailing '/'), $USER the user's config
// home, $HOST the host name.
QString TestKorvelConfig::Expand(QString text) const {
    QString exe = m_exeDir;
    exe.chop(1);
    return text.replace("$TMP", m_dir->path())
        .replace("$EXE", exe)
        .replace("$USER", UserConfigHome())
        .replace("$HOST", QHostInfo::localHostName());
}

QString TestKorvelConfig::WriteSystemIni(const QString &type, const QString &base) {
    const QString fileName = m_dir->path() + "/etc/korvel_pro.ini";
    if (type != "<none>")
        WriteText(fileName, "[KORVEL_PRO]\nLocationType=" + type + "\nBasePath=" + base + "\n");
    return fileName;
}

void TestKorvelConfig::readsDefaultsWithoutCreatingTheFile() {
    const QString fileName = m_dir->path() + "/korvel.ini";
    const CKorvelConfig config(fileName, false);

    QVERIFY(!config.ConfFileExist());
    QVERIFY(!config.readonly());
    QCOMPARE(config.ConfLocation(), QString());
    QCOMPARE(config.ConfLocationType(), QString("default"));
    QCOMPARE(config.DataLocation(), QString("./Data/"));
    QCOMPARE(config.TMPLocation(), QString("./TMP/"));
    QCOMPARE(config.LangLocation(), QString("./Lang/"));
    QCOMPARE(config.DocLocation(), QString("./Doc/"));
    QCOMPARE(config.InternalBufDir(), QString());
    QCOMPARE(config.CSOIp(), QString("127.0.0.1"));
    QCOMPARE(config.IsFireMode(), false);
    QVERIFY(!QFile::exists(fileName));
}

void TestKorvelConfig::writesCreateTheFileAndKeepKeyOrder() {
    const QString fileName = m_dir->path() + "/korvel.ini";
    CKorvelConfig config(fileName, false);

    config.SetDataLocationType("static");
    QVERIFY(config.ConfFileExist());
    config.SetDataLocation("C:\\Data\\");
    config.SetCSOIp("10.0.0.1");
    config.SetConfLocation("Cfg/");
    config.SetDataLocationType("user");
    config.SetIsFireMode(true);

    // Values go in verbatim: backslashes are not escaped, keys are not sorted.
    QCOMPARE(ReadText(fileName), QString("[Path]\n"
                                         "DataLocationType=user\n"
                                         "DataLocation=C:\\Data\\\n"
                                         "ConfLocation=Cfg/\n"
                                         "[SrvLog]\n"
                                         "SrvAddr=10.0.0.1\n"
                                         "[FireMode]\n"
                                         "on=1\n"));
    QCOMPARE(config.DataLocation(), QString("C:\\Data\\"));
    QCOMPARE(config.DataLocationType(), QString("user"));
    QCOMPARE(config.IsFireMode(), true);
    QCOMPARE(config.ReadSections(), QStringList({"Path", "SrvLog", "FireMode"}));
    QCOMPARE(config.ReadSection("Path"),
             QStringList({"DataLocationType", "DataLocation", "ConfLocation"}));
}

void TestKorvelConfig::readsAndEditsAHandWrittenFile() {
    const QString fileName = m_dir->path() + "/korvel.ini";
    WriteText(fileName, "; family settings\r\n"
                        "[path]\r\n"
                        "  datalocation = \"D:\\Data\\\" \r\n"
                        "noequals\r\n"
                        "\r\n"
                        "[SrvLog]\r\n"
                        "SrvAddr='192.168.1.9'\r\n"
                        "[FireMode]\r\n"
                        "on=yes\r\n");
    CKorvelConfig config(fileName, false);

    QCOMPARE(config.DataLocation(), QString("D:\\Data\\"));
    QCOMPARE(config.CSOIp(), QString("192.168.1.9"));
    QCOMPARE(config.IsFireMode(), false);
    QCOMPARE(config.ReadSection("PATH"), QStringList({"datalocation"}));

    config.SetDataLocationType("static");
    config.SetDataLocation("E:\\");
    QCOMPARE(ReadText(fileName), QString("; family settings\n"
                                         "[path]\n"
                                         "datalocation=E:\\\n"
                                         "noequals\n"
                                         "DataLocationType=static\n"
                                         "\n"
                                         "[SrvLog]\n"
                                         "SrvAddr='192.168.1.9'\n"
                                         "[FireMode]\n"
                                         "on=yes\n"));
}

void TestKorvelConfig::eraseSectionAndClear() {
    const QString fileName = m_dir->path() + "/korvel.ini";
    WriteText(fileName, "[Path]\nDataLocation=/d/\n[SrvLog]\nSrvAddr=1.2.3.4\n[path]\nx=1\n");
    CKorvelConfig config(fileName, false);

    QVERIFY(config.EraseSection("PATH"));
    QCOMPARE(ReadText(fileName), QString("[SrvLog]\nSrvAddr=1.2.3.4\n"));
    QCOMPARE(config.DataLocation(), QString("./Data/"));

    config.SetIsFireMode(true);
    config.Clear();
    QCOMPARE(ReadText(fileName), QString());
    QCOMPARE(config.CSOIp(), QString("127.0.0.1"));
    QVERIFY(!config.readonly());
}

void TestKorvelConfig::readOnlyPolicy_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("readOnly");

    QTest::newRow("asked for") << "flag" << true;
    QTest::newRow("file without write permission") << "attribute" << true;
    QTest::newRow("link to a read-only file") << "link to read-only" << true;
    QTest::newRow("link to a writable file") << "link to writable" << false;
    QTest::newRow("writable file") << "writable" << false;
}

void TestKorvelConfig::readOnlyPolicy() {
    QFETCH(QString, how);
    QFETCH(bool, readOnly);
    const QString original = "[Path]\nDataLocation=/d/\n";
    const QString target = m_dir->path() + "/target.ini";
    WriteText(target, original);
    const QString source = m_dir->path() + "/source.ini";
    WriteText(source, "[SrvLog]\nSrvAddr=5.5.5.5\n");

    QString fileName = target;
    if (how.startsWith("link")) {
        fileName = m_dir->path() + "/link.ini";
        QVERIFY(QFile::link(target, fileName));
    }
    if (how == "attribute" || how == "link to read-only")
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));

    CKorvelConfig config(fileName, how == "flag");
    QCOMPARE(config.readonly(), readOnly);
    QVERIFY(config.ConfFileExist());

    const TIniFile ini(source);
    QCOMPARE(config.WriteFileFromIni(ini), !readOnly);
    config.SetDataLocation("/other/");
    QCOMPARE(config.EraseSection("Path"), !readOnly);
    if (readOnly) {
        QCOMPARE(ReadText(target), original);
        QCOMPARE(config.DataLocation(), QString("/d/"));
    } else {
        QCOMPARE(ReadText(target), QString("[SrvLog]\nSrvAddr=5.5.5.5\n"));
    }
    QCOMPARE(config.readonly(), readOnly);
    QCOMPARE(QFileInfo(fileName).isSymLink(), how.startsWith("link"));
}

// A file that cannot be written (here: its folder is missing) makes the object read-only; it stays
// so when the write would succeed later.
void TestKorvelConfig::firstFailedWriteIsFinal() {
    const QString folder = m_dir->path() + "/later";
    const QString fileName = folder + "/korvel.ini";
    CKorvelConfig config(fileName, false);
    QVERIFY(!config.readonly());

    const QString source = m_dir->path() + "/source.ini";
    WriteText(source, "[A]\nx=1\ny=2\n");
    QVERIFY(!config.WriteFileFromIni(TIniFile(source)));
    QVERIFY(config.readonly());
    QVERIFY(!config.ConfFileExist());

    QVERIFY(QDir().mkpath(folder));
    config.SetCSOIp("1.1.1.1");
    QVERIFY(!config.UpdateFile());
    QVERIFY(!config.WriteFileFromIni(TIniFile(source)));
    QVERIFY(!QFile::exists(fileName));
    QVERIFY(!config.ConfFileExist());
}

void TestKorvelConfig::writeFileFromIniCopiesInOrder() {
    const QString source = m_dir->path() + "/source.ini";
    WriteText(source,
              "[Zeta]\nb=2\na=C:\\A\\\n\n[Path]\nXMLLocation=/xml/\nConfLocationType=static\n"
              "[Empty]\n");
    const QString fileName = m_dir->path() + "/korvel.ini";
    WriteText(fileName, "[Path]\nConfLocationType=user\nDocLocation=/doc/\n");
    CKorvelConfig config(fileName, false);

    QVERIFY(config.WriteFileFromIni(TIniFile(source)));
    QCOMPARE(ReadText(fileName), QString("[Path]\n"
                                         "ConfLocationType=static\n"
                                         "DocLocation=/doc/\n"
                                         "XMLLocation=/xml/\n"
                                         "[Zeta]\n"
                                         "b=2\n"
                                         "a=C:\\A\\\n"));
    QVERIFY(config.ConfFileExist());
    QVERIFY(!config.readonly());
}

void TestKorvelConfig::combinePath_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");

    QTest::newRow("up past the root") << "/A/B/"
                                      << "../../../X"
                                      << "/X";
    QTest::newRow("sub folder") << "/A/"
                                << "Cfg/"
                                << "/A/Cfg/";
    QTest::newRow("sibling, no trailing separator") << "/A/B"
                                                    << "../C"
                                                    << "/A/C";
    QTest::newRow("empty relative") << "/A/B/"
                                    << ""
                                    << "/A/B/";
    QTest::newRow("absolute relative") << "/A/B/"
                                       << "/etc/x"
                                       << "/etc/x";
    QTest::newRow("share relative") << "/A/B/"
                                    << "//srv/share"
                                    << "//srv/share";
    QTest::newRow("dots skipped") << "/A/B/"
                                  << "./C/./D/"
                                  << "/A/B/C/D/";
    QTest::newRow("only a dot") << "/A/B/"
                                << "."
                                << "/A/B";
    QTest::newRow("doubled separators") << "/A//B/"
                                        << "C//D"
                                        << "/A/B/C/D";
    QTest::newRow("up to the root") << "/A/B/"
                                    << "../../"
                                    << "/";
    QTest::newRow("root stays") << "/"
                                << ".."
                                << "/";
    QTest::newRow("relative base may vanish") << "Ab/B/"
                                              << "../../../C/"
                                              << "C/";
    // A separator as the base's second character adds one in front, even after a one-letter
    // first component.
    QTest::newRow("separator second in base") << "A/B/"
                                              << "C"
                                              << "/A/B/C";
    QTest::newRow("share server kept") << "//srv/share/dir/"
                                       << "../../../x"
                                       << "//srv/x";
    QTest::newRow("empty base") << ""
                                << "x/y/"
                                << "x/y/";
}

void TestKorvelConfig::combinePath() {
    QFETCH(QString, base);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QCOMPARE(CombinePath(base, relative), expected);
}

void TestKorvelConfig::resolveLocation_data() {
    QTest::addColumn<int>("location");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");

    const int data = int(Location::Data);
    QTest::newRow("static") << data << "/x/y/"
                            << "static"
                            << "/x/y/";
    QTest::newRow("static empty") << data << ""
                                  << "static"
                                  << "";
    QTest::newRow("pcname") << int(Location::ConfigFile) << "/cfg/"
                            << "pcname"
                            << "/cfg/PC1/";
    QTest::newRow("pcip") << int(Location::Log) << "/log/"
                          << "pcip"
                          << "/log/10.1.2.3/";
    QTest::newRow("environment known") << data << "%TARVEX_TEST_DIR%/in/"
                                       << "environment"
                                       << "$TMP/in/";
    QTest::newRow("environment unknown") << data << "%TARVEX_NO_SUCH_NAME%/in/"
                                         << "environment"
                                         << "%TARVEX_NO_SUCH_NAME%/in/";
    QTest::newRow("environment mixed") << data << "a%TARVEX_TEST_DIR%%NOPE%50%"
                                       << "environment"
                                       << "a$TMP%NOPE%50%";
    QTest::newRow("environment too long") << data << "%TARVEX_TEST_LONG%"
                                          << "environment"
                                          << "%TARVEX_TEST_LONG%";
    QTest::newRow("user") << data << "Cfg/"
                          << "user"
                          << "$USER/Solvar/Cfg/";
    QTest::newRow("user up") << data << "../Other/"
                             << "user"
                             << "$USER/Other/";
    QTest::newRow("user absolute") << data << "/abs/"
                                   << "user"
                                   << "/abs/";
    QTest::newRow("default data") << data << "/elsewhere/"
                                  << "default"
                                  << "/opt/tv/Data/";
    QTest::newRow("empty kind") << int(Location::Lang) << "/x/"
                                << ""
                                << "/opt/tv/Lang/";
    QTest::newRow("other kind") << int(Location::Doc) << "/x/"
                                << "Static"
                                << "/opt/tv/Doc/";
    QTest::newRow("default conf") << int(Location::Conf) << "/x/"
                                  << "default"
                                  << "/opt/tv/";
    QTest::newRow("default xml") << int(Location::XML) << "/x/"
                                 << "default"
                                 << "/opt/tv/";
    QTest::newRow("default file") << int(Location::ConfigFile) << ""
                                  << ""
                                  << "/opt/tv/";
}

void TestKorvelConfig::resolveLocation() {
    QFETCH(int, location);
    QFETCH(QString, configured);
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    TzLocations at;
    at.ExeDir = "/opt/tv/";
    at.PcName = "PC1";
    at.PcIp = "10.1.2.3";

    QCOMPARE(ResolveLocation(at, Location(location), configured, LocationKindFromText(kind)),
             Expand(expected));
}

void TestKorvelConfig::configFileLocation_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no system file") << "<none>"
                                    << ""
                                    << "$EXE/korvel.ini";
    QTest::newRow("no values") << ""
                               << ""
                               << "$EXE/korvel.ini";
    QTest::newRow("default ignores base") << "default"
                                          << "$TMP/ign/"
                                          << "$EXE/korvel.ini";
    QTest::newRow("user") << "user"
                          << "Cfg/"
                          << "$USER/Solvar/Cfg/korvel.ini";
    QTest::newRow("pcname") << "pcname"
                            << "$TMP/Cfg/"
                            << "$TMP/Cfg/$HOST/korvel.ini";
    QTest::newRow("static") << "static"
                            << "$TMP/st/"
                            << "$TMP/st/korvel.ini";
    QTest::newRow("folder cannot be created") << "static"
                                              << "$TMP/afile/sub/"
                                              << "$EXE/korvel.ini";
}

void TestKorvelConfig::configFileLocation() {
    QFETCH(QString, type);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    WriteText(m_dir->path() + "/afile", "not a folder");

    const TzLocations at = InitLocationsIn(m_exeDir, WriteSystemIni(type, Expand(base)));

    QCOMPARE(at.ExeDir, m_exeDir);
    QCOMPARE(at.IniFileName, Expand(expected));
    QVERIFY(QFileInfo(QFileInfo(at.IniFileName).path()).isDir());
    QVERIFY(!QFile::exists(at.IniFileName));
    QVERIFY(at.KorvelConfig);
    QCOMPARE(at.KorvelConfig->FileName(), at.IniFileName);
    QVERIFY(!at.KorvelConfig->ConfFileExist());
    QCOMPARE(at.PcName, QHostInfo::localHostName());
    if (!at.PcIp.isEmpty()) {
        const QHostAddress address(at.PcIp);
        QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY(!address.isLoopback());
    }
}

void TestKorvelConfig::migratesOlderFileFromProgramFolder() {
    const QString older = "[Path]\nDataLocationType=static\nDataLocation=" + m_dir->path() +
                          "/data/\nConfLocationType=user\n\n[SrvLog]\nSrvAddr=10.0.0.5\n";
    WriteText(m_exeDir + "korvel.ini", older);

    const TzLocations at =
        InitLocationsIn(m_exeDir, WriteSystemIni("static", m_dir->path() + "/new/"));

    QCOMPARE(at.IniFileName, m_dir->path() + "/new/korvel.ini");
    // Every key in section and key order; the layout of the older file is not copied.
    QCOMPARE(ReadText(at.IniFileName),
             "[Path]\nDataLocationType=static\nDataLocation=" + m_dir->path() +
                 "/data/\nConfLocationType=user\n[SrvLog]\nSrvAddr=10.0.0.5\n");
    QCOMPARE(ReadText(m_exeDir + "korvel.ini"), older);
    QVERIFY(at.KorvelConfig->ConfFileExist());
    QCOMPARE(at.DataDir, m_dir->path() + "/data/");
    QVERIFY(QFileInfo(at.DataDir).isDir());
    QCOMPARE(at.ConfDir, UserConfigHome() + "/Solvar/");
}

void TestKorvelConfig::existingFileIsNotOverwrittenByMigration() {
    WriteText(m_exeDir + "korvel.ini", "[SrvLog]\nSrvAddr=10.0.0.5\n");
    const QString current = m_dir->path() + "/new/korvel.ini";
    WriteText(current, "[SrvLog]\nSrvAddr=10.0.0.7\n");

    const TzLocations at =
        InitLocationsIn(m_exeDir, WriteSystemIni("static", m_dir->path() + "/new/"));

    QCOMPARE(ReadText(current), QString("[SrvLog]\nSrvAddr=10.0.0.7\n"));
    QCOMPARE(at.KorvelConfig->CSOIp(), QString("10.0.0.7"));
}

void TestKorvelConfig::folders_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");

    QTest::newRow("data default ignores text")
        << "[Path]\nDataLocationType=default\nDataLocation=/elsewhere/\n"
        << "Data"
        << "$EXE/Data/";
    QTest::newRow("tmp static empty") << "[Path]\nTMPLocationType=static\nTMPLocation=\n"
                                      << "Tmp"
                                      << "temp/";
    QTest::newRow("tmp default is the buffer folder")
        << "[Path]\nTMPLocationType=default\nTMPLocation=$TMP/no/\n[BufPth]\nBufDir=$TMP/buf/\n"
        << "Tmp"
        << "$TMP/buf/";
    QTest::newRow("tmp static") << "[Path]\nTMPLocationType=static\nTMPLocation=$TMP/t/\n"
                                << "Tmp"
                                << "$TMP/t/";
    QTest::newRow("conf static") << "[Path]\nConfLocationType=static\nConfLocation=$TMP/c/\n"
                                 << "Conf"
                                 << "$TMP/c/";
    QTest::newRow("conf cannot be created")
        << "[Path]\nConfLocationType=static\nConfLocation=$TMP/afile/c/\n"
        << "Conf"
        << "$EXE/";
    QTest::newRow("conf empty") << "[Path]\nConfLocationType=static\n"
                                << "Conf"
                                << "$EXE/";
    QTest::newRow("log pcname") << "[Path]\nLogLocationType=pcname\nLogLocation=$TMP/log/\n"
                                << "Log"
                                << "$TMP/log/$HOST/";
    QTest::newRow("lang environment")
        << "[Path]\nLangLocationType=environment\nLangLocation=%TARVEX_TEST_DIR%/lang/\n"
        << "Lang"
        << "$TMP/lang/";
    QTest::newRow("xml user") << "[Path]\nXMLLocationType=user\nXMLLocation=Xml/\n"
                              << "Xml"
                              << "$USER/Solvar/Xml/";
    QTest::newRow("doc default") << "[Path]\n"
                                 << "Doc"
                                 << "$EXE/Doc/";
}

void TestKorvelConfig::folders() {
    QFETCH(QString, ini);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    WriteText(m_dir->path() + "/afile", "not a folder");
    WriteText(m_exeDir + "korvel.ini", Expand(ini));

    const TzLocations at = InitLocationsIn(m_exeDir, WriteSystemIni("<none>", QString()));

    const QMap<QString, QString> dirs{
        {"Conf", at.ConfDir}, {"Data", at.DataDir}, {"Tmp", at.TmpDir}, {"Log", at.LogDir},
        {"Lang", at.LangDir}, {"Xml", at.XmlDir},   {"Doc", at.DocDir}};
    QCOMPARE(dirs.value(folder), Expand(expected));
    for (const QString &dir : dirs)
        QVERIFY2(QFileInfo(dir).isDir(), qPrintable(dir));
}

void TestKorvelConfig::nothingCreatedWithoutConfigFile() {
    const TzLocations at = InitLocationsIn(m_exeDir, WriteSystemIni("<none>", QString()));

    QVERIFY(!at.KorvelConfig->ConfFileExist());
    QCOMPARE(at.ConfDir, m_exeDir);
    QCOMPARE(at.DataDir, m_exeDir + "Data/");
    QCOMPARE(at.TmpDir, QString("temp/"));
    QCOMPARE(at.LogDir, m_exeDir);
    QCOMPARE(at.LangDir, m_exeDir + "Lang/");
    QCOMPARE(at.XmlDir, m_exeDir);
    QCOMPARE(at.DocDir, m_exeDir + "Doc/");
    QCOMPARE(QDir(m_exeDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList({"exe"}));
}

QTEST_GUILESS_MAIN(TestKorvelConfig)
#include "test_korvel_config.moc"
