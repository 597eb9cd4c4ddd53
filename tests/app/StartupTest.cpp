// The built program started as a user would, on a private Xvfb with its own runtime and configuration
// folders; and the application object in a child process, with a dialog for the main window.
#include "app/CTetravApp.h"
#include "platform/FileName.h"
#include "support/ChildCase.h"
#include "support/FileBytes.h"
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

using namespace tetrav::test;

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};
constexpr unsigned kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr unsigned long kDefaultKeys[] = {XK_a, XK_b, XK_c, XK_d};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_runtime.isValid() && m_config.isValid()); }
    // A private X server with the screen saver settings found at start.
    void startServer(const QString& size, const ScreenSaverSettings& found = kFound) {
        m_x = std::make_unique<XvfbServer>(size);
        ASSERT_TRUE(m_x->isRunning());
        ASSERT_TRUE(SetScreenSaver(display(), found));
    }
    const QByteArray& display() const { return m_x->display(); }
    // The program's environment; bus, when given, replaces the session bus (empty: none).
    QProcessEnvironment environment(const std::optional<QString>& bus = std::nullopt) const {
        QProcessEnvironment env =
            m_x->environment({{"XDG_RUNTIME_DIR", m_runtime.path()}, {"XDG_CONFIG_HOME", m_config.path()}});
        if (bus) {
            env.remove("DBUS_SESSION_BUS_ADDRESS");
            env.remove("QT_ACCESSIBILITY"); // its bridge would look for a bus of its own
            if (!bus->isEmpty()) {
                env.insert("DBUS_SESSION_BUS_ADDRESS", *bus);
            }
        }
        return env;
    }
    // A property of the running copy's player, as gdbus prints it ("" when it cannot be read).
    static QString Property(const QString& busAddress, const QString& name) {
        QProcess p;
        p.start("gdbus", {"call", "--address", busAddress, "--dest", "org.mpris.MediaPlayer2.tetrav",
                          "--object-path", "/org/mpris/MediaPlayer2", "--method",
                          "org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player", name});
        const bool ok = p.waitForFinished(5000) && p.exitCode() == 0;
        return ok ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
    }
    // Running: past the checks, display settings off, main window on screen.
    bool isUp() const { return ReadScreenSaver(display()).timeout == 0 && HasMappedWindow(display()); }
    // Starts the program and waits until it is up.
    std::unique_ptr<ProgramRun> start(const QProcessEnvironment& env, const QStringList& arguments = {}) {
        auto run = std::make_unique<ProgramRun>(env, arguments);
        EXPECT_TRUE(WaitUntil([&] { return isUp() || !run->isRunning(); })) << run->describe();
        EXPECT_TRUE(run->isRunning()) << run->describe();
        return run;
    }
    // Ends the program with signo and checks it ended cleanly.
    static void endWith(ProgramRun& run, int signo) {
        run.signal(signo);
        ASSERT_TRUE(run.waitForExit()) << "still running after signal " << signo;
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
    }

    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    std::unique_ptr<XvfbServer> m_x;
};

