// The channel's private side: the bus messages, settling, the seek and rate primitives and the
// stream facts read at preroll.
#include "engine/GstChannelImpl.h"

#include "engine/RealMediaIndex.h"

#include <QPointer>

#include <algorithm>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

// The niceness of the decoding threads (the rest of the program keeps its own).
constexpr int kDecodingNice = 5;
// How often a seek whose picture came out damaged, or far past its place, is sent again.
constexpr int kSeekResends = 2;
// How far past its place an exact seek may land: a frame further on where the stream has a gap
// (variable frame rates), never the next key frame.
constexpr gint64 kExactLandingNs = 200 * GST_MSECOND;

using ByteCounter = std::shared_ptr<std::atomic<guint64>>;

void deleteCounter(gpointer counter) {
    delete static_cast<ByteCounter*>(counter);
}

// In a streaming thread: a buffer (or list) leaves the source, pushed or pulled.
GstPadProbeReturn onSourceData(GstPad*, GstPadProbeInfo* info, gpointer counter) {
    guint64 bytes = 0;
    if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info); buffer && GST_IS_BUFFER(buffer)) {
        bytes = gst_buffer_get_size(buffer);
    } else if (GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info); list && GST_IS_BUFFER_LIST(list)) {
        bytes = gst_buffer_list_calculate_size(list);
    }
    // An empty read still shows the reader is alive.
    static_cast<ByteCounter*>(counter)->get()->fetch_add(std::max<guint64>(bytes, 1));
    return GST_PAD_PROBE_OK;
}

// An element joins the pipeline (a plugin was loaded for it): the open is moving, though no
// byte may be read meanwhile.
void onElementAdded(GstBin*, GstBin*, GstElement*, gpointer counter) {
    static_cast<ByteCounter*>(counter)->get()->fetch_add(1);
}

void onSourceSetup(GstElement*, GstElement* source, gpointer counter) {
    GstPadRef pad(gst_element_get_static_pad(source, "src"));
    if (pad) {
        gst_pad_add_probe(pad.get(),
                          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                          onSourceData, new ByteCounter(*static_cast<ByteCounter*>(counter)), deleteCounter);
    }
}

// Whether a streaming thread that starts at owner decodes (the demuxed streams' queue hands each
// stream to its decoder in a thread of its own).
bool DecodingThread(GstElement* owner) {
    GstElementFactory* factory = owner ? gst_element_get_factory(owner) : nullptr;
    return factory && g_str_equal(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "multiqueue");
}

// In a streaming thread as it starts: its CPU clock, so a thread that computes for long (a type
// finder on a slow machine) shows the open is moving though it reads and posts nothing.
GstBusSyncReply onSyncMessage(GstBus*, GstMessage* msg, gpointer data) {
    GstStreamStatusType type = GST_STREAM_STATUS_TYPE_CREATE;
    GstElement* owner = nullptr;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STREAM_STATUS &&
        (gst_message_parse_stream_status(msg, &type, &owner), type == GST_STREAM_STATUS_TYPE_ENTER)) {
        // Decoding yields to the window, the pictures and the sound when the machine cannot do
        // it all in time: a click is answered and the frames decoded are shown, while decoding
        // still gets what the others leave.
        if (DecodingThread(owner)) {
            setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), kDecodingNice);
        }
        clockid_t clock{};
        if (pthread_getcpuclockid(pthread_self(), &clock) == 0) {
            auto& threads = **static_cast<std::shared_ptr<StreamingThreads>*>(data);
            const std::lock_guard lock(threads.m);
            if (std::find(threads.clocks.begin(), threads.clocks.end(), clock) == threads.clocks.end()) {
                threads.clocks.push_back(clock);
            }
        }
    }
    return GST_BUS_PASS;
}

// How often an open looks whether it still gets anywhere.
constexpr int kRenderWatchMs = 100;
} // namespace

GstChannel::Impl::Impl(GstChannel& owner) : self(owner) {
    renderWatch.setInterval(kRenderWatchMs);
    QObject::connect(&renderWatch, &QTimer::timeout, &self, [this] { watchRender(); });
}

guint64 GstChannel::Impl::progressMark() const {
    guint64 cpuMs = 0;
    {
        const std::lock_guard lock(threads->m);
        for (const clockid_t clock : threads->clocks) {
            timespec t{};
            if (clock_gettime(clock, &t) == 0) { // a thread that ended has no clock
                cpuMs += guint64(t.tv_sec) * 1000 + guint64(t.tv_nsec) / 1000000;
            }
        }
    }
    return sourceBytes->load() + cpuMs;
}

void GstChannel::Impl::forgetStreamingThreads() {
    // The stopped pipeline's threads are gone (or wait in the pool for the next ones).
    const std::lock_guard lock(threads->m);
    threads->clocks.clear();
}

