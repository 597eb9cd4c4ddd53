#include "engine/CVideoOutput.h"

#include "engine/CPictureView.h"
#include "engine/CVideoWidget.h"

#include <gst/app/gstappsink.h>
#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <QPainter>

CVideoOutput::CVideoOutput() {
    GstElement* bin = gst_bin_new("videoout");
    // Turns pictures upright as the stream's orientation tag asks (phones record on their side
    // and say so in the container). It passes frames through untouched when there is no tag;
    // the converter in front only acts on the few formats neither it nor the scaler takes.
    GstElement* format = gst_element_factory_make("videoconvert", "orientformat");
    GstElement* orient = gst_element_factory_make("videoflip", "orient");
    GstElement* sink = gst_element_factory_make("appsink", "picture");
    if (!bin || !format || !orient || !sink) {
        for (GstElement* e : {bin, format, orient, sink}) {
            if (e) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        return;
    }
    m_bin.reset(GST_ELEMENT(gst_object_ref_sink(bin)));
    gst_bin_add_many(GST_BIN(bin), format, orient, sink, nullptr);
    // Raw video all the way: the links need no check of what the pads may carry. Checking it
    // (as gst_element_link does) asks every converter for all its formats, a good part of a
    // second on a busy machine for four channels, and the set opens in the window's thread.
    // The formats are agreed on when the first picture comes.
    GstElement* const chain[] = {format, orient, sink};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        gst_element_link_pads_full(chain[i], "src", chain[i + 1], "sink", GST_PAD_LINK_CHECK_NOTHING);
    }
    gst_util_set_object_arg(G_OBJECT(orient), "video-direction", "auto");
    // Until a tag turns it, the flipper hands frames on untouched. Left to itself it starts by
    // copying every frame into a new one (it only switches to passing frames through when its
    // method changes), a copy of 3 MB per 1080p frame.
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(orient), TRUE);
    m_appSink = sink;
    applyCaps();

    // The sink takes the decoded frames as they are; each one it shows is scaled into a picture
    // for the pane then (takeSample), so a frame dropped for being late costs no scaling.
    // A video sink's usual timing: frames later than 20 ms are dropped and reported upstream
    // (quality of service) so the decoders can catch up.
    GstCapsRef decoded = CPictureScaler::InputCaps();
    g_object_set(sink, "caps", decoded.get(), "sync", TRUE, "qos", TRUE, "max-lateness",
                 gint64(20 * GST_MSECOND), "enable-last-sample", FALSE, "max-buffers", 2u, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = &CVideoOutput::onNewPreroll;
    callbacks.new_sample = &CVideoOutput::onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);

    // The frames as decoded and turned upright, kept for snapshots at the video's own size; the
    // flushes and ends there tell which seek a picture answers.
    GstPadRef sinkPad(gst_element_get_static_pad(sink, "sink"));
    gst_pad_add_probe(sinkPad.get(),
                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                      GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      &CVideoOutput::onNativeData, this, nullptr);
    gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, &CVideoOutput::onAllocation, this,
                      nullptr);
    GstPadRef formatSink(gst_element_get_static_pad(format, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", formatSink.get()));
}

CVideoOutput::~CVideoOutput() {
    // The owner has stopped the pipeline: no streaming thread calls back any more.
    detach();
}

void CVideoOutput::attach(QWidget* pane) {
    if (!pane) {
        detach();
        return;
    }
    if (!m_widget) {
        m_widget = new CVideoWidget(this, pane);
        connect(
            this, &CVideoOutput::frameArrived, m_widget.data(),
            [this] {
                m_repaintPending = false;
                if (m_widget) {
                    m_widget->update();
                }
            },
            Qt::QueuedConnection);
    } else if (m_widget->parentWidget() != pane) {
        m_widget->setParent(pane);
    }
    m_repaintPending = false;
    setGeometry(pane->rect());
    m_widget->show();
    // The prerolled picture goes up at once: the caller may open more channels before the
    // event loop runs again.
    if (m_widget->isVisible()) {
        m_widget->repaint();
    } else {
        m_widget->update();
    }
}

void CVideoOutput::detach() {
    delete m_widget.data();
    m_widget = nullptr;
}

QWidget* CVideoOutput::widget() const {
    return m_widget.data();
}

void CVideoOutput::setGeometry(const QRect& rect) {
    m_rect = rect;
    if (m_widget) {
        m_widget->setGeometry(rect);
    }
    double aspect = 0.0;
    {
        std::lock_guard lock(m_mutex);
        aspect = m_nativeAspect;
    }
    m_view.keepInside(QRectF(QPointF(0, 0), QSizeF(m_rect.size())), aspect);
    applyCaps();
}

void CVideoOutput::MappedPicture::hold(GstSampleRef sample) {
    take();
    m_sample = std::move(sample);
    GstBuffer* buffer = m_sample ? gst_sample_get_buffer(m_sample.get()) : nullptr;
    GstCaps* caps = m_sample ? gst_sample_get_caps(m_sample.get()) : nullptr;
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx) {
        return;
    }
    if (!gst_video_frame_map(&m_frame, &info, buffer, GST_MAP_READ)) {
        return;
    }
    m_mapped = true;
    m_image = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&m_frame, 0)), info.width,
                     info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&m_frame, 0), QImage::Format_RGB32);
}

