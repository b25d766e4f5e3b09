#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

// The descendant of that class and object name, as a view names its widgets; a test that
// looks for one that is not there ends at once, naming it.
template <class T> T *Child(const QObject &parent, const char *name) {
    T *child = parent.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return child;
}
