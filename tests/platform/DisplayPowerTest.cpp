// Keeping the display awake: the screen saver settings on a private X server (Xvfb has no DPMS) and
// the ScreenSaver inhibit on a private bus, on the paths the real program's runs do not take (those
// runs, and the watchdog after a kill: StartupTest).
#include "platform/CDisplayPower.h"

#include "support/ChildCase.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace {

using namespace tetrav::test;

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};

TETRAV_CHILD_CASE(DisplayPowerRoundTrip) {
    const QByteArray display = qgetenv("DISPLAY");
    {
        CDisplayPower power; // the destructor restores when Restore was not called
        power.SwitchOff();
        EXPECT_EQ(ReadScreenSaver(display).timeout, 0);
        EXPECT_TRUE(WaitUntil([&] { return power.hasInhibit(); }, 3000))
            << "the desktop's reply comes without the program waiting";
    }
    EXPECT_EQ(ReadScreenSaver(display), kFound);
    {
        // Restored before the desktop answered: the inhibit is given back when the answer comes.
        CDisplayPower power;
        power.SwitchOff();
        power.Restore();
        power.Restore(); // twice is harmless
        EXPECT_EQ(ReadScreenSaver(display), kFound);
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
    ASSERT_EQ(inhibitions.size(), 2u);
    EXPECT_EQ(inhibitions[0].application, "Tetrav");
    EXPECT_FALSE(inhibitions[0].reason.isEmpty());
    // Each inhibit was released with its own cookie, also the one answered after Restore.
    EXPECT_EQ(bus.screenSaver().released(),
              (std::vector<uint>{inhibitions[0].cookie, inhibitions[1].cookie}));
}

} // namespace
