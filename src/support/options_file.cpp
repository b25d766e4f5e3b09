#include "options_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>

namespace {

const QString kRoot = QStringLiteral("options");
const QString kFileName = QStringLiteral("Options.xml");

// A streaming pass: it keeps no tree, so any depth is safe to look at. The reader decodes the
// bytes by their byte-order mark or declared encoding, as the DOM parser does after it.
bool WellFormedWithinDepth(const QByteArray &bytes) {
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxOptionsDepth)
            return false;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return !reader.hasError();
}

// Owner-only from the start: the temporary file gets the mode before the secrets go in, and
// the rename keeps it, whatever rights an earlier file had.
bool WriteOwnerOnly(const QString &path, const QByteArray &bytes, QString &failure) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (file.write(bytes) == bytes.size() && file.commit())
            return true;
    }
    failure = QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.errorString();
    return false;
}

TzOptionsSave Failed(const QString &failure) {
    TzOptionsSave save;
    save.Failure = failure;
    return save;
}

TzOptionsSave StoredIn(const QString &path, const QString &failure = QString()) {
    TzOptionsSave save;
    save.Stored = true;
    save.StoredIn = path;
    save.Failure = failure;
    return save;
}

} // namespace

bool ReadOptionsFile(const QString &path, QDomDocument &document) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxOptionsFileBytes)
        return false;
    const QByteArray bytes = file.readAll();
    if (!WellFormedWithinDepth(bytes))
        return false;
    QDomDocument loaded;
    if (!loaded.setContent(bytes) || loaded.documentElement().tagName() != kRoot)
        return false;
    document = loaded;
    return true;
}

QByteArray OptionsFileBytes(QDomDocument document) {
    const QDomNode first = document.firstChild();
    if (first.isProcessingInstruction() && first.toProcessingInstruction().target() == "xml")
        document.removeChild(first);
    document.insertBefore(
        document.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"UTF-8\""),
        document.firstChild());
    return document.toByteArray(2); // always UTF-8, whatever the old declaration said
}

TzOptionsFile::TzOptionsFile(const QString &programDir, const QString &userDir)
    : m_programDir(programDir), m_userDir(userDir) {}

QString TzOptionsFile::ProgramFile() const {
    return QDir(m_programDir).filePath(kFileName);
}

QString TzOptionsFile::UserFile() const {
    return m_userDir.isEmpty() ? QString() : QDir(m_userDir).filePath(kFileName);
}

QString TzOptionsFile::Path() const {
    const QString user = UserFile();
    return !user.isEmpty() && QFile::exists(user) ? user : ProgramFile();
}

bool TzOptionsFile::Read(QDomDocument &document) const {
    return ReadOptionsFile(Path(), document);
}

TzOptionsSave TzOptionsFile::Update(const std::function<void(QDomElement &root)> &change) const {
    const QString path = Path();
    QDomDocument document;
    if (QFile::exists(path)) {
        if (!ReadOptionsFile(path, document))
            return Failed(QDir::toNativeSeparators(path) +
                          QStringLiteral(": не файл настроек, он не перезаписывается"));
    } else {
        document.appendChild(document.createElement(kRoot));
    }
    QDomElement root = document.documentElement();
    change(root);
    const QByteArray bytes = OptionsFileBytes(document);

    QString failure;
    if (WriteOwnerOnly(path, bytes, failure))
        return StoredIn(path);
    const QString user = UserFile();
    if (path == user || user.isEmpty())
        return Failed(failure);
    QString userFailure;
    if (!QDir().mkpath(m_userDir))
        userFailure = QDir::toNativeSeparators(m_userDir) + QStringLiteral(": папка не создана");
    else if (WriteOwnerOnly(user, bytes, userFailure))
        return StoredIn(user, failure);
    return Failed(failure + QStringLiteral("; ") + userFailure);
}

QDomElement OptionsChild(QDomElement &parent, const QString &name) {
    QDomElement child = parent.firstChildElement(name);
    if (child.isNull())
        child = parent.appendChild(parent.ownerDocument().createElement(name)).toElement();
    return child;
}
