// The main window's time offsets: the offset dialog, nudging a pane by a frame, and applying
// new offsets to the set in play.
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "dialogs/COffsetDlg.h"
#include "mainwnd/CVideoPane.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QCursor>
#include <QStringList>

#include <algorithm>
#include <cmath>

void CTetravDlg::SetChannelOffset(int k, double seconds) {
    if (k < 0 || k > 3 || !std::isfinite(seconds)) {
        return;
    }
    seconds = std::clamp(seconds, -COffsetDlg::kLongest, COffsetDlg::kLongest);
    const double before = m_pSet->Offset(k);
    m_pSet->SetOffset(k, seconds);
    if (m_pSet->OpenCount() > 0 && seconds != before) {
        // The reference's own offset moves the reference; the others stay where they are.
        ActiveSync().OffsetsChanged(CurrentSet(), m_pSet->IsReference(k) ? seconds - before : 0.0);
    }
    SetStatusText(3, SyncInfoText());
}

void CTetravDlg::OnSetOffset(int k) {
    if (k < 0 || k > 3) {
        return;
    }
    COffsetDlg dlg(m_pSet->Offset(k), m_pSet->FrameRate(k), this);
    if (dlg.DoModal() == IDOK) {
        SetChannelOffset(k, dlg.Offset());
    }
}

void CTetravDlg::NudgeOffset(int k, int frames) {
    if (k < 0 || k > 3 || m_pSet->Channel(k) == nullptr) {
        return;
    }
    const double fps = m_pSet->FrameRate(k) > 0.0 ? m_pSet->FrameRate(k) : 25.0;
    // Kept to the microsecond, so that nudges back and forth come back to the same number.
    const double next = std::round((m_pSet->Offset(k) + frames / fps) * 1e6) / 1e6;
    SetChannelOffset(k, next);
}

int CTetravDlg::PaneUnderPointer() const {
    const QPoint at = QCursor::pos();
    for (int k = 0; k < 4; ++k) {
        const CVideoPane* pane = m_wndPane[k];
        if (pane != nullptr && pane->isVisible() && m_pSet->IsOpen(k) &&
            pane->rect().contains(pane->mapFromGlobal(at))) {
            return k;
        }
    }
    return -1;
}

QString CTetravDlg::SyncInfoText() const {
    auto whole = [](double v) {
        return v >= 2147483647.0 ? 2147483647 : (v > 0.0 ? static_cast<int>(v) : 0);
    };
    QString text = QString::asprintf("%d,%d,%d,%d", whole(m_pSet->Position(0)), whole(m_pSet->Position(1)),
                                     whole(m_pSet->Position(2)), whole(m_pSet->Position(3)));
    bool any = false;
    QStringList offsets;
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        const double offset = m_pSet->Offset(k);
        any = any || offset != 0.0;
        offsets << (offset == 0.0 ? QStringLiteral("0") : QString::asprintf("%+.3f", offset));
    }
    if (any) {
        text += QStringLiteral("  偏移 ") + offsets.join(QLatin1Char(','));
    }
    return text;
}
