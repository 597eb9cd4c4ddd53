#pragma once
// The main window: four video panes in a 2 x 2 grid, the transport tool bar, the seek bar, the
// volume slider, the status bar and the menus. It owns every channel of the set and keeps them
// in step with two timers: the synchronisation tick (every 10 ms) and the display tick (500 ms).
//
// Geometry comes from the screen size (MainLayout); files given on the command line open as a
// set once the window is first shown.
#include "dialogs/GotoPosition.h"
#include "mainwnd/CTetravDlgPlay.h"
#include "mainwnd/RunOptions.h"
#include "uikit/CBCGPDialog.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
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
class CMainMenus;
class CMenuEx;
class CStatusBar;
class CTetravDlgBars;
class CTetravDlgCapture;
class CTetravDlgExport;
class CTetravDlgKeys;
class CTetravDlgOffset;
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
    friend class CTetravDlgOffset;
    friend class CTetravDlgPlay;

public:
    explicit CTetravDlg(QWidget* parent = nullptr);
    ~CTetravDlg() override;

    // Up to four files that open as a set once the window is first shown: the nth in pane n,
    // an empty entry leaves its pane empty; the run options act on that set (their modes also
    // without files).
    void SetCommandLineFiles(const QStringList& paths, const RunOptions& options = {});

    // Replaces the synchronisation (default: the one the sync mode setting names) for good.
    void SetChannelSync(std::unique_ptr<CChannelSync> sync);

    // ---- Commands ----
    void OnOpenFiles();
    // Opens the set whose files the model names as the confirmed file selection does (also used for
    // files from the command line). The open goes on beside the event loop: Set().IsOpening()
    // holds until it has ended, and commands meanwhile wait for it (PlaySet::WhenOpen).
    void OpenSelectedFiles();
    void CloseChannel(int i);
    // ---- The transport and the two timers (CTetravDlgPlay) ----
    CTetravDlgPlay& Play() const { return *m_pPlay; }
    void OnPlay() { m_pPlay->OnPlay(); }
    void OnPause() { m_pPlay->OnPause(); }
    void OnStop() { m_pPlay->OnStop(); }
    void OnSlower() { m_pPlay->OnSlower(); }
    void OnNormalSpeed() { m_pPlay->OnNormalSpeed(); }
    void OnFaster() { m_pPlay->OnFaster(); }
    void OnStepFrame() { m_pPlay->OnStepFrame(); }
    // Every pane one frame back, to the frame of the same instant.
    void OnStepBack() { m_pPlay->OnStepBack(); }
    void OnGotoPosition() { m_pPlay->OnGotoPosition(); }
    // Normal speed without resuming play (the desktop's Rate property never starts play).
    void SetNormalRate() { m_pPlay->SetNormalRate(); }
    void SetTimer(int id, int periodMs) { m_pPlay->SetTimer(id, periodMs); }
    void KillTimer(int id) { m_pPlay->KillTimer(id); }
    bool IsTimerRunning(int id) const { return m_pPlay->IsTimerRunning(id); }
    void OnTimer(int id) { m_pPlay->OnTimer(id); }
    void OnExit();
    // The options dialog, the About box and the help, each owned by this window while open (the
    // dialogs are window-modal; the command returns as soon as one is up).
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
    // ---- In and out marks, export; time offsets ----
    CTetravDlgExport& Export() const { return *m_pExport; }
    CTetravDlgOffset& Offset() const { return *m_pOffset; }
    // Pane k's offset (CTetravDlgOffset::SetChannelOffset).
    void SetChannelOffset(int k, double seconds);

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

    // The synchronisation the sync mode in force asks for (made on first use; switched as soon
    // as the mode in force changes), and the set as it sees it.
    CChannelSync& ActiveSync();
    SyncSet CurrentSet() const;

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
    QMenuBar* MenuBar() const;
    CMainMenus& Menus() const { return *m_pMenus; }
    QAction* MenuAction(int commandId) const;
    // The menu item of commandId is action from now on (null: there is none).
    void KeepAction(int commandId, QAction* action);
    CHotKeyManager* HotKeys() const;
    // The settings in force: the stored ones under this run's modes (a saved set, the command line).
    CSettingsModel& Settings() const { return *m_pSettings; }
    // The set being played: its channels, files, reference, offsets, rate and play time.
    PlaySet& Set() const { return *m_pSet; }
    // For the controllers: the status bar's parts (0: the last action), a time in one of them,
    // the reference's position into the play time, the display tick following the play time.
    void SetStatusText(int part, const QString& text);
    void ShowTime(double seconds, int part);
    void ReadPlayTime() { m_pPlay->ReadPlayTime(); }
    void FollowPlayTime() { m_pPlay->FollowPlayTime(); }

signals:
    // The status text of the last action changed: a transport command, an open, a stop.
    void actionShown();

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
    // The window after the open job: the total time, the volume, the controls; then(false) (and
    // the window idle) when nothing opened. then runs once the open's messages have been closed.
    void ShowOpenedSet(const SetOpenResult& result, bool fromSetFile, const AfterOpen& then);
    void OnCommand(int id);
    void OnDestroy();
    void BuildMenuBar();
    void ApplyRunModes(const RunOptions& options);
    // The menu bar, the client area and the bars where the window's size and full screen put them.
    void Relayout();
    void PlaceWindow();

    QWidget* m_pClient = nullptr;
    CMainMenus* m_pMenus = nullptr;
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
    CTetravDlgPlay* m_pPlay = nullptr;
    CTetravDlgExport* m_pExport = nullptr;
    CTetravDlgOffset* m_pOffset = nullptr;
    CChannelLoss* m_pLoss = nullptr;        // what happens when a channel ends or breaks during play
    CSyncControl* m_pSyncControl = nullptr; // the synchronisation in use
    bool m_bShownOnce = false;
    bool m_bDestroyed = false;
};
