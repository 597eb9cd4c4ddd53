#pragma once
// One pane's channel as the window, the set and the sync use it: open a file, place its picture,
// play, seek, step and read where it is. GstChannel plays it with GStreamer; tests script it.
//
// Times cross this interface as seconds in a double; volume is in hundredths of a decibel
// (0 = full, -10000 = silent). Every operation returns at once on the user-interface thread, and
// queries change nothing: state queries report a change still in progress as the state it is
// heading for. What happens in the pipeline comes as the signals below, announced from the event
// loop after the channel has taken it in (so a receiver may close or replace the channel).
#include <QObject>
#include <QString>

#include <memory>

class QWidget;
struct PaneInfo;
typedef struct _GstClock GstClock;
typedef struct _GstSample GstSample;

class IChannel : public QObject {
    Q_OBJECT
public:
    // Why a channel stopped playing before its end.
    enum class Failure {
        Broken,   // the file could not be read or decoded any further
        CutShort, // the stream ended well short of its length
    };
    Q_ENUM(Failure)

    using QObject::QObject;
    ~IChannel() override = default;

    // Lifecycle: Create builds an empty pipeline (false when one is already held), Destroy
    // releases everything, DestroyInBackground does so with the pipeline stopped beside the event
    // loop (returns at once; the file is let go a moment later).
    virtual bool Create() = 0;
    virtual void Destroy() = 0;
    virtual void DestroyInBackground() = 0;

    // Opening a file in steps, so that several files preroll side by side while the caller's event
    // loop runs: StartRender sets the file and heads for PAUSED without waiting (false: the file
    // cannot be opened at all); `prerolled` follows once the preroll has completed, failed or
    // stopped getting anywhere, and IsRenderSettled says whether it has; FinishRender then reads
    // what the file offers (false: it did not open, and the pipeline is left stopped).
    // FinishRender before the preroll settled counts as a time-out.
    virtual bool StartRender(const QString& path) = 0;
    virtual bool IsRenderSettled() const = 0;
    virtual bool FinishRender() = 0;

    // Video output: drawn inside pane, filling it with the picture's aspect ratio kept.
    virtual bool SetDisplayWindow(QWidget* pane) = 0;
    virtual bool SetWindowPosition(int left, int top, int width, int height) = 0;

    // Transport. Run/Pause/Stop return true at once when already in (or heading for) that state.
    virtual bool Run() = 0;
    virtual bool Pause() = 0;
    virtual bool Stop() = 0;
    virtual bool IsRunning() const = 0;
    virtual bool IsPaused() const = 0;
    virtual bool IsStopped() const = 0;

    // Positions count from the stream's own start and are clamped to [0, duration]; after the end
    // of the stream the position is the duration.
    virtual bool GetCurrentPosition(double& seconds) const = 0;
    virtual bool GetDuration(double& seconds) const = 0;
    // Seek to the nearest key frame (false quickly when the file cannot seek).
    virtual bool SetCurrentPosition(double seconds) = 0;
    // Seek to the exact frame.
    virtual bool SetCurrentPositionExact(double seconds) = 0;
    virtual bool SetRate(double rate) = 0;
    virtual bool SetVolume(long volume) = 0;
    virtual long GetVolume() const = 0;
    // One frame forward; a playing channel pauses on the stepped frame.
    virtual bool StepOneFrame() = 0;
    // Writes the picture shown now, at the video's own size, as a 24-bit .bmp file. When it
    // cannot write, *why (when given) says why.
    enum class SnapshotResult { Written, NoPicture, CannotWrite };
    virtual SnapshotResult SnapshotBitmap(const QString& path, QString* why = nullptr) = 0;
    // The picture on screen and the one shown before it, for taking several channels' pictures of
    // one instant: each as decoded, with where it starts (seconds, counted as GetShownPosition
    // counts). Only references are taken.
    struct ShownPicture {
        std::shared_ptr<GstSample> frame; // null: not known
        double seconds = -1.0;            // negative: not known
    };
    virtual bool GetShownPictures(ShownPicture& now, ShownPicture& before) const = 0;

    // Shared clock for frame-locked play: all channels use one clock (null: the pipeline's own
    // choice again) and the owner sets each channel's base time before it runs.
    virtual bool UseClock(GstClock* clock) = 0;
    virtual bool SetBaseTime(unsigned long long baseTimeNs) = 0;
    // One flushing seek to the exact frame at seconds (keyFrame: to a key frame near it; the
    // demuxers take the one at or before it), playing at rate from there.
    virtual bool SetPositionAndRate(double seconds, double rate, bool keyFrame = false) = 0;
    // A seek to the key frame at or after the place. The demuxers take a key-frame seek to the
    // nearest as one to the key frame at or before it: with both, the nearer can be chosen.
    virtual bool SeekKeyFrameAfter(double seconds, double rate) = 0;
    // Steps frames forward; only while paused (false otherwise).
    virtual bool StepFrames(int frames) = 0;
    // No state change, seek or frame step in progress (`settled` announces it).
    virtual bool IsSettled() const = 0;
    // The position of the picture on screen (for sound alone, the playing position).
    virtual bool GetShownPosition(double& seconds) const = 0;
    // The position of the newest picture, also while it waits behind a held one: where a seek
    // landed before the pane shows it. False when there is no picture.
    virtual bool GetNewestPosition(double& seconds) const = 0;
    virtual bool CanSeek() const = 0;
    // While held, the pane keeps its picture and new frames wait (the set moves together).
    virtual void HoldPicture(bool hold) = 0;
    // While dimmed, the picture is shown darker (a pane waiting for its time to come).
    virtual void DimPicture(bool dim) = 0;
    // The pane information drawn over the picture (info.shown false: none); the stream's start
    // and length are the channel's own.
    virtual void ShowPaneInfo(const PaneInfo& info) = 0;
    // Pictures of positions after seconds wait (a few, the oldest given up first) and the pane
    // keeps the newest one up to there, so the set shows one instant while a pane trails it;
    // meanwhile late pictures are shown rather than dropped. Negative: no gate (the default).
    virtual void GatePictures(double seconds) = 0;

    // True once the end of the stream was seen (cleared by a seek or Stop).
    virtual bool IsAtEnd() const = 0;
    // True once the stream broke while it played (`failed` says how). Cleared only by opening a
    // file again.
    virtual bool HasFailed() const = 0;

    // Measurements: frames shown by the video sink, frames dropped (by the sink and by the
    // decoders), and microseconds from StartRender to the first picture painted (-1: none yet).
    struct FrameStats {
        unsigned long long rendered = 0;
        unsigned long long dropped = 0;
        long long firstFrameUs = -1;
    };
    virtual FrameStats GetFrameStats() const = 0;

    // The picture widget inside the pane (null before SetDisplayWindow or after Destroy).
    virtual QWidget* VideoWidget() const = 0;

signals:
    // The preroll StartRender began has settled; ok: without an error (FinishRender tells
    // whether the file offers anything to play).
    void prerolled(bool ok);
    // A state change, seek or frame step has completed and nothing else is in progress.
    void settled();
    // The stream reached its end (IsAtEnd).
    void ended();
    // The stream broke while it played (HasFailed).
    void failed(IChannel::Failure why);
};
