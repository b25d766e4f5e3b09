// The options a session owns, without any window: the options file (hostile files, encodings,
// owner-only rights, the user's configuration folder), the start at log-on with "/autorun" and
// the connection it makes to a simulated module.
#include "blocked_autostart.h"
#include "read_only_folder.h"
#include "session/log_colours.h"
#include "session/remote_control.h"
#include "session/session_options.h"
#include "session_fixture.h"
#include "support/autorun_registration.h"
#include "support/http_request.h"
#include "support/options_file.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TzSessionOptionsTestAccess {
public:
    static QTimer &AutostartTimer(TzSessionOptions &options) { return options.AutostartTimer; }
};

namespace {

const QString kSaveFailure = QStringLiteral("Настройки не");

constexpr QFile::Permissions kOwnerOnly =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Read as any XML reader would: in the encoding the file declares. "http/auth" names a child of
// a child.
QString Attribute(const QByteArray &content, const QString &path, const char *name) {
    QDomDocument document;
    document.setContent(content);
    QDomElement element = document.documentElement();
    for (const QString &step : path.split('/'))
        element = element.firstChildElement(step);
    return element.attribute(QString::fromLatin1(name), QStringLiteral("<absent>"));
}

// The options and the remote control of a session in a folder of their own, loaded as the
// program loads them.
struct Options {
    // The user's configuration folder is "config" in the program's folder unless named.
    explicit Options(TarvexSession &session, const QString &programDir,
                     const QStringList &arguments = {"tarvex-panel"},
                     const QString &userDir = QString())
        : options(session, programDir, userDir.isEmpty() ? programDir + "/config" : userDir,
                  arguments),
          remote(session, http, options), log(&options, &TzSessionOptions::logLine) {
        options.LoadOptions();
        remote.LoadHTTPOptions();
    }
    // Log lines that begin so, in that colour.
    int logged(const QString &start, quint32 colour = LogColor::DarkRed) const {
        int count = 0;
        for (const QList<QVariant> &line : log)
            count += line[0].toString().startsWith(start) && line[1].toUInt() == colour ? 1 : 0;
        return count;
    }

    TzHTTP_Request http;
    TzSessionOptions options;
    TzRemoteControl remote;
    QSignalSpy log;
};

} // namespace

class TestSessionOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { UnregisterAutorun(); }

    void savedOptionsComeBack();
    void badValuesAreIgnored();
    void foreignFilesAreNeverOverwritten_data();
    void foreignFilesAreNeverOverwritten();
    void nesting_data();
    void nesting();
    void declaredEncodingsComeBackAsUtf8_data();
    void declaredEncodingsComeBackAsUtf8();
    void savedFileIsOwnerOnly_data();
    void savedFileIsOwnerOnly();
    void readOnlyProgramFolder();
    void autorunStart_data();
    void autorunStart();
    void autorunConnects();
    void registrationAtLogOn();
    void failedRegistrationIsReported();

private:
    QString file() const { return m_dir->filePath("Options.xml"); }
    void write(const QByteArray &content) const {
        QFile out(file());
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }

    std::unique_ptr<QTemporaryDir> m_dir; // the program's folder of one test
    TarvexSession m_session;
};

void TestSessionOptions::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_session.SetSilenceMode(false);
}

// The first save writes the three elements whole; a later start reads them back.
void TestSessionOptions::savedOptionsComeBack() {
    {
        Options o(m_session, m_dir->path());
        QVERIFY(!QFile::exists(file()));
        TzComportOptions comport;
        comport.Name = "ttyUSB7";
        comport.Indx = 7;
        comport.Addr = "33";
        comport.BaudRate = 9;
        comport.Format = 3;
        comport.Timeout = "120";
        o.options.setComport(comport);
        o.options.setAutorun({true, true, false, 25});
        o.options.SaveOptions();
    }
    const QByteArray saved = ReadFile(file());
    QCOMPARE(Attribute(saved, "comport", "name"), QStringLiteral("ttyUSB7"));
    QCOMPARE(Attribute(saved, "comport", "baudrate"), QStringLiteral("9"));
    QCOMPARE(Attribute(saved, "autorun", "delay_value"), QStringLiteral("25"));
    QCOMPARE(Attribute(saved, "style", "index"), QStringLiteral("12"));
    QVERIFY(saved.indexOf("<http") < 0); // another writer's element

    Options o(m_session, m_dir->path());
    const TzComportOptions &comport = o.options.comport();
    QCOMPARE(comport.Name, std::optional<QString>("ttyUSB7"));
    QCOMPARE(comport.Indx, std::optional<int>(7));
    QCOMPARE(comport.Addr, QStringLiteral("33"));
    QCOMPARE(comport.BaudRate, 9);
    QCOMPARE(comport.Format, 3);
    QCOMPARE(comport.Timeout, QStringLiteral("120"));
    QVERIFY(o.options.autorun().Autorun_mini);
    QVERIFY(o.options.autorun().Autostart);
    QVERIFY(!o.options.autorun().Autostart_Delay_On);
    QCOMPARE(o.options.autorun().Autostart_Delay_Value, 25);
    QCOMPARE(o.options.loadedStyle(), std::optional<int>(12));
}