GstSampleRef CVideoOutput::MappedPicture::take() {
    m_image = QImage();
    if (m_mapped) {
        gst_video_frame_unmap(&m_frame);
        m_mapped = false;
    }
    return std::move(m_sample);
}

gint64 CVideoOutput::StreamTimeOf(GstSample* sample) {
    const GstSegment* segment = sample ? gst_sample_get_segment(sample) : nullptr;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    if (!segment || !buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || segment->format != GST_FORMAT_TIME) {
        return -1;
    }
    const guint64 t = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return t == GST_CLOCK_TIME_NONE ? -1 : gint64(t);
}

GstSampleRef CVideoOutput::nativeOf(GstSample* shown) const {
    GstBuffer* buffer = shown ? gst_sample_get_buffer(shown) : nullptr;
    if (!buffer) {
        return nullptr;
    }
    for (const NativeFrame& f : m_native) {
        if (f.buffer && f.caps && GST_BUFFER_PTS(f.buffer.get()) == GST_BUFFER_PTS(buffer)) {
            return GstSampleRef(gst_sample_new(f.buffer.get(), f.caps.get(), nullptr, nullptr));
        }
    }
    for (const NativeFrame& f : m_gateNative) {
        if (f.buffer && f.caps && GST_BUFFER_PTS(f.buffer.get()) == GST_BUFFER_PTS(buffer)) {
            return GstSampleRef(gst_sample_new(f.buffer.get(), f.caps.get(), nullptr, nullptr));
        }
    }
    return nullptr;
}

GstSampleRef CVideoOutput::currentNativeFrame() const {
    std::lock_guard lock(m_mutex);
    // The sink may hold the next frame already while the previous one is on screen.
    if (GstSampleRef shown = nativeOf(m_shown.sample())) {
        return shown;
    }
    if (!m_native[0].buffer || !m_native[0].caps) {
        return nullptr;
    }
    return GstSampleRef(gst_sample_new(m_native[0].buffer.get(), m_native[0].caps.get(), nullptr, nullptr));
}

bool CVideoOutput::shownStreamTime(gint64& ns) const {
    std::lock_guard lock(m_mutex);
    const gint64 t = StreamTimeOf(m_shown.sample());
    if (t < 0) {
        return false;
    }
    ns = t;
    return true;
}

bool CVideoOutput::newestStreamTime(gint64& ns) const {
    std::lock_guard lock(m_mutex);
    GstSample* newest = m_held               ? m_held.get()
                        : !m_waiting.empty() ? m_waiting.back().picture.get()
                                             : m_shown.sample();
    const gint64 t = StreamTimeOf(newest);
    if (t < 0) {
        return false;
    }
    ns = t;
    return true;
}

bool CVideoOutput::shownFrames(ShownFrame& now, ShownFrame& before) const {
    std::lock_guard lock(m_mutex);
    if (!m_shown) {
        return false;
    }
    now.frame = nativeOf(m_shown.sample());
    now.streamNs = StreamTimeOf(m_shown.sample());
    before.frame = nativeOf(m_before.get());
    before.streamNs = StreamTimeOf(m_before.get());
    return true;
}

void CVideoOutput::showSample(GstSampleRef sample, NativeFrame native) {
    GstBuffer* next = gst_sample_get_buffer(sample.get());
    GstBuffer* current = m_shown ? gst_sample_get_buffer(m_shown.sample()) : nullptr;
    // A prerolled picture comes again when play starts: it is no new picture.
    if (!current || !next || GST_BUFFER_PTS(current) != GST_BUFFER_PTS(next)) {
        m_before = m_shown.take();
        ++m_pictures;
        // The decoded frames of the pictures shown stay at hand, however far decoding runs on.
        m_gateNative[1] = std::move(m_gateNative[0]);
        m_gateNative[0] = {};
        for (const NativeFrame& f : m_native) {
            if (!native.buffer && next && f.buffer && f.caps &&
                GST_BUFFER_PTS(f.buffer.get()) == GST_BUFFER_PTS(next)) {
                native.buffer.reset(gst_buffer_ref(f.buffer.get()));
                native.caps.reset(gst_caps_ref(f.caps.get()));
            }
        }
        m_gateNative[0] = std::move(native);
    }
    m_shown.hold(std::move(sample));
    m_shownAspect = m_nativeAspect;
}

