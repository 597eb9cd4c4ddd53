// Opening sets of real clips in the real window, and the transport acting on them.
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
            EXPECT_TRUE(dlg->Bars().ToolBar()->IsButtonEnabled(id)) << id;
        }
        EXPECT_TRUE(dlg->Bars().SeekBar()->isEnabled());
        EXPECT_TRUE(dlg->Bars().Volume()->isEnabled());
        EXPECT_EQ(Status(0), "打开文件");
    }
};

// The nth command-line file opens in pane n once shown; an empty entry leaves its pane empty.
TEST_F(OpenPlayTest, CommandLineFilesInSlotsTwoAndFourOnly) {
    dlg = std::make_unique<CTetravDlg>();
    dlg->SetCommandLineFiles({QString(), clip("a_6s.mp4"), QString(), clip("b_4s.mp4")});
    ShowWindow();
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !dlg->Set().IsOpening() && dlg->Set().Channel(1) != nullptr &&
                   dlg->Set().Channel(3) != nullptr;
        },
        5000));
    EXPECT_EQ(Paths(*dlg), QStringList({"", clip("a_6s.mp4"), "", clip("b_4s.mp4")}));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(dlg->Set().Channel(0) == nullptr && dlg->Set().Channel(2) == nullptr);
    EXPECT_EQ(dlg->Set().OpenCount(), 2);
    EXPECT_EQ(dlg->Set().Reference(), 3) << "the shortest is the reference";
    EXPECT_NEAR(dlg->Set().TotalTime(), 4.0, 0.1);
    EXPECT_EQ(Status(1), "00:00:04");
    ExpectOpenState();
    // The reference has sound at full volume: the slider spans 0..10000 and stands at the top.
    EXPECT_EQ(QList<int>({dlg->Bars().Volume()->GetRangeMin(), dlg->Bars().Volume()->GetRangeMax(),
                          dlg->Bars().Volume()->GetPos()}),
              QList<int>({0, 10000, 10000}));
    // The texts of the play time and the positions are untouched by the open.
    EXPECT_EQ(Status(2) + Status(3), "播放时间同步信息");

    dlg->OnStop();
    EXPECT_TRUE(IsIdle(*dlg));
}

// Then a file that takes the whole preroll bound does not freeze the window; commands wait: a key
// pressed while the set opens acts once it is open.
TEST_F(OpenPlayTest, OnlyUnreadableFilesEndIdleAndTheWindowStaysAliveUnderABusyCursorWhileASetOpens) {
    Open({{0, "zero.mp4"}, {2, "not_video.avi"}, {3, "/nonexistent/folder/missing.mp4"}});
    const QString open = "打开视频文件错误!\n";
    const QString load = QStringLiteral("Couldn't load the file!  hr=0x%1\r\n");
    const QString lines[3] = {"视频一：" + clip("zero.mp4"), "视频三：" + clip("not_video.avi"),
                              QString("视频四：/nonexistent/folder/missing.mp4")};
    // Every channel is built before the probe reports on any of them; then the set's message.
    EXPECT_EQ(boxes.texts(), QStringList({open + lines[0], open + lines[1], open + lines[2],
                                          load.arg("80040265") + lines[0], load.arg("80040265") + lines[1],
                                          load.arg("80070002") + lines[2], QString("选择视频文件错误!")}));
    ASSERT_EQ(boxes.boxes().size(), 7u);
    EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(boxes.boxes()[0].caption + boxes.boxes()[3].caption + boxes.boxes()[6].caption,
              QString("错误Tetrav错误"));
    EXPECT_TRUE(IsIdle(*dlg));
    EXPECT_EQ(Status(0), "停止播放");

    boxes.clear();
    int ticksWhileBusy = 0;
    bool commandsTaken = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QApplication::overrideCursor() != nullptr &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor) {
            ++ticksWhileBusy;
            // No command can reach the half-built set, not even through the accessibility bus.
            commandsTaken =
                commandsTaken || dlg->Bars().ToolBar()->isEnabled() || dlg->MenuBar()->isEnabled();
            if (ticksWhileBusy == 1) {
                QWidget* focus = dlg->focusWidget();
                QTest::keyClick(focus != nullptr ? focus : dlg.get(), Qt::Key_Space); // play
                commandsTaken = commandsTaken || dlg->IsTimerRunning(TIMER_SYNC);
            }
        }
    });
    watcher.start(20);
    dlg->Set().SetPath(2, QString());
    dlg->Set().SetPath(3, QString());
    Open({{0, "bad/no_moov.mp4"}, {1, "a_6s.mp4"}});
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_FALSE(commandsTaken);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor goes with the open";
    EXPECT_EQ(boxes.texts().size(), 2);
    EXPECT_TRUE(WaitUntil([&] { return dlg->IsTimerRunning(TIMER_SYNC); }, 2000)) << "the key was lost";
    EXPECT_EQ(Status(0), "开始播放");
}

