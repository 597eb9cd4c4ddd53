#pragma once
// The correction step of the synchronisation tick: given each channel's position at this tick
// and the reference channel's, it decides which channels run and which wait. The whole-second
// correction is one implementation; a frame-locked one can take its place.
class CChannelGraph;

struct SyncSet {
    CChannelGraph* const* channels = nullptr; // four entries, null = no channel
    const double* lengths = nullptr;          // four lengths; 0 = the channel takes no part
    int openCount = 0;                        // channels still open
};

class CChannelSync {
public:
    virtual ~CChannelSync() = default;
    // ref: the reference channel; refSecs its position; positions: count entries (0 = unknown).
    virtual void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                              int count) = 0;
};
