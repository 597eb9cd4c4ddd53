// The built program started as a user would, each run on a private Xvfb with its own runtime
// and configuration folders: the start-up checks, one copy at a time, the display settings
// kept off while it runs and put back when it ends (by a signal, or after it was killed), the
// ScreenSaver inhibit on a private bus, the default hot keys, and surroundings that are broken.
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <ostream>

namespace {

using namespace tetrav::test;

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};
constexpr unsigned kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr unsigned long kDefaultKeys[] = {XK_a, XK_b, XK_c, XK_d};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_TRUE(m_config.isValid());
    }
    // A private X server with the screen saver settings found at start.
    void startServer(const QString& size, const ScreenSaverSettings& found = kFound) {
        m_x = std::make_unique<XvfbServer>(size);
        ASSERT_TRUE(m_x->isRunning());
        ASSERT_TRUE(SetScreenSaver(display(), found));
    }
    const QByteArray& display() const { return m_x->display(); }
    QProcessEnvironment environment() const {
        return m_x->environment(
            {{"XDG_RUNTIME_DIR", m_runtime.path()}, {"XDG_CONFIG_HOME", m_config.path()}});
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
    auto third = start(environment());
    endWith(*third, SIGTERM);
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
    {
        QDir().mkpath(m_config.path() + "/tetrav");
        QFile ini(m_config.path() + "/tetrav/TetravSet.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        QByteArray junk(256 * 1024, '\0');
        for (int i = 0; i < junk.size(); ++i) {
            junk[i] = char((i * 131 + 7) & 0xFF);
        }
        ini.write(junk);
        ini.close();
        auto run = start(environment());
        endWith(*run, SIGTERM);
    }
}

} // namespace
