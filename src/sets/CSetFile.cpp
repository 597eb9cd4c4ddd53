#include "sets/CSetFile.h"

#include "platform/CAtomicFile.h"
#include "platform/FileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kSection = QStringLiteral("[TetravSet]");

bool Fail(QString* why, const char* text) {
    if (why != nullptr) {
        *why = QString::fromUtf8(text);
    }
    return false;
}

bool IsComment(const QString& bare) {
    return bare.startsWith(QLatin1Char('#')) || bare.startsWith(QLatin1Char(';'));
}

// A number the set may use: finite and within [low, high]; otherwise false.
bool ToSeconds(const QString& text, double low, double high, double& out) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high) {
        return false;
    }
    out = v;
    return true;
}

QString Number(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// "video3" -> 2 for prefix "video"; -1 for anything else.
int PaneOf(const QString& key, QLatin1String prefix) {
    if (key.size() != prefix.size() + 1 || !key.startsWith(prefix)) {
        return -1;
    }
    const int n = key.back().digitValue();
    return n >= 1 && n <= 4 ? n - 1 : -1;
}

} // namespace

bool CSetFile::Read(const QString& path, QString* why) {
    const QFileInfo info(path); // for its folder only: the name is reached by its bytes
    // Pipes and devices could block the read or never end: each is named as what it is.
    const FileName::Kind kind = FileName::KindOf(path);
    if (kind != FileName::Kind::File) {
        if (why != nullptr) {
            *why = FileName::KindText(kind);
        }
        return false;
    }
    if (FileName::SizeOf(path) > kMaxBytes) {
        return Fail(why, "文件太大");
    }
    QFile file;
    const int fd = ::open(FileName::ToBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return Fail(why, "无法读取文件");
    }
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes) {
        return Fail(why, "文件太大");
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0')) {
        return Fail(why, "不是视频组文件");
    }

    const QDir folder = info.absoluteDir();
    CSetFile set;
    bool header = false;      // the [TetravSet] line has been seen
    bool inSection = false;   // the lines are those of [TetravSet]
    bool keptForeign = false; // the last kept section header was another section's
    for (QString line : text.split(QLatin1Char('\n'))) {
        // Every carriage return at the end: "\r\r\n" ends a line too, and a value or kept line
        // never ends in one (it would lose it at every save).
        while (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const QString bare = line.trimmed();
        if (bare.isEmpty() || IsComment(bare)) {
            continue;
        }
        const bool isSection = bare.startsWith(QLatin1Char('['));
        if (!header) {
            if (bare.compare(kSection, Qt::CaseInsensitive) != 0) {
                return Fail(why, "不是视频组文件");
            }
            header = inSection = true;
            continue;
        }
        if (isSection) {
            inSection = bare.compare(kSection, Qt::CaseInsensitive) == 0;
            if (!inSection) {
                set.kept << line;
                keptForeign = true;
            }
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0 && set.Take(line.left(eq).trimmed().toLower(), line.mid(eq + 1), folder)) {
            continue;
        }
        // Not understood here: kept, in the section it came from.
        if (inSection && keptForeign) {
            set.kept << kSection;
            keptForeign = false;
        }
        set.kept << line;
    }
    if (!header) {
        return Fail(why, "不是视频组文件");
    }
    bool anyVideo = false;
    for (const QString& v : set.video) {
        anyVideo = anyVideo || !v.isEmpty();
    }
    if (!anyVideo) {
        return Fail(why, "视频组中没有视频");
    }
    *this = set;
    return true;
}

