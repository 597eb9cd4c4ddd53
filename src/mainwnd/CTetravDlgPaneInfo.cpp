#include "mainwnd/CTetravDlgPaneInfo.h"

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

CTetravDlgPaneInfo::CTetravDlgPaneInfo(PlaySet& set, const std::array<CVideoPane*, 4>& panes, QObject* parent)
    : QObject(parent), m_set(set), m_panes(panes) {
    // A set that has lost all but one pane has no reference to mark any more.
    connect(&m_set, &PlaySet::retired, this, [this](int) { Show(); });
}

QAction* CTetravDlgPaneInfo::AddMenuItem(QMenu* play) {
    m_pItem = play->addAction(QStringLiteral("显示画面信息"));
    m_pItem->setData(ID_VIEW_PANE_INFO);
    m_pItem->setCheckable(true);
    connect(m_pItem, &QAction::triggered, this, &CTetravDlgPaneInfo::OnToggle);
    return m_pItem;
}

void CTetravDlgPaneInfo::AddResetItem(int pane, CMenuEx* menu, QMenu* popup) {
    m_popups[std::size_t(pane)] = popup;
    menu->AppendCommand(QStringLiteral("还原画面"), ID_RESET_PICTURE_1 + pane);
    connect(menu, &CMenuEx::command, this, [this](int id) {
        if (id >= ID_RESET_PICTURE_1 && id < ID_RESET_PICTURE_1 + 4) {
            OnResetPicture(id - ID_RESET_PICTURE_1);
        }
    });
}

void CTetravDlgPaneInfo::Load() {
    m_bPaneInfo = CSettingsFile::ReadPaneInfo();
    if (m_pItem != nullptr) {
        m_pItem->setChecked(m_bPaneInfo);
    }
    Show();
}

void CTetravDlgPaneInfo::OnToggle() {
    m_bPaneInfo = !m_bPaneInfo;
    // A checkable item has toggled itself already: it is set to what is in force.
    if (m_pItem != nullptr) {
        m_pItem->setChecked(m_bPaneInfo);
    }
    Show();
    QString why;
    if (!CSettingsFile::WritePaneInfo(m_bPaneInfo, &why)) {
        ShowErrorBox(FileFailure(QStringLiteral("保存设置错误!"), CSettingsFile::FilePath(), why));
    }
}

void CTetravDlgPaneInfo::Show() {
    int open = 0;
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        open += m_set.IsOpen(k) ? 1 : 0;
    }
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        IChannel* channel = m_set.Channel(k);
        if (channel == nullptr) {
            continue;
        }
        PaneInfo info;
        info.shown = m_bPaneInfo && m_set.IsOpen(k);
        if (info.shown) {
            info.fileName = QFileInfo(m_set.Path(k)).fileName();
            info.offset = m_set.Offset(k);
            // The panes follow the reference: with one pane there is nothing to follow it.
            info.reference = m_set.IsReference(k) && open > 1;
            info.frameRate = m_set.FrameRate(k);
        }
        channel->ShowPaneInfo(info);
    }
}

void CTetravDlgPaneInfo::OnResetPicture(int pane) {
    if (pane >= 0 && pane < 4 && m_panes[std::size_t(pane)] != nullptr) {
        m_panes[std::size_t(pane)]->ResetPicture();
    }
}

void CTetravDlgPaneInfo::EnableResetPicture(int pane) {
    QMenu* popup = m_popups[std::size_t(pane)];
    if (popup == nullptr) {
        return;
    }
    for (QAction* item : popup->actions()) {
        if (CMenuEx::CommandId(item) == ID_RESET_PICTURE_1 + pane) {
            item->setEnabled(m_panes[std::size_t(pane)]->PictureEnlarged());
        }
    }
}