void TestSessionOptions::badValuesAreIgnored() {
    write(R"(<options><comport indx="x" addr="abc" baudrate="15" format="x" timeout="1.5"/>)"
          R"(<autorun delay_value="soon"/><style index="seven"/></options>)");
    Options o(m_session, m_dir->path());
    const TzComportOptions defaults;
    const TzComportOptions &comport = o.options.comport();
    QVERIFY(!comport.Name && !comport.Indx);
    QCOMPARE(comport.Addr, defaults.Addr);
    QCOMPARE(comport.BaudRate, defaults.BaudRate);
    QCOMPARE(comport.Format, defaults.Format);
    QCOMPARE(comport.Timeout, defaults.Timeout);
    QCOMPARE(o.options.autorun().Autostart_Delay_Value, 10);
    QVERIFY(!o.options.loadedStyle());
    QCOMPARE(o.options.style(), 12);
}

void TestSessionOptions::foreignFilesAreNeverOverwritten_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("another root") << QByteArray("<settings><comport addr=\"40\"/></settings>");
    QTest::newRow("not XML") << QByteArray("addr=40\n");
}

void TestSessionOptions::foreignFilesAreNeverOverwritten() {
    QFETCH(QByteArray, content);
    write(content);
    Options o(m_session, m_dir->path());
    QCOMPARE(o.options.comport().Addr, QStringLiteral("16"));
    o.options.SaveOptions();
    o.remote.SaveHTTPOptions();
    QCOMPARE(ReadFile(file()), content);
    QCOMPARE(o.logged(kSaveFailure), 1); // the first failed save says why, for every writer
}

// A file nested deeper than any options file is refused whole, as a file that is not XML is:
// nothing of it is applied and it is never written back.
void TestSessionOptions::nesting_data() {
    QTest::addColumn<int>("depth"); // of the deepest element, the root counting as 1
    QTest::addColumn<bool>("accepted");
    QTest::newRow("three levels") << 3 << true;
    QTest::newRow("at the limit") << kMaxOptionsDepth << true;
    QTest::newRow("one level more") << kMaxOptionsDepth + 1 << false;
    QTest::newRow("five thousand levels") << 5000 << false;
}

void TestSessionOptions::nesting() {
    QFETCH(int, depth);
    QFETCH(bool, accepted);
    // An http element without a key makes the remote control save at once while it loads.
    const QByteArray content = "<options><comport addr=\"33\"/><http/>" +
                               QByteArray("<x>").repeated(depth - 1) +
                               QByteArray("</x>").repeated(depth - 1) + "</options>";
    write(content);
    Options o(m_session, m_dir->path());
    QCOMPARE(o.options.comport().Addr, accepted ? QStringLiteral("33") : QStringLiteral("16"));
    QCOMPARE(o.remote.settings().AuthKey.isEmpty(), !accepted);
    TzComportOptions comport;
    comport.Addr = "44";
    o.options.setComport(comport);
    o.options.SaveOptions();
    if (accepted) {
        QCOMPARE(Attribute(ReadFile(file()), "comport", "addr"), QStringLiteral("44"));
    } else {
        QCOMPARE(ReadFile(file()), content);
        QCOMPARE(o.logged(kSaveFailure), 1);
    }
}

// Files written on Windows may declare another encoding. Their text is read by the declaration
// and written back as UTF-8 under a UTF-8 declaration, equal at every later save.
void TestSessionOptions::declaredEncodingsComeBackAsUtf8_data() {
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("windows-1251") << QByteArray("windows-1251");
    QTest::newRow("KOI8-R") << QByteArray("KOI8-R");
    QTest::newRow("ISO-8859-5") << QByteArray("ISO-8859-5");
    QTest::newRow("UTF-16") << QByteArray("UTF-16");
    QTest::newRow("UTF-8") << QByteArray("UTF-8");
}

