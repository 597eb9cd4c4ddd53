#pragma once
// The main window: four video panes in a 2 x 2 grid, the transport tool bar, the seek bar, the
// volume slider, the status bar and the menus. It owns every channel of the set and keeps them
// in step with two timers: the synchronisation tick (every 10 ms) and the display tick (500 ms).
//
// Geometry comes from the screen size (MainLayout); files given on the command line open as a
// set once the window is first shown.
#include "dialogs/GotoPosition.h"
#include "mainwnd/RunOptions.h"
#include "uikit/CBCGPDialog.h"

#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

struct AlignResult;
class CAlignJob;
class CChannelLoss;
class CSyncControl;
class IChannel;
struct SetOpenResult;
class CAudioAlignment;
class CChannelSync;
class CSavedSets;
class CSettingsModel;
struct MainLayout;
class CFrameSync;
struct SyncSet;
class CHotKeyManager;
class PlaySet;
class CMenuEx;
class CStatusBar;
class CTetravDlgBars;
class CTetravDlgCapture;
class CTetravDlgKeys;
class CTetravDlgPaneInfo;
class CTetravDlgPaneMenus;
class CTetravDlgSound;
class CTetravDlgView;
class CToolBarXP;
class CVideoPane;
class CVolumeSlider;
class CXScrollBar;
class QAction;
class QMenu;
class QMenuBar;
class QTimer;
class QWheelEvent;
class QWidget;

class CTetravDlg : public CBCGPDialog {
    Q_OBJECT
    // The controllers of the window's parts act on its set, timers and status bar.
    friend class CTetravDlgKeys;
    friend class CTetravDlgCapture;

public:
    using ChannelFactory = std::function<IChannel*()>;

    explicit CTetravDlg(QWidget* parent = nullptr);
    ~CTetravDlg() override;

    // Up to four files that open as a set once the window is first shown: the nth in pane n,
    // an empty entry leaves its pane empty; the run options act on that set (their modes also
    // without files).
    void SetCommandLineFiles(const QStringList& paths, const RunOptions& options = {});

    // Where new channel objects come from (default: new GstChannel).
    void SetChannelFactory(ChannelFactory factory);
    // Replaces the synchronisation (default: the one the sync mode setting names) for good.
    void SetChannelSync(std::unique_ptr<CChannelSync> sync);

    // ---- Commands ----
    void OnOpenFiles();
    // Opens the set whose files the model names as the confirmed file selection does (also used for
    // files from the command line). The open goes on beside the event loop: Set().IsOpening()
    // holds until it has ended, and commands meanwhile wait for it (PlaySet::WhenOpen).
    void OpenSelectedFiles();
    void CloseChannel(int i);
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnSlower();
    void OnNormalSpeed();
    void OnFaster();
    void OnStepFrame();
    // Every pane one frame back, to the frame of the same instant.
    void OnStepBack();
    void OnGotoPosition();
    void OnExit();
    // The options dialog, the About box and the help, each owned by this window while open.
    void OnOptions();
    void OnAbout();
    void OnHelpContents();

    // ---- Pane zoom, full screen and display modes ----
    CTetravDlgView& View() const { return *m_pView; }

    // ---- Snapshots and go-to ----
    CTetravDlgCapture& Capture() const { return *m_pCapture; }
    // The panes' context menus.
    CTetravDlgPaneMenus& PaneMenus() const { return *m_pPaneMenus; }
    void OnGoto();

    // ---- Saved sets and the recent sets (CSavedSets), the command line's set ----
    CSavedSets& SavedSets() const { return *m_pSavedSets; }
    // ---- In and out marks, export (CTetravDlgExport.cpp) ----
    // The marks are at the start of the reference's frame shown (I, O), in reference seconds; -1
    // when not set. The out mark's frame is the first one after the interval. Play stops at the out mark, or
    // loops back to the in mark while 循环播放 is checked.
    void OnSetInMark();
    void OnSetOutMark();
    void OnClearMarks();
    double InMark() const { return m_marks.in; }
    double OutMark() const { return m_marks.out; }
    // 文件 -> 导出视频...: the export dialog for the open set.
    void OnExportVideo();

    // ---- Time offsets (CTetravDlgOffset.cpp) ----
    // Sets pane k's offset (seconds, within +-24 h) and moves the set at once: the other panes
    // keep their pictures, and changing the reference's own offset moves the reference. An
    // offset written to the set directly is applied by the next seek, start or rate change
    // (e.g. write all four, then OnGotoPosition).
    void SetChannelOffset(int k, double seconds);
    // The offset dialog for pane k; pane k nudged by frames of its own video (while paused).
    void OnSetOffset(int k);
    void NudgeOffset(int k, int frames);
    // The pane under the mouse pointer whose channel is open, or -1.
    int PaneUnderPointer() const;
    // The status bar's sync part: the positions, and the offsets when any is set.
    QString SyncInfoText() const;

    // ---- Alignment by sound (CAudioAlignment) ----
    CAudioAlignment& Alignment() const { return *m_pAlignment; }

    // ---- Keys, seeking by steps and the rate ladder ----
    CTetravDlgKeys& Keys() const { return *m_pKeys; }

    // The volume level, the volume keys and each pane's sound.
    CTetravDlgSound& Sound() const { return *m_pSound; }

