// Frame sync's states against scripted channels, on a scripted clock and poll: every command in
// every state, what it starts at once and where the set ends once the channels have settled; and
// while the set plays, the correction of channels that leave the timeline.
#include "support/ScriptedChannel.h"
#include "support/TestEnv.h"

#include "sync/CFrameSync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <span>
#include <tuple>

namespace mainwnd_test {
namespace {

using State = CFrameSync::State;
using tetrav::test::WaitUntil;

enum class From { Idle, Paused, Seeking, Prerolling, KeySeeking, Stepping, Playing };
enum class Command { Play, Pause, GoTo, KeySeek, Rate, SameRate, Step, StepBack, Offsets, Stalled, Stop };

constexpr const char* kFromNames[] = {"Idle",       "Paused",   "Seeking", "Prerolling",
                                      "KeySeeking", "Stepping", "Playing"};
constexpr const char* kCommandNames[] = {"Play", "Pause",    "GoTo",    "KeySeek", "Rate", "SameRate",
                                         "Step", "StepBack", "Offsets", "Stalled", "Stop"};

// Up to four channels of 60 s at the given frame rates, pane 1 the reference, each standing at the
// same place; frame sync over them on a scripted clock.
class ScriptedSyncSet {
public:
    ScriptedSyncSet(std::initializer_list<double> fps, double at) {
        int k = 0;
        for (const double rate : fps) {
            script[k] = std::make_shared<ChannelScript>();
            script[k]->position = at;
            script[k]->stepSeconds = 1.0 / rate;
            channels[k] = new ScriptedChannel(script[k]);
            lengths[k] = 60;
            rates[k] = rate;
            paths[k] = QStringLiteral("/%1.mp4").arg(QChar('a' + k));
            ++k;
        }
        set = SyncSet{channels, lengths, k, paths, rates, 0, 1.0, offsets};
        sync.SetClockSource([this] { return now; });
    }
    ~ScriptedSyncSet() {
        sync.Reset();
        for (IChannel* c : channels) {
            delete c;
        }
    }
    ScriptedSyncSet(const ScriptedSyncSet&) = delete;
    ScriptedSyncSet& operator=(const ScriptedSyncSet&) = delete;

    std::shared_ptr<ChannelScript> script[4];
    IChannel* channels[4] = {};
    double lengths[4] = {};
    double rates[4] = {};
    double offsets[4] = {};
    QString paths[4];
    SyncSet set;
    unsigned long long now = 1000000000000ULL;
    CFrameSync sync;
};

// Four channels at 25 fps; the set stands at 5.02 s (the middle of frame 125) before the command.
class ScriptedSet : public ScriptedSyncSet {
public:
    ScriptedSet() : ScriptedSyncSet({25, 25, 25, 25}, 5.0) {
        sync.SetPollDriver([this](bool run) { polling = run; });
    }
    ~ScriptedSet() { sync.Reset(); } // while the poll's flag is still here

    void Settle(bool settled) {
        for (auto& s : script) {
            s->settled = settled;
        }
    }
    // Polls (10 ms of scripted time each) until the set rests or plays.
    void Land() {
        Settle(true);
        for (int i = 0; i < 20 && polling; ++i) {
            now += 10000000ULL;
            sync.PollNow();
        }
    }
    void Reach(From from) {
        switch (from) {
        case From::Idle:
            return;
        case From::Paused:
            sync.Seek(set, 5.0);
            Land();
            return;
        case From::Seeking:
            Settle(false);
            sync.Seek(set, 5.0);
            return;
        case From::Prerolling:
            Settle(false);
            sync.Play(set);
            return;
        case From::KeySeeking:
            sync.Seek(set, 5.0);
            Land();
            Settle(false);
            sync.SeekToKeyFrame(set, 5.0);
            return;
        case From::Stepping:
            sync.Seek(set, 4.98);
            Land();
            Settle(false);
            sync.StepFrame(set);
            return;
        case From::Playing:
            sync.Play(set);
            Land();
            return;
        }
    }
    void Give(Command command) {
        switch (command) {
        case Command::Play:
            return sync.Play(set);
        case Command::Pause:
            return sync.Pause(set);
        case Command::GoTo:
            return sync.Seek(set, 7.3);
        case Command::KeySeek:
            script[0]->position = 8.0; // the reference's key frame near 7.3
            return sync.SeekToKeyFrame(set, 7.3);
        case Command::Rate:
            return sync.SetRate(set, 2.0);
        case Command::SameRate:
            return sync.SetRate(set, 1.0);
        case Command::Step:
            return sync.StepFrame(set);
        case Command::StepBack:
            return sync.StepBack(set);
        case Command::Offsets:
            offsets[2] = 0.4;
            return sync.OffsetsChanged(set, 0.0);
        case Command::Stalled:
            return sync.Stalled(set, 5.0);
        case Command::Stop:
            return sync.Reset();
        }
    }

