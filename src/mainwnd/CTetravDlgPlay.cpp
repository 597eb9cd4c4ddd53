#include "mainwnd/CTetravDlgPlay.h"

#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"
#include "mainwnd/CTetravDlgExport.h"
#include "mainwnd/CTetravDlgOffset.h"

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

constexpr int kSyncPeriodMs = 10;
constexpr int kDisplayPeriodMs = 500;

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

CTetravDlgPlay::CTetravDlgPlay(CTetravDlg& dlg) : QObject(&dlg), m_dlg(dlg) {
    m_pTimerSync = new QTimer(this);
    m_pTimerSync->setTimerType(Qt::PreciseTimer);
    m_pTimerSync->setInterval(kSyncPeriodMs);
    connect(m_pTimerSync, &QTimer::timeout, this, [this] { OnTimer(TIMER_SYNC); });
    m_pTimerDisplay = new QTimer(this);
    m_pTimerDisplay->setInterval(kDisplayPeriodMs);
    connect(m_pTimerDisplay, &QTimer::timeout, this, [this] { OnTimer(TIMER_DISPLAY); });
}

// ---------------------------------------------------------------------------------------------
// Closing

void CTetravDlgPlay::CloseSet() {
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    m_dlg.Set().SetRate(1.0);
    m_dlg.m_pSyncControl->Reset();
    m_dlg.Export().OnClearMarks();
    m_dlg.Set().ClearOffsets();
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        m_dlg.Set().SetOpenedPath(k, QString());
    }
    m_dlg.Sound().Reset();
    for (int i = 0; i < 4; ++i) {
        if (m_dlg.Set().Channel(i) != nullptr) {
            m_dlg.Set().CloseChannel(i);
        }
    }
}

void CTetravDlgPlay::OnStop() {
    CloseSet();
    m_dlg.Bars().SetToolBarIdle();
    if (m_dlg.Bars().SeekBar() != nullptr) {
        m_dlg.Bars().SeekBar()->SetScrollPos(0, true);
        m_dlg.Bars().SeekBar()->setEnabled(false);
    }
    m_dlg.Bars().Volume()->SetPos(0);
    m_dlg.Bars().Volume()->setEnabled(false);
    m_dlg.Set().ClearPaths();
    m_dlg.SetStatusText(0, Utf8("停止播放"));
}

// ---------------------------------------------------------------------------------------------
// Transport

void CTetravDlgPlay::OnPlay() {
    m_dlg.ActiveSync().Play(m_dlg.CurrentSet());
    SetTimer(TIMER_SYNC, 0);
    SetTimer(TIMER_DISPLAY, 500);
    m_dlg.SetStatusText(0, Utf8("开始播放"));
}

void CTetravDlgPlay::OnPause() {
    m_dlg.ActiveSync().Pause(m_dlg.CurrentSet());
    m_dlg.SetStatusText(0, Utf8("暂停播放"));
    KillTimer(TIMER_SYNC);
}

void CTetravDlgPlay::OnFaster() {
    m_dlg.Set().SetRate(2.0);
    m_dlg.ActiveSync().SetRate(m_dlg.CurrentSet(), 2.0);
    m_dlg.SetStatusText(0, Utf8("加快播放"));
}

void CTetravDlgPlay::OnSlower() {
    m_dlg.Set().SetRate(0.25);
    m_dlg.ActiveSync().SetRate(m_dlg.CurrentSet(), 0.25);
    m_dlg.SetStatusText(0, Utf8("慢速播放"));
}

void CTetravDlgPlay::OnNormalSpeed() {
    m_dlg.Set().SetRate(1.0);
    CChannelSync& sync = m_dlg.ActiveSync();
    sync.SetRate(m_dlg.CurrentSet(), 1.0);
    m_dlg.SetStatusText(0, Utf8("恢复播放"));
    // Playback resumes: through the first tick in time sync, at once in frame sync.
    if (m_dlg.m_pSyncControl->Frame() != nullptr) {
        sync.Play(m_dlg.CurrentSet());
    }
    SetTimer(TIMER_SYNC, 0);
}

void CTetravDlgPlay::OnStepFrame() {
    KillTimer(TIMER_SYNC);
    m_dlg.ActiveSync().StepFrame(m_dlg.CurrentSet());
    m_dlg.SetStatusText(0, Utf8("单帧播放"));
    FollowPlayTime();
}

void CTetravDlgPlay::OnStepBack() {
    KillTimer(TIMER_SYNC);
    m_dlg.ActiveSync().StepBack(m_dlg.CurrentSet());
    m_dlg.SetStatusText(0, Utf8("单帧后退"));
    FollowPlayTime();
}

void CTetravDlgPlay::OnGotoPosition() {
    m_dlg.ActiveSync().Seek(m_dlg.CurrentSet(), g_dGotoSecs);
    if (g_dGotoSecs >= 0.0 && g_dGotoSecs < m_dlg.Set().TotalTime()) {
        m_dlg.ShowTime(g_dGotoSecs, 2);
    }
    FollowPlayTime();
}

void CTetravDlgPlay::OnSeekBarScroll() {
    const double seconds =
        m_dlg.Set().TotalTime() * 0.005 * static_cast<double>(m_dlg.Bars().SeekBar()->GetScrollPos());
    m_dlg.ActiveSync().SeekToKeyFrame(m_dlg.CurrentSet(), seconds);
}

