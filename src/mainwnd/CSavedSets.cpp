#include "mainwnd/CSavedSets.h"

#include "mainwnd/CAudioAlignment.h"
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

#include <QAction>
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

CSavedSets::CSavedSets(CTetravDlg* dlg) : QObject(dlg), m_dlg(dlg) {}

void CSavedSets::AddMenus(QMenu* file) {
    file->addSeparator();
    auto add = [this](QMenu* menu, const char* text, int id, void (CSavedSets::*handler)()) {
        QAction* action = menu->addAction(Utf8(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, handler);
        m_dlg->KeepAction(id, action);
    };
    add(file, "保存视频组...", ID_SAVE_SET, &CSavedSets::OnSaveSet);
    add(file, "打开视频组...", ID_OPEN_SET, &CSavedSets::OnOpenSet);
    m_pRecentSets = file->addMenu(Utf8("最近的视频组"));
    // Shown as they stand when the menu opens: sets deleted meanwhile are gone from the list.
    connect(file, &QMenu::aboutToShow, this, [this] {
        bool open = false;
        for (int k = 0; k < 4; ++k) {
            open = open || m_dlg->Set().IsOpen(k);
        }
        m_dlg->MenuAction(ID_SAVE_SET)->setEnabled(open);
        FillRecentSets();
    });
    FillRecentSets();
}

void CSavedSets::FillRecentSets() {
    for (int n = 0; n < CRecentSets::kMax; ++n) {
        m_dlg->KeepAction(ID_RECENT_SET_FIRST + n, nullptr);
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
        m_dlg->KeepAction(ID_RECENT_SET_FIRST + n, action);
    }
    m_pRecentSets->setEnabled(!sets.isEmpty());
}

void CSavedSets::AddRecentSet(const QString& path) {
    QString why;
    if (!CRecentSets::Add(path, &why)) {
        ShowErrorBox(FileFailure(Utf8("保存最近的视频组列表错误!"), CRecentSets::FilePath(), why));
    }
    FillRecentSets();
}

void CSavedSets::OnSaveSet() {
    QString start;
    for (int k = 0; k < 4 && start.isEmpty(); ++k) {
        if (m_dlg->Set().IsOpen(k)) {
            start = QFileInfo(m_dlg->Set().Path(k)).absolutePath();
        }
    }
    if (start.isEmpty()) {
        return; // nothing open: the menu item is disabled
    }
    auto* dialog = new QFileDialog(m_dlg, Utf8("保存视频组"), start, Filter());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QLatin1String(CSetFile::kSuffix));
    OpenFileDialog(dialog, [this](const QString& path) { SaveSetTo(path); });
}

void CSavedSets::OnOpenSet() {
    auto* dialog = new QFileDialog(m_dlg, Utf8("打开视频组"), LastFolder::Get(), Filter());
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    OpenFileDialog(dialog, [this](const QString& path) { OpenSetFile(path); });
}

void CSavedSets::OpenFileDialog(QFileDialog* dialog, const std::function<void(const QString&)>& then) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::finished, this, [dialog, then](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result != QDialog::Accepted || chosen.isEmpty() || chosen.constFirst().isEmpty()) {
            return;
        }
        LastFolder::Remember(chosen.constFirst());
        then(chosen.constFirst());
    });
    dialog->open(); // window-modal over the main window
}

bool CSavedSets::SaveSetTo(const QString& path) {
    CSetFile set;
    bool any = false;
    int ref = -1;
    for (int k = 0; k < 4; ++k) {
        // A video that has ended (or broken) while the others play on stays in the set.
        if (m_dlg->Set().IsOpen(k) || !m_dlg->Set().OpenedPath(k).isEmpty()) {
            set.video[k] = m_dlg->Set().IsOpen(k) ? m_dlg->Set().Path(k) : m_dlg->Set().OpenedPath(k);
            set.offset[k] = m_dlg->Set().Offset(k);
            ref = m_dlg->Set().IsReference(k) ? k : ref;
            any = true;
        }
    }
    if (!any) {
        return false;
    }
    set.syncMode = m_dlg->Settings().SyncMode();
    set.reference = m_dlg->Settings().ReferenceRule();
    // The reference time: the reference's own position less its offset.
    double position = 0.0;
    if (ref >= 0 && m_dlg->ActiveSync().ReadPosition(*m_dlg->Set().Channel(ref), position)) {
        set.position = std::max(0.0, position - m_dlg->Set().Offset(ref));
    }
    if (m_keptVideos == VideosNow(m_dlg->Set())) {
        set.kept = m_kept;
    }
    QString why;
    if (!set.Write(path, &why)) {
        // The file on disk is as it was; it does not join the recent sets.
        ShowErrorBox(FileFailure(Utf8("保存视频组错误!"), path, why));
        return false;
    }
    m_dlg->SetStatusText(0, Utf8("保存视频组"));
    AddRecentSet(path);
    return true;
}