// Screens a pixel too small are refused with code 18 and a word on why, the display untouched. On the
// smallest allowed: the application object runs a dialog for the main window (child case below), then
// the program (with a ScreenSaver service) holds the display and keys, takes the files of a second
// copy, and frees what it held.
TEST_F(StartupTest, ASmallScreenIsRefusedAndARunOn1024x768HoldsTheDisplayAndKeysAndTakesASecondCopysFiles) {
    for (const char* size : {"1023x768x24", "1024x767x24"}) {
        SCOPED_TRACE(size);
        ASSERT_NO_FATAL_FAILURE(startServer(size));
        ProgramRun run(environment());
        ASSERT_TRUE(run.waitForExit());
        EXPECT_TRUE(run.exitedWith(18));
        const QString err = run.standardError();
        EXPECT_TRUE(err.contains(QString(size).section('x', 0, 1).replace('x', " x ")) &&
                    err.contains("1024 x 768"));
        EXPECT_EQ(ReadScreenSaver(display()), kFound);
        EXPECT_FALSE(HasMappedWindow(display()));
    }
    ASSERT_NO_FATAL_FAILURE(startServer("1024x768x24"));
    EXPECT_CHILD_PASSES(RunChildCase("AppRunsTheMainWindowAndEndsOnASignal", environment()));
    for (unsigned long key : kDefaultKeys) {
        ASSERT_TRUE(CanGrabKey(display(), key, kCtrlShift));
    }
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning() && bus.StartScreenSaverService());
    const auto& standIn = bus.screenSaver();
    auto run = start(environment(bus.address()));
    ASSERT_TRUE(run->isRunning());
    ASSERT_TRUE(WaitUntil([&] { return !standIn.inhibitions().empty(); }));
    ASSERT_EQ(standIn.inhibitions().size(), 1u);
    EXPECT_EQ(standIn.inhibitions()[0].application, "Tetrav");
    EXPECT_TRUE(standIn.released().empty());
    // The keys are registered once the main window is shown and has loaded its settings.
    EXPECT_TRUE(WaitUntil([&] {
        return std::none_of(std::begin(kDefaultKeys), std::end(kDefaultKeys),
                            [&](unsigned long key) { return CanGrabKey(display(), key, kCtrlShift); });
    }));

    // A second copy hands its files to this one, which opens them as a set (b_4s, the shorter, is
    // the reference) and keeps the display settings it made.
    ASSERT_TRUE(WaitUntil([&] { return Property(bus.address(), "PlaybackStatus") == "(<'Stopped'>,)"; }));
    ProgramRun second(environment(bus.address()), {clip("c_10s.mp4"), clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(0)) << second.describe();
    const QString said = second.standardError();
    EXPECT_TRUE(said.contains("the running copy opens") && !said.contains("already running"))
        << said.toStdString();
    EXPECT_TRUE(
        WaitUntil([&] { return Property(bus.address(), "Metadata").contains("'xesam:title': <'b_4s'>"); }));
    EXPECT_EQ(Property(bus.address(), "PlaybackStatus"), "(<'Paused'>,)");
    EXPECT_TRUE(run->isRunning());
    EXPECT_EQ(ReadScreenSaver(display()),
              (ScreenSaverSettings{0, 300, DontPreferBlanking, DontAllowExposures})); // only the time-out
    endWith(*run, SIGTERM);
    EXPECT_EQ(ReadScreenSaver(display()), kFound);
    EXPECT_EQ(standIn.released(), std::vector<uint>{standIn.inhibitions()[0].cookie});
}

// Whatever settings were found and whichever signal ends the program, they are back afterwards
// (SIGTERM with a time-out of 600 is the first test's); after a kill the watchdog puts them back.
TEST_F(StartupTest, TheSettingsFoundComeBackHoweverTheProgramEnds) {
    const ScreenSaverSettings timeOut45{45, 0, PreferBlanking, AllowExposures};
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24", timeOut45));
    auto first = start(environment());
    EXPECT_EQ(ReadScreenSaver(display()), (ScreenSaverSettings{0, 0, PreferBlanking, AllowExposures}));
    endWith(*first, SIGINT);
    EXPECT_EQ(ReadScreenSaver(display()), timeOut45);

    // With the first gone, the next copy starts (a binary settings file does not stop it); a screen
    // saver found off is left off.
    const ScreenSaverSettings off{0, 600, PreferBlanking, AllowExposures};
    ASSERT_TRUE(SetScreenSaver(display(), off));
    writeAll(m_config.path() + "/tetrav/TetravSet.ini", readAll(clip("a_6s.mp4")));
    endWith(*start(environment()), SIGHUP);
    EXPECT_EQ(ReadScreenSaver(display()), off);

    ASSERT_TRUE(SetScreenSaver(display(), kFound));
    auto killed = start(environment());
    killed->signal(SIGKILL);
    ASSERT_TRUE(killed->waitForExit());
    EXPECT_TRUE(WaitUntil([&] { return ReadScreenSaver(display()) == kFound; }, 10000));
    // A setting the user changed while the program ran is left as the user made it.
    killed = start(environment());
    ASSERT_TRUE(SetScreenSaver(display(), {120, 300, DontPreferBlanking, DontAllowExposures}));
    killed->signal(SIGKILL);
    ASSERT_TRUE(killed->waitForExit());
    // The watchdog's decision takes a moment; give it one, then the value must still be the user's.
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(ReadScreenSaver(display()).timeout, 120);
}

