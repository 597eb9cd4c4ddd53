// The main window's open command: the file selection dialog, then the set built from the chosen
// paths, one channel per pane, measured and shown.
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "dialogs/CFileSelectDlg.h"
#include "engine/CStreamProbe.h"
#include "engine/IChannel.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsModel.h"

#include <QApplication>
#include <QEventLoop>
#include <QMenuBar>
#include <QTimer>

#include "uikit/Resource.h"
#include <chrono>
#include <future>
#include <iterator>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

void CTetravDlg::WaitWhileOpening(const std::function<bool()>& prerolled,
                                  const std::function<bool()>& examined) {
    if (prerolled() && examined()) {
        return;
    }
    // The window repaints and shows that it is busy; input waits until the set is open, and
    // the controls take no command meanwhile (an accessibility action is no input event).
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QWidget* const controls[] = {m_pMenuBar, m_pBars->ToolBar(), m_pBars->SeekBar(), m_pBars->Volume()};
    bool wasEnabled[std::size(controls)] = {};
    for (std::size_t c = 0; c < std::size(controls); ++c) {
        if (controls[c] != nullptr) {
            wasEnabled[c] = controls[c]->isEnabled();
            controls[c]->setEnabled(false);
        }
    }
    QEventLoop loop;
    QTimer poll;
    // A channel's preroll settles by itself, also when it stops getting anywhere.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_bDestroyed || (prerolled() && examined())) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!m_bDestroyed) {
        for (std::size_t c = 0; c < std::size(controls); ++c) {
            if (controls[c] != nullptr) {
                controls[c]->setEnabled(wasEnabled[c]);
            }
        }
    }
    QApplication::restoreOverrideCursor();
}

void CTetravDlg::OnOpenFiles() {
    // Owned by the main window, as a dialog without a parent is owned by the application's
    // main window: it then stays above it, also when the main window is kept on top.
    CFileSelectDlg dlg(this, {m_pSet->Path(0), m_pSet->Path(1), m_pSet->Path(2), m_pSet->Path(3)});
    m_nCurChannel = 0;
    const int volumeBefore = m_pSound->Volume();
    m_pSound->SetVolume(0);
    // The ticks leave the set alone while the dialog is up: a pick cancelled there empties a
    // path for a moment, which a tick would take for the end of play, and the new volume must
    // not reach the channels of a set that may stay.
    const bool syncWasRunning = IsTimerRunning(TIMER_SYNC);
    const bool displayWasRunning = IsTimerRunning(TIMER_DISPLAY);
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    const bool confirmed = dlg.DoModal() != IDCANCEL;
    if (!confirmed) {
        m_pSound->SetVolume(volumeBefore);
    } else {
        for (int k = 0; k < PlaySet::kPanes; ++k) {
            m_pSet->SetPath(k, dlg.Picked()[std::size_t(k)]);
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
}

void CTetravDlg::OpenSelectedFiles() {
    if (!m_pSet->AnyPath()) {
        return;
    }
    CloseSet();
    m_pBars->SetToolBarOpen();
    // A new set is heard at full volume however it opens (the dialog, a saved set, the command
    // line, a drop); the slider shows it once the reference's sound is found.
    m_pSound->SetVolume(0);

    // The files preroll and are examined side by side while the window keeps repainting; the
    // messages then come in the order of the channels, as if each had been opened in turn.
    const QString paths[4] = {m_pSet->Path(0), m_pSet->Path(1), m_pSet->Path(2), m_pSet->Path(3)};
    std::future<StreamFacts> detections[4];
    ChannelStart started[4] = {ChannelStart::NotCreated, ChannelStart::NotCreated, ChannelStart::NotCreated,
                               ChannelStart::NotCreated};
    for (int i = 0; i < 4; ++i) {
        if (!paths[i].isEmpty()) {
            m_nCurChannel = i;
            started[i] = StartChannel(i, paths[i]);
            detections[i] = std::async(std::launch::async, &CStreamProbe::Discover, paths[i]);
        }
    }
    WaitWhileOpening(
        [&] {
            for (int i = 0; i < 4; ++i) {
                if (started[i] == ChannelStart::Started && m_pSet->Channel(i) != nullptr &&
                    !m_pSet->Channel(i)->IsRenderSettled()) {
                    return false;
                }
            }
            return true;
        },
        [&] {
            for (const auto& detection : detections) {
                if (detection.valid() &&
                    detection.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                    return false;
                }
            }
            return true;
        });
    StreamFacts facts[4];
    for (int i = 0; i < 4; ++i) {
        if (detections[i].valid()) {
            facts[i] = detections[i].get();
        }
    }
    if (m_bDestroyed) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (!paths[i].isEmpty()) {
            FinishChannel(i, m_wndPane[i], paths[i], started[i]);
        }
    }

    ProbeState probe;
    const double x = CStreamProbe::ProbeChannels(m_pSet->Paths(), m_pSet->Channels(),
                                                 m_pSettings->ReferenceRule(), probe, facts);
    for (const QString& message : probe.messages) {
        ShowMessageBox(message);
    }
    int reference = -1;
    for (int k = 0; k < 4; ++k) {
        m_pSet->SetLength(k, probe.length[k]);
        m_pSet->SetFrameRate(k, probe.frameRate[k]);
        reference = probe.reference[k] == 1 ? k : reference;
    }
    m_pSet->SetReference(reference);
    m_pSet->SetOpenCount(probe.openCount);
    ShowPaneInfo();
    // A channel without a length takes no part in play, so it keeps no pipeline that play
    // could start (a WAV header without samples prerolls, then never stops once running).
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->Channel(k) != nullptr && !m_pSet->Path(k).isEmpty() && !(m_pSet->Length(k) > 0.0)) {
            m_pSet->Channel(k)->Destroy();
        }
    }
    m_pSet->SetPlayTime(x);
    if (x == 0.0) {
        OnStop();
        ShowErrorBox(Utf8("选择视频文件错误!"));
        return;
    }

    m_pSet->SetTotalTime(x);
    ShowTime(x, 1);
    for (int k = 0; k < 4; ++k) {
        m_pSet->SetOpenedPath(k, m_pSet->Length(k) > 0.0 && m_pSet->IsOpen(k) ? m_pSet->Path(k) : QString());
    }
    SetStatusText(0, Utf8("打开文件"));
    for (int i = 0; i < 4; ++i) {
        QStringList messages;
        const bool sound = m_pSet->IsReference(i) && m_pSet->Channel(i) != nullptr &&
                           CStreamProbe::AudioStreamOf(facts[i], i, &messages) == 1;
        for (const QString& message : messages) {
            ShowMessageBox(message);
        }
        if (sound && m_pSet->Channel(i) != nullptr) {
            m_pBars->Volume()->SetRange(0, static_cast<int>(m_pSet->Channel(i)->GetVolume()) + 10000, false);
            m_pBars->Volume()->SetPos(static_cast<int>(m_pSet->Channel(i)->GetVolume()) + 10000);
        }
    }
    if (m_pBars->SeekBar() != nullptr) {
        m_pBars->SeekBar()->setEnabled(true);
    }
    m_pBars->Volume()->setEnabled(true);
    if (!m_bOpeningSetFile) {
        KeepLooseSet();
    }
}

