// A seek-bar click or drag: the reference goes to the key frame nearest the place (quick), and
// every other pane then to that frame exactly.
#include "sync/CFrameSync.h"

#include "engine/IChannel.h"

#include <algorithm>

void CFrameSync::SeekToKeyFrame(const SyncSet& set, double seconds) {
    m_set = set;
    EndPacing();
    const int ref = RefChannel();
    const bool play = m_state == State::Playing || m_playAfter;
    m_pendingSteps = 0;
    m_pendingBack = 0;
    seconds = std::max(0.0, seconds);
    if (ref < 0 || !m_locked[ref]) {
        Realign(Snap(seconds), play);
        return;
    }
    // The reference lands on its key frame (quick); the others then go to that frame exactly.
    // One key seek at a time: the newest place waits until the reference has settled, so that
    // the landing read is of the newest seek (a pipeline reports each seek's end alike).
    if (m_state != State::KeySeeking) {
        for (int k = 0; k < 4; ++k) {
            m_lag[k] = 0;
            m_rejoin[k] = Rejoin();
            if (m_set.IsOpen(k)) {
                m_set.channels[k]->HoldPicture(true);
                m_set.channels[k]->Pause();
            }
        }
    }
    m_keyTarget = seconds;
    m_keyIssued = false;
    m_keyAfter = false;
    m_p0 = seconds;
    m_playAfter = play;
    m_state = State::KeySeeking;
    m_deadlineMs = 0;
    StartPolling();
    LandKeyFrame();
}

void CFrameSync::LandKeyFrame() {
    const int ref = RefChannel();
    if (ref < 0) {
        Realign(Snap(m_keyTarget), m_playAfter);
        return;
    }
    IChannel* lead = m_set.channels[ref];
    if (!lead->IsSettled() && !PastDeadline()) {
        return;
    }
    if (!m_keyIssued) {
        lead->UseClock(m_clock.get());
        if (!lead->SetPositionAndRate(m_keyTarget, m_rate, true)) {
            Realign(Snap(m_keyTarget), m_playAfter);
            return;
        }
        m_keyIssued = true;
        m_deadlineMs = 0;
        return;
    }
    // The key frame waits behind the held picture: its own time says where it landed.
    double landed = m_keyTarget;
    if (!lead->GetNewestPosition(landed)) {
        lead->GetShownPosition(landed);
    }
    // Landed before the place: the key frame after it may be nearer (a seek past the last key
    // frame ends the stream, and leaves the one before).
    if (!m_keyAfter && landed < m_keyTarget - FramePeriod(ref) / 2.0) {
        m_keyAfter = true;
        m_keyBefore = landed;
        if (lead->SeekKeyFrameAfter(m_keyTarget, m_rate)) {
            m_deadlineMs = 0;
            return;
        }
    } else if (m_keyAfter && (lead->IsAtEnd() || landed < m_keyTarget ||
                              landed - m_keyTarget >= m_keyTarget - m_keyBefore)) {
        landed = m_keyBefore;
    }
    // Steps back asked for meanwhile count from the key frame.
    const double back = m_pendingBack * FramePeriod(ref);
    m_pendingBack = 0;
    Realign(Snap(std::max(0.0, landed - back)), m_playAfter);
}
