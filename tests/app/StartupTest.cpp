// The built program started as a user would, each run on a private Xvfb with its own runtime
// and configuration folders: the start-up checks, one copy at a time, the display settings
// kept off while it runs and put back when it ends (by a signal, or after it was killed), the
// ScreenSaver inhibit on a private bus, the default hot keys, and surroundings that are broken.
// On a private session bus, a second copy started with files (a file manager's "Open With")
// hands them to the running copy, seen from outside through its media-control properties;
// without a session bus nothing is registered and nothing is said about it.
#include "support/FileBytes.h"
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <ostream>

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        p.setProcessEnvironment(env);
        p.start("gdbus", {"call", "--session", "--dest", "org.mpris.MediaPlayer2.tetrav", "--object-path",
                          "/org/mpris/MediaPlayer2", "--method", "org.freedesktop.DBus.Properties.Get",
                          "org.mpris.MediaPlayer2.Player", name});
        if (!p.waitForFinished(5000) || p.exitCode() != 0) {
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
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

// The smallest screen allowed, with a desktop that offers the ScreenSaver service.
TEST_F(StartupTest, AFirstRunOn1024x768HoldsTheDisplayAndTheHotKeysAndGivesThemBack) {
    ASSERT_NO_FATAL_FAILURE(startServer("1024x768x24"));
    for (unsigned long key : kDefaultKeys) {
        ASSERT_TRUE(CanGrabKey(display(), key, kCtrlShift));
    }
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning() && bus.StartScreenSaverService());
    QProcessEnvironment env = environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    const auto& standIn = bus.screenSaver();
    auto run = start(env);
    ASSERT_TRUE(run->isRunning());
    ScreenSaverSettings off = kFound;
    off.timeout = 0;
    EXPECT_EQ(ReadScreenSaver(display()), off) << "only the time-out is switched off";
    ASSERT_TRUE(WaitUntil([&] { return !standIn.inhibitions().empty(); }));
    ASSERT_EQ(standIn.inhibitions().size(), 1u);
    EXPECT_EQ(standIn.inhibitions()[0].application, "Tetrav");
    EXPECT_TRUE(standIn.released().empty());
    // The keys are registered once the main window is shown and has loaded its settings.
    EXPECT_TRUE(WaitUntil([&] {
        return std::none_of(std::begin(kDefaultKeys), std::end(kDefaultKeys),
                            [&](unsigned long key) { return CanGrabKey(display(), key, kCtrlShift); });
    }));
    endWith(*run, SIGTERM);
    EXPECT_EQ(ReadScreenSaver(display()), kFound);
    EXPECT_EQ(standIn.released(), std::vector<uint>{standIn.inhibitions()[0].cookie});
}

class SmallScreenTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SmallScreenTest, EndsWithCode18AndSaysWhyWithoutTouchingTheDisplay) {
    ASSERT_NO_FATAL_FAILURE(startServer(GetParam()));
    ProgramRun run(environment());
    ASSERT_TRUE(run.waitForExit());
    EXPECT_TRUE(run.exitedWith(18));
    const QString size = QString(GetParam()).section('x', 0, 1).replace('x', " x ");
    const QString err = run.standardError();
    EXPECT_TRUE(err.contains(size) && err.contains("1024 x 768")) << err.toStdString();
    EXPECT_EQ(ReadScreenSaver(display()), kFound);
    EXPECT_FALSE(HasMappedWindow(display()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SmallScreenTest, ::testing::Values("1023x768x24", "1024x767x24"),
                         [](const auto& info) {
                             return QString(info.param).section('x', 0, 1).toStdString();
                         });

TEST_F(StartupTest, ASecondCopyEndsWhileTheFirstRunsOn) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    auto first = start(environment());
    ProgramRun second(environment());
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18));
    EXPECT_TRUE(second.standardError().contains("already running")) << second.describe();

    // The first copy's settings are still in force and it still runs.
    EXPECT_TRUE(first->isRunning());
    EXPECT_EQ(ReadScreenSaver(display()).timeout, 0);
    endWith(*first, SIGTERM);
    EXPECT_EQ(ReadScreenSaver(display()), kFound);

    // With the first gone, the next copy starts.
    endWith(*start(environment()), SIGTERM);
}

struct FoundCase {
    const char* name;
    ScreenSaverSettings found;
    int signo;
};

void PrintTo(const FoundCase& c, std::ostream* os) {
    *os << c.name;
}

class RestoreTest : public StartupTest, public ::testing::WithParamInterface<FoundCase> {};

