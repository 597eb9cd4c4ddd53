#pragma once
// The playback engine of one pane: one GStreamer playbin whose video is drawn inside the pane
// widget. Times cross this interface as seconds in a double; volume is in hundredths of a
// decibel (0 = full, -10000 = silent). Every operation returns at once on the user-interface
// thread: state queries report a change still in progress as the state it is heading for.
//
// The operations are virtual so the main window's synchronisation can be exercised against
// scripted channels in tests.
#include <QString>

#include <memory>

class QImage;
class QWidget;
struct PaneInfo;
typedef struct _GstElement GstElement;
typedef struct _GstClock GstClock;
typedef struct _GstSample GstSample;

class CChannelGraph {
public:
    CChannelGraph();
    virtual ~CChannelGraph();
    CChannelGraph(const CChannelGraph&) = delete;
    CChannelGraph& operator=(const CChannelGraph&) = delete;

    // Lifecycle: Create builds an empty pipeline (false when one is already held),
    // Destroy releases everything, Attach adopts a playbin built elsewhere (null: just Destroy).
    virtual bool Create();
    virtual void Destroy();
    // Destroy, with the pipeline stopped beside the event loop (CPipelineReaper): returns at
    // once, and the file is let go a moment later.
    void DestroyInBackground();
    virtual bool Attach(GstElement* playbin);

    // Builds the pipeline for the file and prerolls it (bounded wait). False when the file is
    // missing, not a media file, truncated or has no decodable stream.
    virtual bool RenderFile(const QString& path);
    // RenderFile in steps, so that several files preroll side by side while the caller's event
    // loop runs: StartRender sets the file and heads for PAUSED without waiting (false: the
    // file cannot be opened at all); IsRenderSettled says, without waiting, whether the preroll
    // has completed or failed; FinishRender then reads what the file offers (false: it did not
    // open, and the pipeline is left stopped). FinishRender before the preroll settled counts
    // as a time-out.
    virtual bool StartRender(const QString& path);
    virtual bool IsRenderSettled();
    virtual bool FinishRender();

    // Video output: drawn inside pane, filling it with the picture's aspect ratio kept.
    virtual bool SetDisplayWindow(QWidget* pane);
    virtual bool SetWindowPosition(int left, int top, int width, int height);
    // End of stream and errors are delivered to this widget as WM_GRAPHNOTIFY events.
    virtual bool SetNotifyWindow(QWidget* pane);

    // Transport. Run/Pause/Stop return true at once when already in (or heading for) that state.
    virtual bool Run();
    virtual bool Pause();
    virtual bool Stop();
    virtual bool IsRunning();
    virtual bool IsPaused();
    virtual bool IsStopped();

    // Positions count from the stream's own start and are clamped to [0, duration];
    // after the end of the stream the position is the duration.
    virtual bool GetCurrentPosition(double& seconds);
    virtual bool GetDuration(double& seconds);
    // Seek to the nearest key frame (false quickly when the file cannot seek).
    virtual bool SetCurrentPosition(double seconds);
    // Seek to the exact frame (frame-locked synchronisation).
    virtual bool SetCurrentPositionExact(double seconds);
    virtual bool SetRate(double rate);
    virtual bool SetVolume(long volume);
    virtual long GetVolume();
    // One frame forward; a playing channel pauses on the stepped frame.
    virtual bool StepOneFrame();
    // Writes the picture shown now, at the video's own size, as a 24-bit .bmp file.
    enum class SnapshotResult { Written, NoPicture, CannotWrite };
    // When it cannot write, *why (when given) says why.
    virtual SnapshotResult SnapshotBitmap(const QString& path, QString* why = nullptr);
    // The picture on screen and the one shown before it, for taking several channels' pictures
    // of one instant: each as decoded and turned upright, with where it starts (seconds, counted
    // as GetShownPosition counts). Only references are taken; PictureImage converts.
    struct ShownPicture {
        std::shared_ptr<GstSample> frame; // null: not known
        double seconds = -1.0;            // negative: not known
    };
    virtual bool GetShownPictures(ShownPicture& now, ShownPicture& before);
    // A picture as B, G, R bytes (QImage::Format_BGR888) at its own size with square pixels, as
    // SnapshotBitmap writes it; a null image when there is none or it cannot be converted.
    static QImage PictureImage(const ShownPicture& picture);

    // Shared clock for frame-locked play: all channels use one clock (null: the pipeline's own
    // choice again) and the owner sets each channel's base time before it runs.
    virtual bool UseClock(GstClock* clock);
    virtual bool SetBaseTime(unsigned long long baseTimeNs);
    // One flushing seek to the exact frame at seconds (keyFrame: to a key frame near it; the
    // demuxers take the one at or before it), playing at rate from there.
    virtual bool SetPositionAndRate(double seconds, double rate, bool keyFrame = false);
    // A seek to the key frame at or after the place. The demuxers take a key-frame seek to the
    // nearest as one to the key frame at or before it: with both, the nearer can be chosen.
    virtual bool SeekKeyFrameAfter(double seconds, double rate);
    // Steps frames forward; only while paused (false otherwise).
    virtual bool StepFrames(int frames);
    // No state change, seek or frame step in progress; never waits.
    virtual bool IsSettled();
    // The position of the picture on screen (for sound alone, the playing position).
    virtual bool GetShownPosition(double& seconds);
    // The position of the newest picture, also while it waits behind a held one: where a seek
    // landed before the pane shows it. False when there is no picture.
    virtual bool GetNewestPosition(double& seconds);
    virtual bool CanSeek() const;
    // While held, the pane keeps its picture and new frames wait (the set moves together).
    virtual void HoldPicture(bool hold);
    // While dimmed, the picture is shown darker (a pane waiting for its time to come).
    virtual void DimPicture(bool dim);
    // The pane information drawn over the picture (info.shown false: none); the stream's start
    // and length are the channel's own.
    virtual void ShowPaneInfo(const PaneInfo& info);
    // Pictures of positions after seconds wait (a few, the oldest given up first) and the pane
    // keeps the newest one up to there, so the set shows one instant while a pane trails it;
    // meanwhile late pictures are shown rather than dropped. Negative: no gate (the default).
    virtual void GatePictures(double seconds);

    // True once the end of the stream was seen (cleared by a seek or Stop).
    virtual bool IsAtEnd() const;
    // True once the stream broke while it played: a reading or decoding error, or an end of
    // stream well short of its length (a file cut short). Cleared only by opening a file again.
    virtual bool HasFailed() const;

    // Waits at most timeoutMs for a state change, seek or frame step in progress to complete,
    // handling the pipeline's messages meanwhile; false on error or time-out. For tools, tests
    // and a frame-locked mode that must know every channel has prerolled.
    virtual bool WaitUntilSettled(int timeoutMs);

    // Measurements: frames shown by the video sink, frames dropped (by the sink and by the
    // decoders), and microseconds from RenderFile to the first picture painted (-1: none yet).
    struct FrameStats {
        unsigned long long rendered = 0;
        unsigned long long dropped = 0;
        long long firstFrameUs = -1;
    };
    virtual FrameStats GetFrameStats() const;

    // The picture widget inside the pane (null before SetDisplayWindow or after Destroy).
    QWidget* VideoWidget() const;

protected:
    struct Impl;
    Impl* d;

private:
    // With TETRAV_FRAME_STATS set, writes the frames shown and dropped to standard error as the
    // pipeline goes down ("tetrav-frames: PATH rendered N dropped N"), for the benchmarks.
    void ReportFrameStats() const;
};
