// The main window's bars and layout (tool bar, seek bar, volume, status bar) and the settings it
// reads at start.
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CTetravDlgPaneInfo.h"
#include "mainwnd/CTetravDlgView.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "platform/CHotKeyManager.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QFrame>

#include <limits>

namespace {

constexpr int kToolBarOrder[7] = {ID_TB_PLAY,         ID_TB_STOP,   ID_TB_PAUSE, ID_TB_SLOWER,
                                  ID_TB_NORMAL_SPEED, ID_TB_FASTER, ID_TB_OPEN};

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// Seconds as a 32-bit unsigned whole number, the way the time texts split them.
unsigned WholeSeconds(double seconds) {
    if (!(seconds > 0.0)) {
        return 0;
    }
    if (seconds >= static_cast<double>(std::numeric_limits<unsigned>::max())) {
        return std::numeric_limits<unsigned>::max();
    }
    return static_cast<unsigned>(seconds);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Bars and layout

void CTetravDlg::CreateBars() {
    m_wndSeekBar = new CXScrollBar(m_pClient);
    m_wndSeekBar->CreateOverStatic(WS_CHILD | WS_VISIBLE | SS_NOTIFY, m_pClient, IDC_SEEKBAR_PLACEHOLDER,
                                   IDC_SEEKBAR);
    m_wndSeekBar->SetScrollRange(0, 200, true);
    m_wndSeekBar->m_bUseThumbColor = false;
    m_wndSeekBar->m_bTintChannel = false;
    m_wndSeekBar->m_bShowGripper = true;
    m_wndSeekBar->setAccessibleName(QStringLiteral("播放进度"));
    m_wndSeekBar->setEnabled(false);
    connect(m_wndSeekBar, &CXScrollBar::hscroll, this, [this](int, int) { OnSeekBarScroll(); });

    m_wndToolBar = new CToolBarXP(m_pClient);
    if (!m_wndToolBar->CreateEx(m_pClient, AFX_IDW_TOOLBAR) || !m_wndToolBar->LoadToolBar(IDR_MAINFRAME)) {
        return;
    }
    connect(m_wndToolBar, &CToolBarXP::command, this, &CTetravDlg::OnCommand);
    m_pToolBarCtrl = m_wndToolBar;
    SetToolBarIdle();
    m_wndToolBar->UpdateTipText(ID_TB_STOP, Utf8("停止播放"));
    m_wndToolBar->UpdateTipText(ID_TB_PLAY, Utf8("播放"));
    m_wndToolBar->UpdateTipText(ID_TB_PAUSE, Utf8("暂停播放"));
    m_wndToolBar->UpdateTipText(ID_TB_SLOWER, Utf8("倒回播放"));
    m_wndToolBar->UpdateTipText(ID_TB_NORMAL_SPEED, Utf8("恢复播放"));
    m_wndToolBar->UpdateTipText(ID_TB_FASTER, Utf8("快速播放"));
    m_wndToolBar->UpdateTipText(ID_TB_OPEN, Utf8("打开文件"));

    m_wndStatusBar = new CStatusBar(m_pClient);
    m_wndStatusBar->Reposition();
    m_wndStatusBar->show();
    const unsigned w = static_cast<unsigned>(m_nScreenWidth);
    const int edges[4] = {static_cast<int>(w / 4u), static_cast<int>(w / 2u),
                          static_cast<int>(static_cast<double>(w) * 0.7142857142857143), m_nScreenWidth};
    m_wndStatusBar->SetParts(4, edges);
    m_wndStatusBar->SetText(0, Utf8("提示信息"));
    m_wndStatusBar->SetText(1, Utf8("总时间"));
    m_wndStatusBar->SetText(2, Utf8("播放时间"));
    m_wndStatusBar->SetText(3, Utf8("同步信息"));

    m_bBarsCreated = true;
    LayoutControls();
    m_wndVolume->setEnabled(false);
}

void CTetravDlg::LayoutControls() {
    if (m_pView->IsFullScreen()) {
        m_pView->PlacePanes(MainLayout{}, m_pClient->size());
        return;
    }
    m_wndStatusBar->Reposition();
    MainLayoutInput in;
    in.screenWidth = m_nScreenWidth;
    in.screenHeight = m_nScreenHeight;
    in.clientWidth = m_pClient->width();
    in.statusBarTop = m_wndStatusBar->y();
    const MainLayout l = ComputeMainLayout(in);

    // The parts follow the width actually available, so the last one stays inside the window.
    bool sameParts = m_wndStatusBar->GetParts() == 4;
    for (int i = 0; sameParts && i < 4; ++i) {
        sameParts = m_wndStatusBar->RightEdge(i) == l.statusEdges[i];
    }
    if (!sameParts) {
        m_wndStatusBar->SetParts(4, l.statusEdges);
    }
    m_wndSeekBar->setGeometry(l.seekBar);
    m_wndSeekBar->m_rectClient = QRect(0, 0, m_wndSeekBar->width(), m_wndSeekBar->height());
    m_wndSeekBar->update();
    m_wndToolBar->setGeometry(l.toolBar);
    m_wndVolume->setGeometry(l.volume);
    m_pView->PlacePanes(l, m_pClient->size());
    m_wndStatusBar->raise();
}

void CTetravDlg::SetToolBarIdle() {
    if (m_pToolBarCtrl == nullptr) {
        return;
    }
    for (int id : kToolBarOrder) {
        m_pToolBarCtrl->EnableButton(id, id == ID_TB_OPEN);
    }
}

void CTetravDlg::SetToolBarOpen() {
    if (m_pToolBarCtrl == nullptr) {
        return;
    }
    for (int id : kToolBarOrder) {
        m_pToolBarCtrl->EnableButton(id, true);
    }
}

void CTetravDlg::SetStatusText(int part, const QString& text) {
    if (m_wndStatusBar != nullptr) {
        m_wndStatusBar->SetText(part, text);
    }
    if (part == 0) {
        emit actionShown();
    }
}

void CTetravDlg::ShowTime(double seconds, int part) {
    const unsigned s = WholeSeconds(seconds);
    SetStatusText(part, QString::asprintf("%02u:%02u:%02u", s / 3600u, (s % 3600u) / 60u, (s % 3600u) % 60u));
}

QPoint CTetravDlg::ContextMenuPos(int pane) const {
    const unsigned w = static_cast<unsigned>(m_nScreenWidth);
    const unsigned h = static_cast<unsigned>(m_nScreenHeight);
    const int left = static_cast<int>(w >> 2);
    const int right = static_cast<int>(static_cast<double>(w) * 0.6666666666666666);
    const int top = static_cast<int>(h >> 2);
    const int bottom = static_cast<int>(static_cast<double>(h) * 0.6666666666666666);
    return QPoint(pane < 2 ? left : right, (pane % 2) == 0 ? top : bottom);
}

// ---------------------------------------------------------------------------------------------
// Settings

void CTetravDlg::LoadSettings() {
    if (CSettingsFile::Exists()) {
        HotKeySetting keys[4];
        CSettings stored = m_pSettings->Stored();
        CSettingsFile::Read(stored, keys);
        m_pSettings->Store(stored);
        for (int n = 0; n < 4; ++n) {
            m_pHotKeys->RegisterHotKey((n + 1) * 100, keys[n].modifiers & 0xFFFFu,
                                       keys[n].virtualKey & 0xFFFFu);
        }
    } else {
        WriteDefaultSettings();
        for (int n = 0; n < 4; ++n) {
            m_pHotKeys->RegisterHotKey((n + 1) * 100, MOD_CONTROL | MOD_SHIFT,
                                       65u + static_cast<unsigned>(n));
        }
    }
    // The fifth hot key: every pane at one instant (Ctrl+Shift+E unless the file says otherwise).
    const HotKeySetting all = CSettingsFile::ReadCaptureAllKey();
    m_pHotKeys->RegisterHotKey(HOTKEY_ID_ALL, all.modifiers, all.virtualKey);
    m_pView->SetDisplayMode(m_pSettings->Stored().ForeView == 1);
    m_pPaneInfo->Load();
}

void CTetravDlg::WriteDefaultSettings() {
    CSettings stored = m_pSettings->Stored();
    CSettingsFile::WriteDefaults(stored);
    m_pSettings->Store(stored);
}
