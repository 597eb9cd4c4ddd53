#include "support/FullDisk.h"

#include "platform/CAtomicFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace tetrav::test {

namespace {
// Large enough for the files the tests put there first (a settings file, a set, a list).
constexpr const char* kTmpfsOptions = "size=256k,mode=0777";
constexpr rlim_t kSizeLimit = 16; // bytes: every file the program writes is larger
} // namespace

FullDisk::FullDisk() {
    QByteArray base = QDir::tempPath().toLocal8Bit() + "/tetrav-full-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        m_whyNot = QStringLiteral("mkdtemp: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_base = QString::fromLocal8Bit(base);
    m_mounted = ::mount("tetrav-full", base.constData(), "tmpfs", MS_NOSUID | MS_NODEV, kTmpfsOptions) == 0;
    m_folder = m_base + QStringLiteral("/files");
    QDir().mkpath(m_folder);
}

FullDisk::~FullDisk() {
    release();
    if (m_mounted) {
        ::umount2(m_base.toLocal8Bit().constData(), MNT_DETACH);
    }
    if (!m_base.isEmpty()) {
        QDir(m_base).removeRecursively();
    }
}

void FullDisk::fill() {
    if (m_mounted) {
        // Filled to the last block; the filler is kept so the disk stays full.
        const QByteArray filler = (m_base + QStringLiteral("/filler")).toLocal8Bit();
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        static const char block[4096] = {};
        while (fd >= 0 && ::write(fd, block, sizeof block) > 0) {
        }
        while (fd >= 0 && ::write(fd, block, 1) > 0) {
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    if (m_limited) {
        return;
    }
    // Without a signal handler the limit would end the process.
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit low = m_saved;
    low.rlim_cur = kSizeLimit;
    m_limited = ::setrlimit(RLIMIT_FSIZE, &low) == 0;
}

void FullDisk::release() {
    if (m_mounted) {
        QFile::remove(m_base + QStringLiteral("/filler"));
    }
    if (m_limited) {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
        m_limited = false;
    }
}

int FullDisk::error() const {
    return m_mounted ? ENOSPC : EFBIG;
}

QString FullDisk::reason() const {
    return CAtomicFile::ErrorText(error());
}

ReadOnlyMount::ReadOnlyMount(const QByteArray& old) {
    const QByteArray at = QFile::encodeName(m_dir.path());
    if (!m_dir.isValid() || ::mount("tetrav-ro", at.constData(), "tmpfs", 0, "size=64k") != 0) {
        return;
    }
    m_mounted = true;
    if (!old.isEmpty()) {
        QFile file(m_dir.filePath(QStringLiteral("old")));
        if (!file.open(QIODevice::WriteOnly) || file.write(old) != old.size()) {
            return;
        }
    }
    m_ok = ::mount("tetrav-ro", at.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

ReadOnlyMount::~ReadOnlyMount() {
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
}

} // namespace tetrav::test
