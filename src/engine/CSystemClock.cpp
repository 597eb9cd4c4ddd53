#include "engine/CSystemClock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

constexpr GstClockTimeDiff kLongestSliceNs = GstClockTimeDiff(3600) * GST_SECOND;

// The waits in progress on one clock: one lock and one wake-up for all of them (a call-off wakes
// every waiter; each looks at its own entry and waits on if it is not the one).
struct Waits {
    std::mutex lock;
    std::condition_variable wake;
};

struct TetravClock {
    GstSystemClock parent;
    Waits* waits;
};

struct TetravClockClass {
    GstSystemClockClass parent_class;
};

GType tetrav_clock_get_type();
gpointer tetravClockParentClass = nullptr;

TetravClock* AsClock(GstClock* clock) {
    return reinterpret_cast<TetravClock*>(clock);
}

GstClockReturn WaitFor(GstClock* clock, GstClockEntry* entry, GstClockTimeDiff* jitter) {
    Waits& w = *AsClock(clock)->waits;
    const GstClockTime target = GST_CLOCK_ENTRY_TIME(entry);
    std::unique_lock lock(w.lock);
    if (GST_CLOCK_ENTRY_STATUS(entry) == GST_CLOCK_UNSCHEDULED) {
        return GST_CLOCK_UNSCHEDULED;
    }
    GstClockTimeDiff left = GST_CLOCK_DIFF(gst_clock_get_time(clock), target);
    if (jitter) {
        *jitter = -left;
    }
    if (left <= 0) {
        GST_CLOCK_ENTRY_STATUS(entry) = left == 0 ? GST_CLOCK_OK : GST_CLOCK_EARLY;
        return GST_CLOCK_ENTRY_STATUS(entry);
    }
    GST_CLOCK_ENTRY_STATUS(entry) = GST_CLOCK_BUSY;
    for (;;) {
        // A sink may wait on a time far beyond any end (a gap or the end of a stream whose time
        // runs to the largest value): in slices, so the deadline never overflows.
        const auto slice = std::chrono::nanoseconds(std::min<GstClockTimeDiff>(left, kLongestSliceNs));
        w.wake.wait_until(lock, std::chrono::steady_clock::now() + slice);
        if (GST_CLOCK_ENTRY_STATUS(entry) == GST_CLOCK_UNSCHEDULED) {
            return GST_CLOCK_UNSCHEDULED;
        }
        left = GST_CLOCK_DIFF(gst_clock_get_time(clock), target);
        if (left <= 0) {
            GST_CLOCK_ENTRY_STATUS(entry) = GST_CLOCK_OK;
            return GST_CLOCK_OK;
        }
    }
}

void CallOff(GstClock* clock, GstClockEntry* entry) {
    {
        Waits& w = *AsClock(clock)->waits;
        std::lock_guard lock(w.lock);
        GST_CLOCK_ENTRY_STATUS(entry) = GST_CLOCK_UNSCHEDULED;
        w.wake.notify_all();
    }
    // Asynchronous waits are GStreamer's own.
    GST_CLOCK_CLASS(tetravClockParentClass)->unschedule(clock, entry);
}

void Finalize(GObject* object) {
    delete reinterpret_cast<TetravClock*>(object)->waits;
    G_OBJECT_CLASS(tetravClockParentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    tetravClockParentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    GST_CLOCK_CLASS(klass)->wait = WaitFor;
    GST_CLOCK_CLASS(klass)->unschedule = CallOff;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    reinterpret_cast<TetravClock*>(instance)->waits = new Waits;
}

GType tetrav_clock_get_type() {
    static const GType type =
        g_type_register_static_simple(GST_TYPE_SYSTEM_CLOCK, "TetravClock", sizeof(TetravClockClass),
                                      ClassInit, sizeof(TetravClock), InstanceInit, GTypeFlags(0));
    return type;
}

} // namespace

GstClockRef CSystemClock::Create() {
    auto* clock = GST_CLOCK(g_object_new(tetrav_clock_get_type(), "name", "TetravClock", "clock-type",
                                         GST_CLOCK_TYPE_MONOTONIC, nullptr));
    return GstClockRef(GST_CLOCK(gst_object_ref_sink(clock)));
}
