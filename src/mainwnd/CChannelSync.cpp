#include "mainwnd/CChannelSync.h"

#include "engine/CChannelGraph.h"

bool SyncSet::IsOpen(int k) const {
    return k >= 0 && k < 4 && channels != nullptr && channels[k] != nullptr &&
           (paths == nullptr || !paths[k].isEmpty());
}

bool SyncSet::TakesPart(int k) const {
    return IsOpen(k) && lengths != nullptr && lengths[k] > 0.0;
}

bool CChannelSync::ReadPosition(CChannelGraph& channel, double& seconds) {
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
            set.channels[i]->SetCurrentPosition(seconds);
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

void CChannelSync::Adopt(const SyncSet&, bool) {}

void CChannelSync::Leave(const SyncSet&) {}

void CChannelSync::Reset() {}
