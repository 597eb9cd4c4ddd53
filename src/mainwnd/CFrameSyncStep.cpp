#include "mainwnd/CFrameSync.h"

#include "engine/CChannelGraph.h"

#include <algorithm>
#include <cmath>

// Frame steps. Forward: every channel steps by the frames its rate puts in one of the reference's,
// then any picture that misses the middle of the reference's new frame is put right. Backward: an
// exact seek to the reference's previous frame.

void CFrameSync::StepFrame(const SyncSet& set) {
    m_set = set;
    if (m_phase == Phase::Playing) {
        Pause(set);
    }
    m_playAfter = false;
    ++m_pendingSteps;
    if (m_phase == Phase::Paused || m_phase == Phase::Stopped) {
        BeginStep();
    }
}

void CFrameSync::StepBack(const SyncSet& set) {
    m_set = set;
    if (m_phase == Phase::Playing) {
        Pause(set);
    }
    m_playAfter = false;
    const int ref = RefChannel();
    if (ref < 0) {
        return;
    }
    if (m_phase == Phase::Stepping) {
        // Forward steps under way: one fewer, or this one back once they are done.
        if (m_pendingSteps > 1) {
            --m_pendingSteps;
        } else {
            ++m_pendingBack;
        }
        return;
    }
    if (m_phase == Phase::Seeking && m_pendingSteps > 0) {
        --m_pendingSteps;
        return;
    }
    // From where a seek (or the previous backward step) is heading, else from the picture shown:
    // repeated presses walk back on the frame grid without drifting.
    const double from = m_phase == Phase::Seeking ? m_p0 : ShownMiddle();
    Realign(Snap(std::max(0.0, from - FramePeriod(ref))), false);
}

void CFrameSync::BeginStep() {
    m_phase = Phase::Stepping;
    m_stepStage = 0;
    m_deadlineMs = 0;
    StartPolling();
    StepStage();
}

void CFrameSync::StepStage() {
    const double nowMs = double(Now()) / 1e6;
    if (m_deadlineMs == 0) {
        m_deadlineMs = static_cast<long long>(nowMs + kSettleBound * 1000.0);
    }
    if (!AllSettled() && nowMs <= double(m_deadlineMs)) {
        return;
    }
    m_deadlineMs = 0;
    const int ref = RefChannel();
    const double refPeriod = FramePeriod(ref);
    if (m_stepStage == 0) {
        // Everyone rests on a picture. The reference steps one frame; the others step as many
        // frames as their rate puts in one of the reference's (one for the same rate).
        for (int k = 0; k < 4; ++k) {
            m_stepFrom[k] = 0.0;
            if (m_set.IsOpen(k)) {
                m_set.channels[k]->GetShownPosition(m_stepFrom[k]);
            }
        }
        for (int k = 0; k < 4; ++k) {
            if (!m_set.IsOpen(k)) {
                continue;
            }
            // A channel waiting on its first picture steps only once its time has come.
            const double own = m_stepFrom[ref] + Offset(k);
            int frames = own >= 0.0 ? 1 : 0;
            if (k != ref && std::abs(FramePeriod(k) - refPeriod) > 1e-4) {
                frames =
                    static_cast<int>(std::floor((own + refPeriod - m_stepFrom[k]) / FramePeriod(k) + 0.03));
            }
            if (AnyOffset() && own + refPeriod >= Length(k)) {
                frames = 0; // it stays on its last picture
            }
            if (frames > 0) {
                m_set.channels[k]->StepFrames(std::min(frames, kMaxStepFrames));
            }
        }
        m_stepTarget = ref >= 0 ? m_stepFrom[ref] + refPeriod : m_p0;
        m_stepStage = 1;
        return;
    }
    if (m_stepStage == 1 && ref >= 0) {
        // Each picture must cover the middle of the reference's new frame: a channel whose
        // frames sit a little apart from the reference's (another rate, another encoder's
        // time stamps) steps on or seeks back to it.
        double shown = m_stepTarget;
        if (m_set.channels[ref]->GetShownPosition(shown)) {
            m_stepTarget = shown;
        }
        for (int k = 0; k < 4; ++k) {
            const double middle = m_stepTarget + refPeriod / 2.0 + Offset(k);
            if (k == ref || !m_set.IsOpen(k) || middle < 0.0 || (AnyOffset() && middle >= Length(k)) ||
                !m_set.channels[k]->GetShownPosition(shown)) {
                continue;
            }
            const double behind = middle - shown;
            const int frames = static_cast<int>(std::floor(behind / FramePeriod(k)));
            if (frames >= 1 && frames <= kMaxStepFrames) {
                m_set.channels[k]->StepFrames(frames);
            } else if ((frames > kMaxStepFrames || behind < 0.0) && m_locked[k]) {
                m_set.channels[k]->SetPositionAndRate(middle, m_rate);
            }
        }
        m_stepStage = 2;
        return;
    }
    // All stepped. Stepping moved the pictures but not the running time: the next start seeks.
    m_p0 = m_stepTarget + refPeriod / 2.0;
    UpdateDimming(m_p0);
    m_mapped = false;
    m_phase = Phase::Paused;
    if (--m_pendingSteps > 0) {
        BeginStep();
    } else if (m_pendingBack > 0) {
        const int back = m_pendingBack;
        m_pendingBack = 0;
        Realign(Snap(std::max(0.0, m_p0 - back * refPeriod)), false);
    }
}
