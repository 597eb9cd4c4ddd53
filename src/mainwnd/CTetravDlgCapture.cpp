// The main window's snapshots (the panes' context menus and the global hot keys) and the go-to
// command.
#include "mainwnd/CTetravDlg.h"

#include "dialogs/CGotoDlg.h"
#include "engine/CChannelGraph.h"
#include "mainwnd/CaptureInstant.h"
#include "platform/MessageBox.h"
#include "settings/CSettings.h"
#include "uikit/Resource.h"

#include <QDateTime>
#include <QDir>

// ---------------------------------------------------------------------------------------------
// Snapshots

void CTetravDlg::OnHotKey(int id) {
    // Hot keys 100, 200, 300 and 400 take a snapshot of panes 1 to 4; an empty pane does nothing.
    // Hot key 500 takes all four at one instant.
    if (id == HOTKEY_ID_ALL) {
        OnCaptureAll();
        return;
    }
    if (id % 100 != 0 || id < 100 || id > 400) {
        return;
    }
    const int pane = id / 100 - 1;
    if (m_pChannel[pane] != nullptr) {
        OnCapture(pane);
    }
}

void CTetravDlg::OnCapture(int pane) {
    if (pane < 0 || pane > 3 || m_pChannel[pane] == nullptr) {
        return;
    }
    // Named after the pane and the local time of the command, to the millisecond.
    const QString name =
        SnapshotFileName(pane + 1, SnapshotStamp(QDateTime::currentDateTime()), QStringLiteral("bmp"));
    const QString folder = g_settings.SaveMapPath;
    if (!folder.isEmpty()) {
        // A missing folder is made; one that cannot be made fails the write below.
        QDir().mkpath(folder);
    }
    const QString path = QDir(folder).filePath(name);
    if (m_pChannel[pane]->SnapshotBitmap(path) == CChannelGraph::SnapshotResult::CannotWrite) {
        ShowErrorBox(QString::fromUtf8("保存抓图错误!"));
    }
}

// ---------------------------------------------------------------------------------------------
// Go-to

void CTetravDlg::OnGoto() {
    // The dialog seeks through WM_GOTO_POSITION (OnGotoPosition) before it closes. Owned by the
    // main window so that it stays above it when the window is kept on top.
    CGotoDlg dlg(this);
    dlg.DoModal();
}
