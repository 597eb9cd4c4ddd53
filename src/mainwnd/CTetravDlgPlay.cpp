// The main window's playback side: closing a set, the transport commands, the
// seek bar and volume slider, the pane context menus and the two timers.
#include "mainwnd/CTetravDlg.h"

#include "controls/CMenuEx.h"
#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "controls/SeekBarScale.h"
#include "dialogs/CFileSelectDlg.h"
#include "dialogs/VideoPaths.h"
#include "engine/CChannelGraph.h"
#include "engine/CStreamProbe.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CVideoPane.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"
#include "sync/CChannelSync.h"
#include "sync/CFrameSync.h"
#include "sync/CWholeSecondSync.h"
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

bool CTetravDlg::ChannelIsOpen(int i) const {
    return !g_strVideoPath[i].isEmpty() && m_pChannel[i] != nullptr;
}

bool CTetravDlg::AnyChannelTakesPart() const {
    for (int k = 0; k < 4; ++k) {
        if (m_dLength[k] > 0.0 && ChannelIsOpen(k)) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Closing

void CTetravDlg::CloseChannel(int i) {
    CChannelGraph* channel = m_pChannel[i];
    if (channel == nullptr) {
        return;
    }
    channel->DestroyInBackground();
    channel->SetNotifyWindow(nullptr);
    delete channel;
    m_pChannel[i] = nullptr;
    m_wndPane[i]->update();
}

// Both timers stop and every channel of the set closes (the paths stay).
void CTetravDlg::CloseSet() {
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    ResetSync();
    OnClearMarks();
    for (double& offset : m_dOffset) {
        offset = 0.0;
    }
    for (QString& video : m_setVideo) {
        video.clear();
    }
    ResetPaneSound();
    for (int i = 0; i < 4; ++i) {
        if (m_pChannel[i] != nullptr) {
            CloseChannel(i);
        }
    }
}

void CTetravDlg::OnStop() {
    CloseSet();
    SetToolBarIdle();
    if (m_wndSeekBar != nullptr) {
        m_wndSeekBar->SetScrollPos(0, true);
        m_wndSeekBar->setEnabled(false);
    }
    m_wndVolume->SetPos(0);
    m_wndVolume->setEnabled(false);
    for (QString& path : g_strVideoPath) {
        path.clear();
    }
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
    m_dRate = 2.0;
    ActiveSync().SetRate(CurrentSet(), 2.0);
    SetStatusText(0, Utf8("加快播放"));
}

void CTetravDlg::OnSlower() {
    m_dRate = 0.25;
    ActiveSync().SetRate(CurrentSet(), 0.25);
    SetStatusText(0, Utf8("慢速播放"));
}

void CTetravDlg::OnNormalSpeed() {
    m_dRate = 1.0;
    CChannelSync& sync = ActiveSync();
    sync.SetRate(CurrentSet(), 1.0);
    SetStatusText(0, Utf8("恢复播放"));
    // Playback resumes: through the first tick in time sync, at once in frame sync.
    if (m_pFrameSync != nullptr) {
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
    if (g_dGotoSecs >= 0.0 && g_dGotoSecs < m_dTotalSecs) {
        ShowTime(g_dGotoSecs, 2);
    }
    FollowPlayTime();
}

void CTetravDlg::OnSeekBarScroll() {
    const double seconds = m_dTotalSecs * 0.005 * static_cast<double>(m_wndSeekBar->GetScrollPos());
    ActiveSync().SeekToKeyFrame(CurrentSet(), seconds);
}

void CTetravDlg::OnVolumeScroll() {
    m_nVolume = m_wndVolume->GetPos() - 10000;
}

void CTetravDlg::OnPaneRightClick(int pane) {
    if (pane < 0 || pane > 3 || m_pChannel[pane] == nullptr || m_menuContext[pane] == nullptr) {
        return;
    }
    for (QAction* item : m_pPopup[pane]->actions()) {
        if (CMenuEx::CommandId(item) == ID_CLEAR_OFFSET_1 + pane) {
            item->setEnabled(m_dOffset[pane] != 0.0);
        }
    }
    EnableResetPicture(pane);
    m_menuContext[pane]->TrackPopupMenu(ContextMenuPos(pane));
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
    if (m_nOpenCount == 0 || !AnyChannelTakesPart()) {
        OnStop();
        KillTimer(TIMER_SYNC);
        KillTimer(TIMER_DISPLAY);
        return;
    }
    if (id == TIMER_DISPLAY) {
        // Paused, the ticks that read the play time stand still: a seek or step moves it too.
        if (!IsTimerRunning(TIMER_SYNC)) {
            ReadPlayTime();
        }
        // The thumb stays where the user holds it, or clicked it until the set is there.
        const bool held = QWidget::mouseGrabber() == m_wndSeekBar;
        const bool moving = m_pFrameSync != nullptr && m_pFrameSync->Busy();
        if (m_wndSeekBar != nullptr && !held && !moving) {
            m_wndSeekBar->SetScrollPos(SeekBarPosition(m_dCurrentSecs, m_dTotalSecs), true);
        }
        SetStatusText(3, SyncInfoText());
        ShowTime(m_dCurrentSecs, 2);
        ShowPaneInfo();
        // The reference's end of stream counts too: its length may have shrunk since the open.
        if (!(m_dCurrentSecs < m_dTotalSecs) || ReferenceAtEnd()) {
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
    m_dCurrentSecs = 0.0;
    for (double& p : m_dPosition) {
        p = 0.0;
    }
    for (int k = 0; k < 4; ++k) {
        if (!(m_dLength[k] > 0.0) || !ChannelIsOpen(k)) {
            continue;
        }
        double position = 0.0;
        if (ActiveSync().ReadPosition(*m_pChannel[k], position)) {
            m_dPosition[k] = position;
        }
        m_pChannel[k]->SetVolume(PaneVolume(k));
        if (m_pSettings->ReferenceRule() == 0 &&
            (m_dLength[k] - 1.0 < m_dPosition[k] || m_pChannel[k]->IsAtEnd())) {
            const bool wasReference = m_bReference[k] == 1;
            RetireChannel(k);
            // The rule may have changed since the open: the play time goes on with the rest.
            if (wasReference) {
                ChooseNewReference();
            }
        }
    }
    for (int k = 0; k < 4; ++k) {
        if (m_bReference[k] == 1 && ChannelIsOpen(k)) {
            double position = 0.0;
            if (ActiveSync().ReadPosition(*m_pChannel[k], position)) {
                m_dCurrentSecs = position;
            }
            if (stalled) {
                SyncSet set = CurrentSet();
                set.ref = k;
                ActiveSync().Stalled(set, m_dCurrentSecs);
            } else {
                SyncChannels(k, m_dCurrentSecs, m_dPosition, 4);
            }
            g_dSyncSecs = m_dCurrentSecs;
        }
    }
    CheckOutMark();
}

void CTetravDlg::ReadPlayTime() {
    for (int k = 0; k < 4; ++k) {
        double position = 0.0;
        if (m_bReference[k] == 1 && ChannelIsOpen(k) && ActiveSync().ReadPosition(*m_pChannel[k], position)) {
            m_dCurrentSecs = position;
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
    m_dRate = 1.0;
    if (m_pSync) {
        m_pSync->Reset();
    }
}

SyncSet CTetravDlg::CurrentSet() const {
    SyncSet set;
    set.channels = m_pChannel;
    set.lengths = m_dLength;
    set.openCount = m_nOpenCount;
    set.paths = g_strVideoPath;
    set.frameRates = m_dFrameRate;
    set.rate = m_dRate;
    set.offsets = m_dOffset;
    for (int k = 0; k < 4; ++k) {
        if (m_bReference[k] == 1) {
            set.ref = k;
        }
    }
    return set;
}

CChannelSync& CTetravDlg::ActiveSync() {
    if (!m_pSync) {
        MakeSync(m_pSettings->SyncMode());
    }
    return *m_pSync;
}

void CTetravDlg::OnSettingsChanged() {
    // The sync mode acts on the running set as soon as the setting in force changes.
    if (m_pSync && !m_bSyncPinned && m_pSettings->SyncMode() != m_nSyncMode) {
        MakeSync(m_pSettings->SyncMode());
    }
}

void CTetravDlg::MakeSync(int mode) {
    const bool playing = IsTimerRunning(TIMER_SYNC);
    if (m_pSync) {
        m_pSync->Leave(CurrentSet());
    }
    m_pFrameSync = nullptr;
    if (mode == 1) {
        auto frame = std::make_unique<CFrameSync>();
        m_pFrameSync = frame.get();
        m_pSync = std::move(frame);
    } else {
        m_pSync = std::make_unique<CWholeSecondSync>();
    }
    m_nSyncMode = mode;
    m_pSync->Adopt(CurrentSet(), playing);
}
