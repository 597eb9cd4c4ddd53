// The channel's lifecycle, file, display, transport, volume and clock.
#include "engine/GstChannel.h"

#include "engine/CPipelineReaper.h"
#include "engine/DecoderSetup.h"
#include "engine/GstChannelImpl.h"
#include "platform/FileName.h"

#include <gst/audio/streamvolume.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>

namespace {

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

void onElementSetup(GstElement*, GstElement* element, gpointer) {
    SetUpVideoDecoder(element);
}

} // namespace

GstChannel::GstChannel(QObject* parent) : IChannel(parent), d(new Impl(*this)) {}

GstChannel::~GstChannel() {
    GstChannel::Destroy();
    delete d;
}

bool GstChannel::Create() {
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
    d->countSourceBytes();
    d->watchBus();
    return true;
}

void GstChannel::Destroy() {
    ReportFrameStats();
    if (d->playbin) {
        gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
    }
    d->bus.reset();
    d->playbin.reset();
    d->video.reset(); // after the pipeline stopped: no frame can arrive any more
    d->rect = QRect();
    d->rendering = false;
    d->renderWatch.stop();
    d->settleAnnounced = d->prerollAnnounced = true;
    ++d->generation;
    d->rate = 1.0;
    d->rateToApply = false;
    d->resetStreamFacts();
}

void GstChannel::DestroyInBackground() {
    ReportFrameStats();
    if (d->playbin) {
        d->bus.reset();
        if (d->video) {
            d->video->detach();
        }
        CPipelineReaper::Instance().Reap(std::move(d->playbin), std::move(d->video));
    }
    Destroy();
}

bool GstChannel::Attach(GstElement* playbin) {
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
        d->readStreamFacts(uri ? FileName::FromUri(QUrl::fromEncoded(QByteArray(uri))) : QString());
    }
    return true;
}

bool GstChannel::StartRender(const QString& path) {
    if (!d->hasPipeline()) {
        return false;
    }
    gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
    d->drain();
    d->forgetStreamingThreads();
    d->resetStreamFacts();
    if (d->video) {
        d->video->clearFrames();
    }
    ++d->generation; // what the file before still had to say is not news of this one
    d->rendering = false;
    d->renderFailed = false;
    // By the name's own bytes (names need not be UTF-8).
    const QFileInfo file(path);
    if (path.isEmpty() || FileName::KindOf(path) != FileName::Kind::File || !FileName::IsReadable(path) ||
        FileName::SizeOf(path) == 0) {
        return false;
    }
    const QByteArray uri = FileName::ToUri(file.absoluteFilePath());
    g_object_set(d->playbin.get(), "uri", uri.constData(), nullptr);
    d->renderStartUs = d->renderProgressUs = g_get_monotonic_time();
    d->renderBytesSeen = d->progressMark();
    d->renderPath = file.absoluteFilePath();
    d->rendering = true;
    d->prerollAnnounced = false;
    d->renderFailed = !d->changeState(GST_STATE_PAUSED);
    d->renderWatch.start();
    return true;
}

bool GstChannel::IsRenderSettled() const {
    return !d->hasPipeline() || !d->rendering || d->renderSettledNow();
}

bool GstChannel::FinishRender() {
    if (!d->hasPipeline() || !d->rendering) {
        return false;
    }
    d->drain(); // an error still waiting on the bus counts
    bool ok = d->renderSettledNow() && !d->renderFailedNow();
    d->rendering = false;
    d->renderWatch.stop();
    if (ok) {
        d->readStreamFacts(d->renderPath);
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

bool GstChannel::SetDisplayWindow(QWidget* pane) {
    if (!d->hasPipeline() || !d->video) {
        return false;
    }
    d->video->attach(pane);
    if (pane) {
        d->rect = pane->rect();
    }
    return true;
}

bool GstChannel::SetWindowPosition(int left, int top, int width, int height) {
    if (!d->hasPipeline() || !d->video) {
        return false;
    }
    d->rect = QRect(left, top, std::max(0, width), std::max(0, height));
    d->video->setGeometry(d->rect);
    return true;
}

bool GstChannel::Run() {
    if (!d->hasPipeline()) {
        return false;
    }
    return IsRunning() || d->changeState(GST_STATE_PLAYING);
}

bool GstChannel::Pause() {
    if (!d->hasPipeline()) {
        return false;
    }
    return IsPaused() || d->changeState(GST_STATE_PAUSED);
}

bool GstChannel::Stop() {
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

bool GstChannel::IsRunning() const {
    return d->hasPipeline() && d->heading() == GST_STATE_PLAYING;
}

bool GstChannel::IsPaused() const {
    return d->hasPipeline() && d->heading() == GST_STATE_PAUSED;
}

bool GstChannel::IsStopped() const {
    if (!d->hasPipeline()) {
        return false;
    }
    const GstState s = d->heading();
    return s == GST_STATE_READY || s == GST_STATE_NULL;
}

bool GstChannel::SetVolume(long volume) {
    if (!d->hasPipeline() || d->audioStreams == 0 || volume > 0 || volume < -10000) {
        return false;
    }
    if (d->volumeGeneration == d->generation && d->volumeSet == volume) {
        return true;
    }
    d->volumeGeneration = d->generation;
    d->volumeSet = volume;
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

long GstChannel::GetVolume() const {
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

bool GstChannel::UseClock(GstClock* clock) {
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

bool GstChannel::SetBaseTime(unsigned long long baseTimeNs) {
    if (!d->hasPipeline()) {
        return false;
    }
    gst_element_set_base_time(d->playbin.get(), GstClockTime(baseTimeNs));
    return true;
}

bool GstChannel::IsAtEnd() const {
    return d->hasPipeline() && d->atEnd;
}
