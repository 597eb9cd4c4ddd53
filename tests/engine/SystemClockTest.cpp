// The set's clock: its waits end at their time, an early wake-up does not end them, and a
// call-off ends them at once however far off their time; its callbacks still come.
#include "engine/CSystemClock.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using tetrav::test::WaitUntil;

struct ClockIdUnref {
    void operator()(GstClockID id) const { gst_clock_id_unref(id); }
};
using ClockIdRef = std::unique_ptr<void, ClockIdUnref>;

TEST(SystemClock, WaitsEndAtTheirTimeOrWhenCalledOffHoweverFarTheirTime) {
    gst_init(nullptr, nullptr);
    GstClockRef clock = CSystemClock::Create();
    ASSERT_TRUE(clock);
    GstClock* c = clock.get();

    // A time to come: the wait returns when the clock has reached it.
    const GstClockTime soon = gst_clock_get_time(c) + 20 * GST_MSECOND;
    ClockIdRef single(gst_clock_new_single_shot_id(c, soon));
    GstClockTimeDiff jitter = 0;
    EXPECT_EQ(gst_clock_id_wait(single.get(), &jitter), GST_CLOCK_OK);
    EXPECT_GE(gst_clock_get_time(c), soon);

    // A time gone: at once, late by as much as the jitter says.
    ClockIdRef past(gst_clock_new_single_shot_id(c, gst_clock_get_time(c) - GST_SECOND));
    EXPECT_EQ(gst_clock_id_wait(past.get(), &jitter), GST_CLOCK_EARLY);
    EXPECT_GE(jitter, GstClockTimeDiff(GST_SECOND));

    // Periodic: each wait ends one interval after the one before.
    const GstClockTime start = gst_clock_get_time(c) + 5 * GST_MSECOND;
    ClockIdRef periodic(gst_clock_new_periodic_id(c, start, 10 * GST_MSECOND));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(gst_clock_id_wait(periodic.get(), nullptr), GST_CLOCK_OK);
        EXPECT_GE(gst_clock_get_time(c), start + GstClockTime(i) * 10 * GST_MSECOND);
    }

    // A wait on another thread for a time beyond any end, as the sound sink waits on a gap or an
    // end whose time runs to the largest value (MPEG-TS at double rate): it sleeps until called off.
    ClockIdRef far(gst_clock_new_single_shot_id(c, GstClockTime(G_MAXINT64) - 1));
    std::atomic<int> farResult{-100};
    std::thread waiter([&] { farResult = gst_clock_id_wait(far.get(), nullptr); });
    ASSERT_TRUE(WaitUntil(
        [&] { return GST_CLOCK_ENTRY_STATUS(GST_CLOCK_ENTRY(far.get())) == GST_CLOCK_BUSY; }, 5000));
    // Another wait called off wakes every waiter early: this one waits on.
    ClockIdRef other(gst_clock_new_single_shot_id(c, gst_clock_get_time(c) + 60 * GST_SECOND));
    gst_clock_id_unschedule(other.get());
    EXPECT_FALSE(WaitUntil([&] { return farResult != -100; }, 300)) << "an early wake-up ended the wait";
    // Called off (a pause or a flushing seek): it ends now.
    gst_clock_id_unschedule(far.get());
    waiter.join();
    EXPECT_EQ(farResult, GST_CLOCK_UNSCHEDULED);
    // And a wait on an entry called off before returns at once.
    EXPECT_EQ(gst_clock_id_wait(far.get(), nullptr), GST_CLOCK_UNSCHEDULED);

    // Callbacks (asynchronous waits) come at their time; one called off never comes.
    std::atomic<int> called{0};
    auto count = [](GstClock*, GstClockTime, GstClockID, gpointer data) -> gboolean {
        ++*static_cast<std::atomic<int>*>(data);
        return TRUE;
    };
    ClockIdRef callback(gst_clock_new_single_shot_id(c, gst_clock_get_time(c) + 10 * GST_MSECOND));
    ClockIdRef cancelled(gst_clock_new_single_shot_id(c, gst_clock_get_time(c) + 200 * GST_MSECOND));
    ASSERT_EQ(gst_clock_id_wait_async(callback.get(), count, &called, nullptr), GST_CLOCK_OK);
    ASSERT_EQ(gst_clock_id_wait_async(cancelled.get(), count, &called, nullptr), GST_CLOCK_OK);
    gst_clock_id_unschedule(cancelled.get());
    EXPECT_TRUE(WaitUntil([&] { return called.load() == 1; }, 5000));
    ClockIdRef after(gst_clock_new_single_shot_id(c, gst_clock_get_time(c) + 300 * GST_MSECOND));
    EXPECT_EQ(gst_clock_id_wait(after.get(), nullptr), GST_CLOCK_OK);
    EXPECT_EQ(called.load(), 1) << "the called-off callback came";
}

} // namespace
