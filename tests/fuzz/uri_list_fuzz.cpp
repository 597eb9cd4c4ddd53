// Files handed in from outside: a dropped text/uri-list, or the URIs a second copy or the
// desktop's media controls send over D-Bus. Whatever comes in is sorted without harm: every
// item is taken, refused or counted as extra, at most four are taken, and each taken one is an
// existing video file named by an absolute local path.
//
// The run works in a folder of its own with a few files of each kind (FOLDER below, named in
// uri_list.dict), and starts there, so relative names meet real files too.
#include "FuzzCheck.h"
#include "platform/IncomingFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <unistd.h>

namespace {

using tetrav::fuzz::shown;

const QString kFolder = QStringLiteral("/tmp/tetrav-fuzz-uris");

void makeFile(const QString& name, const QByteArray& content) {
    QFile f(kFolder + QLatin1Char('/') + name);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size(),
               name);
}

void check(const QList<QUrl>& urls, const QString& input) {
    const IncomingFiles::Sorted sorted = IncomingFiles::Sort(urls);
    QString detail = shown(input) + QStringLiteral("\nurls:");
    for (const QUrl& u : urls) {
        detail += QLatin1Char(' ') + shown(u.toString());
    }
    detail += QStringLiteral("\ntaken: ") + shown(sorted.files.join(QLatin1Char('|')));
    FUZZ_CHECK(sorted.files.size() <= 4, detail);
    FUZZ_CHECK(sorted.extra.isEmpty() || sorted.files.size() == 4, detail);
    FUZZ_CHECK(sorted.files.size() + sorted.refused.size() + sorted.extra.size() == urls.size(), detail);
    for (const QString& file : sorted.files + sorted.extra) {
        FUZZ_CHECK(QDir::isAbsolutePath(file) && QDir::cleanPath(file) == file, detail);
        FUZZ_CHECK(QFileInfo(file).isFile() && IncomingFiles::IsVideoFile(file), detail);
    }
    // A file is named by its sender, never found relative to wherever this program runs.
    for (qsizetype i = 0; i < urls.size() && i < 8; ++i) {
        if (urls[i].isLocalFile() && !QDir::isAbsolutePath(urls[i].toLocalFile())) {
            FUZZ_CHECK(IncomingFiles::Sort({urls[i]}).files.isEmpty(), detail);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QDir().mkpath(kFolder + QStringLiteral("/sub dir/folder.mp4"));
    makeFile(QStringLiteral("a.mp4"), QByteArray("\0\0\0\x18"
                                                 "ftypmp42",
                                                 12));
    makeFile(QStringLiteral("sub dir/b c.mkv"), QByteArray("\x1a\x45\xdf\xa3", 4));
    makeFile(QStringLiteral("中文.avi"), QByteArray("RIFF\0\0\0\0AVI ", 12));
    makeFile(QStringLiteral("100%.webm"), QByteArray("\x1a\x45\xdf\xa3", 4));
    makeFile(QStringLiteral("notes.txt"), QByteArray("text"));
    makeFile(QStringLiteral("set.tetravset"), QByteArray("[TetravSet]\nVideo1=a.mp4\n"));
    makeFile(QStringLiteral("#hash?.mp4"), QByteArray("\0\0\0\x18"
                                                      "ftypmp42",
                                                      12));
    FUZZ_CHECK(chdir(kFolder.toUtf8().constData()) == 0, kFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // A drop: the text/uri-list as the dragging program gave it.
    QMimeData drop;
    drop.setData(QStringLiteral("text/uri-list"), bytes);
    check(drop.urls(), QString::fromUtf8(bytes));
    // D-Bus: each line one URI string, as Open and OpenUri receive them.
    QList<QUrl> sent;
    for (const QByteArray& line : bytes.split('\n')) {
        sent << QUrl(QString::fromUtf8(line));
    }
    check(sent, QString::fromUtf8(bytes));
    return 0;
}
