#include "align/CAudioDecoder.h"

#include "engine/GstRef.h"

#include <gst/app/gstappsink.h>
#include <gst/pbutils/missing-plugins.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// What the streaming threads tell the pulling thread.
struct Links {
    std::mutex lock;
    GstElement* convert = nullptr; // not owned
    bool audioLinked = false;
    bool audioUnknown = false; // an audio stream no decoder takes
    bool noMorePads = false;
};

bool IsAudio(GstCaps* caps) {
    if (caps == nullptr || gst_caps_get_size(caps) == 0) {
        return false;
    }
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    return std::strncmp(name, "audio/", 6) == 0;
}

void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* links = static_cast<Links*>(data);
    GstCapsRef caps(gst_pad_get_current_caps(pad));
    if (!caps) {
        caps.reset(gst_pad_query_caps(pad, nullptr));
    }
    std::lock_guard guard(links->lock);
    if (links->audioLinked || !IsAudio(caps.get())) {
        return;
    }
    GstPadRef sink(gst_element_get_static_pad(links->convert, "sink"));
    links->audioLinked = gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK;
}

void OnUnknownType(GstElement*, GstPad*, GstCaps* caps, gpointer data) {
    auto* links = static_cast<Links*>(data);
    std::lock_guard guard(links->lock);
    links->audioUnknown = links->audioUnknown || IsAudio(caps);
}

void OnNoMorePads(GstElement*, gpointer data) {
    auto* links = static_cast<Links*>(data);
    std::lock_guard guard(links->lock);
    links->noMorePads = true;
}

// decodebin's answers to "autoplug-select" (its enum is not in a public header).
constexpr gint kAutoplugTry = 0;
constexpr gint kAutoplugSkip = 2;

// Pictures, subtitles and their parsers are never plugged: only the sound is read.
gint OnAutoplugSelect(GstElement*, GstPad*, GstCaps*, GstElementFactory* factory, gpointer) {
    const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (klass != nullptr && std::strstr(klass, "Demuxer") == nullptr &&
        (std::strstr(klass, "Video") != nullptr || std::strstr(klass, "Image") != nullptr ||
         std::strstr(klass, "Subtitle") != nullptr)) {
        return kAutoplugSkip;
    }
    return kAutoplugTry;
}

// The sound as it comes out of the pipeline, taken in its streaming thread (no hand-over to
// another thread per buffer).
struct Reader {
    DecodedAudio* out = nullptr;
    std::size_t limit = 0;
    int rate = 8000;
    const CAudioDecoder::Progress* progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    double reported = 0.0;
    std::atomic<bool> first{true};
    std::atomic<bool> full{false};
    std::atomic<bool> busy{false}; // in the callback (perhaps held by progress)
    std::atomic<std::int64_t> lastData{0};
};

std::int64_t Now() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
    auto* reader = static_cast<Reader*>(data);
    reader->busy = true;
    GstSampleRef sample(gst_app_sink_pull_sample(sink));
    DecodedAudio& out = *reader->out;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    if (buffer != nullptr && reader->first) {
        reader->first = false;
        // The first sample's place on the file's timeline (a track may start after the
        // picture, or before it by the codec's priming).
        const GstSegment* segment = gst_sample_get_segment(sample.get());
        guint64 at = 0;
        if (segment != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
            const int sign =
                gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer), &at);
            out.startSeconds = sign == 0 ? 0.0 : double(sign) * double(at) / GST_SECOND;
        }
    }
    GstMapInfo map;
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const auto* samples = reinterpret_cast<const std::int16_t*>(map.data);
        const std::size_t count =
            std::min(map.size / sizeof(std::int16_t), reader->limit - out.samples.size());
        out.samples.insert(out.samples.end(), samples, samples + count);
        gst_buffer_unmap(buffer, &map);
    }
    const bool full = out.samples.size() >= reader->limit;
    const double seconds = double(out.samples.size()) / reader->rate;
    if (*reader->progress && (seconds - reader->reported >= 1.0 || full)) {
        reader->reported = seconds;
        (*reader->progress)({out.samples.data(), out.samples.size()});
    }
    reader->lastData = Now();
    reader->full = full;
    reader->busy = false;
    return full || reader->cancel->load() ? GST_FLOW_EOS : GST_FLOW_OK;
}

GstElement* Make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

} // namespace