    bool polling = false;
};

// What a command in a state does: the state at once (with play to follow or not), the state once
// everything has settled, and the timeline's place then (seconds; kOn: played on, not checked).
struct Outcome {
    State now;
    bool playAfter;
    State landed;
    double at;
};

constexpr double kOn = -1;
constexpr double kHere = 5.02; // the middle of frame 125, where the reference stands
constexpr double kGoTo = 7.3;  // the middle of frame 182
constexpr double kKey = 8.02;  // the middle of the reference's key frame at 8.0
constexpr double kNext = 5.06; // the middle of frame 126
constexpr double kBack = 4.98; // the middle of frame 124

using S = State;
// Rows: commands; columns: Idle, Paused, Seeking, Prerolling (seeking, then play), KeySeeking,
// Stepping (one step on from 5.0), Playing.
const Outcome kTable[11][7] = {
    // Play: at once where the set rests placed, else once the move in progress has landed
    {{S::Seeking, true, S::Playing, kOn},
     {S::Playing, false, S::Playing, kOn},
     {S::Seeking, true, S::Playing, kOn},
     {S::Seeking, true, S::Playing, kOn},
     {S::KeySeeking, true, S::Playing, kOn},
     {S::Stepping, true, S::Playing, kOn},
     {S::Playing, false, S::Playing, kOn}},
    // Pause: the move in progress lands and rests
    {{S::Idle, false, S::Idle, 0.0},
     {S::Paused, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::KeySeeking, false, S::Paused, kHere},
     {S::Stepping, false, S::Paused, kNext},
     {S::Stepping, false, S::Paused, kOn}},
    // Go-to 7.3: the newest seek wins; play goes on if it was on
    {{S::Seeking, false, S::Paused, kGoTo},
     {S::Seeking, false, S::Paused, kGoTo},
     {S::Seeking, false, S::Paused, kGoTo},
     {S::Seeking, true, S::Playing, kOn},
     {S::Seeking, false, S::Paused, kGoTo},
     {S::Seeking, false, S::Paused, kGoTo},
     {S::Seeking, true, S::Playing, kOn}},
    // Seek-bar click near 7.3: the reference's key frame (8.0), the others on its frame
    {{S::KeySeeking, false, S::Paused, kKey},
     {S::KeySeeking, false, S::Paused, kKey},
     {S::KeySeeking, false, S::Paused, kKey},
     {S::KeySeeking, true, S::Playing, kOn},
     {S::KeySeeking, false, S::Paused, kKey},
     {S::KeySeeking, false, S::Paused, kKey},
     {S::KeySeeking, true, S::Playing, kOn}},
    // Rate 2: kept while resting or moving (applied when a start places the channels), at once
    // while playing
    {{S::Idle, false, S::Idle, 0.0},
     {S::Paused, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, true, S::Playing, kOn},
     {S::KeySeeking, false, S::Paused, kHere},
     {S::Stepping, false, S::Paused, kNext},
     {S::Seeking, true, S::Playing, kOn}},
    // The rate the set has: nothing moves (a playing set plays on without a seek)
    {{S::Idle, false, S::Idle, 0.0},
     {S::Paused, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, true, S::Playing, kOn},
     {S::KeySeeking, false, S::Paused, kHere},
     {S::Stepping, false, S::Paused, kNext},
     {S::Playing, false, S::Playing, kOn}},
    // Step: one frame on from where the set rests or is heading; play stops
    {{S::Stepping, false, S::Paused, kNext},
     {S::Stepping, false, S::Paused, kNext},
     {S::Seeking, false, S::Paused, kNext},
     {S::Seeking, false, S::Paused, kNext},
     {S::KeySeeking, false, S::Paused, kNext},
     {S::Stepping, false, S::Paused, 5.10},
     {S::Stepping, false, S::Paused, kOn}},
    // Step back: one frame back from there (a step under way goes first)
    {{S::Seeking, false, S::Paused, kBack},
     {S::Seeking, false, S::Paused, kBack},
     {S::Seeking, false, S::Paused, kBack},
     {S::Seeking, false, S::Paused, kBack},
     {S::KeySeeking, false, S::Paused, kBack},
     {S::Stepping, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kOn}},
    // Offsets: every channel to its new place at the instant shown; play goes on if it was on
    {{S::Seeking, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, true, S::Playing, kOn},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, true, S::Playing, kOn}},
    // Stalled: only a playing set moves (to the timeline's place, playing on)
    {{S::Idle, false, S::Idle, 0.0},
     {S::Paused, false, S::Paused, kHere},
     {S::Seeking, false, S::Paused, kHere},
     {S::Seeking, true, S::Playing, kOn},
     {S::KeySeeking, false, S::Paused, kHere},
     {S::Stepping, false, S::Paused, kNext},
     {S::Seeking, true, S::Playing, kOn}},
    // Stop always stops
    {{S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0},
     {S::Idle, false, S::Idle, 0.0}},
};

TEST(FrameSyncStates, EveryCommandInEveryStateHasItsResultAndLands) {
    for (int f = 0; f < 7; ++f) {
        for (int c = 0; c < 11; ++c) {
            SCOPED_TRACE(testing::Message() << kCommandNames[c] << " in " << kFromNames[f]);
            const Outcome& want = kTable[c][f];
            ScriptedSet s;
            s.Reach(From(f));
            for (auto& script : s.script) {
                script->position = 5.0;
            }
            int landings = 0;
            QObject::connect(&s.sync, &CFrameSync::landed, [&landings] { ++landings; });
            s.Give(Command(c));
            EXPECT_STREQ(CFrameSync::StateName(s.sync.CurrentState()), CFrameSync::StateName(want.now));
            EXPECT_EQ(s.sync.PlaysAfter(), want.playAfter);
            EXPECT_EQ(s.polling, s.sync.Busy()) << "the poll runs exactly while a move is under way";
            const bool moving = s.sync.Busy();
            s.Land();
            // The window shows the set's place (the seek bar's thumb) once each move has landed.
            EXPECT_EQ(landings, moving ? 1 : std::min(landings, 1)) << "once per move";
            EXPECT_STREQ(CFrameSync::StateName(s.sync.CurrentState()), CFrameSync::StateName(want.landed));
            EXPECT_FALSE(s.polling || s.sync.Busy()) << "landed";
            if (want.at >= 0) {
                EXPECT_NEAR(s.sync.TimelinePosition(), want.at, 1e-6);
            }
            if (want.landed == State::Playing) {
                EXPECT_EQ(s.script[0]->baseTime, s.script[3]->baseTime) << "started together";
                EXPECT_GT(s.script[0]->count("Run"), 0);
            }
        }
    }
}

// The set's edges and its damaged members: every command still has a defined result and the set
// lands (nothing stays busy, so nothing freezes).
enum class Edge { FrameZero, PastTheEnd, Unseekable, Retired };
struct EdgeCase {
    const char* name;
    Edge edge;
    Command command;
    State landed;
    double at; // the timeline's place once landed (kOn: not checked)
};
const EdgeCase kEdges[] = {
    {"a step back at frame 0 stays on frame 0", Edge::FrameZero, Command::StepBack, S::Paused, 0.02},
    {"a step at frame 0 goes to frame 1", Edge::FrameZero, Command::Step, S::Paused, 0.06},
    {"play at frame 0 plays", Edge::FrameZero, Command::Play, S::Playing, kOn},
    {"a go-to past the end sends every pane to its end", Edge::PastTheEnd, Command::GoTo, S::Paused, kOn},
    {"a step after a go-to past the end", Edge::PastTheEnd, Command::Step, S::Paused, kOn},
    {"play after a go-to past the end", Edge::PastTheEnd, Command::Play, S::Playing, kOn},
    {"a go-to beside a pane that cannot seek", Edge::Unseekable, Command::GoTo, S::Paused, kGoTo},
    {"a seek-bar click beside a pane that cannot seek", Edge::Unseekable, Command::KeySeek, S::Paused, kKey},
    {"a step beside a pane that cannot seek", Edge::Unseekable, Command::Step, S::Paused, kNext},
    {"play beside a pane that cannot seek", Edge::Unseekable, Command::Play, S::Playing, kOn},
    {"a go-to beside a retired pane", Edge::Retired, Command::GoTo, S::Paused, kGoTo},
    {"a seek-bar click beside a retired pane", Edge::Retired, Command::KeySeek, S::Paused, kKey},
    {"a step back beside a retired pane", Edge::Retired, Command::StepBack, S::Paused, kBack},
    {"offsets beside a retired pane", Edge::Retired, Command::Offsets, S::Paused, kHere},
    {"play beside a retired pane", Edge::Retired, Command::Play, S::Playing, kOn},
};

TEST(FrameSyncStates, AtTheEdgesAndBesideDamagedPanesEveryCommandLands) {
    for (const EdgeCase& e : kEdges) {
        SCOPED_TRACE(e.name);
        ScriptedSet s;
        double from = 5.0;
        if (e.edge == Edge::FrameZero) {
            from = 0.0;
        } else if (e.edge == Edge::Unseekable) {
            s.script[2]->seekOk = false;
        } else if (e.edge == Edge::Retired) {
            s.paths[2].clear();
            s.lengths[2] = 0.0;
        }
        for (auto& script : s.script) {
            script->position = from;
        }
        s.sync.Seek(s.set, e.edge == Edge::PastTheEnd ? 100.0 : from);
        s.Land();
        if (e.edge == Edge::PastTheEnd) {
            for (auto& script : s.script) {
                EXPECT_GE(script->lastSeek, 100.0) << "sent to its end (the channel shows its last picture)";
                script->position = 60.0;
            }
        }
        s.script[2]->calls.clear();
        s.Give(e.command);
        s.Land();
        EXPECT_STREQ(CFrameSync::StateName(s.sync.CurrentState()), CFrameSync::StateName(e.landed));
        EXPECT_FALSE(s.polling || s.sync.Busy()) << "landed";
        if (e.at >= 0) {
            EXPECT_NEAR(s.sync.TimelinePosition(), e.at, 1e-6);
        }
        if (e.edge == Edge::Retired) {
            EXPECT_TRUE(s.script[2]->calls.isEmpty()) << qPrintable(s.script[2]->calls.join(' '));
        }
        if (e.landed == State::Playing) {
            EXPECT_EQ(s.script[0]->baseTime, s.script[3]->baseTime) << "started together";
        }
    }
}

// A move after which the set rests shows each pane's new picture as soon as that pane has landed
// (a quick file answers at once beside a slow one); one after which the set plays holds them all
// until every pane is there, so that they start together.
TEST(FrameSyncStates, ARestingSetShowsEachPaneAsItLandsAPlayingOneAllTogether) {
    for (const bool playing : {false, true}) {
        SCOPED_TRACE(playing ? "playing" : "paused");
        ScriptedSet s;
        s.Reach(playing ? From::Playing : From::Paused);
        s.Settle(false);
        s.Give(Command::GoTo);
        for (int k = 0; k < 3; ++k) {
            s.script[k]->settled = true;
        }
        s.now += 10000000ULL;
        s.sync.PollNow();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(s.script[k]->held, playing || k == 3) << "pane " << k + 1;
        }
        s.Land();
        for (int k = 0; k < 4; ++k) {
            EXPECT_FALSE(s.script[k]->held) << "pane " << k + 1;
        }
    }
}