void GstChannel::Impl::countSourceBytes() {
    // The counter is shared with the probes, which may outlive this object in a pipeline that
    // is being stopped elsewhere.
    g_signal_connect_data(
        playbin.get(), "source-setup", G_CALLBACK(onSourceSetup), new ByteCounter(sourceBytes),
        [](gpointer counter, GClosure*) { deleteCounter(counter); }, GConnectFlags(0));
    g_signal_connect_data(
        playbin.get(), "deep-element-added", G_CALLBACK(onElementAdded), new ByteCounter(sourceBytes),
        [](gpointer counter, GClosure*) { deleteCounter(counter); }, GConnectFlags(0));
    GstBusRef own(gst_element_get_bus(playbin.get()));
    gst_bus_set_sync_handler(own.get(), onSyncMessage, new std::shared_ptr<StreamingThreads>(threads),
                             [](gpointer p) { delete static_cast<std::shared_ptr<StreamingThreads>*>(p); });
}

bool GstChannel::Impl::renderStalled() {
    const gint64 now = g_get_monotonic_time();
    const guint64 bytes = progressMark();
    if (bytes != renderBytesSeen) {
        renderBytesSeen = bytes;
        renderProgressUs = now;
    }
    return now - renderProgressUs > renderStallUs || now - renderStartUs > renderLimitUs;
}

void GstChannel::Impl::watchRender() {
    if (!rendering || renderFailed || renderSettledNow()) {
        OnBusDrained();
        return;
    }
    if (renderStalled()) {
        qWarning("channel %s: %s stopped opening", GST_OBJECT_NAME(playbin.get()),
                 qUtf8Printable(renderPath));
        renderFailed = true;
        OnBusDrained();
    }
}

bool GstChannel::Impl::settledNow() const {
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn r = gst_element_get_state(playbin.get(), &current, &pending, 0);
    return r != GST_STATE_CHANGE_ASYNC && !seeking && !stepping;
}

bool GstChannel::Impl::renderFailedNow() const {
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    return renderFailed ||
           gst_element_get_state(playbin.get(), &current, &pending, 0) == GST_STATE_CHANGE_FAILURE;
}

bool GstChannel::Impl::renderSettledNow() const {
    return renderFailedNow() || settledNow();
}

void GstChannel::Impl::announce(std::function<void(GstChannel&)> emitter) {
    // From the event loop: the receiver may close the channel, which must not happen inside the
    // bus's own notification.
    QMetaObject::invokeMethod(
        &self,
        [channel = QPointer<GstChannel>(&self), gen = generation, emitter = std::move(emitter)] {
            if (channel && channel->d->generation == gen) {
                emitter(*channel);
            }
        },
        Qt::QueuedConnection);
}

void GstChannel::Impl::OnBusMessage(GstMessage* msg) {
    if (rendering) {
        renderProgressUs = g_get_monotonic_time(); // a message shows the open is alive
    }
    handle(msg);
}

void GstChannel::Impl::OnBusDrained() {
    if (!playbin) {
        return;
    }
    if (rendering && !prerollAnnounced && renderSettledNow()) {
        prerollAnnounced = true;
        renderWatch.stop();
        const bool ok = !renderFailedNow();
        announce([ok](GstChannel& c) { emit c.prerolled(ok); });
    }
    if (!settleAnnounced && settledNow()) {
        settleAnnounced = true;
        announce([](GstChannel& c) { emit c.settled(); });
    }
}

void GstChannel::Impl::refreshDuration() {
    gint64 d = -1;
    if (gst_element_query_duration(playbin.get(), GST_FORMAT_TIME, &d) && d > 0) {
        durationNs = d;
    }
}

bool GstChannel::Impl::endedEarly() {
    refreshDuration();
    if (!opened || durationNs <= 0) {
        return false;
    }
    // How far play got: the picture on screen; for sound alone, the position now (the query
    // runs on with the clock after the end, so it errs towards a normal end).
    gint64 reached = 0;
    if (!(video && videoStreams > 0 && video->shownStreamTime(reached))) {
        if (!gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &reached)) {
            return false;
        }
    }
    reached -= startOffsetNs;
    // A seek to the end can end the stream before a new picture shows: the old one then tells
    // nothing, and the stream got as far as the seek's target.
    reached = std::max(reached, seekTargetNs);
    // Streams that end normally come within a few frames of their length; MPEG durations are
    // estimates, hence the margin. A file cut short (before or while it plays) ends well before.
    if (reached + std::max<gint64>(kNsPerSecond, durationNs * 3 / 100) >= durationNs) {
        return false;
    }
    lastPositionNs = std::max<gint64>(0, reached);
    return true;
}

void GstChannel::Impl::handle(GstMessage* msg) {
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
        if (endedEarly()) {
            failed = true;
            announce([](GstChannel& c) { emit c.failed(Failure::CutShort); });
        } else {
            atEnd = true;
            announce([](GstChannel& c) { emit c.ended(); });
        }
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
        if (rendering) {
            renderFailed = true;
        }
        if (opened && !failed) {
            failed = true;
            announce([](GstChannel& c) { emit c.failed(Failure::Broken); });
        }
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (seeking && !seekLanded()) {
            break;
        }
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
}

void GstChannel::Impl::drain() {
    if (bus) {
        bus->Drain();
    }
}

