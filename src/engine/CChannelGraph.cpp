#include "engine/CChannelGraph.h"

#include "uikit/Resource.h"
#include "engine/BmpFile.h"
#include "engine/CVideoOutput.h"
#include "engine/GstRef.h"
#include "engine/RealMediaIndex.h"

#include <gst/audio/streamvolume.h>
#include <gst/video/video.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>

namespace {

// How long opening a file may take before it counts as failed.
constexpr int kPrerollTimeoutMs = 5000;
// How long a frame step from playing may wait for the pause to settle.
constexpr int kPauseTimeoutMs = 2000;
constexpr gint64 kNsPerSecond = 1000000000;
// playbin's GstPlayFlags value "native-video": no converter in front of the video sink.
constexpr guint kPlayFlagNativeVideo = 0x40;

// Whether a sound server answers; asked once per process (a refused connection is quick).
bool soundServerAvailable() {
    static const bool available = [] {
        GstElement* probe = gst_element_factory_make("pulsesink", nullptr);
        if (!probe) {
            return false;
        }
        GstElementRef sink(GST_ELEMENT(gst_object_ref_sink(probe)));
        const bool ok = gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
        gst_element_set_state(sink.get(), GST_STATE_NULL);
        return ok;
    }();
    return available;
}

// The audio output: the sound server, or a silent sink that keeps time when there is none.
GstElement* makeAudioSink() {
    if (soundServerAvailable()) {
        if (GstElement* sink = gst_element_factory_make("pulsesink", "audioout")) {
            return sink;
        }
    }
    GstElement* sink = gst_element_factory_make("fakeaudiosink", "audioout");
    if (sink) {
        g_object_set(sink, "sync", TRUE, nullptr);
    }
    return sink;
}

std::atomic<int> g_channelCounter{0};

// Up to four channels decode at once, each in its own streaming thread: frame threading inside
// each software decoder adds little and keeps extra frames per thread (about 20 MB per 1080p
// channel). One decoding thread per channel.
void onElementSetup(GstElement*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    if (name && g_str_has_prefix(name, "avdec_") &&
        g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads") &&
        gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER |
                                                      GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO)) {
        g_object_set(element, "max-threads", 1, nullptr);
    }
}

} // namespace

struct CChannelGraph::Impl {
    GstElementRef playbin;
    GstBusRef bus;
    std::unique_ptr<QSocketNotifier> busNotifier;
    std::unique_ptr<CVideoOutput> video;
    QPointer<QWidget> notifyWindow;
    QRect rect;

    gint64 startOffsetNs = 0; // position of the first frame: where the stream's own time starts
    gint64 durationNs = -1;
    gint64 lastPositionNs = 0;
    bool seekable = false;
    int videoStreams = 0;
    int audioStreams = 0;
    bool atEnd = false;
    bool seeking = false; // a flushing seek has not completed yet
    gint64 seekTargetNs = 0;
    bool stepping = false;
    double rate = 1.0;
    bool rateToApply = false; // set while stopped: applied at the next preroll
    gint64 renderStartUs = 0;
    std::map<QString, quint64> qosDropped; // per element that dropped frames

    bool hasPipeline() const { return bool(playbin); }

    // The state the pipeline is in or heading for; never waits.
    GstState heading() const {
        GstState current = GST_STATE_VOID_PENDING;
        GstState pending = GST_STATE_VOID_PENDING;
        if (gst_element_get_state(playbin.get(), &current, &pending, 0) == GST_STATE_CHANGE_FAILURE) {
            return GST_STATE_VOID_PENDING;
        }
        return pending != GST_STATE_VOID_PENDING ? pending : current;
    }

    bool pausedOnPicture() const {
        GstState current = GST_STATE_VOID_PENDING;
        GstState pending = GST_STATE_VOID_PENDING;
        return video && videoStreams > 0 && !stepping &&
               gst_element_get_state(playbin.get(), &current, &pending, 0) == GST_STATE_CHANGE_SUCCESS &&
               current == GST_STATE_PAUSED;
    }

    bool changeState(GstState state) {
        return gst_element_set_state(playbin.get(), state) != GST_STATE_CHANGE_FAILURE;
    }

