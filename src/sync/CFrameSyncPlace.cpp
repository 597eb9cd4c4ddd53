// Where the set stands: the timeline, the reference and its frame grid, the offsets and the
// dimming of channels whose instant lies outside their stream.
#include "sync/CFrameSync.h"

#include "engine/IChannel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

double CFrameSync::PositionAt(unsigned long long now) const {
    if (m_state != State::Playing || now <= m_c0) {
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
    if (m_state != State::Idle && m_mapped) {
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

const char* CFrameSync::StateName(State state) {
    switch (state) {
    case State::Idle:
        return "idle";
    case State::Paused:
        return "paused";
    case State::Seeking:
        return "seeking";
    case State::KeySeeking:
        return "key-seeking";
    case State::Stepping:
        return "stepping";
    case State::Playing:
        return "playing";
    }
    return "?";
}

double CFrameSync::TimelinePosition() const {
    return PositionAt(Now());
}
