// The main window keeps every set opened from loose videos among the recent sets.
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "sets/CRecentSets.h"
#include "sets/CSetFile.h"
#include "sets/LooseSets.h"
#include "settings/CSettings.h"

#include <QDir>

#include <cstdio>

void CTetravDlg::KeepLooseSet() {
    CSetFile set;
    for (int k = 0; k < 4; ++k) {
        set.video[k] = m_pSet->OpenedPath(k);
    }
    set.syncMode = g_settings.FramePhase != 0 ? 1 : 0;
    set.reference = g_settings.MiniVideo == 1 ? 1 : 0;
    // Only a convenience: a state folder that cannot be written costs the entry, not a message in
    // the middle of opening the videos.
    QString path;
    QString why;
    if (!LooseSets::Keep(set, &path, &why) || !CRecentSets::Add(path, &why)) {
        std::fprintf(stderr, "Tetrav: the set is not kept among the recent sets (%s: %s).\n",
                     qPrintable(QDir::toNativeSeparators(path)), qPrintable(why));
        return;
    }
    FillRecentSets();
}
