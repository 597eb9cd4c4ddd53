// The main window's pane information (播放控制 -> "显示画面信息", kept in the settings file): each
// pane shows its file's name, its own time and frame number, its offset and, on the reference
// pane, a mark; and each pane menu's "还原画面", which shows the whole picture again after a zoom.
#include "mainwnd/CTetravDlg.h"

#include "controls/CMenuEx.h"
#include "engine/CPaneInfoOverlay.h"
#include "engine/IChannel.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsFile.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

void CTetravDlg::AddPictureItems(QMenu* play) {
    QAction* info = play->addAction(QStringLiteral("显示画面信息"));
    info->setData(ID_VIEW_PANE_INFO);
    info->setCheckable(true);
    connect(info, &QAction::triggered, this, [this] { OnCommand(ID_VIEW_PANE_INFO); });
    m_menuActions[ID_VIEW_PANE_INFO] = info;
}

void CTetravDlg::AddResetPictureItem(int pane) {
    m_menuContext[pane]->AppendCommand(QStringLiteral("还原画面"), ID_RESET_PICTURE_1 + pane);
}

void CTetravDlg::LoadPaneInfoSetting() {
    m_bPaneInfo = CSettingsFile::ReadPaneInfo();
    if (QAction* item = MenuAction(ID_VIEW_PANE_INFO)) {
        item->setChecked(m_bPaneInfo);
    }
    ShowPaneInfo();
}

void CTetravDlg::OnTogglePaneInfo() {
    m_bPaneInfo = !m_bPaneInfo;
    // A checkable item has toggled itself already: it is set to what is in force.
    if (QAction* item = MenuAction(ID_VIEW_PANE_INFO)) {
        item->setChecked(m_bPaneInfo);
    }
    ShowPaneInfo();
    QString why;
    if (!CSettingsFile::WritePaneInfo(m_bPaneInfo, &why)) {
        ShowErrorBox(FileFailure(QStringLiteral("保存设置错误!"), CSettingsFile::FilePath(), why));
    }
}

void CTetravDlg::ShowPaneInfo() {
    for (int k = 0; k < 4; ++k) {
        IChannel* channel = m_pSet->Channel(k);
        if (channel == nullptr) {
            continue;
        }
        PaneInfo info;
        info.shown = m_bPaneInfo && m_pSet->IsOpen(k);
        if (info.shown) {
            info.fileName = QFileInfo(m_pSet->Path(k)).fileName();
            info.offset = m_pSet->Offset(k);
            info.reference = m_pSet->IsReference(k);
            info.frameRate = m_pSet->FrameRate(k);
        }
        channel->ShowPaneInfo(info);
    }
}

void CTetravDlg::OnResetPicture(int pane) {
    if (pane >= 0 && pane < 4 && m_wndPane[pane] != nullptr) {
        m_wndPane[pane]->ResetPicture();
    }
}

void CTetravDlg::EnableResetPicture(int pane) {
    for (QAction* item : m_pPopup[pane]->actions()) {
        if (CMenuEx::CommandId(item) == ID_RESET_PICTURE_1 + pane) {
            item->setEnabled(m_wndPane[pane]->PictureEnlarged());
        }
    }
}