// Waits for the pipeline to settle (no state change, seek or step in progress), handling the
// messages that come meanwhile. Gives up after stallMs without progress (a message, bytes read
// from the file) or after kRenderLimitUs in all, as an open does. False on error or giving up.
bool GstChannel::Impl::settle(int stallMs) {
    const gint64 stallUs = gint64(stallMs) * 1000;
    const gint64 startUs = g_get_monotonic_time();
    gint64 progressUs = startUs;
    guint64 bytesSeen = progressMark();
    bool ok = false;
    for (;;) {
        GstState current = GST_STATE_VOID_PENDING;
        GstState pending = GST_STATE_VOID_PENDING;
        const GstStateChangeReturn r = gst_element_get_state(playbin.get(), &current, &pending, 0);
        if (r == GST_STATE_CHANGE_FAILURE) {
            break;
        }
        if (r != GST_STATE_CHANGE_ASYNC && !seeking && !stepping) {
            ok = true;
            break;
        }
        const gint64 now = g_get_monotonic_time();
        if (const guint64 bytes = progressMark(); bytes != bytesSeen) {
            bytesSeen = bytes;
            progressUs = now;
        }
        const gint64 left = std::min(progressUs + stallUs, startUs + kRenderLimitUs) - now;
        if (left <= 0) {
            break;
        }
        // Looks again at least every 100 ms: bytes read bring no message.
        const GstMessageType type = bus->HandleNext(std::min<gint64>(left, 100000));
        if (type == GST_MESSAGE_ERROR) {
            break;
        }
        if (type != GST_MESSAGE_UNKNOWN) {
            progressUs = g_get_monotonic_time();
        }
    }
    OnBusDrained();
    return ok;
}

bool GstChannel::Impl::seek(gint64 targetNs, GstSeekFlags how) {
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
    if (!sendSeek(rate, how, targetNs)) {
        return false;
    }
    atEnd = false;
    stepping = false; // a flushing seek ends a frame step in progress
    lastPositionNs = targetNs;
    return true;
}

bool GstChannel::Impl::sendSeek(double seekRateValue, GstSeekFlags how, gint64 targetNs) {
    GstEvent* event = gst_event_new_seek(seekRateValue, GST_FORMAT_TIME,
                                         GstSeekFlags(GST_SEEK_FLAG_FLUSH | how), GST_SEEK_TYPE_SET,
                                         startOffsetNs + targetNs, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    const guint32 seqnum = gst_event_get_seqnum(event);
    if (!gst_element_send_event(playbin.get(), event)) {
        return false;
    }
    seekResends = 0;
    seekSeqnum = seqnum;
    seekRate = seekRateValue;
    seekFlags = how;
    seekTargetNs = targetNs;
    seeking = true;
    settleAnnounced = false;
    return true;
}

bool GstChannel::Impl::seekLanded() {
    if (!video || videoStreams == 0 || video->flushSeqnum() != seekSeqnum) {
        // No pictures, or the seek's flush did not reach them under its number: the pipeline's
        // own end is all there is to go by.
        return true;
    }
    if (video->answeredSeqnum() != seekSeqnum) {
        return false; // an older seek's end: this one's picture has not come yet
    }
    gint64 newest = 0;
    const bool pastPlace = (seekFlags & GST_SEEK_FLAG_ACCURATE) && video->newestStreamTime(newest) &&
                           newest - startOffsetNs > seekTargetNs + kExactLandingNs;
    if ((!video->newestDamaged() && !pastPlace) || seekResends >= kSeekResends) {
        return true;
    }
    // A demuxer that lands past the key frame before the target (MPEG-TS, given seeks in quick
    // succession) hands the decoder frames without their references: it shows them damaged, or
    // drops them and lands on the next key frame. The same seek again lands right.
    const int resends = seekResends + 1;
    if (!sendSeek(seekRate, seekFlags, seekTargetNs)) {
        return true;
    }
    seekResends = resends;
    return false;
}

bool GstChannel::Impl::applyRate(double newRate) {
    gint64 pos = 0;
    if (!gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &pos)) {
        pos = startOffsetNs + lastPositionNs;
    }
    if (!seekable || !sendSeek(newRate, GST_SEEK_FLAG_ACCURATE, std::max<gint64>(0, pos - startOffsetNs))) {
        return false;
    }
    rate = newRate;
    return true;
}

// Reads what the prerolled pipeline offers: streams, duration, start, seekability.
void GstChannel::Impl::readStreamFacts(const QString& path) {
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
    opened = true;
}

void GstChannel::Impl::resetStreamFacts() {
    startOffsetNs = 0;
    durationNs = -1;
    lastPositionNs = 0;
    seekable = false;
    videoStreams = audioStreams = 0;
    atEnd = seeking = stepping = false;
    seekTargetNs = 0;
    seekSeqnum = GST_SEQNUM_INVALID;
    seekResends = 0;
    failed = opened = false;
    qosDropped.clear();
}

void GstChannel::Impl::watchBus() {
    bus = std::make_unique<ChannelBusObserver>(playbin.get(), *this);
}

bool GstChannel::HasFailed() const {
    return d->hasPipeline() && d->failed;
}
