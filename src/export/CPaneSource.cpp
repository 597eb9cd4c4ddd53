#include "export/CPaneSource.h"

#include "engine/PicturePool.h"
#include "platform/FileName.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QDir>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr GstClockTime kPullSlice = 100 * GST_MSECOND;
constexpr int kOpenSlices = 300;  // 30 s to the first picture
constexpr int kStallSlices = 600; // 60 s without a new frame: the file is taken as broken
constexpr double kLongestGap = 10.0;

GstElement* Make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

// Adds the chain to the bin, links it in order and brings it to the bin's state.
GstElement* AddChain(GstElement* bin, std::initializer_list<GstElement*> chain) {
    for (GstElement* e : chain) {
        if (e == nullptr) {
            for (GstElement* other : chain) {
                if (other) {
                    gst_object_unref(gst_object_ref_sink(other));
                }
            }
            return nullptr;
        }
    }
    GstElement* previous = nullptr;
    for (GstElement* e : chain) {
        gst_bin_add(GST_BIN(bin), e);
        if (previous) {
            gst_element_link(previous, e);
        }
        previous = e;
    }
    for (auto it = std::rbegin(chain); it != std::rend(chain); ++it) {
        gst_element_sync_state_with_parent(*it);
    }
    return *chain.begin();
}

QString ErrorText(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = error ? QString::fromUtf8(error->message) : QString();
    if (error) {
        g_error_free(error);
    }
    return text;
}

} // namespace

CPaneSource::CPaneSource(const std::atomic<bool>& cancel) : m_cancel(cancel) {}

CPaneSource::~CPaneSource() {
    m_current.reset();
    m_next.reset();
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    }
}

bool CPaneSource::BeginOpen(const QString& path, bool wantSound, QString* why) {
    const FileName::Kind kind = FileName::KindOf(path);
    if (kind != FileName::Kind::File) {
        *why = FileName::KindText(kind);
        return false;
    }
    m_soundWanted = wantSound;
    GstElement* pipeline = gst_pipeline_new("export-pane");
    m_decoder = Make("uridecodebin");
    if (!pipeline || !m_decoder) {
        *why = QStringLiteral("缺少 GStreamer 的解码组件");
        return false;
    }
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    const QByteArray uri = FileName::ToUri(absolute);
    g_object_set(m_decoder, "uri", uri.constData(), nullptr);
    gst_bin_add(GST_BIN(pipeline), m_decoder);
    g_signal_connect(m_decoder, "pad-added", G_CALLBACK(&CPaneSource::onPadAdded), this);
    m_bus.reset(gst_element_get_bus(pipeline));
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        GstMessageRef error(gst_bus_pop_filtered(m_bus.get(), GST_MESSAGE_ERROR));
        *why = error ? ErrorText(error.get()) : QStringLiteral("无法读取");
        return false;
    }
    return true;
}

void CPaneSource::onPadAdded(GstElement*, GstPad* pad, gpointer self) {
    static_cast<CPaneSource*>(self)->linkPad(pad);
}

void CPaneSource::linkPad(GstPad* pad) {
    GstCapsRef caps(gst_pad_query_caps(pad, nullptr));
    const char* name = caps && gst_caps_get_size(caps.get()) > 0
                           ? gst_structure_get_name(gst_caps_get_structure(caps.get(), 0))
                           : "";
    std::lock_guard lock(m_linkLock);
    GstElement* head = nullptr;
    if (g_str_has_prefix(name, "video/") && m_videoSink == nullptr) {
        head = makeVideoBranch();
    } else if (g_str_has_prefix(name, "audio/") && m_soundWanted && m_soundSink == nullptr) {
        head = makeSoundBranch();
        m_hasSound = head != nullptr;
    }
    if (head == nullptr) {
        // Streams not used here (a second sound, subtitles) are read and dropped.
        GstElement* drop = Make("fakesink");
        g_object_set(drop, "sync", FALSE, "async", FALSE, nullptr);
        head = AddChain(m_pipeline.get(), {drop});
    }
    if (head) {
        GstPadRef sink(gst_element_get_static_pad(head, "sink"));
        gst_pad_link(pad, sink.get());
    }
}

// The scaler writes into pictures of a pool it gets here, reused frame after frame.
GstPadProbeReturn CPaneSource::onSinkQuery(GstPad*, GstPadProbeInfo* info, gpointer) {
    return OfferPicturePool(GST_PAD_PROBE_INFO_QUERY(info)) ? GST_PAD_PROBE_HANDLED : GST_PAD_PROBE_OK;
}

