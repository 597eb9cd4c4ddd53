#include "mainwnd/CWholeSecondSync.h"

#include "engine/CChannelGraph.h"

#include <cmath>

namespace {
bool CanPause(const SyncSet& set, int k) {
    return k >= 0 && k < 4 && set.channels[k] != nullptr && set.lengths[k] > 0.0;
}
} // namespace

void CWholeSecondSync::SyncChannels(const SyncSet& set, int ref, double refSecs, const double* positions,
                                    int count) {
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
