// The watch for a channel whose pictures stop while the others go on, on scripted looks.
#include "engine/CStallWatch.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(StallWatchTest, NamesTheChannelThatStopsWhileAnotherGoesOnAndNoOtherStop) {
    using Position = std::function<double(double)>; // seconds shown at time t; negative: none
    const Position moving = [](double t) { return t; };
    const Position stopsAt1 = [](double t) { return t < 1.0 ? t : 1.0; };
    const struct {
        const char* name;
        Position first, second;
        bool firstShouldMove;
        double stalledAt; // when the first channel is named; negative: never
    } cases[] = {
        {"stops while the other moves", stopsAt1, moving, true, 4.0},
        {"both stop together (a slow disk, a held set)", stopsAt1, stopsAt1, true, -1},
        {"waits for its time (before its start)", stopsAt1, moving, false, -1},
        {"stops for less than the time, then goes on",
         [](double t) { return t < 1.0 ? t : (t < 3.5 ? 1.0 : t); }, moving, true, -1},
        {"no picture known", [](double) { return -1.0; }, moving, true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CStallWatch watch;
        double namedAt = -1;
        for (double t = 0.0; t <= 8.0; t += 0.5) {
            const std::array<CStallWatch::Look, 4> looks{CStallWatch::Look{c.firstShouldMove, c.first(t)},
                                                         CStallWatch::Look{true, c.second(t)},
                                                         {},
                                                         {}};
            for (int k : watch.Sample(t, looks)) {
                EXPECT_EQ(k, 0) << "the moving channel was named";
                EXPECT_LT(namedAt, 0) << "named twice";
                namedAt = t;
            }
        }
        EXPECT_EQ(namedAt, c.stalledAt);
    }
}

} // namespace