    void postNotify() {
        if (notifyWindow) {
            QCoreApplication::postEvent(notifyWindow,
                                        new QEvent(QEvent::Type(QEvent::User + WM_GRAPHNOTIFY)));
        }
    }

    void refreshDuration() {
        gint64 d = -1;
        if (gst_element_query_duration(playbin.get(), GST_FORMAT_TIME, &d) && d > 0) {
            durationNs = d;
        }
    }

    // Reacts to one bus message. Returns the message's type.
    GstMessageType handle(GstMessage* msg) {
        const GstMessageType type = GST_MESSAGE_TYPE(msg);
        switch (type) {
        case GST_MESSAGE_EOS:
            atEnd = true;
            postNotify();
            break;
        case GST_MESSAGE_ERROR: {
            GError* raw = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(msg, &raw, &debug);
            GErrorRef error(raw);
            GCharRef details(debug);
            qWarning("channel %s: %s", GST_OBJECT_NAME(playbin.get()), error ? error->message : "error");
            seeking = false;
            stepping = false;
            postNotify();
            break;
        }
        case GST_MESSAGE_ASYNC_DONE:
            seeking = false;
            if (rateToApply) {
                rateToApply = false;
                applyRate(rate);
            }
            if (durationNs <= 0) {
                refreshDuration();
            }
            break;
        case GST_MESSAGE_DURATION_CHANGED:
            refreshDuration();
            break;
        case GST_MESSAGE_STEP_DONE: {
            GstFormat format = GST_FORMAT_UNDEFINED;
            gst_message_parse_step_done(msg, &format, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            // With sound, the audio sink reports its own step in time units: only the video counts.
            if (format == GST_FORMAT_BUFFERS) {
                stepping = false;
            }
            break;
        }
        case GST_MESSAGE_QOS: {
            GstFormat format = GST_FORMAT_UNDEFINED;
            guint64 processed = 0;
            guint64 dropped = 0;
            gst_message_parse_qos_stats(msg, &format, &processed, &dropped);
            if (format == GST_FORMAT_BUFFERS && GST_MESSAGE_SRC(msg)) {
                quint64& seen = qosDropped[QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)))];
                seen = std::max<quint64>(seen, dropped);
            }
            break;
        }
        default:
            break;
        }
        return type;
    }

    void drain() {
        if (!bus) {
            return;
        }
        while (GstMessageRef msg{gst_bus_pop(bus.get())}) {
            handle(msg.get());
        }
    }

    // Waits at most timeoutMs for the pipeline to settle (no state change, seek or step in
    // progress), handling the messages that come meanwhile. False on error or time-out.
    bool settle(int timeoutMs) {
        const gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
        for (;;) {
            GstState current = GST_STATE_VOID_PENDING;
            GstState pending = GST_STATE_VOID_PENDING;
            const GstStateChangeReturn r = gst_element_get_state(playbin.get(), &current, &pending, 0);
            if (r == GST_STATE_CHANGE_FAILURE) {
                return false;
            }
            if (r != GST_STATE_CHANGE_ASYNC && !seeking && !stepping) {
                return true;
            }
            const gint64 left = deadline - g_get_monotonic_time();
            if (left <= 0) {
                return false;
            }
            GstMessageRef msg(gst_bus_timed_pop(bus.get(), GstClockTime(left) * 1000));
            if (msg && handle(msg.get()) == GST_MESSAGE_ERROR) {
                return false;
            }
        }
    }

    bool seek(gint64 targetNs, GstSeekFlags how) {
        const GstState state = heading();
        if (state != GST_STATE_PAUSED && state != GST_STATE_PLAYING) {
            return false;
        }
        if (!seekable) {
            return false;
        }
        // Past the end: the last picture (a seek to the very end would show none).
        if (durationNs > 0) {
            targetNs = std::min(targetNs, durationNs - GST_MSECOND);
        }
        targetNs = std::max<gint64>(targetNs, 0);
        const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | how);
        if (!gst_element_seek(playbin.get(), rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                              startOffsetNs + targetNs, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE)) {
            return false;
        }
        atEnd = false;
        seeking = true;
        seekTargetNs = targetNs;
        lastPositionNs = targetNs;
        return true;
    }

    bool applyRate(double newRate) {
        gint64 pos = 0;
        if (!gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &pos)) {
            pos = startOffsetNs + lastPositionNs;
        }
        if (!seekable || !gst_element_seek(playbin.get(), newRate, GST_FORMAT_TIME,
                                           GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                           GST_SEEK_TYPE_SET, pos, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE)) {
            return false;
        }
        rate = newRate;
        seeking = true;
        seekTargetNs = std::max<gint64>(0, pos - startOffsetNs);
        return true;
    }

    // Reads what the prerolled pipeline offers: streams, duration, start, seekability.
    void readStreamFacts(const QString& path) {
        g_object_get(playbin.get(), "n-video", &videoStreams, "n-audio", &audioStreams, nullptr);
        refreshDuration();
        // The stream starts at its first picture (MPEG streams do not start at 0, some files
        // delay the picture behind the sound); without a picture, at the prerolled position.
        gint64 pos = 0;
        if (!(video && video->shownStreamTime(pos)) &&
            !gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &pos)) {
            pos = 0;
        }
        startOffsetNs = std::max<gint64>(0, pos);
        GstQueryRef query(gst_query_new_seeking(GST_FORMAT_TIME));
        gboolean canSeek = FALSE;
        if (gst_element_query(playbin.get(), query.get())) {
            gst_query_parse_seeking(query.get(), nullptr, &canSeek, nullptr, nullptr);
        }
        seekable = canSeek && !IsRealMediaWithoutIndex(path);
    }

    void resetStreamFacts() {
        startOffsetNs = 0;
        durationNs = -1;
        lastPositionNs = 0;
        seekable = false;
        videoStreams = audioStreams = 0;
        atEnd = seeking = stepping = false;
        qosDropped.clear();
    }

    void watchBus() {
        bus.reset(gst_element_get_bus(playbin.get()));
        GPollFD pollFd{};
        gst_bus_get_pollfd(bus.get(), &pollFd);
        busNotifier = std::make_unique<QSocketNotifier>(qintptr(pollFd.fd), QSocketNotifier::Read);
        QObject::connect(busNotifier.get(), &QSocketNotifier::activated, busNotifier.get(),
                         [this] { drain(); });
    }
};

