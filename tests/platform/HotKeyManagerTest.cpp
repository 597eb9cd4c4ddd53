// System-wide hot keys as X11 key grabs, on a private Xvfb (in a child process whose QApplication
// talks to it): registration, key presses sent with xdotool, and keys held by another X client.
#include "platform/CHotKeyManager.h"
#include "support/ChildCase.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

using namespace tetrav::test;

constexpr unsigned kCtrlShift = 6;

// Presses the keys (xdotool key names, separated by blanks) one after the other.
void pressKeys(const char* keys) {
    QString why;
    ASSERT_TRUE(Xdotool({}, QStringList{"key"} + QString(keys).split(' '), &why)) << why.toStdString();
}

// The id of the next hot key reported within a bounded wait, or 0.
int nextHotKey(QSignalSpy& spy, int timeoutMs = 3000) {
    return spy.isEmpty() && !spy.wait(timeoutMs) ? 0 : spy.takeFirst().at(0).toInt();
}

TETRAV_CHILD_CASE(HotKeysOnAPrivateServer) {
    CHotKeyManager keys;
    QSignalSpy spy(&keys, &CHotKeyManager::hotKey);
    for (unsigned n = 0; n < 4; ++n) {
        ASSERT_TRUE(keys.RegisterHotKey(int(n + 1) * 100, kCtrlShift, 65 + n)) << "pane " << n + 1;
    }
    pressKeys("ctrl+shift+a ctrl+shift+d");
    EXPECT_EQ(nextHotKey(spy), 100);
    EXPECT_EQ(nextHotKey(spy), 400);

    // NumLock and CapsLock on do not hide the hot keys.
    pressKeys("Num_Lock ctrl+shift+b");
    EXPECT_EQ(nextHotKey(spy), 200);
    pressKeys("Caps_Lock ctrl+shift+c");
    EXPECT_EQ(nextHotKey(spy), 300);
    pressKeys("Num_Lock Caps_Lock");
    // Other modifiers are other keys.
    pressKeys("a ctrl+a ctrl+shift+alt+a");
    EXPECT_EQ(nextHotKey(spy, 500), 0);

    // Unregistered keys are released for everyone.
    EXPECT_TRUE(keys.UnregisterHotKey(100));
    EXPECT_FALSE(keys.UnregisterHotKey(100));
    pressKeys("ctrl+shift+a");
    EXPECT_EQ(nextHotKey(spy, 500), 0);
    EXPECT_TRUE(CanGrabKey({}, XK_a, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT));

    // Another client holds Ctrl+Shift+A with NumLock only: one variant is enough to refuse, the
    // variants taken before the refusal are given back, and the other keys still work.
    OtherX11Client other;
    ASSERT_TRUE(other.grabKey(XK_a, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_2));
    EXPECT_FALSE(keys.RegisterHotKey(100, kCtrlShift, 'A'));
    EXPECT_FALSE(keys.IsRegistered(100));
    EXPECT_TRUE(CanGrabKey({}, XK_a, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT));
    pressKeys("ctrl+shift+c");
    EXPECT_EQ(nextHotKey(spy), 300);

    // One key combination serves one hot key.
    EXPECT_FALSE(keys.RegisterHotKey(500, kCtrlShift, 'B'));
    // Registering an id again moves it to the new key.
    ASSERT_TRUE(keys.RegisterHotKey(200, 4 | 1, 0x70)); // Shift+Alt+F1
    pressKeys("ctrl+shift+b");
    EXPECT_EQ(nextHotKey(spy, 500), 0);
    pressKeys("shift+alt+F1");
    EXPECT_EQ(nextHotKey(spy), 200);
    // Keys the keyboard does not have are refused.
    EXPECT_FALSE(keys.RegisterHotKey(600, kCtrlShift, 0xFF));
}

TETRAV_CHILD_CASE(NoX11Connection) {
    CHotKeyManager keys;
    EXPECT_FALSE(keys.RegisterHotKey(100, kCtrlShift, 'A'));
    EXPECT_FALSE(keys.IsRegistered(100));
    keys.UnregisterAll();
}

// Without an X11 connection (Qt offscreen) registration fails quietly.
TEST(HotKeyManagerTest, KeysRegisterReachTheirIdsAndKeysHeldElsewhereOrWithoutX11AreRefused) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    EXPECT_CHILD_PASSES(RunChildCase("HotKeysOnAPrivateServer", x.environment()));
    EXPECT_CHILD_PASSES(RunChildCase("NoX11Connection", x.environment({{"QT_QPA_PLATFORM", "offscreen"}})));
}

// The ranges the mapping computes, at both ends, and codes between them that have no key.
TEST(HotKeyManagerTest, VirtualKeyRangesMapToKeySymbols) {
    const std::pair<unsigned, unsigned long> table[] = {
        {'A', XK_a},     {'Z', XK_z},     {'0', XK_0},      {'9', XK_9},       {0x70, XK_F1}, {0x87, XK_F24},
        {0x60, XK_KP_0}, {0x69, XK_KP_9}, {0x20, XK_space}, {0x1B, XK_Escape}, {0, 0},        {0x07, 0},
        {0x3A, 0},       {0x40, 0},       {0x5F, 0},        {0x88, 0},         {0xFF, 0},     {0x141, 0}};
    for (const auto& [vk, sym] : table) {
        EXPECT_EQ(CHotKeyManager::KeySymForVirtualKey(vk), sym) << "virtual key 0x" << std::hex << vk;
    }
}

} // namespace
