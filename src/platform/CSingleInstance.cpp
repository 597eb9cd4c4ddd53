#include "platform/CSingleInstance.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CSingleInstance::~CSingleInstance() {
    if (m_fd >= 0) {
        // The lock goes with the descriptor; the file stays, so a later start never races an unlink.
        ::close(m_fd);
    }
}

QString CSingleInstance::LockPath(const QString& name) {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath();
    }
    QString file = name + QStringLiteral(".lock");
    if (dir == QDir::tempPath()) {
        // The temporary folder is shared by every user: keep one lock per user there.
        file = QStringLiteral("%1-%2.lock").arg(name).arg(::getuid());
    }
    return QDir(dir).filePath(file);
}

bool CSingleInstance::Acquire(const QString& name) {
    if (m_fd >= 0) {
        return true;
    }
    const QByteArray path = QFile::encodeName(LockPath(name));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // Without a lock file there is no way to tell; running is better than refusing.
        return true;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    m_fd = fd;
    return true;
}
