// The main window's saved sets: 保存视频组..., 打开视频组... and the recent sets of the 文件 menu.
// A set opens through the same path as chosen files do; its offsets are then put in place and
// the set seeks to the saved position through the normal seek. Files and options from the
// command line open the same way, as a set made of them.
#include "mainwnd/CTetravDlg.h"

#include "dialogs/LastFolder.h"
#include "engine/IChannel.h"
#include "model/PlaySet.h"
#include "platform/FileName.h"
#include "platform/MessageBox.h"
#include "sets/CRecentSets.h"
#include "sets/CSetFile.h"
#include "sets/LooseSets.h"
#include "settings/CSettings.h"
#include "settings/CSettingsModel.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <cstdio>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QString Filter() {
    return Utf8("视频组文件 (*.%1)").arg(QLatin1String(CSetFile::kSuffix));
}

QStringList VideosNow(const PlaySet& set) {
    return {set.Path(0), set.Path(1), set.Path(2), set.Path(3)};
}

} // namespace

void CTetravDlg::AddSetMenus(QMenu* file) {
    file->addSeparator();
    auto add = [this](QMenu* menu, const char* text, int id, void (CTetravDlg::*handler)()) {
        QAction* action = menu->addAction(Utf8(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, handler);
        m_menuActions[id] = action;
    };
    add(file, "保存视频组...", ID_SAVE_SET, &CTetravDlg::OnSaveSet);
    add(file, "打开视频组...", ID_OPEN_SET, &CTetravDlg::OnOpenSet);
    m_pRecentSets = file->addMenu(Utf8("最近的视频组"));
    // Shown as they stand when the menu opens: sets deleted meanwhile are gone from the list.
    connect(file, &QMenu::aboutToShow, this, [this] {
        bool open = false;
        for (int k = 0; k < 4; ++k) {
            open = open || m_pSet->IsOpen(k);
        }
        m_menuActions[ID_SAVE_SET]->setEnabled(open);
        FillRecentSets();
    });
    FillRecentSets();
}

void CTetravDlg::FillRecentSets() {
    for (int n = 0; n < CRecentSets::kMax; ++n) {
        m_menuActions.erase(ID_RECENT_SET_FIRST + n);
    }
    m_pRecentSets->clear();
    const QStringList sets = CRecentSets::Load();
    for (int n = 0; n < sets.size(); ++n) {
        const QString path = sets[n];
        const QString loose = LooseSets::Label(path);
        QAction* action = m_pRecentSets->addAction(
            QStringLiteral("&%1 %2").arg((n + 1) % 10).arg(loose.isEmpty() ? FileName::Shown(path) : loose));
        action->setData(ID_RECENT_SET_FIRST + n);
        connect(action, &QAction::triggered, this, [this, path] { OpenSetFile(path); });
        m_menuActions[ID_RECENT_SET_FIRST + n] = action;
    }
    m_pRecentSets->setEnabled(!sets.isEmpty());
}

void CTetravDlg::AddRecentSet(const QString& path) {
    QString why;
    if (!CRecentSets::Add(path, &why)) {
        ShowErrorBox(FileFailure(Utf8("保存最近的视频组列表错误!"), CRecentSets::FilePath(), why));
    }
    FillRecentSets();
}

void CTetravDlg::OnSaveSet() {
    QString start;
    for (int k = 0; k < 4 && start.isEmpty(); ++k) {
        if (m_pSet->IsOpen(k)) {
            start = QFileInfo(m_pSet->Path(k)).absolutePath();
        }
    }
    if (start.isEmpty()) {
        return; // nothing open: the menu item is disabled
    }
    QFileDialog dialog(this, Utf8("保存视频组"), start, Filter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QLatin1String(CSetFile::kSuffix));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        LastFolder::Remember(dialog.selectedFiles().constFirst());
        SaveSetTo(dialog.selectedFiles().constFirst());
    }
}

void CTetravDlg::OnOpenSet() {
    const QString path = QFileDialog::getOpenFileName(this, Utf8("打开视频组"), LastFolder::Get(), Filter());
    LastFolder::Remember(path);
    if (!path.isEmpty()) {
        OpenSetFile(path);
    }
}

bool CTetravDlg::SaveSetTo(const QString& path) {
    CSetFile set;
    bool any = false;
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        // A video that has ended (or broken) while the others play on stays in the set.
        if (m_pSet->IsOpen(k) || !m_pSet->OpenedPath(k).isEmpty()) {
            set.video[k] = m_pSet->IsOpen(k) ? m_pSet->Path(k) : m_pSet->OpenedPath(k);
            set.offset[k] = m_pSet->Offset(k);
            ref = m_pSet->IsReference(k) ? k : ref;
            any = true;
        }
    }
    if (!any) {
        return false;
    }
    set.syncMode = m_pSettings->SyncMode();
    set.reference = m_pSettings->ReferenceRule();
    // The reference time: the reference's own position less its offset.
    double position = 0.0;
    if (ref >= 0 && ActiveSync().ReadPosition(*m_pSet->Channel(ref), position)) {
        set.position = std::max(0.0, position - m_pSet->Offset(ref));
    }
    if (m_setKeptVideos == VideosNow(*m_pSet)) {
        set.kept = m_setKept;
    }
    QString why;
    if (!set.Write(path, &why)) {
        // The file on disk is as it was; it does not join the recent sets.
        ShowErrorBox(FileFailure(Utf8("保存视频组错误!"), path, why));
        return false;
    }
    SetStatusText(0, Utf8("保存视频组"));
    AddRecentSet(path);
    return true;
}