GstElement* CPaneSource::makeVideoBranch() {
    GstElement* format = Make("videoconvert");
    GstElement* orient = Make("videoflip");
    GstElement* scale = Make("videoconvertscale");
    GstElement* filter = Make("capsfilter");
    GstElement* sink = Make("appsink");
    GstElement* head = AddChain(m_pipeline.get(), {format, orient, scale, filter, sink});
    if (head == nullptr) {
        return nullptr;
    }
    gst_util_set_object_arg(G_OBJECT(orient), "video-direction", "auto");
    // Scaling is most of the work after decoding: the colour planes taken as they come and no
    // dithering (8 bits to 8 bits) took a fifth off its time, with no visible difference.
    gst_util_set_object_arg(G_OBJECT(scale), "chroma-mode", "none");
    gst_util_set_object_arg(G_OBJECT(scale), "dither", "none");
    GstCapsRef caps(gst_caps_from_string("video/x-raw,format=I420"));
    g_object_set(filter, "caps", caps.get(), nullptr);
    g_object_set(sink, "sync", FALSE, "max-buffers", 8u, "enable-last-sample", FALSE, nullptr);
    m_videoCaps = filter;
    m_videoSink = sink;
    GstPadRef pictures(gst_element_get_static_pad(sink, "sink"));
    gst_pad_add_probe(pictures.get(), GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, &CPaneSource::onSinkQuery, nullptr,
                      nullptr);
    return head;
}

GstElement* CPaneSource::makeSoundBranch() {
    GstElement* convert = Make("audioconvert");
    GstElement* resample = Make("audioresample");
    GstElement* filter = Make("capsfilter");
    GstElement* sink = Make("appsink");
    GstElement* head = AddChain(m_pipeline.get(), {convert, resample, filter, sink});
    if (head == nullptr) {
        return nullptr;
    }
    GstCapsRef caps(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "F32LE", "rate", G_TYPE_INT,
                                        kSoundRate, "channels", G_TYPE_INT, 2, "layout", G_TYPE_STRING,
                                        "interleaved", nullptr));
    g_object_set(filter, "caps", caps.get(), nullptr);
    // No bound: the sound is small and must never hold back the pictures of the same file.
    g_object_set(sink, "sync", FALSE, "max-buffers", 0u, "enable-last-sample", FALSE, nullptr);
    m_soundSink = sink;
    return head;
}

bool CPaneSource::Opened(QString* why) {
    for (int slice = 0;; ++slice) {
        if (m_cancel.load()) {
            *why = QStringLiteral("已取消");
            return false;
        }
        if (slice >= kOpenSlices) {
            *why = QStringLiteral("打开超时");
            return false;
        }
        GstMessageRef message(gst_bus_timed_pop_filtered(
            m_bus.get(), kPullSlice, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE)));
        if (!message) {
            continue;
        }
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            *why = ErrorText(message.get());
            return false;
        }
        break;
    }
    std::lock_guard lock(m_linkLock);
    gint64 duration = -1;
    gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &duration);
    gint64 start = 0;
    if (m_videoSink) {
        GstSampleRef first(gst_app_sink_try_pull_preroll(GST_APP_SINK(m_videoSink), 0));
        GstVideoInfo info;
        if (first && gst_video_info_from_caps(&info, gst_sample_get_caps(first.get()))) {
            const int parN = std::max(1, info.par_n);
            const int parD = std::max(1, info.par_d);
            m_picture = QSize(int(std::lround(double(info.width) * parN / parD)), info.height);
            m_rateNum = info.fps_n;
            m_rateDen = std::max(1, info.fps_d);
            if (m_rateNum > 0) {
                m_frame = double(m_rateDen) / m_rateNum;
            }
            m_startOffset = 0.0;
            start = gint64(std::llround(timeOf(first.get()) * GST_SECOND));
        }
    } else if (!gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &start)) {
        start = 0;
    }
    m_startOffset = double(std::max<gint64>(0, start)) / GST_SECOND;
    m_length = duration > 0 ? std::max(0.0, double(duration) / GST_SECOND - m_startOffset) : 0.0;
    if (!m_videoSink && !m_hasSound) {
        *why = QStringLiteral("没有可用的视频或声音");
        return false;
    }
    return true;
}

bool CPaneSource::Start(double from, double until, QSize size, QString* why) {
    if (m_videoCaps && size.isValid()) {
        GstCapsRef caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                            G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(),
                                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
        g_object_set(m_videoCaps, "caps", caps.get(), nullptr);
    }
    const auto at = [this](double t) { return gint64(std::llround((m_startOffset + t) * GST_SECOND)); };
    // A file that cannot seek is read from its start; the frames before the interval are passed.
    gst_element_seek(m_pipeline.get(), 1.0, GST_FORMAT_TIME,
                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET, at(from),
                     GST_SEEK_TYPE_SET, at(until));
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *why = QStringLiteral("无法开始读取");
        return false;
    }
    m_started = true;
    m_until = until;
    return true;
}

double CPaneSource::timeOf(GstSample* sample) const {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstClockTime pts = buffer ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
    if (!GST_CLOCK_TIME_IS_VALID(pts)) {
        return m_lastSeen;
    }
    guint64 stream = pts;
    if (const GstSegment* segment = gst_sample_get_segment(sample);
        segment && segment->format == GST_FORMAT_TIME) {
        guint64 converted = 0;
        if (gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, pts, &converted) > 0) {
            stream = converted;
        }
    }
    return double(stream) / GST_SECOND - m_startOffset;
}

void CPaneSource::breakAt(double at, const QString& why) {
    m_broken = true;
    m_brokenAt = at;
    m_brokenWhy = why;
    m_current.reset();
    m_next.reset();
    m_sound.clear();
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
}