CChannelGraph::CChannelGraph() : d(new Impl) {}

CChannelGraph::~CChannelGraph() {
    CChannelGraph::Destroy();
    delete d;
}

bool CChannelGraph::Create() {
    if (d->hasPipeline()) {
        return false;
    }
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    const QByteArray name = QStringLiteral("channel-%1-pid-%2")
                                .arg(++g_channelCounter)
                                .arg(QCoreApplication::applicationPid())
                                .toUtf8();
    GstElement* playbin = gst_element_factory_make("playbin", name.constData());
    if (!playbin) {
        return false;
    }
    d->playbin.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    d->video = std::make_unique<CVideoOutput>();
    GstElement* audioSink = makeAudioSink();
    // Keeps the sound at its pitch when the rate changes.
    GstElement* tempo = gst_element_factory_make("scaletempo", "tempo");
    if (!d->video->sinkBin() || !audioSink || !tempo) {
        for (GstElement* e : {audioSink, tempo}) {
            if (e) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        Destroy();
        return false;
    }
    g_object_set(playbin, "video-sink", d->video->sinkBin(), "audio-sink", audioSink, "audio-filter", tempo,
                 nullptr);
    // The sink bin converts and scales itself: playbin's own converter would only cost time,
    // and would let the pane's size reach the decoded frames the snapshots are taken from.
    guint flags = 0;
    g_object_get(playbin, "flags", &flags, nullptr);
    g_object_set(playbin, "flags", flags | kPlayFlagNativeVideo, nullptr);
    g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
    d->watchBus();
    return true;
}

void CChannelGraph::Destroy() {
    if (d->playbin) {
        gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
    }
    d->busNotifier.reset();
    d->bus.reset();
    d->playbin.reset();
    d->video.reset(); // after the pipeline stopped: no frame can arrive any more
    d->notifyWindow = nullptr;
    d->rect = QRect();
    d->rate = 1.0;
    d->rateToApply = false;
    d->resetStreamFacts();
}

bool CChannelGraph::Attach(GstElement* playbin) {
    Destroy();
    if (!playbin) {
        return true;
    }
    if (!GST_IS_PIPELINE(playbin)) {
        return false;
    }
    d->playbin.reset(GST_ELEMENT(gst_object_ref(playbin)));
    d->watchBus();
    GstState state = GST_STATE_NULL;
    gst_element_get_state(playbin, &state, nullptr, 0);
    if (state >= GST_STATE_PAUSED) {
        gchar* uri = nullptr;
        g_object_get(playbin, "current-uri", &uri, nullptr);
        GCharRef uriText(uri);
        d->readStreamFacts(uri ? QUrl(QString::fromUtf8(uri)).toLocalFile() : QString());
    }
    return true;
}

bool CChannelGraph::RenderFile(const QString& path) {
    if (!d->hasPipeline()) {
        return false;
    }
    gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
    d->drain();
    d->resetStreamFacts();
    if (d->video) {
        d->video->clearFrames();
    }
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile() || !file.isReadable() || file.size() == 0) {
        return false;
    }
    const QByteArray uri = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded();
    g_object_set(d->playbin.get(), "uri", uri.constData(), nullptr);
    d->renderStartUs = g_get_monotonic_time();
    bool ok = d->changeState(GST_STATE_PAUSED) && d->settle(kPrerollTimeoutMs);
    if (ok) {
        d->readStreamFacts(file.absoluteFilePath());
        ok = d->videoStreams + d->audioStreams > 0;
    }
    if (!ok) {
        gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
        d->drain();
        d->resetStreamFacts();
        if (d->video) {
            d->video->clearFrames();
        }
        return false;
    }
    if (d->rate != 1.0) {
        d->applyRate(d->rate);
    }
    GST_DEBUG_BIN_TO_DOT_FILE(GST_BIN(d->playbin.get()), GST_DEBUG_GRAPH_SHOW_ALL,
                              GST_OBJECT_NAME(d->playbin.get()));
    return true;
}