QString CSetFile::VideoPath(const QString& value, const QDir& folder) {
    // A file URI (a set written by hand or by another program) names its file itself.
    if (value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QString local = FileName::FromUri(QUrl(value));
        if (!local.isEmpty() && !QDir::isRelativePath(local)) {
            return QDir::cleanPath(local);
        }
    }
    // Joined by hand: QDir takes a name that starts with ':' for a resource, not a file.
    const QString name = FileName::Unescape(value);
    QString path = QDir::cleanPath(
        name.startsWith(QLatin1Char('/')) ? name : folder.absolutePath() + QLatin1Char('/') + name);
    // ".." above the root stays at the root, as the file system reads it.
    while (path.startsWith(QLatin1String("/../")) || path == QLatin1String("/..")) {
        path = path.mid(3).isEmpty() ? QStringLiteral("/") : path.mid(3);
    }
    return path;
}

bool CSetFile::Take(const QString& key, const QString& value, const QDir& folder) {
    if (key == QLatin1String("version")) {
        return true; // a newer version's files are read as far as this one understands them
    }
    if (const int k = PaneOf(key, QLatin1String("video")); k >= 0) {
        // The value is the path as it stands, spaces included; "\xFF" stands for a byte of a
        // name that is not UTF-8.
        video[k] = value.isEmpty() ? QString() : VideoPath(value, folder);
        return true;
    }
    if (const int k = PaneOf(key, QLatin1String("offset")); k >= 0) {
        ToSeconds(value, -kMaxOffset, kMaxOffset, offset[k]);
        return true;
    }
    const QString word = value.trimmed().toLower();
    if (key == QLatin1String("syncmode")) {
        syncMode = word == QLatin1String("frame") ? 1 : (word == QLatin1String("time") ? 0 : syncMode);
        return true;
    }
    if (key == QLatin1String("reference")) {
        reference =
            word == QLatin1String("shortest") ? 1 : (word == QLatin1String("longest") ? 0 : reference);
        return true;
    }
    if (key == QLatin1String("position")) {
        ToSeconds(value, 0.0, 1e9, position);
        return true;
    }
    return false;
}

bool CSetFile::Write(const QString& path, QString* why) const {
    const QDir folder = QFileInfo(path).absoluteDir();
    QString text =
        QStringLiteral("# Tetrav video set\n") + kSection + QStringLiteral("\nVersion=%1\n").arg(kVersion);
    for (int k = 0; k < 4; ++k) {
        QString v = video[k];
        if (v.contains(QLatin1Char('\n')) || v.contains(QLatin1Char('\r'))) {
            return Fail(why, "文件名中含有换行符");
        }
        if (!v.isEmpty()) {
            v = QFileInfo(v).absoluteFilePath();
            // Relative when the video lies in the set's folder or below it.
            const QString relative = folder.relativeFilePath(v);
            if (relative != QLatin1String("..") && !relative.startsWith(QLatin1String("../"))) {
                v = relative;
            }
        }
        text += QStringLiteral("Video%1=%2\n").arg(k + 1).arg(FileName::Escape(v));
    }
    for (int k = 0; k < 4; ++k) {
        text += QStringLiteral("Offset%1=%2\n").arg(k + 1).arg(Number(offset[k]));
    }
    if (syncMode >= 0) {
        text += QStringLiteral("SyncMode=%1\n").arg(syncMode == 1 ? "frame" : "time");
    }
    if (reference >= 0) {
        text += QStringLiteral("Reference=%1\n").arg(reference == 1 ? "shortest" : "longest");
    }
    text += QStringLiteral("Position=%1\n").arg(Number(position));
    for (const QString& line : kept) {
        text += line + QLatin1Char('\n');
    }

    // The old file stays as it was unless the new one is complete on the disk.
    QString reason;
    if (!CAtomicFile::WriteWhole(path, text.toUtf8(), &reason)) {
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    }
    return true;
}

QList<int> CSetFile::MissingPanes() const {
    QList<int> missing;
    for (int k = 0; k < 4; ++k) {
        if (!video[k].isEmpty() && FileName::KindOf(video[k]) != FileName::Kind::File) {
            missing << k;
        }
    }
    return missing;
}

bool CSetFile::IsSetFile(const QString& path) {
    return path.endsWith(QLatin1Char('.') + QLatin1String(kSuffix), Qt::CaseInsensitive);
}
