#include "mainwnd/CFrameSync.h"

#include "engine/CChannelGraph.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

CFrameSync::CFrameSync(QObject* parent) : QObject(parent), m_clock(gst_system_clock_obtain()) {
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &CFrameSync::Poll);
}

CFrameSync::~CFrameSync() = default;

void CFrameSync::SetClockSource(std::function<unsigned long long()> now) {
    m_now = std::move(now);
}

unsigned long long CFrameSync::Now() const {
    return m_now ? m_now() : gst_clock_get_time(m_clock.get());
}

// ---------------------------------------------------------------------------------------------
// Transport

bool CFrameSync::ReadPosition(CChannelGraph& channel, double& seconds) {
    return channel.GetShownPosition(seconds);
}

void CFrameSync::Play(const SyncSet& set) {
    m_set = set;
    switch (m_phase) {
    case Phase::Playing:
        return;
    case Phase::Seeking:
    case Phase::Stepping:
        m_playAfter = true;
        return;
    case Phase::Paused:
        if (m_mapped && !OffsetsMoved()) {
            m_playAfter = true;
            m_phase = Phase::Seeking; // a channel brought back may still be prerolling
            m_deadlineMs = 0;
            Poll();
            return;
        }
        Realign(Snap(m_p0), true);
        return;
    case Phase::Stopped:
        Realign(Snap(RefPosition()), true);
        return;
    }
}

void CFrameSync::Pause(const SyncSet& set) {
    m_set = set;
    if (m_phase == Phase::Playing) {
        m_p0 = PositionAt(Now());
        m_phase = Phase::Paused;
    } else if (m_phase == Phase::Seeking || m_phase == Phase::Stepping) {
        m_playAfter = false;
    }
    for (int k = 0; k < 4; ++k) {
        if (set.IsOpen(k)) {
            set.channels[k]->Pause();
        }
    }
}

void CFrameSync::Seek(const SyncSet& set, double seconds) {
    m_set = set;
    const bool play = m_phase == Phase::Playing || m_playAfter;
    m_pendingSteps = 0;
    Realign(Snap(std::max(0.0, seconds)), play);
}

void CFrameSync::SeekToKeyFrame(const SyncSet& set, double seconds) {
    m_set = set;
    const int ref = RefChannel();
    const bool play = m_phase == Phase::Playing || m_playAfter;
    m_pendingSteps = 0;
    if (ref < 0 || !m_locked[ref]) {
        Realign(Snap(std::max(0.0, seconds)), play);
        return;
    }
    // The reference lands on its key frame (quick); the others then go to that frame exactly.
    for (int k = 0; k < 4; ++k) {
        m_lag[k] = 0;
        m_rejoin[k] = Rejoin();
        if (m_set.IsOpen(k)) {
            m_set.channels[k]->HoldPicture(true);
            m_set.channels[k]->Pause();
        }
    }
    CChannelGraph* lead = m_set.channels[ref];
    lead->UseClock(m_clock.get());
    if (!lead->SetPositionAndRate(std::max(0.0, seconds), m_rate, true)) {
        Realign(Snap(std::max(0.0, seconds)), play);
        return;
    }
    m_keyFramePending = true;
    m_p0 = std::max(0.0, seconds);
    m_playAfter = play;
    m_phase = Phase::Seeking;
    m_deadlineMs = 0;
    StartPolling();
}

void CFrameSync::SetRate(const SyncSet& set, double rate) {
    m_set = set;
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        return;
    }
    const bool play = m_phase == Phase::Playing || m_playAfter;
    const double at = m_phase == Phase::Playing ? PositionAt(Now()) : RefPosition();
    m_rate = rate;
    m_pendingSteps = 0;
    Realign(Snap(at), play);
}

