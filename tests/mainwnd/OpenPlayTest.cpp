// Opening sets of real clips in the real window, and the transport acting on them: messages in
// their order, the texts, the controls' states, the timers, the seek bar and the end of play.
// (Each file of the bad-media corpus, alone and beside good clips: BadMediaTest.)
#include "WindowTestSupport.h"

#include "dialogs/CFileSelectDlg.h"

#include <QDialog>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>

namespace mainwnd_test {
namespace {

class OpenPlayTest : public ClipWindowTest {
protected:
    void ExpectOpenState() const {
        for (int id : {ID_TB_PLAY, ID_TB_STOP, ID_TB_PAUSE, ID_TB_SLOWER, ID_TB_NORMAL_SPEED, ID_TB_FASTER,
                       ID_TB_OPEN}) {
            EXPECT_TRUE(dlg->m_wndToolBar->IsButtonEnabled(id)) << id;
        }
        EXPECT_TRUE(dlg->m_wndSeekBar->isEnabled());
        EXPECT_TRUE(dlg->m_wndVolume->isEnabled());
        EXPECT_EQ(Status(0), QString::fromUtf8("打开文件"));
    }
};

// Files from the command line open once the window is shown, the nth in pane n; an empty entry
// (an unusable argument) leaves its pane empty.
TEST_F(OpenPlayTest, CommandLineFilesInSlotsTwoAndFourOnlyAndCommandsLeaveAPathWithoutChannelAlone) {
    dlg = std::make_unique<CTetravDlg>();
    dlg->SetCommandLineFiles({QString(), clip("a_6s.mp4"), QString(), clip("b_4s.mp4")});
    ShowWindow();
    ASSERT_TRUE(
        WaitUntil([&] { return dlg->m_pChannel[1] != nullptr && dlg->m_pChannel[3] != nullptr; }, 5000));
    EXPECT_EQ(QStringList(std::begin(g_strVideoPath), std::end(g_strVideoPath)),
              QStringList({"", clip("a_6s.mp4"), "", clip("b_4s.mp4")}));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(dlg->m_pChannel[0] == nullptr && dlg->m_pChannel[2] == nullptr);
    EXPECT_EQ(dlg->m_nOpenCount, 2);
    EXPECT_EQ(dlg->m_bReference[3], 1) << "the shortest is the reference";
    EXPECT_NEAR(dlg->m_dTotalSecs, 4.0, 0.1);
    EXPECT_EQ(Status(1), "00:00:04");
    ExpectOpenState();
    // The reference has sound at full volume: the slider spans 0..10000 and stands at the top.
    EXPECT_EQ(QList<int>({dlg->m_wndVolume->GetRangeMin(), dlg->m_wndVolume->GetRangeMax(),
                          dlg->m_wndVolume->GetPos()}),
              QList<int>({0, 10000, 10000}));
    // The texts of the play time and the positions are untouched by the open.
    EXPECT_EQ(Status(2) + Status(3), QString::fromUtf8("播放时间同步信息"));

    // Commands leave alone a path without a channel object (a pick in a dialog then cancelled).
    g_strVideoPath[0] = clip("c_10s.mp4");
    g_dGotoSecs = 1.0;
    dlg->OnPlay();
    dlg->OnPause();
    dlg->OnFaster();
    dlg->OnStepFrame();
    dlg->OnGotoPosition();
    dlg->OnNormalSpeed();
    EXPECT_TRUE(WaitUntil([&] { return dlg->m_dPosition[3] > 0.0; }, 3000));
    EXPECT_EQ(dlg->m_pChannel[0], nullptr);
    dlg->OnStop();
    EXPECT_TRUE(Idle());
}

TEST_F(OpenPlayTest, OnlyUnreadableFilesEndIdleWithEmptyPaths) {
    Open({{0, "zero.mp4"}, {2, "not_video.avi"}, {3, "/nonexistent/folder/missing.mp4"}});
    const QString open = QString::fromUtf8("打开视频文件错误!\n");
    const QString load = QStringLiteral("Couldn't load the file!  hr=0x%1\r\n");
    const QString lines[3] = {QString::fromUtf8("视频一：") + clip("zero.mp4"),
                              QString::fromUtf8("视频三：") + clip("not_video.avi"),
                              QString::fromUtf8("视频四：/nonexistent/folder/missing.mp4")};
    // Every channel is built before the probe reports on any of them; then the set's message.
    EXPECT_EQ(boxes.texts(),
              QStringList({open + lines[0], open + lines[1], open + lines[2], load.arg("80040265") + lines[0],
                           load.arg("80040265") + lines[1], load.arg("80070002") + lines[2],
                           QString::fromUtf8("选择视频文件错误!")}));
    ASSERT_EQ(boxes.boxes().size(), 7u);
    EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(boxes.boxes()[0].caption + boxes.boxes()[3].caption + boxes.boxes()[6].caption,
              QString::fromUtf8("错误Tetrav错误"));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Status(0), QString::fromUtf8("停止播放"));
}

// While a set opens the event loop runs (the window repaints) under a busy cursor, and input
// and commands wait: a file that takes the whole preroll bound does not freeze the window.
TEST_F(OpenPlayTest, TheWindowStaysAliveUnderABusyCursorWhileASetOpens) {
    int ticksWhileBusy = 0;
    bool commandsTaken = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QApplication::overrideCursor() != nullptr &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor) {
            ++ticksWhileBusy;
            // No command can reach the half-built set, not even through the accessibility bus.
            commandsTaken = commandsTaken || dlg->m_wndToolBar->isEnabled() || dlg->MenuBar()->isEnabled();
        }
    });
    watcher.start(20);
    Open({{0, "bad/no_moov.mp4"}, {1, "a_6s.mp4"}});
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_FALSE(commandsTaken);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor goes with the open";
    EXPECT_EQ(boxes.texts().size(), 2);
    ExpectOpenState();
}

