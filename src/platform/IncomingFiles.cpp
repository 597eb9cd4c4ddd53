#include "platform/IncomingFiles.h"

#include "platform/FileName.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// Media types Tetrav plays that the shared MIME database does not file under video/.
constexpr const char* kOtherVideoTypes[] = {"application/vnd.rn-realmedia",
                                            "application/vnd.rn-realmedia-vbr", "application/x-matroska",
                                            "application/mxf"};

QString Shown(const QUrl& url) {
    return url.isLocalFile() ? FileName::Shown(FileName::FromUri(url))
                             : FileName::Shown(url.toDisplayString());
}

// A local file's name, byte for byte (names need not be UTF-8).
QString LocalName(const QUrl& url) {
    return FileName::FromUri(url);
}

} // namespace

namespace IncomingFiles {

bool IsVideoFile(const QString& path) {
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path, QMimeDatabase::MatchDefault);
    const auto isVideo = [](const QString& name) {
        if (name.startsWith(QLatin1String("video/"))) {
            return true;
        }
        for (const char* other : kOtherVideoTypes) {
            if (name == QLatin1String(other)) {
                return true;
            }
        }
        return false;
    };
    if (isVideo(type.name())) {
        return true;
    }
    for (const QString& parent : type.allAncestors()) {
        if (isVideo(parent)) {
            return true;
        }
    }
    return false;
}

Sorted Sort(const QList<QUrl>& urls) {
    Sorted sorted;
    for (const QUrl& url : urls) {
        if (url.isEmpty()) {
            sorted.refused << QStringLiteral("（空的文件名）"); // not a blank line
            continue;
        }
        // A relative name ("file:a.mp4") would be found in whatever folder this copy runs in.
        if (!url.isLocalFile() || QDir::isRelativePath(url.toLocalFile())) {
            sorted.refused << Shown(url);
            continue;
        }
        const QFileInfo info(LocalName(url)); // for its absolute name only
        if (FileName::KindOf(info.filePath()) != FileName::Kind::File ||
            !FileName::IsReadable(info.filePath()) || !IsVideoFile(info.absoluteFilePath())) {
            sorted.refused << Shown(url);
            continue;
        }
        if (sorted.files.size() == 4) {
            sorted.extra << info.absoluteFilePath();
            continue;
        }
        sorted.files << info.absoluteFilePath();
    }
    return sorted;
}

} // namespace IncomingFiles
