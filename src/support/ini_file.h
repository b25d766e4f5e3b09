#pragma once

#include <QString>
#include <QStringList>

// An ini file read and written line by line with the rules of the Windows private-profile
// functions, so that files shared with the family's Windows programs keep their shape: section and
// key names match case-insensitively, values are taken verbatim (no escapes; one pair of enclosing
// quotes is dropped on reading), the first of duplicate sections wins, new keys go to the end of
// their section and new sections to the end of the file, every other line is kept as it is.
// Nothing is cached: every read parses the file, every write rewrites it in place, so the file
// appears with the first write and a symbolic link stays a link.
class TIniFile {
public:
    explicit TIniFile(const QString &fileName);
    virtual ~TIniFile() = default;

    const QString &FileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &ident,
                       const QString &defaultValue) const;
    // Decimal text; anything else gives the default.
    int ReadInteger(const QString &section, const QString &ident, int defaultValue) const;
    // Non-zero integer text is true.
    bool ReadBool(const QString &section, const QString &ident, bool defaultValue) const;
    // Section names in file order, each once.
    QStringList ReadSections() const;
    // Key names of a section in file order.
    QStringList ReadSection(const QString &section) const;

    // Each returns false when the file could not be read or written.
    virtual bool WriteString(const QString &section, const QString &ident, const QString &value);
    bool WriteInteger(const QString &section, const QString &ident, int value);
    bool WriteBool(const QString &section, const QString &ident, bool value);
    // Removes every section of that name with its keys; a missing file stays missing.
    virtual bool EraseSection(const QString &section);
    // Writes go straight to the file, so there is nothing left to flush.
    virtual bool UpdateFile() { return true; }

private:
    bool LoadLines(QStringList &lines) const;
    bool SaveLines(const QStringList &lines) const;

    QString m_fileName;
};