TEST_P(RestoreTest, TheSettingsFoundAreBackAfterTheProgramEnds) {
    const FoundCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24", c.found));
    ProgramRun run(environment());
    ASSERT_TRUE(WaitUntil([&] { return HasMappedWindow(display()) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    ScreenSaverSettings off = c.found;
    off.timeout = 0;
    EXPECT_EQ(ReadScreenSaver(display()), off);
    endWith(run, c.signo);
    EXPECT_EQ(ReadScreenSaver(display()), c.found);
}

// SIGTERM with a time-out of 600 is the first test's.
INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    ::testing::Values(FoundCase{"TimeOut45_Sigint", {45, 0, PreferBlanking, AllowExposures}, SIGINT},
                      FoundCase{"ScreenSaverOff_Sighup", {0, 600, PreferBlanking, AllowExposures}, SIGHUP}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, AKilledProgramHasItsSettingsPutBackByTheWatchdog) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    {
        auto run = start(environment());
        run->signal(SIGKILL);
        ASSERT_TRUE(run->waitForExit());
    }
    EXPECT_TRUE(WaitUntil([&] { return ReadScreenSaver(display()) == kFound; }, 10000))
        << "time-out " << ReadScreenSaver(display()).timeout;

    // A setting the user changed while the program ran is left as the user made it.
    auto run = start(environment());
    ASSERT_TRUE(SetScreenSaver(display(), {120, 300, DontPreferBlanking, DontAllowExposures}));
    run->signal(SIGKILL);
    ASSERT_TRUE(run->waitForExit());
    // The watchdog's decision takes a moment; give it one, then the value must still be the user's.
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(ReadScreenSaver(display()).timeout, 120);
}

TEST_F(StartupTest, ASecondCopyHandsItsFilesToTheRunningCopy) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    auto first = start(environment(bus.address()));
    ASSERT_TRUE(WaitUntil([&] { return Property(bus.address(), "PlaybackStatus") == "(<'Stopped'>,)"; }))
        << first->describe();

    ProgramRun second(environment(bus.address()), {clip("c_10s.mp4"), clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18)) << second.describe();
    EXPECT_TRUE(second.standardError().contains("the running copy opens")) << second.describe();

    // The running copy opened them as a set; b_4s, the shorter, is the reference.
    EXPECT_TRUE(WaitUntil([&] {
        return Property(bus.address(), "Metadata").contains("'xesam:title': <'b_4s'>");
    })) << Property(bus.address(), "Metadata").toStdString();
    EXPECT_EQ(Property(bus.address(), "PlaybackStatus"), "(<'Paused'>,)");
    EXPECT_TRUE(first->isRunning());
    endWith(*first, SIGTERM);
}

TEST_F(StartupTest, WithoutASessionBusNothingIsRegisteredOrSaid) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    auto first = start(environment(QString()), {clip("a_6s.mp4")});
    // A second copy with files cannot reach the first: it says so and ends as it always did.
    ProgramRun second(environment(QString()), {clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18));
    EXPECT_TRUE(second.standardError().contains("could not be handed")) << second.describe();
    endWith(*first, SIGTERM);
    const QString err = first->standardError();
    EXPECT_FALSE(err.contains("bus", Qt::CaseInsensitive) || err.contains("mpris", Qt::CaseInsensitive))
        << err.toStdString();
}

// A configuration folder that cannot be made, a hot key another client holds, command-line
// files that cannot be opened, and a settings file of binary junk: the program runs on.
TEST_F(StartupTest, BrokenSurroundingsDoNotStopTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startServer("1280x1024x24"));
    {
        // Settings kept in memory only (the defaults, Ctrl+Shift+A to D); another client holds
        // Ctrl+Shift+A in every lock variant.
        QFile blocker(m_config.filePath("blocker"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        QProcessEnvironment env = environment();
        env.insert("XDG_CONFIG_HOME", blocker.fileName());
        OtherX11Client other(display());
        for (unsigned lock : {0u, unsigned(XCB_MOD_MASK_2), unsigned(XCB_MOD_MASK_LOCK),
                              unsigned(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)}) {
            ASSERT_TRUE(other.grabKey(XK_a, kCtrlShift | lock));
        }
        QTemporaryDir dir;
        auto run = start(env, {dir.filePath("missing-one.mp4"), dir.path(), dir.filePath("missing-two.avi")});
        EXPECT_TRUE(WaitUntil([&] { return !CanGrabKey(display(), XK_d, kCtrlShift); })) << "the other keys";
        WaitUntil([] { return false; }, 1500);
        EXPECT_TRUE(run->isRunning()) << "still up a moment later: " << run->describe();
        endWith(*run, SIGTERM);
        const QString err = run->standardError();
        EXPECT_EQ(err.count("TetravSet.ini"), 1) << "the settings file is named once:\n" << err.toStdString();
        EXPECT_TRUE(err.contains("missing-one.mp4") && err.contains("missing-two.avi")) << err.toStdString();
        EXPECT_TRUE(err.contains(dir.path() + ": not a file")) << err.toStdString();
    }
    QByteArray junk(256 * 1024, '\0');
    for (int i = 0; i < junk.size(); ++i) {
        junk[i] = char((i * 131 + 7) & 0xFF);
    }
    writeAll(m_config.path() + "/tetrav/TetravSet.ini", junk);
    endWith(*start(environment()), SIGTERM);
}

} // namespace
