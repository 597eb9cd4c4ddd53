// The main window's keys: one table from key to command, the full-screen video area, seeking
// by steps of time, the volume and mute keys, and the ladder of rates the [ and ] keys climb.
// Enter and Escape keep their meaning (they end the program) except that Escape first leaves
// full screen; the arrow keys keep stepping frames (CTetravDlg.cpp).
#include "mainwnd/CTetravDlg.h"

#include "mainwnd/CSyncControl.h"

#include "model/PlaySet.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "engine/IChannel.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CVideoPane.h"
#include "sync/CChannelSync.h"
#include "sync/CFrameSync.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QGuiApplication>
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
constexpr int kVolumeSteps = 20;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QString RateText(double rate) {
    return QString::number(rate, 'g', 3);
}

} // namespace

bool CTetravDlg::OnKey(int key, Qt::KeyboardModifiers modifiers) {
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
            if (QAction* action = MenuAction(id); action != nullptr && action->isEnabled()) {
                action->trigger();
            }
        });
    };
    switch (binding->command) {
    case KeyCommand::PlayPause:
        OnPlayPause();
        return true;
    case KeyCommand::FullScreen:
        OnFullScreen();
        return true;
    case KeyCommand::LeaveFullScreen:
        // Otherwise Escape ends the program, as it always has.
        if (!m_bFullScreen) {
            return false;
        }
        OnFullScreen();
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
        StepVolume(1);
        return true;
    case KeyCommand::VolumeDown:
        StepVolume(-1);
        return true;
    case KeyCommand::Mute:
        OnMute();
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

void CTetravDlg::OnPlayPause() {
    if (m_pSet->OpenCount() == 0 || !m_pSet->AnyTakesPart()) {
        return;
    }
    if (IsTimerRunning(TIMER_SYNC)) {
        OnPause();
    } else {
        OnPlay();
    }
}

// ---------------------------------------------------------------------------------------------
// Full screen

void CTetravDlg::OnFullScreen() {
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    m_bFullScreen = !m_bFullScreen;
    if (m_bFullScreen) {
        m_normalGeometry = geometry();
        setWindowState(windowState() | Qt::WindowFullScreen);
        // Without a window manager the state alone does not move the window.
        setGeometry(screen->geometry());
    } else {
        setWindowState((windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
        setGeometry(m_normalGeometry.isValid() ? m_normalGeometry : screen->availableGeometry());
    }
    // The bars come back (or go) with the layout; a window whose size did not change is laid
    // out here.
    m_pMenuBar->setVisible(!m_bFullScreen);
    const int menuHeight = m_bFullScreen ? 0 : m_pMenuBar->sizeHint().height();
    m_pMenuBar->setGeometry(0, 0, width(), menuHeight);
    m_pClient->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
    if (m_bBarsCreated) {
        QWidget* const bars[] = {m_wndSeekBar, m_wndToolBar, m_wndVolume, m_wndStatusBar};
        for (QWidget* bar : bars) {
            bar->setVisible(!m_bFullScreen);
        }
        LayoutControls();
    }
    SetStatusText(0, m_bFullScreen ? Utf8("全屏显示") : Utf8("退出全屏"));
}

void CTetravDlg::LayoutFullScreen() {
    const int w = m_pClient->width();
    const int h = m_pClient->height();
    const int halfW = w / 2;
    const int halfH = h / 2;
    for (int i = 0; i < 4; ++i) {
        const bool zoomed = !m_bFourPanes && i == m_nZoomedPane;
        // Panes 1 and 2 on the left, 3 and 4 on the right, as in the grid.
        const QRect cell(i < 2 ? 0 : halfW, (i % 2) == 0 ? 0 : halfH, i < 2 ? halfW : w - halfW,
                         (i % 2) == 0 ? halfH : h - halfH);
        m_wndPane[i]->setGeometry(zoomed ? QRect(0, 0, w, h) : cell);
        m_wndPane[i]->setVisible(m_bFourPanes || zoomed);
        if (m_pSet->Channel(i) != nullptr) {
            const QRect client = m_wndPane[i]->rect();
            m_pSet->Channel(i)->SetWindowPosition(client.left(), client.top(), client.width(),
                                                  client.height());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Seeking by keys and by the wheel over the seek bar

void CTetravDlg::SeekBy(double seconds) {
    if (m_pSet->OpenCount() == 0 || !m_pSet->AnyTakesPart()) {
        return;
    }
    double from = m_pSet->PlayTime();
    const bool chained = m_dKeyTarget >= 0.0 && m_keySeekClock.isValid() &&
                         (m_keySeekClock.elapsed() < kKeySeekChainMs || m_pSyncControl->Busy());
    if (chained) {
        from = m_dKeyTarget;
    } else if (!IsTimerRunning(TIMER_SYNC)) {
        ReadPlayTime();
        from = m_pSet->PlayTime();
    }
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsReference(k)) {
            ref = k;
        }
    }
    const double frame = ref >= 0 && m_pSet->FrameRate(ref) > 0.0 ? 1.0 / m_pSet->FrameRate(ref) : 0.04;
    const double last = std::max(0.0, m_pSet->TotalTime() - frame);
    const double target = std::clamp(from + seconds, 0.0, last);
    m_dKeyTarget = target;
    m_keySeekClock.start();
    ActiveSync().Seek(CurrentSet(), target);
    m_pSet->SetPlayTime(target);
    g_dSyncSecs = target;
    ShowTime(target, 2);
    FollowPlayTime();
}

void CTetravDlg::FollowPlayTime() {
    if (m_pSet->OpenCount() > 0 && m_pSet->AnyTakesPart() && !IsTimerRunning(TIMER_DISPLAY)) {
        SetTimer(TIMER_DISPLAY, 500);
    }
}

void CTetravDlg::SeekToEnd(bool end) {
    // Far enough past either end that the clamp in SeekBy decides.
    m_dKeyTarget = -1.0;
    SeekBy(end ? m_pSet->TotalTime() + 1.0 : -m_pSet->TotalTime() - 1.0);
}

bool CTetravDlg::OnSeekBarWheel(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0 && m_wndSeekBar->isEnabled()) {
        SeekBy(5.0 * notches);
    }
    event->accept();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Volume and rate

void CTetravDlg::StepVolume(int direction) {
    if (!m_wndVolume->isEnabled()) {
        return;
    }
    const int max = m_wndVolume->GetRangeMax();
    const int from = m_nMutedPos >= 0 ? m_nMutedPos : m_wndVolume->GetPos();
    m_nMutedPos = -1;
    const int step = std::max(1, max / kVolumeSteps);
    m_wndVolume->SetPos(std::clamp(from + direction * step, m_wndVolume->GetRangeMin(), max));
    emit m_wndVolume->hscroll(m_wndVolume->GetPos());
    SetStatusText(0, Utf8("音量 %1%").arg(max > 0 ? m_wndVolume->GetPos() * 100 / max : 0));
}

void CTetravDlg::OnMute() {
    if (!m_wndVolume->isEnabled()) {
        return;
    }
    // Muted only while the slider still stands where muting put it (a new set moves it).
    if (m_nMutedPos >= 0 && m_wndVolume->GetPos() == m_wndVolume->GetRangeMin()) {
        m_wndVolume->SetPos(m_nMutedPos);
        m_nMutedPos = -1;
    } else {
        m_nMutedPos = m_wndVolume->GetPos();
        m_wndVolume->SetPos(m_wndVolume->GetRangeMin());
        if (m_nMutedPos == m_wndVolume->GetRangeMin()) {
            m_nMutedPos = -1; // nothing to come back to
        }
    }
    emit m_wndVolume->hscroll(m_wndVolume->GetPos());
    SetStatusText(0, m_nMutedPos >= 0 ? Utf8("静音") : Utf8("取消静音"));
}

void CTetravDlg::StepRate(int direction) {
    if (m_pSet->OpenCount() == 0 || !m_pSet->AnyTakesPart()) {
        return;
    }
    // The next rung above or below the rate in force (which may lie between rungs).
    double rate = m_pSet->Rate();
    if (direction > 0) {
        const auto* next =
            std::upper_bound(std::begin(kRateLadder), std::end(kRateLadder), m_pSet->Rate() + 1e-9);
        rate = next != std::end(kRateLadder) ? *next : kRateLadder[std::size(kRateLadder) - 1];
    } else {
        const auto* next =
            std::lower_bound(std::begin(kRateLadder), std::end(kRateLadder), m_pSet->Rate() - 1e-9);
        rate = next != std::begin(kRateLadder) ? *(next - 1) : kRateLadder[0];
    }
    m_pSet->SetRate(rate);
    ActiveSync().SetRate(CurrentSet(), rate);
    SetStatusText(0, Utf8("播放速度 %1x").arg(RateText(rate)));
}
