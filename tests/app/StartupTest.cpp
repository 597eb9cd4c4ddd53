// The built program started as a user would, each run on a private Xvfb with its own runtime
// and configuration folders: the start-up checks, one copy at a time, the display settings
// kept off while it runs and put back when it ends (by a signal, or after it was killed), the
// ScreenSaver inhibit on a private bus, and command-line files that cannot be opened.
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

#include <csignal>
#include <cstdlib>
#include <ostream>

namespace {

using namespace tetrav::test;

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};

// Whether another client can grab Ctrl+Shift+key on the root window now (released again at once).
bool canGrabCtrlShift(const QByteArray& display, unsigned long keysym) {
    Display* d = XOpenDisplay(display.constData());
    if (!d) {
        return false;
    }
    const xcb_keycode_t keycode = xcb_keycode_t(XKeysymToKeycode(d, keysym));
    XCloseDisplay(d);
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* e = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, uint16_t(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT), keycode,
                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool ok = e == nullptr;
    std::free(e);
    xcb_disconnect(c);
    return ok;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_TRUE(m_config.isValid());
    }
    QProcessEnvironment environment(const XvfbServer& x) const {
        QProcessEnvironment env = x.environment();
        env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        env.insert("XDG_CONFIG_HOME", m_config.path());
        return env;
    }
    // Running: past the checks, display settings off, main window on screen.
    static bool isUp(const XvfbServer& x) {
        return ReadScreenSaver(x.display()).timeout == 0 && HasMappedWindow(x.display());
    }
    // Ends the program with signo and checks it ended cleanly.
    static void endWith(ProgramRun& run, int signo) {
        run.signal(signo);
        ASSERT_TRUE(run.waitForExit()) << "still running after signal " << signo;
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
    }

    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
};

TEST_F(StartupTest, AScreenOfExactly1024x768IsEnough) {
    XvfbServer x("1024x768x24");
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); })) << run.describe();
    ASSERT_TRUE(run.isRunning()) << run.describe();
    endWith(run, SIGTERM);
    EXPECT_EQ(ReadScreenSaver(x.display()), kFound);
}

class SmallScreenTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SmallScreenTest, EndsWithCode18AndSaysWhyWithoutTouchingTheDisplay) {
    XvfbServer x(GetParam());
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    ProgramRun run(environment(x));
    ASSERT_TRUE(run.waitForExit());
    EXPECT_TRUE(run.exitedWith(18));
    const QString size = QString(GetParam()).section('x', 0, 1).replace('x', " x ");
    const QString err = run.standardError();
    EXPECT_TRUE(err.contains(size) && err.contains("1024 x 768")) << err.toStdString();
    EXPECT_EQ(ReadScreenSaver(x.display()), kFound);
    EXPECT_FALSE(HasMappedWindow(x.display()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SmallScreenTest, ::testing::Values("1023x768x24", "1024x767x24"),
                         [](const auto& info) {
                             return QString(info.param).section('x', 0, 1).toStdString();
                         });

TEST_F(StartupTest, ASecondCopyEndsWhileTheFirstRunsOn) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    ProgramRun first(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !first.isRunning(); })) << first.describe();

    ProgramRun second(environment(x));
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18));
    EXPECT_TRUE(second.standardError().contains("already running")) << second.describe();

    // The first copy's settings are still in force and it still runs.
    EXPECT_TRUE(first.isRunning());
    EXPECT_EQ(ReadScreenSaver(x.display()).timeout, 0);
    endWith(first, SIGTERM);
    EXPECT_EQ(ReadScreenSaver(x.display()), kFound);

    // With the first gone, the next copy starts.
    ProgramRun third(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !third.isRunning(); }));
    EXPECT_TRUE(third.isRunning()) << third.describe();
    endWith(third, SIGTERM);
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
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), c.found));
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return HasMappedWindow(x.display()) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    ScreenSaverSettings off = c.found;
    off.timeout = 0;
    EXPECT_EQ(ReadScreenSaver(x.display()), off);
    endWith(run, c.signo);
    EXPECT_EQ(ReadScreenSaver(x.display()), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    ::testing::Values(
        FoundCase{"TimeOut600_Sigterm", {600, 300, DontPreferBlanking, DontAllowExposures}, SIGTERM},
        FoundCase{"TimeOut45_Sigint", {45, 0, PreferBlanking, AllowExposures}, SIGINT},
        FoundCase{"ScreenSaverOff_Sighup", {0, 600, PreferBlanking, AllowExposures}, SIGHUP}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, AKilledProgramHasItsSettingsPutBackByTheWatchdog) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    {
        ProgramRun run(environment(x));
        ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
        ASSERT_TRUE(run.isRunning()) << run.describe();
        run.signal(SIGKILL);
        ASSERT_TRUE(run.waitForExit());
    }
    EXPECT_TRUE(WaitUntil([&] { return ReadScreenSaver(x.display()) == kFound; }, 10000))
        << "time-out " << ReadScreenSaver(x.display()).timeout;

    // A setting the user changed while the program ran is left as the user made it.
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    ASSERT_TRUE(SetScreenSaver(x.display(), {120, 300, DontPreferBlanking, DontAllowExposures}));
    run.signal(SIGKILL);
    ASSERT_TRUE(run.waitForExit());
    // The watchdog's decision takes a moment; give it one, then the value must still be the user's.
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(ReadScreenSaver(x.display()).timeout, 120);
}

