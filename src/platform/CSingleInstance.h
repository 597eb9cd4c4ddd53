#pragma once
// The single-instance lock: a lock file in the user's runtime directory, held (flock) for
// the life of the process, so a killed copy leaves nothing that blocks the next start.
#include <QString>

class CSingleInstance {
public:
    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when this process now holds the lock named name; false when another does.
    bool Acquire(const QString& name);
    // The lock file's path for a name ($XDG_RUNTIME_DIR, else the temporary folder).
    static QString LockPath(const QString& name);

private:
    int m_fd = -1;
};
