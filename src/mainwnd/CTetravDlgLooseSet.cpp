// The main window keeps every set opened from loose videos among the recent sets.
#include "mainwnd/CTetravDlg.h"

#include "platform/MessageBox.h"
#include "sets/CSetFile.h"
#include "sets/LooseSets.h"
#include "settings/CSettings.h"

void CTetravDlg::KeepLooseSet() {
    CSetFile set;
    for (int k = 0; k < 4; ++k) {
        set.video[k] = m_setVideo[k];
    }
    set.syncMode = g_settings.FramePhase != 0 ? 1 : 0;
    set.reference = g_settings.MiniVideo == 1 ? 1 : 0;
    QString path;
    QString why;
    if (!LooseSets::Keep(set, &path, &why)) {
        ShowErrorBox(FileFailure(QStringLiteral("保存最近的视频组列表错误!"), path, why));
        return;
    }
    AddRecentSet(path);
}
