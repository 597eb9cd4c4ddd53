// The synchronisation and display ticks against scripted channels.
#include "mainwnd/WindowTestSupport.h"

#include <array>
#include <cmath>

namespace mainwnd_test {
namespace {

class SyncTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ShowWindow();
    }
    void Tick() { dlg->OnTimer(TIMER_SYNC); }
    void Display() { dlg->OnTimer(TIMER_DISPLAY); }
    void At(const std::array<double, 4>& p) {
        for (int k = 0; k < 4; ++k) {
            scripts[k]->position = p[k];
        }
    }
    void Ended() {
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC) || dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(Status(0), "停止播放");
    }
};

// One tick of the whole-second sync: which channels are run, which paused, and the sync time.
const struct {
    const char* name;
    std::array<double, 4> lengths; // 0: no channel
    int reference;
    std::array<double, 4> positions;
    int ticks;
    std::array<const char*, 4> calls; // per channel with a length, comma-separated
} kTicks[] = {
    // The leader is paused at every tick until the reference reaches its whole second.
    {"LeaderPausedEachTick", {10, 10, 0, 0}, 0, {5.2, 6.1, 0, 0}, 3, {"Run", "Run,Pause", "", ""}},
    {"OneWholeSecondIsInStep", {10, 10, 0, 0}, 0, {6.0, 6.9, 0, 0}, 1, {"Run", "Run", "", ""}},
    {"ReferenceWaitsForALaggard", {0, 10, 0, 12}, 1, {0, 7.0, 0, 6.95}, 1, {"", "Run,Pause", "", "Run"}},
    {"LaggardCaughtUp", {0, 10, 0, 12}, 1, {0, 7.0, 0, 7.0}, 1, {"", "Run", "", "Run"}},
    {"SingleChannelLate", {0, 0, 8, 0}, 2, {0, 0, 5.5, 0}, 1, {"", "", "Run", ""}},
    // A channel whose position cannot be read (0) is neither a leader nor a laggard.
    {"PositionZeroIsLeftAlone", {10, 10, 0, 0}, 0, {4.5, 0.0, 0, 0}, 1, {"Run", "Run", "", ""}},
};

// The seek bar (0..200: the position a seek to that time stands for), the play time, the whole
// seconds.
const struct {
    const char* name;
    std::array<double, 4> lengths;
    std::array<double, 4> positions;
    int seekBar;
    const char* playTime;
    const char* positionsText;
} kDisplays[] = {
    {"OneSecondReference", {1.0, 0, 0, 0}, {0.3, 0, 0, 0}, 60, "00:00:00", "0,0,0,0"},
    {"Middle", {61, 0, 61, 0}, {30.5, 0, 30.2, 0}, 100, "00:00:30", "30,0,30,0"},
    {"LastSecond", {61, 61, 0, 0}, {60.7, 60.7, 0, 0}, 199, "00:01:00", "60,60,0,0"},
    {"PastADay", {100000, 0, 0, 0}, {93725.9, 0, 0, 0}, 187, "26:02:05", "93725,0,0,0"},
};

TEST_F(SyncTest, TickRunsEveryChannelAndPausesOnlyThoseOutOfStepAndDisplayShowsTheSeekBarAndTimes) {
    for (const auto& c : kTicks) {
        SCOPED_TRACE(c.name);
        InstallScriptedSet(c.lengths, c.reference, 1);
        for (int tick = 0; tick < c.ticks; ++tick) {
            SCOPED_TRACE(tick);
            At(c.positions);
            for (auto& s : scripts) {
                s->calls.clear();
            }
            Tick();
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(scripts[k]->calls, QString::fromLatin1(c.calls[k]).split(',', Qt::SkipEmptyParts));
            }
            EXPECT_DOUBLE_EQ(g_dSyncSecs, c.positions[c.reference]);
        }
        dlg->OnStop();
    }
    for (const auto& c : kDisplays) {
        SCOPED_TRACE(c.name);
        InstallScriptedSet(c.lengths, 0, 1);
        At(c.positions);
        Tick();
        Display();
        EXPECT_EQ(dlg->Bars().SeekBar()->GetScrollPos(), c.seekBar);
        EXPECT_EQ(Status(2), c.playTime);
        EXPECT_EQ(Status(3), c.positionsText);
        dlg->OnStop();
    }
}

