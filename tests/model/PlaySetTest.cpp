#include "model/PlaySet.h"

#include "support/ScriptedChannel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <array>
#include <memory>

namespace {

// A set of four panes: lengths[k] > 0 opens pane k with a scripted channel and a path, 0 leaves
// it empty, a negative length gives it a channel and a path but no length (a file that did not
// measure).
struct ScriptedSet {
    explicit ScriptedSet(const std::array<double, 4>& lengths) {
        int open = 0;
        for (int k = 0; k < 4; ++k) {
            scripts[k] = std::make_shared<ChannelScript>();
            if (lengths[k] != 0.0) {
                set.SetChannel(k, std::make_unique<ScriptedChannel>(scripts[k]));
                set.SetPath(k, QStringLiteral("/v/%1.mp4").arg(k));
                set.SetLength(k, std::max(lengths[k], 0.0));
                ++open;
            }
        }
        set.SetOpenCount(open);
    }
    PlaySet set;
    std::array<std::shared_ptr<ChannelScript>, 4> scripts;
};

struct ReferenceCase {
    const char* name;
    std::array<double, 4> lengths;
    int rule; // 1 shortest, 0 longest
    int retire;
    int expected;
    double total;
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaySetReferenceTest : public testing::TestWithParam<ReferenceCase> {};

} // namespace

// After a channel leaves, the rule of the open picks among those still taking part: the
// shortest or longest, the lower pane on a tie; channels without a length or retired never;
// none left means no reference and the total stays.
TEST_P(PlaySetReferenceTest, ChoosesAmongTheChannelsStillTakingPart) {
    const ReferenceCase& c = GetParam();
    ScriptedSet s(c.lengths);
    s.set.SetReference(c.retire);
    s.set.SetTotalTime(99.0);
    QSignalSpy changed(&s.set, &PlaySet::referenceChanged);
    s.set.Retire(c.retire);
    EXPECT_EQ(s.set.ChooseReference(c.rule), c.expected);
    EXPECT_EQ(s.set.Reference(), c.expected);
    EXPECT_DOUBLE_EQ(s.set.TotalTime(), c.total);
    EXPECT_EQ(changed.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rules, PlaySetReferenceTest,
                         testing::Values(ReferenceCase{"shortest", {4, 6, 5, 9}, 1, 0, 2, 5.0},
                                         ReferenceCase{"longest", {9, 6, 5, 8}, 0, 0, 3, 8.0},
                                         ReferenceCase{"tieLowerPane", {4, 7, 0, 7}, 1, 0, 1, 7.0},
                                         ReferenceCase{"noLengthSkipped", {4, -1, 8, 0}, 1, 0, 2, 8.0},
                                         ReferenceCase{"emptyPanesSkipped", {0, 0, 3, 0}, 0, 2, -1, 99.0}),
                         [](const testing::TestParamInfo<ReferenceCase>& info) {
                             return std::string(info.param.name);
                         });

// Retiring takes one channel out as a whole: closed (its object gone), no path, no length, not
// counted, announced; the others are untouched. Replacing a channel closes the one in place.
TEST(PlaySetTest, RetireAndReplaceCloseTheChannelAndLeaveTheOthers) {
    ScriptedSet s({5, 6, 7, 0});
    QSignalSpy retired(&s.set, &PlaySet::retired);
    QSignalSpy channel(&s.set, &PlaySet::channelChanged);
    s.set.Retire(1);
    EXPECT_TRUE(s.scripts[1]->deleted);
    EXPECT_EQ(s.set.Channel(1), nullptr);
    EXPECT_TRUE(s.set.Path(1).isEmpty());
    EXPECT_EQ(s.set.Length(1), 0.0);
    EXPECT_EQ(s.set.OpenCount(), 2);
    EXPECT_FALSE(s.set.IsOpen(1) || s.set.TakesPart(1));
    ASSERT_EQ(retired.count(), 1);
    EXPECT_EQ(retired.at(0).at(0).toInt(), 1);
    ASSERT_EQ(channel.count(), 1);
    EXPECT_EQ(channel.at(0).at(0).toInt(), 1);
    for (int k : {0, 2}) {
        EXPECT_FALSE(s.scripts[k]->deleted);
        EXPECT_TRUE(s.set.TakesPart(k));
    }
    // The channels' view follows every change.
    EXPECT_EQ(s.set.Channels()[1], nullptr);
    EXPECT_EQ(s.set.Channels()[0], s.set.Channel(0));

    auto next = std::make_shared<ChannelScript>();
    s.set.SetChannel(0, std::make_unique<ScriptedChannel>(next));
    EXPECT_TRUE(s.scripts[0]->deleted) << "the channel replaced is closed";
    EXPECT_FALSE(next->deleted);
    s.set.CloseChannels();
    EXPECT_TRUE(next->deleted && s.scripts[2]->deleted);
    EXPECT_FALSE(s.set.AnyTakesPart());
    // Panes outside 0..3 are nobody's.
    s.set.Retire(4);
    s.set.SetOffset(-1, 2.0);
    EXPECT_EQ(s.set.OpenCount(), 2);
    EXPECT_FALSE(s.set.AnyOffset());
    EXPECT_EQ(s.set.Channel(7), nullptr);
}

// Offsets, rate and paths announce a change only when there is one.
TEST(PlaySetTest, ChangesAreAnnouncedOnce) {
    PlaySet set;
    QSignalSpy offsets(&set, &PlaySet::offsetsChanged);
    QSignalSpy rate(&set, &PlaySet::rateChanged);
    QSignalSpy paths(&set, &PlaySet::pathsChanged);
    set.SetOffset(2, 0.4);
    set.SetOffset(2, 0.4);
    set.ClearOffsets();
    set.ClearOffsets();
    EXPECT_EQ(offsets.count(), 2);
    set.SetRate(2.0);
    set.SetRate(2.0);
    set.SetRate(1.0);
    EXPECT_EQ(rate.count(), 2);
    set.SetPath(3, QStringLiteral("/v/a.mp4"));
    set.SetPath(3, QStringLiteral("/v/a.mp4"));
    EXPECT_TRUE(set.AnyPath());
    set.ClearPaths();
    set.ClearPaths();
    EXPECT_EQ(paths.count(), 2);
    EXPECT_FALSE(set.AnyPath());
}

// Commands that come while a set opens run once it is open, in the order they came; one that
// starts another open leaves the rest waiting for that one; one whose receiver has gone is dropped.
TEST(PlaySetTest, CommandsWaitForTheOpenInTheirOrder) {
    PlaySet set;
    QSignalSpy opening(&set, &PlaySet::openingChanged);
    QStringList ran;
    set.WhenOpen(&set, [&] { ran << "at once"; });
    set.SetOpening(true);
    set.SetOpening(true);
    auto gone = std::make_unique<QObject>();
    set.WhenOpen(&set, [&] { ran << "a"; });
    set.WhenOpen(gone.get(), [&] { ran << "of a receiver gone"; });
    set.WhenOpen(&set, [&] {
        ran << "opens again";
        set.SetOpening(true);
    });
    set.WhenOpen(&set, [&] { ran << "b"; });
    gone.reset();
    EXPECT_EQ(ran, QStringList({"at once"}));
    set.SetOpening(false);
    EXPECT_EQ(ran, QStringList({"at once", "a", "opens again"}));
    EXPECT_TRUE(set.IsOpening());
    set.SetOpening(false);
    EXPECT_EQ(ran, QStringList({"at once", "a", "opens again", "b"}));
    EXPECT_EQ(opening.count(), 4) << "each change told once";

    set.SetOpening(true);
    set.WhenOpen(&set, [&] { ran << "dropped"; });
    set.DropWaiting();
    set.SetOpening(false);
    EXPECT_EQ(ran.size(), 4);
}
