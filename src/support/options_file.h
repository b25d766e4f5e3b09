#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <functional>

// The panel's options file: an XML document with the root element "options" shared by several
// writers. Each writer loads the whole document, changes only its own elements and saves it.

// False when the file is missing, unreadable, not XML or not an options document.
bool ReadOptionsFile(const QString &path, QDomDocument &document);

// Loads the file (or starts a new document when there is none), lets change() edit the root and
// saves it. A file that exists but is not an options document is left untouched: false.
bool UpdateOptionsFile(const QString &path, const std::function<void(QDomElement &root)> &change);

// The first child element of that name, added when there is none.
QDomElement OptionsChild(QDomElement &parent, const QString &name);