GstSampleRef CVideoOutput::shownPicture() const {
    std::lock_guard lock(m_mutex);
    return GstSampleRef(m_shown ? gst_sample_ref(m_shown.sample()) : nullptr);
}

GstBufferPoolRef CVideoOutput::picturePool() const {
    std::lock_guard lock(m_mutex);
    return GstBufferPoolRef(m_pool ? GST_BUFFER_POOL(gst_object_ref(m_pool.get())) : nullptr);
}

GstBufferPoolRef CVideoOutput::decodedPool() const {
    std::lock_guard lock(m_mutex);
    return GstBufferPoolRef(m_decodedPool ? GST_BUFFER_POOL(gst_object_ref(m_decodedPool.get())) : nullptr);
}

void CVideoOutput::setHold(bool hold) {
    {
        std::lock_guard lock(m_mutex);
        m_hold = hold;
        if (hold && !m_waiting.empty()) {
            // The newest frame waiting at the gate is the one held now.
            m_gateDropped += m_waiting.size() - 1;
            m_held = std::move(m_waiting.back().picture);
            m_heldNative = std::move(m_waiting.back().native);
            m_waiting.clear();
        }
        if (hold || !m_held) {
            return;
        }
        showSample(std::move(m_held), std::move(m_heldNative));
        m_heldNative = {};
    }
    if (!m_repaintPending.exchange(true)) {
        emit frameArrived();
    }
}

void CVideoOutput::setGate(gint64 streamNs) {
    bool shown = false;
    {
        std::lock_guard lock(m_mutex);
        if (streamNs == m_gate) {
            return;
        }
        if ((streamNs < 0) != (m_gate < 0) && m_appSink) {
            // A trailing channel's late frames are the only ones it has: show them all while
            // the others wait for it. Without the gate, late frames are dropped again and the
            // decoder told so.
            g_object_set(m_appSink, "max-lateness", streamNs < 0 ? gint64(20 * GST_MSECOND) : gint64(-1),
                         "qos", streamNs < 0, nullptr);
        }
        m_gate = streamNs;
        Waiting previous;
        Waiting next;
        while (!m_hold && !m_waiting.empty() &&
               (streamNs < 0 || StreamTimeOf(m_waiting.front().picture.get()) <= streamNs)) {
            if (previous.picture) {
                ++m_gateDropped;
            }
            previous = std::move(next);
            next = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        if (next.picture) {
            showSample(std::move(next.picture), std::move(next.native));
            // The picture before is the frame just before this one (captures of one instant
            // across channels look at both), not the last one that went up.
            if (previous.picture) {
                m_before = std::move(previous.picture);
                m_gateNative[1] = std::move(previous.native);
            }
            shown = true;
        }
    }
    if (shown && !m_repaintPending.exchange(true)) {
        emit frameArrived();
    }
}

void CVideoOutput::setGateBudget(size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_gateBudget = bytes;
}

size_t CVideoOutput::Waiting::bytes() const {
    GstBuffer* shown = picture ? gst_sample_get_buffer(picture.get()) : nullptr;
    return (shown ? gst_buffer_get_size(shown) : 0) +
           (native.buffer ? gst_buffer_get_size(native.buffer.get()) : 0);
}

void CVideoOutput::setDim(bool dim) {
    if (dim == m_dim) {
        return;
    }
    m_dim = dim;
    if (m_widget) {
        m_widget->update();
    }
}

void CVideoOutput::clearFrames() {
    std::lock_guard lock(m_mutex);
    m_still = QImage();
    m_held.reset();
    m_heldNative = {};
    m_made.clear();
    m_waiting.clear();
    m_gateNative[0] = {};
    m_gateNative[1] = {};
    m_shown.take();
    m_before.reset();
    for (NativeFrame& f : m_native) {
        f = {};
    }
    m_nativeCaps.reset();
    m_nativeAspect = 0.0;
    m_nativeSize = QSize();
    m_shownAspect = 0.0;
    m_firstPaintUs = 0;
}

void CVideoOutput::sinkStats(quint64& rendered, quint64& dropped) const {
    rendered = dropped = 0;
    if (!m_appSink) {
        return;
    }
    // The sink counts what it renders only while it reports quality of service; the pictures
    // put up are counted here.
    GstStructure* stats = nullptr;
    g_object_get(m_appSink, "stats", &stats, nullptr);
    if (stats) {
        guint64 value = 0;
        if (gst_structure_get_uint64(stats, "dropped", &value)) {
            dropped = value;
        }
        gst_structure_free(stats);
    }
    std::lock_guard lock(m_mutex);
    dropped += m_gateDropped;
    rendered = m_pictures;
}