bool CSavedSets::OpenSetFile(const QString& path) {
    CSetFile set;
    QString why;
    if (!set.Read(path, &why)) {
        ShowErrorBox(FileFailure(Utf8("打开视频组错误!"), path, why));
        return false;
    }
    return OpenSet(std::move(set), path, {});
}

void CSavedSets::SetCommandLine(const QStringList& files, const RunOptions& options) {
    m_commandLineFiles = files.mid(0, 4);
    m_commandLineOptions = options;
}

void CSavedSets::OpenCommandLine() {
    if (m_commandLineFiles.isEmpty()) {
        return;
    }
    const QStringList files = m_commandLineFiles;
    m_commandLineFiles.clear();
    OpenForRun(files, m_commandLineOptions);
}

bool CSavedSets::OpenForRun(const QStringList& files, const RunOptions& options) {
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
    return OpenSet(std::move(set), setPath, [this, options](bool opened) {
        if (!opened) {
            return;
        }
        for (int k = 0; k < 4; ++k) {
            if (options.offset[k] && !m_dlg->Set().IsOpen(k)) {
                std::fprintf(stderr, "Tetrav: pane %d has no video; its offset is not used.\n", k + 1);
            }
        }
        if (options.start && *options.start > 0.0 && !(*options.start < m_dlg->Set().TotalTime())) {
            std::fprintf(stderr,
                         "Tetrav: the set is %.3f s long; it starts from the beginning, not at %.3f s.\n",
                         m_dlg->Set().TotalTime(), *options.start);
        }
        if (options.rate == 0.25) {
            m_dlg->OnSlower();
        } else if (options.rate == 2.0) {
            m_dlg->OnFaster();
        }
        if (options.play) {
            m_dlg->OnPlay();
        }
        if (options.alignAudio) {
            m_dlg->Alignment().Start(-1);
        }
    });
}

bool CSavedSets::OpenSet(CSetFile set, const QString& path, const AfterOpen& then) {
    if (m_dlg->Set().IsOpening()) {
        // One open at a time: this one follows the one under way.
        m_dlg->Set().WhenOpen(this, [this, set, path, then] { OpenSet(set, path, then); });
        return true;
    }
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
        // The rest opens once the box has been closed.
        AfterMessageBoxes(this, [this, set, path, then] { OpenSetVideos(set, path, then); });
        return true;
    }
    OpenSetVideos(set, path, then);
    return true;
}

void CSavedSets::OpenSetVideos(const CSetFile& set, const QString& path, const AfterOpen& then) {
    // The set's modes hold for this run; the settings file keeps the user's own choice.
    m_dlg->Settings().SetForRun(set.syncMode, set.reference);
    for (int k = 0; k < 4; ++k) {
        m_dlg->Set().SetPath(k, set.video[k]);
    }
    // The open says itself what did not open.
    m_dlg->OpenPaths(!path.isEmpty(), [this, set, path, then](bool opened) {
        opened = opened && m_dlg->Set().AnyTakesPart();
        if (opened) {
            ApplySetFile(set, path);
        }
        if (then) {
            then(opened);
        }
    });
}

void CSavedSets::ApplySetFile(const CSetFile& set, const QString& path) {
    if (!path.isEmpty()) {
        AddRecentSet(path);
    }
    m_kept = set.kept;
    m_keptVideos = VideosNow(m_dlg->Set());

    bool offsets = false;
    for (int k = 0; k < 4; ++k) {
        m_dlg->Set().SetOffset(k, m_dlg->Set().IsOpen(k) ? set.offset[k] : 0.0);
        offsets = offsets || m_dlg->Set().Offset(k) != 0.0;
    }
    m_dlg->ShowPaneInfo();
    // A position beyond the end (the videos changed since) starts from the beginning.
    const double position = set.position < m_dlg->Set().TotalTime() ? set.position : 0.0;
    if (position > 0.0 || offsets) {
        m_dlg->ActiveSync().Seek(m_dlg->CurrentSet(), position);
    }
    if (!path.isEmpty()) {
        m_dlg->SetStatusText(0, Utf8("打开视频组"));
    }
}

// Every set opened from loose videos is kept among the recent sets.
void CSavedSets::KeepLooseSet() {
    CSetFile set;
    for (int k = 0; k < 4; ++k) {
        set.video[k] = m_dlg->Set().OpenedPath(k);
    }
    set.syncMode = g_settings.FramePhase != 0 ? 1 : 0;
    set.reference = g_settings.MiniVideo == 1 ? 1 : 0;
    // Only a convenience: a state folder that cannot be written costs the entry, not a message in
    // the middle of opening the videos.
    QString path;
    QString why;
    if (!LooseSets::Keep(set, &path, &why) || !CRecentSets::Add(path, &why)) {
        std::fprintf(stderr, "Tetrav: the set is not kept among the recent sets (%s: %s).\n",
                     qPrintable(QDir::toNativeSeparators(path)), qPrintable(why));
        return;
    }
    FillRecentSets();
}
