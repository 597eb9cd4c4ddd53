#include "mainwnd/CTetravDlgKeys.h"

#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"
#include "mainwnd/CTetravDlgOffset.h"

#include "mainwnd/CSyncControl.h"

#include "model/PlaySet.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "engine/IChannel.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CTetravDlgView.h"
#include "mainwnd/CVideoPane.h"
#include "sync/CChannelSync.h"
#include "sync/CFrameSync.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

enum class KeyCommand {
    PlayPause,
    FullScreen,
    LeaveFullScreen,
    Home,
    End,
    Back10,
    Forward10,
    Back1,
    Forward1,
    VolumeUp,
    VolumeDown,
    Mute,
    Slower,
    Faster,
    Open,
    Goto,
    Options,
    Help,
};

struct KeyBinding {
    int key;
    Qt::KeyboardModifiers modifiers;
    KeyCommand command;
};

// The keypad's modifier is ignored; every other modifier must match exactly.
const KeyBinding kKeys[] = {
    {Qt::Key_Space, Qt::NoModifier, KeyCommand::PlayPause},
    {Qt::Key_F11, Qt::NoModifier, KeyCommand::FullScreen},
    {Qt::Key_Escape, Qt::NoModifier, KeyCommand::LeaveFullScreen},
    {Qt::Key_Home, Qt::NoModifier, KeyCommand::Home},
    {Qt::Key_End, Qt::NoModifier, KeyCommand::End},
    {Qt::Key_PageUp, Qt::NoModifier, KeyCommand::Back10},
    {Qt::Key_PageDown, Qt::NoModifier, KeyCommand::Forward10},
    {Qt::Key_Left, Qt::ShiftModifier, KeyCommand::Back1},
    {Qt::Key_Right, Qt::ShiftModifier, KeyCommand::Forward1},
    {Qt::Key_Up, Qt::NoModifier, KeyCommand::VolumeUp},
    {Qt::Key_Down, Qt::NoModifier, KeyCommand::VolumeDown},
    {Qt::Key_M, Qt::NoModifier, KeyCommand::Mute},
    {Qt::Key_BracketLeft, Qt::NoModifier, KeyCommand::Slower},
    {Qt::Key_BracketRight, Qt::NoModifier, KeyCommand::Faster},
    {Qt::Key_O, Qt::ControlModifier, KeyCommand::Open},
    {Qt::Key_G, Qt::ControlModifier, KeyCommand::Goto},
    {Qt::Key_X, Qt::ControlModifier, KeyCommand::Options},
    {Qt::Key_H, Qt::ControlModifier, KeyCommand::Help},
};

constexpr double kRateLadder[] = {0.1, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0};
// A second key seek within this time counts from where the first one goes, not from where the
// set still is.
constexpr qint64 kKeySeekChainMs = 400;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QString RateText(double rate) {
    return QString::number(rate, 'g', 3);
}

} // namespace

CTetravDlgKeys::CTetravDlgKeys(CTetravDlg& dlg) : QObject(&dlg), m_dlg(dlg), m_set(dlg.Set()) {}

bool CTetravDlgKeys::OnKey(int key, Qt::KeyboardModifiers modifiers) {
    modifiers &= ~Qt::KeypadModifier;
    const KeyBinding* binding = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const KeyBinding& b) {
        return b.key == key && b.modifiers == modifiers;
    });
    if (binding == std::end(kKeys)) {
        return false;
    }
    // The commands that open a dialog run once the key's delivery is over.
    const auto later = [this](int id) {
        QTimer::singleShot(0, this, [this, id] {
            if (QAction* action = m_dlg.MenuAction(id); action != nullptr && action->isEnabled()) {
                action->trigger();
            }
        });
    };
    switch (binding->command) {
    case KeyCommand::PlayPause:
        OnPlayPause();
        return true;
    case KeyCommand::FullScreen:
        m_dlg.m_pView->OnFullScreen();
        return true;
    case KeyCommand::LeaveFullScreen:
        // Otherwise Escape ends the program, as it always has.
        if (!m_dlg.m_pView->IsFullScreen()) {
            return false;
        }
        m_dlg.m_pView->OnFullScreen();
        return true;
    case KeyCommand::Home:
    case KeyCommand::End:
        SeekToEnd(binding->command == KeyCommand::End);
        return true;
    case KeyCommand::Back10:
        SeekBy(-10.0);
        return true;
    case KeyCommand::Forward10:
        SeekBy(10.0);
        return true;
    case KeyCommand::Back1:
        SeekBy(-1.0);
        return true;
    case KeyCommand::Forward1:
        SeekBy(1.0);
        return true;
    case KeyCommand::VolumeUp:
        m_dlg.m_pSound->StepVolume(1);
        return true;
    case KeyCommand::VolumeDown:
        m_dlg.m_pSound->StepVolume(-1);
        return true;
    case KeyCommand::Mute:
        m_dlg.m_pSound->OnMute();
        return true;
    case KeyCommand::Slower:
        StepRate(-1);
        return true;
    case KeyCommand::Faster:
        StepRate(1);
        return true;
    case KeyCommand::Open:
        later(ID_OPEN_FILES);
        return true;
    case KeyCommand::Goto:
        later(ID_PLAY_GOTO);
        return true;
    case KeyCommand::Options:
        later(ID_OPTIONS);
        return true;
    case KeyCommand::Help:
        later(ID_HELP_CONTENTS);
        return true;
    }
    return false;
}