TEST_F(OpenPlayTest, SliderFollowsTheReferenceSeekBarDragSeeksAndSetUpFailuresGiveTheirMessages) {
    UseScriptedChannels();
    std::tie(scripts[0]->length, scripts[0]->volume, scripts[1]->length, scripts[1]->volume) =
        std::tuple(6, -2500, 4, -9000);
    g_settings.MiniVideo = 0; // longest: slot 1 is the reference
    Open({{0, "a_6s.mp4"}, {1, "b_4s.mp4"}});
    EXPECT_EQ(dlg->Set().Reference(), 0);
    EXPECT_EQ(dlg->Bars().Volume()->GetRangeMax(), 7500);
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 7500);
    EXPECT_EQ(scripts[0]->calls.mid(0, 4), QStringList({"Create", "RenderFile:" + clip("a_6s.mp4"),
                                                        "SetDisplayWindow", "SetWindowPosition"}));

    // A drag to the middle of a 625-pixel bar (a 550-pixel track) seeks to half the reference.
    CXScrollBar* bar = dlg->Bars().SeekBar();
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
    dlg->Set().SetPath(0, QString());
    dlg->Set().SetPath(1, QString());
    Open({{2, "video_only_3s.mp4"}});
    EXPECT_EQ(dlg->Set().Reference(), 2);
    EXPECT_EQ(dlg->Bars().Volume()->GetRangeMax(), 7500);

    // Each step of setting up a channel fails in one pane.
    boxes.clear();
    UseScriptedChannels();
    for (auto& s : scripts) {
        s->length = 5;
    }
    std::tie(scripts[0]->createOk, scripts[1]->renderOk, scripts[2]->displayOk, scripts[3]->placeOk) =
        std::tuple(false, false, false, false);
    Open({{0, "a_6s.mp4"}, {1, "a_6s.mp4"}, {2, "a_6s.mp4"}, {3, "a_6s.mp4"}});
    const QString file = clip("a_6s.mp4");
    EXPECT_EQ(boxes.texts(),
              QStringList({"打开视频文件错误!\n视频二：" + file, "设置视频错误!\n视频三：" + file,
                           "打开视频错误!\n视频四：" + file}));
    // A channel that failed keeps its object until it is closed.
    EXPECT_TRUE(dlg->Set().Channel(0) && dlg->Set().Channel(1) && dlg->Set().Channel(2) &&
                dlg->Set().Channel(3));
    dlg->OnStop();
    EXPECT_TRUE(scripts[0]->deleted && scripts[1]->deleted && scripts[2]->deleted && scripts[3]->deleted);
}

// On four copies of one file; opening again keeps an untouched pane's file.
TEST_F(OpenPlayTest, TransportCommandsDriveEveryChannelAndTheTimersAndOpeningAgainReplacesTheSet) {
    Open({{0, "a_6s.mp4"}, {1, "a_6s.mp4"}, {2, "a_6s.mp4"}, {3, "a_6s.mp4"}});
    ASSERT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(dlg->Set().Reference(), 0);
    const auto press = [this](int id) { dlg->Bars().ToolBar()->ButtonAction(id)->trigger(); };
    const auto expect = [this](const char* status, bool sync, bool display) {
        EXPECT_EQ(Status(0), QString::fromUtf8(status));
        EXPECT_EQ(dlg->IsTimerRunning(TIMER_SYNC), sync) << status;
        EXPECT_EQ(dlg->IsTimerRunning(TIMER_DISPLAY), display) << status;
    };
    press(ID_TB_PLAY);
    expect("开始播放", true, true);
    ASSERT_TRUE(WaitUntil([&] { return dlg->Set().PlayTime() > 2.2; }, 8000));
    EXPECT_TRUE(dlg->Set().Channel(0)->IsRunning() || dlg->Set().Channel(2)->IsRunning());
    for (int k = 1; k < 4; ++k) {
        EXPECT_NEAR(dlg->Set().Position(k), dlg->Set().Position(0), 1.0) << k;
    }
    EXPECT_TRUE(WaitUntil([&] { return Status(2) != "播放时间"; }, 2000));

    press(ID_TB_PAUSE);
    expect("暂停播放", false, true);
    EXPECT_TRUE(dlg->Set().Channel(0)->IsPaused() && dlg->Set().Channel(2)->IsPaused());
    press(ID_TB_FASTER);
    expect("加快播放", false, true); // rate commands touch no timer
    press(ID_TB_SLOWER);
    expect("慢速播放", false, true);
    press(ID_TB_NORMAL_SPEED);
    expect("恢复播放", true, true);
    EXPECT_TRUE(WaitUntil(
        [&] { return dlg->Set().Channel(0)->IsRunning() && dlg->Set().Channel(2)->IsRunning(); }, 2000));
    dlg->Set().SetPath(1, QString());
    Open({{2, "c_10s.mp4"}, {3, "b_4s.mp4"}});
    expect("打开文件", false, false);
    EXPECT_TRUE(dlg->Set().Channel(0) && !dlg->Set().Channel(1) && dlg->Set().Channel(2) &&
                dlg->Set().Channel(3));
    EXPECT_EQ(dlg->Set().OpenCount(), 3);
    EXPECT_EQ(dlg->Set().Reference(), 3);
    press(ID_TB_PLAY);
    expect("开始播放", true, true);
    dlg->MenuAction(ID_PLAY_STEP)->trigger();
    expect("单帧播放", false, true);
    press(ID_TB_STOP);
    expect("停止播放", false, false);
    EXPECT_TRUE(IsIdle(*dlg));
    EXPECT_EQ(dlg->Bars().SeekBar()->GetScrollPos(), 0);
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 0);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(OpenPlayTest, FileThatBreaksWhilePlayingIsRetiredAlone) {
    // Pane 2's file breaks after about 6 s; pane 1's (the reference) is deleted while it plays.
    const QString gone = m_state.filePath(QStringLiteral("gone.mp4"));
    ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), gone));
    Open({{0, gone}, {1, "cut_short.mp4"}});
    ASSERT_TRUE(boxes.texts().isEmpty());
    ASSERT_EQ(dlg->Set().Reference(), 0);
    dlg->OnPlay();
    ASSERT_TRUE(WaitUntil([&] { return dlg->Set().PlayTime() > 0.5; }, 5000));
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(WaitUntil([&] { return !boxes.texts().isEmpty(); }, 15000));
    EXPECT_EQ(boxes.texts(),
              QStringList(QString("打开视频文件错误!\n%1 (视频二)").arg(clip("cut_short.mp4"))));
    EXPECT_EQ(dlg->Set().Channel(1), nullptr);
    EXPECT_TRUE(dlg->Set().Path(1).isEmpty());
    EXPECT_EQ(dlg->Set().OpenCount(), 1);
    // Pane 1 plays on, and the set ends at its end.
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_GT(dlg->Set().PlayTime(), 4.0);
    EXPECT_LT(dlg->Set().PlayTime(), 8.0);
    ASSERT_TRUE(WaitUntil([&] { return IsIdle(*dlg); }, 8000));
    EXPECT_EQ(Status(2), "00:00:10");
    EXPECT_EQ(boxes.texts().size(), 1);
}

