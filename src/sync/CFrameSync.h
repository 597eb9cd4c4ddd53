#pragma once
// Frame sync: every channel runs on one clock, and each channel's base time is chosen so that
// the same instant of every video reaches the screen at the same moment. The set has one
// timeline: at clock time c0 it stands at position p0 and moves at the rate.
//
// The set is in one of these states, and every command has a defined result in each of them:
//
//   state        what the channels do                      leaves it when
//   Idle         nothing placed yet (a set just opened)    any command that places or plays
//   Paused       rest on the frames of one instant         a command
//   Seeking      head for the frames of one instant,       all have prerolled (or the settle bound
//                pictures held; then rest or start          passed): Paused, or Playing together
//                (to rest: each pane's goes up as it lands)
//   KeySeeking   the reference heads for its key frame     it has landed: Seeking to that frame
//                nearest a place (a seek-bar click or      (the one before the place, then the one
//                drag); one key seek at a time, the        after it: the nearer of the two)
//                newest next
//   Stepping     frame steps under way, or the panes a     the steps are done: Paused (or Seeking,
//                pause left a frame apart put on one        when steps back or play follow)
//                instant
//   Playing      run together on the timeline              a command, or the whole set stalled
//
//   command   Idle / Paused         Seeking / KeySeeking       Stepping           Playing
//   Play      Seeking, then play    play once it lands         play once stepped  -
//             (Paused, placed: at once)
//   Pause     -                     rest once it lands         rest once stepped  Stepping to one
//                                                                                 instant, Paused
//   Seek      Seeking to the frame  the newest seek wins       Seeking            Seeking, play on
//   KeySeek   KeySeeking            the newest seek wins       KeySeeking         KeySeeking, play on
//   Rate      kept for the start    applies when it lands      kept               Seeking, play on
//                                                                                 (its own rate: -)
//   Step      Stepping              from the seek's target     one more step      Stepping, Paused
//   StepBack  Seeking a frame back  a frame back from target   one step fewer     as when Paused
//   Offsets   Seeking, new places   Seeking, new places        Seeking            Seeking, play on
//   Stalled   -                     -                          -                  Seeking, play on
//   Reset     Idle                  Idle                       Idle               Idle
//
// - Pause and resume only move the timeline (the base times shift by the paused time).
// - A frame step steps the reference one frame and every other channel to the frame of the
//   reference's new instant; the next start seeks them exactly there, since stepping leaves the
//   running time behind.
// - Time offsets: channel k shows the timeline's instant t at its own position t + its offset
//   from the reference's. A channel whose instant lies before its start waits on its first
//   picture (its base time is in the future, so it starts by itself when its time comes); one
//   past its end shows its last picture. Either is dimmed while the set has offsets.
// - The correction step of each tick compares the picture each channel shows with the
//   timeline at frame precision; a channel that stays out of tolerance (a decoder stall, a slow
//   disk, the process stopped for a while) seeks ahead alone and joins the timeline again.
//   A channel that trails while its pictures still come (the machine cannot decode all in
//   time) is not sought: the other panes show the instant it shows, and the timeline waits
//   for it once it is a few frames behind, so the panes drop the same instants together.
//
// Long operations run beside the event loop: the object polls the channels on a short timer
// while one is in progress. A channel that cannot seek keeps the clock but not the frame lock,
// and this is said once on standard error.
#include "engine/GstRef.h"
#include "sync/CChannelSync.h"

#include <QObject>

#include <functional>

class QTimer;

// Every tolerance and bound of frame sync, in one place.
struct FrameSyncLimits {
    // Consecutive ticks a channel may stay out of tolerance before it is brought back.
    int lagTicks = 25;
    // Every channel this far behind the timeline (seconds, at rate 1): the whole set stalled.
    double setStall = 0.25;
    // Time from the moment every channel is ready to the first picture: enough for four
    // pipelines to go to playing and for the sound to start (seconds).
    double startMargin = 0.05;
    // How long a seek or step may take before the set goes on without the channels still busy.
    double settleBound = 5.0;
    // How far ahead of the timeline a channel brought back seeks, at rate 1 (doubled per retry).
    double rejoinLead = 0.4;
    int rejoinTries = 3;
    // Frame steps beyond this many frames seek instead.
    int maxStepFrames = 12;
    // How often the channels are looked at while a move is under way.
    int pollMs = 5;
    // After a start or a rejoin, the pictures settle this long (ns) before the correction looks.
    unsigned long long watchGraceNs = 200000000ULL;
    // While a channel trails because the machine cannot keep up, the set waits for it once it
    // is this far behind the timeline (seconds, at rate 1), and the panes show one instant
    // until every channel has kept up for calmTicks ticks.
    double overloadLag = 0.1;
    int calmTicks = 100;
};

class CFrameSync : public QObject, public CChannelSync {
    Q_OBJECT
public:
    enum class State { Idle, Paused, Seeking, KeySeeking, Stepping, Playing };

