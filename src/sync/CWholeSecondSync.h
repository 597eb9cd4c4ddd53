#pragma once
// Whole-second correction: every channel is set running at each tick; a channel whose position
// in whole seconds is ahead of the reference's waits for this tick, and the reference waits when
// any channel lags behind it by a whole-second boundary.
#include "sync/CChannelSync.h"

class CWholeSecondSync : public CChannelSync {
public:
    void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                      int count) override;
    // After a stall the set waits, paused at the reference's position (exactly, not at a key
    // frame), until every channel has its picture there, and then starts together: each
    // channel's clock starts from that tick.
    void Stalled(const SyncSet& set, double refSecs) override;
    void Reset() override { m_resumeTicks = 0; }

private:
    int m_resumeTicks = 0; // ticks left to wait for the channels after a stall; 0 = not waiting
};
