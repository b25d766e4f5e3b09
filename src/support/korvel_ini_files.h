#pragma once

#include "ini_file.h"

// An ini file that never fails loudly: the first write, erase or flush that fails switches the
// object to read-only for good, and from then on they all do nothing.
class CConfigFile : public TIniFile {
public:
    // Also read-only when the file exists but is not writable (a symbolic link counts as its
    // target).
    CConfigFile(const QString &FileName, bool ReadOnly);

    bool readonly() const { return m_ReadOnly; }
    bool ConfFileExist() const { return m_FileExist; }

    virtual bool IsDeprecated() { return false; }
    virtual void convert() {}
    // Erases every section the file lists.
    virtual void Clear();
    virtual void WriteDefaultConfig() = 0;

    bool WriteString(const QString &Section, const QString &Ident, const QString &Value) override;
    bool EraseSection(const QString &Section) override;
    bool UpdateFile() override;

    // Copies every key of ini, section by section and key by key in ini's order, then flushes.
    // False when this file is or becomes read-only on the way.
    bool WriteFileFromIni(const TIniFile &ini);

private:
    bool m_ReadOnly = false;
    bool m_FileExist = false;
};

// The family's shared configuration file "korvel.ini".
class CKorvelConfig : public CConfigFile {
public:
    using CConfigFile::CConfigFile;

    void WriteDefaultConfig() override {}

    QString ConfLocation() const;
    void SetConfLocation(const QString &value);
    QString ConfLocationType() const;
    void SetConfLocationType(const QString &value);
    QString DataLocation() const;
    void SetDataLocation(const QString &value);
    QString DataLocationType() const;
    void SetDataLocationType(const QString &value);
    QString TMPLocation() const;
    void SetTMPLocation(const QString &value);
    QString TMPLocationType() const;
    void SetTMPLocationType(const QString &value);
    QString LogLocation() const;
    void SetLogLocation(const QString &value);
    QString LogLocationType() const;
    void SetLogLocationType(const QString &value);
    QString LangLocation() const;
    void SetLangLocation(const QString &value);
    QString LangLocationType() const;
    void SetLangLocationType(const QString &value);
    QString XMLLocation() const;
    void SetXMLLocation(const QString &value);
    QString XMLLocationType() const;
    void SetXMLLocationType(const QString &value);
    QString DocLocation() const;
    void SetDocLocation(const QString &value);
    QString DocLocationType() const;
    void SetDocLocationType(const QString &value);
    QString InternalBufDir() const;
    void SetInternalBufDir(const QString &value);
    QString CSOIp() const;
    void SetCSOIp(const QString &value);
    bool IsFireMode() const;
    void SetIsFireMode(bool value);
};
