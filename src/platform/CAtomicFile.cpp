#include "platform/CAtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Retries a call interrupted by a signal.
template <typename F> auto NoIntr(F f) {
    decltype(f()) r;
    do {
        r = f();
    } while (r < 0 && errno == EINTR);
    return r;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

CAtomicFile::CAtomicFile(QString path) : m_path(std::move(path)) {}

CAtomicFile::~CAtomicFile() {
    cancel();
}

bool CAtomicFile::fail(int error) {
    if (m_error == 0) {
        m_error = error != 0 ? error : EIO;
    }
    cancel(); // nothing is left beside the old file
    return false;
}

bool CAtomicFile::open() {
    if (m_fd >= 0 || m_error != 0) {
        return fail(EINVAL);
    }
    // A link is followed: its target is replaced, and the link stays.
    const QFileInfo info(m_path);
    if (info.isSymLink() && info.exists()) {
        m_path = info.symLinkTarget();
    }
    const QByteArray target = QFile::encodeName(m_path);
    if (target.isEmpty()) {
        return fail(ENOENT);
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target.left(slash + 1) : QByteArray();
    const QByteArray name = target.mid(slash + 1);
    if (name.isEmpty()) {
        return fail(EISDIR);
    }
    struct stat old {};
    const bool replaces = ::stat(target.constData(), &old) == 0;
    if (replaces && S_ISDIR(old.st_mode)) {
        return fail(EISDIR);
    }
    // A name as long as the folder allows has no room for a suffix: the temporary file is
    // then named by its suffix alone.
    QByteArray temp = folder + '.' + name + ".XXXXXX";
    const long nameMax = ::pathconf(folder.isEmpty() ? "." : folder.constData(), _PC_NAME_MAX);
    if (nameMax > 0 && name.size() + 8 > nameMax) {
        if (name.size() > nameMax) {
            return fail(ENAMETOOLONG);
        }
        temp = folder + ".tetrav-new.XXXXXX";
    }
    m_fd = NoIntr([&] { return ::mkostemp(temp.data(), O_CLOEXEC); });
    if (m_fd < 0) {
        return fail(errno);
    }
    m_temp = temp;
    const mode_t mode = replaces ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(m_fd, mode) != 0) {
        return fail(errno);
    }
    return true;
}

bool CAtomicFile::write(const char* data, qint64 size) {
    if (m_fd < 0 || m_error != 0) {
        return fail(EBADF);
    }
    while (size > 0) {
        const ssize_t n = NoIntr([&] { return ::write(m_fd, data, size_t(size)); });
        if (n < 0) {
            return fail(errno);
        }
        if (n == 0) {
            return fail(ENOSPC);
        }
        data += n;
        size -= n;
    }
    return true;
}

bool CAtomicFile::commit() {
    if (m_fd < 0 || m_error != 0) {
        cancel();
        return fail(EBADF);
    }
    // On NFS and some others, a full disk or quota shows only here.
    if (::fsync(m_fd) != 0) {
        const int e = errno;
        cancel();
        return fail(e);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int e = errno;
        ::unlink(m_temp.constData());
        m_temp.clear();
        return fail(e);
    }
    const QByteArray target = QFile::encodeName(m_path);
    if (::rename(m_temp.constData(), target.constData()) != 0) {
        const int e = errno;
        ::unlink(m_temp.constData());
        m_temp.clear();
        return fail(e);
    }
    m_temp.clear();
    // The rename itself is on the disk only once the folder is. A failure here is not the
    // file's: its contents are complete under its name.
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? target.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void CAtomicFile::cancel() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
}

bool CAtomicFile::WriteWhole(const QString& path, const QByteArray& data, QString* why) {
    CAtomicFile file(path);
    const bool ok = file.open() && file.write(data) && file.commit();
    if (!ok && why != nullptr) {
        *why = file.errorString();
    }
    return ok;
}

bool CAtomicFile::MakeFolder(const QString& folder, int* error) {
    const QByteArray bytes = QFile::encodeName(folder);
    struct stat st {};
    int e = 0;
    // Mostly the folder is there already: one look, not one for each part of its path.
    if (!bytes.isEmpty() && ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (error != nullptr) {
            *error = 0;
        }
        return true;
    }
    for (qsizetype at = 1; at <= bytes.size() && e == 0; ++at) {
        if (at != bytes.size() && bytes.at(at) != '/') {
            continue;
        }
        const QByteArray part = bytes.left(at);
        if (::stat(part.constData(), &st) == 0) {
            e = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
        } else if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            e = errno;
        }
    }
    if (bytes.isEmpty()) {
        e = ENOENT;
    }
    if (error != nullptr) {
        *error = e;
    }
    return e == 0;
}

QString CAtomicFile::ErrorText(int error) {
    switch (error) {
    case 0:
        return QString();
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case EFBIG:
        return QStringLiteral("文件超出允许的大小");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    default:
        return QStringLiteral("写入失败（%1）").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}