void CTetravDlg::OpenChannel(int i, CVideoPane* pane, const QString& path) {
    const ChannelStart start = StartChannel(i, path);
    IChannel* channel = m_pSet->Channel(i);
    WaitWhileOpening(
        [&] {
            return start != ChannelStart::Started || m_pSet->Channel(i) != channel ||
                   channel->IsRenderSettled();
        },
        [] { return true; });
    if (!m_bDestroyed) {
        FinishChannel(i, pane, path, start);
    }
}

CTetravDlg::ChannelStart CTetravDlg::StartChannel(int i, const QString& path) {
    CloseChannel(i);
    m_pSet->SetChannel(i, std::unique_ptr<IChannel>(m_channelFactory()));
    IChannel* channel = m_pSet->Channel(i);
    if (channel == nullptr || !channel->Create()) {
        return ChannelStart::NotCreated;
    }
    return channel->StartRender(path) ? ChannelStart::Started : ChannelStart::Refused;
}

void CTetravDlg::FinishChannel(int i, CVideoPane* pane, const QString& path, ChannelStart start) {
    IChannel* channel = m_pSet->Channel(i);
    if (channel == nullptr || start == ChannelStart::NotCreated) {
        return; // no graph: the pane stays empty, silently
    }
    // A channel that did not open keeps its object until it is closed, but no pipeline: play
    // must find nothing to start there.
    auto fail = [channel, i, &path](const char* text) {
        channel->Destroy();
        ShowErrorBox(WithSecondLine(Utf8(text), FileLine(i, path)));
    };
    if (start != ChannelStart::Started || !channel->FinishRender()) {
        fail("打开视频文件错误!");
        return;
    }
    if (!channel->SetDisplayWindow(pane)) {
        fail("设置视频错误!");
        return;
    }
    const QRect r = pane->rect();
    if (!channel->SetWindowPosition(r.left(), r.top(), r.width(), r.height())) {
        fail("打开视频错误!");
    }
}
