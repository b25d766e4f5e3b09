#include "options_file.h"

#include <QFile>
#include <QSaveFile>

namespace {

const QString kRoot = QStringLiteral("options");

} // namespace

bool ReadOptionsFile(const QString &path, QDomDocument &document) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDomDocument loaded;
    if (!loaded.setContent(&file) || loaded.documentElement().tagName() != kRoot)
        return false;
    document = loaded;
    return true;
}

bool UpdateOptionsFile(const QString &path, const std::function<void(QDomElement &root)> &change) {
    QDomDocument document;
    if (QFile::exists(path)) {
        if (!ReadOptionsFile(path, document))
            return false;
    } else {
        document.appendChild(
            document.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"UTF-8\""));
        document.appendChild(document.createElement(kRoot));
    }
    QDomElement root = document.documentElement();
    change(root);

    // Written whole and replaced at once, so a crash never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(document.toByteArray(2));
    return file.commit();
}

QDomElement OptionsChild(QDomElement &parent, const QString &name) {
    QDomElement child = parent.firstChildElement(name);
    if (child.isNull())
        child = parent.appendChild(parent.ownerDocument().createElement(name)).toElement();
    return child;
}
