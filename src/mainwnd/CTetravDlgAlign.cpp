// The main window's 按声音对齐: every pane (or one, from its menu) lined up with the reference by
// its sound. The analysis runs beside the event loop under a progress dialog; cancelling it, or
// the set closing or changing meanwhile, changes nothing. The offsets found go through the same
// path as the offset dialog's, and one message sums up.
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

bool CTetravDlg::IsAligning() const {
    return m_pAlignJob != nullptr;
}

void CTetravDlg::OnAlignAudio(int pane) {
    if (m_pAlignJob != nullptr || m_pSet->OpenCount() <= 0) {
        return;
    }
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsReference(k) && m_pSet->IsOpen(k)) {
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
        paths[k] = m_pSet->IsOpen(k) ? m_pSet->Path(k) : QString();
    }
    m_pAlignJob = new CAlignJob(paths, ref, pane, this);
    m_pAlignProgress =
        new QProgressDialog(QStringLiteral("正在按声音对齐..."), QStringLiteral("取消"), 0, 100, this);
    m_pAlignProgress->setWindowTitle(kCaption);
    m_pAlignProgress->setWindowModality(Qt::WindowModal);
    m_pAlignProgress->setAutoClose(false);
    m_pAlignProgress->setAutoReset(false);
    m_pAlignProgress->setMinimumDuration(0);
    m_pAlignProgress->setValue(0);
    connect(m_pAlignProgress, &QProgressDialog::canceled, this, [this] { StopAlignment(); });
    connect(m_pAlignJob, &CAlignJob::progress, m_pAlignProgress, &QProgressDialog::setValue);
    connect(m_pAlignJob, &CAlignJob::finished, this,
            [this](const AlignResult& result) { FinishAlignment(result); });
    // A set closed, reopened or changed while the analysis runs stops it; nothing is applied.
    connect(this, &CTetravDlg::actionShown, m_pAlignJob, [this] {
        if (m_pAlignJob == nullptr) {
            return; // finished or stopped: the job is on its way out
        }
        for (int k = 0; k < 4; ++k) {
            const QString now = m_pSet->IsOpen(k) ? m_pSet->Path(k) : QString();
            if (k == m_pAlignJob->Reference() ? now != m_pAlignJob->Path(k)
                                              : !now.isEmpty() && now != m_pAlignJob->Path(k)) {
                StopAlignment();
                return;
            }
        }
    });
    SetStatusText(0, QStringLiteral("正在按声音对齐"));
    m_pAlignJob->Start();
    m_pAlignProgress->open();
}

void CTetravDlg::StopAlignment() {
    if (m_pAlignJob == nullptr) {
        return;
    }
    CAlignJob* job = m_pAlignJob;
    QProgressDialog* progress = m_pAlignProgress;
    m_pAlignJob = nullptr;
    m_pAlignProgress = nullptr;
    job->Cancel();
    job->deleteLater();
    if (progress != nullptr) {
        progress->disconnect(this);
        progress->close();
        progress->deleteLater();
    }
}

void CTetravDlg::FinishAlignment(const AlignResult& result) {
    if (m_pAlignJob == nullptr) {
        return;
    }
    QString names[4];
    double offsets[4];
    const int ref = m_pAlignJob->Reference();
    AlignResult shown = result;
    // Only panes that still hold the file analysed take an offset; the reference must be the same.
    const bool sameReference = ref >= 0 && m_pSet->IsOpen(ref) && m_pSet->IsReference(ref) &&
                               m_pSet->Path(ref) == m_pAlignJob->Path(ref);
    for (int k = 0; k < 4; ++k) {
        const bool same = m_pSet->IsOpen(k) && m_pSet->Path(k) == m_pAlignJob->Path(k);
        names[k] = same ? QFileInfo(FileName::Shown(m_pSet->Path(k))).fileName() : QString();
        PaneAlignment& pane = shown.panes[std::size_t(k)];
        if (pane.outcome == PaneAlignment::Outcome::Aligned && same && sameReference) {
            SetChannelOffset(k, m_pSet->Offset(ref) + pane.offset);
        } else if (pane.outcome == PaneAlignment::Outcome::Aligned) {
            pane.outcome = PaneAlignment::Outcome::NotAsked;
        }
        offsets[k] = m_pSet->Offset(k);
    }
    StopAlignment();
    if (!sameReference) {
        return; // the set changed under the analysis: nothing applied, nothing to say
    }
    SetStatusText(0, QStringLiteral("按声音对齐"));
    ShowMessageBox(AlignReport::Summary(shown, names, offsets), kCaption,
                   shown.ReferenceHasSound() ? MsgIcon::Information : MsgIcon::Warning);
}
