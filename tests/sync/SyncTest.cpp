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

const struct {
    const char* name;
    double fps;       // the lagging channel's frame rate (the reference plays at 25)
    double behind;    // seconds its picture trails the timeline (negative: ahead)
    double refBehind; // seconds the reference's picture trails it
    int ticks;        // ticks it stays there
    bool still;       // its picture stays (a stalled decoder); else it moves on, trailing by behind
    bool atEnd;       // it has reached its end
    bool broughtBack;
} kLags[] = {
    {"OneFrameBehindIsInStep", 25, 0.04, 0.01, 60, false, false, false},
    {"ThreeFramesBehindAndStillIsBroughtBack", 25, 0.12, 0.01, FrameSyncLimits{}.lagTicks, true, false, true},
    {"ThreeFramesBehindBrieflyIsLeftAlone", 25, 0.12, 0.01, FrameSyncLimits{}.lagTicks - 1, true, false,
     false},
    {"SixFramesAtSixtyAndStillIsBroughtBack", 60, 0.1, 0.01, 60, true, false, true},
    {"TrailingWhileItsPicturesComeIsNotSought", 25, 0.12, 0.01, 60, false, false, false},
    {"AheadIsBroughtBack", 25, -0.08, 0.01, 60, false, false, true},
    {"AtItsEndIsLeftAlone", 25, 3.0, 0.01, 60, false, true, false},
    {"WholeSetBehindGoesOnFromItsPictures", 25, 1.0, 1.0, 1, false, false, false},
};

TEST(FrameCorrection, BringsBackOnlyChannelsOutOfToleranceForLongEnough) {
    for (const auto& c : kLags) {
        SCOPED_TRACE(c.name);
        const auto script = std::array{std::make_shared<ChannelScript>(), std::make_shared<ChannelScript>()};
        IChannel* channels[4] = {new ScriptedChannel(script[0]), new ScriptedChannel(script[1])};
        const QString paths[4] = {"/a.mp4", "/b.mp4"};
        const double lengths[4] = {60, 60, 0, 0};
        const double rates[4] = {25, c.fps, 0, 0};
        SyncSet set{channels, lengths, 2, paths, rates, 0};

        unsigned long long now = 1000000000000ULL;
        CFrameSync sync;
        sync.SetClockSource([&now] { return now; });
        script[0]->position = script[1]->position = 10.0;
        sync.Play(set);
        EXPECT_EQ(script[1]->count("SeekExact"), 1) << "the start lines every channel up";
        EXPECT_DOUBLE_EQ(script[1]->lastSeek, 10.02) << "the middle of the reference's frame";
        ASSERT_TRUE(WaitUntil([&] { return sync.IsPlaying(); }, 1000));
        EXPECT_EQ(script[0]->baseTime, script[1]->baseTime) << "one base time for channels at one instant";

        script[1]->atEnd = c.atEnd;
        now += 260000000ULL; // past the common start and the settling of the first pictures
        for (int tick = 0; tick < c.ticks; ++tick) {
            now += 10000000ULL;
            const double expected = sync.TimelinePosition();
            script[0]->shown = expected - c.refBehind;
            if (!c.still || tick == 0) {
                script[1]->shown = expected - c.behind;
            }
            sync.SyncChannels(set, 0, expected, lengths, 4);
        }
        EXPECT_EQ(script[0]->count("SeekExact"), 1) << "the reference stays";
        EXPECT_EQ(script[1]->count("SeekExact"), c.broughtBack ? 2 : 1);
        if (c.refBehind > FrameSyncLimits{}.setStall) {
            // The whole set stood still: it goes on from its pictures (no seek), on one timeline.
            EXPECT_FALSE(sync.IsPlaying());
            EXPECT_NEAR(sync.TimelinePosition(), script[0]->shown, 1e-6);
            ASSERT_TRUE(WaitUntil([&] { return sync.IsPlaying(); }, 1000));
            EXPECT_EQ(script[0]->baseTime, script[1]->baseTime);
        }
        if (c.broughtBack) {
            // Ahead of the timeline, on the reference's frame grid, and it joins once prerolled.
            const double target = script[1]->lastSeek;
            EXPECT_GT(target, sync.TimelinePosition());
            EXPECT_NEAR(std::fmod(target * 25.0, 1.0), 0.5, 1e-6);
            EXPECT_TRUE(sync.Busy());
            script[1]->calls.clear();
            EXPECT_TRUE(WaitUntil([&] { return script[1]->count("Run") == 1; }, 1000));
            EXPECT_GT(script[1]->baseTime, script[0]->baseTime);
        }
        sync.Reset();
        delete channels[0];
        delete channels[1];
    }
}

