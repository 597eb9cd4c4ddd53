// The main window's playback side: closing a set, the transport commands, the
// seek bar and volume slider, the pane context menus and the two timers.
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"

#include "controls/CMenuEx.h"
#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "controls/SeekBarScale.h"
#include "dialogs/CFileSelectDlg.h"
#include "engine/CStreamProbe.h"
#include "engine/IChannel.h"
#include "mainwnd/CChannelLoss.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CSyncControl.h"
#include "mainwnd/CTetravDlgPaneInfo.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

namespace {

// A sync tick (every 10 ms) this late: the program stood still and the set is out of step.
constexpr qint64 kStallMs = 500;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// The seek bar follows the reference position over 0..200, drawn where a seek to that position
// lands.
int SeekBarPosition(double current, double total) {
    return SeekBarScale::Position(current, total);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Closing

void CTetravDlg::CloseChannel(int i) {
    m_pSet->CloseChannel(i);
}

// Both timers stop and every channel of the set closes (the paths stay).
void CTetravDlg::CloseSet() {
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    ResetSync();
    OnClearMarks();
    m_pSet->ClearOffsets();
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        m_pSet->SetOpenedPath(k, QString());
    }
    m_pSound->Reset();
    for (int i = 0; i < 4; ++i) {
        if (m_pSet->Channel(i) != nullptr) {
            CloseChannel(i);
        }
    }
}

void CTetravDlg::OnStop() {
    CloseSet();
    m_pBars->SetToolBarIdle();
    if (m_pBars->SeekBar() != nullptr) {
        m_pBars->SeekBar()->SetScrollPos(0, true);
        m_pBars->SeekBar()->setEnabled(false);
    }
    m_pBars->Volume()->SetPos(0);
    m_pBars->Volume()->setEnabled(false);
    m_pSet->ClearPaths();
    SetStatusText(0, Utf8("停止播放"));
}

// ---------------------------------------------------------------------------------------------
// Transport

void CTetravDlg::OnPlay() {
    ActiveSync().Play(CurrentSet());
    SetTimer(TIMER_SYNC, 0);
    SetTimer(TIMER_DISPLAY, 500);
    SetStatusText(0, Utf8("开始播放"));
}

void CTetravDlg::OnPause() {
    ActiveSync().Pause(CurrentSet());
    SetStatusText(0, Utf8("暂停播放"));
    KillTimer(TIMER_SYNC);
}

void CTetravDlg::OnFaster() {
    m_pSet->SetRate(2.0);
    ActiveSync().SetRate(CurrentSet(), 2.0);
    SetStatusText(0, Utf8("加快播放"));
}

void CTetravDlg::OnSlower() {
    m_pSet->SetRate(0.25);
    ActiveSync().SetRate(CurrentSet(), 0.25);
    SetStatusText(0, Utf8("慢速播放"));
}

void CTetravDlg::OnNormalSpeed() {
    m_pSet->SetRate(1.0);
    CChannelSync& sync = ActiveSync();
    sync.SetRate(CurrentSet(), 1.0);
    SetStatusText(0, Utf8("恢复播放"));
    // Playback resumes: through the first tick in time sync, at once in frame sync.
    if (m_pSyncControl->Frame() != nullptr) {
        sync.Play(CurrentSet());
    }
    SetTimer(TIMER_SYNC, 0);
}

void CTetravDlg::OnStepFrame() {
    KillTimer(TIMER_SYNC);
    ActiveSync().StepFrame(CurrentSet());
    SetStatusText(0, Utf8("单帧播放"));
    FollowPlayTime();
}

void CTetravDlg::OnStepBack() {
    KillTimer(TIMER_SYNC);
    ActiveSync().StepBack(CurrentSet());
    SetStatusText(0, Utf8("单帧后退"));
    FollowPlayTime();
}

void CTetravDlg::OnGotoPosition() {
    ActiveSync().Seek(CurrentSet(), g_dGotoSecs);
    if (g_dGotoSecs >= 0.0 && g_dGotoSecs < m_pSet->TotalTime()) {
        ShowTime(g_dGotoSecs, 2);
    }
    FollowPlayTime();
}

void CTetravDlg::OnSeekBarScroll() {
    const double seconds =
        m_pSet->TotalTime() * 0.005 * static_cast<double>(m_pBars->SeekBar()->GetScrollPos());
    ActiveSync().SeekToKeyFrame(CurrentSet(), seconds);
}

// ---------------------------------------------------------------------------------------------
// Timers

void CTetravDlg::SetTimer(int id, int periodMs) {
    // The shortest period (0) runs every 10 ms rather than spinning.
    if (id == TIMER_SYNC) {
        m_syncTickClock.invalidate();
        m_pTimerSync->start(periodMs <= 0 ? 10 : periodMs);
    } else if (id == TIMER_DISPLAY) {
        m_pTimerDisplay->start(periodMs <= 0 ? 10 : periodMs);
    }
}

void CTetravDlg::KillTimer(int id) {
    if (id == TIMER_SYNC) {
        m_pTimerSync->stop();
    } else if (id == TIMER_DISPLAY) {
        m_pTimerDisplay->stop();
    }
}

bool CTetravDlg::IsTimerRunning(int id) const {
    if (id == TIMER_SYNC) {
        return m_pTimerSync->isActive();
    }
    if (id == TIMER_DISPLAY) {
        return m_pTimerDisplay->isActive();
    }
    return false;
}

void CTetravDlg::OnTimer(int id) {
    // Nothing left that can play (every channel retired, or only channels without a length):
    // end play rather than tick on for ever.
    if (m_pSet->OpenCount() == 0 || !m_pSet->AnyTakesPart()) {
        OnStop();
        KillTimer(TIMER_SYNC);
        KillTimer(TIMER_DISPLAY);
        return;
    }
    if (id == TIMER_DISPLAY) {
        ShowPlace();
        SetStatusText(3, SyncInfoText());
        ShowPaneInfo();
        // The reference's end of stream counts too: its length may have shrunk since the open.
        if (!(m_pSet->PlayTime() < m_pSet->TotalTime()) || m_pLoss->ReferenceAtEnd()) {
            OnStop();
            KillTimer(TIMER_SYNC);
            KillTimer(TIMER_DISPLAY);
        }
        return;
    }
    if (id != TIMER_SYNC) {
        return;
    }
    // A tick this late means the whole program stood still (stopped, suspended, swapped out).
    const bool stalled = m_syncTickClock.isValid() && m_syncTickClock.elapsed() > kStallMs;
    m_syncTickClock.start();
    m_pSet->SetPlayTime(0.0);
    m_pSet->ClearPositions();
    for (int k = 0; k < 4; ++k) {
        if (!(m_pSet->Length(k) > 0.0) || !m_pSet->IsOpen(k)) {
            continue;
        }
        double position = 0.0;
        if (ActiveSync().ReadPosition(*m_pSet->Channel(k), position)) {
            m_pSet->SetPosition(k, position);
        }
        m_pSet->Channel(k)->SetVolume(m_pSound->PaneVolume(k));
        m_pLoss->RetireIfEnded(k);
    }
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsReference(k) && m_pSet->IsOpen(k)) {
            double position = 0.0;
            if (ActiveSync().ReadPosition(*m_pSet->Channel(k), position)) {
                m_pSet->SetPlayTime(position);
            }
            if (stalled) {
                SyncSet set = CurrentSet();
                set.ref = k;
                ActiveSync().Stalled(set, m_pSet->PlayTime());
            } else {
                SyncChannels(k, m_pSet->PlayTime(), m_pSet->Positions(), 4);
            }
            g_dSyncSecs = m_pSet->PlayTime();
        }
    }
    CheckOutMark();
}

