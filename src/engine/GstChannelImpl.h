#pragma once
// The private state of one channel (GstChannel::Impl): the pipeline, its bus, the stream facts
// read at preroll and the seek, step and rate bookkeeping. Shared by the channel's source files.
#include "engine/CVideoOutput.h"
#include "engine/ChannelBusObserver.h"
#include "engine/GstChannel.h"
#include "engine/GstRef.h"

#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <time.h>

constexpr gint64 kNsPerSecond = 1000000000;

// An open gives up after this long without a sign that it gets anywhere (a message from the
// pipeline, bytes read from the file), or after kRenderLimitUs in all: a slow machine is no
// reason to call a good file unreadable.
constexpr gint64 kRenderStallUs = 5 * G_USEC_PER_SEC;
constexpr gint64 kRenderLimitUs = 120 * G_USEC_PER_SEC;

struct StreamingThreads {
    std::mutex m;
    std::vector<clockid_t> clocks;
};

struct GstChannel::Impl : ChannelBusObserver::Handler {
    explicit Impl(GstChannel& owner);

    GstChannel& self;
    GstElementRef playbin;
    std::unique_ptr<ChannelBusObserver> bus;
    std::unique_ptr<CVideoOutput> video;
    QRect rect;
    // Counts opens and closes: an announcement still on its way when the file changed is dropped.
    unsigned generation = 0;
    bool settleAnnounced = true; // `settled` went out since the last change began
    bool prerollAnnounced = true;
    // While a file opens: looks now and then whether it still gets anywhere (a stalled reader
    // posts nothing on the bus).
    QTimer renderWatch;

    gint64 startOffsetNs = 0; // position of the first frame: where the stream's own time starts
    gint64 durationNs = -1;
    gint64 lastPositionNs = 0;
    bool seekable = false;
    int videoStreams = 0;
    int audioStreams = 0;
    // The volume last given to this pipeline (the tick gives it 100 times a second; setting it
    // again wakes the sound path's property notifications for nothing).
    long volumeSet = 0;
    unsigned volumeGeneration = ~0u; // the generation volumeSet was given in
    bool atEnd = false;
    // The stream broke while it played: an error, or an end well short of its length.
    bool failed = false;
    bool opened = false;  // the file prerolled: later errors are failures of play
    bool seeking = false; // a flushing seek has not completed yet
    gint64 seekTargetNs = 0;
    // The newest seek as sent (its event's sequence number, to tell its end from an older
    // seek's), and how often it was sent again because its picture came out damaged.
    guint32 seekSeqnum = GST_SEQNUM_INVALID;
    double seekRate = 1.0;
    GstSeekFlags seekFlags = GST_SEEK_FLAG_NONE;
    int seekResends = 0;
    bool stepping = false;
    double rate = 1.0;
    bool rateToApply = false; // set while stopped: applied at the next preroll
    gint64 renderStartUs = 0;
    bool rendering = false;    // between StartRender and FinishRender
    bool renderFailed = false; // the preroll reported an error or a failed state change
    // Bytes the file's source has handed on, counted in the streaming threads, and elements
    // added to the pipeline: any change shows the pipeline is getting somewhere.
    std::shared_ptr<std::atomic<guint64>> sourceBytes = std::make_shared<std::atomic<guint64>>(0);
    // The CPU clocks of the pipeline's streaming threads, noted as each starts.
    std::shared_ptr<StreamingThreads> threads = std::make_shared<StreamingThreads>();
    guint64 renderBytesSeen = 0;
    gint64 renderProgressUs = 0; // when the open last got somewhere
    gint64 renderStallUs = kRenderStallUs;
    gint64 renderLimitUs = kRenderLimitUs;
    QString renderPath;
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
        settleAnnounced = false;
        return gst_element_set_state(playbin.get(), state) != GST_STATE_CHANGE_FAILURE;
    }
    // No state change, seek or step in progress; never waits.
    bool settledNow() const;
    // While a file opens: whether its preroll has come to an end, and whether it failed.
    bool renderSettledNow() const;
    bool renderFailedNow() const;
    // Emits one of the channel's signals from the event loop, unless the file changed meanwhile.
    void announce(std::function<void(GstChannel&)> emitter);
    void OnBusMessage(GstMessage* msg) override;
    void OnBusDrained() override;
    // Called by renderWatch while a file opens.
    void watchRender();
    void refreshDuration();
    // At an end of stream: whether it came well before the stream's length (a file cut short
    // before or while it played); if so, the position stays where play stopped.
    bool endedEarly();
    // Reacts to one bus message.
    void handle(GstMessage* msg);
    // Handles every message waiting on the bus now.
    void drain();
    // During an open: whether it went a whole stall without progress, or past its limit.
    bool renderStalled();
    // Counts the bytes each new source of the pipeline hands on, and the elements added to it,
    // into sourceBytes.
    void countSourceBytes();
    // Grows while the pipeline gets anywhere: bytes read, elements added, milliseconds of CPU
    // its streaming threads spent.
    guint64 progressMark() const;
    // Once the pipeline has stopped: its streaming threads no longer count.
    void forgetStreamingThreads();
    // Waits for the pipeline to settle (no state change, seek or step in progress), handling the
    // messages that come meanwhile. False on error, or after stallMs without progress (a
    // message, bytes read) or kRenderLimitUs in all.
    bool settle(int stallMs);
    bool seek(gint64 targetNs, GstSeekFlags how);
    // Sends a flushing seek to targetNs (stream time from the stream's start); false when the
    // pipeline refused it. The newest seek wins: only its own end completes it.
    bool sendSeek(double seekRateValue, GstSeekFlags how, gint64 targetNs);
    // At a pipeline's ASYNC_DONE while seeking: whether it ends the newest seek. Not when it is
    // an older seek's end that was still waiting on the bus, nor when the seek's picture came
    // out damaged or an exact seek's far past its place (the seek is then sent again, at most
    // kSeekResends times).
    bool seekLanded();
    bool applyRate(double newRate);
    // Reads what the prerolled pipeline offers: streams, duration, start, seekability.
    void readStreamFacts(const QString& path);
    void resetStreamFacts();
    void watchBus();
};
