// Opening sets of real clips in the real window, files that break while they play, and the file
// dialog over a playing set. (The transport's buttons: the command walk, SetWalkTest; each command's
// state: MprisTest.)
#include "WindowTestSupport.h"

#include "dialogs/CFileSelectDlg.h"

#include <QDialog>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>

#include <utility>

namespace mainwnd_test {
namespace {

using OpenPlayTest = ClipWindowTest;

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
    for (int id :
         {ID_TB_PLAY, ID_TB_STOP, ID_TB_PAUSE, ID_TB_SLOWER, ID_TB_NORMAL_SPEED, ID_TB_FASTER, ID_TB_OPEN}) {
        EXPECT_TRUE(dlg->Bars().ToolBar()->IsButtonEnabled(id)) << id;
    }
    EXPECT_TRUE(dlg->Bars().SeekBar()->isEnabled() && dlg->Bars().Volume()->isEnabled());
    EXPECT_EQ(Status(0), "打开文件");
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

// (A drag of the seek bar: its own test, SeekBarTest, and the command walk's thumb drags.)
TEST_F(OpenPlayTest, SliderFollowsTheReferenceAndSetUpFailuresGiveTheirMessages) {
    UseScriptedChannels();
    std::tie(scripts[0]->length, scripts[0]->volume, scripts[1]->length, scripts[1]->volume) =
        std::tuple(6, -2500, 4, -9000);
    g_settings.MiniVideo = 0; // longest: slot 1 is the reference
    Open({{0, "a_6s.mp4"}, {1, "b_4s.mp4"}});
    EXPECT_EQ(dlg->Set().Reference(), 0);
    EXPECT_EQ(dlg->Bars().Volume()->GetRangeMax(), 7500);
    EXPECT_EQ(dlg->Bars().Volume()->GetPos(), 7500);
    // The pane's size goes first, so the first picture is made at that size.
    EXPECT_EQ(scripts[0]->calls.mid(0, 5),
              QStringList({"Create", "SetWindowPosition", "RenderFile:" + clip("a_6s.mp4"),
                           "SetDisplayWindow", "SetWindowPosition"}));

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

// A file that breaks while it plays is retired alone with its message, whichever of the two it
// is, and the other plays on: one whose data stops short of its index (beside the reference, whose
// own file is deleted as it plays: that one plays on to its end, and the set ends there), and the
// reference overwritten in place with garbage (frame sync).
TEST_F(OpenPlayTest, AFileThatBreaksWhilePlayingIsRetiredAloneAndTheOtherPlaysOn) {
    const struct {
        const char* name;
        int syncMode;
        const char* other; // pane 2's clip; pane 1 plays a copy of c_10s.mp4, the reference
        int breaks;
    } cases[] = {{"cut short", 0, "cut_short.mp4", 1}, {"turned to garbage", 1, "sync_h264.mp4", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        StoreSyncMode(c.syncMode);
        const QString copy = m_state.filePath(QStringLiteral("被覆盖.mp4"));
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), copy));
        Open({{0, copy}, {1, c.other}});
        ASSERT_TRUE(boxes.texts().isEmpty());
        ASSERT_EQ(dlg->Set().Reference(), 0);
        const QString breaking = dlg->Set().Path(c.breaks);
        const int plays = 1 - c.breaks;
        dlg->OnPlay();
        double position = 0;
        ASSERT_TRUE(WaitUntil(
            [&] { return dlg->Set().Channel(plays)->GetShownPosition(position) && position > 1.0; }, 5000));
        QFile file(copy);
        if (c.breaks == 0) {
            // Everything after the first tenth (the picture data) overwritten in place.
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            const qint64 from = file.size() / 10;
            QByteArray garbage(file.size() - from, Qt::Uninitialized);
            QRandomGenerator random(26);
            for (char& byte : garbage) {
                byte = char(random.bounded(256));
            }
            ASSERT_TRUE(file.seek(from));
            ASSERT_EQ(file.write(garbage), garbage.size());
            file.close();
        } else {
            ASSERT_TRUE(file.remove());
        }

        ASSERT_TRUE(WaitUntil([&] { return dlg->Set().Channel(c.breaks) == nullptr; }, 15000))
            << "the pane froze";
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("打开视频文件错误!\n") + breaking))
            << boxes.texts()[0].toStdString();
        EXPECT_TRUE(dlg->Set().Path(c.breaks).isEmpty());
        EXPECT_EQ(dlg->Set().OpenCount(), 1);
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC)) << "the other plays on";
        IChannel* other = dlg->Set().Channel(plays);
        ASSERT_NE(other, nullptr);
        const double before = std::exchange(position, 0.0);
        EXPECT_TRUE(
            WaitUntil([&] { return other->GetShownPosition(position) && position > before + 0.5; }, 5000));
        if (c.breaks == 1) {
            ASSERT_TRUE(WaitUntil([&] { return IsIdle(*dlg); }, 8000)) << "the set ends at its end";
            EXPECT_EQ(Status(2), "00:00:10");
            EXPECT_EQ(boxes.texts().size(), 1);
        }
        dlg->OnStop();
    }
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
