#include "korvel_file_path.h"

#include "korvel_ini_files.h"
#include "path_utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

QString ExeDir;
QString PcName;
QString PcIp;
QString IniFileName;
CKorvelConfig *KorvelConfig = nullptr;

TzLocationSetting IniSetting;
TzLocationSetting ConfSetting;
TzLocationSetting DataSetting;
TzLocationSetting TmpSetting;
TzLocationSetting LogSetting;
TzLocationSetting LangSetting;
TzLocationSetting XmlSetting;
TzLocationSetting DocSetting;

QString ConfDir;
QString DataDir;
QString TmpDir;
QString LogDir;
QString LangDir;
QString XmlDir;
QString DocDir;

namespace {

const QString kIniName = QStringLiteral("korvel.ini");
constexpr qsizetype kExpandBufferSize = 512;

std::unique_ptr<CKorvelConfig> g_korvelConfig;

QString SubFolder(const QString &base, const char *name) {
    return base + QLatin1String(name) + PathSeparator();
}

QString DefaultPath(Location location) {
    switch (location) {
    case Location::Data:
        return SubFolder(ExeDir, "Data");
    case Location::Lang:
        return SubFolder(ExeDir, "Lang");
    case Location::Doc:
        return SubFolder(ExeDir, "Doc");
    case Location::TMP:
        return KorvelConfig ? KorvelConfig->InternalBufDir() : QString();
    case Location::ConfigFile:
    case Location::Conf:
    case Location::Log:
    case Location::XML:
        break;
    }
    return ExeDir;
}

// Both stay empty without a host name; the address is the first IPv4 one that is not loopback.
void LookUpHost() {
    PcName = QHostInfo::localHostName();
    PcIp.clear();
    if (PcName.isEmpty())
        return;
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            PcIp = address.toString();
            return;
        }
    }
}

TzLocationSetting ReadSystemSetting(const QString &systemSource) {
#ifdef Q_OS_WIN
    const QSettings registry(systemSource, QSettings::NativeFormat);
    const QString type = registry.value(QStringLiteral("LocationType")).toString();
    const QString base = registry.value(QStringLiteral("BasePath")).toString();
#else
    const TIniFile ini(systemSource);
    const QString section = QStringLiteral("KORVEL_PRO");
    const QString type = ini.ReadString(section, QStringLiteral("LocationType"), QString());
    const QString base = ini.ReadString(section, QStringLiteral("BasePath"), QString());
#endif
    return {base, LocationKindFromText(type)};
}

// An empty path names no folder and is not created.
bool CreateFolder(const QString &path) {
    return !path.isEmpty() && QDir().mkpath(path);
}

QString ResolveFolder(Location location, const TzLocationSetting &setting, bool create) {
    const QString path = ResolveLocation(location, setting.Text, setting.Kind);
    if (create)
        CreateFolder(path);
    return path;
}

void OpenConfigFile() {
    const QString exeIni = ExeDir + kIniName;
    IniFileName =
        ResolveLocation(Location::ConfigFile, IniSetting.Text, IniSetting.Kind) + kIniName;
    if (!CreateFolder(QFileInfo(IniFileName).path()))
        IniFileName = exeIni;

    g_korvelConfig = std::make_unique<CKorvelConfig>(IniFileName, false);
    KorvelConfig = g_korvelConfig.get();

    if (!KorvelConfig->ConfFileExist() && IniFileName != exeIni) {
        const CKorvelConfig older(exeIni, true);
        if (older.ConfFileExist())
            KorvelConfig->WriteFileFromIni(older);
    }
}

