// The desktop's media controls, driven by gdbus calls on the private session bus.
#include "mainwnd/WindowTestSupport.h"

#include "desktop/CMprisPlayer.h"
#include "platform/SessionBus.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cmath>
#include <functional>

namespace mainwnd_test {
namespace {

const QString kName = QStringLiteral("org.mpris.MediaPlayer2.tetrav");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

struct Result {
    int code = -1;
    QString out;
    QString err;
};

class MprisTest : public ClipWindowTest {
protected:
    void SetUp() override {
        ClipWindowTest::SetUp();
        if (IsSkipped() || !SessionBus::IsThere() || QStandardPaths::findExecutable("gdbus").isEmpty()) {
            GTEST_SKIP() << "no clips, no session bus or no gdbus";
        }
        ASSERT_TRUE((new CMprisPlayer(dlg.get()))->Register());
        const auto owned = [] {
            return Call("org.freedesktop.DBus.NameHasOwner", {kName}, "org.freedesktop.DBus",
                        "/org/freedesktop/DBus");
        };
        ASSERT_TRUE(WaitUntil([&] { return owned().out.contains("true"); }, 5000));
    }
    // Runs gdbus call to its end while this process's event loop serves the bus.
    static Result Call(const QString& method, const QStringList& args = {}, const QString& dest = kName,
                       const QString& path = kPath) {
        QProcess p;
        p.start("gdbus",
                QStringList{"call", "--session", "--dest", dest, "--object-path", path, "--method", method} +
                    args);
        Result r;
        if (p.waitForStarted(5000) && WaitUntil([&] { return p.state() == QProcess::NotRunning; }, 10000)) {
            r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        }
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return r;
    }
    // Sends the call as media keys and desktop widgets often do: without asking for a reply.
    static void Send(const QString& method, const QStringList& args = {}) {
        QProcess p;
        p.start("dbus-send",
                QStringList{"--session", "--type=method_call", "--dest=" + kName, kPath, method} + args);
        ASSERT_TRUE(p.waitForStarted(5000));
        ASSERT_TRUE(WaitUntil([&] { return p.state() == QProcess::NotRunning; }, 10000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    static Result Get(const QString& property) {
        return Call("org.freedesktop.DBus.Properties.Get", {kPlayer, property});
    }
    static Result Set(const QString& property, const QString& gvariant) {
        return Call("org.freedesktop.DBus.Properties.Set", {kPlayer, property, gvariant});
    }
    double Position(int k) const {
        double s = -1;
        dlg->Set().Channel(k)->GetCurrentPosition(s);
        return s;
    }
    QString Monitored() { return m_seen += QString::fromUtf8(m_monitor.readAllStandardOutput()); }

    QProcess m_monitor;
    QString m_seen;
};

// Each command leaves the state its tool bar button does.
TEST_F(MprisTest, PropertiesSeeksMalformedCallsAndCommandsActAsTheToolBarDoes) {
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", "b_4s.mp4", nullptr, nullptr}));
    QTest::qWait(50); // the queued change notice of the open
    // The reference (the shortest) is the track: its title and length.
    const Result meta = Get("Metadata");
    EXPECT_TRUE(meta.out.contains("'xesam:title': <'b_4s'>"));
    EXPECT_TRUE(meta.out.contains(
        QStringLiteral("'mpris:length': <int64 %1>").arg(std::llround(dlg->Set().TotalTime() * 1e6))));
    const int from = meta.out.indexOf("objectpath '") + 12;
    const QString track = meta.out.mid(from, meta.out.indexOf('\'', from) - from);
    ASSERT_TRUE(track.startsWith("/org/tetrav/Tetrav/Set/"));

    // SetPosition moves every channel there, as the go-to command does; Seek is relative.
    ASSERT_EQ(Call(kPlayer + ".SetPosition", {track, "2000000"}).code, 0);
    EXPECT_NEAR(Position(0), 2.0, 0.5);
    EXPECT_NEAR(Position(1), 2.0, 0.5);
    ASSERT_EQ(Call(kPlayer + ".Seek", {"int64 -5000000"}).code, 0); // before the start: to the start
    EXPECT_NEAR(Position(1), 0.0, 0.5);
    ASSERT_EQ(Call(kPlayer + ".Seek", {"1000000"}).code, 0);
    EXPECT_NEAR(Position(1), 1.0, 0.5);
    EXPECT_TRUE(Get("Position").out.startsWith("(<int64 "));

    // Refused: nothing moves, no status text, no rate.
    const QString statusBefore = Status(0);
    const double before = Position(1);
    const Result bad[] = {
        Call(kPlayer + ".SetPosition", {track, "int64 -1"}),
        Call(kPlayer + ".SetPosition", {track, "60000000"}),
        Call(kPlayer + ".SetPosition", {"/org/tetrav/Tetrav/Set/0", "1000000"}),
        Call(kPlayer + ".Seek", {"60000000"}),
        Set("Rate", "<1.5>"),
        Set("Rate", "<'fast'>"),
        Set("Metadata", "<'x'>"),
        Call(kPlayer + ".Play", {"1"}),
    };
    for (const Result& r : bad) {
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.err.contains("org.freedesktop.DBus.Error"));
    }
    EXPECT_NEAR(Position(1), before, 0.05);
    EXPECT_EQ(Status(0), statusBefore);
    EXPECT_EQ(dlg->Set().Rate(), 1.0);

    // What media-key tools such as playerctl check before they send a command.
    const QString all = Call("org.freedesktop.DBus.Properties.GetAll", {"org.mpris.MediaPlayer2"}).out +
                        Call("org.freedesktop.DBus.Properties.GetAll", {kPlayer}).out;
    for (const char* property :
         {"'DesktopEntry': <'org.tetrav.Tetrav'>", "'Identity': <'Tetrav'>", "'CanGoNext': <false>",
          "'CanControl': <true>", "'CanPlay': <true>", "'CanPause': <true>", "'CanSeek': <true>",
          "'MinimumRate': <0.25>", "'MaximumRate': <2.0>"}) {
        EXPECT_TRUE(all.contains(property)) << property;
    }

    EXPECT_EQ(Get("PlaybackStatus").out, "(<'Paused'>,)") << "an open set waits for play";
    m_monitor.start("gdbus", {"monitor", "--session", "--dest", kName});
    ASSERT_TRUE(m_monitor.waitForStarted(5000));
    QTest::qWait(300); // until its match rules are in
    // The play commands, then the rates the tool bar offers ("<rate>"); normal speed resumes play.
    struct Step {
        const char* method;
        const char* status;
        const char* playback;
        double rate;
    } steps[] = {{"PlayPause", "开始播放", "Playing", 1}, {"PlayPause", "暂停播放", "Paused", 1},
                 {"Play", "开始播放", "Playing", 1},      {"Pause", "暂停播放", "Paused", 1},
                 {"<2.0>", "加快播放", "Paused", 2},      {"<0.25>", "慢速播放", "Paused", 0.25},
                 {"<1.0>", "慢速播放", "Paused", 1}}; // a rate never starts play
    for (const Step& s : steps) {
        SCOPED_TRACE(s.method);
        ASSERT_EQ((*s.method == '<' ? Set("Rate", s.method) : Call(kPlayer + "." + s.method)).code, 0);
        EXPECT_EQ(Status(0), QString(s.status));
        EXPECT_EQ(dlg->Set().Rate(), s.rate);
        // The ticks run while it plays; the display goes on through pauses and rates.
        EXPECT_EQ(dlg->IsTimerRunning(TIMER_SYNC), QString(s.playback) == "Playing");
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(Get("PlaybackStatus").out, QStringLiteral("(<'%1'>,)").arg(s.playback));
        EXPECT_TRUE(WaitUntil(
            [&] { return Monitored().contains("'PlaybackStatus': <'" + QString(s.playback) + "'>"); }, 3000));
    }
    EXPECT_TRUE(WaitUntil([&] { return Monitored().contains("'Rate': <0.25>"); }, 3000));

    // The volume slider moves as if dragged, and the channels get that volume.
    ASSERT_EQ(Set("Volume", "<0.5>").code, 0);
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 5000);
    EXPECT_EQ(dlg->Sound().Volume(), -5000);
    EXPECT_EQ(Get("Volume").out, "(<0.5>,)");

    // Stop closes the set, as the stop button does: the seek bar and the slider back at 0.
    ASSERT_EQ(Call(kPlayer + ".Stop").code, 0);
    EXPECT_EQ(Status(0), "停止播放");
    EXPECT_TRUE(IsIdle(*dlg));
    EXPECT_EQ(dlg->Bars().SeekBar()->GetScrollPos(), 0);
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 0);
    EXPECT_EQ(Get("PlaybackStatus").out, "(<'Stopped'>,)");
    EXPECT_TRUE(WaitUntil([&] { return Monitored().contains("'PlaybackStatus': <'Stopped'>"); }, 3000));
    ASSERT_EQ(Call(kPlayer + ".Play").code, 0);
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_EQ(Status(0), "停止播放");
}

// Media keys and desktop widgets often send without asking for a reply: every command acts all
// the same. The details: a file's URL percent-encoded, Position exactly where SetPosition put it,
// and the volume readable and writable with no set open (the next set gets it).
TEST_F(MprisTest, CallsWithoutAReplyActAndUrlPositionAndVolumeAreExact) {
    StoreSyncMode(1);
    const QString named = m_state.filePath(QStringLiteral("视频 一#.mp4"));
    ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), named));
    Open({{0, named}, {1, "sync_h264.mp4"}});
    Settle();
    const QString meta = Get("Metadata").out;
    EXPECT_TRUE(
        meta.contains("'xesam:url': <'" + QString::fromLatin1(QUrl::fromLocalFile(named).toEncoded()) + "'>"))
        << meta.toStdString();
    EXPECT_TRUE(meta.contains("%E8%A7%86%E9%A2%91%20%E4%B8%80%23.mp4")) << meta.toStdString();
    const int from = meta.indexOf("objectpath '") + 12;
    const QString track = meta.mid(from, meta.indexOf('\'', from) - from);

    const auto playing = [this] { return dlg->IsTimerRunning(TIMER_SYNC); };
    const struct {
        const char* name;
        QStringList call;
        std::function<bool()> done;
    } sends[] = {
        {"Play", {kPlayer + ".Play"}, playing},
        {"Pause", {kPlayer + ".Pause"}, [&] { return !playing(); }},
        {"PlayPause", {kPlayer + ".PlayPause"}, playing},
        {"PlayPause again", {kPlayer + ".PlayPause"}, [&] { return !playing(); }},
        {"Rate",
         {"org.freedesktop.DBus.Properties.Set", "string:" + kPlayer, "string:Rate", "variant:double:2"},
         [this] { return dlg->Set().Rate() == 2.0; }},
        {"SetPosition",
         {kPlayer + ".SetPosition", "objpath:" + track, "int64:5000000"},
         [this] { return std::abs(Position(1) - 5.0) < 0.1; }},
    };
    for (const auto& c : sends) {
        SCOPED_TRACE(c.name);
        Send(c.call.first(), c.call.mid(1));
        EXPECT_TRUE(WaitUntil(c.done, 5000));
    }
    Settle();
    EXPECT_FALSE(playing());
    EXPECT_EQ(Get("Position").out.toStdString(), "(<int64 5000000>,)")
        << "what the panes show, not half a frame on";

    // A rate of 1 while paused keeps the pause.
    ASSERT_EQ(Set("Rate", "<1.0>").code, 0);
    EXPECT_EQ(dlg->Set().Rate(), 1.0);
    EXPECT_FALSE(playing());
    EXPECT_EQ(Get("PlaybackStatus").out, "(<'Paused'>,)");

    // No set: the volume is kept for the next one.
    Send(kPlayer + ".Stop");
    ASSERT_TRUE(WaitUntil([this] { return dlg->Set().Channel(0) == nullptr; }, 5000));
    EXPECT_EQ(Get("Volume").out, "(<1.0>,)");
    ASSERT_EQ(Set("Volume", "<0.25>").code, 0);
    EXPECT_EQ(Get("Volume").out, "(<0.25>,)");
    Open({{0, "c_10s.mp4"}});
    EXPECT_TRUE(WaitUntil([this] { return dlg->Bars().Volume()->GetPos() == 2500; }, 3000))
        << dlg->Bars().Volume()->GetPos();
    EXPECT_EQ(dlg->Sound().Volume(), -7500);

    // Quit without a reply ends the program.
    Send("org.mpris.MediaPlayer2.Quit");
    EXPECT_TRUE(WaitUntil([this] { return !dlg->isVisible(); }, 5000));
}

} // namespace
} // namespace mainwnd_test
