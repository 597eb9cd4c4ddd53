#include "dialogs/LastFolder.h"

#include "platform/CAtomicFile.h"
#include "platform/FileName.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString LastFolder::FilePath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/tetrav/last-folder");
}

QString LastFolder::Get() {
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString folder = FileName::FromBytes(file.read(4096).split('\n').value(0));
    return QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir() ? folder : QString();
}

void LastFolder::Remember(const QString& picked) {
    if (picked.isEmpty()) {
        return;
    }
    const QFileInfo info(picked);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (folder == Get()) {
        return;
    }
    if (CAtomicFile::MakeFolder(QFileInfo(FilePath()).absolutePath())) {
        CAtomicFile::WriteWhole(FilePath(), FileName::ToBytes(folder) + '\n');
    }
}
