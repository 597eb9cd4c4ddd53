#include "sync/CFrameSync.h"

#include "engine/CSystemClock.h"
#include "engine/IChannel.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

CFrameSync::CFrameSync(QObject* parent) : QObject(parent), m_clock(CSystemClock::Create()) {
    m_poll = new QTimer(this);
    m_poll->setInterval(m_limits.pollMs);
    connect(m_poll, &QTimer::timeout, this, &CFrameSync::Poll);
}

CFrameSync::~CFrameSync() = default;

void CFrameSync::SetClockSource(std::function<unsigned long long()> now) {
    m_now = std::move(now);
}

void CFrameSync::SetPollDriver(std::function<void(bool run)> driver) {
    m_poll->stop();
    m_pollDriver = std::move(driver);
}

void CFrameSync::SetLimits(const FrameSyncLimits& limits) {
    m_limits = limits;
    m_poll->setInterval(m_limits.pollMs);
}

unsigned long long CFrameSync::Now() const {
    return m_now ? m_now() : gst_clock_get_time(m_clock.get());
}

// ---------------------------------------------------------------------------------------------
// The commands: each has a defined result in every state (see the table in the header).

bool CFrameSync::ReadPosition(IChannel& channel, double& seconds) {
    return channel.GetShownPosition(seconds);
}

void CFrameSync::Play(const SyncSet& set) {
    m_set = set;
    EndPacing();
    switch (m_state) {
    case State::Playing:
        return;
    case State::Seeking:
    case State::KeySeeking:
    case State::Stepping:
        m_playAfter = true;
        return;
    case State::Paused:
        if (m_mapped && !OffsetsMoved() && m_placedRate == m_rate) {
            // Resuming only moves the timeline; a channel brought back may still be prerolling.
            m_playAfter = true;
            m_state = State::Seeking;
            m_deadlineMs = 0;
            StartPolling();
            Poll();
            return;
        }
        Realign(Snap(m_p0), true);
        return;
    case State::Idle:
        Realign(Snap(RefPosition()), true);
        return;
    }
}

void CFrameSync::Pause(const SyncSet& set) {
    m_set = set;
    EndPacing();
    switch (m_state) {
    case State::Playing:
        // Each pane stops on its own frame, a frame short of the others' at times: they are put
        // on the reference's instant once all have paused.
        m_p0 = PositionAt(Now());
        PauseChannels();
        DropRejoins();
        m_aligning = true;
        m_stepMoved = false;
        m_state = State::Stepping;
        m_stepStage = 1;
        m_stepRound = 0;
        m_stepTarget = m_p0 - FramePeriod(RefChannel()) / 2.0;
        m_deadlineMs = 0;
        StartPolling();
        return;
    case State::Seeking:
    case State::KeySeeking:
    case State::Stepping:
        m_playAfter = false;
        break;
    case State::Paused:
    case State::Idle:
        break;
    }
    PauseChannels();
}

void CFrameSync::Seek(const SyncSet& set, double seconds) {
    m_set = set;
    EndPacing();
    const bool play = m_state == State::Playing || m_playAfter;
    m_pendingSteps = 0;
    m_pendingBack = 0;
    Realign(Snap(std::max(0.0, seconds)), play);
}

void CFrameSync::SetRate(const SyncSet& set, double rate) {
    m_set = set;
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        return;
    }
    // The rate the set plays at already: nothing to do (a seek would only jolt the panes).
    if (m_state == State::Playing && rate == m_placedRate) {
        m_rate = rate;
        return;
    }
    EndPacing();
    m_rate = rate;
    switch (m_state) {
    case State::Playing:
        m_pendingSteps = 0;
        m_pendingBack = 0;
        Realign(Snap(PositionAt(Now())), true);
        return;
    case State::Seeking:
    case State::KeySeeking:
    case State::Stepping:
    case State::Paused:
    case State::Idle:
        // Kept: a seek applies it when it lands, the next start places the channels with it.
        return;
    }
}

void CFrameSync::OffsetsChanged(const SyncSet& set, double refShift) {
    m_set = set;
    EndPacing();
    const bool play = m_state == State::Playing || m_playAfter;
    double at = m_p0;
    switch (m_state) {
    case State::Playing:
        at = PositionAt(Now());
        break;
    case State::Seeking:
    case State::KeySeeking:
        break;
    case State::Stepping:
    case State::Paused:
    case State::Idle:
        at = ShownMiddle();
        break;
    }
    m_pendingSteps = 0;
    m_pendingBack = 0;
    Realign(Snap(std::max(0.0, at + refShift)), play);
}