void TestSessionOptions::declaredEncodingsComeBackAsUtf8() {
    QFETCH(QByteArray, encoding);
    const QString key = QStringLiteral("Ключ-Ёж");
    const QString user = QStringLiteral("оператор");
    const QString password = QStringLiteral("пароль_1");
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n"
                                        "<options><comport addr=\"33\"/><http>"
                                        "<proxy enabled=\"1\" basic=\"1\" server=\"прокси.завод\" "
                                        "port=\"3128\" user=\"%2\" pass=\"%3\"/>"
                                        "<auth key=\"%4\"/></http></options>\n")
                             .arg(QString::fromLatin1(encoding), user, password, key);
    QStringEncoder encoder(encoding.constData(), QStringEncoder::Flag::WriteBom);
    QVERIFY(encoder.isValid());
    const QByteArray original = encoder.encode(text);
    QVERIFY(!encoder.hasError());
    write(original);

    Options o(m_session, m_dir->path());
    QCOMPARE(o.remote.settings().AuthKey, key);
    QCOMPARE(o.remote.settings().ProxyUser, user);
    QCOMPARE(o.remote.settings().ProxyPass, password);
    o.remote.SaveHTTPOptions();
    TzComportOptions comport = o.options.comport();
    comport.Addr = "34";
    o.options.setComport(comport);
    o.options.SaveOptions(); // a second writer saves the file again
    const QByteArray saved = ReadFile(file());

    QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(QString::fromUtf8(saved).contains(key));
    QCOMPARE(Attribute(saved, "http/auth", "key"), key);
    QCOMPARE(Attribute(saved, "http/proxy", "user"), user);
    QCOMPARE(Attribute(saved, "http/proxy", "pass"), password);
    QCOMPARE(Attribute(saved, "http/proxy", "server"), QStringLiteral("прокси.завод"));
    QCOMPARE(Attribute(saved, "comport", "addr"), QStringLiteral("34"));
    Options again(m_session, m_dir->path());
    QCOMPARE(again.remote.settings(), o.remote.settings());
}

// The file holds the proxy password and the web key.
void TestSessionOptions::savedFileIsOwnerOnly_data() {
    QTest::addColumn<bool>("existing");
    QTest::newRow("new file") << false;
    QTest::newRow("existing file readable by all") << true;
}

void TestSessionOptions::savedFileIsOwnerOnly() {
    QFETCH(bool, existing);
    if (existing) {
        write("<options/>");
        QVERIFY(QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
    }
    Options o(m_session, m_dir->path());
    TzRemoteSettings settings;
    settings.ProxyPass = "secret";
    o.remote.setSettings(settings);
    o.remote.SaveHTTPOptions();
    QCOMPARE(Attribute(ReadFile(file()), "http/proxy", "pass"), QStringLiteral("secret"));
    QCOMPARE(QFile::permissions(file()), kOwnerOnly);
}

// An installed program cannot write its own folder: the options go to the user's
// configuration folder, which is read first from then on.
void TestSessionOptions::readOnlyProgramFolder() {
    const QByteArray installed =
        R"(<options><comport addr="33"/><http><auth key="abc"/></http></options>)";
    write(installed);
    QTemporaryDir userHome;
    const QString configDir = userHome.path() + "/tarvex-panel"; // made when the options need it
    const QString userFile = configDir + "/Options.xml";
    const QStringList arguments = {"tarvex-panel"};
    {
        ReadOnlyFolder readOnly(m_dir->path());
        QVERIFY(readOnly.ok());
        Options o(m_session, m_dir->path(), arguments, configDir);
        QCOMPARE(o.options.comport().Addr, QStringLiteral("33"));
        TzComportOptions comport;
        comport.Addr = "44";
        o.options.setComport(comport);
        o.options.SaveOptions();
        comport.Addr = "45";
        o.options.setComport(comport);
        o.options.SaveOptions();
        o.remote.SaveHTTPOptions();
        QCOMPARE(ReadFile(file()), installed);
        QCOMPARE(o.logged(kSaveFailure), 1);
        QCOMPARE(o.options.OptionsPath(), userFile);
    }
    const QByteArray stored = ReadFile(userFile);
    QCOMPARE(Attribute(stored, "comport", "addr"), QStringLiteral("45"));
    QCOMPARE(Attribute(stored, "http/auth", "key"), QStringLiteral("abc")); // nothing is lost
    QCOMPARE(QFile::permissions(userFile), kOwnerOnly);

    Options next(m_session, m_dir->path(), arguments, configDir); // the program folder writable
    QCOMPARE(next.options.comport().Addr, QStringLiteral("45"));
    TzComportOptions comport = next.options.comport();
    comport.Addr = "46";
    next.options.setComport(comport);
    next.options.SaveOptions();
    QCOMPARE(Attribute(ReadFile(userFile), "comport", "addr"), QStringLiteral("46"));
    QCOMPARE(ReadFile(file()), installed);
    QCOMPARE(next.logged(kSaveFailure), 0);
}

void TestSessionOptions::autorunStart_data() {
    QTest::addColumn<QByteArray>("autorun");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("timer");
    QTest::addColumn<int>("interval");
    const QStringList autorunStart = {"tarvex-panel", "/autorun"};
    QTest::newRow("connect after 1 s") << QByteArray(R"(<autorun autostart="1" delay_on="0"/>)")
                                       << autorunStart << true << true << 1000;
    QTest::newRow("connect after 10 s")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="10"/>)") << autorunStart
        << true << true << 10000;
    QTest::newRow("zero delay connects at once")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="0"/>)") << autorunStart
        << true << true << 0;
    QTest::newRow("no autostart: silent only")
        << QByteArray(R"(<autorun autostart="0"/>)") << autorunStart << true << false << 1000;
    QTest::newRow("no autorun element") << QByteArray() << autorunStart << false << false << 1000;
    QTest::newRow("second parameter")
        << QByteArray(R"(<autorun autostart="1"/>)")
        << QStringList{"tarvex-panel", "test", "/autorun"} << false << false << 1000;
    QTest::newRow("other letter case")
        << QByteArray(R"(<autorun autostart="1"/>)") << QStringList{"tarvex-panel", "/AUTORUN"}
        << false << false << 1000;
    // Seconds times 1000 must not wrap round to a short delay.
    QTest::newRow("longest delay")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="2147483"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("one second over the longest")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="2147484"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("delay of 4294968 s, 1704 ms when wrapped")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="4294968"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("delay of twenty-five digits")
        << QByteArray(
               R"(<autorun autostart="1" delay_on="1" delay_value="9999999999999999999999999"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("negative delay")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="-5"/>)") << autorunStart
        << true << true << 0;
}

