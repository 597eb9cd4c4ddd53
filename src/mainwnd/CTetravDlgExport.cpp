#include "mainwnd/CTetravDlgExport.h"

#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"

#include "controls/CXScrollBar.h"
#include "export/CExportDlg.h"
#include "export/CExporter.h"
#include "model/PlaySet.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>

#include <cmath>

namespace {
QString Utf8Text(const char* text) {
    return QString::fromUtf8(text);
}
// A mark is the start of the frame shown (positions read while paused lie inside the frame),
// kept to the millisecond as the command line takes it.
double MarkAt(double seconds, double frameRate) {
    if (frameRate > 0.0) {
        seconds = std::floor(seconds * frameRate + 1e-6) / frameRate;
    }
    return std::round(seconds * 1000.0) / 1000.0;
}
} // namespace

CTetravDlgExport::CTetravDlgExport(CTetravDlg& dlg) : QObject(&dlg), m_dlg(dlg) {}

void CTetravDlgExport::AddMenus(QMenu* file, QMenu* play) {
    auto make = [this](const char* text, int id, auto handler) {
        auto* action = new QAction(Utf8Text(text), &m_dlg);
        action->setData(id);
        connect(action, &QAction::triggered, this, handler);
        m_dlg.KeepAction(id, action);
        return action;
    };
    // 导出视频... above the separator before 退出.
    QAction* exportVideo = make("导出视频...", ID_EXPORT_VIDEO, [this] { OnExportVideo(); });
    const QList<QAction*> items = file->actions();
    QAction* exitItem = m_dlg.MenuAction(ID_EXIT);
    const qsizetype exit = items.indexOf(exitItem);
    file->insertAction(exit > 0 && items[exit - 1]->isSeparator() ? items[exit - 1] : exitItem, exportVideo);
    connect(file, &QMenu::aboutToShow, this,
            [this] { m_dlg.MenuAction(ID_EXPORT_VIDEO)->setEnabled(m_dlg.Set().OpenCount() > 0); });

    play->addSeparator();
    play->addAction(make("设置入点\tI", ID_SET_IN_MARK, [this] { OnSetInMark(); }));
    play->addAction(make("设置出点\tO", ID_SET_OUT_MARK, [this] { OnSetOutMark(); }));
    play->addAction(make("清除入出点", ID_CLEAR_MARKS, [this] {
        OnClearMarks();
        m_dlg.SetStatusText(0, Utf8Text("清除入出点"));
    }));
    QAction* loop = make("循环播放", ID_LOOP_PLAY, [] {});
    loop->setCheckable(true);
    play->addAction(loop);
    connect(play, &QMenu::aboutToShow, this, [this] {
        for (int id : {ID_SET_IN_MARK, ID_SET_OUT_MARK}) {
            m_dlg.MenuAction(id)->setEnabled(m_dlg.Set().OpenCount() > 0);
        }
        m_dlg.MenuAction(ID_CLEAR_MARKS)->setEnabled(m_in >= 0.0 || m_out >= 0.0);
    });
    // The keys work wherever the focus is in the window.
    for (const auto& [key, handler] : {std::pair{Qt::Key_I, &CTetravDlgExport::OnSetInMark},
                                       std::pair{Qt::Key_O, &CTetravDlgExport::OnSetOutMark}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), &m_dlg);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    }
}

double CTetravDlgExport::ReferenceRate() const {
    for (int k = 0; k < 4; ++k) {
        if (m_dlg.Set().IsReference(k)) {
            return m_dlg.Set().FrameRate(k);
        }
    }
    return 0.0;
}

void CTetravDlgExport::OnSetInMark() {
    if (m_dlg.Set().OpenCount() == 0) {
        return;
    }
    m_dlg.ReadPlayTime();
    m_in = MarkAt(std::clamp(m_dlg.Set().PlayTime(), 0.0, m_dlg.Set().TotalTime()), ReferenceRate());
    // An out mark before the new in mark would make no interval: it goes.
    if (m_out >= 0.0 && m_out <= m_in) {
        m_out = -1.0;
    }
    ShowMarks();
}

void CTetravDlgExport::OnSetOutMark() {
    if (m_dlg.Set().OpenCount() == 0) {
        return;
    }
    m_dlg.ReadPlayTime();
    m_out = MarkAt(std::clamp(m_dlg.Set().PlayTime(), 0.0, m_dlg.Set().TotalTime()), ReferenceRate());
    if (m_in >= m_out) {
        m_in = -1.0;
    }
    ShowMarks();
}

void CTetravDlgExport::OnClearMarks() {
    m_in = m_out = m_lastTick = -1.0;
    ShowMarks();
}

void CTetravDlgExport::ShowMarks() {
    if (m_dlg.Bars().SeekBar() != nullptr) {
        const bool any = m_dlg.Set().TotalTime() > 0.0 && (m_in >= 0.0 || m_out >= 0.0);
        const double from = any ? std::max(0.0, m_in) / m_dlg.Set().TotalTime() : 0.0;
        const double to =
            any ? (m_out >= 0.0 ? m_out : m_dlg.Set().TotalTime()) / m_dlg.Set().TotalTime() : 0.0;
        m_dlg.Bars().SeekBar()->SetMarkedSpan(from, to);
    }
    if (m_in >= 0.0 || m_out >= 0.0) {
        const auto text = [](double t) { return t >= 0.0 ? CExporter::TimeText(t) : Utf8Text("未设置"); };
        m_dlg.SetStatusText(0, Utf8Text("入点 %1，出点 %2").arg(text(m_in), text(m_out)));
    }
}

void CTetravDlgExport::CheckOutMark() {
    // Play that reaches the out mark (not a jump past it) stops there, or goes back to the in
    // mark while 循环播放 is checked.
    const double previous = m_lastTick;
    m_lastTick = m_dlg.Set().PlayTime();
    if (m_out < 0.0 || !(previous < m_out) || m_dlg.Set().PlayTime() < m_out ||
        m_dlg.Set().PlayTime() - previous > 1.0) {
        return;
    }
    if (m_dlg.MenuAction(ID_LOOP_PLAY)->isChecked()) {
        m_dlg.ActiveSync().Seek(m_dlg.CurrentSet(), std::max(0.0, m_in));
        m_lastTick = m_out; // until the position read is back before the out mark
        m_dlg.SetStatusText(0, Utf8Text("循环播放"));
        return;
    }
    m_dlg.OnPause();
    m_dlg.ActiveSync().Seek(m_dlg.CurrentSet(), m_out);
    m_dlg.SetStatusText(0, Utf8Text("到达出点"));
}

void CTetravDlgExport::OnExportVideo() {
    if (m_dlg.Set().OpenCount() == 0) {
        return;
    }
    ExportJob set;
    for (int k = 0; k < 4; ++k) {
        // An empty or retired pane is black in the export.
        set.paths[std::size_t(k)] = m_dlg.Set().IsOpen(k) ? m_dlg.Set().Path(k) : QString();
        set.offsets[std::size_t(k)] = m_dlg.Set().Offset(k);
        if (m_dlg.Set().IsReference(k)) {
            set.reference = k;
        }
    }
    auto* dialog = new CExportDlg(set, m_dlg.Set().TotalTime(), m_in, m_out, &m_dlg);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
