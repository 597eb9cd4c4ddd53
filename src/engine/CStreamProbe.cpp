#include "engine/CStreamProbe.h"

#include "platform/FileName.h"

#include "engine/DecoderSetup.h"
#include "engine/GstRef.h"
#include "engine/IChannel.h"
#include "platform/MessageText.h"

#include <gst/pbutils/pbutils.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <atomic>
#include <functional>

#include <cerrno>
#include <unistd.h>

namespace {

using DiscovererRef = std::unique_ptr<GstDiscoverer, GstObjectUnref>;
using DiscovererInfoRef = std::unique_ptr<GstDiscovererInfo, GstObjectUnref>;

struct StreamListFree {
    void operator()(GList* list) const { gst_discoverer_stream_info_list_free(list); }
};
using StreamListRef = std::unique_ptr<GList, StreamListFree>;

// Adds a detector failure about the file of channel (-1: no pane) to messages (when given).
void report(QStringList* messages, const QString& text, const QString& path, int channel) {
    if (messages) {
        messages->append(WithSecondLine(text, FileLine(channel, path)));
    }
}

// Maps a failed discovery to one of the probe's result codes.
int failureCode(GstDiscovererResult result, const GError* error) {
    switch (result) {
    case GST_DISCOVERER_URI_INVALID:
        return ProbeResult::kFileNotFound;
    case GST_DISCOVERER_TIMEOUT:
        return ProbeResult::kTimeout;
    case GST_DISCOVERER_MISSING_PLUGINS:
        return ProbeResult::kMissingPlugin;
    default:
        break;
    }
    if (error) {
        if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_FOUND) {
            return ProbeResult::kFileNotFound;
        }
        if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_OPEN_READ) {
            return ProbeResult::kAccessDenied;
        }
        if (error->domain == GST_STREAM_ERROR &&
            (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND || error->code == GST_STREAM_ERROR_WRONG_TYPE)) {
            return ProbeResult::kUnknownType;
        }
        if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) {
            return ProbeResult::kMissingPlugin;
        }
    }
    return ProbeResult::kFailed;
}

StreamFacts failed(StreamFacts facts, int code, const char* format = "Couldn't load the file!  hr=0x%x\r\n") {
    facts.failure = code;
    facts.failureFormat = QString::fromLatin1(format);
    return facts;
}

// Walks the streams the detector found until visit accepts one. Returns 0 when visit accepted
// a stream, 1 when none did, or the negative failure code (its message added to messages).
int forEachStream(const StreamFacts& facts, int channel, QStringList* messages,
                  const std::function<bool(const StreamFacts::Stream&)>& visit) {
    if (facts.failure != 0) {
        report(messages,
               QString::asprintf(facts.failureFormat.toLatin1().constData(), unsigned(facts.failure)),
               facts.path, channel);
        return facts.failure;
    }
    int index = 0;
    for (const StreamFacts::Stream& stream : facts.streams) {
        if (!stream.typeKnown) {
            report(messages,
                   QString::asprintf("Couldn't get stream media type for stream %d  hr=0x%x\r\n", index,
                                     unsigned(ProbeResult::kFailed)),
                   facts.path, channel);
            return ProbeResult::kFailed;
        }
        if (visit(stream)) {
            return 0;
        }
        ++index;
    }
    return 1;
}

struct GMainContextUnref {
    void operator()(GMainContext* c) const { g_main_context_unref(c); }
};
struct GSourceDestroy {
    void operator()(GSource* s) const {
        g_source_destroy(s);
        g_source_unref(s);
    }
};

// One discovery in progress: the answer when it comes, and when it last got anywhere (a byte
// read from the file, a message of the detector's pipeline).
struct Discovery {
    DiscovererInfoRef info;
    GErrorRef error;
    bool done = false;
    std::atomic<gint64> progressUs{0};
    bool busWatched = false;
    std::function<void(GstElement*)> onSource;

    void moved() { progressUs.store(g_get_monotonic_time()); }

