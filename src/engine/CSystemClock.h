#pragma once
// The system's monotonic clock, with waits that can always be called off. A sink may wait on a
// time far beyond any end (the sound sink, on a gap or an end whose time runs to the largest
// value, seen on MPEG-TS at double rate). GStreamer 1.22.0's own system clock adds such a wait to
// the monotonic time and overflows: the deadline lies in the past, and the waiting thread polls
// the clock with the wait's lock held, for good. Pausing or seeking that pipeline needs the same
// lock to call the wait off, and the thread that does it (the window's) stands still. This clock
// keeps GStreamer's for time and for callbacks (asynchronous waits) and does the waits a sink
// blocks in itself, in slices of at most an hour, the deadline taken afresh at every wake-up.
#include "engine/GstRef.h"

class CSystemClock {
public:
    // A new clock (the caller's reference).
    static GstClockRef Create();
};
