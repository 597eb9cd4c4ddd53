// The run options as a user gives them: the real program started with them on a private desktop,
// its state read back from its status bar (AT-SPI) and its media player (MPRIS), and a second
// start handing its options to the running window. The settings file is never rewritten by them.
#include "e2e/SetSession.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>

namespace {

using namespace tetrav::test;

class CommandLineRunTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_s.ready()); }

    QString player(const QString& name) { return m_s.mprisProperty(name).toString(); }
    // The set's track id: a new one for every other set of files.
    QString track() {
        return qdbus_cast<QVariantMap>(m_s.mprisProperty(QStringLiteral("Metadata")))
            .value(QStringLiteral("mpris:trackid"))
            .value<QDBusObjectPath>()
            .path();
    }
    // The reference position in seconds (-1 when unread).
    double position() {
        const QVariant us = m_s.mprisProperty(QStringLiteral("Position"));
        return us.isValid() ? us.toLongLong() / 1e6 : -1.0;
    }
    // The texts of the status bar's parts, joined by " | ".
    QString statusBar() { return m_s.statusTexts().join(QStringLiteral(" | ")); }

    SetSession m_s;
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
        double rate;
        double at; // the position: within 0.1 s while paused, not before it while playing (-1: any)
    };
    // The offsets and positions are in the status bar once play has started.
    const Row rows[] = {
        {{a, c}, "\\| 00:00:06 \\|", "Paused", 1, 0.0},
        {{"--reference", "longest", a, c}, "\\| 00:00:10 \\|", "Paused", 1, 0.0},
        {{"--start", "2.52", a, c}, "", "Paused", 1, 2.52},
        {{"--sync", "time", "--start", "2.52", a, c}, "", "Paused", 1, 2.0},
        {{"--offset", "2=-1.5", "--offset=1=0.25", "--play", a, c},
         "偏移 \\+0\\.250,-1\\.500,0,0$",
         "Playing",
         1,
         -1},
        {{"--rate", "0.25", a}, "", "Paused", 0.25, -1},
        {{a, c, "--play", "--rate", "2"}, "", "Playing", 2, -1},
        // The set's own offset, sync mode and position give way to the options.
        {{"--set", set, "--offset", "2=-1", "--sync", "frame", "--start", "3.08", "--play"},
         "\\| 00:00:10 \\| .*偏移 0,-1\\.000,0,0$",
         "Playing",
         1,
         3.08},
    };
    // Paused: the seek lands within 0.1 s. Playing (just seen to play): the set jumps there from
    // where it opened, never showing a place between the two, as it would played from the start.
    // Where it opened is the first reading: the seek may still be under way when play is told,
    // and a reference with an offset opens past 0. On its way it may show the key frame before
    // the place (a key frame every second here) for a moment.
    const auto reachesPosition = [&](bool playing, double expected) {
        double at = -1;
        double opened = -1;
        double between = -1;
        const auto near = [&] {
            at = position();
            opened = opened < 0.0 ? at : opened;
            if (playing && at > opened + 0.1 && at < expected - 1.05) {
                between = at;
            }
            return playing ? at >= expected - 0.05 : std::abs(at - expected) < 0.1;
        };
        EXPECT_TRUE(WaitUntil(near, 20000, 50)) << "at " << at << " s, not " << expected;
        EXPECT_LT(between, 0.0) << "played to " << between << " s from " << opened << " s on the way to "
                                << expected << " s";
        EXPECT_LT(at, expected + 1.5) << "first seen past " << expected << " s";
    };
    QByteArray settings;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const QString why = m_s.start(row.arguments, QString());
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        // Paused or playing once the set is open (stopped before).
        EXPECT_TRUE(WaitUntil([&] { return player("PlaybackStatus") == row.state; }, 20000, 100))
            << player("PlaybackStatus").toStdString();
        if (row.at >= 0) {
            reachesPosition(row.state == "Playing", row.at);
        }
        double rate = -1;
        EXPECT_TRUE(WaitUntil(
            [&] { return (rate = m_s.mprisProperty(QStringLiteral("Rate")).toDouble()) == row.rate; }, 5000,
            50))
            << rate;
        const QRegularExpression status(row.status);
        QString shown;
        EXPECT_TRUE(WaitUntil([&] { return status.match(shown = statusBar()).hasMatch(); }, 15000, 200))
            << shown.toStdString();
        if (settings.isEmpty()) {
            settings = readAll(m_s.configPath("tetrav/TetravSet.ini"));
            EXPECT_TRUE(settings.contains("[MiniVideo]\nMiniVideoNumber=1")) << settings.toStdString();
        }
        if (&row == &rows[std::size(rows) - 1]) {
            // A second start hands its files and options to this window and ends.
            const QString before = track();
            ProgramRun second(m_s.environment(),
                              {"--reference", "shortest", "--start", "3", "--play", c, clip("d_20s.mp4")});
            ASSERT_TRUE(second.waitForExit());
            EXPECT_TRUE(second.exitedWith(0)) << second.describe();
            EXPECT_TRUE(WaitUntil([&] { return track() != before; }, 15000, 100))
                << "the files were not opened";
            EXPECT_TRUE(WaitUntil([&] { return player("PlaybackStatus") == "Playing"; }, 10000, 100));
            reachesPosition(true, 3.0);
            EXPECT_TRUE(WaitUntil([&] { return statusBar().contains(" | 00:00:10 | "); }, 10000, 200))
                << "the shortest is the reference again";
        }
        m_s.program().signal(SIGTERM);
        ASSERT_TRUE(m_s.program().waitForExit());
        EXPECT_TRUE(m_s.program().exitedWith(0)) << m_s.program().describe();
        EXPECT_EQ(readAll(m_s.configPath("tetrav/TetravSet.ini")), settings) << "the settings file is left";
    }
}

} // namespace