// Scripted channels: the volume slider follows the reference, a drag of the seek bar seeks every
// channel, and each failure to set a channel up gives its message.
TEST_F(OpenPlayTest, SliderFollowsTheReferenceSeekBarDragSeeksAndSetUpFailuresGiveTheirMessages) {
    UseScriptedChannels();
    std::tie(scripts[0]->length, scripts[0]->volume, scripts[1]->length, scripts[1]->volume) =
        std::tuple(6, -2500, 4, -9000);
    g_settings.MiniVideo = 0; // longest: slot 1 is the reference
    Open({{0, "a_6s.mp4"}, {1, "b_4s.mp4"}});
    EXPECT_EQ(dlg->m_bReference[0], 1);
    EXPECT_EQ(dlg->m_wndVolume->GetRangeMax(), 7500);
    EXPECT_EQ(dlg->m_wndVolume->GetPos(), 7500);
    EXPECT_EQ(scripts[0]->calls.mid(0, 5),
              QStringList({"Create", "RenderFile:" + clip("a_6s.mp4"), "SetDisplayWindow", "SetNotifyWindow",
                           "SetWindowPosition"}));

    // A drag of the seek bar 625 pixels wide (25-pixel arrows and thumb leave a 550-pixel track)
    // to its middle seeks every channel to the middle of the reference (6 s).
    CXScrollBar* bar = dlg->m_wndSeekBar;
    bar->setGeometry(bar->x(), bar->y(), 625, bar->height());
    bar->m_rectClient = QRect(0, 0, 625, bar->height());
    const int y = bar->height() / 2;
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(37, y)); // 12 pixels into the thumb at 25
    QTest::mouseMove(bar, QPoint(312, y));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(312, y));
    EXPECT_EQ(bar->GetScrollPos(), 100);
    EXPECT_DOUBLE_EQ(scripts[0]->lastSeek, 3.0);
    EXPECT_DOUBLE_EQ(scripts[1]->lastSeek, 3.0);
    EXPECT_EQ(scripts[2]->lastSeek, -1.0);

    // A reference without sound leaves the slider as it was.
    UseScriptedChannels();
    std::tie(scripts[2]->length, scripts[2]->volume) = std::tuple(3, -100);
    g_strVideoPath[0] = g_strVideoPath[1] = QString();
    Open({{2, "video_only_3s.mp4"}});
    EXPECT_EQ(dlg->m_bReference[2], 1);
    EXPECT_EQ(dlg->m_wndVolume->GetRangeMax(), 7500);

    // Each step of setting up a channel fails in one pane.
    boxes.clear();
    UseScriptedChannels();
    for (auto& s : scripts) {
        s->length = 5;
    }
    scripts[0]->createOk = false;
    scripts[1]->renderOk = false;
    scripts[2]->displayOk = false;
    scripts[3]->placeOk = false;
    Open({{0, "a_6s.mp4"}, {1, "a_6s.mp4"}, {2, "a_6s.mp4"}, {3, "a_6s.mp4"}});
    const QString file = clip("a_6s.mp4");
    EXPECT_EQ(boxes.texts(), QStringList({QString::fromUtf8("打开视频文件错误!\n视频二：") + file,
                                          QString::fromUtf8("设置视频错误!\n视频三：") + file,
                                          QString::fromUtf8("打开视频错误!\n视频四：") + file}));
    // A channel that failed keeps its object until it is closed.
    EXPECT_TRUE(dlg->m_pChannel[0] && dlg->m_pChannel[1] && dlg->m_pChannel[2] && dlg->m_pChannel[3]);
    dlg->OnStop();
    EXPECT_TRUE(scripts[0]->deleted && scripts[1]->deleted && scripts[2]->deleted && scripts[3]->deleted);
}