    static void onDiscovered(GstDiscoverer*, GstDiscovererInfo* info, GError* error, gpointer self) {
        auto* d = static_cast<Discovery*>(self);
        d->info.reset(GST_DISCOVERER_INFO(g_object_ref(info)));
        d->error.reset(error ? g_error_copy(error) : nullptr);
        d->done = true;
    }
    // In a streaming thread.
    static GstPadProbeReturn onData(GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<Discovery*>(self)->moved();
        return GST_PAD_PROBE_OK;
    }
    static void onMessage(GstBus*, GstMessage*, gpointer self) { static_cast<Discovery*>(self)->moved(); }
    static void onElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
        SetUpVideoDecoder(element);
    }
    static void onSourceSetup(GstDiscoverer*, GstElement* source, gpointer self) {
        auto* d = static_cast<Discovery*>(self);
        d->moved();
        if (GstPadRef pad{gst_element_get_static_pad(source, "src")}) {
            gst_pad_add_probe(pad.get(),
                              GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              onData, d, nullptr);
        }
        // The detector's pipeline is the source's top parent; its bus signals each message.
        GstObject* top = GST_OBJECT(source);
        while (GstObject* parent = GST_OBJECT_PARENT(top)) {
            top = parent;
        }
        if (!d->busWatched && GST_IS_PIPELINE(top)) {
            GstBusRef bus(gst_pipeline_get_bus(GST_PIPELINE(top)));
            g_signal_connect(bus.get(), "message", G_CALLBACK(onMessage), d);
            // Its decoders as lean as the channels' own: the examination runs beside the
            // channels' first frames, and with frame threading each 1080p decoder keeps 20 MB.
            g_signal_connect(top, "deep-element-added", G_CALLBACK(onElementAdded), nullptr);
            d->busWatched = true;
        }
        if (d->onSource) {
            d->onSource(source);
        }
    }
};

} // namespace

StreamFacts CStreamProbe::Discover(const QString& path) {
    return DiscoverWithin(path, DiscoverLimits{});
}

