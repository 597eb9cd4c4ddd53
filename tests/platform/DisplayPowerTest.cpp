// Keeping the display awake: the X screen saver and DPMS settings switched off and put back as
// found, on private X servers, and the ScreenSaver inhibit on a private session bus.
#include "platform/CDisplayPower.h"
#include "platform/CX11DisplayState.h"
#include "support/ChildCase.h"
#include "support/PrivateSessionBus.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace {

using namespace tetrav::test;

class X11Display {
public:
    explicit X11Display(const QByteArray& name) : m_d(XOpenDisplay(name.constData())) {}
    ~X11Display() {
        if (m_d) {
            XCloseDisplay(m_d);
        }
    }
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;
    Display* get() const { return m_d; }

private:
    Display* m_d;
};

const ScreenSaverSettings kFound{600, 300, DontPreferBlanking, DontAllowExposures};

TEST(X11DisplayStateTest, SwitchOffKeepsTheOtherSettingsAndApplyPutsBackWhatWasFound) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    X11Display d(x.display());
    ASSERT_TRUE(d.get());
    const CX11DisplayState found = CX11DisplayState::Read(d.get());
    EXPECT_EQ(found.ssTimeout, 600);
    EXPECT_EQ(found.ssInterval, 300);
    EXPECT_EQ(found.hasDpms, HasDpms(x.display()));

    found.SwitchOff(d.get());
    EXPECT_EQ(ReadScreenSaver(x.display()),
              (ScreenSaverSettings{0, 300, DontPreferBlanking, DontAllowExposures}));
    found.Apply(d.get());
    EXPECT_EQ(ReadScreenSaver(x.display()), kFound);
}

TEST(X11DisplayStateTest, LateRestoreLeavesSettingsSomeoneElseChanged) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    X11Display d(x.display());
    const CX11DisplayState found = CX11DisplayState::Read(d.get());

    found.SwitchOff(d.get());
    found.RestoreWhereStillOff(d.get());
    EXPECT_EQ(ReadScreenSaver(x.display()).timeout, 600);

    found.SwitchOff(d.get());
    ASSERT_TRUE(SetScreenSaver(x.display(), {120, 300, DontPreferBlanking, DontAllowExposures}));
    found.RestoreWhereStillOff(d.get());
    EXPECT_EQ(ReadScreenSaver(x.display()).timeout, 120);
}

TEST(X11DisplayStateTest, TextFormRoundTripsAndRejectsGarbage) {
    CX11DisplayState s;
    s.ssTimeout = 600;
    s.ssInterval = 300;
    s.ssBlanking = 2;
    s.ssExposures = 1;
    s.hasDpms = true;
    s.dpmsEnabled = true;
    s.dpmsStandby = 65535;
    s.dpmsSuspend = 1200;
    s.dpmsOff = 1800;
    CX11DisplayState back;
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
        EXPECT_TRUE(power.hasInhibit());
        power.Restore();
        EXPECT_EQ(ReadScreenSaver(display), kFound);
        EXPECT_FALSE(power.hasInhibit());
        power.Restore(); // twice is harmless
        EXPECT_EQ(ReadScreenSaver(display), kFound);
    }
    {
        CDisplayPower power; // the destructor restores when Restore was not called
        power.SwitchOff();
        EXPECT_EQ(ReadScreenSaver(display).timeout, 0);
    }
    EXPECT_EQ(ReadScreenSaver(display), kFound);
}

TEST(DisplayPowerTest, SwitchesOffInhibitsAndPutsBackWhatWasFound) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(bus.StartScreenSaverService());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    QProcessEnvironment env = x.environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    EXPECT_CHILD_PASSES(RunChildCase("DisplayPowerRoundTrip", env));

    const auto& inhibitions = bus.screenSaver().inhibitions();
    ASSERT_EQ(inhibitions.size(), 2u);
    EXPECT_EQ(inhibitions[0].application, "Tetrav");
    EXPECT_FALSE(inhibitions[0].reason.isEmpty());
    // Each inhibit was released with its own cookie.
    EXPECT_EQ(bus.screenSaver().released(),
              (std::vector<uint>{inhibitions[0].cookie, inhibitions[1].cookie}));
}

TETRAV_CHILD_CASE(DisplayPowerWithoutService) {
    CDisplayPower power;
    power.SwitchOff();
    EXPECT_FALSE(power.hasInhibit());
    EXPECT_EQ(ReadScreenSaver(qgetenv("DISPLAY")).timeout, 0);
    power.Restore();
    EXPECT_EQ(ReadScreenSaver(qgetenv("DISPLAY")).timeout, 600);
}

TEST(DisplayPowerTest, ABusWithoutTheServiceIsNoError) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(SetScreenSaver(x.display(), kFound));
    QProcessEnvironment env = x.environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    EXPECT_CHILD_PASSES(RunChildCase("DisplayPowerWithoutService", env));
}

TETRAV_CHILD_CASE(DpmsRoundTrip) {
    const QByteArray display = qgetenv("DISPLAY");
    CDisplayPower power;
    power.SwitchOff();
    EXPECT_TRUE(power.hadDpms());
    EXPECT_EQ(ReadDpms(display), (DpmsSettings{false, 0, 0, 0}));
    power.Restore();
    EXPECT_EQ(ReadDpms(display), (DpmsSettings{true, 600, 1200, 1800}));
}

TEST(DisplayPowerTest, DpmsTimeOutsArePutBackWhereTheServerHasDpms) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    if (!HasDpms(x.display())) {
        GTEST_SKIP() << "this X server has no DPMS extension (Xvfb never has)";
    }
    ASSERT_TRUE(SetDpms(x.display(), {true, 600, 1200, 1800}));
    EXPECT_CHILD_PASSES(RunChildCase("DpmsRoundTrip", x.environment()));
}

} // namespace
