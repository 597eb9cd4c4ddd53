#pragma once
// Frame sync: every channel runs on one clock, and each channel's base time is chosen so that
// the same instant of every video reaches the screen at the same moment. The set has one
// timeline: at clock time c0 it stands at position p0 and moves at the rate.
//
// - Start, seek, rate change: every channel pauses and seeks to the exact frame of one instant
//   (snapped to the reference video's frame grid); once all have prerolled they start together
//   with their base times on the timeline.
// - Pause and resume only move the timeline (the base times shift by the paused time).
// - A frame step steps the reference one frame and every other channel to the frame of the
//   reference's new instant; the next start seeks them exactly there, since stepping leaves the
//   running time behind.
// - Time offsets: channel k shows the timeline's instant t at its own position t + its offset
//   from the reference's. A channel whose instant lies before its start waits on its first
//   picture (its base time is in the future, so it starts by itself when its time comes); one
//   past its end shows its last picture. Either is dimmed while the set has offsets.
// - A backward step is a frame-exact seek of the set to the reference's previous frame.
// - The correction step of each tick compares the picture each channel shows with the
//   timeline at frame precision; a channel that stays out of tolerance (a decoder stall, a slow
//   disk, the process stopped for a while) seeks ahead alone and joins the timeline again.
//
// Long operations run beside the event loop: the object polls the channels on a short timer
// while one is in progress. A channel that cannot seek keeps the clock but not the frame lock,
// and this is said once on standard error.
#include "engine/GstRef.h"
#include "mainwnd/CChannelSync.h"

#include <QObject>

#include <functional>

class QTimer;

class CFrameSync : public QObject, public CChannelSync {
    Q_OBJECT
public:
    explicit CFrameSync(QObject* parent = nullptr);
    ~CFrameSync() override;

    void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                      int count) override;
    // The picture on screen: the play time never runs ahead of what the panes show.
    bool ReadPosition(CChannelGraph& channel, double& seconds) override;
    void Play(const SyncSet& set) override;
    void Pause(const SyncSet& set) override;
    void Seek(const SyncSet& set, double seconds) override;
    void SeekToKeyFrame(const SyncSet& set, double seconds) override;
    void SetRate(const SyncSet& set, double rate) override;
    void StepFrame(const SyncSet& set) override;
    // The program stood still while the shared clock ran on, and the sinks are racing through
    // late pictures: the set seeks to the timeline's present instant, with the pictures held,
    // so the play time moves on and never back.
    void Stalled(const SyncSet& set, double refSecs) override;
    void StepBack(const SyncSet& set) override;
    void OffsetsChanged(const SyncSet& set, double refShift) override;
    void Adopt(const SyncSet& set, bool playing) override;
    void Leave(const SyncSet& set) override;
    void Reset() override;

    // The set's position on the timeline, in seconds.
    double TimelinePosition() const;
    // A seek, start, frame step or rejoining channel is still on its way.
    bool Busy() const;
    bool IsPlaying() const { return m_phase == Phase::Playing; }
    // Where the time comes from (nanoseconds of the shared clock); tests script it.
    void SetClockSource(std::function<unsigned long long()> now);
    // Consecutive ticks a channel may stay out of tolerance before it is brought back.
    static constexpr int kLagTicks = 25;
    // Every channel this far behind the timeline (seconds): the whole set stalled.
    static constexpr double kSetStall = 0.25;

private:
    static constexpr double kNs = 1e9;
    // Time from the moment every channel is ready to the first picture: enough for four pipelines
    // to go to playing and for the sound to start.
    static constexpr double kStartMargin = 0.05;
    // How long a seek or step may take before the set goes on without the channels still busy.
    static constexpr double kSettleBound = 5.0;
    // How far ahead of the timeline a channel brought back seeks, at rate 1 (doubled per retry).
    static constexpr double kRejoinLead = 0.4;
    static constexpr int kRejoinTries = 3;
    // Frame steps beyond this many frames seek instead.
    static constexpr int kMaxStepFrames = 12;
    static constexpr int kPollMs = 5;
    // After a start or a rejoin, the pictures settle this long (ns) before the correction looks.
    static constexpr unsigned long long kWatchGrace = 200000000ULL;

    enum class Phase { Stopped, Paused, Seeking, Playing, Stepping };
    struct Rejoin {
        bool active = false;  // seeking ahead, or waiting for its time with the picture held
        bool running = false; // joined; the picture is released at releaseAt
        double target = 0.0;
        int tries = 0;
        unsigned long long releaseAt = 0;
    };

    void Poll();
    void Realign(double target, bool playAfter);
    void StartTogether();
    void BeginStep();
    void StepStage();
    void BringBack(int k, double expected);
    void Rebase(double behind);
    void FinishRejoins();
    bool AllSettled() const;
    void HoldAll(bool hold);
    double PositionAt(unsigned long long now) const;
    double RefPosition() const;
    double Snap(double seconds) const;
    // The middle of the reference's frame on screen (the timeline instant the user sees).
    double ShownMiddle() const;
    // Channel k's offset from the reference's, and its length (infinite when unknown).
    double Offset(int k) const;
    double Length(int k) const;
    bool AnyOffset() const;
    // Dims the channels whose instant at timeline position t lies outside their stream.
    void UpdateDimming(double t);
    void DimAll(bool dim);
    bool OffsetsMoved() const;
    double FramePeriod(int k) const;
    int RefChannel() const;
    void Warn(int k, const char* what);
    void StartPolling();
    unsigned long long Now() const;

    GstClockRef m_clock;
    std::function<unsigned long long()> m_now;
    QTimer* m_poll = nullptr;
    SyncSet m_set;

    Phase m_phase = Phase::Stopped;
    bool m_playAfter = false;       // start once the seek in progress has settled
    bool m_mapped = false;          // every channel's segment start is known: resuming needs no seek
    bool m_keyFramePending = false; // the reference seeks its key frame; the others follow it
    double m_p0 = 0.0;
    unsigned long long m_c0 = 0;
    double m_rate = 1.0;
    long long m_deadlineMs = 0;

    double m_segStart[4] = {0, 0, 0, 0}; // where each channel's segment starts (seconds)
    bool m_locked[4] = {true, true, true, true};
    bool m_warned[4] = {false, false, false, false};
    int m_lag[4] = {0, 0, 0, 0};
    unsigned long long m_watchFrom[4] = {0, 0, 0, 0}; // the correction looks at a channel from then
    Rejoin m_rejoin[4];
    double m_applied[4] = {0, 0, 0, 0}; // the offsets the channels were last placed with
    bool m_dimmed[4] = {false, false, false, false};

    int m_pendingSteps = 0;
    int m_pendingBack = 0; // backward steps asked for while forward steps were under way
    int m_stepStage = 0;
    double m_stepFrom[4] = {0, 0, 0, 0};
    double m_stepTarget = 0.0;
};
