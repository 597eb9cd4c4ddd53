#pragma once
// The video end of one channel's pipeline: a sink bin (turn upright as the stream's orientation
// says, then an appsink taking the decoded frames) whose frames, scaled to the pane's size, are
// painted by a CVideoWidget inside the pane. Painting in the widget works alike on an X11 desktop, under Xvfb
// and under Qt's offscreen platform, and mouse and key input over the picture reaches the pane.
//
// Frames arrive on GStreamer's streaming threads; they are handed over under a mutex and the
// widget is asked to repaint through a queued signal. The decoded frames before scaling are
// kept too (the last three), so a snapshot is taken at the video's own size.
//
// No frame-sized memory is allocated per frame: each frame the sink shows is scaled and converted
// in one pass into a buffer of the scaler's pool (a new pool for each picture size), the picture
// on screen is painted from its buffer, mapped once when it arrives, and the pictures kept
// (shown, shown before, decoded) are references to buffers that go back to their pools when let
// go. The pictures have the picture's own shape: the painter fills the rest of the pane.
#include "engine/CPaneInfoOverlay.h"
#include "engine/CPictureScaler.h"
#include "engine/CPictureView.h"
#include "engine/GstRef.h"

#include <gst/video/video.h>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <atomic>
#include <deque>
#include <mutex>

class QPainter;
class QWidget;
class CVideoWidget;
typedef struct _GstAppSink GstAppSink;

class CVideoOutput : public QObject {
    Q_OBJECT
public:
    CVideoOutput();
    ~CVideoOutput() override;

    // The sink bin for playbin's video-sink property; null when an element is missing.
    GstElement* sinkBin() const { return m_bin.get(); }

    // Puts the picture into pane (null: removes it). The widget is a child of the pane and is
    // deleted by detach() or this object's destructor, or with the pane if that goes first.
    void attach(QWidget* pane);
    void detach();
    // Places the picture inside the pane; the frames are scaled to that size.
    void setGeometry(const QRect& rect);
    QWidget* widget() const;
    // Whether the picture can be seen (its pane shown, the window not minimized): the frames of
    // a picture that cannot are scaled to a token size only, until it can again.
    void setOnScreen(bool onScreen);

    // Paints the current frame into target keeping its aspect ratio, the part the view shows
    // (CVideoOutputView.cpp). While the picture on screen is not at the size the view asks for (a
    // paused pane that grew or zoomed), the decoded frame is scaled to it instead.
    struct Painted {
        bool painted = false; // false: there is no picture
        gint64 streamNs = -1; // the stream time of the picture painted; -1 when not known
    };
    Painted paint(QPainter& painter, const QRect& target);

    // Zoom and pan inside the picture, in the widget's coordinates: the picture is scaled from
    // the decoded frame for the part shown (at most the frame's own size).
    void zoomAt(const QPointF& at, double factor);
    void panBy(const QPointF& delta);
    void resetView();
    bool viewWhole() const { return m_view.isWhole(); }
    // The pane information drawn over the picture.
    void setInfo(const PaneInfo& info);
    const PaneInfo& info() const { return m_info; }

    // The frame shown now, as decoded (video's own size and format); null when none yet.
    GstSampleRef currentNativeFrame() const;
    // Stream time of the frame shown now; false when there is none.
    bool shownStreamTime(gint64& ns) const;
    // Stream time of the newest frame: the one waiting while the picture is held, else the one
    // shown. False when there is none.
    bool newestStreamTime(gint64& ns) const;
    // The frame shown now and the one shown before it, as decoded, with their stream times
    // (frame null or streamNs -1 when not known). False when nothing is shown.
    struct ShownFrame {
        GstSampleRef frame;
        gint64 streamNs = -1;
    };
    bool shownFrames(ShownFrame& now, ShownFrame& before) const;
    // Which seek the newest picture comes from: the sequence number of the flush it followed
    // (GST_SEQNUM_INVALID before any flush); an end of stream or a gap after a flush counts as
    // its answer too. A seek whose flush never reached the pictures leaves flushSeqnum() at an
    // older number. newestDamaged(): the decoder marked the newest picture as decoded from
    // damaged or missing data (a frame whose reference frames it never got).
    guint32 flushSeqnum() const { return m_flushSeqnum.load(); }
    guint32 answeredSeqnum() const { return m_answeredSeqnum.load(); }
    bool newestDamaged() const { return m_newestDamaged.load(); }
    // While held, new frames wait and the picture on screen stays; releasing shows the newest.
    void setHold(bool hold);
    // Frames of stream times after streamNs wait (up to WaitingAtMost() and the gate's budget
    // in bytes, the oldest given up first) and the newest frame up to there is shown; while gated
    // the sink shows late frames instead of dropping them and asks nothing of the decoder (no
    // quality-of-service events), so a trailing channel's pictures still come. Negative: no
    // gate, frames shown as they come.
    void setGate(gint64 streamNs);
    // The most the frames waiting at the gate may hold, pictures and their decoded frames
    // together. The default keeps seven 1080p frames with their pictures: at 60 frames a second
    // more than the 0.1 s the set lets a trailing channel fall behind before it waits for it.
    static constexpr size_t kGateBudget = size_t(32) << 20;
    void setGateBudget(size_t bytes);
    // Paints the picture darker while set (the picture waits for its time to come).
    void setDim(bool dim);
    bool dimmed() const { return m_dim; }
    // Forgets the frames (a new file is being opened).
    void clearFrames();

