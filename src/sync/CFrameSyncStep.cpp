#include "sync/CFrameSync.h"

#include "engine/IChannel.h"

#include <algorithm>
#include <cmath>

// Frame steps. Forward: every channel steps by the frames its rate puts in one of the reference's,
// then any picture that misses the middle of the reference's new frame is put right. Backward: an
// exact seek to the reference's previous frame.

void CFrameSync::StepFrame(const SyncSet& set) {
    m_set = set;
    EndPacing();
    ++m_pendingSteps;
    m_playAfter = false;
    switch (m_state) {
    case State::Playing:
        Pause(set);
        BeginStep();
        return;
    case State::Paused:
    case State::Idle:
        BeginStep();
        return;
    case State::Seeking:
    case State::KeySeeking:
    case State::Stepping:
        return; // from where the move in progress lands
    }
}

void CFrameSync::StepBack(const SyncSet& set) {
    m_set = set;
    EndPacing();
    m_playAfter = false;
    const int ref = RefChannel();
    if (ref < 0) {
        return;
    }
    switch (m_state) {
    case State::Playing:
        Pause(set);
        break;
    case State::Stepping:
    case State::KeySeeking:
        // Forward steps waiting: one fewer; else this one back once the step under way (or the
        // key frame) is there.
        if (m_pendingSteps > (m_state == State::Stepping && !m_aligning ? 1 : 0)) {
            --m_pendingSteps;
        } else {
            ++m_pendingBack;
        }
        return;
    case State::Seeking:
        if (m_pendingSteps > 0) {
            --m_pendingSteps;
            return;
        }
        // From where the seek (or the previous backward step) is heading: repeated presses walk
        // back on the frame grid without drifting.
        Realign(Snap(std::max(0.0, m_p0 - FramePeriod(ref))), false);
        return;
    case State::Paused:
    case State::Idle:
        break;
    }
    Realign(Snap(std::max(0.0, ShownMiddle() - FramePeriod(ref))), false);
}

void CFrameSync::BeginStep() {
    m_aligning = false;
    m_state = State::Stepping;
    m_stepStage = 0;
    m_deadlineMs = 0;
    StartPolling();
    StepStage();
}

void CFrameSync::StepStage() {
    if (!AllSettled() && !PastDeadline()) {
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
            // The reference one frame; the others one at most, then as many as the next rounds
            // find they need (a nominal rate does not say where a variable-rate file's frames are).
            if (frames > 0) {
                m_set.channels[k]->StepFrames(1);
            }
        }
        m_stepTarget = ref >= 0 ? m_stepFrom[ref] + refPeriod : m_p0;
        m_stepStage = 1;
        m_stepRound = 0;
        return;
    }
    if (m_stepStage == 1 && ref >= 0) {
        // Each picture must cover the middle of the reference's new frame: a channel whose
        // frames sit a little apart from the reference's (another rate, another encoder's
        // time stamps) steps on or seeks back to it.
        double shown = m_stepTarget;
        bool stepped = false;
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
            // One frame at a time: the frames of a variable-rate file are not where its nominal
            // rate puts them. A channel ahead, or far behind, seeks there once.
            const int frames = static_cast<int>(std::floor(behind / FramePeriod(k)));
            if (frames >= 1 && frames <= m_limits.maxStepFrames) {
                m_set.channels[k]->StepFrames(1);
                m_stepMoved = true;
                stepped = true;
            } else if (m_stepRound == 0 && (frames > m_limits.maxStepFrames || behind < 0.0) && m_locked[k]) {
                m_set.channels[k]->SetPositionAndRate(middle, m_rate);
                m_stepMoved = true;
            }
        }
        // Round again while single steps are under way.
        if (stepped && ++m_stepRound < m_limits.maxStepFrames) {
            return;
        }
        m_stepStage = 2;
        return;
    }
    // All stepped. Stepping moved the pictures but not the running time: the next start seeks.
    m_p0 = m_stepTarget + refPeriod / 2.0;
    UpdateDimming(m_p0);
    // A pause whose panes all stood on the instant keeps the channels' running times: resuming
    // needs no seek.
    if (!m_aligning || m_stepMoved) {
        m_mapped = false;
    }
    m_pendingSteps = std::max(0, m_pendingSteps - (m_aligning ? 0 : 1));
    m_aligning = false;
    m_state = State::Paused;
    if (m_pendingSteps > 0) {
        BeginStep();
    } else if (m_playAfter && m_pendingBack == 0 && m_mapped) {
        Play(m_set);
    } else if (m_pendingBack > 0 || m_playAfter) {
        // Steps back asked for meanwhile, or play: from the stepped picture.
        const int back = m_pendingBack;
        m_pendingBack = 0;
        Realign(Snap(std::max(0.0, m_p0 - back * refPeriod)), m_playAfter);
    }
}
