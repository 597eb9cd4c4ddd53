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
    EXPECT_EQ(seen, QStringList{dir.filePath("a.mp4")});
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

TEST(TetravAppTest, CommandLineFilesSkipMissingOnesAndKeepTheFirstFour) {
    QTemporaryDir dir;
    QStringList args;
    for (const char* name : {"1.mp4", "2.avi", "missing.mkv", "3.mov", "4.ts", "5.mpg", "6.vob"}) {
        if (QString(name) != "missing.mkv") {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        args << dir.filePath(name);
    }
    args.insert(1, dir.path()); // a folder is not a video file
    const auto chosen = CTetravApp::SelectCommandLineFiles(args);
    EXPECT_EQ(chosen.files, (QStringList{dir.filePath("1.mp4"), dir.filePath("2.avi"), dir.filePath("3.mov"),
                                         dir.filePath("4.ts")}));
    const QString messages = chosen.messages.join('\n');
    EXPECT_EQ(chosen.messages.size(), 3) << messages.toStdString();
    EXPECT_TRUE(messages.contains("missing.mkv"));
    EXPECT_TRUE(messages.contains(dir.path() + ": not a file"));
    EXPECT_TRUE(messages.contains("5.mpg") && messages.contains("6.vob"));
    EXPECT_FALSE(messages.contains("4.ts"));

    // Relative paths become absolute, as the main window opens them from its own folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(CTetravApp::SelectCommandLineFiles({"1.mp4"}).files, QStringList{dir.filePath("1.mp4")});
    QDir::setCurrent(cwd);
    EXPECT_TRUE(CTetravApp::SelectCommandLineFiles({}).files.isEmpty());
}

} // namespace