    explicit CFrameSync(QObject* parent = nullptr);
    ~CFrameSync() override;

    void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                      int count) override;
    // The picture on screen: the play time never runs ahead of what the panes show.
    bool ReadPosition(IChannel& channel, double& seconds) override;
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

    State CurrentState() const { return m_state; }
    // Play follows once the move in progress has landed.
    bool PlaysAfter() const { return m_playAfter; }
    static const char* StateName(State state);
    // The set's position on the timeline, in seconds (the target of a move in progress).
    double TimelinePosition() const;
    // A seek, start, frame step or rejoining channel is still on its way.
    bool Busy() const;
    bool IsPlaying() const { return m_state == State::Playing; }
    const FrameSyncLimits& Limits() const { return m_limits; }
    void SetLimits(const FrameSyncLimits& limits);
    // Where the time comes from (nanoseconds of the shared clock); tests script it.
    void SetClockSource(std::function<unsigned long long()> now);
    // Who runs the poll while a move is under way: by default a timer of Limits().pollMs; a test
    // may take it over (told to run or stop) and call PollNow itself.
    void SetPollDriver(std::function<void(bool run)> driver);
    void PollNow() { Poll(); }

signals:
    // A move (seek, start, frame step, pause) has come to rest: what the panes show now is
    // where the set stands, and the window may show that place.
    void landed();

private:
    static constexpr double kNs = 1e9;

    struct Rejoin {
        bool active = false;  // seeking ahead, or waiting for its time with the picture held
        bool running = false; // joined; the picture is released at releaseAt
        double target = 0.0;
        int tries = 0;
        unsigned long long releaseAt = 0;
    };

    void Poll();
    void PollSeek();
    void LandKeyFrame();
    void Realign(double target, bool playAfter);
    void StartTogether();
    void BeginStep();
    void StepStage();
    void BringBack(int k, double expected);
    void Rebase(double behind);
    void PaceTogether(const bool* playing, const double* instant, double mostBehind, bool trailing,
                      double widestPeriod);
    // Every command ends the pacing: the pictures go up as they come again.
    void EndPacing();
    void FinishRejoins();
    bool AllSettled() const;
    bool PastDeadline();
    void HoldAll(bool hold);
    void PauseChannels();
    void DropRejoins();
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
    void StopPolling();
    bool Polling() const;
    unsigned long long Now() const;

    FrameSyncLimits m_limits;
    GstClockRef m_clock;
    std::function<unsigned long long()> m_now;
    std::function<void(bool)> m_pollDriver;
    bool m_driverRunning = false;
    QTimer* m_poll = nullptr;
    SyncSet m_set;

    State m_state = State::Idle;
    bool m_playAfter = false; // start once the move in progress has landed
    bool m_mapped = false;    // every channel's segment start is known: resuming needs no seek
    double m_p0 = 0.0;
    unsigned long long m_c0 = 0;
    double m_rate = 1.0;
    double m_placedRate = 1.0; // the rate the channels' segments were placed with
    double m_keyTarget = 0.0;  // the place of the newest key seek
    bool m_keyIssued = false;  // the reference is on its way there (else it waits to be sent)
    bool m_keyAfter = false;   // and then to the key frame after the place (the first landed before)
    double m_keyBefore = 0.0;  // where it landed first: the key frame at or before the place
    long long m_deadlineMs = 0;

    double m_segStart[4] = {0, 0, 0, 0}; // where each channel's segment starts (seconds)
    bool m_locked[4] = {true, true, true, true};
    bool m_warned[4] = {false, false, false, false};
    int m_lag[4] = {0, 0, 0, 0};
    unsigned long long m_watchFrom[4] = {0, 0, 0, 0}; // the correction looks at a channel from then
    Rejoin m_rejoin[4];
    bool m_overload = false; // a channel trails: the panes show the instant it shows
    int m_calmTicks = 0;
    int m_waitTicks = 0;
    int m_still[4] = {0, 0, 0, 0};                  // ticks each channel's picture stayed the same
    double m_lastSeen[4] = {-1, -1, -1, -1};        // and that picture's position
    bool m_moved[4] = {false, false, false, false}; // its picture changed while it was looked at
    double m_applied[4] = {0, 0, 0, 0};             // the offsets the channels were last placed with
    bool m_dimmed[4] = {false, false, false, false};

    int m_pendingSteps = 0;
    int m_pendingBack = 0; // backward steps asked for while forward steps or a key seek were under way
    int m_stepStage = 0;
    int m_stepRound = 0;      // rounds of single steps putting the others on the reference's frame
    bool m_aligning = false;  // no step: the panes a pause left a frame apart are put on one instant
    bool m_stepMoved = false; // a channel was stepped or sought on its own since the set was placed
    double m_stepFrom[4] = {0, 0, 0, 0};
    double m_stepTarget = 0.0;
};
