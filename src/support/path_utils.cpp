#include "path_utils.h"

#include <QDir>
#include <QStringList>

namespace {

bool StartsWithTwoSeparators(const QString &path) {
    return path.size() > 1 && path[0] == PathSeparator() && path[1] == PathSeparator();
}

bool HasDrive(const QString &path) {
#ifdef Q_OS_WIN
    return path.size() > 1 && path[1] == QLatin1Char(':');
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A drive or a share server is the first component and ".." never removes it. A Unix root has
// no component of its own: it comes back as the leading separator when the result is joined.
bool HasProtectedFirstComponent(const QString &path) {
    return HasDrive(path) || StartsWithTwoSeparators(path);
}

} // namespace

QChar PathSeparator() {
    return QDir::separator();
}

bool IsAbsolutePath(const QString &path) {
    if (HasProtectedFirstComponent(path))
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    return path.startsWith(PathSeparator());
#endif
}

QString CombinePath(const QString &base, const QString &relative) {
    if (relative.isEmpty())
        return base;
    if (IsAbsolutePath(relative))
        return relative;

    const QChar sep = PathSeparator();
    QStringList parts = base.split(sep, Qt::SkipEmptyParts);
    const int keep = HasProtectedFirstComponent(base) ? 1 : 0;

    const bool trailingSeparator = relative.endsWith(sep);
    for (const QString &part : relative.split(sep, Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (parts.size() > keep)
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }

    QString result;
    for (const QString &part : parts)
        result += part + sep;
    if (!trailingSeparator && !result.isEmpty())
        result.chop(1);

    if (base.startsWith(sep))
        result.prepend(sep);
    if (base.size() > 1 && base[1] == sep)
        result.prepend(sep);
    return result;
}
