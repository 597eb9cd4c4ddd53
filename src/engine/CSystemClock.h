#pragma once
// The system's monotonic clock, with waits that end when they should and can always be called
// off. GStreamer 1.22.0's own system clock re-arms a wait that was woken early against the time
// the wait first started: the deadline is then in the past, and the waiting thread polls the
// clock, holding the wait's lock, until the target time comes (seconds for a sound sink waiting
// on a gap or the end after rate and seek changes). Pausing or seeking that pipeline needs the
// same lock to call the wait off, and stands still meanwhile. This clock keeps GStreamer's for
// time and for callbacks (asynchronous waits) and does the waits a sink blocks in itself, their
// deadline taken afresh from the monotonic time at every wake-up.
#include "engine/GstRef.h"

class CSystemClock {
public:
    // A new clock (the caller's reference).
    static GstClockRef Create();
};