TEST_F(StartupTest, TheDesktopScreenSaverIsInhibitedWhileTheProgramRuns) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(bus.StartScreenSaverService());
    QProcessEnvironment env = environment(x);
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ProgramRun run(env);
    const auto& standIn = bus.screenSaver();
    ASSERT_TRUE(WaitUntil([&] { return (isUp(x) && !standIn.inhibitions().empty()) || !run.isRunning(); }));
    ASSERT_EQ(standIn.inhibitions().size(), 1u) << run.describe();
    EXPECT_EQ(standIn.inhibitions()[0].application, "Tetrav");
    EXPECT_TRUE(standIn.released().empty());
    run.signal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(standIn.released(), std::vector<uint>{standIn.inhibitions()[0].cookie});
}

TEST_F(StartupTest, TheDefaultHotKeysAreHeldWhileTheProgramRuns) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    const unsigned long keys[] = {XK_a, XK_b, XK_c, XK_d};
    for (unsigned long key : keys) {
        ASSERT_TRUE(canGrabCtrlShift(x.display(), key));
    }
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    // The keys are registered once the main window is shown and has loaded its settings.
    EXPECT_TRUE(WaitUntil([&] {
        for (unsigned long key : keys) {
            if (canGrabCtrlShift(x.display(), key)) {
                return false;
            }
        }
        return true;
    }));
    endWith(run, SIGTERM);
}

TEST_F(StartupTest, AHotKeyHeldByAnotherClientDoesNotBreakStartUp) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    // Another client holds Ctrl+Shift+A in every variant.
    xcb_keycode_t keycodeA = 0;
    {
        Display* d = XOpenDisplay(x.display().constData());
        ASSERT_NE(d, nullptr);
        keycodeA = xcb_keycode_t(XKeysymToKeycode(d, XK_a));
        XCloseDisplay(d);
    }
    xcb_connection_t* other = xcb_connect(x.display().constData(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    for (int lock :
         {0, int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)}) {
        xcb_generic_error_t* e = xcb_request_check(
            other,
            xcb_grab_key_checked(other, 1, root, uint16_t(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | lock),
                                 keycodeA, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        EXPECT_EQ(e, nullptr);
        std::free(e);
    }
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
    // Still up a moment later, with nothing said about it.
    WaitUntil([] { return false; }, 1500);
    EXPECT_TRUE(run.isRunning()) << run.describe();
    endWith(run, SIGTERM);
    xcb_disconnect(other);
}

TEST_F(StartupTest, TheFirstStartWritesTheSettingsFileInTheConfigurationFolder) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    ProgramRun run(environment(x));
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    endWith(run, SIGTERM);
    QFile ini(m_config.path() + "/tetrav/TetravSet.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = ini.readAll().split('\n');
    QList<QByteArray> sections;
    for (const QByteArray& line : lines) {
        if (line.startsWith('[')) {
            sections << line;
        }
    }
    EXPECT_EQ(sections,
              (QList<QByteArray>{"[FramePhase]", "[MiniVideo]", "[ForeView]", "[SaveMapPath]",
                                 "[VirtualCode1]", "[Modifiers1]", "[VirtualCode2]", "[Modifiers2]",
                                 "[VirtualCode3]", "[Modifiers3]", "[VirtualCode4]", "[Modifiers4]"}));
}

TEST_F(StartupTest, ASettingsFileThatCannotBeWrittenOrReadDoesNotStopTheProgram) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    {
        // The configuration folder cannot be made: the program runs and says so once.
        QFile blocker(m_config.filePath("blocker"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        QProcessEnvironment env = environment(x);
        env.insert("XDG_CONFIG_HOME", blocker.fileName());
        ProgramRun run(env);
        ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
        ASSERT_TRUE(run.isRunning()) << run.describe();
        endWith(run, SIGTERM);
        const QString err = run.standardError();
        EXPECT_EQ(err.count("TetravSet.ini"), 1) << err.toStdString();
    }
    {
        // A binary file where the settings should be.
        QDir().mkpath(m_config.path() + "/tetrav");
        QFile ini(m_config.path() + "/tetrav/TetravSet.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        QByteArray junk(256 * 1024, '\0');
        for (int i = 0; i < junk.size(); ++i) {
            junk[i] = char((i * 131 + 7) & 0xFF);
        }
        ini.write(junk);
        ini.close();
        ProgramRun run(environment(x));
        ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
        ASSERT_TRUE(run.isRunning()) << run.describe();
        endWith(run, SIGTERM);
    }
}

TEST_F(StartupTest, CommandLineFilesThatCannotBeOpenedAreNamedOnStandardError) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.isRunning());
    QTemporaryDir dir;
    ProgramRun run(environment(x),
                   {dir.filePath("missing-one.mp4"), dir.path(), dir.filePath("missing-two.avi")});
    ASSERT_TRUE(WaitUntil([&] { return isUp(x) || !run.isRunning(); }));
    ASSERT_TRUE(run.isRunning()) << run.describe();
    endWith(run, SIGTERM);
    const QString err = run.standardError();
    EXPECT_TRUE(err.contains("missing-one.mp4") && err.contains("missing-two.avi")) << err.toStdString();
    EXPECT_TRUE(err.contains(dir.path() + ": not a file")) << err.toStdString();
}

} // namespace
