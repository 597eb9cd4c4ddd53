#include "mainwnd/CAudioAlignment.h"

#include "mainwnd/CTetravDlg.h"

#include "align/AlignReport.h"
#include "align/CAlignJob.h"
#include "model/PlaySet.h"
#include "platform/FileName.h"
#include "platform/MessageBox.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace {
const QString kCaption = QStringLiteral("按声音对齐");
}

CAudioAlignment::CAudioAlignment(CTetravDlg* dlg) : QObject(dlg), m_dlg(dlg) {
    // A set closed, reopened or changed while the analysis runs stops it; nothing is applied.
    connect(m_dlg, &CTetravDlg::actionShown, this, &CAudioAlignment::FollowSet);
}

void CAudioAlignment::Start(int pane) {
    if (m_pJob != nullptr || m_dlg->Set().OpenCount() <= 0) {
        return;
    }
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_dlg->Set().IsReference(k) && m_dlg->Set().IsOpen(k)) {
            ref = k;
            break;
        }
    }
    if (ref < 0) {
        return;
    }
    if (pane == ref) {
        ShowMessageBox(QStringLiteral("%1是参考视频，其他视频按它的声音对齐。").arg(PaneTitle(pane)),
                       kCaption, MsgIcon::Information);
        return;
    }
    QString paths[4];
    for (int k = 0; k < 4; ++k) {
        paths[k] = m_dlg->Set().IsOpen(k) ? m_dlg->Set().Path(k) : QString();
    }
    m_pJob = new CAlignJob(paths, ref, pane, this);
    m_pProgress =
        new QProgressDialog(QStringLiteral("正在按声音对齐..."), QStringLiteral("取消"), 0, 100, m_dlg);
    m_pProgress->setWindowTitle(kCaption);
    m_pProgress->setWindowModality(Qt::WindowModal);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    m_pProgress->setMinimumDuration(0);
    m_pProgress->setValue(0);
    connect(m_pProgress, &QProgressDialog::canceled, this, [this] { Stop(); });
    connect(m_pJob, &CAlignJob::progress, m_pProgress, &QProgressDialog::setValue);
    connect(m_pJob, &CAlignJob::finished, this, [this](const AlignResult& result) { Finish(result); });
    m_dlg->SetStatusText(0, QStringLiteral("正在按声音对齐"));
    m_pJob->Start();
    m_pProgress->open();
}

void CAudioAlignment::FollowSet() {
    if (m_pJob == nullptr) {
        return;
    }
    for (int k = 0; k < 4; ++k) {
        const QString now = m_dlg->Set().IsOpen(k) ? m_dlg->Set().Path(k) : QString();
        if (k == m_pJob->Reference() ? now != m_pJob->Path(k) : !now.isEmpty() && now != m_pJob->Path(k)) {
            Stop();
            return;
        }
    }
}

void CAudioAlignment::Stop() {
    if (m_pJob == nullptr) {
        return;
    }
    CAlignJob* job = m_pJob;
    QProgressDialog* progress = m_pProgress;
    m_pJob = nullptr;
    m_pProgress = nullptr;
    job->Cancel();
    job->deleteLater();
    if (progress != nullptr) {
        progress->disconnect(this);
        progress->close();
        progress->deleteLater();
    }
}

void CAudioAlignment::Finish(const AlignResult& result) {
    if (m_pJob == nullptr) {
        return;
    }
    QString names[4];
    double offsets[4];
    const int ref = m_pJob->Reference();
    AlignResult shown = result;
    // Only panes that still hold the file analysed take an offset; the reference must be the same.
    const bool sameReference = ref >= 0 && m_dlg->Set().IsOpen(ref) && m_dlg->Set().IsReference(ref) &&
                               m_dlg->Set().Path(ref) == m_pJob->Path(ref);
    for (int k = 0; k < 4; ++k) {
        const bool same = m_dlg->Set().IsOpen(k) && m_dlg->Set().Path(k) == m_pJob->Path(k);
        names[k] = same ? QFileInfo(FileName::Shown(m_dlg->Set().Path(k))).fileName() : QString();
        PaneAlignment& pane = shown.panes[std::size_t(k)];
        if (pane.outcome == PaneAlignment::Outcome::Aligned && same && sameReference) {
            m_dlg->SetChannelOffset(k, m_dlg->Set().Offset(ref) + pane.offset);
        } else if (pane.outcome == PaneAlignment::Outcome::Aligned) {
            pane.outcome = PaneAlignment::Outcome::NotAsked;
        }
        offsets[k] = m_dlg->Set().Offset(k);
    }
    Stop();
    if (!sameReference) {
        return; // the set changed under the analysis: nothing applied, nothing to say
    }
    m_dlg->SetStatusText(0, QStringLiteral("按声音对齐"));
    ShowMessageBox(AlignReport::Summary(shown, names, offsets), kCaption,
                   shown.ReferenceHasSound() ? MsgIcon::Information : MsgIcon::Warning);
}
