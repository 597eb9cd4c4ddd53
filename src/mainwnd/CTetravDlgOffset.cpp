#include "mainwnd/CTetravDlgOffset.h"

#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgView.h"

#include "model/PlaySet.h"

#include "dialogs/COffsetDlg.h"
#include "mainwnd/CVideoPane.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QCursor>
#include <QStringList>

#include <algorithm>
#include <cmath>

CTetravDlgOffset::CTetravDlgOffset(CTetravDlg& dlg) : QObject(&dlg), m_dlg(dlg) {}

void CTetravDlgOffset::SetChannelOffset(int k, double seconds) {
    if (k < 0 || k > 3 || !std::isfinite(seconds)) {
        return;
    }
    seconds = std::clamp(seconds, -COffsetDlg::kLongest, COffsetDlg::kLongest);
    const double before = m_dlg.Set().Offset(k);
    m_dlg.Set().SetOffset(k, seconds);
    if (m_dlg.Set().OpenCount() > 0 && seconds != before) {
        // The reference's own offset moves the reference; the others stay where they are.
        m_dlg.ActiveSync().OffsetsChanged(m_dlg.CurrentSet(),
                                          m_dlg.Set().IsReference(k) ? seconds - before : 0.0);
    }
    m_dlg.SetStatusText(3, SyncInfoText());
    m_dlg.ShowPaneInfo();
}

void CTetravDlgOffset::OnSetOffset(int k) {
    if (k < 0 || k > 3) {
        return;
    }
    auto* dlg = new COffsetDlg(m_dlg.Set().Offset(k), m_dlg.Set().FrameRate(k), &m_dlg);
    dlg->Open([this, dlg, k](int result) {
        if (result == IDOK) {
            SetChannelOffset(k, dlg->Offset());
        }
    });
}

void CTetravDlgOffset::NudgeOffset(int k, int frames) {
    if (k < 0 || k > 3 || m_dlg.Set().Channel(k) == nullptr) {
        return;
    }
    const double fps = m_dlg.Set().FrameRate(k) > 0.0 ? m_dlg.Set().FrameRate(k) : 25.0;
    // Kept to the microsecond, so that nudges back and forth come back to the same number.
    const double next = std::round((m_dlg.Set().Offset(k) + frames / fps) * 1e6) / 1e6;
    SetChannelOffset(k, next);
}

int CTetravDlgOffset::PaneUnderPointer() const {
    const QPoint at = QCursor::pos();
    for (int k = 0; k < 4; ++k) {
        const CVideoPane* pane = m_dlg.View().Pane(k);
        if (pane != nullptr && pane->isVisible() && m_dlg.Set().IsOpen(k) &&
            pane->rect().contains(pane->mapFromGlobal(at))) {
            return k;
        }
    }
    return -1;
}

QString CTetravDlgOffset::SyncInfoText() const {
    auto whole = [](double v) {
        return v >= 2147483647.0 ? 2147483647 : (v > 0.0 ? static_cast<int>(v) : 0);
    };
    QString text =
        QString::asprintf("%d,%d,%d,%d", whole(m_dlg.Set().Position(0)), whole(m_dlg.Set().Position(1)),
                          whole(m_dlg.Set().Position(2)), whole(m_dlg.Set().Position(3)));
    bool any = false;
    QStringList offsets;
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        const double offset = m_dlg.Set().Offset(k);
        any = any || offset != 0.0;
        offsets << (offset == 0.0 ? QStringLiteral("0") : QString::asprintf("%+.3f", offset));
    }
    if (any) {
        text += QStringLiteral("  偏移 ") + offsets.join(QLatin1Char(','));
    }
    return text;
}
