#pragma once

#include <QString>

class CKorvelConfig;

// How a configured location text is turned into a folder; chosen by the text of a
// "...LocationType" key, compared exactly.
enum class LocationKind { Default, Static, PcName, PcIp, Environment, User };

// The places the family keeps; each has its own default folder.
enum class Location { ConfigFile, Data, Conf, TMP, Log, Lang, XML, Doc };

// A folder as the configuration file gives it, and where it resolved to.
struct TzLocationSetting {
    QString Text;
    LocationKind Kind = LocationKind::Default;
};

// "static", "pcname", "pcip", "environment", "user"; any other text is the default kind.
LocationKind LocationKindFromText(const QString &text);

// Replaces every %NAME% with the environment variable of that name; unknown names stay as they
// are. A result of 512 characters or more leaves the text unchanged.
QString ExpandEnvironmentText(const QString &text);

// The user's own folder of the family, ending in a separator.
QString UserFamilyFolder();

QString ResolveLocation(Location location, const QString &configured, LocationKind kind);

// The system-wide place that names the configuration file's location: on Windows the registry key
// HKLM\SOFTWARE\SOLVAR\KORVEL_PRO, elsewhere the ini file /etc/solvar/korvel_pro.ini with the
// values in its section [KORVEL_PRO].
QString SystemLocationSource();

// Resolves the configuration file and the standard folders, migrates an older configuration file
// from the program's folder and creates the folders. Runs once at start-up, before any window.
void InitLocations();
// The same with the program's folder (ending in a separator) and the system-wide place given.
void InitLocationsIn(const QString &exeDir, const QString &systemSource);

// Process-wide results of InitLocations; paths end in a separator.
extern QString ExeDir;
extern QString PcName;
extern QString PcIp;
extern QString IniFileName;
extern CKorvelConfig *KorvelConfig;

extern TzLocationSetting IniSetting;
extern TzLocationSetting ConfSetting;
extern TzLocationSetting DataSetting;
extern TzLocationSetting TmpSetting;
extern TzLocationSetting LogSetting;
extern TzLocationSetting LangSetting;
extern TzLocationSetting XmlSetting;
extern TzLocationSetting DocSetting;

extern QString ConfDir;
extern QString DataDir;
extern QString TmpDir;
extern QString LogDir;
extern QString LangDir;
extern QString XmlDir;
extern QString DocDir;
