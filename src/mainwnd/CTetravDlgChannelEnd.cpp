// The main window and channels that leave the set on their own: a channel that reaches its end
// (longest reference) or breaks while it plays is retired while the others play on.
#include "mainwnd/CTetravDlg.h"

#include "dialogs/VideoPaths.h"
#include "engine/CChannelGraph.h"
#include "mainwnd/CVideoPane.h"
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
    m_dLength[k] = 0.0;
    m_nOpenCount -= 1;
    g_strVideoPath[k].clear();
    CloseChannel(k);
}

bool CTetravDlg::ReferenceAtEnd() const {
    for (int k = 0; k < 4; ++k) {
        if (m_bReference[k] == 1 && ChannelIsOpen(k) && m_pChannel[k]->IsAtEnd()) {
            return true;
        }
    }
    return false;
}

void CTetravDlg::ChooseNewReference() {
    // The rule of the open: the shortest (or longest) of the channels still playing, the lower
    // pane on a tie. The play time, the seek bar and the end of play follow it from now on.
    int pick = -1;
    for (int k = 0; k < 4; ++k) {
        m_bReference[k] = 0;
        if (!(m_dLength[k] > 0.0) || !ChannelIsOpen(k)) {
            continue;
        }
        if (pick < 0 || (m_pSettings->ReferenceRule() == 1 ? m_dLength[k] < m_dLength[pick]
                                                           : m_dLength[k] > m_dLength[pick])) {
            pick = k;
        }
    }
    if (pick < 0) {
        return;
    }
    m_bReference[pick] = 1;
    m_dTotalSecs = m_dLength[pick];
    ShowTime(m_dTotalSecs, 1);
    ShowPaneInfo();
}

void CTetravDlg::OnGraphNotify(int k) {
    // Notifications are queued: the channel they came from may have been closed or replaced
    // since, so the channel's state decides, not the notification.
    if (k < 0 || k > 3 || !ChannelIsOpen(k) || !(m_dLength[k] > 0.0) || !m_pChannel[k]->HasFailed()) {
        return;
    }
    RetireBroken(k);
}

void CTetravDlg::RetireBroken(int k) {
    const QString path = g_strVideoPath[k];
    const bool wasReference = m_bReference[k] == 1;
    RetireChannel(k);
    if (wasReference) {
        ChooseNewReference();
    }
    if (!AnyChannelTakesPart()) {
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
        ref = m_bReference[k] == 1 && ChannelIsOpen(k) ? k : ref;
    }
    double refPosition = 0.0;
    if (ref < 0 || !m_pChannel[ref]->GetShownPosition(refPosition)) {
        m_stallWatch.Reset();
        return;
    }
    const double instant = refPosition - m_dOffset[ref];
    std::array<CStallWatch::Look, 4> looks;
    for (int k = 0; k < 4; ++k) {
        if (!ChannelIsOpen(k) || !(m_dLength[k] > 0.0) || m_pChannel[k]->IsAtEnd()) {
            continue;
        }
        // A pane waiting for its time (before its start, after its end) holds its picture.
        const double own = instant + m_dOffset[k];
        double shown = -1.0;
        looks[k].shouldMove = own > 0.5 && own < m_dLength[k] - 0.5 && m_pChannel[k]->GetShownPosition(shown);
        looks[k].position = shown;
    }
    if (!m_stallClock.isValid()) {
        m_stallClock.start();
    }
    for (int k : m_stallWatch.Sample(double(m_stallClock.elapsed()) / 1000.0, looks)) {
        if (ChannelIsOpen(k)) {
            RetireBroken(k);
        }
    }
}
