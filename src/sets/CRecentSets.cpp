#include "sets/CRecentSets.h"

#include "platform/CAtomicFile.h"
#include "platform/FileName.h"
#include "sets/CSetFile.h"

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
    // Ten paths fit many times over; a damaged file cannot make the menu huge. One name a line,
    // as the file system's bytes.
    const QByteArray text = file.read(CSetFile::kMaxBytes);
    QStringList paths;
    for (const QByteArray& bytes : text.split('\n')) {
        const QString line = FileName::FromBytes(bytes);
        if (line.isEmpty()) {
            continue;
        }
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
    QByteArray bytes;
    for (const QString& path : paths) {
        bytes += FileName::ToBytes(path) + '\n';
    }
    return CAtomicFile::WriteWhole(FilePath(), bytes, why);
}

QStringList CRecentSets::Load() {
    const QStringList all = ReadFile();
    QStringList there;
    for (const QString& path : all) {
        if (FileName::KindOf(path) == FileName::Kind::File) {
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
