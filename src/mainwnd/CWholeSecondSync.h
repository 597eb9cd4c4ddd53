#pragma once
// Whole-second correction: every channel is set running at each tick; a channel whose position
// in whole seconds is ahead of the reference's waits for this tick, and the reference waits when
// any channel lags behind it by a whole-second boundary.
#include "mainwnd/CChannelSync.h"

class CWholeSecondSync : public CChannelSync {
public:
    void SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                      int count) override;
};
