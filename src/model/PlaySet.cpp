#include "model/PlaySet.h"

#include "engine/IChannel.h"

namespace {

const QString& NoPath() {
    static const QString empty;
    return empty;
}

} // namespace

PlaySet::PlaySet(QObject* parent) : QObject(parent) {}

PlaySet::~PlaySet() {
    for (int k = 0; k < kPanes; ++k) {
        if (m_channels[k]) {
            m_channels[k]->DestroyInBackground();
        }
    }
}

IChannel* PlaySet::Channel(int k) const {
    return Valid(k) ? m_view[k] : nullptr;
}

void PlaySet::SetChannel(int k, std::unique_ptr<IChannel> channel) {
    if (!Valid(k)) {
        return;
    }
    if (m_channels[k]) {
        m_channels[k]->DestroyInBackground();
    }
    m_channels[k] = std::move(channel);
    m_view[k] = m_channels[k].get();
    if (IChannel* c = m_view[k]) {
        // Announced from the event loop: by then the channel may have left the set.
        connect(c, &IChannel::ended, this, [this, c, k] {
            if (m_view[k] == c) {
                emit channelEnded(k);
            }
        });
        connect(c, &IChannel::failed, this, [this, c, k](IChannel::Failure why) {
            if (m_view[k] == c) {
                emit channelFailed(k, why);
            }
        });
    }
    emit channelChanged(k);
}

void PlaySet::CloseChannel(int k) {
    if (Valid(k) && m_channels[k]) {
        SetChannel(k, nullptr);
    }
}

void PlaySet::CloseChannels() {
    for (int k = 0; k < kPanes; ++k) {
        CloseChannel(k);
    }
}

bool PlaySet::IsOpen(int k) const {
    return Valid(k) && !m_paths[k].isEmpty() && m_view[k] != nullptr;
}

bool PlaySet::TakesPart(int k) const {
    return IsOpen(k) && m_length[k] > 0.0;
}

bool PlaySet::AnyTakesPart() const {
    for (int k = 0; k < kPanes; ++k) {
        if (TakesPart(k)) {
            return true;
        }
    }
    return false;
}

const QString& PlaySet::Path(int k) const {
    return Valid(k) ? m_paths[k] : NoPath();
}

void PlaySet::SetPath(int k, const QString& path) {
    if (Valid(k) && m_paths[k] != path) {
        m_paths[k] = path;
        emit pathsChanged();
    }
}

void PlaySet::ClearPaths() {
    bool any = false;
    for (QString& path : m_paths) {
        any = any || !path.isEmpty();
        path.clear();
    }
    if (any) {
        emit pathsChanged();
    }
}

bool PlaySet::AnyPath() const {
    for (const QString& path : m_paths) {
        if (!path.isEmpty()) {
            return true;
        }
    }
    return false;
}

const QString& PlaySet::OpenedPath(int k) const {
    return Valid(k) ? m_opened[k] : NoPath();
}

void PlaySet::SetOpenedPath(int k, const QString& path) {
    if (Valid(k)) {
        m_opened[k] = path;
    }
}

double PlaySet::Length(int k) const {
    return Valid(k) ? m_length[k] : 0.0;
}

void PlaySet::SetLength(int k, double seconds) {
    if (Valid(k)) {
        m_length[k] = seconds;
    }
}

double PlaySet::FrameRate(int k) const {
    return Valid(k) ? m_frameRate[k] : 0.0;
}

void PlaySet::SetFrameRate(int k, double fps) {
    if (Valid(k)) {
        m_frameRate[k] = fps;
    }
}

void PlaySet::SetOpenCount(int count) {
    m_openCount = count;
}

void PlaySet::SetReference(int k) {
    const int reference = Valid(k) ? k : -1;
    if (reference != m_reference) {
        m_reference = reference;
        emit referenceChanged(reference);
    }
}

int PlaySet::ChooseReference(int rule) {
    int pick = -1;
    for (int k = 0; k < kPanes; ++k) {
        if (!TakesPart(k)) {
            continue;
        }
        if (pick < 0 || (rule == 1 ? m_length[k] < m_length[pick] : m_length[k] > m_length[pick])) {
            pick = k;
        }
    }
    SetReference(pick);
    if (pick >= 0) {
        m_totalSecs = m_length[pick];
    }
    return pick;
}

void PlaySet::SetTotalTime(double seconds) {
    m_totalSecs = seconds;
}

double PlaySet::Offset(int k) const {
    return Valid(k) ? m_offset[k] : 0.0;
}

void PlaySet::SetOffset(int k, double seconds) {
    if (Valid(k) && m_offset[k] != seconds) {
        m_offset[k] = seconds;
        emit offsetsChanged();
    }
}

void PlaySet::ClearOffsets() {
    if (AnyOffset()) {
        for (double& offset : m_offset) {
            offset = 0.0;
        }
        emit offsetsChanged();
    }
}

bool PlaySet::AnyOffset() const {
    for (double offset : m_offset) {
        if (offset != 0.0) {
            return true;
        }
    }
    return false;
}

void PlaySet::SetRate(double rate) {
    if (rate != m_rate) {
        m_rate = rate;
        emit rateChanged(rate);
    }
}

void PlaySet::SetPlayTime(double seconds) {
    m_currentSecs = seconds;
}

double PlaySet::Position(int k) const {
    return Valid(k) ? m_position[k] : 0.0;
}

void PlaySet::SetPosition(int k, double seconds) {
    if (Valid(k)) {
        m_position[k] = seconds;
    }
}

void PlaySet::ClearPositions() {
    for (double& position : m_position) {
        position = 0.0;
    }
}

void PlaySet::Retire(int k) {
    if (!Valid(k)) {
        return;
    }
    m_length[k] = 0.0;
    m_openCount -= 1;
    SetPath(k, QString());
    CloseChannel(k);
    emit retired(k);
}

void PlaySet::SetOpening(bool opening) {
    if (opening == m_opening) {
        return;
    }
    m_opening = opening;
    emit openingChanged(opening);
    while (!m_opening && !m_waiting.empty()) {
        Waiting next = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (next.context) {
            next.command();
        }
    }
}

void PlaySet::WhenOpen(QObject* context, std::function<void()> command) {
    if (!m_opening) {
        command();
        return;
    }
    m_waiting.push_back({context, std::move(command)});
}

void PlaySet::DropWaiting() {
    m_waiting.clear();
}