// A seek-bar click on a reference with key frames 2 s apart: the key-frame seek lands on the one
// at or before the place, so the reference goes on to the one after it, and the set lands on the
// nearer of the two (the one before where the place is a key frame, or lies past the last).
struct KeyCase {
    const char* name;
    double place;
    double at;    // the timeline's place once landed
    int keySeeks; // the reference's key-frame seeks
};
const KeyCase kKeyCases[] = {
    {"the key frame after the place is nearer", 7.3, 8.02, 2},
    {"the key frame before the place is nearer", 6.7, 6.02, 2},
    {"the place is a key frame", 6.0, 6.02, 1},
    {"past the last key frame", 9.5, 8.02, 2},
};

TEST(FrameSyncStates, ASeekBarClickLandsOnTheKeyFrameNearestThePlace) {
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        ScriptedSet s;
        s.Reach(From::Paused);
        s.script[0]->keys = {0.0, 2.0, 4.0, 6.0, 8.0};
        s.script[0]->calls.clear();
        s.sync.SeekToKeyFrame(s.set, c.place);
        s.Land();
        EXPECT_EQ(s.sync.CurrentState(), State::Paused);
        EXPECT_NEAR(s.sync.TimelinePosition(), c.at, 1e-6);
        EXPECT_EQ(s.script[0]->count("SeekKey") + s.script[0]->count("SeekKeyAfter"), c.keySeeks)
            << qPrintable(s.script[0]->calls.join(' '));
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
        ScriptedSyncSet scripted({25, c.fps}, 10.0);
        auto [script, set, now, sync] = std::tie(scripted.script, scripted.set, scripted.now, scripted.sync);
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
            sync.SyncChannels(set, 0, expected, scripted.lengths, 4);
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
    }
}