bool CTetravDlg::OpenSetFile(const QString& path) {
    CSetFile set;
    QString why;
    if (!set.Read(path, &why)) {
        ShowErrorBox(FileFailure(Utf8("打开视频组错误!"), path, why));
        return false;
    }
    return OpenSet(std::move(set), path);
}

void CTetravDlg::ApplyRunModes(const RunOptions& options) {
    m_pSettings->SetForRun(options.syncMode, options.reference);
}

bool CTetravDlg::OpenForRun(const QStringList& files, const RunOptions& options) {
    CSetFile set;
    QString setPath;
    for (const QString& file : files) {
        if (CSetFile::IsSetFile(file)) {
            setPath = file;
            break;
        }
    }
    if (!setPath.isEmpty()) {
        QString why;
        if (!set.Read(setPath, &why)) {
            ShowErrorBox(FileFailure(Utf8("打开视频组错误!"), setPath, why));
            return false;
        }
    } else {
        for (int k = 0; k < 4; ++k) {
            set.video[k] = files.value(k);
        }
    }
    // What the command line says stands over what the set says.
    set.syncMode = options.syncMode >= 0 ? options.syncMode : set.syncMode;
    set.reference = options.reference >= 0 ? options.reference : set.reference;
    for (int k = 0; k < 4; ++k) {
        if (options.offset[k]) {
            set.offset[k] = *options.offset[k];
        }
    }
    set.position = options.start.value_or(set.position);
    if (!OpenSet(std::move(set), setPath)) {
        return false;
    }
    for (int k = 0; k < 4; ++k) {
        if (options.offset[k] && !m_pSet->IsOpen(k)) {
            std::fprintf(stderr, "Tetrav: pane %d has no video; its offset is not used.\n", k + 1);
        }
    }
    if (options.start && *options.start > 0.0 && !(*options.start < m_pSet->TotalTime())) {
        std::fprintf(stderr, "Tetrav: the set is %.3f s long; it starts from the beginning, not at %.3f s.\n",
                     m_pSet->TotalTime(), *options.start);
    }
    if (options.rate == 0.25) {
        OnSlower();
    } else if (options.rate == 2.0) {
        OnFaster();
    }
    if (options.play) {
        OnPlay();
    }
    if (options.alignAudio) {
        OnAlignAudio(-1);
    }
    return true;
}

bool CTetravDlg::OpenSet(CSetFile set, const QString& path) {
    const QList<int> missing = set.MissingPanes();
    int named = 0;
    for (const QString& video : set.video) {
        named += video.isEmpty() ? 0 : 1;
    }
    if (!missing.isEmpty()) {
        QString text = Utf8("视频组中的文件不存在!");
        for (int k : missing) {
            const FileName::Kind kind = FileName::KindOf(set.video[k]);
            text += QLatin1Char('\n') + FileLine(k, set.video[k]);
            if (kind != FileName::Kind::Missing) {
                text += QStringLiteral("（%1）").arg(FileName::KindText(kind)); // a folder, a pipe, a device
            }
            set.video[k].clear();
        }
        ShowErrorBox(text);
        if (missing.size() == named) {
            return false; // nothing to open: the set in place stays
        }
    }
    // The set's modes hold for this run; the settings file keeps the user's own choice.
    m_pSettings->SetForRun(set.syncMode, set.reference);
    for (int k = 0; k < 4; ++k) {
        m_pSet->SetPath(k, set.video[k]);
    }
    m_nCurChannel = 0;
    m_bOpeningSetFile = !path.isEmpty();
    OpenSelectedFiles(); // says itself what did not open
    m_bOpeningSetFile = false;
    if (m_bDestroyed || !m_pSet->AnyTakesPart()) {
        return false;
    }
    if (!path.isEmpty()) {
        AddRecentSet(path);
    }
    m_setKept = set.kept;
    m_setKeptVideos = VideosNow(*m_pSet);

    bool offsets = false;
    for (int k = 0; k < 4; ++k) {
        m_pSet->SetOffset(k, m_pSet->IsOpen(k) ? set.offset[k] : 0.0);
        offsets = offsets || m_pSet->Offset(k) != 0.0;
    }
    ShowPaneInfo();
    // A position beyond the end (the videos changed since) starts from the beginning.
    const double position = set.position < m_pSet->TotalTime() ? set.position : 0.0;
    if (position > 0.0 || offsets) {
        ActiveSync().Seek(CurrentSet(), position);
    }
    if (!path.isEmpty()) {
        SetStatusText(0, Utf8("打开视频组"));
    }
    return true;
}