    // The picture on screen, at the pane's size; null when none.
    GstSampleRef shownPicture() const;
    // The pool the pictures at the pane's size come from now; null before the first frame.
    GstBufferPoolRef picturePool() const;
    // The pool offered to the decoder for its frames; null before the format is agreed on.
    GstBufferPoolRef decodedPool() const;

    // Measurements for the benchmark: monotonic time (microseconds) of the first frame
    // painted, 0 if none yet; frames rendered and dropped by the sink.
    qint64 firstPaintUs() const { return m_firstPaintUs; }
    void sinkStats(quint64& rendered, quint64& dropped) const;

signals:
    void frameArrived();

private:
    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer self);
    static GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer self);
    static GstPadProbeReturn onNativeData(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    // Answers the decoder's allocation query: a pool with room for every decoded frame this
    // object and the queue in front of it can hold at once, made when the format is agreed on.
    static GstPadProbeReturn onAllocation(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    // The most frames that wait at the gate in a stream described by info (see kMaxWaiting).
    static guint WaitingAtMost(const GstVideoInfo& info);
    // The stream time of a sample's buffer; -1 when it has none.
    static gint64 StreamTimeOf(GstSample* sample);
    void takeSample(GstSample* sample);
    // Scales a frame on its way into the sink (its streaming thread) and keeps the picture for
    // takeSample().
    void makePicture(GstPad* pad, GstBuffer* frame);
    // Whether the sink at pad will drop frame as late (the clock's time now).
    static bool TooLate(GstPad* pad, GstBuffer* frame);
    // The size to scale a frame described by info to (m_mutex held): the picture fitted into the
    // size asked for, or that size when zoomed, or the frame's own with square pixels.
    QSize pictureSize(const GstVideoInfo& info) const;
    // Puts sample on screen (m_mutex held); the picture it replaces becomes the previous one.
    struct NativeFrame;
    void showSample(GstSampleRef sample, NativeFrame native);
    // The decoded frame of a sample on its way to the screen (m_mutex held); null when gone.
    GstSampleRef nativeOf(GstSample* shown) const;
    void applyCaps();
    // The frame's display shape and size with square pixels, from the caps of decoded frames
    // (m_mutex held).
    void takeNativeCaps(GstCaps* caps);
    void repaint();

    GstElementRef m_bin;
    GstElement* m_appSink = nullptr; // owned by m_bin
    CPictureScaler m_scaler;         // the streaming thread's
    QPointer<CVideoWidget> m_widget;
    QRect m_rect;
    qint64 m_firstPaintUs = 0;
    std::atomic<bool> m_repaintPending{false};
    // Written on the streaming thread, read on the user-interface thread.
    std::atomic<guint32> m_flushSeqnum{GST_SEQNUM_INVALID};
    std::atomic<guint32> m_answeredSeqnum{GST_SEQNUM_INVALID};
    std::atomic<bool> m_decodedDamaged{false}; // the newest decoded frame, before it is scaled
    std::atomic<bool> m_newestDamaged{false};  // the newest picture handed to the pane
    bool m_dim = false;                        // user-interface thread only
    CPictureView m_view;                       // user-interface thread only
    PaneInfo m_info;                           // user-interface thread only
    bool m_capsSet = false;
    bool m_onScreen = true; // user-interface thread only
    // The size a picture that cannot be seen is scaled to (its shape kept within it).
    static constexpr QSize kOffScreenSize{16, 16};
    // The size the pictures are asked for (empty: the frame's own) and whether the whole picture
    // is fitted into it; written on the user-interface thread under m_mutex.
    QSize m_capsSize;
    bool m_capsWhole = true;
    // The picture made from the decoded frame while the one on screen has another size, and the
    // time stamp of the frame it was made from (user-interface thread; made in paint()).
    QImage m_still;
    GstClockTime m_stillPts = GST_CLOCK_TIME_NONE;

    struct NativeFrame {
        GstBufferRef buffer;
        GstCapsRef caps;
    };
    // A picture at the pane's size with its buffer mapped for painting (the image wraps the
    // mapped memory; no copy).
    class MappedPicture {
    public:
        MappedPicture() = default;
        MappedPicture(const MappedPicture&) = delete;
        MappedPicture& operator=(const MappedPicture&) = delete;
        ~MappedPicture() { take(); }
        // Holds and maps sample (null: holds nothing).
        void hold(GstSampleRef sample);
        // Unmaps and gives up the sample.
        GstSampleRef take();
        GstSample* sample() const { return m_sample.get(); }
        const QImage& image() const { return m_image; }
        explicit operator bool() const { return bool(m_sample); }

    private:
        GstSampleRef m_sample;
        GstVideoFrame m_frame{};
        bool m_mapped = false;
        QImage m_image;
    };
    mutable std::mutex m_mutex; // guards the frames below
    MappedPicture m_shown;      // the frame the widget paints, at the pane's size
    GstSampleRef m_before;      // the frame painted before m_shown
    GstSampleRef m_held;        // the newest frame while the picture is held
    NativeFrame m_heldNative;   // its decoded frame
    // Pictures made for frames on their way into the sink, oldest first. The decoded frame is
    // known by its buffer and time stamp, not held: one the sink drops as late goes back to the
    // decoder's pool at once (a pool buffer comes back with another frame's time stamp).
    struct Made {
        const GstBuffer* native = nullptr;
        GstClockTime pts = GST_CLOCK_TIME_NONE;
        GstBufferRef picture;
        GstCapsRef caps;
        QSize size;
    };
    // One for the frame at the sink, one for a frame the sink dropped as late (given up when
    // the next one is taken).
    static constexpr size_t kMaxMade = 2;
    std::deque<Made> m_made;
    // At most this many frames wait at the gate, within the gate's budget; the set lets a
    // trailing channel fall 0.1 s behind before it waits for it, so no more than that and a
    // frame (the set waits from the second tick past it) wait.
    static constexpr size_t kMaxWaiting = 12;
    static constexpr double kWaitingSeconds = 0.1;
    // Decoded frames on their way here at once: one being decoded, three in the queue in front
    // of the sink, one at the sink and the one it prerolled on.
    static constexpr guint kDecodedInFlight = 6;
    struct Waiting {
        GstSampleRef picture;
        NativeFrame native; // its decoded frame: newer ones pass while it waits
        size_t bytes() const;
    };
    size_t m_gateBudget = kGateBudget;
    std::deque<Waiting> m_waiting; // frames past the gate, oldest first
    NativeFrame m_gateNative[2];   // the decoded frames of the picture shown and the one before
    gint64 m_gate = -1;
    quint64 m_gateDropped = 0; // frames given up while waiting at the gate
    quint64 m_pictures = 0;    // new pictures put up for the pane
    bool m_hold = false;
    // The newest decoded frame (the sink may hold it while an older one is on screen); the
    // pictures carry their own decoded frames (m_gateNative, m_heldNative, Waiting).
    NativeFrame m_native[1];
    GstCapsRef m_nativeCaps;     // caps of the decoded frames now flowing
    double m_nativeAspect = 0.0; // their display shape (width / height); 0: not known
    QSize m_nativeSize;          // their size with square pixels
    double m_shownAspect = 0.0;  // the display shape of the frame of m_shown
    GstBufferPoolRef m_pool;     // where the scaler's pictures come from now
    // Pictures made at the pane's size when the size is agreed on: those made ahead for the sink,
    // the one on screen, the one before it and the one being made. Those waiting at the gate (or
    // the one held) are made the first time they wait. Before the pane's size is known, one at
    // the frame's own size. Either pool grows rather than stall, and keeps what it made.
    static constexpr guint kPicturesMade = guint(kMaxMade) + 3;
    size_t m_waitingMost = kMaxWaiting; // frames that wait at the gate at most in this stream
    static constexpr guint kOwnSizePictures = 1;
    // The pool offered to the decoder and the caps it is for: offered again when the decoder
    // agrees on the same format once more, so its frames are not made anew.
    GstBufferPoolRef m_decodedPool;
    GstCapsRef m_decodedCaps;
};
