#pragma once
// A channel the test sets up, recording every call on it; the record outlives the channel.
#include "engine/IChannel.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <vector>

struct ChannelScript {
    double position = 0.0, length = 0.0;
    long volume = 0;
    bool createOk = true, renderOk = true, displayOk = true, placeOk = true;
    bool deleted = false, atEnd = false, failed = false;
    long lastVolume = 1; // 1 = never set (a real volume is 0 or negative)
    double lastSeek = -1.0;
    int steps = 0;
    double shown = -1.0;      // position of the picture on screen; -1 = the position
    double newest = -1.0;     // position of the newest picture; -1 = the position
    double gate = -2.0;       // the last picture gate asked for (-1: none); -2: never asked
    bool settled = true;      // no seek or step in progress
    bool held = false;        // the pane keeps its picture
    bool seekOk = true;       // false: the file cannot seek
    double stepSeconds = 0.0; // how far a frame step moves the position
    std::vector<double> keys; // key frames (ascending): key-frame seeks land on them
    unsigned long long baseTime = 0;
    QStringList calls; // "Run", "Pause", "Stop", "Destroy", ...

    int count(const QString& call) const { return static_cast<int>(calls.count(call)); }
};

class ScriptedChannel : public IChannel {
public:
    explicit ScriptedChannel(std::shared_ptr<ChannelScript> script) : m_s(std::move(script)) {}
    ~ScriptedChannel() override { m_s->deleted = true; }

    bool Create() override { return log("Create", m_s->createOk); }
    void Destroy() override { m_s->calls << "Destroy"; }
    void DestroyInBackground() override { Destroy(); }
    bool StartRender(const QString& path) override {
        m_s->calls << "RenderFile:" + path;
        return m_s->renderOk;
    }
    bool IsRenderSettled() const override { return true; }
    bool FinishRender() override { return m_s->renderOk; }
    bool SetDisplayWindow(QWidget*) override { return log("SetDisplayWindow", m_s->displayOk); }
    bool SetWindowPosition(int, int, int, int) override { return log("SetWindowPosition", m_s->placeOk); }
    bool Run() override { return log("Run", true); }
    bool Pause() override { return log("Pause", true); }
    bool Stop() override { return log("Stop", true); }
    bool IsRunning() const override { return false; }
    bool IsPaused() const override { return false; }
    bool IsStopped() const override { return false; }
    bool GetCurrentPosition(double& seconds) const override {
        seconds = m_s->position;
        return true;
    }
    bool GetDuration(double& seconds) const override {
        seconds = m_s->length;
        return m_s->length > 0.0;
    }
    bool SetCurrentPosition(double seconds) override {
        m_s->lastSeek = seconds;
        return log("Seek", true);
    }
    bool SetCurrentPositionExact(double seconds) override {
        m_s->lastSeek = seconds;
        return log("SeekFrame", m_s->seekOk);
    }
    bool SetRate(double) override { return log("SetRate", true); }
    bool SetVolume(long volume) override {
        m_s->lastVolume = volume;
        return true;
    }
    long GetVolume() const override { return m_s->volume; }
    bool StepOneFrame() override {
        ++m_s->steps;
        return log("Step", true);
    }
    SnapshotResult SnapshotBitmap(const QString&, QString* = nullptr) override {
        return SnapshotResult::NoPicture;
    }
    bool GetShownPictures(ShownPicture&, ShownPicture&) const override { return false; }

    bool SetPositionAndRate(double seconds, double, bool keyFrame = false) override {
        m_s->lastSeek = seconds;
        if (keyFrame && !m_s->keys.empty()) {
            // As the demuxers do: the key frame at or before the place.
            const auto after = std::upper_bound(m_s->keys.begin(), m_s->keys.end(), seconds);
            m_s->position = after == m_s->keys.begin() ? m_s->keys.front() : *(after - 1);
            return log("SeekKey", m_s->seekOk);
        }
        return log("SeekExact", m_s->seekOk);
    }
    bool SeekKeyFrameAfter(double seconds, double) override {
        const auto at = std::lower_bound(m_s->keys.begin(), m_s->keys.end(), seconds);
        m_s->atEnd = at == m_s->keys.end(); // past the last key frame: the stream's end
        m_s->position = m_s->atEnd ? m_s->length : *at;
        return log("SeekKeyAfter", m_s->seekOk);
    }
    bool StepFrames(int frames) override {
        m_s->steps += frames;
        m_s->position += frames * m_s->stepSeconds;
        return log("StepFrames", true);
    }
    bool IsSettled() const override { return m_s->settled; }
    bool GetShownPosition(double& seconds) const override {
        seconds = m_s->shown >= 0.0 ? m_s->shown : m_s->position;
        return true;
    }
    bool GetNewestPosition(double& seconds) const override {
        seconds = m_s->newest >= 0.0 ? m_s->newest : m_s->position;
        return true;
    }
    void HoldPicture(bool hold) override { m_s->held = hold; }
    void DimPicture(bool) override {}
    void ShowPaneInfo(const PaneInfo&) override {}
    void GatePictures(double seconds) override { m_s->gate = seconds; }
    bool UseClock(GstClock*) override { return true; }
    bool SetBaseTime(unsigned long long ns) override {
        m_s->baseTime = ns;
        return log("SetBaseTime", true);
    }
    bool IsAtEnd() const override { return m_s->atEnd; }
    bool HasFailed() const override { return m_s->failed; }
    bool CanSeek() const override { return m_s->seekOk; }
    FrameStats GetFrameStats() const override { return {}; }
    QWidget* VideoWidget() const override { return nullptr; }

private:
    bool log(const char* call, bool result) {
        m_s->calls << QString::fromLatin1(call);
        return result;
    }
    std::shared_ptr<ChannelScript> m_s;
};