void ResolveFolders() {
    const CKorvelConfig &config = *KorvelConfig;
    const bool create = config.ConfFileExist();

    ConfSetting = {config.ConfLocation(), LocationKindFromText(config.ConfLocationType())};
    ConfDir = ResolveLocation(Location::Conf, ConfSetting.Text, ConfSetting.Kind);
    if (!create || !CreateFolder(ConfDir)) {
        ConfDir = DefaultPath(Location::Conf);
        if (create)
            CreateFolder(ConfDir);
    }

    DataSetting = {config.DataLocation(), LocationKindFromText(config.DataLocationType())};
    DataDir = ResolveFolder(Location::Data, DataSetting, create);

    TmpSetting.Kind = LocationKindFromText(config.TMPLocationType());
    TmpSetting.Text =
        TmpSetting.Kind == LocationKind::Default ? config.InternalBufDir() : config.TMPLocation();
    TmpDir = ResolveLocation(Location::TMP, TmpSetting.Text, TmpSetting.Kind);
    if (TmpDir.isEmpty())
        TmpDir = QStringLiteral("temp") + PathSeparator();
    if (create)
        CreateFolder(TmpDir);

    LogSetting = {config.LogLocation(), LocationKindFromText(config.LogLocationType())};
    LogDir = ResolveFolder(Location::Log, LogSetting, create);
    LangSetting = {config.LangLocation(), LocationKindFromText(config.LangLocationType())};
    LangDir = ResolveFolder(Location::Lang, LangSetting, create);
    XmlSetting = {config.XMLLocation(), LocationKindFromText(config.XMLLocationType())};
    XmlDir = ResolveFolder(Location::XML, XmlSetting, create);
    DocSetting = {config.DocLocation(), LocationKindFromText(config.DocLocationType())};
    DocDir = ResolveFolder(Location::Doc, DocSetting, create);
}

} // namespace

LocationKind LocationKindFromText(const QString &text) {
    if (text == QLatin1String("static"))
        return LocationKind::Static;
    if (text == QLatin1String("pcname"))
        return LocationKind::PcName;
    if (text == QLatin1String("pcip"))
        return LocationKind::PcIp;
    if (text == QLatin1String("environment"))
        return LocationKind::Environment;
    if (text == QLatin1String("user"))
        return LocationKind::User;
    return LocationKind::Default;
}

QString ExpandEnvironmentText(const QString &text) {
    QString result;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            result += text.mid(pos);
            break;
        }
        result += text.mid(pos, open - pos);
        const QString name = text.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && qEnvironmentVariableIsSet(name.toLocal8Bit().constData()))
            result += qEnvironmentVariable(name.toLocal8Bit().constData());
        else
            result += text.mid(open, close - open + 1);
        pos = close + 1;
    }
    return result.size() < kExpandBufferSize ? result : text;
}

QString UserFamilyFolder() {
#ifdef Q_OS_WIN
    return ExpandEnvironmentText(QStringLiteral("%APPDATA%\\Solvar\\"));
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Solvar/");
#endif
}

QString ResolveLocation(Location location, const QString &configured, LocationKind kind) {
    switch (kind) {
    case LocationKind::Static:
        return configured;
    case LocationKind::PcName:
        return configured + PcName + PathSeparator();
    case LocationKind::PcIp:
        return configured + PcIp + PathSeparator();
    case LocationKind::Environment:
        return ExpandEnvironmentText(configured);
    case LocationKind::User:
        return CombinePath(UserFamilyFolder(), configured);
    case LocationKind::Default:
        break;
    }
    return DefaultPath(location);
}

QString SystemLocationSource() {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\SOLVAR\\KORVEL_PRO");
#else
    return QStringLiteral("/etc/solvar/korvel_pro.ini");
#endif
}

void InitLocationsIn(const QString &exeDir, const QString &systemSource) {
    ExeDir = exeDir;
    LookUpHost();
    IniSetting = ReadSystemSetting(systemSource);
    KorvelConfig = nullptr;
    g_korvelConfig.reset();
    OpenConfigFile();
    ResolveFolders();
}

void InitLocations() {
    QString exeDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!exeDir.endsWith(PathSeparator()))
        exeDir += PathSeparator();
    InitLocationsIn(exeDir, SystemLocationSource());
}
