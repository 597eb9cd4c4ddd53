#pragma once
// One pane's video read for an export: its own pipeline (uridecodebin, turned upright, scaled
// to its place in the picture, sound as 48 kHz stereo floats) pulled by the exporting thread,
// frame by frame in the pane's own time. Pane time 0 is the stream's first picture, as the
// player counts it. Every wait is bounded and gives way to the cancel flag.
#include "engine/GstRef.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class CPaneSource {
public:
    static constexpr int kSoundRate = 48000;

    explicit CPaneSource(const std::atomic<bool>& cancel);
    ~CPaneSource();
    CPaneSource(const CPaneSource&) = delete;
    CPaneSource& operator=(const CPaneSource&) = delete;

    // Builds the pipeline for path and starts reading it (several panes preroll side by side);
    // Opened() waits for the first picture and reads the stream's facts. False with *why.
    bool BeginOpen(const QString& path, bool wantSound, QString* why);
    bool Opened(QString* why);

    double Length() const { return m_length; }      // seconds of pane time
    QSize PictureSize() const { return m_picture; } // upright, square pixels; empty without video
    int RateNum() const { return m_rateNum; }       // the video's frame rate (0 when unknown)
    int RateDen() const { return m_rateDen; }
    bool HasSound() const { return m_soundWanted && m_hasSound; }

    // Decodes from pane time `from` (>= 0) to `until`, pictures scaled to `size`.
    bool Start(double from, double until, QSize size, QString* why);

    // The picture shown at pane time t (I420 at the started size), or null for black: before
    // the first picture, after the last, after the file broke. Valid until the next call.
    GstSample* PictureAt(double t);
    // Adds the sound of pane samples [first, first + count) to out (stereo, interleaved).
    void AddSound(float* out, std::int64_t first, int count);

    // The file failed while being read, or ended well before its length (cut short or taken
    // away while being read): pane time of the failure and the reason.
    bool Broken() const { return m_broken; }
    double BrokenAt() const { return m_brokenAt; }
    const QString& BrokenWhy() const { return m_brokenWhy; }

private:
    static void onPadAdded(GstElement* decoder, GstPad* pad, gpointer self);
    static GstPadProbeReturn onSinkQuery(GstPad* pad, GstPadProbeInfo* info, gpointer);
    void linkPad(GstPad* pad);
    GstElement* makeVideoBranch();
    GstElement* makeSoundBranch();
    GstSampleRef pull(GstElement* sink, double hint);
    double timeOf(GstSample* sample) const;
    bool checkBus(double at);
    void breakAt(double at, const QString& why);
    void pullSound();
    void noteEarlyEnd();

    const std::atomic<bool>& m_cancel;
    GstElementRef m_pipeline;
    GstBusRef m_bus;
    GstElement* m_decoder = nullptr;
    std::mutex m_linkLock; // pads are linked on streaming threads
    GstElement* m_videoSink = nullptr;
    GstElement* m_videoCaps = nullptr;
    GstElement* m_soundSink = nullptr;
    bool m_soundWanted = false;
    bool m_hasSound = false;

    double m_length = 0.0;
    double m_startOffset = 0.0; // stream time of the first picture
    double m_frame = 0.04;      // one frame's duration
    QSize m_picture;
    int m_rateNum = 0;
    int m_rateDen = 1;
    bool m_started = false;
    double m_until = 0.0;

    GstSampleRef m_current;
    GstSampleRef m_next;
    bool m_videoEnded = false;
    double m_lastSeen = 0.0;

    std::vector<float> m_sound; // interleaved stereo from pane sample m_soundStart
    std::int64_t m_soundStart = 0;
    bool m_soundEnded = false;

    bool m_broken = false;
    double m_brokenAt = 0.0;
    QString m_brokenWhy;
};
