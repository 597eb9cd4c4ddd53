#pragma once
// The main window's saved sets: 保存视频组..., 打开视频组... and the recent sets of the 文件 menu;
// the files and options of the command line, which open as a set made of them; and every set
// opened from loose videos, kept among the recent sets. A set opens through the window's open;
// its offsets are then put in place and the set seeks to the saved position through the normal
// seek.
#include "mainwnd/RunOptions.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class CSetFile;
class CTetravDlg;
class QFileDialog;
class QMenu;

class CSavedSets : public QObject {
    Q_OBJECT
public:
    // Owned by the window.
    explicit CSavedSets(CTetravDlg* dlg);

    // The saved-set items of the 文件 menu, and the recent sets as they stand when it opens.
    void AddMenus(QMenu* file);

    // 保存视频组... and 打开视频组...: the file dialogs, then SaveSetTo / OpenSetFile.
    void OnSaveSet();
    void OnOpenSet();
    // Writes the open set (videos, offsets, sync mode, reference rule, position) to path;
    // false when no set is open (nothing written) or, with a message, when the file cannot be
    // written.
    bool SaveSetTo(const QString& path);
    // Opens the saved set at path: its videos (a missing one is named and its pane stays
    // empty), its modes for this run, its offsets and position. False, with a message, when it
    // is refused at once; else the open goes on beside the event loop (PlaySet::IsOpening).
    bool OpenSetFile(const QString& path);
    // Opens files (the nth in pane n), or the first saved set among them, with the run options:
    // the modes for this run, the offsets and start over the set's own, then the rate and play.
    // False when refused at once (nothing opens).
    bool OpenForRun(const QStringList& files, const RunOptions& options);
    // Keeps the set just opened from loose videos as a set file among the recent sets.
    void KeepLooseSet();
    // The command line's files (up to four) and run options, and their set opened as by
    // OpenForRun once the window is on the screen (the options' modes also without files).
    void SetCommandLine(const QStringList& files, const RunOptions& options);
    const RunOptions& CommandLineOptions() const { return m_commandLineOptions; }
    void OpenCommandLine();

private:
    using AfterOpen = std::function<void(bool opened)>;
    // Opens a set read from path (or made from files when path is empty): its videos, its modes
    // for this run, its offsets and position. False when refused at once; then(opened) at the end.
    bool OpenSet(CSetFile set, const QString& path, const AfterOpen& then);
    // Its videos with its modes for this run (the missing ones left out), then(opened) at the end.
    void OpenSetVideos(const CSetFile& set, const QString& path, const AfterOpen& then);
    // Shows a file dialog window-modal; then(the file chosen) once it is accepted.
    void OpenFileDialog(QFileDialog* dialog, const std::function<void(const QString&)>& then);
    // The saved set's own part once its videos are open: the recent sets, offsets, position.
    void ApplySetFile(const CSetFile& set, const QString& path);
    // Puts path first in the recent sets; says so when the list cannot be written.
    void AddRecentSet(const QString& path);
    void FillRecentSets();

    CTetravDlg* m_dlg;
    QMenu* m_pRecentSets = nullptr;
    // Lines of a newer version in the set file opened last, written back when the same videos
    // are saved again.
    QStringList m_kept;
    QStringList m_keptVideos;
    QStringList m_commandLineFiles;
    RunOptions m_commandLineOptions;
};