void CTetravDlgKeys::OnPlayPause() {
    if (m_set.OpenCount() == 0 || !m_set.AnyTakesPart()) {
        return;
    }
    if (m_dlg.IsTimerRunning(TIMER_SYNC)) {
        m_dlg.OnPause();
    } else {
        m_dlg.OnPlay();
    }
}

bool CTetravDlgKeys::OnKeyPress(QObject* watched, QKeyEvent* key) {
    // Only the first delivery counts: an ignored key event travels on to the parents. Keys go to
    // the window's focus control, or to the window itself when none has the focus.
    QWidget* focus = m_dlg.focusWidget();
    if (!(focus != nullptr ? watched == focus : watched == &m_dlg)) {
        return false;
    }
    if (OnKey(key->key(), key->modifiers())) {
        return true;
    }
    if (key->key() != Qt::Key_Right && key->key() != Qt::Key_Left) {
        return false;
    }
    const int forward = key->key() == Qt::Key_Right ? 1 : -1;
    if ((key->modifiers() & Qt::ControlModifier) != 0) {
        // While paused, Ctrl+arrow nudges the pane under the pointer alone by one frame.
        const int pane = m_dlg.Offset().PaneUnderPointer();
        if (pane >= 0 && m_set.OpenCount() > 0 && !m_dlg.IsTimerRunning(TIMER_SYNC)) {
            m_dlg.Offset().NudgeOffset(pane, forward);
        }
    } else if (forward > 0) {
        m_dlg.OnStepFrame();
    } else {
        m_dlg.OnStepBack();
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Seeking by keys and by the wheel over the seek bar

void CTetravDlgKeys::SeekBy(double seconds) {
    if (m_set.OpenCount() == 0 || !m_set.AnyTakesPart()) {
        return;
    }
    double from = m_set.PlayTime();
    const bool chained = m_dKeyTarget >= 0.0 && m_keySeekClock.isValid() &&
                         (m_keySeekClock.elapsed() < kKeySeekChainMs || m_dlg.m_pSyncControl->Busy());
    if (chained) {
        from = m_dKeyTarget;
    } else if (!m_dlg.IsTimerRunning(TIMER_SYNC)) {
        m_dlg.ReadPlayTime();
        from = m_set.PlayTime();
    }
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_set.IsReference(k)) {
            ref = k;
        }
    }
    const double frame = ref >= 0 && m_set.FrameRate(ref) > 0.0 ? 1.0 / m_set.FrameRate(ref) : 0.04;
    const double last = std::max(0.0, m_set.TotalTime() - frame);
    const double target = std::clamp(from + seconds, 0.0, last);
    m_dKeyTarget = target;
    m_keySeekClock.start();
    m_dlg.ActiveSync().Seek(m_dlg.CurrentSet(), target);
    m_set.SetPlayTime(target);
    g_dSyncSecs = target;
    m_dlg.ShowTime(target, 2);
    m_dlg.FollowPlayTime();
}

void CTetravDlgKeys::SeekToEnd(bool end) {
    // Far enough past either end that the clamp in SeekBy decides.
    m_dKeyTarget = -1.0;
    SeekBy(end ? m_set.TotalTime() + 1.0 : -m_set.TotalTime() - 1.0);
}

bool CTetravDlgKeys::OnSeekBarWheel(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0 && m_dlg.m_pBars->SeekBar()->isEnabled()) {
        SeekBy(5.0 * notches);
    }
    event->accept();
    return true;
}

// ---------------------------------------------------------------------------------------------
// The rate

void CTetravDlgKeys::StepRate(int direction) {
    if (m_set.OpenCount() == 0 || !m_set.AnyTakesPart()) {
        return;
    }
    // The next rung above or below the rate in force (which may lie between rungs).
    double rate = m_set.Rate();
    if (direction > 0) {
        const auto* next =
            std::upper_bound(std::begin(kRateLadder), std::end(kRateLadder), m_set.Rate() + 1e-9);
        rate = next != std::end(kRateLadder) ? *next : kRateLadder[std::size(kRateLadder) - 1];
    } else {
        const auto* next =
            std::lower_bound(std::begin(kRateLadder), std::end(kRateLadder), m_set.Rate() - 1e-9);
        rate = next != std::begin(kRateLadder) ? *(next - 1) : kRateLadder[0];
    }
    m_set.SetRate(rate);
    m_dlg.ActiveSync().SetRate(m_dlg.CurrentSet(), rate);
    m_dlg.SetStatusText(0, Utf8("播放速度 %1x").arg(RateText(rate)));
}