DecodedAudio CAudioDecoder::Decode(const std::string& uri, const Options& options,
                                   const std::atomic<bool>& cancel, const Progress& progress) {
    DecodedAudio out;
    Links links;
    GstElementRef pipeline(gst_pipeline_new(nullptr));
    GstElement* source = Make("uridecodebin");
    GstElement* convert = Make("audioconvert");
    GstElement* resample = Make("audioresample");
    GstElement* sink = Make("appsink");
    if (!pipeline || !source || !convert || !resample || !sink) {
        for (GstElement* e : {source, convert, resample, sink}) {
            if (e != nullptr) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        out.detail = "a GStreamer element is missing";
        return out;
    }
    gst_bin_add_many(GST_BIN(pipeline.get()), source, convert, resample, sink, nullptr);
    GstCapsRef anyAudio(gst_caps_from_string("audio/x-raw"));
    g_object_set(source, "uri", uri.c_str(), "caps", anyAudio.get(), "expose-all-streams", FALSE, nullptr);
    GstCapsRef want(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                        G_TYPE_STRING, "interleaved", "channels", G_TYPE_INT, 1, "rate",
                                        G_TYPE_INT, options.rate, nullptr));
    g_object_set(sink, "caps", want.get(), "sync", FALSE, nullptr);
    g_object_set(resample, "quality", 4, nullptr);
    gst_element_link_many(convert, resample, sink, nullptr);
    links.convert = convert;
    g_signal_connect(source, "pad-added", G_CALLBACK(OnPadAdded), &links);
    g_signal_connect(source, "unknown-type", G_CALLBACK(OnUnknownType), &links);
    g_signal_connect(source, "no-more-pads", G_CALLBACK(OnNoMorePads), &links);
    g_signal_connect(source, "autoplug-select", G_CALLBACK(OnAutoplugSelect), nullptr);

    const auto limit = static_cast<std::size_t>(options.maxSeconds * options.rate);
    // Room for the longest read, once: the samples never move while others read them (the
    // pages are taken from the system only as they are written).
    out.samples.reserve(limit);
    Reader reader;
    reader.out = &out;
    reader.limit = limit;
    reader.rate = options.rate;
    reader.progress = &progress;
    reader.cancel = &cancel;
    reader.lastData = Now();
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &reader, nullptr);

    GstBusRef bus(gst_element_get_bus(pipeline.get()));
    bool failed = false;
    bool ended = false;
    bool durationAsked = false;
    bool unreadable = false;
    bool missingAudio = false;
    bool notLinked = false;
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        failed = true;
    }
    while (!failed && !ended) {
        if (cancel.load()) {
            out.status = AudioStatus::Cancelled;
            break;
        }
        if (reader.full.load()) {
            break;
        }
        GstMessageRef msg{gst_bus_timed_pop_filtered(
            bus.get(), 100 * GST_MSECOND,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ELEMENT | GST_MESSAGE_EOS))};
        if (!durationAsked && !reader.first) {
            durationAsked = true;
            gint64 length = -1;
            if (gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &length) && length > 0) {
                out.fileSeconds = double(length) / GST_SECOND;
            }
        }
        if (!msg) {
            {
                std::lock_guard guard(links.lock);
                if (links.noMorePads && !links.audioLinked) {
                    break; // every stream is known and none is audio that can be decoded
                }
            }
            // A file that neither plays nor fails (a stalled source) is given up after a while.
            if (!reader.busy.load() &&
                Now() - reader.lastData.load() >
                    std::chrono::steady_clock::duration(std::chrono::seconds(20)).count()) {
                out.detail = "no sound came";
                failed = true;
            }
            continue;
        }
        if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_EOS) {
            ended = true;
        } else if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(msg.get(), &error, &debug);
            GErrorRef owned(error);
            GCharRef ownedDebug(debug);
            out.detail = error != nullptr ? error->message : "error";
            // Streams were found and none of them was taken: no audio among them.
            // (Or decodebin found nothing it may expose: "no suitable plugins".)
            notLinked =
                notLinked || (debug != nullptr && std::strstr(debug, "not-linked") != nullptr) ||
                (error != nullptr && g_error_matches(error, GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN));
            // The file itself cannot be read (missing, no access): not a question of audio.
            unreadable = unreadable || (error != nullptr && error->domain == GST_RESOURCE_ERROR);
            failed = true;
        } else if (gst_is_missing_plugin_message(msg.get())) {
            const GValue* detail = gst_structure_get_value(gst_message_get_structure(msg.get()), "detail");
            if (detail != nullptr && GST_VALUE_HOLDS_CAPS(detail) &&
                IsAudio(const_cast<GstCaps*>(gst_value_get_caps(detail)))) {
                missingAudio = true;
                GCharRef what(gst_missing_plugin_message_get_description(msg.get()));
                out.detail = what ? what.get() : "no decoder";
            }
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (out.status == AudioStatus::Cancelled) {
        out.samples = {};
        return out;
    }

    // A source that failed at once (no such file) left its reason on the bus.
    while (GstMessageRef msg{gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)}) {
        GError* error = nullptr;
        gst_message_parse_error(msg.get(), &error, nullptr);
        GErrorRef owned(error);
        unreadable = unreadable || (error != nullptr && error->domain == GST_RESOURCE_ERROR);
        if (out.detail.empty() && error != nullptr) {
            out.detail = error->message;
        }
    }
    bool linked = false;
    bool unknown = false;
    bool allPads = false;
    {
        std::lock_guard guard(links.lock);
        linked = links.audioLinked;
        unknown = links.audioUnknown;
        allPads = links.noMorePads;
    }
    if (!linked) {
        // No audio reached the converter: either the file's streams are all known and none is
        // audio, or its audio (or the file itself) could not be read.
        out.status = (allPads || notLinked) && !unknown && !missingAudio && !unreadable
                         ? AudioStatus::NoAudio
                         : AudioStatus::Undecodable;
        out.samples = {};
        return out;
    }
    if (out.samples.empty()) {
        out.status = AudioStatus::Undecodable;
        return out;
    }
    if (out.samples.size() < std::size_t(options.rate)) {
        out.status = AudioStatus::TooShort;
        return out;
    }
    double energy = 0.0;
    for (std::int16_t s : out.samples) {
        energy += double(s) * s;
    }
    out.status = std::sqrt(energy / double(out.samples.size())) / 32768.0 < kSilentRms ? AudioStatus::Silent
                                                                                       : AudioStatus::Ok;
    return out;
}