// The machine cannot decode everything in time: one channel's pictures still come, but late.
TEST(FrameCorrection, PanesShowTheInstantATrailingChannelShowsAndTheTimelineWaitsForIt) {
    std::array<std::shared_ptr<ChannelScript>, 3> script;
    IChannel* channels[4] = {};
    for (int k = 0; k < 3; ++k) {
        script[k] = std::make_shared<ChannelScript>();
        script[k]->position = 10.0;
        channels[k] = new ScriptedChannel(script[k]);
    }
    const QString paths[4] = {"/a.mp4", "/b.mp4", "/c.mp4"};
    const double lengths[4] = {60, 60, 60, 0};
    const double rates[4] = {25, 25, 50, 0};
    SyncSet set{channels, lengths, 3, paths, rates, 0};
    unsigned long long now = 1000000000000ULL;
    CFrameSync sync;
    sync.SetClockSource([&now] { return now; });
    sync.Play(set);
    ASSERT_TRUE(WaitUntil([&] { return sync.IsPlaying(); }, 1000));
    now += 260000000ULL;
    // Each tick the channels' pictures stand this far behind the timeline (all pictures shown).
    const auto tick = [&](std::array<double, 3> behind) {
        now += 10000000ULL;
        const double expected = sync.TimelinePosition();
        for (int k = 0; k < 3; ++k) {
            script[k]->shown = script[k]->newest = expected - behind[k];
        }
        sync.SyncChannels(set, 0, expected, lengths, 4);
        return expected;
    };
    for (int i = 0; i < 10; ++i) {
        tick({0.01, 0.01, 0.01});
    }
    for (const auto& s : script) {
        EXPECT_EQ(s->gate, -2.0) << "in step: the pictures go up as they come";
    }

    // The third trails by more than its tolerance (two frames and 30 ms), less than the set waits.
    double expected = 0.0;
    for (int i = 0; i < 5; ++i) {
        expected = tick({0.01, 0.01, 0.09});
    }
    const double trailing = expected - 0.09;
    EXPECT_NEAR(script[0]->gate, trailing + 0.02, 1e-9)
        << "up to the trailing instant, to the middle of a frame";
    EXPECT_NEAR(script[1]->gate, trailing + 0.02, 1e-9);
    EXPECT_NEAR(script[2]->gate, trailing + 0.01, 1e-9) << "the trailing channel shows all it has";
    EXPECT_TRUE(sync.IsPlaying());
    for (const auto& s : script) {
        EXPECT_EQ(s->count("SeekExact"), 1) << "nothing is sought: a seek costs the trailing channel more";
    }

    // Further behind: the timeline waits for it (no seek), and every channel starts again together.
    tick({0.01, 0.01, 0.15});
    const double behind = sync.TimelinePosition() - script[2]->shown;
    tick({0.01, 0.01, 0.15});
    EXPECT_FALSE(sync.IsPlaying());
    EXPECT_NEAR(sync.TimelinePosition(), script[2]->shown, 0.011) << behind;
    ASSERT_TRUE(WaitUntil([&] { return sync.IsPlaying(); }, 1000));
    EXPECT_EQ(script[0]->baseTime, script[2]->baseTime);
    for (const auto& s : script) {
        EXPECT_EQ(s->count("SeekExact"), 1);
    }

    // All keep up for long enough: the pictures go up as they come again.
    now += 260000000ULL;
    for (int i = 0; i < FrameSyncLimits{}.calmTicks; ++i) {
        tick({0.01, 0.01, 0.01});
    }
    for (const auto& s : script) {
        EXPECT_EQ(s->gate, -1.0);
    }
    // A command ends the waiting at once.
    for (int i = 0; i < 5; ++i) {
        tick({0.01, 0.01, 0.09});
    }
    EXPECT_GE(script[0]->gate, 0.0);
    sync.Pause(set);
    for (const auto& s : script) {
        EXPECT_EQ(s->gate, -1.0);
    }
    sync.Reset();
    for (IChannel* ch : channels) {
        delete ch;
    }
}

} // namespace
} // namespace mainwnd_test
