#pragma once
// How the set is kept in step. The correction step of the synchronisation tick gets each
// channel's position at this tick and the reference channel's, and decides which channels run
// and which wait; the transport commands reach the channels through the same object, because a
// synchronisation that holds the channels to one clock must move them together.
//
// The default transport acts on each open channel alone, as the whole-second correction wants.
#include <QString>

class IChannel;

struct SyncSet {
    IChannel* const* channels = nullptr; // four entries, null = no channel
    const double* lengths = nullptr;     // four lengths; 0 = the channel takes no part
    int openCount = 0;                   // channels still open
    const QString* paths = nullptr;      // four paths; empty = the channel is not open
    const double* frameRates = nullptr;  // four frame rates; 0 = unknown
    int ref = -1;                        // the reference channel, -1 = none
    double rate = 1.0;                   // the rate of the last rate command
    // Four time offsets in seconds (null = none): channel k shows the reference's instant t at
    // its own position t + offsets[k].
    const double* offsets = nullptr;

    // The channel has a path, a graph and a length (transport commands act on it).
    bool IsOpen(int k) const;
    // The channel is open and has a length (it takes part in the ticks).
    bool TakesPart(int k) const;
    // Channel k's offset from the reference's (seconds): at the reference's position t it shows
    // its own t + OffsetOf(k). 0 without offsets.
    double OffsetOf(int k) const;
};

class CChannelSync {
public:
    virtual ~CChannelSync() = default;
    // ref: the reference channel; refSecs its position; positions: count entries (0 = unknown).
    virtual void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                              int count) = 0;

    // The position the ticks show and judge the end of play by.
    virtual bool ReadPosition(IChannel& channel, double& seconds);

    virtual void Play(const SyncSet& set);
    virtual void Pause(const SyncSet& set);
    // Seeks every open channel to seconds.
    virtual void Seek(const SyncSet& set, double seconds);
    // A seek where speed matters more than the exact time (the seek bar): the set may land on
    // a key frame near seconds.
    virtual void SeekToKeyFrame(const SyncSet& set, double seconds);
    virtual void SetRate(const SyncSet& set, double rate);
    virtual void StepFrame(const SyncSet& set);
    // The ticks stood still for a while (the process was stopped, the machine suspended): each
    // channel's clock has run on without it. Puts the set back in step at refSecs, the
    // reference channel's position.
    virtual void Stalled(const SyncSet& set, double refSecs);
    // One frame back on every channel, to the frame of the same instant (a frame-exact seek).
    virtual void StepBack(const SyncSet& set);
    // The offsets changed: the channels go to their new places, the reference moving by
    // refShift seconds (the others keep what they show unless their own offset changed).
    virtual void OffsetsChanged(const SyncSet& set, double refShift);
    // Another synchronisation takes over (playing: the set was playing).
    virtual void Adopt(const SyncSet& set, bool playing);
    // This synchronisation hands the set over to another.
    virtual void Leave(const SyncSet& set);
    // The set was closed; a new one may open.
    virtual void Reset();
};
