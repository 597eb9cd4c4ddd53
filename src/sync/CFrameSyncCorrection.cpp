#include "sync/CFrameSync.h"

#include "engine/IChannel.h"

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
    double instant[4] = {0, 0, 0, 0};               // the timeline instant of each channel's newest picture
    bool playing[4] = {false, false, false, false}; // on the timeline now: the gate applies
    bool watched[4] = {false, false, false, false}; // and settled: the correction looks at it
    double leastBehind = 1e9;
    int watchedCount = 0;
    for (int k = 0; k < 4; ++k) {
        IChannel* ch = set.IsOpen(k) ? set.channels[k] : nullptr;
        double shown = 0.0;
        const double own = expected + Offset(k);
        // While the set waits for a trailing channel the others' newest pictures wait at the
        // gate: where each channel is, is its newest picture.
        if (ch == nullptr || !set.TakesPart(k) || !m_locked[k] || m_rejoin[k].active || ch->IsAtEnd() ||
            own < 0.0 || own >= set.lengths[k] ||
            !((m_overload && ch->GetNewestPosition(shown)) || ch->GetShownPosition(shown))) {
            m_lag[k] = 0;
            m_still[k] = 0;
            m_lastSeen[k] = -1.0;
            m_moved[k] = false;
            continue;
        }
        playing[k] = true;
        instant[k] = shown - Offset(k);
        if (m_lastSeen[k] >= 0.0 && shown != m_lastSeen[k]) {
            m_moved[k] = true;
            m_still[k] = 0;
        } else {
            ++m_still[k];
        }
        m_lastSeen[k] = shown;
        if (now < m_watchFrom[k]) {
            m_lag[k] = 0;
            continue;
        }
        watched[k] = true;
        ++watchedCount;
        behind[k] = own - shown;
        leastBehind = std::min(leastBehind, behind[k]);
    }
    if (leastBehind < 1e9 && leastBehind > m_limits.setStall * m_rate) {
        // Every picture trails the clock alike: the whole program (or machine) stood still. The
        // set goes on from where its pictures are, as after a pause, instead of chasing the clock.
        Rebase(leastBehind);
        return;
    }
    bool trailing = false;
    bool moving[4] = {false, false, false, false};
    double mostBehind = -1e9; // the furthest behind of the channels that trail
    double widestPeriod = 0.0;
    for (int k = 0; k < 4; ++k) {
        if (!watched[k]) {
            continue;
        }
        // The picture on screen trails the timeline by up to a frame, and by the time the
        // frame takes to reach the screen.
        const double period = FramePeriod(k);
        widestPeriod = std::max(widestPeriod, period);
        const bool late = behind[k] > 2.0 * period + 0.03 * m_rate;
        const bool ahead = behind[k] < -period;
        moving[k] = m_moved[k] && m_still[k] < m_limits.lagTicks / 2;
        // A late channel whose pictures still come trails because the machine cannot keep up:
        // with others beside it, the set waits for it (below); a seek would only cost it more.
        // One whose pictures stopped (a stalled decoder or disk) or one ahead is brought back.
        m_lag[k] = late || ahead ? m_lag[k] + 1 : 0;
        if (late && moving[k] && watchedCount > 1) {
            trailing = true;
            mostBehind = std::max(mostBehind, behind[k]);
        } else if (m_lag[k] >= m_limits.lagTicks) {
            BringBack(k, expected);
        }
    }
    if (trailing && !m_overload) {
        m_overload = true;
        m_calmTicks = 0;
        m_waitTicks = 0;
    }
    if (m_overload) {
        // A channel whose pictures stopped is not waited for: it is brought back.
        for (int k = 0; k < 4; ++k) {
            playing[k] = playing[k] && (!watched[k] || moving[k] || m_lag[k] == 0);
        }
        PaceTogether(playing, instant, mostBehind, trailing, widestPeriod);
    }
}

void CFrameSync::PaceTogether(const bool* playing, const double* instant, double mostBehind, bool trailing,
                              double widestPeriod) {
    // Every pane shows the newest picture it has up to the instant the furthest behind shows:
    // the panes that keep up give up the same instants the trailing one does.
    double slowest = 1e18;
    double fastest = -1e18;
    for (int k = 0; k < 4; ++k) {
        if (playing[k]) {
            slowest = std::min(slowest, instant[k]);
            fastest = std::max(fastest, instant[k]);
        }
    }
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && !m_rejoin[k].active) {
            m_set.channels[k]->GatePictures(playing[k] ? slowest + Offset(k) + FramePeriod(k) / 2.0 : -1.0);
        }
    }
    // The timeline waits for the trailing picture before the others' waiting pictures run out.
    m_waitTicks = mostBehind > m_limits.overloadLag * m_rate ? m_waitTicks + 1 : 0;
    if (m_waitTicks >= 2) {
        m_waitTicks = 0;
        Rebase(mostBehind);
        return;
    }
    // Kept up for long enough: the pictures go up as they come again.
    m_calmTicks = !trailing && fastest - slowest <= widestPeriod ? m_calmTicks + 1 : 0;
    if (m_calmTicks >= m_limits.calmTicks) {
        EndPacing();
    }
}

void CFrameSync::EndPacing() {
    if (m_overload) {
        for (int k = 0; k < 4; ++k) {
            if (m_set.IsOpen(k)) {
                m_set.channels[k]->GatePictures(-1.0);
            }
        }
    }
    m_overload = false;
    m_calmTicks = 0;
    m_waitTicks = 0;
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
    IChannel* ch = m_set.channels[k];
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
        IChannel* ch = m_set.channels[k];
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
