#include "mainwnd/CTetravDlg.h"

#include "controls/CMenuEx.h"
#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "dialogs/CFileSelectDlg.h"
#include "dialogs/CGotoDlg.h"
#include "engine/CPipelineReaper.h"
#include "engine/CStreamProbe.h"
#include "engine/GstChannel.h"
#include "mainwnd/CAudioAlignment.h"
#include "mainwnd/CChannelLoss.h"
#include "mainwnd/CExternalFiles.h"
#include "mainwnd/CMainMenus.h"
#include "mainwnd/CSavedSets.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CSyncControl.h"
#include "mainwnd/CTetravDlgBars.h"
#include "mainwnd/CTetravDlgCapture.h"
#include "mainwnd/CTetravDlgExport.h"
#include "mainwnd/CTetravDlgKeys.h"
#include "mainwnd/CTetravDlgOffset.h"
#include "mainwnd/CTetravDlgPaneInfo.h"
#include "mainwnd/CTetravDlgPaneMenus.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CTetravDlgView.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/OpenInputHold.h"
#include "mainwnd/SetOpenJob.h"
#include "model/PlaySet.h"
#include "platform/CHotKeyManager.h"
#include "platform/MessageBox.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "sync/CChannelSync.h"
#include "sync/CFrameSync.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace {

// Icon 128, in whichever image form the resources carry it; none is fine (the desktop's own).
QIcon FindProgramIcon() {
    static const char* const kNames[] = {":/res/icons/128.png", ":/res/icons/128.svg", ":/res/icons/128.ico"};
    for (const char* name : kNames) {
        if (QFile::exists(QString::fromLatin1(name))) {
            return QIcon(QString::fromLatin1(name));
        }
    }
    return {};
}

} // namespace