// ---------------------------------------------------------------------------------------------
// Timers

void CTetravDlgPlay::SetTimer(int id, int periodMs) {
    // The shortest period (0) runs every 10 ms rather than spinning.
    if (id == TIMER_SYNC) {
        m_syncTickClock.invalidate();
        m_pTimerSync->start(periodMs <= 0 ? 10 : periodMs);
    } else if (id == TIMER_DISPLAY) {
        m_pTimerDisplay->start(periodMs <= 0 ? 10 : periodMs);
    }
}

void CTetravDlgPlay::KillTimer(int id) {
    if (id == TIMER_SYNC) {
        m_pTimerSync->stop();
    } else if (id == TIMER_DISPLAY) {
        m_pTimerDisplay->stop();
    }
}

bool CTetravDlgPlay::IsTimerRunning(int id) const {
    if (id == TIMER_SYNC) {
        return m_pTimerSync->isActive();
    }
    if (id == TIMER_DISPLAY) {
        return m_pTimerDisplay->isActive();
    }
    return false;
}

void CTetravDlgPlay::OnTimer(int id) {
    // Nothing left that can play (every channel retired, or only channels without a length):
    // end play rather than tick on for ever.
    if (m_dlg.Set().OpenCount() == 0 || !m_dlg.Set().AnyTakesPart()) {
        OnStop();
        KillTimer(TIMER_SYNC);
        KillTimer(TIMER_DISPLAY);
        return;
    }
    if (id == TIMER_DISPLAY) {
        ShowPlace();
        m_dlg.SetStatusText(3, m_dlg.Offset().SyncInfoText());
        m_dlg.ShowPaneInfo();
        // The reference's end of stream counts too: its length may have shrunk since the open.
        if (!(m_dlg.Set().PlayTime() < m_dlg.Set().TotalTime()) || m_dlg.m_pLoss->ReferenceAtEnd()) {
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
    m_dlg.Set().SetPlayTime(0.0);
    m_dlg.Set().ClearPositions();
    for (int k = 0; k < 4; ++k) {
        if (!(m_dlg.Set().Length(k) > 0.0) || !m_dlg.Set().IsOpen(k)) {
            continue;
        }
        double position = 0.0;
        if (m_dlg.ActiveSync().ReadPosition(*m_dlg.Set().Channel(k), position)) {
            m_dlg.Set().SetPosition(k, position);
        }
        m_dlg.Set().Channel(k)->SetVolume(m_dlg.Sound().PaneVolume(k));
        m_dlg.m_pLoss->RetireIfEnded(k);
    }
    for (int k = 0; k < 4; ++k) {
        if (m_dlg.Set().IsReference(k) && m_dlg.Set().IsOpen(k)) {
            double position = 0.0;
            if (m_dlg.ActiveSync().ReadPosition(*m_dlg.Set().Channel(k), position)) {
                m_dlg.Set().SetPlayTime(position);
            }
            if (stalled) {
                SyncSet set = m_dlg.CurrentSet();
                set.ref = k;
                m_dlg.ActiveSync().Stalled(set, m_dlg.Set().PlayTime());
            } else {
                SyncSet set = m_dlg.CurrentSet();
                set.ref = k;
                m_dlg.ActiveSync().SyncChannels(set, k, m_dlg.Set().PlayTime(), m_dlg.Set().Positions(), 4);
            }
            g_dSyncSecs = m_dlg.Set().PlayTime();
        }
    }
    m_dlg.Export().CheckOutMark();
}

void CTetravDlgPlay::ShowPlace() {
    // The play time as the reference shows it now: paused, the ticks that read it stand still,
    // and a seek that has just landed put its pictures up after the last tick read the old one.
    ReadPlayTime();
    // The thumb stays where the user holds it, or clicked it until the set is there.
    const bool held = QWidget::mouseGrabber() == m_dlg.Bars().SeekBar();
    const bool moving = m_dlg.m_pSyncControl->Busy();
    if (m_dlg.Bars().SeekBar() != nullptr && !held && !moving) {
        m_dlg.Bars().SeekBar()->SetScrollPos(SeekBarPosition(m_dlg.Set().PlayTime(), m_dlg.Set().TotalTime()),
                                             true);
    }
    m_dlg.ShowTime(m_dlg.Set().PlayTime(), 2);
}

void CTetravDlgPlay::ReadPlayTime() {
    for (int k = 0; k < 4; ++k) {
        double position = 0.0;
        if (m_dlg.Set().IsReference(k) && m_dlg.Set().IsOpen(k) &&
            m_dlg.ActiveSync().ReadPosition(*m_dlg.Set().Channel(k), position)) {
            m_dlg.Set().SetPlayTime(position);
            g_dSyncSecs = position;
        }
    }
}

void CTetravDlgPlay::FollowPlayTime() {
    if (m_dlg.Set().OpenCount() > 0 && m_dlg.Set().AnyTakesPart() && !IsTimerRunning(TIMER_DISPLAY)) {
        SetTimer(TIMER_DISPLAY, kDisplayPeriodMs);
    }
}

void CTetravDlgPlay::SetNormalRate() {
    m_dlg.Set().SetRate(1.0);
    m_dlg.ActiveSync().SetRate(m_dlg.CurrentSet(), 1.0);
}
