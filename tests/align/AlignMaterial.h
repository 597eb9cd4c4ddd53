#pragma once
// The recordings made by scripts/make-align-clips.sh (clips/align) and their truth.
#include "support/TestEnv.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <map>

namespace tetrav::test {

inline QString alignClip(const QString& name) {
    return clipsDir() + QStringLiteral("/align/") + name;
}

// Camera file -> (second of the event it starts at, where its picture starts in the file).
struct CameraTruth {
    double start = 0.0;
    double video = 0.0;
};
inline std::map<QString, CameraTruth> alignTruth() {
    std::map<QString, CameraTruth> truth;
    QFile f(alignClip(QStringLiteral("truth.txt")));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QString& line :
             QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 3) {
                truth[parts[0]] = {parts[1].toDouble(), parts[2].toDouble()};
            }
        }
    }
    return truth;
}
// The offset camera k's pane takes against the reference camera's.
inline double trueOffset(const QString& camera, const QString& reference) {
    auto truth = alignTruth();
    return (truth[reference].start - truth[camera].start) + (truth[camera].video - truth[reference].video);
}

} // namespace tetrav::test
