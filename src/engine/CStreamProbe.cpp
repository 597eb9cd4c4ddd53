#include "engine/CStreamProbe.h"

#include "platform/FileName.h"

#include "engine/GstRef.h"
#include "engine/IChannel.h"
#include "platform/MessageText.h"

#include <gst/pbutils/pbutils.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <functional>

#include <cerrno>
#include <unistd.h>

namespace {

// How long the detector may take over one file; shorter limits misfire on a cold start.
constexpr GstClockTime kDetectorTimeout = 5 * GST_SECOND;

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

} // namespace

StreamFacts CStreamProbe::Discover(const QString& path) {
    StreamFacts facts;
    facts.path = path;
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    GError* raw = nullptr;
    DiscovererRef detector(gst_discoverer_new(kDetectorTimeout, &raw));
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
    raw = nullptr;
    DiscovererInfoRef info(gst_discoverer_discover_uri(detector.get(), uri.constData(), &raw));
    GErrorRef error(raw);
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
