#pragma once
// Every file the program writes goes through here: the new contents go to a temporary file in
// the same folder, which is written, flushed to the disk and closed, each step checked, and is
// renamed over the old file only when all of that succeeded. Any failure (full disk, quota,
// I/O error, read-only file system, file size limit) removes the temporary file and leaves the
// old file exactly as it was; the error says why, in words for the user.
//
// QSaveFile is not used: in Qt 6.4 a write error that shows only when the buffer is flushed at
// commit() still renames the short temporary file over the old one, and fsync errors are
// ignored.
#include <QByteArray>
#include <QString>

class CAtomicFile {
public:
    explicit CAtomicFile(QString path);
    ~CAtomicFile(); // an uncommitted temporary file is removed
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    const QString& path() const { return m_path; }

    // Creates the temporary file (the folder must exist). A new file gets the usual permissions
    // (0666 less the umask); a replaced one keeps its own.
    bool open();
    // Appends; after the first failure every call fails.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Syncs, closes and renames over path; the folder is synced too.
    bool commit();
    // Removes the temporary file; the old file stays.
    void cancel();

    // errno of the first failure (0 when none), and its text for the user.
    int error() const { return m_error; }
    QString errorString() const { return ErrorText(m_error); }

    // The whole of data into path at once, or nothing. *why (when given) gets the reason.
    static bool WriteWhole(const QString& path, const QByteArray& data, QString* why = nullptr);
    // Makes folder and its missing parents; false with *error (errno) when one cannot be made.
    static bool MakeFolder(const QString& folder, int* error = nullptr);
    // A short Chinese reason for a failed write: "磁盘空间不足" for ENOSPC, ...
    static QString ErrorText(int error);

private:
    bool fail(int error);

    QString m_path;
    QByteArray m_temp; // the temporary file's name in the file system's bytes
    int m_fd = -1;
    int m_error = 0;
};
