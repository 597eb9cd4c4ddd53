// The built program on a private Xvfb and a private session bus, as the desktop meets it: a
// second copy started with files (a file manager's "Open With") hands them to the running copy,
// which opens them as a set, and ends with the second copy's code; the running copy is seen
// from outside through its media-control properties. Without a session bus nothing is
// registered and nothing is said about it.
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

namespace {

using namespace tetrav::test;

class DesktopBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(clip("a_6s.mp4"))) {
            GTEST_SKIP() << "clips missing";
        }
        ASSERT_TRUE(m_runtime.isValid() && m_config.isValid());
        m_x = std::make_unique<XvfbServer>("1280x1024x24");
        ASSERT_TRUE(m_x->isRunning());
    }
    QProcessEnvironment environment(const QString& busAddress) const {
        QProcessEnvironment env =
            m_x->environment({{"XDG_RUNTIME_DIR", m_runtime.path()}, {"XDG_CONFIG_HOME", m_config.path()}});
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.remove("QT_ACCESSIBILITY"); // its bridge would look for a bus of its own
        if (!busAddress.isEmpty()) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
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
    bool isUp(ProgramRun& run) const { return HasMappedWindow(m_x->display()) || !run.isRunning(); }

    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    std::unique_ptr<XvfbServer> m_x;
};

TEST_F(DesktopBusTest, ASecondCopyHandsItsFilesToTheRunningCopy) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    ProgramRun first(environment(bus.address()));
    ASSERT_TRUE(WaitUntil([&] { return isUp(first); })) << first.describe();
    ASSERT_TRUE(WaitUntil([&] { return Property(bus.address(), "PlaybackStatus") == "(<'Stopped'>,)"; }))
        << first.describe();

    ProgramRun second(environment(bus.address()), {clip("c_10s.mp4"), clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18)) << second.describe();
    EXPECT_TRUE(second.standardError().contains("the running copy opens")) << second.describe();

    // The running copy opened them as a set; b_4s, the shorter, is the reference.
    EXPECT_TRUE(WaitUntil([&] {
        return Property(bus.address(), "Metadata").contains("'xesam:title': <'b_4s'>");
    })) << Property(bus.address(), "Metadata").toStdString();
    EXPECT_EQ(Property(bus.address(), "PlaybackStatus"), "(<'Paused'>,)");
    EXPECT_TRUE(first.isRunning());

    first.signal(SIGTERM);
    ASSERT_TRUE(first.waitForExit());
    EXPECT_TRUE(first.exitedWith(0)) << first.describe();
}

TEST_F(DesktopBusTest, WithoutASessionBusNothingIsRegisteredOrSaid) {
    ProgramRun first(environment(QString()), {clip("a_6s.mp4")});
    ASSERT_TRUE(WaitUntil([&] { return isUp(first); })) << first.describe();
    // A second copy with files cannot reach the first: it says so and ends as it always did.
    ProgramRun second(environment(QString()), {clip("b_4s.mp4")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(second.exitedWith(18));
    EXPECT_TRUE(second.standardError().contains("could not be handed")) << second.describe();
    first.signal(SIGTERM);
    ASSERT_TRUE(first.waitForExit());
    EXPECT_TRUE(first.exitedWith(0)) << first.describe();
    const QString err = first.standardError();
    EXPECT_FALSE(err.contains("bus", Qt::CaseInsensitive) || err.contains("mpris", Qt::CaseInsensitive))
        << err.toStdString();
}

} // namespace
