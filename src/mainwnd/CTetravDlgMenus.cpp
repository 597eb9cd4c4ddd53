// The main window's menu bar and the commands its items, the tool bar and the pane menus give.
#include "mainwnd/CTetravDlg.h"

#include "mainwnd/CAudioAlignment.h"
#include "mainwnd/CMainMenus.h"
#include "mainwnd/CSavedSets.h"
#include "mainwnd/CTetravDlgCapture.h"
#include "mainwnd/CTetravDlgExport.h"
#include "mainwnd/CTetravDlgOffset.h"
#include "mainwnd/CTetravDlgPaneInfo.h"
#include "mainwnd/CTetravDlgView.h"
#include "uikit/Resource.h"

#include <QMenu>

void CTetravDlg::BuildMenuBar() {
    m_pMenus = new CMainMenus(this);
    connect(m_pMenus, &CMainMenus::command, this, &CTetravDlg::OnCommand);
    QMenu* file = m_pMenus->AddMenu("文件");
    m_pMenus->Add(file, "打开文件 \tCtrl+O", ID_OPEN_FILES);
    m_pSavedSets->AddMenus(file);
    file->addSeparator();
    m_pMenus->Add(file, "退出", ID_EXIT);
    QMenu* play = m_pMenus->AddMenu("播放控制");
    const auto display = m_pView->AddDisplayItems(play);
    m_pMenus->Keep(ID_VIEW_TOPMOST, display[0]);
    m_pMenus->Keep(ID_VIEW_NORMAL, display[1]);
    m_pMenus->Keep(ID_VIEW_PANE_INFO, m_pPaneInfo->AddMenuItem(play));
    play->addSeparator();
    m_pMenus->Add(play, "逐帧播放   ->", ID_PLAY_STEP);
    m_pMenus->Add(play, "逐帧后退   <-", ID_PLAY_STEP_BACK);
    m_pMenus->Add(play, "跳至(&G) \tCtrl+G", ID_PLAY_GOTO);
    m_pMenus->Add(play, "全部抓图", ID_CAPTURE_ALL);
    m_pMenus->Add(play, "按声音对齐", ID_ALIGN_AUDIO);
    m_pMenus->Add(play, "选项(&X)\tCtrl+X", ID_OPTIONS);
    m_pExport->AddMenus(file, play);
    QMenu* help = m_pMenus->AddMenu("帮助 ");
    m_pMenus->Add(help, "帮助 \tCtrl+H", ID_HELP_CONTENTS);
    m_pMenus->Add(help, "关于", ID_APP_ABOUT);
}

QMenuBar* CTetravDlg::MenuBar() const {
    return m_pMenus->Bar();
}

void CTetravDlg::KeepAction(int commandId, QAction* action) {
    m_pMenus->Keep(commandId, action);
}

QAction* CTetravDlg::MenuAction(int commandId) const {
    return m_pMenus->Action(commandId);
}

void CTetravDlg::OnCommand(int id) {
    switch (id) {
    case ID_OPEN_FILES:
    case ID_TB_OPEN:
        OnOpenFiles();
        break;
    case ID_EXIT:
        OnExit();
        break;
    case ID_TB_PLAY:
        OnPlay();
        break;
    case ID_TB_PAUSE:
        OnPause();
        break;
    case ID_TB_STOP:
        OnStop();
        break;
    case ID_TB_SLOWER:
        OnSlower();
        break;
    case ID_TB_NORMAL_SPEED:
        OnNormalSpeed();
        break;
    case ID_TB_FASTER:
        OnFaster();
        break;
    case ID_PLAY_STEP:
        OnStepFrame();
        break;
    case ID_PLAY_STEP_BACK:
        OnStepBack();
        break;
    case ID_SET_OFFSET_1:
    case ID_SET_OFFSET_1 + 1:
    case ID_SET_OFFSET_1 + 2:
    case ID_SET_OFFSET_1 + 3:
        m_pOffset->OnSetOffset(id - ID_SET_OFFSET_1);
        break;
    case ID_CLEAR_OFFSET_1:
    case ID_CLEAR_OFFSET_1 + 1:
    case ID_CLEAR_OFFSET_1 + 2:
    case ID_CLEAR_OFFSET_1 + 3:
        m_pOffset->SetChannelOffset(id - ID_CLEAR_OFFSET_1, 0.0);
        break;
    case ID_ALIGN_AUDIO:
        m_pAlignment->Start(-1);
        break;
    case ID_ALIGN_AUDIO_1:
    case ID_ALIGN_AUDIO_1 + 1:
    case ID_ALIGN_AUDIO_1 + 2:
    case ID_ALIGN_AUDIO_1 + 3:
        m_pAlignment->Start(id - ID_ALIGN_AUDIO_1);
        break;
    case ID_PLAY_GOTO:
        OnGoto();
        break;
    case ID_CAPTURE_1:
    case ID_CAPTURE_2:
    case ID_CAPTURE_3:
    case ID_CAPTURE_4:
        m_pCapture->OnCapture((id - ID_CAPTURE_1) / 2);
        break;
    case ID_CAPTURE_ALL:
        m_pCapture->OnCaptureAll();
        break;
    case ID_OPTIONS:
        OnOptions();
        break;
    case ID_APP_ABOUT:
    case IDM_ABOUTBOX:
        OnAbout();
        break;
    case ID_HELP_CONTENTS:
        OnHelpContents();
        break;
    default:
        break;
    }
}
