#pragma once

#include <QString>

// A plain file where the user's autostart folder should be, while this object lives: no start
// at log-on can be registered.
class BlockedAutostartFolder {
public:
    BlockedAutostartFolder();
    ~BlockedAutostartFolder();
    BlockedAutostartFolder(const BlockedAutostartFolder &) = delete;
    BlockedAutostartFolder &operator=(const BlockedAutostartFolder &) = delete;

    bool ok() const { return m_ok; } // the file stands in the folder's place

private:
    QString m_path;
    bool m_ok = false;
};
