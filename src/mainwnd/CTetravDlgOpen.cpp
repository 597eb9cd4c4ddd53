// The main window's open command: the file selection dialog, then the set built from the chosen
// paths by a SetOpenJob, and shown once it is measured.
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "dialogs/CFileSelectDlg.h"
#include "engine/CStreamProbe.h"
#include "engine/IChannel.h"
#include "mainwnd/CSavedSets.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CTetravDlgView.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/SetOpenJob.h"
#include "model/PlaySet.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"

#include <QApplication>
#include <QMenuBar>
#include <QTimer>

#include "uikit/Resource.h"

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

void CTetravDlg::OnOpenFiles() {
    // Owned by the main window, as a dialog without a parent is owned by the application's
    // main window: it then stays above it, also when the main window is kept on top.
    auto* dlg =
        new CFileSelectDlg(this, {m_pSet->Path(0), m_pSet->Path(1), m_pSet->Path(2), m_pSet->Path(3)});
    const int volumeBefore = m_pSound->Volume();
    m_pSound->SetVolume(0);
    // The ticks leave the set alone while the dialog is up: the new volume must not reach the
    // channels of a set that may stay.
    const bool syncWasRunning = IsTimerRunning(TIMER_SYNC);
    const bool displayWasRunning = IsTimerRunning(TIMER_DISPLAY);
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    dlg->Open([this, dlg, volumeBefore, syncWasRunning, displayWasRunning](int result) {
        const bool confirmed = result != IDCANCEL;
        if (!confirmed) {
            m_pSound->SetVolume(volumeBefore);
        } else {
            for (int k = 0; k < PlaySet::kPanes; ++k) {
                m_pSet->SetPath(k, dlg->Picked()[std::size_t(k)]);
            }
        }
        if (confirmed && m_pSet->AnyPath()) {
            OpenSelectedFiles();
            return;
        }
        // Nothing opens: the set in place goes on as it was.
        if (syncWasRunning) {
            SetTimer(TIMER_SYNC, 0);
        }
        if (displayWasRunning) {
            SetTimer(TIMER_DISPLAY, 500);
        }
    });
}

void CTetravDlg::OpenSelectedFiles() {
    OpenPaths(false, {});
}

void CTetravDlg::OpenPaths(bool fromSetFile, const AfterOpen& then) {
    if (!m_pSet->AnyPath()) {
        if (then) {
            then(false);
        }
        return;
    }
    if (m_pSet->IsOpening()) {
        // One open at a time: this one follows the one under way.
        m_pSet->WhenOpen(this, [this, fromSetFile, then] { OpenPaths(fromSetFile, then); });
        return;
    }
    m_pPlay->CloseSet();
    m_pBars->SetToolBarOpen();
    // A new set is heard at full volume however it opens (the dialog, a saved set, the command
    // line, a drop); the slider shows it once the reference's sound is found.
    m_pSound->SetVolume(0);
    m_pSet->SetOpening(true);
    // The files preroll and are examined side by side while the window keeps repainting; the
    // commands that come meanwhile wait for the set (PlaySet::WhenOpen).
    auto* job = new SetOpenJob(*m_pSet, m_pView->Panes(), this);
    job->SetControls({MenuBar(), m_pBars->ToolBar(), m_pBars->SeekBar(), m_pBars->Volume()});
    connect(job, &SetOpenJob::finished, this, [this, job, fromSetFile, then](const SetOpenResult& result) {
        job->deleteLater();
        ShowOpenedSet(result, fromSetFile, [this, then](bool opened) {
            if (then) {
                then(opened && !m_bDestroyed); // the window may have been closed meanwhile
            }
            m_pSet->SetOpening(false);
        });
    });
    job->Start(m_pSettings->ReferenceRule());
}

void CTetravDlg::ShowOpenedSet(const SetOpenResult& result, bool fromSetFile, const AfterOpen& then) {
    ShowPaneInfo();
    const double x = result.total;
    if (x == 0.0) {
        OnStop();
        ShowErrorBox(Utf8("选择视频文件错误!"));
        // The set stays closed until the box is closed.
        AfterMessageBoxes(this, [then] { then(false); });
        return;
    }

    m_pSet->SetTotalTime(x);
    ShowTime(x, 1);
    for (int k = 0; k < 4; ++k) {
        m_pSet->SetOpenedPath(k, m_pSet->Length(k) > 0.0 && m_pSet->IsOpen(k) ? m_pSet->Path(k) : QString());
    }
    SetStatusText(0, Utf8("打开文件"));
    // The reference's sound: its messages, then its volume on the slider.
    const int ref = m_pSet->Reference();
    QStringList messages;
    const bool sound = ref >= 0 && m_pSet->Channel(ref) != nullptr &&
                       CStreamProbe::AudioStreamOf(result.facts[std::size_t(ref)], ref, &messages) == 1;
    for (const QString& message : messages) {
        ShowMessageBox(message);
    }
    // The controls come back once the messages have been closed.
    AfterMessageBoxes(this, [this, sound, ref, fromSetFile, then] {
        if (sound && m_pSet->Channel(ref) != nullptr) {
            m_pBars->Volume()->SetRange(0, static_cast<int>(m_pSet->Channel(ref)->GetVolume()) + 10000,
                                        false);
            m_pBars->Volume()->SetPos(static_cast<int>(m_pSet->Channel(ref)->GetVolume()) + 10000);
        }
        if (m_pBars->SeekBar() != nullptr) {
            m_pBars->SeekBar()->setEnabled(true);
        }
        m_pBars->Volume()->setEnabled(true);
        if (!fromSetFile) {
            m_pSavedSets->KeepLooseSet();
        }
        then(true);
    });
}

void CTetravDlg::ApplyRunModes(const RunOptions& options) {
    m_pSettings->SetForRun(options.syncMode, options.reference);
}