CTetravDlg::CTetravDlg(QWidget* parent) : CBCGPDialog(IDD_TETRAV_DIALOG, parent) {
    setWindowTitle(QStringLiteral("Tetrav"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAccessibleName(QStringLiteral("Tetrav"));
    g_hMainWnd = this;
    SetMessageBoxOwner(this);
    const QIcon icon = FindProgramIcon();
    if (!icon.isNull()) {
        setWindowIcon(icon);
    }

    m_pSet = new PlaySet(this);
    m_pSet->SetChannelFactory([](int) { return std::make_unique<GstChannel>(); });
    m_pPlay = new CTetravDlgPlay(*this);
    m_pExport = new CTetravDlgExport(*this);
    m_pOffset = new CTetravDlgOffset(*this);
    m_pSavedSets = new CSavedSets(this);
    m_pAlignment = new CAudioAlignment(this);
    m_pClient = new QWidget(this);
    m_pClient->setObjectName(QStringLiteral("client"));

    // The controls of the window template; the layout places them.
    std::array<CVideoPane*, 4> panes{};
    for (int i = 0; i < 4; ++i) {
        panes[std::size_t(i)] = new CVideoPane(i, m_pClient);
    }
    m_pPaneInfo = new CTetravDlgPaneInfo(*m_pSet, panes, this);
    m_pView = new CTetravDlgView(*this, *m_pSet, panes);
    connect(m_pSet, &PlaySet::channelChanged, this, [this](int k) { m_pView->Pane(k)->update(); });
    for (CVideoPane* pane : panes) {
        connect(pane, &CVideoPane::doubleClicked, m_pView, &CTetravDlgView::OnPaneDoubleClick);
    }
    connect(m_pView, &CTetravDlgView::layoutNeeded, this, [this] {
        Relayout();
        update();
    });
    connect(m_pView, &CTetravDlgView::actionText, this,
            [this](const QString& text) { SetStatusText(0, text); });
    BuildMenuBar();
    m_pBars = new CTetravDlgBars(m_pClient, this);
    connect(m_pBars, &CTetravDlgBars::command, this, &CTetravDlg::OnCommand);
    connect(m_pBars, &CTetravDlgBars::seekBarScrolled, m_pPlay, &CTetravDlgPlay::OnSeekBarScroll);
    m_pPaneMenus = new CTetravDlgPaneMenus(*m_pSet, *m_pBars, this);
    connect(m_pPaneMenus, &CTetravDlgPaneMenus::command, this, &CTetravDlg::OnCommand);
    connect(m_pPaneMenus, &CTetravDlgPaneMenus::aboutToShow, m_pPaneInfo,
            &CTetravDlgPaneInfo::EnableResetPicture);
    for (CVideoPane* pane : panes) {
        connect(pane, &CVideoPane::rightClicked, m_pPaneMenus, &CTetravDlgPaneMenus::OnPaneRightClick);
    }
    m_pSound = new CTetravDlgSound(*m_pSet, *m_pBars->Volume(), this);
    connect(m_pSound, &CTetravDlgSound::actionText, this,
            [this](const QString& text) { SetStatusText(0, text); });

    m_pSettings = new CSettingsModel(this);
    m_pSyncControl = new CSyncControl(
        *m_pSettings, [this] { return CurrentSet(); }, [this] { return IsTimerRunning(TIMER_SYNC); }, this);
    // The thumb and the play time follow a seek, step or pause as soon as it lands, not at the next
    // display tick (a click on a thumb left behind would not seek); not while a set opens (the
    // display tick stands still then).
    connect(
        m_pSyncControl, &CSyncControl::landed, this,
        [this] {
            if (IsTimerRunning(TIMER_DISPLAY) && m_pSet->OpenCount() > 0 && m_pSet->AnyTakesPart()) {
                m_pPlay->ShowPlace();
            }
        },
        Qt::QueuedConnection);
    // Channels that end or break during play.
    m_pLoss = new CChannelLoss(
        *m_pSet, *m_pSettings, [this] { return IsTimerRunning(TIMER_SYNC) && !m_pSyncControl->Busy(); },
        this);
    connect(m_pLoss, &CChannelLoss::referenceChosen, this, [this](int k) {
        if (k >= 0) {
            ShowTime(m_pSet->TotalTime(), 1);
        }
        ShowPaneInfo();
    });
    connect(m_pLoss, &CChannelLoss::nothingLeft, this, &CTetravDlg::OnStop);
    m_pCapture = new CTetravDlgCapture(*this);
    // Files dropped on the window or handed over from outside.
    new CExternalFiles(this);
    new OpenInputHold(this, m_pSet);

    m_pKeys = new CTetravDlgKeys(*this);
    // Stand-in for the message pre-translation: sees the arrow keys of every control.
    qApp->installEventFilter(this);
}

CTetravDlg::~CTetravDlg() {
    qApp->removeEventFilter(this);
    OnDestroy();
}

void CTetravDlg::SetCommandLineFiles(const QStringList& paths, const RunOptions& options) {
    m_pSavedSets->SetCommandLine(paths, options);
}

CHotKeyManager* CTetravDlg::HotKeys() const {
    return m_pCapture->HotKeys();
}

void CTetravDlg::SetChannelSync(std::unique_ptr<CChannelSync> sync) {
    m_pSyncControl->Pin(std::move(sync));
}

// ---------------------------------------------------------------------------------------------
// Initialisation, showing, closing

bool CTetravDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    PlaceWindow();
    m_pPaneMenus->Create();
    for (int i = 0; i < 4; ++i) {
        m_pSound->AddItems(i, m_pPaneMenus->Menu(i), m_pPaneMenus->Popup(i));
        m_pPaneInfo->AddResetItem(i, m_pPaneMenus->Menu(i), m_pPaneMenus->Popup(i));
    }
    return true;
}

void CTetravDlg::PlaceWindow() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    m_pBars->SetScreenSize(screen->size());
    // Without a window manager a maximise request does nothing: take the work area directly.
    setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void CTetravDlg::showEvent(QShowEvent* event) {
    CBCGPDialog::showEvent(event);
    if (m_bShownOnce) {
        return;
    }
    m_bShownOnce = true;
    m_pBars->Create();
    if (m_pBars->Created()) {
        LayoutControls();
        m_pBars->Volume()->setEnabled(false);
    }
    LoadSettings();
    ApplyRunModes(m_pSavedSets->CommandLineOptions());
    // Open once the window is on the screen, so the panes have their windows.
    QTimer::singleShot(0, m_pSavedSets, &CSavedSets::OpenCommandLine);
}

void CTetravDlg::resizeEvent(QResizeEvent* event) {
    CBCGPDialog::resizeEvent(event);
    Relayout();
}

void CTetravDlg::Relayout() {
    const bool fullScreen = m_pView->IsFullScreen();
    QMenuBar* menuBar = m_pMenus->Bar();
    menuBar->setVisible(!fullScreen);
    const int menuHeight = fullScreen ? 0 : menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, width(), menuHeight);
    m_pClient->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
    if (m_pBars->Created()) {
        m_pBars->SetVisible(!fullScreen);
        LayoutControls();
    }
}

void CTetravDlg::LayoutControls() {
    if (m_pView->IsFullScreen()) {
        m_pView->PlacePanes(MainLayout{}, m_pClient->size());
        return;
    }
    m_pView->PlacePanes(m_pBars->Layout(), m_pClient->size());
    m_pBars->StatusBar()->raise();
}

