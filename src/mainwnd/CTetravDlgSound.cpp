// The main window's per-pane sound: the pane menu's "只听此画面" (only that pane is heard, chosen
// again: every pane) and "静音" (that pane silent, chosen again: heard). The volume slider sets the
// level of whatever is heard; the sync tick and these commands give each channel its volume.
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "controls/CMenuEx.h"
#include "engine/IChannel.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>

namespace {

constexpr long kSilent = -10000;

} // namespace

void CTetravDlg::AddSoundItems(int pane) {
    m_menuContext[pane]->AppendCommand(QStringLiteral("只听此画面"), ID_SOLO_1 + pane)->setCheckable(true);
    m_menuContext[pane]->AppendCommand(QStringLiteral("静音"), ID_MUTE_1 + pane)->setCheckable(true);
    connect(m_menuContext[pane], &CMenuEx::command, this, [this](int id) {
        if (id >= ID_SOLO_1 && id < ID_SOLO_1 + 4) {
            OnSoloPane(id - ID_SOLO_1);
        } else if (id >= ID_MUTE_1 && id < ID_MUTE_1 + 4) {
            OnMutePane(id - ID_MUTE_1);
        }
    });
}

long CTetravDlg::PaneVolume(int k) const {
    const bool heard = m_nSoloPane >= 0 ? k == m_nSoloPane : !m_bPaneMuted[k];
    return heard ? m_nVolume : kSilent;
}

void CTetravDlg::OnSoloPane(int k) {
    m_nSoloPane = m_nSoloPane == k ? -1 : k;
    ApplyPaneVolumes();
}

void CTetravDlg::OnMutePane(int k) {
    m_bPaneMuted[k] = !m_bPaneMuted[k];
    ApplyPaneVolumes();
}

void CTetravDlg::ResetPaneSound() {
    m_nSoloPane = -1;
    for (bool& muted : m_bPaneMuted) {
        muted = false;
    }
    ShowSoundChecks();
}

void CTetravDlg::ApplyPaneVolumes() {
    // Paused channels get theirs now too, so play resumes with the right panes heard.
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsOpen(k)) {
            m_pSet->Channel(k)->SetVolume(PaneVolume(k));
        }
    }
    ShowSoundChecks();
}

void CTetravDlg::ShowSoundChecks() {
    for (int k = 0; k < 4; ++k) {
        if (m_pPopup[k] == nullptr) {
            continue;
        }
        for (QAction* item : m_pPopup[k]->actions()) {
            const int id = CMenuEx::CommandId(item);
            if (id == ID_SOLO_1 + k) {
                item->setChecked(m_nSoloPane == k);
            } else if (id == ID_MUTE_1 + k) {
                item->setChecked(m_bPaneMuted[k]);
            }
        }
    }
}
