// The main window's snapshots (the panes' context menus and the global hot keys) and the go-to
// command.
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "capture/CaptureInstant.h"
#include "dialogs/CGotoDlg.h"
#include "engine/IChannel.h"
#include "platform/CAtomicFile.h"
#include "platform/MessageBox.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
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
    if (m_pSet->Channel(pane) != nullptr) {
        OnCapture(pane);
    }
}

void CTetravDlg::OnCapture(int pane) {
    if (pane < 0 || pane > 3 || m_pSet->Channel(pane) == nullptr) {
        return;
    }
    // Named after the pane and the local time of the command, to the millisecond.
    const QString name =
        SnapshotFileName(pane + 1, SnapshotStamp(QDateTime::currentDateTime()), QStringLiteral("bmp"));
    // A missing folder is made. One the file system cannot hold (a name too long, say) is
    // refused as it is, never shortened into another.
    const QString folder = CSettingsFile::SnapshotFolder(m_pSettings->Stored().SaveMapPath);
    int error = 0;
    if (!CAtomicFile::MakeFolder(folder, &error)) {
        ShowErrorBox(FileFailure(QString::fromUtf8("保存抓图错误!"), folder, CAtomicFile::ErrorText(error)));
        return;
    }
    const QString path = QDir(folder).filePath(name);
    QString why;
    if (m_pSet->Channel(pane)->SnapshotBitmap(path, &why) == IChannel::SnapshotResult::CannotWrite) {
        ShowErrorBox(FileFailure(QString::fromUtf8("保存抓图错误!"), path, why));
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