// Each command from its tool bar button (the frame step from its menu item), on four copies of
// one file that play in step; opening again stops play, keeps an untouched pane's file and
// replaces the rest.
TEST_F(OpenPlayTest, TransportCommandsDriveEveryChannelAndTheTimersAndOpeningAgainReplacesTheSet) {
    Open({{0, "a_6s.mp4"}, {1, "a_6s.mp4"}, {2, "a_6s.mp4"}, {3, "a_6s.mp4"}});
    ASSERT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(QList<int>(std::begin(dlg->m_bReference), std::end(dlg->m_bReference)),
              QList<int>({1, 0, 0, 0}));
    const auto press = [this](int id) { dlg->m_wndToolBar->ButtonAction(id)->trigger(); };
    // The status text and whether the sync and display timers run after each command.
    const auto expect = [this](const char* status, bool sync, bool display) {
        EXPECT_EQ(Status(0), QString::fromUtf8(status));
        EXPECT_EQ(dlg->IsTimerRunning(TIMER_SYNC), sync) << status;
        EXPECT_EQ(dlg->IsTimerRunning(TIMER_DISPLAY), display) << status;
    };
    press(ID_TB_PLAY);
    expect("开始播放", true, true);
    ASSERT_TRUE(WaitUntil([&] { return dlg->m_dCurrentSecs > 2.2; }, 8000));
    EXPECT_TRUE(dlg->m_pChannel[0]->IsRunning() || dlg->m_pChannel[2]->IsRunning());
    for (int k = 1; k < 4; ++k) {
        EXPECT_NEAR(dlg->m_dPosition[k], dlg->m_dPosition[0], 1.0) << k;
    }
    EXPECT_TRUE(WaitUntil([&] { return Status(2) != QString::fromUtf8("播放时间"); }, 2000));

    press(ID_TB_PAUSE);
    expect("暂停播放", false, true);
    EXPECT_TRUE(dlg->m_pChannel[0]->IsPaused() && dlg->m_pChannel[2]->IsPaused());
    press(ID_TB_FASTER);
    expect("加快播放", false, true); // rate commands touch no timer
    press(ID_TB_SLOWER);
    expect("慢速播放", false, true);
    press(ID_TB_NORMAL_SPEED);
    expect("恢复播放", true, true);
    // The first tick sets every channel running again.
    EXPECT_TRUE(
        WaitUntil([&] { return dlg->m_pChannel[0]->IsRunning() && dlg->m_pChannel[2]->IsRunning(); }, 2000));
    g_strVideoPath[1].clear();
    Open({{2, "c_10s.mp4"}, {3, "b_4s.mp4"}});
    expect("打开文件", false, false);
    EXPECT_TRUE(dlg->m_pChannel[0] && !dlg->m_pChannel[1] && dlg->m_pChannel[2] && dlg->m_pChannel[3]);
    EXPECT_EQ(dlg->m_nOpenCount, 3);
    EXPECT_EQ(dlg->m_bReference[3], 1);
    press(ID_TB_PLAY);
    expect("开始播放", true, true);
    dlg->MenuAction(ID_PLAY_STEP)->trigger();
    expect("单帧播放", false, true);
    press(ID_TB_STOP);
    expect("停止播放", false, false);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(dlg->m_wndSeekBar->GetScrollPos(), 0);
    EXPECT_EQ(dlg->m_wndVolume->GetPos(), 0);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(OpenPlayTest, FileThatBreaksWhilePlayingIsRetiredAlone) {
    // Pane 2's file promises 20 s and breaks after about 6; pane 1's file is deleted while it
    // plays, which a player on this system does not notice. Pane 1 (10 s) is the reference.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString gone = dir.path() + QStringLiteral("/gone.mp4");
    ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), gone));
    Open({{0, gone}, {1, "cut_short.mp4"}});
    ASSERT_TRUE(boxes.texts().isEmpty());
    ASSERT_EQ(dlg->m_bReference[0], 1);
    dlg->OnPlay();
    ASSERT_TRUE(WaitUntil([&] { return dlg->m_dCurrentSecs > 0.5; }, 5000));
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(WaitUntil([&] { return !boxes.texts().isEmpty(); }, 15000));
    EXPECT_EQ(boxes.texts(),
              QStringList(QString::fromUtf8("打开视频文件错误!\n%1 (视频二)").arg(clip("cut_short.mp4"))));
    EXPECT_EQ(dlg->m_pChannel[1], nullptr);
    EXPECT_TRUE(g_strVideoPath[1].isEmpty());
    EXPECT_EQ(dlg->m_nOpenCount, 1);
    // Pane 1 plays on, and the set ends at its end.
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_GT(dlg->m_dCurrentSecs, 4.0);
    EXPECT_LT(dlg->m_dCurrentSecs, 8.0);
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }, 8000));
    EXPECT_EQ(Status(2), "00:00:10");
    EXPECT_EQ(boxes.texts().size(), 1);
}

