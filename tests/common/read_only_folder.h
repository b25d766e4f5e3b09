#pragma once

#include <QString>

// A folder that cannot be written to while this object lives, also by root: its mode loses the
// write bits and the calling thread gives up the capability that lets root ignore them. Only
// writes made on the thread that created it are refused.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool ok() const { return m_ok; } // the folder really refuses a new file

private:
    QString m_path;
    bool m_droppedOverride = false;
    bool m_ok = false;
};
