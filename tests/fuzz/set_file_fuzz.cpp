// Saved sets from anywhere: any file either is refused with a reason or reads as a set whose
// values are usable (absolute clean paths, finite offsets and position within their ranges).
// A set read is written again, in its own folder (relative paths) and in another folder, and
// reads back the same, lines of a newer version included.
#include "FuzzCheck.h"
#include "sets/CSetFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace {

using tetrav::fuzz::shown;

QString describe(const CSetFile& s) {
    QString text;
    for (int k = 0; k < 4; ++k) {
        text += QStringLiteral("video%1=%2 offset=%3\n").arg(k + 1).arg(shown(s.video[k])).arg(s.offset[k]);
    }
    text += QStringLiteral("sync=%1 reference=%2 position=%3\nkept:\n")
                .arg(s.syncMode)
                .arg(s.reference)
                .arg(s.position);
    for (const QString& line : s.kept) {
        text += shown(line) + QLatin1Char('\n');
    }
    return text;
}

bool same(const CSetFile& a, const CSetFile& b) {
    for (int k = 0; k < 4; ++k) {
        if (a.video[k] != b.video[k] || a.offset[k] != b.offset[k]) {
            return false;
        }
    }
    return a.syncMode == b.syncMode && a.reference == b.reference && a.position == b.position &&
           a.kept == b.kept;
}

// Writes set to path and reads it back; false when the set cannot be written (only a video
// name with a line break in it may keep it from being written).
void roundTrip(const CSetFile& set, const QString& path, const QString& detail) {
    QString why;
    if (!set.Write(path, &why)) {
        bool lineBreak = false;
        for (const QString& v : set.video) {
            lineBreak = lineBreak || v.contains(QLatin1Char('\n')) || v.contains(QLatin1Char('\r'));
        }
        FUZZ_CHECK(lineBreak, QStringLiteral("not written (%1)\n").arg(why) + detail);
        return;
    }
    CSetFile back;
    FUZZ_CHECK(back.Read(path, &why), QStringLiteral("written set not read (%1)\n").arg(why) + detail);
    FUZZ_CHECK(same(set, back), detail + QStringLiteral("\nread back as\n") + describe(back));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const bool folders = QDir(dir.path()).mkpath(QStringLiteral("sets/clips")) &&
                                QDir(dir.path()).mkpath(QStringLiteral("elsewhere"));
    FUZZ_CHECK(folders, dir.path());
    const QString path = dir.filePath(QStringLiteral("sets/in.tetravset"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(),
                   path);
    }

    CSetFile set;
    QString why;
    if (!set.Read(path, &why)) {
        FUZZ_CHECK(!why.isEmpty(), shown(bytes));
        // A refused file leaves the set as it was.
        FUZZ_CHECK(same(set, CSetFile()), describe(set));
        return 0;
    }
    const QString detail = shown(bytes) + QStringLiteral("\nread as\n") + describe(set);
    bool anyVideo = false;
    for (int k = 0; k < 4; ++k) {
        const QString& v = set.video[k];
        anyVideo = anyVideo || !v.isEmpty();
        FUZZ_CHECK(v.isEmpty() || (QDir::isAbsolutePath(v) && QDir::cleanPath(v) == v), detail);
        FUZZ_CHECK(std::isfinite(set.offset[k]) && std::abs(set.offset[k]) <= CSetFile::kMaxOffset, detail);
    }
    FUZZ_CHECK(anyVideo, detail);
    FUZZ_CHECK(std::isfinite(set.position) && set.position >= 0.0, detail);
    FUZZ_CHECK(set.syncMode >= -1 && set.syncMode <= 1 && set.reference >= -1 && set.reference <= 1, detail);
    for (const int pane : set.MissingPanes()) {
        FUZZ_CHECK(pane >= 0 && pane < 4 && !set.video[pane].isEmpty(), detail);
    }

    roundTrip(set, dir.filePath(QStringLiteral("sets/out.tetravset")), detail);
    roundTrip(set, dir.filePath(QStringLiteral("elsewhere/out.tetravset")), detail);
    return 0;
}