StreamFacts CStreamProbe::DiscoverWithin(const QString& path, const DiscoverLimits& limits) {
    StreamFacts facts;
    facts.path = path;
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    // The detector works in a main context of this call's own, which this thread turns below.
    const std::unique_ptr<GMainContext, GMainContextUnref> context(g_main_context_new());
    g_main_context_push_thread_default(context.get());
    const std::unique_ptr<GMainContext, void (*)(GMainContext*)> popContext(
        context.get(), g_main_context_pop_thread_default);
    Discovery discovery; // outlives the detector, whose signals point at it
    discovery.onSource = limits.onSource;
    GError* raw = nullptr;
    // Its own limit is the whole time an open may take; a stall ends it sooner (below).
    DiscovererRef detector(gst_discoverer_new(GstClockTime(limits.limitUs) * 1000, &raw));
    GErrorRef createError(raw);
    if (!detector) {
        return failed(std::move(facts), ProbeResult::kNoDetector, "Failed in CoCreateInstance!  hr=0x%x\r\n");
    }
    // By the name's own bytes (names need not be UTF-8).
    const FileName::Kind kind = FileName::KindOf(path);
    if (kind == FileName::Kind::Missing || kind == FileName::Kind::NoAccess) {
        // Missing, or behind a folder that may not be searched.
        return failed(std::move(facts), kind == FileName::Kind::NoAccess ? ProbeResult::kAccessDenied
                                                                         : ProbeResult::kFileNotFound);
    }
    // A folder, a named pipe or a device is no file to play; one that exists but may not be
    // read is refused as the classic detector refused it.
    if (kind != FileName::Kind::File) {
        return failed(std::move(facts), ProbeResult::kFileNotFound);
    }
    if (!FileName::IsReadable(path)) {
        return failed(std::move(facts), ProbeResult::kAccessDenied);
    }
    const QByteArray uri = FileName::ToUri(QFileInfo(path).absoluteFilePath());
    g_signal_connect(detector.get(), "discovered", G_CALLBACK(Discovery::onDiscovered), &discovery);
    g_signal_connect(detector.get(), "source-setup", G_CALLBACK(Discovery::onSourceSetup), &discovery);
    // Wakes the loop below now and then to look at the progress.
    const std::unique_ptr<GSource, GSourceDestroy> tick(g_timeout_source_new(100));
    g_source_set_callback(
        tick.get(), [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr, nullptr);
    g_source_attach(tick.get(), context.get());
    gst_discoverer_start(detector.get());
    const gint64 startUs = g_get_monotonic_time();
    discovery.moved();
    bool stalled = !gst_discoverer_discover_uri_async(detector.get(), uri.constData());
    while (!discovery.done && !stalled) {
        g_main_context_iteration(context.get(), TRUE);
        const gint64 now = g_get_monotonic_time();
        // A slow machine is no reason to call a good file unreadable: only a file that stops
        // getting anywhere times out.
        stalled = !discovery.done &&
                  (now - discovery.progressUs.load() > limits.stallUs || now - startUs > limits.limitUs);
    }
    gst_discoverer_stop(detector.get());
    if (!discovery.done) {
        return failed(std::move(facts), ProbeResult::kTimeout);
    }
    DiscovererInfoRef info = std::move(discovery.info);
    GErrorRef error = std::move(discovery.error);
    const GstDiscovererResult result =
        info ? gst_discoverer_info_get_result(info.get()) : GST_DISCOVERER_ERROR;
    if (!info || result != GST_DISCOVERER_OK) {
        return failed(std::move(facts), failureCode(result, error.get()));
    }
    facts.duration = double(gst_discoverer_info_get_duration(info.get())) / double(GST_SECOND);
    // The elementary streams, as the detector's output streams (containers left out).
    StreamListRef all(gst_discoverer_info_get_stream_list(info.get()));
    for (GList* item = all.get(); item; item = item->next) {
        auto* stream = static_cast<GstDiscovererStreamInfo*>(item->data);
        if (GST_IS_DISCOVERER_CONTAINER_INFO(stream)) {
            continue;
        }
        StreamFacts::Stream s;
        GstCapsRef caps(gst_discoverer_stream_info_get_caps(stream));
        s.typeKnown = bool(caps);
        s.audio = GST_IS_DISCOVERER_AUDIO_INFO(stream);
        s.video = GST_IS_DISCOVERER_VIDEO_INFO(stream);
        if (s.video) {
            auto* video = GST_DISCOVERER_VIDEO_INFO(stream);
            const guint den = gst_discoverer_video_info_get_framerate_denom(video);
            s.frameRate =
                den ? double(gst_discoverer_video_info_get_framerate_num(video)) / double(den) : 0.0;
        }
        facts.streams.push_back(s);
    }
    return facts;
}

double CStreamProbe::ProbeChannels(const QString paths[4], IChannel* const channels[4], int miniVideo,
                                   ProbeState& out, const StreamFacts* facts) {
    double len[4] = {0, 0, 0, 0};
    out = ProbeState{};
    for (int k = 0; k < 4; ++k) {
        if (paths[k].isEmpty()) {
            continue;
        }
        const StreamFacts found = facts ? facts[k] : Discover(paths[k]);
        if (channels[k] && !channels[k]->GetDuration(len[k])) {
            len[k] = channels[k]->IsPaused() ? found.duration : 0;
        }
        out.length[k] = len[k];
        out.frameRate[k] = VideoFrameRateOf(found, k, &out.messages);
        ++out.openCount;
    }
    if (miniVideo == 1) {
        SortAscending(len, 4);
    } else {
        SortDescending(len, 4);
    }
    for (double candidate : len) {
        if (candidate == 0) {
            continue;
        }
        for (int k = 0; k < 4; ++k) {
            if (out.length[k] == candidate) {
                out.reference[k] = 1;
                break;
            }
        }
        return candidate;
    }
    return 0;
}

double CStreamProbe::GetVideoFrameRate(const QString& path, int channel, QStringList* messages) {
    if (path.isNull()) {
        return double(ProbeResult::kNullPath);
    }
    return VideoFrameRateOf(Discover(path), channel, messages);
}

double CStreamProbe::VideoFrameRateOf(const StreamFacts& facts, int channel, QStringList* messages) {
    double rate = 0;
    const int r = forEachStream(facts, channel, messages, [&rate](const StreamFacts::Stream& stream) {
        if (!stream.video) {
            return false;
        }
        rate = stream.frameRate;
        return true;
    });
    return r < 0 ? double(r) : rate;
}

int CStreamProbe::HasAudioStream(const QString& path, int channel, QStringList* messages) {
    if (path.isNull()) {
        return ProbeResult::kNullPath;
    }
    return AudioStreamOf(Discover(path), channel, messages);
}

int CStreamProbe::AudioStreamOf(const StreamFacts& facts, int channel, QStringList* messages) {
    const int r = forEachStream(facts, channel, messages,
                                [](const StreamFacts::Stream& stream) { return stream.audio; });
    if (r < 0) {
        return r;
    }
    return r == 0 ? 1 : 0;
}

// Bubble sorts: equal values are never exchanged, so the order of ties is kept.
void CStreamProbe::SortAscending(double* a, int n) {
    for (int i = 1; i < n; ++i) {
        for (int j = n - 1; j >= i; --j) {
            if (a[j] < a[j - 1]) {
                std::swap(a[j], a[j - 1]);
            }
        }
    }
}

void CStreamProbe::SortDescending(double* a, int n) {
    for (int i = 1; i < n; ++i) {
        for (int j = n - 1; j >= i; --j) {
            if (a[j] > a[j - 1]) {
                std::swap(a[j], a[j - 1]);
            }
        }
    }
}
