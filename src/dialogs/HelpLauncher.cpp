#include "dialogs/HelpLauncher.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {

HelpLauncher::UrlOpener defaultOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

HelpLauncher::UrlOpener& opener() {
    static HelpLauncher::UrlOpener current = defaultOpener();
    return current;
}

} // namespace

QStringList HelpLauncher::SearchFolders(const QString& programDir) {
    const QDir dir(programDir);
    QStringList folders;
    folders << QDir::cleanPath(dir.filePath(QStringLiteral("help")));
    folders << QDir::cleanPath(dir.filePath(QStringLiteral("../share/tetrav/help")));
#ifdef TETRAV_SOURCE_HELP_DIR
    folders << QStringLiteral(TETRAV_SOURCE_HELP_DIR);
#endif
    return folders;
}

QString HelpLauncher::FindPage(const QString& page, const QString& programDir) {
    for (const QString& folder : SearchFolders(programDir)) {
        const QFileInfo info(QDir(folder).filePath(page));
        if (info.isFile() && info.isReadable()) {
            return info.absoluteFilePath();
        }
    }
    return {};
}

bool HelpLauncher::OpenPage(const QString& page, const QString& programDir) {
    const QString path = FindPage(page, programDir);
    if (path.isEmpty()) {
        ShowErrorBox(QStringLiteral("找不到帮助文件!"));
        return false;
    }
    if (!opener()(QUrl::fromLocalFile(path))) {
        ShowErrorBox(QStringLiteral("无法打开帮助文件!") + QLatin1Char('\n') +
                     QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

bool HelpLauncher::OpenHelp() {
    return OpenPage(QString::fromLatin1(kIndexPage), QCoreApplication::applicationDirPath());
}

bool HelpLauncher::OpenSupportPage() {
    return OpenPage(QString::fromLatin1(kSupportPage), QCoreApplication::applicationDirPath());
}

HelpLauncher::UrlOpener HelpLauncher::SetUrlOpener(UrlOpener replacement) {
    UrlOpener previous = std::move(opener());
    opener() = replacement ? std::move(replacement) : defaultOpener();
    return previous;
}
