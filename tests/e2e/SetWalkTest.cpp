// The real program in frame sync on four differently made files of one event, driven as a user
// drives it (XTEST pointer and keys, the desktop's media controls), what each pane shows read from
// the screen.
#include "e2e/SetWalk.h"

#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

using namespace tetrav::test;

const QString kSettings = QStringLiteral("[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n"
                                         "[ForeView]\nForeViewNumber=0\n");

QStringList WalkClips() {
    QStringList paths;
    for (const WalkClip& c : kWalkClips) {
        paths << clip(QString::fromLatin1(c.file));
    }
    return paths;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

long long Over(const std::vector<double>& v, double limit) {
    return static_cast<long long>(std::count_if(v.begin(), v.end(), [&](double x) { return x > limit; }));
}

class SetWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_s.ready());
        const QString why = m_s.start(WalkClips(), kSettings);
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
        ASSERT_TRUE(WaitUntil([&] { return m_s.enabled(QStringLiteral("播放")); }, 20000, 100));
    }
    void TearDown() override { m_s.expectCleanEnd(HasFailure()); }

    SetSession m_s;
};

// A seeded random walk: in `make test` 60 commands of seed 7 (they give every kind of command:
// nudges back and forth, steps at the keys and from the menu, clicks and drags on the seek bar,
// some while a seek is on its way, the three rates after clicks, MPRIS); `make walk` gives
// TETRAV_WALK_COMMANDS of TETRAV_WALK_SEED. A slow build (sanitizers) gives no new command after
// 140 s, so that the walk stays within the test's bound; it says how many it gave.
TEST_F(SetWalkTest, RandomCommandsLandInStepInEveryState) {
    const bool asked = qEnvironmentVariableIsSet("TETRAV_WALK_COMMANDS");
    const unsigned seed = qEnvironmentVariableIsSet("TETRAV_WALK_SEED")
                              ? qEnvironmentVariable("TETRAV_WALK_SEED").toUInt()
                              : 7u;
    const int commands = asked ? qEnvironmentVariableIntValue("TETRAV_WALK_COMMANDS") : 60;
    SetWalk walk(m_s, seed);
    ASSERT_TRUE(walk.locate());
    ASSERT_TRUE(walk.begin()) << qPrintable(walk.figures().failure);
    const qint64 from = m_s.nowMs();
    bool ok = true;
    while (ok && walk.figures().commands < commands && (asked || m_s.nowMs() - from < 140000)) {
        ok = walk.randomCommand();
    }
    const WalkFigures& f = walk.figures();
    std::printf(
        "walk: seed %u, %d commands: %d landed, %d no-ops, %d overtaken, %d missed; %d freezes, %d out "
        "of step; lag in frames over %zu readings: median %.2f, p99 %.2f, max %.2f; seek-bar click to "
        "every pane on its frame (paused, %zu): median %.0f ms, max %.0f ms; thumb seen on the set's "
        "place (paused, %zu): median %.0f ms, max %.0f ms\n",
        seed, f.commands, f.landed, f.noOps, f.overtaken, f.missed, f.freezes, f.outOfStep,
        f.lagFrames.size(), Percentile(f.lagFrames, 0.5), Percentile(f.lagFrames, 0.99),
        Percentile(f.lagFrames, 1.0), f.clickToFrame.size(), Percentile(f.clickToFrame, 0.5),
        Percentile(f.clickToFrame, 1.0), f.thumbMs.size(), Percentile(f.thumbMs, 0.5),
        Percentile(f.thumbMs, 1.0));
    // The answers timed from the return of the helper process that gave the command (the event is
    // on the server by then), beside those timed from its start.
    std::vector<double> afterGiven;
    for (size_t i = 0; i < f.answers.ms.size(); ++i) {
        afterGiven.push_back(f.answers.ms[i] - f.answers.given[i]);
    }
    std::printf(
        "walk: answer (command given to its first mark on the screen, %zu timed, %d with no mark to "
        "look for): median %.0f ms, p99 %.0f ms, max %.0f ms, %lld over 100 ms; from the helper's "
        "return: median %.0f ms, p99 %.0f ms, max %.0f ms, %lld over 100 ms; no mark within 1 s: %lld%s%s\n",
        f.answers.ms.size(), f.answers.unwatched, Percentile(f.answers.ms, 0.5),
        Percentile(f.answers.ms, 0.99), Percentile(f.answers.ms, 1.0), Over(f.answers.ms, 100.0),
        Percentile(afterGiven, 0.5), Percentile(afterGiven, 0.99), Percentile(afterGiven, 1.0),
        Over(afterGiven, 100.0), static_cast<long long>(f.answers.unanswered.size()),
        f.answers.unanswered.isEmpty() ? "" : ": ",
        qPrintable(f.answers.unanswered.join(QStringLiteral("; "))));
    // The key frames of the reference are 2 s apart: the nearest lies within 1 s of a place.
    std::vector<double> apart;
    for (double d : f.dragApart) {
        apart.push_back(std::abs(d));
    }
    std::printf("walk: thumb drags (paused, %zu): the reference landed from the place released by median "
                "%.2f s, max %.2f s (from %.2f s to %+.2f s)\n",
                apart.size(), Percentile(apart, 0.5), Percentile(apart, 1.0), Percentile(f.dragApart, 0.0),
                Percentile(f.dragApart, 1.0));
    if (qEnvironmentVariableIsSet("TETRAV_WALK_SLOW")) {
        std::printf("walk: answered after more than 100 ms:\n%s\n", qPrintable(f.answers.slow.join('\n')));
    }
    if (!f.worstLag.isEmpty()) {
        std::printf("walk: the worst lag: %s\n", qPrintable(f.worstLag));
    }
    EXPECT_TRUE(ok) << qPrintable(f.failure);
}

