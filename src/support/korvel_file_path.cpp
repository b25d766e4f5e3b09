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

namespace {

const QString kIniName = QStringLiteral("korvel.ini");
constexpr qsizetype kExpandBufferSize = 512;

QString SubFolder(const QString &base, const char *name) {
    return base + QLatin1String(name) + PathSeparator();
}

QString DefaultPath(const TzLocations &at, Location location) {
    switch (location) {
    case Location::Data:
        return SubFolder(at.ExeDir, "Data");
    case Location::Lang:
        return SubFolder(at.ExeDir, "Lang");
    case Location::Doc:
        return SubFolder(at.ExeDir, "Doc");
    case Location::TMP:
        return at.KorvelConfig ? at.KorvelConfig->InternalBufDir() : QString();
    case Location::ConfigFile:
    case Location::Conf:
    case Location::Log:
    case Location::XML:
        break;
    }
    return at.ExeDir;
}

// Both stay empty without a host name; the address is the first IPv4 one that is not loopback.
void LookUpHost(TzLocations &at) {
    at.PcName = QHostInfo::localHostName();
    at.PcIp.clear();
    if (at.PcName.isEmpty())
        return;
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            at.PcIp = address.toString();
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

QString ResolveFolder(const TzLocations &at, Location location, const QString &text,
                      const QString &kindText, bool create) {
    const QString path = ResolveLocation(at, location, text, LocationKindFromText(kindText));
    if (create)
        CreateFolder(path);
    return path;
}

void OpenConfigFile(TzLocations &at, const TzLocationSetting &iniSetting) {
    const QString exeIni = at.ExeDir + kIniName;
    at.IniFileName =
        ResolveLocation(at, Location::ConfigFile, iniSetting.Text, iniSetting.Kind) + kIniName;
    if (!CreateFolder(QFileInfo(at.IniFileName).path()))
        at.IniFileName = exeIni;

    at.KorvelConfig = std::make_unique<CKorvelConfig>(at.IniFileName, false);
    if (!at.KorvelConfig->ConfFileExist() && at.IniFileName != exeIni) {
        const CKorvelConfig older(exeIni, true);
        if (older.ConfFileExist())
            at.KorvelConfig->WriteFileFromIni(older);
    }
}

void ResolveFolders(TzLocations &at) {
    const CKorvelConfig &config = *at.KorvelConfig;
    const bool create = config.ConfFileExist();

    at.ConfDir = ResolveLocation(at, Location::Conf, config.ConfLocation(),
                                 LocationKindFromText(config.ConfLocationType()));
    if (!create || !CreateFolder(at.ConfDir)) {
        at.ConfDir = DefaultPath(at, Location::Conf);
        if (create)
            CreateFolder(at.ConfDir);
    }

    at.DataDir =
        ResolveFolder(at, Location::Data, config.DataLocation(), config.DataLocationType(), create);

    const LocationKind tmpKind = LocationKindFromText(config.TMPLocationType());
    const QString tmpText =
        tmpKind == LocationKind::Default ? config.InternalBufDir() : config.TMPLocation();
    at.TmpDir = ResolveLocation(at, Location::TMP, tmpText, tmpKind);
    if (at.TmpDir.isEmpty())
        at.TmpDir = QStringLiteral("temp") + PathSeparator();
    if (create)
        CreateFolder(at.TmpDir);

    at.LogDir =
        ResolveFolder(at, Location::Log, config.LogLocation(), config.LogLocationType(), create);
    at.LangDir =
        ResolveFolder(at, Location::Lang, config.LangLocation(), config.LangLocationType(), create);
    at.XmlDir =
        ResolveFolder(at, Location::XML, config.XMLLocation(), config.XMLLocationType(), create);
    at.DocDir =
        ResolveFolder(at, Location::Doc, config.DocLocation(), config.DocLocationType(), create);
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

QString ResolveLocation(const TzLocations &at, Location location, const QString &configured,
                        LocationKind kind) {
    switch (kind) {
    case LocationKind::Static:
        return configured;
    case LocationKind::PcName:
        return configured + at.PcName + PathSeparator();
    case LocationKind::PcIp:
        return configured + at.PcIp + PathSeparator();
    case LocationKind::Environment:
        return ExpandEnvironmentText(configured);
    case LocationKind::User:
        return CombinePath(UserFamilyFolder(), configured);
    case LocationKind::Default:
        break;
    }
    return DefaultPath(at, location);
}

QString SystemLocationSource() {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\SOLVAR\\KORVEL_PRO");
#else
    return QStringLiteral("/etc/solvar/korvel_pro.ini");
#endif
}

TzLocations InitLocationsIn(const QString &exeDir, const QString &systemSource) {
    TzLocations at;
    at.ExeDir = exeDir;
    LookUpHost(at);
    OpenConfigFile(at, ReadSystemSetting(systemSource));
    ResolveFolders(at);
    return at;
}

TzLocations InitLocations() {
    QString exeDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!exeDir.endsWith(PathSeparator()))
        exeDir += PathSeparator();
    return InitLocationsIn(exeDir, SystemLocationSource());
}
