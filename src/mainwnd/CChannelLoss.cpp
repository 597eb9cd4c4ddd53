#include "mainwnd/CChannelLoss.h"

#include "engine/IChannel.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/FileName.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"

#include <array>

namespace {

// How often the pictures are looked at for a channel that stopped.
constexpr int kStallLookMs = 500;

// A message about the file of pane k: the text, then the file and the pane on a second line.
QString AboutFile(const char* text, int k, const QString& path) {
    return QString::fromUtf8(text) + QLatin1Char('\n') + FileName::Shown(path) + QStringLiteral(" (") +
           CVideoPane::TitleOf(k) + QLatin1Char(')');
}

} // namespace

CChannelLoss::CChannelLoss(PlaySet& set, const CSettingsModel& settings, std::function<bool()> moving,
                           QObject* parent)
    : QObject(parent), m_set(set), m_settings(settings), m_moving(std::move(moving)) {
    connect(&m_set, &PlaySet::channelFailed, this, [this](int k) { OnChannelFailed(k); });
    // A channel whose pictures stop while the others go on (a file overwritten while it plays).
    m_stallTimer.setInterval(kStallLookMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &CChannelLoss::WatchForStalls);
    m_stallTimer.start();
}

void CChannelLoss::RetireIfEnded(int k) {
    IChannel* channel = m_set.Channel(k);
    if (m_settings.ReferenceRule() != 0 || channel == nullptr ||
        !(m_set.Length(k) - 1.0 < m_set.Position(k) || channel->IsAtEnd())) {
        return;
    }
    const bool wasReference = m_set.IsReference(k);
    m_set.Retire(k);
    // The rule may have changed since the open: the play time goes on with the rest.
    if (wasReference) {
        ChooseNewReference();
    }
}

bool CChannelLoss::ReferenceAtEnd() const {
    const int ref = m_set.Reference();
    return ref >= 0 && m_set.IsOpen(ref) && m_set.Channel(ref)->IsAtEnd();
}

void CChannelLoss::ChooseNewReference() {
    // The rule of the open: the shortest (or longest) of the channels still playing, the lower
    // pane on a tie. The play time, the seek bar and the end of play follow it from now on.
    emit referenceChosen(m_set.ChooseReference(m_settings.ReferenceRule()));
}

void CChannelLoss::OnChannelFailed(int k) {
    // The channel's state decides: a channel without a length takes no part in play.
    if (!m_set.IsOpen(k) || !(m_set.Length(k) > 0.0) || !m_set.Channel(k)->HasFailed()) {
        return;
    }
    RetireBroken(k);
}

void CChannelLoss::RetireBroken(int k) {
    const QString path = m_set.Path(k);
    const bool wasReference = m_set.IsReference(k);
    m_set.Retire(k);
    if (wasReference) {
        ChooseNewReference();
    }
    if (!m_set.AnyTakesPart()) {
        emit nothingLeft();
    }
    // The set is consistent before the box is up; the ticks go on under it.
    ShowErrorBox(AboutFile("打开视频文件错误!", k, path));
}

void CChannelLoss::WatchForStalls() {
    const int ref = m_set.Reference();
    double refPosition = 0.0;
    if (!m_moving() || ref < 0 || !m_set.IsOpen(ref) || !m_set.Channel(ref)->GetShownPosition(refPosition)) {
        m_stallWatch.Reset();
        return;
    }
    const double instant = refPosition - m_set.Offset(ref);
    std::array<CStallWatch::Look, 4> looks;
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        if (!m_set.TakesPart(k) || m_set.Channel(k)->IsAtEnd()) {
            continue;
        }
        // A pane waiting for its time (before its start, after its end) holds its picture.
        const double own = instant + m_set.Offset(k);
        double shown = -1.0;
        looks[std::size_t(k)].shouldMove =
            own > 0.5 && own < m_set.Length(k) - 0.5 && m_set.Channel(k)->GetShownPosition(shown);
        looks[std::size_t(k)].position = shown;
    }
    if (!m_stallClock.isValid()) {
        m_stallClock.start();
    }
    for (int k : m_stallWatch.Sample(double(m_stallClock.elapsed()) / 1000.0, looks)) {
        if (m_set.IsOpen(k)) {
            RetireBroken(k);
        }
    }
}
