// The video output's streaming side: what runs in the pipeline's threads as frames come, each
// turned into a picture of the pane's size before the sink waits for its time, and the samples the
// sink hands over.
#include "engine/CVideoOutput.h"

#include "engine/CPictureView.h"
#include "engine/PicturePool.h"

#include <gst/app/gstappsink.h>
#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>

QSize CVideoOutput::pictureSize(const GstVideoInfo& info) const {
    const QSize own = !m_nativeSize.isEmpty() ? m_nativeSize : QSize(info.width, info.height);
    if (m_capsSize.width() <= 1 || m_capsSize.height() <= 1) {
        return own;
    }
    if (!m_capsWhole) {
        return m_capsSize;
    }
    const double aspect = m_nativeAspect > 0.0 ? m_nativeAspect : double(own.width()) / own.height();
    return CPictureView::fitted(QRect(QPoint(0, 0), m_capsSize), aspect).size();
}

void CVideoOutput::takeSample(GstSample* pulled) {
    if (!pulled) {
        return;
    }
    GstSampleRef decoded(pulled);
    GstBuffer* frame = gst_sample_get_buffer(pulled);
    GstCaps* caps = gst_sample_get_caps(pulled);
    GstVideoInfo info;
    if (!frame || !caps || !gst_video_info_from_caps(&info, caps)) {
        return;
    }
    QSize size;
    guint pictures = kOwnSizePictures;
    Made made;
    {
        std::lock_guard lock(m_mutex);
        size = pictureSize(info);
        pictures = m_capsSize.width() > 1 && m_capsSize.height() > 1 ? kPicturesMade : kOwnSizePictures;
        // The picture made for this frame on its way in, unless the size asked for changed since.
        // The ones before it were dropped as late.
        for (size_t i = 0; i < m_made.size(); ++i) {
            if (m_made[i].native == frame && m_made[i].pts == GST_BUFFER_PTS(frame)) {
                if (m_made[i].size == size) {
                    made = std::move(m_made[i]);
                }
                m_made.erase(m_made.begin(), m_made.begin() + std::ptrdiff_t(i) + 1);
                break;
            }
        }
    }
    if (!made.picture) {
        // A frame shown again (the prerolled one when play starts) or a new size: made now.
        m_scaler.setPoolSize(pictures);
        made.picture = m_scaler.scale(frame, info, size);
        made.caps.reset(made.picture ? gst_caps_ref(m_scaler.caps()) : nullptr);
    }
    if (!made.picture) {
        return;
    }
    // A sample of our own: appsink fills its own sample object again for the next preroll or
    // caps.
    GstSample* sample =
        gst_sample_new(made.picture.get(), made.caps.get(), gst_sample_get_segment(pulled), nullptr);
    NativeFrame native{GstBufferRef(gst_buffer_ref(frame)), GstCapsRef(gst_caps_ref(caps))};
    // The sample follows the decoded frame on this thread.
    m_newestDamaged = m_decodedDamaged.load();
    m_answeredSeqnum = m_flushSeqnum.load();
    {
        std::lock_guard lock(m_mutex);
        if (m_pool.get() != m_scaler.pool()) {
            m_pool.reset(GST_BUFFER_POOL(gst_object_ref(m_scaler.pool())));
        }
        if (m_hold) {
            m_held.reset(sample);
            m_heldNative = std::move(native);
            return;
        }
        if (m_gate >= 0 && StreamTimeOf(sample) > m_gate) {
            Waiting waiting{GstSampleRef(sample), std::move(native)};
            // Within the count and the bytes allowed, the oldest given up first.
            size_t bytes = waiting.bytes();
            for (const Waiting& w : m_waiting) {
                bytes += w.bytes();
            }
            while (!m_waiting.empty() && (m_waiting.size() >= m_waitingMost || bytes > m_gateBudget)) {
                bytes -= m_waiting.front().bytes();
                m_waiting.pop_front();
                ++m_gateDropped;
            }
            m_waiting.push_back(std::move(waiting));
            return;
        }
        showSample(GstSampleRef(sample), std::move(native));
    }
    if (!m_repaintPending.exchange(true)) {
        emit frameArrived();
    }
}

bool CVideoOutput::TooLate(GstPad* pad, GstBuffer* frame) {
    // As the sink judges it: the frame's end more than its 20 ms past the clock's time.
    GstElementRef sink(gst_pad_get_parent_element(pad));
    GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    if (!sink || !event || !GST_BUFFER_PTS_IS_VALID(frame)) {
        if (event) {
            gst_event_unref(event);
        }
        return false;
    }
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    const guint64 end =
        GST_BUFFER_PTS(frame) + (GST_BUFFER_DURATION_IS_VALID(frame) ? GST_BUFFER_DURATION(frame) : 0);
    const guint64 running = segment->format == GST_FORMAT_TIME
                                ? gst_segment_to_running_time(segment, GST_FORMAT_TIME, end)
                                : GST_CLOCK_TIME_NONE;
    gst_event_unref(event);
    GstClock* clock =
        GST_STATE(sink.get()) == GST_STATE_PLAYING ? gst_element_get_clock(sink.get()) : nullptr;
    if (!clock || running == GST_CLOCK_TIME_NONE) {
        if (clock) {
            gst_object_unref(clock);
        }
        return false;
    }
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(sink.get());
    return now > base && now - base > running + 20 * GST_MSECOND;
}

