#include "dialogs/HelpLauncher.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

QString CannotOpen(const QUrl& url) {
    return QStringLiteral("无法打开帮助文件!") + QLatin1Char('\n') +
           QDir::toNativeSeparators(url.toLocalFile());
}

// The desktop's opener, xdg-open, tells only by its exit code that no browser could take the
// page (3: no tool found, 4: the tool failed), so it is watched rather than fired and forgotten.
// Without xdg-open Qt's own way is tried, which then says at once that it failed.
bool OpenWithDesktop(const QUrl& url) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        return QDesktopServices::openUrl(url);
    }
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, url](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || code != 0) {
                             ShowErrorBox(CannotOpen(url));
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, url](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             process->deleteLater();
                             ShowErrorBox(CannotOpen(url));
                         }
                     });
    process->start(xdgOpen, {url.toString(QUrl::FullyEncoded)});
    return true;
}

HelpLauncher::UrlOpener defaultOpener() {
    return &OpenWithDesktop;
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
        ShowErrorBox(CannotOpen(QUrl::fromLocalFile(path)));
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
