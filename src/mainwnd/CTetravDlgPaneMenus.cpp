#include "mainwnd/CTetravDlgPaneMenus.h"

#include "controls/CMenuEx.h"
#include "mainwnd/CTetravDlgBars.h"
#include "model/PlaySet.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>

CTetravDlgPaneMenus::CTetravDlgPaneMenus(PlaySet& set, const CTetravDlgBars& bars, QObject* parent)
    : QObject(parent), m_set(set), m_bars(bars) {}

void CTetravDlgPaneMenus::Create() {
    static const int kMenus[4] = {IDR_CONTEXT1, IDR_CONTEXT2, IDR_CONTEXT3, IDR_CONTEXT4};
    for (int i = 0; i < 4; ++i) {
        m_menuContext[i] = new CMenuEx(this);
        m_menuContext[i]->LoadMenu(kMenus[i]);
        m_pPopup[i] = m_menuContext[i]->GetSubMenu(0);
        m_pPopup[i]->addSeparator();
        m_menuContext[i]->AppendCommand(QStringLiteral("设置时间偏移..."), ID_SET_OFFSET_1 + i);
        m_menuContext[i]->AppendCommand(QStringLiteral("清除时间偏移"), ID_CLEAR_OFFSET_1 + i);
        m_menuContext[i]->AppendCommand(QStringLiteral("按声音对齐"), ID_ALIGN_AUDIO_1 + i);
        connect(m_menuContext[i], &CMenuEx::command, this, &CTetravDlgPaneMenus::command);
    }
}

void CTetravDlgPaneMenus::OnPaneRightClick(int pane) {
    if (pane < 0 || pane > 3 || m_set.Channel(pane) == nullptr || m_menuContext[pane] == nullptr) {
        return;
    }
    for (QAction* item : m_pPopup[pane]->actions()) {
        if (CMenuEx::CommandId(item) == ID_CLEAR_OFFSET_1 + pane) {
            item->setEnabled(m_set.Offset(pane) != 0.0);
        }
    }
    emit aboutToShow(pane);
    m_menuContext[pane]->TrackPopupMenu(m_bars.ContextMenuPos(pane));
}