void CFrameSync::Stalled(const SyncSet& set, double) {
    m_set = set;
    EndPacing();
    if (m_state == State::Playing) {
        Realign(Snap(PositionAt(Now())), true);
    }
}

void CFrameSync::Adopt(const SyncSet& set, bool playing) {
    Reset();
    m_set = set;
    m_rate = set.rate > 0.0 ? set.rate : 1.0;
    if (playing) {
        Realign(Snap(RefPosition()), true);
    }
}

void CFrameSync::Leave(const SyncSet& set) {
    StopPolling();
    m_set = set;
    HoldAll(false);
    DimAll(false);
    const bool playing = m_state == State::Playing || m_playAfter;
    for (int k = 0; k < 4; ++k) {
        if (!set.IsOpen(k)) {
            continue;
        }
        IChannel* ch = set.channels[k];
        double at = 0.0;
        ch->GetCurrentPosition(at);
        ch->Pause();
        ch->UseClock(nullptr);
        // A flushing seek starts a new running time, from which the pipeline bases itself again.
        ch->SetCurrentPositionExact(at);
        if (playing) {
            ch->Run();
        }
    }
    Reset();
}

void CFrameSync::Reset() {
    StopPolling();
    EndPacing();
    HoldAll(false);
    DimAll(false);
    m_set = SyncSet();
    m_state = State::Idle;
    m_playAfter = false;
    m_mapped = false;
    m_p0 = 0.0;
    m_c0 = 0;
    m_rate = 1.0;
    m_placedRate = 1.0;
    m_pendingSteps = 0;
    m_pendingBack = 0;
    m_stepStage = 0;
    m_aligning = false;
    m_stepMoved = false;
    for (int k = 0; k < 4; ++k) {
        m_segStart[k] = 0.0;
        m_locked[k] = true;
        m_warned[k] = false;
        m_lag[k] = 0;
        m_watchFrom[k] = 0;
        m_rejoin[k] = Rejoin();
        m_applied[k] = 0.0;
        m_still[k] = 0;
        m_lastSeen[k] = -1.0;
        m_moved[k] = false;
    }
}

bool CFrameSync::Busy() const {
    switch (m_state) {
    case State::Seeking:
    case State::KeySeeking:
    case State::Stepping:
        return true;
    case State::Playing:
    case State::Paused:
    case State::Idle:
        break;
    }
    return std::any_of(std::begin(m_rejoin), std::end(m_rejoin), [](const Rejoin& r) { return r.active; });
}

// ---------------------------------------------------------------------------------------------
// Moving the set together

void CFrameSync::Realign(double target, bool playAfter) {
    for (int k = 0; k < 4; ++k) {
        m_lag[k] = 0;
        m_rejoin[k] = Rejoin();
        if (!m_set.IsOpen(k)) {
            continue;
        }
        IChannel* ch = m_set.channels[k];
        if (m_set.frameRates != nullptr && !(m_set.frameRates[k] > 0.0)) {
            Warn(k, "frame rate unknown or variable; its frame steps and tolerance assume 25 fps");
        }
        ch->UseClock(m_clock.get());
        ch->HoldPicture(true); // the new pictures go up together
        ch->Pause();
        // Where this channel shows the instant: before its start it waits on its first picture,
        // past its end it shows its last.
        m_applied[k] = Offset(k);
        double own = target + m_applied[k];
        if (own < 0.0) {
            own = 0.0;
        } else if (AnyOffset() && own >= Length(k)) {
            own = std::max(0.0, Length(k) - FramePeriod(k) / 2.0);
        }
        m_segStart[k] = own;
        if (!ch->SetPositionAndRate(own, m_rate)) {
            // Past its end, a channel shows its last picture and waits at its end.
            double length = 0.0;
            const bool pastEnd = ch->GetDuration(length) && own >= length;
            if (!pastEnd && m_locked[k]) {
                m_locked[k] = false;
                Warn(k, "cannot seek; it keeps the shared clock but not the frame lock");
            }
        }
    }
    m_p0 = target;
    m_placedRate = m_rate;
    m_aligning = false;
    m_stepMoved = false;
    UpdateDimming(target);
    m_playAfter = playAfter;
    m_state = State::Seeking;
    m_mapped = true;
    m_deadlineMs = 0;
    StartPolling();
}