// A cancelled pick empties its path in the dialog until 放弃 puts it back; confirming rebuilds at full
// volume.
TEST_F(OpenPlayTest, FileDialogCancelKeepsThePlayingSetAndConfirmRebuildsIt) {
    Open({{0, "c_10s.mp4"}});
    dlg->Bars().Volume()->setValue(9000);
    ASSERT_EQ(dlg->Sound().Volume(), -1000);
    dlg->OnPlay();
    const auto previous =
        CFileSelectDlg::SetFilePicker([](QWidget*, const QString&, auto answer) { answer(QString()); });
    dlg->Bars().ToolBar()->ButtonAction(ID_TB_OPEN)->trigger();
    auto* select = qobject_cast<CFileSelectDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(select, nullptr) << "no selection dialog";
    EXPECT_EQ(select->parentWidget(), dlg.get()) << "the selection dialog stays above the main window";
    qobject_cast<QPushButton*>(GetDlgItem(select, IDC_OPEN1))->click();
    CFileSelectDlg::SetFilePicker(previous);
    // The pick is emptied in the dialog; the set keeps its file until the dialog is confirmed.
    EXPECT_TRUE(select->Picked()[0].isEmpty());
    EXPECT_EQ(dlg->Set().Path(0), clip("c_10s.mp4"));
    QTest::qWait(1200); // longer than a display tick
    static_cast<QDialog*>(select)->reject();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(dlg->Set().Path(0), clip("c_10s.mp4"));
    ASSERT_NE(dlg->Set().Channel(0), nullptr);
    EXPECT_EQ(dlg->Sound().Volume(), -1000);
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC) && dlg->IsTimerRunning(TIMER_DISPLAY));
    EXPECT_EQ(Status(0), "开始播放");
    // It played on under the dialog, and goes on.
    EXPECT_TRUE(WaitUntil([&] { return dlg->Set().PlayTime() > 1.4 && dlg->Set().PlayTime() < 3.0; }, 1000));
    const double before = dlg->Set().PlayTime();
    EXPECT_TRUE(WaitUntil([&] { return dlg->Set().PlayTime() > before + 0.3; }, 3000));

    dlg->MenuAction(ID_OPEN_FILES)->trigger();
    ASSERT_NE(qobject_cast<CFileSelectDlg*>(QApplication::activeModalWidget()), nullptr);
    qobject_cast<CFileSelectDlg*>(QApplication::activeModalWidget())->accept();
    ASSERT_TRUE(WaitForOpen(*dlg));
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_NE(dlg->Set().Channel(0), nullptr);
    EXPECT_EQ(Status(0), "打开文件");
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 10000);
    EXPECT_EQ(dlg->Sound().Volume(), dlg->Bars().Volume()->GetPos() - 10000);
    dlg->Set().Channel(0)->SetVolume(-3000);
    dlg->OnPlay();
    EXPECT_TRUE(WaitUntil([&] { return dlg->Set().Channel(0)->GetVolume() == 0; }, 2000))
        << "a tick applies it";
}

} // namespace
} // namespace mainwnd_test
