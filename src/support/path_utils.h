#pragma once

#include <QString>

// The folder separator of this platform: '\' on Windows, '/' elsewhere.
QChar PathSeparator();

// True for a path that names its own root: two leading separators (a network share), on Windows
// a drive ("C:..."), elsewhere a leading '/'.
bool IsAbsolutePath(const QString &path);

// Applies a relative path to a base folder, resolving "." and ".." by text alone (the file
// system is not consulted). An empty or absolute relative path is returned as given; the result
// ends in a separator exactly when the relative path does. The rules are those of the family's
// Windows programs with '\' as separator; here the native separator takes its place, a drive
// letter counts only on Windows, and on Linux a leading '/' is a root that ".." never removes.
QString CombinePath(const QString &base, const QString &relative);
