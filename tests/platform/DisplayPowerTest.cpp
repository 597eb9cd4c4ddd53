// Keeping the display awake: the screen saver settings on a private X server (Xvfb has no DPMS), the
// ScreenSaver inhibit on a private bus, and the watchdog's text form of them.
#include "platform/CDisplayPower.h"

#include "platform/CX11DisplayState.h"
#include "support/ChildCase.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <tuple>

namespace {

using namespace tetrav::test;

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};

TEST(X11DisplayStateTest, TextFormRoundTripsAndRejectsGarbage) {
    CX11DisplayState s, back;
    std::tie(s.ssTimeout, s.ssInterval, s.ssBlanking, s.ssExposures) = std::tuple(600, 300, 2, 1);
    std::tie(s.hasDpms, s.dpmsEnabled) = std::tuple(true, true);
    std::tie(s.dpmsStandby, s.dpmsSuspend, s.dpmsOff) = std::tuple(65535, 1200, 1800);
    ASSERT_TRUE(CX11DisplayState::Deserialize(s.Serialize(), back));
    EXPECT_TRUE(back == s);
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5,6,7,8,x", "1,2,3,4,5,6,7,8,9,10"}) {
        EXPECT_FALSE(CX11DisplayState::Deserialize(bad, back)) << bad;
    }
}

TETRAV_CHILD_CASE(DisplayPowerRoundTrip) {
    const QByteArray display = qgetenv("DISPLAY");
    {
        CDisplayPower power;
        power.SwitchOff();
        EXPECT_EQ(ReadScreenSaver(display).timeout, 0);
        EXPECT_EQ(power.foundScreenSaverTimeout(), 600);
        EXPECT_TRUE(WaitUntil([&] { return power.hasInhibit(); }, 3000))
            << "the desktop's reply comes without the program waiting";
        power.Restore();
        EXPECT_EQ(ReadScreenSaver(display), kFound);
        EXPECT_FALSE(power.hasInhibit());
        power.Restore(); // twice is harmless
        EXPECT_EQ(ReadScreenSaver(display), kFound);
    }
    {
        CDisplayPower power; // the destructor restores when Restore was not called
        power.SwitchOff();
        EXPECT_TRUE(WaitUntil([&] { return power.hasInhibit(); }, 3000));
    }
    EXPECT_EQ(ReadScreenSaver(display), kFound);
    {
        // Restored before the desktop answered: the inhibit is given back when the answer comes.
        CDisplayPower power;
        power.SwitchOff();
        power.Restore();
        WaitUntil([] { return false; }, 500);
        EXPECT_FALSE(power.hasInhibit());
    }
}

TEST(DisplayPowerTest, SwitchesOffInhibitsAndPutsBackWhatWasFound) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning() && bus.StartScreenSaverService());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    EXPECT_CHILD_PASSES(
        RunChildCase("DisplayPowerRoundTrip", x.environment({{"DBUS_SESSION_BUS_ADDRESS", bus.address()}})));

    const auto& inhibitions = bus.screenSaver().inhibitions();
    ASSERT_EQ(inhibitions.size(), 3u);
    EXPECT_EQ(inhibitions[0].application, "Tetrav");
    EXPECT_FALSE(inhibitions[0].reason.isEmpty());
    // Each inhibit was released with its own cookie, also the one answered after Restore.
    EXPECT_EQ(bus.screenSaver().released(),
              (std::vector<uint>{inhibitions[0].cookie, inhibitions[1].cookie, inhibitions[2].cookie}));
}

} // namespace
