#pragma once
// A real full disk for the tests of the program's writers. Where this process may mount (root),
// a small tmpfs of its own, filled to the last block by fill(): writes then fail with ENOSPC as
// on a full disk. Elsewhere a file size limit (RLIMIT_FSIZE) lowered for this process (each test
// runs in a process of its own) while fill() is in force: writes past it fail with EFBIG, as
// on a file system that cannot hold the file.
#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace tetrav::test {

class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // The folder to put the files in; empty when neither way could be set up (whyNot says why).
    const QString& folder() const { return m_folder; }
    const QString& whyNot() const { return m_whyNot; }
    // Leaves no room for any more data (files written before stay).
    void fill();
    // Room again.
    void release();
    // The reason the program gives for a write that fails here.
    QString reason() const;
    // The errno of such a write.
    int error() const;

private:
    QString m_base;   // the temporary folder (the mount point when mounted)
    QString m_folder; // where the tests put their files
    QString m_whyNot;
    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

// A read-only file system (a small tmpfs mounted read-only; root only), holding one file "old" of
// the given bytes when they are not empty.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const QByteArray& old = {});
    ~ReadOnlyMount();
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    bool ok() const { return m_ok; }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_ok = false;
};

} // namespace tetrav::test
