#include "sync/CFrameSync.h"

#include "engine/CChannelGraph.h"

#include <algorithm>
#include <cmath>

// The correction step of every tick: each channel's picture against the timeline, a channel
// that stays out of tolerance brought back alone, a stall of the whole set taken as a pause.

void CFrameSync::SyncChannels(const SyncSet& set, int, double, const double*, int) {
    m_set = set;
    if (m_state != State::Playing) {
        return;
    }
    const unsigned long long now = Now();
    if (now < m_c0) {
        return; // not started yet
    }
    const double expected = PositionAt(now);
    UpdateDimming(expected);
    double behind[4] = {0, 0, 0, 0};
    bool watched[4] = {false, false, false, false};
    double leastBehind = 1e9;
    for (int k = 0; k < 4; ++k) {
        CChannelGraph* ch = set.IsOpen(k) ? set.channels[k] : nullptr;
        double shown = 0.0;
        const double own = expected + Offset(k);
        if (ch == nullptr || !set.TakesPart(k) || !m_locked[k] || m_rejoin[k].active ||
            now < m_watchFrom[k] || ch->IsAtEnd() || own < 0.0 || own >= set.lengths[k] ||
            !ch->GetShownPosition(shown)) {
            m_lag[k] = 0;
            continue;
        }
        watched[k] = true;
        behind[k] = own - shown;
        leastBehind = std::min(leastBehind, behind[k]);
    }
    if (leastBehind < 1e9 && leastBehind > m_limits.setStall * m_rate) {
        // Every picture trails the clock alike: the whole program (or machine) stood still. The
        // set goes on from where its pictures are, as after a pause, instead of chasing the clock.
        Rebase(leastBehind);
        return;
    }
    for (int k = 0; k < 4; ++k) {
        if (!watched[k]) {
            continue;
        }
        // The picture on screen trails the timeline by up to a frame, and by the time the
        // frame takes to reach the screen.
        const double period = FramePeriod(k);
        const bool out = behind[k] > 2.0 * period + 0.03 * m_rate || behind[k] < -period;
        m_lag[k] = out ? m_lag[k] + 1 : 0;
        if (m_lag[k] >= m_limits.lagTicks) {
            BringBack(k, expected);
        }
    }
}

void CFrameSync::Rebase(double behind) {
    // The channels rest where their pictures are (no seek: their segments stay) and start
    // together again from there.
    const double at = PositionAt(Now()) - behind;
    PauseChannels();
    m_p0 = std::max(0.0, at);
    for (int& lag : m_lag) {
        lag = 0;
    }
    m_playAfter = true;
    m_state = State::Seeking;
    m_deadlineMs = 0;
    StartPolling();
}

void CFrameSync::BringBack(int k, double expected) {
    CChannelGraph* ch = m_set.channels[k];
    Rejoin& r = m_rejoin[k];
    const double lead = m_limits.rejoinLead * m_rate * double(1 << std::min(r.tries, m_limits.rejoinTries));
    const double target = Snap(expected + lead);
    const double own = target + Offset(k);
    if (own >= Length(k)) {
        m_lag[k] = 0;
        return; // its end comes before it could join again
    }
    ch->HoldPicture(true);
    ch->Pause();
    m_lag[k] = 0;
    if (!ch->SetPositionAndRate(own, m_rate)) {
        m_locked[k] = false;
        Warn(k, "cannot seek; it keeps the shared clock but not the frame lock");
        ch->HoldPicture(false);
        ch->Run();
        r = Rejoin();
        return;
    }
    r.active = true;
    r.target = target;
    m_segStart[k] = own;
    StartPolling();
}

void CFrameSync::FinishRejoins() {
    const unsigned long long now = Now();
    for (int k = 0; k < 4; ++k) {
        Rejoin& r = m_rejoin[k];
        if (!r.active) {
            continue;
        }
        if (!m_set.IsOpen(k)) {
            r = Rejoin();
            continue;
        }
        CChannelGraph* ch = m_set.channels[k];
        if (r.running) {
            // Its first frame is due: the picture goes up as the others show the same instant.
            if (now >= r.releaseAt) {
                ch->HoldPicture(false);
                m_watchFrom[k] = now + m_limits.watchGraceNs;
                r = Rejoin();
            }
            continue;
        }
        if (!ch->IsSettled()) {
            continue;
        }
        const double base = double(m_c0) + (r.target - m_p0) / m_rate * kNs;
        if (base < double(now) + 0.005 * kNs && r.tries < m_limits.rejoinTries) {
            // The seek took longer than the lead: try again further ahead.
            ++r.tries;
            r.active = false;
            BringBack(k, PositionAt(now));
            continue;
        }
        if (base < double(now)) {
            Warn(k, "cannot keep up with the others");
        }
        ch->SetBaseTime(static_cast<unsigned long long>(std::max(0.0, base)));
        ch->Run();
        r.running = true;
        r.releaseAt = static_cast<unsigned long long>(std::max(0.0, base));
    }
}
