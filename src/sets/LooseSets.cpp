#include "sets/LooseSets.h"

#include "sets/CSetFile.h"
#include "platform/CAtomicFile.h"
#include "platform/FileName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace {

// Names longer than this are cut (file names stop at 255 bytes).
constexpr int kMaxNameChars = 80;

} // namespace

QString LooseSets::Folder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/tetrav/sets");
}

QString LooseSets::PathFor(const CSetFile& set) {
    QStringList names;
    QByteArray all;
    for (const QString& video : set.video) {
        names << (video.isEmpty() ? QStringLiteral("-") : QFileInfo(video).completeBaseName());
        all += FileName::ToBytes(video) + '\n';
    }
    while (!names.isEmpty() && names.constLast() == QLatin1String("-")) {
        names.removeLast();
    }
    QString name = names.join(QStringLiteral(" + "));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.size() > kMaxNameChars) {
        name = name.left(kMaxNameChars) + QStringLiteral("…");
    }
    // Two sets of videos with the same names in other folders are two sets.
    const QString tag =
        QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha1).toHex().left(8));
    return Folder() + QLatin1Char('/') + name + QStringLiteral(" [") + tag + QStringLiteral("].") +
           QLatin1String(CSetFile::kSuffix);
}

bool LooseSets::Keep(const CSetFile& set, QString* path, QString* why) {
    *path = PathFor(set);
    int error = 0;
    if (!CAtomicFile::MakeFolder(Folder(), &error)) {
        if (why != nullptr) {
            *why = CAtomicFile::ErrorText(error);
        }
        return false;
    }
    return set.Write(*path, why);
}

QString LooseSets::Label(const QString& path) {
    const QFileInfo info(path);
    if (info.absolutePath() != QDir(Folder()).absolutePath()) {
        return {};
    }
    QString name = info.completeBaseName();
    const int tag = name.lastIndexOf(QStringLiteral(" ["));
    return tag > 0 ? name.left(tag) : name;
}
