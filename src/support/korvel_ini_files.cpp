#include "korvel_ini_files.h"

#include "path_utils.h"

#include <QFileInfo>

namespace {

const QString kPath = QStringLiteral("Path");
const QString kDefaultKind = QStringLiteral("default");

// ".\Name\" with this platform's separator.
QString DotFolder(const char *name) {
    const QChar sep = PathSeparator();
    return QLatin1Char('.') + sep + QLatin1String(name) + sep;
}

// The Windows read-only attribute has no owner, so a file without its owner's write bit counts
// as read-only even for root, who could still write it.
bool IsReadOnlyFile(const QString &fileName) {
    const QFileInfo info(fileName);
    return !info.isWritable() || !info.permissions().testFlag(QFileDevice::WriteOwner);
}

} // namespace

CConfigFile::CConfigFile(const QString &FileName, bool ReadOnly) : TIniFile(FileName) {
    m_FileExist = QFileInfo::exists(FileName);
    m_ReadOnly = ReadOnly || (m_FileExist && IsReadOnlyFile(FileName));
}

void CConfigFile::Clear() {
    if (m_ReadOnly)
        return;
    for (const QString &section : ReadSections())
        EraseSection(section);
}

bool CConfigFile::WriteString(const QString &Section, const QString &Ident, const QString &Value) {
    if (m_ReadOnly)
        return false;
    if (!TIniFile::WriteString(Section, Ident, Value)) {
        m_ReadOnly = true;
        return false;
    }
    m_FileExist = true;
    return true;
}

bool CConfigFile::EraseSection(const QString &Section) {
    if (m_ReadOnly)
        return false;
    if (!TIniFile::EraseSection(Section)) {
        m_ReadOnly = true;
        return false;
    }
    return true;
}

bool CConfigFile::UpdateFile() {
    if (m_ReadOnly)
        return false;
    if (!TIniFile::UpdateFile()) {
        m_ReadOnly = true;
        return false;
    }
    m_FileExist = QFileInfo::exists(FileName());
    return true;
}

bool CConfigFile::WriteFileFromIni(const TIniFile &ini) {
    if (m_ReadOnly)
        return false;
    for (const QString &section : ini.ReadSections()) {
        for (const QString &ident : ini.ReadSection(section)) {
            WriteString(section, ident, ini.ReadString(section, ident, QString()));
            if (m_ReadOnly)
                return false;
        }
    }
    UpdateFile();
    return true;
}

QString CKorvelConfig::ConfLocation() const {
    return ReadString(kPath, QStringLiteral("ConfLocation"), QString());
}
void CKorvelConfig::SetConfLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("ConfLocation"), value);
}
QString CKorvelConfig::ConfLocationType() const {
    return ReadString(kPath, QStringLiteral("ConfLocationType"), kDefaultKind);
}
void CKorvelConfig::SetConfLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("ConfLocationType"), value);
}
QString CKorvelConfig::DataLocation() const {
    return ReadString(kPath, QStringLiteral("DataLocation"), DotFolder("Data"));
}
void CKorvelConfig::SetDataLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("DataLocation"), value);
}
QString CKorvelConfig::DataLocationType() const {
    return ReadString(kPath, QStringLiteral("DataLocationType"), kDefaultKind);
}
void CKorvelConfig::SetDataLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("DataLocationType"), value);
}
QString CKorvelConfig::TMPLocation() const {
    return ReadString(kPath, QStringLiteral("TMPLocation"), DotFolder("TMP"));
}
void CKorvelConfig::SetTMPLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("TMPLocation"), value);
}
QString CKorvelConfig::TMPLocationType() const {
    return ReadString(kPath, QStringLiteral("TMPLocationType"), kDefaultKind);
}
void CKorvelConfig::SetTMPLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("TMPLocationType"), value);
}
QString CKorvelConfig::LogLocation() const {
    return ReadString(kPath, QStringLiteral("LogLocation"), QString());
}
void CKorvelConfig::SetLogLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("LogLocation"), value);
}
QString CKorvelConfig::LogLocationType() const {
    return ReadString(kPath, QStringLiteral("LogLocationType"), kDefaultKind);
}
void CKorvelConfig::SetLogLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("LogLocationType"), value);
}
QString CKorvelConfig::LangLocation() const {
    return ReadString(kPath, QStringLiteral("LangLocation"), DotFolder("Lang"));
}
void CKorvelConfig::SetLangLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("LangLocation"), value);
}
QString CKorvelConfig::LangLocationType() const {
    return ReadString(kPath, QStringLiteral("LangLocationType"), kDefaultKind);
}
void CKorvelConfig::SetLangLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("LangLocationType"), value);
}
QString CKorvelConfig::XMLLocation() const {
    return ReadString(kPath, QStringLiteral("XMLLocation"), QString());
}
void CKorvelConfig::SetXMLLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("XMLLocation"), value);
}
QString CKorvelConfig::XMLLocationType() const {
    return ReadString(kPath, QStringLiteral("XMLLocationType"), kDefaultKind);
}
void CKorvelConfig::SetXMLLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("XMLLocationType"), value);
}
QString CKorvelConfig::DocLocation() const {
    return ReadString(kPath, QStringLiteral("DocLocation"), DotFolder("Doc"));
}
void CKorvelConfig::SetDocLocation(const QString &value) {
    WriteString(kPath, QStringLiteral("DocLocation"), value);
}
QString CKorvelConfig::DocLocationType() const {
    return ReadString(kPath, QStringLiteral("DocLocationType"), kDefaultKind);
}
void CKorvelConfig::SetDocLocationType(const QString &value) {
    WriteString(kPath, QStringLiteral("DocLocationType"), value);
}
QString CKorvelConfig::InternalBufDir() const {
    return ReadString(QStringLiteral("BufPth"), QStringLiteral("BufDir"), QString());
}
void CKorvelConfig::SetInternalBufDir(const QString &value) {
    WriteString(QStringLiteral("BufPth"), QStringLiteral("BufDir"), value);
}
QString CKorvelConfig::CSOIp() const {
    return ReadString(QStringLiteral("SrvLog"), QStringLiteral("SrvAddr"),
                      QStringLiteral("127.0.0.1"));
}
void CKorvelConfig::SetCSOIp(const QString &value) {
    WriteString(QStringLiteral("SrvLog"), QStringLiteral("SrvAddr"), value);
}
bool CKorvelConfig::IsFireMode() const {
    return ReadBool(QStringLiteral("FireMode"), QStringLiteral("on"), false);
}
void CKorvelConfig::SetIsFireMode(bool value) {
    WriteBool(QStringLiteral("FireMode"), QStringLiteral("on"), value);
}