void CFrameSync::StartTogether() {
    const unsigned long long now = Now();
    m_c0 = now + static_cast<unsigned long long>(m_limits.startMargin * kNs);
    for (int k = 0; k < 4; ++k) {
        if (!m_set.IsOpen(k)) {
            continue;
        }
        // A channel that could not seek plays from where its own running time stands.
        // A channel waiting for its time has its base time that far ahead.
        const double lead = m_locked[k] ? (m_segStart[k] - m_applied[k] - m_p0) / m_rate : -m_p0;
        const double base = std::max(0.0, double(m_c0) + lead * kNs);
        m_set.channels[k]->SetBaseTime(static_cast<unsigned long long>(base));
        m_set.channels[k]->Run();
        m_watchFrom[k] = std::max(m_c0, static_cast<unsigned long long>(base)) + m_limits.watchGraceNs;
    }
    m_state = State::Playing;
    m_playAfter = false;
}

void CFrameSync::StartPolling() {
    if (m_pollDriver) {
        if (!m_driverRunning) {
            m_driverRunning = true;
            m_pollDriver(true);
        }
    } else if (!m_poll->isActive()) {
        m_poll->start();
    }
}

void CFrameSync::StopPolling() {
    m_poll->stop();
    if (m_pollDriver && m_driverRunning) {
        m_driverRunning = false;
        m_pollDriver(false);
    }
}

bool CFrameSync::PastDeadline() {
    const double nowMs = double(Now()) / 1e6;
    if (m_deadlineMs == 0) {
        m_deadlineMs = static_cast<long long>(nowMs + m_limits.settleBound * 1000.0);
    }
    if (nowMs <= double(m_deadlineMs)) {
        return false;
    }
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && !m_set.channels[k]->IsSettled()) {
            const QByteArray path = m_set.paths != nullptr ? m_set.paths[k].toLocal8Bit() : QByteArray();
            std::fprintf(stderr,
                         "tetrav: frame sync, pane %d (%s): still busy after %.0f s (%s); the set goes on\n",
                         k + 1, path.constData(), m_limits.settleBound, StateName(m_state));
        }
    }
    return true;
}

void CFrameSync::Poll() {
    const bool wasBusy = Busy();
    switch (m_state) {
    case State::KeySeeking:
        LandKeyFrame();
        break;
    case State::Seeking:
        PollSeek();
        break;
    case State::Stepping:
        StepStage();
        break;
    case State::Playing:
        FinishRejoins();
        break;
    case State::Paused:
    case State::Idle:
        break;
    }
    if (!Busy()) {
        StopPolling();
        if (wasBusy) {
            emit landed();
        }
    }
}

void CFrameSync::PollSeek() {
    if (!m_playAfter && m_pendingSteps == 0) {
        // The set rests where it lands: each pane shows its new picture as soon as it has it, so
        // that the command is answered at once where it can be (an exact seek in one file may take
        // many times as long as in another).
        for (int k = 0; k < 4; ++k) {
            if (m_set.IsOpen(k) && m_set.channels[k]->IsSettled()) {
                m_set.channels[k]->HoldPicture(false);
            }
        }
    }
    if (!AllSettled() && !PastDeadline()) {
        return;
    }
    // A rate given while the seek was on its way: the channels go again with it before play.
    if (m_playAfter && m_placedRate != m_rate) {
        Realign(m_p0, true);
        return;
    }
    m_state = State::Paused;
    HoldAll(false);
    if (m_pendingSteps > 0) {
        BeginStep();
    } else if (m_playAfter) {
        StartTogether();
    }
}

void CFrameSync::HoldAll(bool hold) {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k)) {
            m_set.channels[k]->HoldPicture(hold);
        }
    }
}

void CFrameSync::DropRejoins() {
    // A channel on its way back keeps its picture held until it joins: it shows its new one now.
    for (int k = 0; k < 4; ++k) {
        if (m_rejoin[k].active && m_set.IsOpen(k)) {
            m_set.channels[k]->HoldPicture(false);
        }
        m_rejoin[k] = Rejoin();
        m_lag[k] = 0;
    }
}

void CFrameSync::PauseChannels() {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k)) {
            m_set.channels[k]->Pause();
        }
    }
}

bool CFrameSync::AllSettled() const {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && !m_set.channels[k]->IsSettled()) {
            return false;
        }
    }
    return true;
}
