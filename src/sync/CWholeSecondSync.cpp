#include "sync/CWholeSecondSync.h"

#include "engine/IChannel.h"

#include <algorithm>
#include <cmath>

namespace {
bool CanPause(const SyncSet& set, int k) {
    return k >= 0 && k < 4 && set.channels[k] != nullptr && set.lengths[k] > 0.0;
}
// How long the set waits for a channel to settle after a stall (ticks of 10 ms).
constexpr int kResumeTicks = 300;
} // namespace

void CWholeSecondSync::Stalled(const SyncSet& set, double refSecs) {
    Pause(set);
    for (int k = 0; k < 4; ++k) {
        if (set.IsOpen(k)) {
            set.channels[k]->SetCurrentPositionExact(std::max(0.0, refSecs + set.OffsetOf(k)));
        }
    }
    m_resumeTicks = kResumeTicks;
}

void CWholeSecondSync::SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                                    int count) {
    if (m_resumeTicks > 0) {
        --m_resumeTicks;
        for (int k = 0; k < 4; ++k) {
            if (m_resumeTicks > 0 && set.TakesPart(k) && !set.channels[k]->IsSettled()) {
                return;
            }
        }
        m_resumeTicks = 0;
    }
    for (int k = 0; k < 4; ++k) {
        if (set.lengths[k] > 0.0 && set.channels[k] != nullptr) {
            set.channels[k]->Run();
        }
    }
    if (set.openCount < 2) {
        return;
    }
    const long long base = static_cast<long long>(refSecs);
    for (int i = 0; i < count && i < 4; ++i) {
        if (!(positions[i] > 0.0)) {
            continue;
        }
        // Compared on the reference's time: a channel with an offset shows its instant elsewhere.
        const long long p = static_cast<long long>(std::floor(positions[i] - set.OffsetOf(i)));
        if (base < p && CanPause(set, i)) {
            set.channels[i]->Pause();
        }
        if (base > p && CanPause(set, ref)) {
            set.channels[ref]->Pause();
        }
    }
}
