#include "mainwnd/CTetravDlgCapture.h"

#include "platform/CHotKeyManager.h"

#include "capture/CCaptureAllWriter.h"
#include "capture/CaptureInstant.h"
#include "engine/IChannel.h"
#include "mainwnd/CSyncControl.h"
#include "mainwnd/CTetravDlg.h"
#include "model/PlaySet.h"
#include "platform/CAtomicFile.h"
#include "platform/MessageBox.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "sync/CFrameSync.h"
#include "uikit/Resource.h"

#include <QDateTime>
#include <QDir>
#include <QTimer>

namespace {

// While the frame sync brings a lagging pane back (or a seek is on its way), the capture tries
// again on the next pictures, for at most half a second.
constexpr int kRetryMs = 10;
constexpr int kTries = 50;

} // namespace

CTetravDlgCapture::CTetravDlgCapture(CTetravDlg& dlg)
    : QObject(&dlg), m_dlg(dlg), m_set(dlg.Set()), m_pHotKeys(new CHotKeyManager(this)) {
    connect(m_pHotKeys, &CHotKeyManager::hotKey, this,
            [this](int id) { m_set.WhenOpen(this, [this, id] { OnHotKey(id); }); });
}

void CTetravDlgCapture::OnHotKey(int id) {
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
    if (m_set.Channel(pane) != nullptr) {
        OnCapture(pane);
    }
}

void CTetravDlgCapture::OnCapture(int pane) {
    if (pane < 0 || pane > 3 || m_set.Channel(pane) == nullptr) {
        return;
    }
    // Named after the pane and the local time of the command, to the millisecond.
    const QString name =
        SnapshotFileName(pane + 1, SnapshotStamp(QDateTime::currentDateTime()), QStringLiteral("bmp"));
    // A missing folder is made. One the file system cannot hold (a name too long, say) is
    // refused as it is, never shortened into another.
    const QString folder = CSettingsFile::SnapshotFolder(m_dlg.Settings().Stored().SaveMapPath);
    int error = 0;
    if (!CAtomicFile::MakeFolder(folder, &error)) {
        ShowErrorBox(FileFailure(QString::fromUtf8("保存抓图错误!"), folder, CAtomicFile::ErrorText(error)));
        return;
    }
    const QString path = QDir(folder).filePath(name);
    QString why;
    if (m_set.Channel(pane)->SnapshotBitmap(path, &why) == IChannel::SnapshotResult::CannotWrite) {
        ShowErrorBox(FileFailure(QString::fromUtf8("保存抓图错误!"), path, why));
    }
}

void CTetravDlgCapture::OnCaptureAll() {
    // Named after the moment of the command, however long the pictures take.
    CaptureAllTry(SnapshotStamp(QDateTime::currentDateTime()), kTries);
}

void CTetravDlgCapture::CaptureAllTry(const QString& stamp, int triesLeft) {
    // Every pane's two latest pictures, read in one go; a pane that moves on while the others
    // are read still has the picture of their instant as its picture before.
    IChannel::ShownPicture now[4];
    IChannel::ShownPicture before[4];
    std::array<PanePictures, 4> panes;
    int anchor = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_set.Channel(k) == nullptr || !m_set.Channel(k)->GetShownPictures(now[k], before[k])) {
            continue;
        }
        // On the reference video's timeline: pane k shows the reference's t at its own t + offset.
        panes[k].shown = true;
        panes[k].now = now[k].seconds >= 0 ? now[k].seconds - m_set.Offset(k) : -1.0;
        panes[k].before =
            before[k].frame && before[k].seconds >= 0 ? before[k].seconds - m_set.Offset(k) : -1.0;
        panes[k].period = m_set.FrameRate(k) > 0 ? 1.0 / m_set.FrameRate(k) : 0.04;
        if (anchor < 0 || m_set.IsReference(k)) {
            anchor = k;
        }
    }
    if (anchor < 0) {
        return; // no pane shows a picture
    }
    const InstantPicks picks = PickOneInstant(panes, anchor);
    // Time sync holds the panes only to the second: there is nothing to wait for.
    const bool catchingUp =
        m_dlg.m_pSyncControl->Frame() != nullptr && (!picks.oneInstant || m_dlg.m_pSyncControl->Busy());
    if (catchingUp && triesLeft > 1) {
        QTimer::singleShot(kRetryMs, this, [this, stamp, triesLeft] { CaptureAllTry(stamp, triesLeft - 1); });
        return;
    }
    CCaptureAllWriter::Pictures pictures;
    for (int k = 0; k < 4; ++k) {
        if (picks.picks[k] != PanePick::None) {
            pictures[k] = picks.picks[k] == PanePick::Before ? before[k] : now[k];
        }
    }
    auto* writer = new CCaptureAllWriter(CSettingsFile::SnapshotFolder(m_dlg.Settings().Stored().SaveMapPath),
                                         stamp, std::move(pictures), this);
    const bool oneInstant = picks.oneInstant;
    connect(writer, &CCaptureAllWriter::finished, this,
            [this, writer, oneInstant](bool written, const QString& file, const QString& why) {
                writer->deleteLater();
                if (!written) {
                    ShowErrorBox(FileFailure(QString::fromUtf8("保存抓图错误!"), file, why));
                }
                emit capturedAll(written, oneInstant);
            });
}
