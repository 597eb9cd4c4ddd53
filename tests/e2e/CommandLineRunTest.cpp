// The run options as a user gives them: the real program started with them on a private desktop,
// its state read back from its status bar (AT-SPI) and its media player (MPRIS), and a second
// start handing its options to the running window. The settings file is never rewritten by them.
#include "e2e/AtspiClient.h"
#include "e2e/DesktopEnvironment.h"
#include "support/FileBytes.h"
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>
#include <memory>

namespace {

using namespace tetrav::test;

class CommandLineRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_x.isRunning() && m_bus.isRunning() && m_runtime.isValid() && m_config.isValid());
        ASSERT_TRUE(m_atspi.connect(m_bus.address()));
    }

    QProcessEnvironment environment() const { return DesktopEnvironment(m_x, m_bus, m_runtime, m_config); }

    // A property of the running copy's media player, as gdbus prints its value ("" when unread).
    QString player(const QString& name) const {
        QProcess p;
        p.start("gdbus", {"call", "--address", m_bus.address(), "--dest", "org.mpris.MediaPlayer2.tetrav",
                          "--object-path", "/org/mpris/MediaPlayer2", "--method",
                          "org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player", name});
        const bool ok = p.waitForFinished(5000) && p.exitCode() == 0;
        return ok ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
    }
    // The reference position in seconds (-1 when unread).
    double position() const {
        static const QRegularExpression number(QStringLiteral("(-?\\d+)>")); // "(<int64 2520000>,)"
        const QRegularExpressionMatch m = number.match(player("Position"));
        return m.hasMatch() ? m.captured(1).toDouble() / 1e6 : -1.0;
    }

    // The texts of the status bar's parts, joined by " | " ("" before the window is on the bus).
    QString statusBar(qint64 pid) {
        const QString app = m_atspi.findApplication(pid);
        return m_atspi.statusTexts(m_atspi.tree(app)).join(QStringLiteral(" | "));
    }

    // Starts the program and waits until its set is open (the player names a reference video).
    std::unique_ptr<ProgramRun> start(const QStringList& arguments) {
        auto run = std::make_unique<ProgramRun>(environment(), arguments);
        EXPECT_TRUE(WaitUntil([&] { return !run->isRunning() || player("Metadata").contains("xesam:title"); },
                              20000, 100))
            << run->describe();
        return run;
    }
    static void end(ProgramRun& run) {
        run.signal(SIGTERM);
        ASSERT_TRUE(run.waitForExit());
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
    }

    XvfbServer m_x{QStringLiteral("1280x1024x24")};
    PrivateSessionBus m_bus{m_x.environment()};
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    AtspiClient m_atspi;
};

// One start per row: the status bar's total time and offsets, the player's state, rate and position.
// Frame sync lands --start on its frame; time sync on a key frame (every second in these clips).
TEST_F(CommandLineRunTest, EachOptionActsOnTheOpenedWindowAndASecondStartHandsItsOptionsOver) {
    QTemporaryDir dir;
    const QString set = dir.filePath("match.tetravset");
    writeAll(set, ("[TetravSet]\nVideo1=" + clip("a_6s.mp4") + "\nVideo2=" + clip("c_10s.mp4") +
                   "\nOffset2=2\nSyncMode=time\nReference=longest\nPosition=1.5\n")
                      .toUtf8());
    const QString a = clip("a_6s.mp4");
    const QString c = clip("c_10s.mp4");
    struct Row {
        QStringList arguments;
        QString status; // a pattern the status bar's text must match
        QString state;  // PlaybackStatus
        QString rate;   // Rate as gdbus prints it
        double at;      // the position: within 0.1 s while paused, not before it while playing (-1: any)
    };
    // The offsets and positions are in the status bar once play has started.
    const Row rows[] = {
        {{a, c}, "\\| 00:00:06 \\|", "Paused", "1.0", 0.0},
        {{"--reference", "longest", a, c}, "\\| 00:00:10 \\|", "Paused", "1.0", 0.0},
        {{"--start", "2.52", a, c}, "", "Paused", "1.0", 2.52},
        {{"--sync", "time", "--start", "2.52", a, c}, "", "Paused", "1.0", 2.0},
        {{"--offset", "2=-1.5", "--offset=1=0.25", "--play", a, c},
         "偏移 \\+0\\.250,-1\\.500,0,0$",
         "Playing",
         "1.0",
         -1},
        {{"--rate", "0.25", a}, "", "Paused", "0.25", -1},
        {{a, c, "--play", "--rate", "2"}, "", "Playing", "2.0", -1},
        // The set's own offset, sync mode and position give way to the options.
        {{"--set", set, "--offset", "2=-1", "--sync", "frame", "--start", "3.08", "--play"},
         "\\| 00:00:10 \\| .*偏移 0,-1\\.000,0,0$",
         "Playing",
         "1.0",
         3.08},
    };
    // Paused: the seek lands within 0.1 s. Playing (just seen to play): it started there, so it is
    // at most a moment past it (from the beginning it would take seconds to get there).
    const auto reachesPosition = [&](bool playing, double expected) {
        double at = -1;
        if (playing) {
            at = position();
            EXPECT_TRUE(at >= expected - 0.05 && at < expected + 1.5)
                << "at " << at << " s, not " << expected;
            return;
        }
        EXPECT_TRUE(WaitUntil([&] { return std::abs((at = position()) - expected) < 0.1; }, 10000, 100))
            << "at " << at << " s, not " << expected;
    };
    QByteArray settings;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        auto run = start(row.arguments);
        ASSERT_TRUE(run->isRunning()) << run->describe();
        EXPECT_TRUE(
            WaitUntil([&] { return player("PlaybackStatus") == "(<'" + row.state + "'>,)"; }, 10000, 100))
            << player("PlaybackStatus").toStdString();
        if (row.at >= 0) {
            reachesPosition(row.state == "Playing", row.at);
        }
        EXPECT_EQ(player("Rate"), "(<" + row.rate + ">,)");
        const QRegularExpression status(row.status);
        QString shown;
        EXPECT_TRUE(
            WaitUntil([&] { return status.match(shown = statusBar(run->pid())).hasMatch(); }, 15000, 200))
            << shown.toStdString();
        if (settings.isEmpty()) {
            settings = readAll(m_config.filePath("tetrav/TetravSet.ini"));
            EXPECT_TRUE(settings.contains("[MiniVideo]\nMiniVideoNumber=1")) << settings.toStdString();
        }
        if (&row == &rows[std::size(rows) - 1]) {
            // A second start hands its files and options to this window and ends.
            ProgramRun second(environment(),
                              {"--reference", "shortest", "--start", "3", "--play", c, clip("d_20s.mp4")});
            ASSERT_TRUE(second.waitForExit());
            EXPECT_TRUE(second.exitedWith(0)) << second.describe();
            EXPECT_TRUE(WaitUntil([&] { return player("Metadata").contains("'xesam:title': <'c_10s'>"); },
                                  15000, 100));
            EXPECT_TRUE(WaitUntil([&] { return player("PlaybackStatus") == "(<'Playing'>,)"; }, 10000, 100));
            reachesPosition(true, 3.0);
            EXPECT_TRUE(
                WaitUntil([&] { return statusBar(run->pid()).contains(" | 00:00:10 | "); }, 10000, 200))
                << "the shortest is the reference again";
        }
        end(*run);
        EXPECT_EQ(readAll(m_config.filePath("tetrav/TetravSet.ini")), settings)
            << "the settings file is left";
    }
}

} // namespace
