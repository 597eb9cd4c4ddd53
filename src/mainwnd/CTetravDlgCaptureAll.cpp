// The main window's capture of all four panes at one instant (the 播放控制 menu's "全部抓图" and
// the fifth hot key).
#include "mainwnd/CTetravDlg.h"

#include "mainwnd/CSyncControl.h"

#include "model/PlaySet.h"

#include "capture/CCaptureAllWriter.h"
#include "capture/CaptureInstant.h"
#include "engine/IChannel.h"
#include "platform/MessageBox.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "sync/CFrameSync.h"

#include <QDateTime>
#include <QTimer>

namespace {

// While the frame sync brings a lagging pane back (or a seek is on its way), the capture tries
// again on the next pictures, for at most half a second.
constexpr int kRetryMs = 10;
constexpr int kTries = 50;

} // namespace

void CTetravDlg::OnCaptureAll() {
    // Named after the moment of the command, however long the pictures take.
    CaptureAllTry(SnapshotStamp(QDateTime::currentDateTime()), kTries);
}

void CTetravDlg::CaptureAllTry(const QString& stamp, int triesLeft) {
    // Every pane's two latest pictures, read in one go; a pane that moves on while the others
    // are read still has the picture of their instant as its picture before.
    IChannel::ShownPicture now[4];
    IChannel::ShownPicture before[4];
    std::array<PanePictures, 4> panes;
    int anchor = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->Channel(k) == nullptr || !m_pSet->Channel(k)->GetShownPictures(now[k], before[k])) {
            continue;
        }
        // On the reference video's timeline: pane k shows the reference's t at its own t + offset.
        panes[k].shown = true;
        panes[k].now = now[k].seconds >= 0 ? now[k].seconds - m_pSet->Offset(k) : -1.0;
        panes[k].before =
            before[k].frame && before[k].seconds >= 0 ? before[k].seconds - m_pSet->Offset(k) : -1.0;
        panes[k].period = m_pSet->FrameRate(k) > 0 ? 1.0 / m_pSet->FrameRate(k) : 0.04;
        if (anchor < 0 || m_pSet->IsReference(k)) {
            anchor = k;
        }
    }
    if (anchor < 0) {
        return; // no pane shows a picture
    }
    const InstantPicks picks = PickOneInstant(panes, anchor);
    // Time sync holds the panes only to the second: there is nothing to wait for.
    const bool catchingUp =
        m_pSyncControl->Frame() != nullptr && (!picks.oneInstant || m_pSyncControl->Busy());
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
    auto* writer = new CCaptureAllWriter(CSettingsFile::SnapshotFolder(m_pSettings->Stored().SaveMapPath),
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