// The shortest reaches its length, or its end of stream wherever its position stopped.
TEST_F(SyncTest, PlayEndsAtTheShortestsEndOrOnceLongestModeHasRetiredEveryChannel) {
    for (const bool byLength : {true, false}) {
        SCOPED_TRACE(byLength ? "at its length" : "at its end of stream");
        InstallScriptedSet({10, 20, 0, 0}, 0, 1);
        auto failed = std::make_shared<ChannelScript>();
        dlg->Set().SetChannel(3, std::make_unique<ScriptedChannel>(failed));
        dlg->Set().SetPath(3, QStringLiteral("/scripted/broken.mp4"));
        dlg->Set().SetOpenCount(3);
        dlg->OnPlay();
        At({byLength ? 9.98 : 8.7, byLength ? 9.98 : 8.7});
        Tick();
        Display();
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_FALSE(scripts[0]->deleted);
        byLength ? At({10.0, 10.0}) : static_cast<void>(scripts[0]->atEnd = true);
        Tick();
        EXPECT_FALSE(scripts[1]->deleted) << "not retired before the end";
        Display();
        Ended();
        EXPECT_TRUE(scripts[0]->deleted && scripts[1]->deleted && failed->deleted);
        EXPECT_EQ(Paths(*dlg).join(""), "");
    }

    // Longest mode: a channel shorter than a second (pane 3) is retired at the first tick.
    InstallScriptedSet({10, 20, 0.8, 0}, 1, 0);
    dlg->OnPlay();
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    At({9.0, 9.0, 0.1});
    Tick();
    EXPECT_TRUE(scripts[2]->deleted);
    EXPECT_EQ(dlg->Set().OpenCount(), 2);
    EXPECT_FALSE(scripts[0]->deleted) << "9.0 is not past 10 - 1";
    At({9.04, 9.04});
    Tick();
    EXPECT_TRUE(scripts[0]->deleted);
    EXPECT_EQ(dlg->Set().Channel(0), nullptr);
    EXPECT_TRUE(dlg->Set().Path(0).isEmpty());
    EXPECT_EQ(dlg->Set().OpenCount(), 1);
    EXPECT_EQ(dlg->Set().Length(0), 0.0);

    // The play time and seek bar follow the 20 s channel.
    At({0, 15.3});
    Tick();
    Display();
    EXPECT_EQ(Status(2), "00:00:15");
    EXPECT_EQ(dlg->Bars().SeekBar()->GetScrollPos(), 153); // 15.3 * 200 / 20
    EXPECT_EQ(Status(3), "0,15,0,0");

    // The last one ends short of its length (MPEG lengths shrink): retired at its end of stream.
    scripts[1]->position = 17.2;
    scripts[1]->atEnd = true;
    Tick();
    EXPECT_TRUE(scripts[1]->deleted);
    EXPECT_EQ(dlg->Set().OpenCount(), 0);
    EXPECT_DOUBLE_EQ(dlg->Set().PlayTime(), 0.0);
    // The next tick of either timer ends play.
    Display();
    Ended();
    EXPECT_TRUE(IsIdle(*dlg));
}

// With nothing left open, the next tick ends play and closes what remains.
TEST_F(SyncTest, VolumeMovedWhilePausedReachesChannelsAtTheFirstTickAfterResumeAndNothingOpenEndsPlay) {
    InstallScriptedSet({10, 10, 0, 0}, 0, 1);
    dlg->Bars().Volume()->SetRange(0, 10000);
    dlg->OnPlay();
    At({2.0, 2.0});
    Tick();
    EXPECT_EQ(scripts[0]->lastVolume, 0);
    dlg->OnPause();
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
    dlg->Bars().Volume()->setValue(9000); // as the user's drag does
    EXPECT_EQ(dlg->Sound().Volume(), -1000);
    EXPECT_EQ(scripts[0]->lastVolume, 0) << "not applied while paused";
    dlg->OnNormalSpeed();
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    Tick();
    EXPECT_TRUE(scripts[0]->lastVolume == -1000 && scripts[1]->lastVolume == -1000);
    dlg->Set().SetOpenCount(0);
    Tick();
    Ended();
    EXPECT_TRUE(scripts[0]->deleted && scripts[1]->deleted);
}

// A broken reference is replaced by the reference rule among the rest.
const struct {
    const char* name;
    int miniVideo;
    std::array<double, 4> lengths;
    int reference;
    int breaks;
    int newReference;  // -1: nothing left, the set closes
    const char* total; // the total time shown afterwards ("": unchanged)
} kBreaks[] = {
    {"OtherThanTheReference", 1, {10, 20, 15, 0}, 0, 1, 0, ""},
    {"ShortestReference", 1, {10, 20, 15, 0}, 0, 0, 2, "00:00:15"},
    {"LongestReference", 0, {10, 20, 15, 15}, 1, 1, 2, "00:00:15"},
    {"TheOnlyChannel", 1, {0, 0, 0, 12}, 3, 3, -1, ""},
};

TEST_F(SyncTest, ChannelThatBreaksIsRetiredAloneWithTheFileNamed) {
    for (const auto& c : kBreaks) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        InstallScriptedSet(c.lengths, c.reference, c.miniVideo);
        const int open = dlg->Set().OpenCount();
        dlg->OnPlay();
        At({3.2, 3.2, 3.2, 3.2});
        Tick();
        // An end of stream is left to the ticks.
        IChannel* breaking = dlg->Set().Channel(c.breaks);
        emit breaking->ended();
        EXPECT_FALSE(scripts[c.breaks]->deleted);
        EXPECT_TRUE(boxes.texts().isEmpty());

        scripts[c.breaks]->failed = true;
        emit breaking->failed(IChannel::Failure::Broken);
        EXPECT_TRUE(scripts[c.breaks]->deleted);
        EXPECT_TRUE(dlg->Set().Path(c.breaks).isEmpty());
        const QString named =
            QStringLiteral("/scripted/%1.mp4 (%2)").arg(c.breaks).arg(CVideoPane::TitleOf(c.breaks));
        EXPECT_EQ(boxes.texts(), QStringList(QString("打开视频文件错误!\n") + named));
        EXPECT_EQ(boxes.boxes()[0].caption, "错误");
        if (c.newReference < 0) {
            Ended();
            continue;
        }
        EXPECT_EQ(dlg->Set().OpenCount(), open - 1);
        EXPECT_EQ(dlg->Set().Reference(), c.newReference);
        EXPECT_TRUE(*c.total == 0 || Status(1) == c.total);
        // The others play on, timed by the reference, to their end.
        scripts[c.newReference]->position = 4.6;
        Tick();
        Display();
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
        EXPECT_EQ(Status(2), "00:00:04");
        EXPECT_GT(scripts[c.newReference]->count("Run"), 0);
        for (auto& s : scripts) {
            s->atEnd = true;
        }
        Tick();
        Display();
        EXPECT_EQ(Status(0), "停止播放");
    }
}

} // namespace
} // namespace mainwnd_test
