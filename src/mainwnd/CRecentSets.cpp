#include "mainwnd/CRecentSets.h"

#include "mainwnd/CSetFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString CRecentSets::FilePath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/tetrav/recent-sets");
}

QStringList CRecentSets::ReadFile() {
    QFile file(FilePath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Ten paths fit many times over; a damaged file cannot make the menu huge.
    const QString text = QString::fromUtf8(file.read(CSetFile::kMaxBytes));
    QStringList paths;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (paths.size() < kMax && QDir::isAbsolutePath(line) && !paths.contains(line)) {
            paths << line;
        }
    }
    return paths;
}

void CRecentSets::WriteFile(const QStringList& paths) {
    QDir().mkpath(QFileInfo(FilePath()).absolutePath());
    QSaveFile file(FilePath());
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes =
            paths.isEmpty() ? QByteArray() : (paths.join(QLatin1Char('\n')) + '\n').toUtf8();
        file.write(bytes);
        file.commit(); // a list that cannot be written is only a shorter menu next time
    }
}

QStringList CRecentSets::Load() {
    const QStringList all = ReadFile();
    QStringList there;
    for (const QString& path : all) {
        if (QFileInfo(path).isFile()) {
            there << path;
        }
    }
    if (there.size() != all.size()) {
        WriteFile(there);
    }
    return there;
}

void CRecentSets::Add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute.contains(QLatin1Char('\n'))) {
        return;
    }
    QStringList paths = ReadFile();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    WriteFile(paths.mid(0, kMax));
}
