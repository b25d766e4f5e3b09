#pragma once

#include "korvel_ini_files.h"

#include <QString>

#include <memory>

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

// Where the configuration file and the family's standard folders are, as InitLocations found
// them; folder paths end in a separator. Nothing in the panel reads them yet: resolving them
// migrates an older configuration file and creates the folders.
struct TzLocations {
    QString ExeDir; // the program's folder
    QString PcName;
    QString PcIp; // the first IPv4 address that is not loopback, or empty
    QString IniFileName;
    std::unique_ptr<CKorvelConfig> KorvelConfig; // the configuration file, opened

    QString ConfDir;
    QString DataDir;
    QString TmpDir;
    QString LogDir;
    QString LangDir;
    QString XmlDir;
    QString DocDir;
};

// The folder a configured location text names, for a program in at.ExeDir on the host
// at.PcName/at.PcIp; the default kind takes the location's own default folder.
QString ResolveLocation(const TzLocations &at, Location location, const QString &configured,
                        LocationKind kind);

// The system-wide place that names the configuration file's location: on Windows the registry key
// HKLM\SOFTWARE\SOLVAR\KORVEL_PRO, elsewhere the ini file /etc/solvar/korvel_pro.ini with the
// values in its section [KORVEL_PRO].
QString SystemLocationSource();

// Resolves the configuration file and the standard folders, migrates an older configuration file
// from the program's folder and creates the folders. Runs once at start-up, before any window.
TzLocations InitLocations();
// The same with the program's folder (ending in a separator) and the system-wide place given.
TzLocations InitLocationsIn(const QString &exeDir, const QString &systemSource);