void CTetravDlg::SetStatusText(int part, const QString& text) {
    m_pBars->SetText(part, text);
    if (part == 0) {
        emit actionShown();
    }
}

void CTetravDlg::ShowTime(double seconds, int part) {
    SetStatusText(part, CTetravDlgBars::TimeText(seconds));
}

void CTetravDlg::LoadSettings() {
    if (CSettingsFile::Exists()) {
        HotKeySetting keys[4];
        CSettings stored = m_pSettings->Stored();
        CSettingsFile::Read(stored, keys);
        m_pSettings->Store(stored);
        for (int n = 0; n < 4; ++n) {
            HotKeys()->RegisterHotKey((n + 1) * 100, keys[n].modifiers & 0xFFFFu,
                                      keys[n].virtualKey & 0xFFFFu);
        }
    } else {
        WriteDefaultSettings();
        for (int n = 0; n < 4; ++n) {
            HotKeys()->RegisterHotKey((n + 1) * 100, MOD_CONTROL | MOD_SHIFT, 65u + static_cast<unsigned>(n));
        }
    }
    // The fifth hot key: every pane at one instant (Ctrl+Shift+E unless the file says otherwise).
    const HotKeySetting all = CSettingsFile::ReadCaptureAllKey();
    HotKeys()->RegisterHotKey(HOTKEY_ID_ALL, all.modifiers, all.virtualKey);
    m_pView->SetDisplayMode(m_pSettings->Stored().ForeView == 1);
    m_pPaneInfo->Load();
}

void CTetravDlg::WriteDefaultSettings() {
    CSettings stored = m_pSettings->Stored();
    CSettingsFile::WriteDefaults(stored);
    m_pSettings->Store(stored);
}

void CTetravDlg::OnOK() {
    OnDestroy();
    CBCGPDialog::OnOK();
}

void CTetravDlg::OnCancel() {
    OnDestroy();
    CBCGPDialog::OnCancel();
}

void CTetravDlg::done(int r) {
    OnDestroy();
    CBCGPDialog::done(r);
}

void CTetravDlg::OnGoto() {
    // The dialog seeks through WM_GOTO_POSITION (OnGotoPosition) before it closes. Owned by the
    // main window so that it stays above it when the window is kept on top.
    (new CGotoDlg(this))->Open();
}

void CTetravDlg::CloseChannel(int i) {
    m_pSet->CloseChannel(i);
}

void CTetravDlg::SetChannelOffset(int k, double seconds) {
    m_pOffset->SetChannelOffset(k, seconds);
}

SyncSet CTetravDlg::CurrentSet() const {
    SyncSet set;
    set.channels = m_pSet->Channels();
    set.lengths = m_pSet->Lengths();
    set.openCount = m_pSet->OpenCount();
    set.paths = m_pSet->Paths();
    set.frameRates = m_pSet->FrameRates();
    set.rate = m_pSet->Rate();
    set.offsets = m_pSet->Offsets();
    set.ref = m_pSet->Reference();
    return set;
}

CChannelSync& CTetravDlg::ActiveSync() {
    return m_pSyncControl->Active();
}

void CTetravDlg::ShowPaneInfo() {
    m_pPaneInfo->Show();
}

void CTetravDlg::OnExit() {
    OnCancel();
}

void CTetravDlg::OnDestroy() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    // An open under way stops; what waited for it is dropped.
    for (SetOpenJob* job : findChildren<SetOpenJob*>(Qt::FindDirectChildrenOnly)) {
        job->Cancel();
    }
    m_pSet->DropWaiting();
    m_pSet->SetOpening(false);
    for (int i = 0; i < 4; ++i) {
        if (m_pSet->Channel(i) != nullptr) {
            CloseChannel(i);
        }
    }
    KillTimer(TIMER_SYNC);
    KillTimer(TIMER_DISPLAY);
    HotKeys()->UnregisterAll();
    CPipelineReaper::Instance().WaitAll();
}

bool CTetravDlg::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(QEvent::User + WM_GOTO_POSITION)) {
        OnGotoPosition();
        return true;
    }
    return CBCGPDialog::event(e);
}

bool CTetravDlg::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        if (m_pKeys->OnKeyPress(watched, static_cast<QKeyEvent*>(e))) {
            return true;
        }
    }
    if (e->type() == QEvent::Wheel && watched == m_pBars->SeekBar() && m_pBars->SeekBar() != nullptr) {
        return m_pKeys->OnSeekBarWheel(static_cast<QWheelEvent*>(e));
    }
    return CBCGPDialog::eventFilter(watched, e);
}
