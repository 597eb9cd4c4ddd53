#include "mainwnd/CRecentSets.h"

#include "mainwnd/CSetFile.h"
#include "platform/CAtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool CRecentSets::WriteFile(const QStringList& paths, QString* why) {
    int error = 0;
    if (!CAtomicFile::MakeFolder(QFileInfo(FilePath()).absolutePath(), &error)) {
        if (why != nullptr) {
            *why = CAtomicFile::ErrorText(error);
        }
        return false;
    }
    const QByteArray bytes = paths.isEmpty() ? QByteArray() : (paths.join(QLatin1Char('\n')) + '\n').toUtf8();
    return CAtomicFile::WriteWhole(FilePath(), bytes, why);
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
        // Tidying only: a list that cannot be rewritten now is tidied another time.
        WriteFile(there, nullptr);
    }
    return there;
}

bool CRecentSets::Add(const QString& path, QString* why) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute.contains(QLatin1Char('\n'))) {
        return true; // such a name cannot be a line of the list; it is simply not listed
    }
    QStringList paths = ReadFile();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    return WriteFile(paths.mid(0, kMax), why);
}
