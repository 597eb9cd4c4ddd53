// The channel's positions, seeking, rate and frame step.
#include "engine/GstChannel.h"
#include "engine/GstChannelImpl.h"

#include <algorithm>
#include <cmath>

bool GstChannel::GetCurrentPosition(double& seconds) const {
    if (!d->hasPipeline()) {
        return false;
    }
    gint64 pos = 0;
    if (d->failed) {
        // Where the broken stream stopped, not where the clock runs on to.
        pos = d->lastPositionNs;
    } else if (d->atEnd && d->durationNs > 0) {
        pos = d->durationNs;
    } else if (d->seeking) {
        pos = d->seekTargetNs;
    } else if (d->pausedOnPicture() && d->video->shownStreamTime(pos)) {
        // Paused: the position of the picture on screen, wherever the demuxer landed.
        pos -= d->startOffsetNs;
    } else if (gst_element_query_position(d->playbin.get(), GST_FORMAT_TIME, &pos)) {
        pos -= d->startOffsetNs;
        // The first sink at its end (the sound of a file cut short) makes the pipeline report
        // the length before the stream has ended: the picture on screen tells where play is.
        gint64 shown = 0;
        if (d->durationNs > 0 && pos >= d->durationNs && d->video && d->videoStreams > 0 &&
            d->video->shownStreamTime(shown)) {
            pos = shown - d->startOffsetNs;
        }
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

bool GstChannel::GetDuration(double& seconds) const {
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

bool GstChannel::SetCurrentPosition(double seconds) {
    // Seconds to nanoseconds truncates toward zero, as the 100 ns units did.
    return d->hasPipeline() && d->seek(gint64(seconds * double(kNsPerSecond)), GST_SEEK_FLAG_KEY_UNIT);
}

bool GstChannel::SetCurrentPositionExact(double seconds) {
    return d->hasPipeline() && d->seek(gint64(seconds * double(kNsPerSecond)), GST_SEEK_FLAG_ACCURATE);
}

bool GstChannel::SetRate(double rate) {
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

bool GstChannel::StepOneFrame() {
    if (!d->hasPipeline() || d->videoStreams == 0 || d->atEnd) {
        return false;
    }
    if (d->heading() != GST_STATE_PAUSED) {
        // Stepping while playing would skip without showing: pause on a frame first, with the
        // patience of an open.
        if (!d->changeState(GST_STATE_PAUSED) || !d->settle(int(d->renderStallUs / 1000))) {
            return false;
        }
    }
    return StepFrames(1);
}

bool GstChannel::SetPositionAndRate(double seconds, double rate, bool keyFrame) {
    if (!d->hasPipeline() || !(rate > 0.0) || !std::isfinite(rate) || !std::isfinite(seconds)) {
        return false;
    }
    const double before = d->rate;
    d->rate = rate;
    d->rateToApply = false;
    const auto how =
        keyFrame ? GstSeekFlags(GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_NEAREST) : GST_SEEK_FLAG_ACCURATE;
    if (!d->seek(gint64(seconds * double(kNsPerSecond)), how)) {
        d->rate = before;
        return false;
    }
    return true;
}

bool GstChannel::SeekKeyFrameAfter(double seconds, double rate) {
    if (!d->hasPipeline() || !(rate > 0.0) || !std::isfinite(rate) || !std::isfinite(seconds)) {
        return false;
    }
    const double before = d->rate;
    d->rate = rate;
    d->rateToApply = false;
    if (!d->seek(gint64(seconds * double(kNsPerSecond)),
                 GstSeekFlags(GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_AFTER))) {
        d->rate = before;
        return false;
    }
    return true;
}

bool GstChannel::StepFrames(int frames) {
    if (!d->hasPipeline() || d->videoStreams == 0 || d->atEnd || frames <= 0 ||
        d->heading() != GST_STATE_PAUSED) {
        return false;
    }
    if (!gst_element_send_event(d->playbin.get(),
                                gst_event_new_step(GST_FORMAT_BUFFERS, guint64(frames), 1.0, TRUE, FALSE))) {
        return false;
    }
    d->stepping = true;
    d->settleAnnounced = false;
    return true;
}

bool GstChannel::IsSettled() const {
    if (!d->hasPipeline()) {
        return false;
    }
    return d->settledNow();
}

bool GstChannel::GetShownPosition(double& seconds) const {
    if (!d->hasPipeline()) {
        return false;
    }
    gint64 pos = 0;
    // A seek in progress leaves the last picture on screen until its new frame is shown.
    if (d->atEnd || !d->video || d->videoStreams == 0 || !d->video->shownStreamTime(pos)) {
        return GetCurrentPosition(seconds);
    }
    pos = std::max<gint64>(0, pos - d->startOffsetNs);
    if (d->durationNs > 0) {
        pos = std::min(pos, d->durationNs);
    }
    seconds = double(pos) / double(kNsPerSecond);
    return true;
}

bool GstChannel::GetNewestPosition(double& seconds) const {
    gint64 pos = 0;
    if (!d->hasPipeline() || !d->video || d->videoStreams == 0 || !d->video->newestStreamTime(pos)) {
        return false;
    }
    pos = std::max<gint64>(0, pos - d->startOffsetNs);
    if (d->durationNs > 0) {
        pos = std::min(pos, d->durationNs);
    }
    seconds = double(pos) / double(kNsPerSecond);
    return true;
}

bool GstChannel::CanSeek() const {
    return d->hasPipeline() && d->seekable;
}