// An unusable configuration folder, a hot key held elsewhere, bad command-line files, no session
// bus (nothing said about it; a second copy cannot hand over its files).
TEST_F(StartupTest, BrokenSurroundingsDoNotStopTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    // Settings in memory only (the defaults, Ctrl+Shift+A to D); Ctrl+Shift+A held by another client.
    writeAll(m_config.filePath("blocker"), "x");
    QProcessEnvironment env = environment(QString());
    env.insert("XDG_CONFIG_HOME", m_config.filePath("blocker"));
    OtherX11Client other(display());
    ASSERT_TRUE(other.grabKey(XK_a, kCtrlShift));
    QTemporaryDir dir;
    auto run = start(env, {dir.filePath("missing-one.mp4"), dir.path(), dir.filePath("missing-two.avi")});
    EXPECT_TRUE(WaitUntil([&] { return !CanGrabKey(display(), XK_d, kCtrlShift); })) << "the other keys";
    WaitUntil([] { return false; }, 1500);
    EXPECT_TRUE(run->isRunning()) << "still up a moment later: " << run->describe();
    ProgramRun second(env, {clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18));
    EXPECT_TRUE(second.standardError().contains("could not be handed")) << second.describe();
    endWith(*run, SIGTERM);
    const QString err = run->standardError();
    // Nothing about the missing bus ("busy" in another line is not about it).
    const QRegularExpression busWords(R"(\b(d-?bus|bus|mpris)\b)", QRegularExpression::CaseInsensitiveOption);
    EXPECT_FALSE(err.contains(busWords)) << err.toStdString();
    EXPECT_EQ(err.count("TetravSet.ini"), 1) << "the settings file is named once:\n" << err.toStdString();
    EXPECT_TRUE(err.contains("missing-one.mp4") && err.contains("missing-two.avi")) << err.toStdString();
    EXPECT_TRUE(err.contains(dir.path() + ": not a file")) << err.toStdString();
}

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

TEST(TetravAppTest, CommandLineFilesKeepTheirPanesAndNameTheUnusableOnes) {
    QTemporaryDir dir;
    const auto file = [&](const char* name) {
        writeAll(dir.filePath(name), {});
        return dir.filePath(name);
    };
    const QString fifo = dir.filePath("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString dangling = dir.filePath("gone-link.mp4");
    ASSERT_TRUE(QFile::link(dir.filePath("never-there.mp4"), dangling));
    // Each unusable argument in the second place, between two good files, and beyond the fourth.
    const std::pair<QString, const char*> cases[] = {
        {dir.filePath("missing.mkv"), "no such file"},
        {dir.path(), "not a file"},
        {fifo, "not a file"},
        {dangling, "no such file"},
        {FileName::FromBytes(QFile::encodeName(dir.path()) + "/gone\xff.mp4"), "no such file"}};
    for (const auto& [unusable, why] : cases) {
        SCOPED_TRACE(unusable.toStdString());
        const auto chosen = CTetravApp::SelectCommandLineFiles(
            {file("1.mp4"), unusable, file("3.mov"), file("4.ts"), file("5.mpg"), file("6.vob")});
        EXPECT_EQ(chosen.files, (QStringList{dir.filePath("1.mp4"), QString(), dir.filePath("3.mov"),
                                             dir.filePath("4.ts")}));
        ASSERT_EQ(chosen.messages.size(), 2) << chosen.messages.join('\n').toStdString();
        EXPECT_EQ(chosen.messages[0], FileName::Shown(unusable) + ": " + why + "; pane 2 stays empty.");
        EXPECT_EQ(chosen.messages[1], "at most four videos play at once; not opened: " +
                                          dir.filePath("5.mpg") + ", " + dir.filePath("6.vob") + ".");
    }

    // Relative paths become absolute, as the main window opens them from its own folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(CTetravApp::SelectCommandLineFiles({"1.mp4"}).files, QStringList{dir.filePath("1.mp4")});
    QDir::setCurrent(cwd);
    EXPECT_TRUE(CTetravApp::SelectCommandLineFiles({}).files.isEmpty());

    // A name that is not UTF-8 is found by its own bytes.
    const QByteArray bytes = QFile::encodeName(dir.path()) + "/vid\xff\xfe.mp4";
    const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString raw = FileName::FromBytes(bytes);
    const auto chosen = CTetravApp::SelectCommandLineFiles({raw});
    EXPECT_EQ(chosen.files, QStringList{raw}) << chosen.messages.join('\n').toStdString();
}

} // namespace