void CVideoOutput::makePicture(GstPad* pad, GstBuffer* frame) {
    GstCapsRef caps;
    QSize size;
    bool gated = false;
    {
        std::lock_guard lock(m_mutex);
        gated = m_gate >= 0 || m_hold;
        m_decodedDamaged = GST_BUFFER_FLAG_IS_SET(frame, GST_BUFFER_FLAG_CORRUPTED);
        m_native[0].buffer.reset(gst_buffer_ref(frame));
        m_native[0].caps.reset(m_nativeCaps ? gst_caps_ref(m_nativeCaps.get()) : nullptr);
        caps.reset(m_nativeCaps ? gst_caps_ref(m_nativeCaps.get()) : nullptr);
    }
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps.get())) {
        return;
    }
    // A frame the sink will drop as late is not scaled (after a stall, a second of them); while
    // gated the sink shows late frames too.
    if (!gated && TooLate(pad, frame)) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        size = pictureSize(info);
        m_scaler.setPoolSize(m_capsSize.width() > 1 && m_capsSize.height() > 1 ? kPicturesMade
                                                                               : kOwnSizePictures);
    }
    // Made before the sink waits for the frame's time, as a converter in front of it would, and
    // outside the lock: the window paints meanwhile.
    Made made{frame, GST_BUFFER_PTS(frame), m_scaler.scale(frame, info, size), nullptr, size};
    if (!made.picture) {
        return;
    }
    made.caps.reset(gst_caps_ref(m_scaler.caps()));
    std::lock_guard lock(m_mutex);
    // The sink holds at most a few frames: older ones not taken were dropped as late.
    while (m_made.size() >= kMaxMade) {
        m_made.pop_front();
    }
    m_made.push_back(std::move(made));
}

GstFlowReturn CVideoOutput::onNewSample(GstAppSink* sink, gpointer self) {
    static_cast<CVideoOutput*>(self)->takeSample(gst_app_sink_pull_sample(sink));
    return GST_FLOW_OK;
}

GstFlowReturn CVideoOutput::onNewPreroll(GstAppSink* sink, gpointer self) {
    static_cast<CVideoOutput*>(self)->takeSample(gst_app_sink_pull_preroll(sink));
    return GST_FLOW_OK;
}

guint CVideoOutput::WaitingAtMost(const GstVideoInfo& info) {
    const double fps = info.fps_n > 0 && info.fps_d > 0 ? double(info.fps_n) / info.fps_d : 30.0;
    const size_t byTime = size_t(std::ceil(kWaitingSeconds * fps)) + 1;
    const size_t byBytes = std::max<size_t>(1, kGateBudget / std::max<gsize>(1, GST_VIDEO_INFO_SIZE(&info)));
    return guint(std::min({kMaxWaiting, byTime, byBytes}));
}

GstPadProbeReturn CVideoOutput::onAllocation(GstPad*, GstPadProbeInfo* info, gpointer self) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    GstVideoInfo video;
    GstCaps* caps = RawVideoAllocation(query, video);
    if (!caps) {
        return GST_PAD_PROBE_OK;
    }
    // Left to itself the decoder makes a pool that starts empty and makes a frame whenever all
    // are out. This one makes those every channel needs in steady play when the format is agreed
    // on: the frames on their way, the picture on screen and the one before it. Frames waiting at
    // the gate (only while a channel catches up) are made the first time they wait, at most the
    // gate's count, and kept for the next time: made up front, four channels of 1080p frames
    // would keep 50 MB that most sets never use.
    // The decoder agrees on its format again as it starts (with the same caps): the same pool,
    // whose frames are made already, is offered again.
    auto* out = static_cast<CVideoOutput*>(self);
    GstBufferPoolRef pool;
    {
        std::lock_guard lock(out->m_mutex);
        if (!out->m_decodedPool || !out->m_decodedCaps ||
            !gst_caps_is_equal(out->m_decodedCaps.get(), caps)) {
            out->m_decodedPool.reset(gst_video_buffer_pool_new());
            out->m_decodedCaps.reset(gst_caps_ref(caps));
        }
        pool.reset(GST_BUFFER_POOL(gst_object_ref(out->m_decodedPool.get())));
    }
    const guint kept = kDecodedInFlight + 2;
    gst_query_add_allocation_pool(query, pool.get(), guint(GST_VIDEO_INFO_SIZE(&video)), kept, 0);
    return GST_PAD_PROBE_HANDLED;
}

GstPadProbeReturn CVideoOutput::onNativeData(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
    auto* out = static_cast<CVideoOutput*>(self);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_FLUSH) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
            out->m_flushSeqnum = gst_event_get_seqnum(GST_PAD_PROBE_INFO_EVENT(info));
            std::lock_guard lock(out->m_mutex);
            out->m_made.clear();
        }
        return GST_PAD_PROBE_OK;
    }
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        out->makePicture(pad, GST_PAD_PROBE_INFO_BUFFER(info));
        return GST_PAD_PROBE_OK;
    }
    std::lock_guard lock(out->m_mutex);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS ||
        GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_GAP) {
        // No picture comes after the flush: the sink prerolls on this instead.
        out->m_answeredSeqnum = out->m_flushSeqnum.load();
        out->m_newestDamaged = false;
    } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(GST_PAD_PROBE_INFO_EVENT(info), &caps);
        out->takeNativeCaps(caps);
    }
    return GST_PAD_PROBE_OK;
}
