// The main window's commands that open the secondary dialogs and the help. The dialogs are
// children of the main window, so a window kept above all others cannot hide them.
#include "dialogs/CAboutDlg.h"
#include "dialogs/HelpLauncher.h"
#include "mainwnd/CTetravDlg.h"

#include "mainwnd/CChannelLoss.h"

#include "model/PlaySet.h"
#include "settings/COptionsDlg.h"
#include "settings/CSettings.h"
#include "settings/CSettingsModel.h"

void CTetravDlg::OnOptions() {
    const int rule = m_pSettings->ReferenceRule();
    (new COptionsDlg(this, m_pSettings))->Open([this, rule](int) {
        // A new reference rule applies to the set playing at once: the play time, the seek bar
        // and the end of play follow the video the rule now picks.
        if (m_pSettings->ReferenceRule() != rule && m_pSet->OpenCount() > 0 && m_pSet->AnyTakesPart()) {
            m_pLoss->ChooseNewReference();
        }
    });
}

void CTetravDlg::OnAbout() {
    (new CAboutDlg(this))->Open();
}

void CTetravDlg::OnHelpContents() {
    HelpLauncher::OpenHelp();
}
