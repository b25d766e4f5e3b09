#include "ini_file.h"

#include <QFile>
#include <QSet>

#include <optional>

namespace {

std::optional<QString> SectionOf(const QString &line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

std::optional<QString> KeyOf(const QString &line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char(';')) || SectionOf(line))
        return std::nullopt;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    return line.left(equals).trimmed();
}

QString ValueOf(const QString &line) {
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return value;
}

bool SameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

qsizetype FindSection(const QStringList &lines, const QString &section) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i]);
        if (name && SameName(*name, section))
            return i;
    }
    return -1;
}

// The line after the last line of the section that starts at header.
qsizetype SectionEnd(const QStringList &lines, qsizetype header) {
    qsizetype end = header + 1;
    while (end < lines.size() && !SectionOf(lines[end]))
        ++end;
    return end;
}

qsizetype FindKey(const QStringList &lines, qsizetype header, const QString &ident) {
    const qsizetype end = SectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto key = KeyOf(lines[i]);
        if (key && SameName(*key, ident))
            return i;
    }
    return -1;
}

const char *LineEnd() {
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

} // namespace

TIniFile::TIniFile(const QString &fileName) : m_fileName(fileName) {}

QString TIniFile::ReadString(const QString &section, const QString &ident,
                             const QString &defaultValue) const {
    QStringList lines;
    LoadLines(lines);
    const qsizetype header = FindSection(lines, section);
    if (header < 0)
        return defaultValue;
    const qsizetype line = FindKey(lines, header, ident);
    return line < 0 ? defaultValue : ValueOf(lines[line]);
}

int TIniFile::ReadInteger(const QString &section, const QString &ident, int defaultValue) const {
    bool ok = false;
    const int value = ReadString(section, ident, QString()).toInt(&ok);
    return ok ? value : defaultValue;
}

bool TIniFile::ReadBool(const QString &section, const QString &ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

QStringList TIniFile::ReadSections() const {
    QStringList lines;
    LoadLines(lines);
    QStringList sections;
    QSet<QString> seen;
    for (const QString &line : lines) {
        const auto name = SectionOf(line);
        if (name && !seen.contains(name->toLower())) {
            seen.insert(name->toLower());
            sections.append(*name);
        }
    }
    return sections;
}

QStringList TIniFile::ReadSection(const QString &section) const {
    QStringList lines;
    LoadLines(lines);
    QStringList keys;
    const qsizetype header = FindSection(lines, section);
    if (header < 0)
        return keys;
    const qsizetype end = SectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (const auto key = KeyOf(lines[i]))
            keys.append(*key);
    }
    return keys;
}

bool TIniFile::WriteString(const QString &section, const QString &ident, const QString &value) {
    QStringList lines;
    if (!LoadLines(lines))
        return false;
    const qsizetype header = FindSection(lines, section);
    if (header < 0) {
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines.append(ident + QLatin1Char('=') + value);
        return SaveLines(lines);
    }
    const qsizetype line = FindKey(lines, header, ident);
    if (line >= 0) {
        lines[line] = *KeyOf(lines[line]) + QLatin1Char('=') + value;
        return SaveLines(lines);
    }
    // After the section's last non-blank line, so that blank lines keep separating sections.
    qsizetype insertAt = SectionEnd(lines, header);
    while (insertAt > header + 1 && lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, ident + QLatin1Char('=') + value);
    return SaveLines(lines);
}

bool TIniFile::WriteInteger(const QString &section, const QString &ident, int value) {
    return WriteString(section, ident, QString::number(value));
}

bool TIniFile::WriteBool(const QString &section, const QString &ident, bool value) {
    return WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::EraseSection(const QString &section) {
    QStringList lines;
    if (!LoadLines(lines))
        return false;
    bool erased = false;
    for (qsizetype header = FindSection(lines, section); header >= 0;
         header = FindSection(lines, section)) {
        lines.erase(lines.begin() + header, lines.begin() + SectionEnd(lines, header));
        erased = true;
    }
    return !erased || SaveLines(lines);
}

// A missing file reads as empty; an existing file that cannot be read is an error.
bool TIniFile::LoadLines(QStringList &lines) const {
    lines.clear();
    QFile file(m_fileName);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.remove(QLatin1Char('\r'));
    lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return true;
}

bool TIniFile::SaveLines(const QStringList &lines) const {
    QByteArray data;
    for (const QString &line : lines)
        data += line.toUtf8() + LineEnd();
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(data) == data.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}