void TestSessionOptions::autorunStart() {
    QFETCH(QByteArray, autorun);
    QFETCH(QStringList, arguments);
    QFETCH(bool, silent);
    QFETCH(bool, timer);
    QFETCH(int, interval);
    write("<options>" + autorun + "</options>");
    TarvexSession session;
    Options o(session, m_dir->path(), arguments);
    const QTimer &autostart = TzSessionOptionsTestAccess::AutostartTimer(o.options);
    QCOMPARE(session.SilenceMode(), silent);
    QCOMPARE(autostart.isActive(), timer);
    QCOMPARE(autostart.interval(), interval);
}

// The connection options the file holds are enough: no window takes part.
void TestSessionOptions::autorunConnects() {
    SessionFixture module;
    QVERIFY(module.ok());
    write(R"(<options><comport name=")" + module.sim().portPath().toUtf8() +
          R"(" addr="16" baudrate="3" format="0" timeout="20"/>)"
          R"(<autorun autostart="1" delay_on="0"/></options>)");
    Options o(module.session(), m_dir->path(), {"tarvex-panel", "/autorun"});
    QVERIFY(!module.session().isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(module.polling(), 4000);
    QVERIFY(!TzSessionOptionsTestAccess::AutostartTimer(o.options).isActive()); // once per start
    QCOMPARE(module.session().lineSettings().portName, module.sim().portPath());
}

void TestSessionOptions::registrationAtLogOn() {
    write("<options/>");
    Options o(m_session, m_dir->path());
    QVERIFY(!o.options.autorunRegistered());
    QVERIFY(o.options.setAutorunRegistered(true));
    QVERIFY(AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(ReadFile(file()), QByteArray("<options/>")); // the registration is its own store
    QVERIFY(Options(m_session, m_dir->path()).options.autorunRegistered());

    // A registration made for another copy of the program shows as absent.
    RegisterAutorun("/opt/elsewhere/tarvex-panel /autorun");
    QVERIFY(!o.options.autorunRegistered());
    QVERIFY(o.options.setAutorunRegistered(false)); // the registration goes
    QVERIFY(!AutorunIsRegistered("/opt/elsewhere/tarvex-panel /autorun"));
    QCOMPARE(o.logged(QString(), LogColor::Navy), 0);
}

void TestSessionOptions::failedRegistrationIsReported() {
    BlockedAutostartFolder blocked; // no entry can be written
    QVERIFY(blocked.ok());

    Options o(m_session, m_dir->path());
    const bool registered = o.options.setAutorunRegistered(true);
    QVERIFY(!registered);
    QVERIFY(!o.options.autorunRegistered());
    QCOMPARE(o.logged("Ошибка: ", LogColor::Navy), 1);
}

QTEST_GUILESS_MAIN(TestSessionOptions)
#include "test_session_options.moc"