// The bench's figure (bench/sync_walk.sh sets TETRAV_BENCH_CLIPS to the folder of the 1080p30
// bench clips, GOP 2 s): seek-bar clicks on the paused set, the time from each click until every
// pane shows the frame of one instant (the four clips number their frames alike) and keeps it.
TEST(SetWalkBench, SeekBarClickToEveryPaneOnItsFrameOnFourLargeFiles) {
    if (!qEnvironmentVariableIsSet("TETRAV_BENCH_CLIPS")) {
        GTEST_SKIP() << "a bench figure: bench/sync_walk.sh runs it on the bench clips";
    }
    const QString dir = qEnvironmentVariable("TETRAV_BENCH_CLIPS");
    SetSession s;
    ASSERT_TRUE(s.ready());
    QStringList clips;
    for (int n = 1; n <= 4; ++n) {
        clips << QStringLiteral("%1/hd30_%2.mp4").arg(dir).arg(n);
    }
    const QString why = s.start(clips, kSettings);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    ASSERT_TRUE(WaitUntil([&] { return s.enabled(QStringLiteral("播放")); }, 30000, 100));
    ASSERT_TRUE(s.locatePanes(QSize(1920, 1080)));
    const QRect bar = s.extents(QStringLiteral("播放进度"));
    ASSERT_FALSE(bar.isEmpty());
    std::mt19937 random(20261207u);
    std::vector<double> times;
    int missed = 0;
    PaneFrames last = s.read();
    double previous = 0.0;
    const int clicks = qEnvironmentVariableIntValue("TETRAV_BENCH_SEEK_CLICKS") > 0
                           ? qEnvironmentVariableIntValue("TETRAV_BENCH_SEEK_CLICKS")
                           : 12;
    for (int i = 0; i < clicks; ++i) {
        // Places more than a key-frame interval (2 s of the 30) apart from the one before.
        double fraction = previous;
        while (std::abs(fraction - previous) < 0.1) {
            fraction = std::uniform_int_distribution<int>(0, 900)(random) / 1000.0;
        }
        previous = fraction;
        const int x = bar.left() + 30 + int(fraction * (bar.width() - 60));
        const qint64 clicked = s.nowMs();
        s.click(QPoint(x, bar.center().y()));
        PaneFrames f;
        PaneFrames before = last;
        qint64 stableSince = clicked;
        const bool landed = WaitUntil(
            [&] {
                f = s.read();
                if (!(f == before)) {
                    stableSince = f.atMs;
                    before = f;
                }
                const bool one = f.n[0] >= 0 && f.n == std::array<int, 4>{f.n[0], f.n[0], f.n[0], f.n[0]};
                return one && !(f == last) && f.atMs - stableSince >= 150;
            },
            8000, 10);
        if (landed) {
            times.push_back(double(stableSince - clicked));
            last = f;
        } else {
            ++missed;
        }
    }
    std::printf("bench: seek-bar click to every pane on its frame, four 1080p30 files, paused: %zu clicks "
                "(%d did not land in 8 s): median %.0f ms, max %.0f ms\n",
                times.size(), missed, Percentile(times, 0.5), Percentile(times, 1.0));
    EXPECT_EQ(missed, 0);
}

// One of the files does not open (an unfinished recording: no index). Its messages answered with
// the pointer, one click on 播放 plays the other three.
TEST(SetWalkOpen, FirstPlayAfterAFileThatDidNotOpenPlaysTheOthers) {
    SetSession s;
    ASSERT_TRUE(s.ready());
    QStringList clips = WalkClips();
    clips[1] = clip(QStringLiteral("bad/no_moov.mp4"));
    const QString why = s.start(clips, kSettings);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    int answered = 0;
    const bool open = WaitUntil(
        [&] {
            s.refresh();
            for (const char* name : {"OK", "&OK", "确定", "确定(&O)"}) {
                const QRect button = s.extents(QString::fromUtf8(name), QStringLiteral("push button"));
                if (!button.isEmpty()) {
                    s.click(button.center());
                    ++answered;
                    return false;
                }
            }
            return answered > 0 && s.enabled(QStringLiteral("播放"));
        },
        30000, 200);
    ASSERT_TRUE(open) << answered << " messages answered";
    ASSERT_TRUE(s.locatePanes());
    const PaneFrames before = s.read();
    ASSERT_TRUE(s.click(s.extents(QStringLiteral("播放")).center()));
    PaneFrames now;
    const bool moving = WaitUntil(
        [&] {
            now = s.read();
            return now.n[0] > before.n[0] + 10 && now.n[2] > before.n[2] + 5 && now.n[3] > before.n[3] + 10;
        },
        5000, 50);
    EXPECT_TRUE(moving) << qPrintable(Describe(before)) << " then " << qPrintable(Describe(now));
}

} // namespace