    // ---- Pane information and the pictures' zoom ----
    CTetravDlgPaneInfo& PaneInfo() const { return *m_pPaneInfo; }
    // Gives every channel what its pane shows now (name, offset, reference, frame rate).
    void ShowPaneInfo();

    // ---- Timers ----
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool IsTimerRunning(int id) const;
    void OnTimer(int id);
    void SyncChannels(int ref, double refSecs, const double* positions, int count);
    // The synchronisation the sync mode in force asks for (made on first use; switched as soon
    // as the mode in force changes).
    CChannelSync& ActiveSync();

    // ---- Settings ----
    void LoadSettings();
    void WriteDefaultSettings();

    // ---- Bars and layout ----
    // The tool bar, seek bar, volume slider and status bar.
    CTetravDlgBars& Bars() const { return *m_pBars; }
    // The bars, the panes and the status bar where the layout puts them.
    void LayoutControls();

    // ---- Access for the owner and for tests ----
    QWidget* ClientArea() const { return m_pClient; }
    QMenuBar* MenuBar() const { return m_pMenuBar; }
    QAction* MenuAction(int commandId) const;
    // The menu item of commandId is action from now on (null: there is none).
    void KeepAction(int commandId, QAction* action);
    CHotKeyManager* HotKeys() const { return m_pHotKeys; }
    // The settings in force: the stored ones under this run's modes (a saved set, the command line).
    CSettingsModel& Settings() const { return *m_pSettings; }
    // The set being played: its channels, files, reference, offsets, rate and play time.
    PlaySet& Set() const { return *m_pSet; }
    // Normal speed without resuming play (the desktop's Rate property never starts play).
    void SetNormalRate();

signals:
    // The status text of the last action changed: a transport command, an open, a stop.
    void actionShown();

public:
    // ---- Data model ----
    int m_nCurChannel = 0;
    CVideoPane* m_wndPane[4] = {nullptr, nullptr, nullptr, nullptr};

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void done(int r) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The window's controllers use its inner commands.
    friend class CAudioAlignment;
    friend class CSavedSets;

    // What an opener does once the set is open (opened) or did not open, before the commands
    // that waited.
    using AfterOpen = std::function<void(bool opened)>;
    // Opens the set's paths (OpenSelectedFiles); a set file's videos are not kept as a loose set.
    void OpenPaths(bool fromSetFile, const AfterOpen& then);
    // The window after the open job: the total time, the volume, the controls; false (and the
    // window idle) when nothing opened.
    bool ShowOpenedSet(const SetOpenResult& result, bool fromSetFile);
    void OnCommand(int id);
    void OnSeekBarScroll();
    // The reference's position into the play time (while the sync ticks stand still).
    void ReadPlayTime();
    // The play time and the seek bar's thumb show where the set stands.
    void ShowPlace();
    void OnDestroy();
    void BuildMenuBar();
    void AddExportMenus(QMenu* file, QMenu* play);
    void CheckOutMark();
    double ReferenceRate() const;
    void ShowMarks();
    void ApplyRunModes(const RunOptions& options);
    // The menu bar, the client area and the bars where the window's size and full screen put them.
    void Relayout();
    void PlaceWindow();
    SyncSet CurrentSet() const;
    void FinishAlignment(const AlignResult& result);
    // Cancels the analysis in progress (nothing is applied) and closes its dialog.
    void StopAlignment();
    void ResetSync();
    void CloseSet();
    void SetStatusText(int part, const QString& text);
    // While paused the display tick reads the play time after seeks and steps (a set opened
    // paused has no tick running yet).
    void FollowPlayTime();
    void ShowTime(double seconds, int part);

    QWidget* m_pClient = nullptr;
    QMenuBar* m_pMenuBar = nullptr;
    CHotKeyManager* m_pHotKeys = nullptr;
    CSettingsModel* m_pSettings = nullptr;
    CSavedSets* m_pSavedSets = nullptr;
    CAudioAlignment* m_pAlignment = nullptr;
    PlaySet* m_pSet = nullptr;
    CTetravDlgBars* m_pBars = nullptr;
    CTetravDlgSound* m_pSound = nullptr;
    CTetravDlgPaneInfo* m_pPaneInfo = nullptr;
    CTetravDlgView* m_pView = nullptr;
    CTetravDlgKeys* m_pKeys = nullptr;
    CTetravDlgCapture* m_pCapture = nullptr;
    CTetravDlgPaneMenus* m_pPaneMenus = nullptr;
    QTimer* m_pTimerSync = nullptr;
    QTimer* m_pTimerDisplay = nullptr;
    CChannelLoss* m_pLoss = nullptr; // what happens when a channel ends or breaks during play
    std::map<int, QAction*> m_menuActions;
    struct Marks {
        double in = -1.0;
        double out = -1.0;
        double lastTick = -1.0; // the reference's position at the last sync tick
    } m_marks;
    ChannelFactory m_channelFactory;
    CSyncControl* m_pSyncControl = nullptr; // the synchronisation in use
    QElapsedTimer m_syncTickClock;          // since the last sync tick; invalid until the tick runs
    QStringList m_commandLineFiles;
    RunOptions m_commandLineOptions;
    bool m_bShownOnce = false;
    bool m_bDestroyed = false;
};
