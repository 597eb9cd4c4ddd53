// The main window's in and out marks (set at the reference's position, shown on the seek bar,
// play stopping or looping at the out mark) and the command that exports the set as one video.
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

void CTetravDlg::AddExportMenus(QMenu* file, QMenu* play) {
    auto make = [this](const char* text, int id, auto handler) {
        auto* action = new QAction(Utf8Text(text), this);
        action->setData(id);
        connect(action, &QAction::triggered, this, handler);
        m_menuActions[id] = action;
        return action;
    };
    // 导出视频... above the separator before 退出.
    QAction* exportVideo = make("导出视频...", ID_EXPORT_VIDEO, [this] { OnExportVideo(); });
    const QList<QAction*> items = file->actions();
    const qsizetype exit = items.indexOf(MenuAction(ID_EXIT));
    file->insertAction(exit > 0 && items[exit - 1]->isSeparator() ? items[exit - 1] : MenuAction(ID_EXIT),
                       exportVideo);
    connect(file, &QMenu::aboutToShow, this,
            [this] { MenuAction(ID_EXPORT_VIDEO)->setEnabled(m_pSet->OpenCount() > 0); });

    play->addSeparator();
    play->addAction(make("设置入点\tI", ID_SET_IN_MARK, [this] { OnSetInMark(); }));
    play->addAction(make("设置出点\tO", ID_SET_OUT_MARK, [this] { OnSetOutMark(); }));
    play->addAction(make("清除入出点", ID_CLEAR_MARKS, [this] {
        OnClearMarks();
        SetStatusText(0, Utf8Text("清除入出点"));
    }));
    QAction* loop = make("循环播放", ID_LOOP_PLAY, [] {});
    loop->setCheckable(true);
    play->addAction(loop);
    connect(play, &QMenu::aboutToShow, this, [this] {
        for (int id : {ID_SET_IN_MARK, ID_SET_OUT_MARK}) {
            MenuAction(id)->setEnabled(m_pSet->OpenCount() > 0);
        }
        MenuAction(ID_CLEAR_MARKS)->setEnabled(m_marks.in >= 0.0 || m_marks.out >= 0.0);
    });
    // The keys work wherever the focus is in the window.
    for (const auto& [key, handler] :
         {std::pair{Qt::Key_I, &CTetravDlg::OnSetInMark}, std::pair{Qt::Key_O, &CTetravDlg::OnSetOutMark}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    }
}

double CTetravDlg::ReferenceRate() const {
    for (int k = 0; k < 4; ++k) {
        if (m_pSet->IsReference(k)) {
            return m_pSet->FrameRate(k);
        }
    }
    return 0.0;
}

void CTetravDlg::OnSetInMark() {
    if (m_pSet->OpenCount() == 0) {
        return;
    }
    ReadPlayTime();
    m_marks.in = MarkAt(std::clamp(m_pSet->PlayTime(), 0.0, m_pSet->TotalTime()), ReferenceRate());
    // An out mark before the new in mark would make no interval: it goes.
    if (m_marks.out >= 0.0 && m_marks.out <= m_marks.in) {
        m_marks.out = -1.0;
    }
    ShowMarks();
}

void CTetravDlg::OnSetOutMark() {
    if (m_pSet->OpenCount() == 0) {
        return;
    }
    ReadPlayTime();
    m_marks.out = MarkAt(std::clamp(m_pSet->PlayTime(), 0.0, m_pSet->TotalTime()), ReferenceRate());
    if (m_marks.in >= m_marks.out) {
        m_marks.in = -1.0;
    }
    ShowMarks();
}

void CTetravDlg::OnClearMarks() {
    m_marks = {};
    ShowMarks();
}

void CTetravDlg::ShowMarks() {
    if (m_pBars->SeekBar() != nullptr) {
        const bool any = m_pSet->TotalTime() > 0.0 && (m_marks.in >= 0.0 || m_marks.out >= 0.0);
        const double from = any ? std::max(0.0, m_marks.in) / m_pSet->TotalTime() : 0.0;
        const double to =
            any ? (m_marks.out >= 0.0 ? m_marks.out : m_pSet->TotalTime()) / m_pSet->TotalTime() : 0.0;
        m_pBars->SeekBar()->SetMarkedSpan(from, to);
    }
    if (m_marks.in >= 0.0 || m_marks.out >= 0.0) {
        const auto text = [](double t) { return t >= 0.0 ? CExporter::TimeText(t) : Utf8Text("未设置"); };
        SetStatusText(0, Utf8Text("入点 %1，出点 %2").arg(text(m_marks.in), text(m_marks.out)));
    }
}

void CTetravDlg::CheckOutMark() {
    // Play that reaches the out mark (not a jump past it) stops there, or goes back to the in
    // mark while 循环播放 is checked.
    const double previous = m_marks.lastTick;
    m_marks.lastTick = m_pSet->PlayTime();
    if (m_marks.out < 0.0 || !(previous < m_marks.out) || m_pSet->PlayTime() < m_marks.out ||
        m_pSet->PlayTime() - previous > 1.0) {
        return;
    }
    if (MenuAction(ID_LOOP_PLAY)->isChecked()) {
        ActiveSync().Seek(CurrentSet(), std::max(0.0, m_marks.in));
        m_marks.lastTick = m_marks.out; // until the position read is back before the out mark
        SetStatusText(0, Utf8Text("循环播放"));
        return;
    }
    OnPause();
    ActiveSync().Seek(CurrentSet(), m_marks.out);
    SetStatusText(0, Utf8Text("到达出点"));
}

void CTetravDlg::OnExportVideo() {
    if (m_pSet->OpenCount() == 0) {
        return;
    }
    ExportJob set;
    for (int k = 0; k < 4; ++k) {
        // An empty or retired pane is black in the export.
        set.paths[std::size_t(k)] = m_pSet->IsOpen(k) ? m_pSet->Path(k) : QString();
        set.offsets[std::size_t(k)] = m_pSet->Offset(k);
        if (m_pSet->IsReference(k)) {
            set.reference = k;
        }
    }
    auto* dialog = new CExportDlg(set, m_pSet->TotalTime(), m_marks.in, m_marks.out, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
