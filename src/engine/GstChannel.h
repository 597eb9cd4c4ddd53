#pragma once
// The channel of one pane played by GStreamer: one playbin whose video is drawn inside the pane
// widget. Its bus is drained from the event loop (ChannelBusObserver); what it finds there comes
// out as the channel's signals, and the queries only read.
#include "engine/IChannel.h"

typedef struct _GstElement GstElement;

class GstChannel : public IChannel {
    Q_OBJECT
public:
    explicit GstChannel(QObject* parent = nullptr);
    ~GstChannel() override;

    bool Create() override;
    void Destroy() override;
    void DestroyInBackground() override;
    // Adopts a playbin built elsewhere (null: just Destroy).
    bool Attach(GstElement* playbin);

    bool StartRender(const QString& path) override;
    bool IsRenderSettled() const override;
    bool FinishRender() override;

    bool SetDisplayWindow(QWidget* pane) override;
    bool SetWindowPosition(int left, int top, int width, int height) override;

    bool Run() override;
    bool Pause() override;
    bool Stop() override;
    bool IsRunning() const override;
    bool IsPaused() const override;
    bool IsStopped() const override;

    bool GetCurrentPosition(double& seconds) const override;
    bool GetDuration(double& seconds) const override;
    bool SetCurrentPosition(double seconds) override;
    bool SetCurrentPositionExact(double seconds) override;
    bool SetRate(double rate) override;
    bool SetVolume(long volume) override;
    long GetVolume() const override;
    bool StepOneFrame() override;
    SnapshotResult SnapshotBitmap(const QString& path, QString* why = nullptr) override;
    bool GetShownPictures(ShownPicture& now, ShownPicture& before) const override;

    bool UseClock(GstClock* clock) override;
    bool SetBaseTime(unsigned long long baseTimeNs) override;
    bool SetPositionAndRate(double seconds, double rate, bool keyFrame = false) override;
    bool SeekKeyFrameAfter(double seconds, double rate) override;
    bool StepFrames(int frames) override;
    bool IsSettled() const override;
    bool GetShownPosition(double& seconds) const override;
    bool GetNewestPosition(double& seconds) const override;
    bool CanSeek() const override;
    void HoldPicture(bool hold) override;
    void DimPicture(bool dim) override;
    void ShowPaneInfo(const PaneInfo& info) override;
    void GatePictures(double seconds) override;

    bool IsAtEnd() const override;
    bool HasFailed() const override;

    FrameStats GetFrameStats() const override;
    QWidget* VideoWidget() const override;

protected:
    struct Impl;
    Impl* d;

private:
    // With TETRAV_FRAME_STATS set, writes the frames shown and dropped to standard error as the
    // pipeline goes down ("tetrav-frames: PATH rendered N dropped N"), for the benchmarks.
    void ReportFrameStats() const;
};
