#include "sync/CChannelSync.h"

#include "engine/IChannel.h"

#include <algorithm>
#include <cmath>

bool SyncSet::IsOpen(int k) const {
    // A file that did not open keeps its channel object but no pipeline, and no length.
    return k >= 0 && k < 4 && channels != nullptr && channels[k] != nullptr &&
           (paths == nullptr || !paths[k].isEmpty()) && (lengths == nullptr || lengths[k] > 0.0);
}

bool SyncSet::TakesPart(int k) const {
    return IsOpen(k) && lengths != nullptr && lengths[k] > 0.0;
}

double SyncSet::OffsetOf(int k) const {
    if (offsets == nullptr || k < 0 || k > 3) {
        return 0.0;
    }
    return offsets[k] - (ref >= 0 && ref < 4 ? offsets[ref] : 0.0);
}

bool CChannelSync::ReadPosition(IChannel& channel, double& seconds) {
    return channel.GetCurrentPosition(seconds);
}

void CChannelSync::Play(const SyncSet& set) {
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->Run();
        }
    }
}

void CChannelSync::Pause(const SyncSet& set) {
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->Pause();
        }
    }
}

void CChannelSync::Seek(const SyncSet& set, double seconds) {
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->SetCurrentPosition(std::max(0.0, seconds + set.OffsetOf(i)));
        }
    }
}

void CChannelSync::SeekToKeyFrame(const SyncSet& set, double seconds) {
    Seek(set, seconds);
}

void CChannelSync::SetRate(const SyncSet& set, double rate) {
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->SetRate(rate);
        }
    }
}

void CChannelSync::StepFrame(const SyncSet& set) {
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->StepOneFrame();
        }
    }
}

void CChannelSync::Stalled(const SyncSet& set, double refSecs) {
    Seek(set, refSecs);
}

void CChannelSync::StepBack(const SyncSet& set) {
    for (int i = 0; i < 4; ++i) {
        if (!set.IsOpen(i)) {
            continue;
        }
        IChannel* ch = set.channels[i];
        ch->Pause();
        const double fps = set.frameRates != nullptr && set.frameRates[i] > 0.0 ? set.frameRates[i] : 25.0;
        double at = 0.0;
        // The frame shown is the one whose start is nearest; the middle of the one before it.
        const double frame = ch->GetCurrentPosition(at) ? std::floor(at * fps + 0.5) : 0.0;
        if (frame >= 1.0) {
            ch->SetCurrentPositionExact((frame - 0.5) / fps);
        }
    }
}

void CChannelSync::OffsetsChanged(const SyncSet& set, double refShift) {
    double at = 0.0;
    if (!set.IsOpen(set.ref) || !set.channels[set.ref]->GetCurrentPosition(at)) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (set.IsOpen(i)) {
            set.channels[i]->SetCurrentPositionExact(std::max(0.0, at + refShift + set.OffsetOf(i)));
        }
    }
}

void CChannelSync::Adopt(const SyncSet&, bool) {}

void CChannelSync::Leave(const SyncSet&) {}

void CChannelSync::Reset() {}