void CTetravDlg::ShowPlace() {
    // Paused, the ticks that read the play time stand still: a seek or step moves it too.
    if (!IsTimerRunning(TIMER_SYNC)) {
        ReadPlayTime();
    }
    // The thumb stays where the user holds it, or clicked it until the set is there.
    const bool held = QWidget::mouseGrabber() == m_pBars->SeekBar();
    const bool moving = m_pSyncControl->Busy();
    if (m_pBars->SeekBar() != nullptr && !held && !moving) {
        m_pBars->SeekBar()->SetScrollPos(SeekBarPosition(m_pSet->PlayTime(), m_pSet->TotalTime()), true);
    }
    ShowTime(m_pSet->PlayTime(), 2);
}

void CTetravDlg::ReadPlayTime() {
    for (int k = 0; k < 4; ++k) {
        double position = 0.0;
        if (m_pSet->IsReference(k) && m_pSet->IsOpen(k) &&
            ActiveSync().ReadPosition(*m_pSet->Channel(k), position)) {
            m_pSet->SetPlayTime(position);
            g_dSyncSecs = position;
        }
    }
}

void CTetravDlg::SyncChannels(int ref, double refSecs, const double* positions, int count) {
    SyncSet set = CurrentSet();
    set.ref = ref;
    ActiveSync().SyncChannels(set, ref, refSecs, positions, count);
}

void CTetravDlg::ResetSync() {
    m_pSet->SetRate(1.0);
    m_pSyncControl->Reset();
}

SyncSet CTetravDlg::CurrentSet() const {
    SyncSet set;
    set.channels = m_pSet->Channels();
    set.lengths = m_pSet->Lengths();
    set.openCount = m_pSet->OpenCount();
    set.paths = m_pSet->Paths();
    set.frameRates = m_pSet->FrameRates();
    set.rate = m_pSet->Rate();
    set.offsets = m_pSet->Offsets();
    set.ref = m_pSet->Reference();
    return set;
}

CChannelSync& CTetravDlg::ActiveSync() {
    return m_pSyncControl->Active();
}