// While the file selection dialog is up the set plays on and the ticks leave it alone: the pick
// of the only open slot, cancelled there, empties its path for a while, and 放弃 puts it back
// with the volume. Confirming without a pick rebuilds the same set from its start, at full
// volume: the slider shows it and the ticks apply it.
TEST_F(OpenPlayTest, FileDialogCancelKeepsThePlayingSetAndConfirmRebuildsIt) {
    Open({{0, "c_10s.mp4"}});
    dlg->m_wndVolume->setValue(9000);
    ASSERT_EQ(dlg->m_nVolume, -1000);
    dlg->OnPlay();
    const auto previous = CFileSelectDlg::SetFilePicker([](QWidget*, const QString&) { return QString(); });
    bool emptiedInside = false;
    QWidget* owner = nullptr;
    QTimer::singleShot(300, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            owner = d->parentWidget();
            qobject_cast<QPushButton*>(GetDlgItem(d, IDC_OPEN1))->click();
            emptiedInside = g_strVideoPath[0].isEmpty();
            QTimer::singleShot(1200, d, [d] { d->reject(); }); // longer than a display tick
        }
    });
    dlg->m_wndToolBar->ButtonAction(ID_TB_OPEN)->trigger();
    CFileSelectDlg::SetFilePicker(previous);
    ASSERT_TRUE(emptiedInside);
    EXPECT_EQ(owner, dlg.get()) << "the selection dialog stays above the main window";
    EXPECT_EQ(g_strVideoPath[0], clip("c_10s.mp4"));
    ASSERT_NE(dlg->m_pChannel[0], nullptr);
    EXPECT_EQ(dlg->m_nVolume, -1000);
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC) && dlg->IsTimerRunning(TIMER_DISPLAY));
    EXPECT_EQ(Status(0), QString::fromUtf8("开始播放"));
    // It played on under the dialog, and goes on.
    EXPECT_TRUE(WaitUntil([&] { return dlg->m_dCurrentSecs > 1.4 && dlg->m_dCurrentSecs < 3.0; }, 1000));
    const double before = dlg->m_dCurrentSecs;
    EXPECT_TRUE(WaitUntil([&] { return dlg->m_dCurrentSecs > before + 0.3; }, 3000));

    QTimer::singleShot(300, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            d->accept();
        }
    });
    dlg->MenuAction(ID_OPEN_FILES)->trigger();
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_NE(dlg->m_pChannel[0], nullptr);
    EXPECT_EQ(Status(0), QString::fromUtf8("打开文件"));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(dlg->m_wndVolume->GetPos(), 10000);
    EXPECT_EQ(dlg->m_nVolume, dlg->m_wndVolume->GetPos() - 10000);
    dlg->m_pChannel[0]->SetVolume(-3000);
    dlg->OnPlay();
    EXPECT_TRUE(WaitUntil([&] { return dlg->m_pChannel[0]->GetVolume() == 0; }, 2000)) << "a tick applies it";
}

} // namespace
} // namespace mainwnd_test