void CFrameSync::OffsetsChanged(const SyncSet& set, double refShift) {
    m_set = set;
    const bool play = m_phase == Phase::Playing || m_playAfter;
    double at = m_p0;
    if (m_phase == Phase::Playing) {
        at = PositionAt(Now());
    } else if (m_phase != Phase::Seeking) {
        at = ShownMiddle();
    }
    m_pendingSteps = 0;
    m_pendingBack = 0;
    Realign(Snap(std::max(0.0, at + refShift)), play);
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
    m_poll->stop();
    m_set = set;
    HoldAll(false);
    DimAll(false);
    const bool playing = m_phase == Phase::Playing || m_playAfter;
    for (int k = 0; k < 4; ++k) {
        if (!set.IsOpen(k)) {
            continue;
        }
        CChannelGraph* ch = set.channels[k];
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
    m_poll->stop();
    HoldAll(false);
    DimAll(false);
    m_set = SyncSet();
    m_phase = Phase::Stopped;
    m_playAfter = false;
    m_mapped = false;
    m_p0 = 0.0;
    m_c0 = 0;
    m_rate = 1.0;
    m_pendingSteps = 0;
    m_pendingBack = 0;
    m_stepStage = 0;
    m_keyFramePending = false;
    for (int k = 0; k < 4; ++k) {
        m_segStart[k] = 0.0;
        m_locked[k] = true;
        m_warned[k] = false;
        m_lag[k] = 0;
        m_watchFrom[k] = 0;
        m_rejoin[k] = Rejoin();
        m_applied[k] = 0.0;
    }
}

double CFrameSync::TimelinePosition() const {
    return PositionAt(Now());
}

bool CFrameSync::Busy() const {
    if (m_phase == Phase::Seeking || m_phase == Phase::Stepping) {
        return true;
    }
    return std::any_of(std::begin(m_rejoin), std::end(m_rejoin), [](const Rejoin& r) { return r.active; });
}

// ---------------------------------------------------------------------------------------------
// Moving the set together

void CFrameSync::Realign(double target, bool playAfter) {
    m_keyFramePending = false;
    for (int k = 0; k < 4; ++k) {
        m_lag[k] = 0;
        m_rejoin[k] = Rejoin();
        if (!m_set.IsOpen(k)) {
            continue;
        }
        CChannelGraph* ch = m_set.channels[k];
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
    UpdateDimming(target);
    m_playAfter = playAfter;
    m_phase = Phase::Seeking;
    m_mapped = true;
    m_deadlineMs = 0;
    StartPolling();
}

void CFrameSync::StartTogether() {
    const unsigned long long now = Now();
    m_c0 = now + static_cast<unsigned long long>(kStartMargin * kNs);
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
        m_watchFrom[k] = std::max(m_c0, static_cast<unsigned long long>(base)) + kWatchGrace;
    }
    m_phase = Phase::Playing;
    m_playAfter = false;
}

void CFrameSync::StartPolling() {
    if (!m_poll->isActive()) {
        m_poll->start();
    }
}

void CFrameSync::Poll() {
    const double now = double(Now());
    switch (m_phase) {
    case Phase::Seeking:
        if (m_deadlineMs == 0) {
            m_deadlineMs = static_cast<long long>(now / 1e6 + kSettleBound * 1000.0);
        }
        if (m_keyFramePending) {
            const int ref = RefChannel();
            if (ref >= 0 && !m_set.channels[ref]->IsSettled() && now / 1e6 <= double(m_deadlineMs)) {
                break;
            }
            m_keyFramePending = false;
            double landed = m_p0;
            if (ref >= 0) {
                m_set.channels[ref]->GetShownPosition(landed);
            }
            Realign(Snap(landed), m_playAfter);
            break;
        }
        if (AllSettled() || now / 1e6 > double(m_deadlineMs)) {
            m_phase = Phase::Paused;
            HoldAll(false);
            if (m_pendingSteps > 0) {
                BeginStep();
                return;
            }
            if (m_playAfter) {
                StartTogether();
            }
        }
        break;
    case Phase::Stepping:
        StepStage();
        break;
    case Phase::Playing:
        FinishRejoins();
        break;
    default:
        break;
    }
    if (!Busy()) {
        m_poll->stop();
    }
}

void CFrameSync::HoldAll(bool hold) {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k)) {
            m_set.channels[k]->HoldPicture(hold);
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

// ---------------------------------------------------------------------------------------------
// The correction step

double CFrameSync::PositionAt(unsigned long long now) const {
    if (m_phase != Phase::Playing || now <= m_c0) {
        return m_p0;
    }
    return m_p0 + double(now - m_c0) / kNs * m_rate;
}

int CFrameSync::RefChannel() const {
    if (m_set.IsOpen(m_set.ref)) {
        return m_set.ref;
    }
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k)) {
            return k;
        }
    }
    return -1;
}

