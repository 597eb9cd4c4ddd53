// The main window and channels that leave the set on their own: a channel that reaches its end
// (longest reference) or breaks while it plays is retired while the others play on.
#include "mainwnd/CTetravDlg.h"

#include "engine/CChannelGraph.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/FileName.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"
#include "sync/CFrameSync.h"
#include "uikit/Resource.h"

#include <QDir>

namespace {

// A message about the file of pane k: the text, then the file and the pane on a second line.
QString AboutFile(const char* text, int k, const QString& path) {
    return QString::fromUtf8(text) + QLatin1Char('\n') + FileName::Shown(path) + QStringLiteral(" (") +
           CVideoPane::TitleOf(k) + QLatin1Char(')');
}

} // namespace

void CTetravDlg::RetireChannel(int k) {
    m_pSet->Retire(k);
}

bool CTetravDlg::ReferenceAtEnd() const {
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsReference(k) && m_pSet->IsOpen(k) && m_pSet->Channel(k)->IsAtEnd()) {
            return true;
        }
    }
    return false;
}

void CTetravDlg::ChooseNewReference() {
    // The rule of the open: the shortest (or longest) of the channels still playing, the lower
    // pane on a tie. The play time, the seek bar and the end of play follow it from now on.
    if (m_pSet->ChooseReference(m_pSettings->ReferenceRule()) >= 0) {
        ShowTime(m_pSet->TotalTime(), 1);
    }
}

void CTetravDlg::OnGraphNotify(int k) {
    // Notifications are queued: the channel they came from may have been closed or replaced
    // since, so the channel's state decides, not the notification.
    if (k < 0 || k > 3 || !m_pSet->IsOpen(k) || !(m_pSet->Length(k) > 0.0) ||
        !m_pSet->Channel(k)->HasFailed()) {
        return;
    }
    RetireBroken(k);
}

void CTetravDlg::RetireBroken(int k) {
    const QString path = m_pSet->Path(k);
    const bool wasReference = m_pSet->IsReference(k);
    RetireChannel(k);
    if (wasReference) {
        ChooseNewReference();
    }
    if (!m_pSet->AnyTakesPart()) {
        OnStop();
    }
    // The set is consistent before the box runs its own event loop, in which the ticks go on.
    ShowErrorBox(AboutFile("打开视频文件错误!", k, path));
}

void CTetravDlg::WatchForStalls() {
    // Only while the set plays and no seek or catching up holds it.
    if (!IsTimerRunning(TIMER_SYNC) || (m_pFrameSync != nullptr && m_pFrameSync->Busy())) {
        m_stallWatch.Reset();
        return;
    }
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        ref = m_pSet->IsReference(k) && m_pSet->IsOpen(k) ? k : ref;
    }
    double refPosition = 0.0;
    if (ref < 0 || !m_pSet->Channel(ref)->GetShownPosition(refPosition)) {
        m_stallWatch.Reset();
        return;
    }
    const double instant = refPosition - m_pSet->Offset(ref);
    std::array<CStallWatch::Look, 4> looks;
    for (int k = 0; k < 4; ++k) {
        if (!m_pSet->IsOpen(k) || !(m_pSet->Length(k) > 0.0) || m_pSet->Channel(k)->IsAtEnd()) {
            continue;
        }
        // A pane waiting for its time (before its start, after its end) holds its picture.
        const double own = instant + m_pSet->Offset(k);
        double shown = -1.0;
        looks[k].shouldMove =
            own > 0.5 && own < m_pSet->Length(k) - 0.5 && m_pSet->Channel(k)->GetShownPosition(shown);
        looks[k].position = shown;
    }
    if (!m_stallClock.isValid()) {
        m_stallClock.start();
    }
    for (int k : m_stallWatch.Sample(double(m_stallClock.elapsed()) / 1000.0, looks)) {
        if (m_pSet->IsOpen(k)) {
            RetireBroken(k);
        }
    }
}