bool CChannelGraph::SetDisplayWindow(QWidget* pane) {
    if (!d->hasPipeline() || !d->video) {
        return false;
    }
    d->video->attach(pane);
    if (pane) {
        d->rect = pane->rect();
    }
    return true;
}

bool CChannelGraph::SetWindowPosition(int left, int top, int width, int height) {
    if (!d->hasPipeline() || !d->video) {
        return false;
    }
    d->rect = QRect(left, top, std::max(0, width), std::max(0, height));
    d->video->setGeometry(d->rect);
    return true;
}

bool CChannelGraph::SetNotifyWindow(QWidget* pane) {
    if (!d->hasPipeline()) {
        return false;
    }
    d->notifyWindow = pane;
    return true;
}

bool CChannelGraph::Run() {
    if (!d->hasPipeline()) {
        return false;
    }
    return IsRunning() || d->changeState(GST_STATE_PLAYING);
}

bool CChannelGraph::Pause() {
    if (!d->hasPipeline()) {
        return false;
    }
    return IsPaused() || d->changeState(GST_STATE_PAUSED);
}

bool CChannelGraph::Stop() {
    if (!d->hasPipeline()) {
        return false;
    }
    if (IsStopped()) {
        return true;
    }
    d->atEnd = d->seeking = d->stepping = false;
    d->lastPositionNs = 0;
    return d->changeState(GST_STATE_READY);
}

bool CChannelGraph::IsRunning() {
    return d->hasPipeline() && d->heading() == GST_STATE_PLAYING;
}

bool CChannelGraph::IsPaused() {
    return d->hasPipeline() && d->heading() == GST_STATE_PAUSED;
}

bool CChannelGraph::IsStopped() {
    if (!d->hasPipeline()) {
        return false;
    }
    const GstState s = d->heading();
    return s == GST_STATE_READY || s == GST_STATE_NULL;
}

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