bool CPaneSource::checkBus(double at) {
    while (GstMessageRef message{gst_bus_pop_filtered(m_bus.get(), GST_MESSAGE_ERROR)}) {
        breakAt(at, ErrorText(message.get()));
        return false;
    }
    // The rest (state changes, tags, warnings) is of no use here; it is dropped so it does not pile up.
    while (GstMessageRef message{gst_bus_pop(m_bus.get())}) {
    }
    return true;
}

GstSampleRef CPaneSource::pull(GstElement* sink, double hint) {
    for (int slice = 0; !m_broken && !m_cancel.load(); ++slice) {
        if (GstSampleRef sample{gst_app_sink_try_pull_sample(GST_APP_SINK(sink), kPullSlice)}) {
            return sample;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
            return {};
        }
        if (!checkBus(hint)) {
            return {};
        }
        if (slice >= kStallSlices) {
            breakAt(hint, QStringLiteral("读取停滞"));
        }
    }
    return {};
}

GstSample* CPaneSource::PictureAt(double t) {
    if (!m_started || m_videoSink == nullptr || (m_broken && !m_current)) {
        return nullptr;
    }
    // Timestamps off the frame grid by less than a quarter frame count as on it.
    const double tolerance = m_frame / 4.0;
    if (!m_next && !m_videoEnded && !m_broken) {
        m_next = pull(m_videoSink, t);
        m_videoEnded = !m_next;
    }
    while (m_next && timeOf(m_next.get()) <= t + tolerance) {
        m_current = std::move(m_next);
        m_lastSeen = timeOf(m_current.get());
        m_next = pull(m_videoSink, t);
        m_videoEnded = !m_next;
    }
    if (m_videoEnded) {
        noteEarlyEnd();
    }
    if (!m_current || (m_broken && t + tolerance >= m_brokenAt)) {
        return nullptr;
    }
    if (!m_next) {
        // The last picture lasts its own duration, then the pane is black.
        GstBuffer* buffer = gst_sample_get_buffer(m_current.get());
        const double duration = buffer && GST_BUFFER_DURATION_IS_VALID(buffer)
                                    ? std::max(double(GST_BUFFER_DURATION(buffer)) / GST_SECOND, m_frame)
                                    : m_frame;
        if (t + tolerance >= m_lastSeen + duration) {
            return nullptr;
        }
    }
    return m_current.get();
}

void CPaneSource::noteEarlyEnd() {
    // Lengths are estimates in some containers: a shortfall of half a second is no fault.
    const double expected = m_length > 0.0 ? std::min(m_until, m_length) : m_until;
    if (!m_broken && m_current && m_lastSeen + m_frame < expected - std::max(0.5, 2 * m_frame)) {
        m_broken = true;
        m_brokenAt = m_lastSeen + m_frame;
        m_brokenWhy = QStringLiteral("文件提前结束");
    }
}

void CPaneSource::pullSound() {
    const double hint = double(m_soundStart) / kSoundRate;
    GstSampleRef sample = pull(m_soundSink, hint);
    if (!sample) {
        m_soundEnded = true;
        return;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return;
    }
    const auto* samples = reinterpret_cast<const float*>(map.data);
    std::int64_t count = std::int64_t(map.size / (2 * sizeof(float)));
    std::int64_t at = std::llround(timeOf(sample.get()) * kSoundRate);
    const std::int64_t end = m_soundStart + std::int64_t(m_sound.size() / 2);
    if (m_sound.empty() && at > end + std::int64_t(kLongestGap * kSoundRate)) {
        m_soundStart = at;
    } else if (at > end) {
        m_sound.resize(m_sound.size() +
                       std::size_t(2 * std::min<std::int64_t>(at - end, kLongestGap * kSoundRate)));
    } else if (at < end) {
        const std::int64_t skip = std::min(count, end - at);
        samples += 2 * skip;
        count -= skip;
    }
    m_sound.insert(m_sound.end(), samples, samples + 2 * count);
    gst_buffer_unmap(buffer, &map);
}

void CPaneSource::AddSound(float* out, std::int64_t first, int count) {
    if (!m_started || !HasSound()) {
        return;
    }
    if (m_sound.empty() && m_soundStart < first) {
        m_soundStart = first; // nothing before the first sample asked for is of use
    }
    while (!m_soundEnded && !m_broken && m_soundStart + std::int64_t(m_sound.size() / 2) < first + count) {
        pullSound();
    }
    const std::int64_t end = m_soundStart + std::int64_t(m_sound.size() / 2);
    for (std::int64_t j = std::max(first, m_soundStart); j < std::min(first + count, end); ++j) {
        out[2 * (j - first)] += m_sound[std::size_t(2 * (j - m_soundStart))];
        out[2 * (j - first) + 1] += m_sound[std::size_t(2 * (j - m_soundStart) + 1)];
    }
    const std::int64_t used = std::clamp(first + count - m_soundStart, std::int64_t(0), end - m_soundStart);
    m_sound.erase(m_sound.begin(), m_sound.begin() + std::ptrdiff_t(2 * used));
    m_soundStart += used;
}
