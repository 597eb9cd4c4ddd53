// The main window's commands that open the secondary dialogs and the help. The dialogs are
// children of the main window, so a window kept above all others cannot hide them.
#include "dialogs/CAboutDlg.h"
#include "dialogs/HelpLauncher.h"
#include "mainwnd/CTetravDlg.h"
#include "settings/COptionsDlg.h"

void CTetravDlg::OnOptions() {
    COptionsDlg dlg(this, m_pSettings);
    dlg.DoModal();
}

void CTetravDlg::OnAbout() {
    CAboutDlg dlg(this);
    dlg.DoModal();
}

void CTetravDlg::OnHelpContents() {
    HelpLauncher::OpenHelp();
}
