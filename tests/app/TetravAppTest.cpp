// The application object in the test process (on a private Xvfb, in a child process), with
// the main window replaced by a plain modal dialog; and the choice of command-line files.
// (A screen too small is refused before anything else: StartupTest runs the program on one.)
#include "app/CTetravApp.h"
#include "support/ChildCase.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

#include <sys/stat.h>

namespace {

using namespace tetrav::test;

TETRAV_CHILD_CASE(AppRunsTheMainWindowAndEndsOnASignal) {
    const QByteArray display = qgetenv("DISPLAY");
    QTemporaryDir dir;
    QFile(dir.filePath("a.mp4")).open(QIODevice::WriteOnly);
    QStringList seen;
    int displayTimeOutWhileRunning = -1;
    CTetravApp app([&](const QStringList& files) {
        seen = files;
        displayTimeOutWhileRunning = ReadScreenSaver(display).timeout;
        QDialog main;
        QDialog nested(&main);
        // A nested modal dialog is open when the signal comes: both must close.
        QTimer::singleShot(100, &main, [&] {
            QTimer::singleShot(200, [] { std::raise(SIGHUP); });
            nested.exec();
        });
        return main.exec();
    });
    app.SetCommandLine({dir.filePath("a.mp4"), dir.filePath("gone.mp4")});
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(seen, (QStringList{dir.filePath("a.mp4"), QString()}));
    EXPECT_EQ(displayTimeOutWhileRunning, 0);
    EXPECT_EQ(ReadScreenSaver(display).timeout, 600);
    EXPECT_TRUE(app.earlyEndReason().isEmpty());
}

TEST(TetravAppTest, RunsTheMainWindowWithTheDisplayKeptAwakeAndEndsOnASignal) {
    XvfbServer x("1024x768x24");
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), {600, 600, 1, 1}));
    QTemporaryDir runtime;
    EXPECT_CHILD_PASSES(RunChildCase("AppRunsTheMainWindowAndEndsOnASignal",
                                     x.environment({{"XDG_RUNTIME_DIR", runtime.path()}})));
}

TEST(TetravAppTest, CommandLineFilesKeepTheirPanesAndNameTheUnusableOnes) {
    QTemporaryDir dir;
    const auto file = [&](const char* name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return dir.filePath(name);
    };
    const QString fifo = dir.filePath("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString dangling = dir.filePath("gone-link.mp4");
    ASSERT_TRUE(QFile::link(dir.filePath("never-there.mp4"), dangling));
    // Each unusable argument in the second place, between two good files, and beyond the fourth.
    struct Case {
        QString unusable;
        const char* why;
    };
    for (const Case& c : {Case{dir.filePath("missing.mkv"), "no such file"}, Case{dir.path(), "not a file"},
                          Case{fifo, "not a file"}, Case{dangling, "no such file"}}) {
        SCOPED_TRACE(c.unusable.toStdString());
        const auto chosen = CTetravApp::SelectCommandLineFiles(
            {file("1.mp4"), c.unusable, file("3.mov"), file("4.ts"), file("5.mpg"), file("6.vob")});
        EXPECT_EQ(chosen.files, (QStringList{dir.filePath("1.mp4"), QString(), dir.filePath("3.mov"),
                                             dir.filePath("4.ts")}));
        ASSERT_EQ(chosen.messages.size(), 2) << chosen.messages.join('\n').toStdString();
        EXPECT_EQ(chosen.messages[0], c.unusable + ": " + c.why + "; pane 2 stays empty.");
        EXPECT_EQ(chosen.messages[1], "at most four videos play at once; not opened: " +
                                          dir.filePath("5.mpg") + ", " + dir.filePath("6.vob") + ".");
    }

    // Relative paths become absolute, as the main window opens them from its own folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(CTetravApp::SelectCommandLineFiles({"1.mp4"}).files, QStringList{dir.filePath("1.mp4")});
    QDir::setCurrent(cwd);
    EXPECT_TRUE(CTetravApp::SelectCommandLineFiles({}).files.isEmpty());
}

} // namespace