bool CChannelGraph::SetVolume(long volume) {
    if (!d->hasPipeline() || d->audioStreams == 0 || volume > 0 || volume < -10000) {
        return false;
    }
    auto* sv = GST_STREAM_VOLUME(d->playbin.get());
    if (volume == -10000) {
        gst_stream_volume_set_mute(sv, TRUE);
        gst_stream_volume_set_volume(sv, GST_STREAM_VOLUME_FORMAT_LINEAR, 0.0);
    } else {
        gst_stream_volume_set_mute(sv, FALSE);
        gst_stream_volume_set_volume(sv, GST_STREAM_VOLUME_FORMAT_DB, double(volume) / 100.0);
    }
    return true;
}

long CChannelGraph::GetVolume() {
    if (!d->hasPipeline() || d->audioStreams == 0) {
        return 0;
    }
    auto* sv = GST_STREAM_VOLUME(d->playbin.get());
    if (gst_stream_volume_get_mute(sv) ||
        gst_stream_volume_get_volume(sv, GST_STREAM_VOLUME_FORMAT_LINEAR) <= 0.0) {
        return -10000;
    }
    const double db = gst_stream_volume_get_volume(sv, GST_STREAM_VOLUME_FORMAT_DB);
    return std::clamp(std::lround(db * 100.0), -10000L, 0L);
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

bool CChannelGraph::SnapshotBitmap(const QString& path) {
    if (!d->hasPipeline() || !d->video) {
        return false;
    }
    GstSampleRef frame = d->video->currentNativeFrame();
    if (!frame) {
        return false;
    }
    GstCapsRef want(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr));
    GError* raw = nullptr;
    GstSampleRef bgr(gst_video_convert_sample(frame.get(), want.get(), 2 * GST_SECOND, &raw));
    GErrorRef error(raw);
    GstVideoInfo info;
    if (!bgr || !gst_video_info_from_caps(&info, gst_sample_get_caps(bgr.get()))) {
        return false;
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, gst_sample_get_buffer(bgr.get()), GST_MAP_READ)) {
        return false;
    }
    const bool ok = WriteBmp24(path, static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)),
                               info.width, info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
    gst_video_frame_unmap(&mapped);
    return ok;
}

bool CChannelGraph::UseClock(GstClock* clock) {
    if (!d->hasPipeline()) {
        return false;
    }
    auto* pipeline = GST_PIPELINE(d->playbin.get());
    if (clock) {
        gst_pipeline_use_clock(pipeline, clock);
        // Nothing re-bases by itself: the owner of the shared clock sets the base time.
        gst_element_set_start_time(d->playbin.get(), GST_CLOCK_TIME_NONE);
    } else {
        gst_pipeline_auto_clock(pipeline);
        gst_element_set_start_time(d->playbin.get(), 0);
    }
    return true;
}

bool CChannelGraph::SetBaseTime(unsigned long long baseTimeNs) {
    if (!d->hasPipeline()) {
        return false;
    }
    gst_element_set_base_time(d->playbin.get(), GstClockTime(baseTimeNs));
    return true;
}

bool CChannelGraph::IsAtEnd() const {
    return d->hasPipeline() && d->atEnd;
}

bool CChannelGraph::WaitUntilSettled(int timeoutMs) {
    return d->hasPipeline() && d->settle(timeoutMs);
}

CChannelGraph::FrameStats CChannelGraph::GetFrameStats() const {
    FrameStats stats;
    if (!d->video) {
        return stats;
    }
    quint64 sinkDropped = 0;
    d->video->sinkStats(stats.rendered, sinkDropped);
    // The sink's own drops come back as its QoS messages too; count each element once.
    stats.dropped = sinkDropped;
    for (const auto& [element, dropped] : d->qosDropped) {
        if (element != QLatin1String("picture")) {
            stats.dropped += dropped;
        }
    }
    if (d->video->firstPaintUs() > 0 && d->renderStartUs > 0) {
        stats.firstFrameUs = d->video->firstPaintUs() - d->renderStartUs;
    }
    return stats;
}

QWidget* CChannelGraph::VideoWidget() const {
    return d->video ? d->video->widget() : nullptr;
}