// The machine cannot decode everything in time: one channel's pictures still come, but late.
TEST(FrameCorrection, PanesShowTheInstantATrailingChannelShowsAndTheTimelineWaitsForIt) {
    ScriptedSyncSet scripted({25, 25, 50}, 10.0);
    auto [script, set, now, sync] = std::tie(scripted.script, scripted.set, scripted.now, scripted.sync);
    const auto three = std::span(script).first(3);
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
        sync.SyncChannels(set, 0, expected, scripted.lengths, 4);
        return expected;
    };
    for (int i = 0; i < 10; ++i) {
        tick({0.01, 0.01, 0.01});
    }
    for (const auto& s : three) {
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
    for (const auto& s : three) {
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
    for (const auto& s : three) {
        EXPECT_EQ(s->count("SeekExact"), 1);
    }

    // All keep up for long enough: the pictures go up as they come again.
    now += 260000000ULL;
    for (int i = 0; i < FrameSyncLimits{}.calmTicks; ++i) {
        tick({0.01, 0.01, 0.01});
    }
    for (const auto& s : three) {
        EXPECT_EQ(s->gate, -1.0);
    }
    // A command ends the waiting at once.
    for (int i = 0; i < 5; ++i) {
        tick({0.01, 0.01, 0.09});
    }
    EXPECT_GE(script[0]->gate, 0.0);
    sync.Pause(set);
    for (const auto& s : three) {
        EXPECT_EQ(s->gate, -1.0);
    }
}

} // namespace
} // namespace mainwnd_test
