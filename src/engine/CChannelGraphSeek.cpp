// The channel's positions, seeking, rate and frame step.
#include "engine/CChannelGraph.h"
#include "engine/ChannelGraphImpl.h"

#include <algorithm>
#include <cmath>

namespace {
// How long a frame step from playing may wait for the pause to settle.
constexpr int kPauseTimeoutMs = 2000;
} // namespace

bool CChannelGraph::GetCurrentPosition(double& seconds) {
    if (!d->hasPipeline()) {
        return false;
    }
    gint64 pos = 0;
    if (d->atEnd && d->durationNs > 0) {
        pos = d->durationNs;
    } else if (d->seeking) {
        pos = d->seekTargetNs;
    } else if (d->pausedOnPicture() && d->video->shownStreamTime(pos)) {
        // Paused: the position of the picture on screen, wherever the demuxer landed.
        pos -= d->startOffsetNs;
    } else if (gst_element_query_position(d->playbin.get(), GST_FORMAT_TIME, &pos)) {
        pos -= d->startOffsetNs;
    } else {
        pos = d->lastPositionNs;
    }
    pos = std::max<gint64>(0, pos);
    if (d->durationNs > 0) {
        pos = std::min(pos, d->durationNs);
    }
    d->lastPositionNs = pos;
    seconds = double(pos) / double(kNsPerSecond);
    return true;
}

bool CChannelGraph::GetDuration(double& seconds) {
    if (!d->hasPipeline()) {
        return false;
    }
    if (d->durationNs <= 0) {
        d->refreshDuration();
    }
    if (d->durationNs <= 0) {
        return false;
    }
    seconds = double(d->durationNs) / double(kNsPerSecond);
    return true;
}

bool CChannelGraph::SetCurrentPosition(double seconds) {
    // Seconds to nanoseconds truncates toward zero, as the 100 ns units did.
    return d->hasPipeline() && d->seek(gint64(seconds * double(kNsPerSecond)), GST_SEEK_FLAG_KEY_UNIT);
}

bool CChannelGraph::SetCurrentPositionExact(double seconds) {
    return d->hasPipeline() && d->seek(gint64(seconds * double(kNsPerSecond)), GST_SEEK_FLAG_ACCURATE);
}

bool CChannelGraph::SetRate(double rate) {
    if (!d->hasPipeline() || !(rate > 0.0) || !std::isfinite(rate)) {
        return false;
    }
    if (rate == d->rate && !d->rateToApply) {
        return true;
    }
    const GstState state = d->heading();
    if (state != GST_STATE_PAUSED && state != GST_STATE_PLAYING) {
        // Not prerolled: applied when it is.
        d->rate = rate;
        d->rateToApply = true;
        return true;
    }
    return d->applyRate(rate);
}

bool CChannelGraph::StepOneFrame() {
    if (!d->hasPipeline() || d->videoStreams == 0 || d->atEnd) {
        return false;
    }
    if (d->heading() != GST_STATE_PAUSED) {
        // Stepping while playing would skip without showing: pause on a frame first.
        if (!d->changeState(GST_STATE_PAUSED) || !d->settle(kPauseTimeoutMs)) {
            return false;
        }
    }
    if (!gst_element_send_event(d->playbin.get(),
                                gst_event_new_step(GST_FORMAT_BUFFERS, 1, 1.0, TRUE, FALSE))) {
        return false;
    }
    d->stepping = true;
    return true;
}