double CFrameSync::RefPosition() const {
    if (m_phase != Phase::Stopped && m_mapped) {
        return m_p0;
    }
    const int ref = RefChannel();
    double at = 0.0;
    if (ref >= 0 && !m_set.channels[ref]->GetShownPosition(at)) {
        at = 0.0;
    }
    return at;
}

double CFrameSync::FramePeriod(int k) const {
    const double fps = (m_set.frameRates != nullptr && k >= 0 && k < 4) ? m_set.frameRates[k] : 0.0;
    return fps > 0.0 && std::isfinite(fps) ? 1.0 / fps : 0.04;
}

double CFrameSync::Snap(double seconds) const {
    const int ref = RefChannel();
    const double fps = (m_set.frameRates != nullptr && ref >= 0) ? m_set.frameRates[ref] : 0.0;
    if (!(fps > 0.0) || !std::isfinite(seconds)) {
        return std::max(0.0, seconds);
    }
    // The middle of the reference's frame: the other files' frames of that instant cover it
    // even when their time stamps sit a few milliseconds apart (encoders, audio priming).
    return (std::floor(std::max(0.0, seconds) * fps + 1e-6) + 0.5) / fps;
}

double CFrameSync::ShownMiddle() const {
    const int ref = RefChannel();
    double shown = m_p0;
    if (ref < 0 || !m_set.channels[ref]->GetShownPosition(shown)) {
        return Snap(m_p0);
    }
    const double fps = m_set.frameRates != nullptr ? m_set.frameRates[ref] : 0.0;
    if (!(fps > 0.0) || !std::isfinite(fps)) {
        return shown + FramePeriod(ref) / 2.0;
    }
    // Time stamps a container rounded to the millisecond may sit a little before the frame's
    // own start: a quarter frame of room.
    return (std::floor(shown * fps + 0.25) + 0.5) / fps;
}

double CFrameSync::Offset(int k) const {
    const int ref = RefChannel();
    if (m_set.offsets == nullptr || k < 0 || k > 3 || ref < 0) {
        return 0.0;
    }
    return m_set.offsets[k] - m_set.offsets[ref];
}

double CFrameSync::Length(int k) const {
    const double length = m_set.lengths != nullptr && k >= 0 && k < 4 ? m_set.lengths[k] : 0.0;
    return length > 0.0 ? length : std::numeric_limits<double>::infinity();
}

bool CFrameSync::AnyOffset() const {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && Offset(k) != 0.0) {
            return true;
        }
    }
    return false;
}

bool CFrameSync::OffsetsMoved() const {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && Offset(k) != m_applied[k]) {
            return true;
        }
    }
    return false;
}

void CFrameSync::UpdateDimming(double t) {
    const bool any = AnyOffset();
    for (int k = 0; k < 4; ++k) {
        if (!m_set.IsOpen(k)) {
            continue;
        }
        const double own = t + Offset(k);
        const bool dim = any && (own < 0.0 || own >= Length(k));
        if (dim != m_dimmed[k]) {
            m_dimmed[k] = dim;
            m_set.channels[k]->DimPicture(dim);
        }
    }
}

void CFrameSync::DimAll(bool dim) {
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsOpen(k) && m_dimmed[k] != dim) {
            m_set.channels[k]->DimPicture(dim);
        }
        m_dimmed[k] = dim;
    }
}

void CFrameSync::Warn(int k, const char* what) {
    if (k < 0 || k > 3 || m_warned[k]) {
        return;
    }
    m_warned[k] = true;
    const QByteArray path = m_set.paths != nullptr ? m_set.paths[k].toLocal8Bit() : QByteArray();
    std::fprintf(stderr, "tetrav: frame sync, pane %d (%s): %s\n", k + 1, path.constData(), what);
}
