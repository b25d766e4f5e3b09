#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <functional>

// The panel's options file: an XML document with the root element "options" shared by several
// writers. Each writer loads the whole document, changes only its own elements and saves it.
// A file is read in whatever encoding it declares and written back as UTF-8 under a UTF-8
// declaration. It holds the proxy password and the web key, so only its owner may read it.

// Options files nest three levels; a hostile file nested thousands deep would exhaust the stack
// of the DOM code that writes it back, so a deeper file is refused as not valid.
inline constexpr int kMaxOptionsDepth = 32;
// Far above any options file; keeps a huge file from being read into memory.
inline constexpr qint64 kMaxOptionsFileBytes = 1024 * 1024;

// False when the file is missing, unreadable, too large or too deep, not XML, in an encoding
// this Qt cannot decode, or not an options document.
bool ReadOptionsFile(const QString &path, QDomDocument &document);

// The UTF-8 text of a document, its XML declaration (if any) replaced by a UTF-8 one.
QByteArray OptionsFileBytes(QDomDocument document);

// What one save did.
struct TzOptionsSave {
    bool Stored = false; // the change is in a file
    QString StoredIn;    // that file
    QString Failure;     // why a file could not be written; also set when a fallback took it
};

// Where the options live. The file next to the program is used while the program's folder can
// be written. Where it cannot (an installed program), the options go to the user's
// configuration folder, and once a copy is there it is read and written first.
class TzOptionsFile {
public:
    TzOptionsFile(const QString &programDir, const QString &userDir);

    QString ProgramFile() const;
    QString UserFile() const; // empty when there is no user configuration folder
    QString Path() const;     // the file read: the user's copy when there is one

    bool Read(QDomDocument &document) const;

    // Loads the file (or starts a new document when there is none), lets change() edit the root
    // and saves it, owner-only, falling back to the user's copy when the program's folder
    // refuses the write. A file that exists but is not an options document is left untouched.
    TzOptionsSave Update(const std::function<void(QDomElement &root)> &change) const;

private:
    QString m_programDir;
    QString m_userDir;
};

// The first child element of that name, added when there is none.
QDomElement OptionsChild(QDomElement &parent, const QString &name);
