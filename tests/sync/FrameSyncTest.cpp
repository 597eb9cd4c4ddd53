// Frame sync on real clips of one event made differently.
#include "mainwnd/FrameSyncFixture.h"

#include "settings/COptionsDlg.h"

#include <QAbstractButton>
#include <QProcess>

#include <cstdlib>

namespace mainwnd_test {
namespace {

class FrameSyncSets : public FrameSyncTest, public testing::WithParamInterface<ClipSet> {
protected:
    // Many captures at uneven moments meet the panes' changes of picture. Writing the pictures
    // can take longer than the clips play (a sanitizer build on a busy machine): where the next
    // capture might not end before the set does, the set goes back near its start first.
    void CaptureWhilePlaying(int count, const char* how) {
        double perCapture = 1.0; // the most play time one capture has taken
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(testing::Message() << how << ", capture " << i);
            if (dlg->Set().PlayTime() + 2.0 * perCapture > dlg->Set().TotalTime()) {
                GoTo(0.5);
            }
            const double before = dlg->Set().PlayTime();
            QTest::qWait(i == 0 ? 170 : 23 + std::rand() % 60);
            CaptureOneInstant(i % 2 == 1, false);
            perCapture = std::max(perCapture, dlg->Set().PlayTime() - before);
        }
    }
};

// The commands themselves, and the panes' lock through them, are walked through the real program
// (e2e SetWalkTest); here the captures of all panes: of one instant paused, playing, at double rate
// and after steps.
TEST_P(FrameSyncSets, CapturesShowTheSameInstantPausedPlayingAndAfterSteps) {
    EXPECT_TRUE(dlg->HotKeys()->IsRegistered(HOTKEY_ID_ALL)); // Ctrl+Shift+E, though no file names it
    ASSERT_NO_FATAL_FAILURE(Open(GetParam()));
    CaptureOneInstant(false, true);
    Settle(&CTetravDlg::OnPlay);
    CaptureWhilePlaying(13, "playing");
    // From near the start and briefly, so that a slow build (sanitizers) does not reach the end.
    g_dGotoSecs = 0.5;
    dlg->OnGotoPosition();
    Settle(&CTetravDlg::OnFaster);
    CaptureWhilePlaying(6, "double rate");
    dlg->OnNormalSpeed();

    Settle(&CTetravDlg::OnPause);
    GoTo(3.0);
    for (int i = 0; i < 3; ++i) {
        dlg->OnStepFrame();
    }
    Settle();
    CaptureOneInstant(true, true); // by the hot key after steps
    EXPECT_GE(m_oneInstantCaptures, m_captures * 3 / 4);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sets, FrameSyncSets, testing::Values(kMixedCodecs, kMixedRates),
                         testing::PrintToStringParamName());

// The sync mode switched in the options while playing acts at once; the process stopped for 1.5 s
// (a suspended laptop) is back in step once it goes on, in either mode, and plays on from there
// without going back. (How soon: the command walk's lag figures. A pane that cannot seek or has been
// retired beside the others: the state table, FrameSyncStateTest.)
TEST_F(FrameSyncTest, ModeSwitchesActAtOnceAndAStoppedProcessRecoversInEitherMode) {
    const auto chooseInOptions = [this](int radioId) {
        dlg->OnOptions();
        auto* options = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(options, nullptr) << "no options dialog";
        qobject_cast<QAbstractButton*>(GetDlgItem(options, radioId))->click();
        qobject_cast<QAbstractButton*>(GetDlgItem(options, IDOK))->click();
    };
    // The play time read as the set plays: it never goes back.
    double last = 0.0;
    const auto forward = [this, &last] {
        const double now = dlg->Set().PlayTime();
        EXPECT_GE(now, last - 0.05) << "play time went back";
        last = now;
        return true;
    };
    // Until the set has played on by seconds.
    const auto playsOn = [&](double seconds) {
        const double to = (last = dlg->Set().PlayTime()) + seconds;
        return WaitUntil([&] { return forward() && last > to; }, 60000);
    };
    const auto stallAndRecover = [&](const char* mode) {
        SCOPED_TRACE(mode);
        // A helper stops this process and leaves a mark once it has let it go on.
        QTemporaryDir marks;
        const QString resumed = marks.filePath(QStringLiteral("resumed"));
        const QString pid = QString::number(QCoreApplication::applicationPid());
        ASSERT_TRUE(QProcess::startDetached(
            "sh",
            {"-c",
             QString("sleep 0.2; kill -STOP %1; sleep 1.5; kill -CONT %1; : >'%2'").arg(pid, resumed)}));
        ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(resumed); }, 60000));
        // The first tick after it is late: a stall. The set is put back in step (frame sync lands
        // a move; time sync waits for every channel at the reference's place) and plays on.
        double lowest = dlg->Set().PlayTime();
        ASSERT_TRUE(WaitUntil(
            [&] {
                lowest = std::min(lowest, dlg->Set().PlayTime());
                return dlg->Set().PlayTime() > lowest + 0.5;
            },
            60000));
        auto* frame = dynamic_cast<CFrameSync*>(&dlg->ActiveSync());
        if (frame != nullptr) {
            ASSERT_TRUE(WaitUntil([frame] { return !frame->Busy(); }, 60000));
        }
        ASSERT_TRUE(playsOn(0.5));
        if (frame != nullptr) {
            ExpectLockedWhilePlaying(mode);
        } else {
            EXPECT_LT(SpreadInFrames(Frames()), Slowest()) << "time sync holds the panes to the second";
        }
    };
    StoreSyncMode(0);
    ASSERT_NO_FATAL_FAILURE(Open(kMixedCodecs));
    dlg->OnPlay();
    // The open leaves the play time at the set's length; the first ticks read the reference.
    ASSERT_TRUE(WaitUntil([this] { return dlg->Set().Position(dlg->Set().Reference()) > 1.0; }, 60000));
    stallAndRecover("time sync");
    // Key-frame seeks in time sync leave the long-GOP files seconds apart.
    g_dGotoSecs = 6.5;
    dlg->OnGotoPosition();
    WaitChannelsSettled();
    chooseInOptions(IDC_FRAME_SYNC);
    EXPECT_EQ(dlg->Settings().SyncMode(), 1);
    Settle();
    ExpectLockedWhilePlaying("switched to frame sync");
    GoTo(1.0);
    stallAndRecover("frame sync");
    chooseInOptions(IDC_TIME_SYNC);
    EXPECT_EQ(dlg->Settings().SyncMode(), 0);
    EXPECT_EQ(dynamic_cast<CFrameSync*>(&dlg->ActiveSync()), nullptr) << "time sync in use";
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_TRUE(playsOn(0.3)) << "time sync plays on after the switch";
}

} // namespace
} // namespace mainwnd_test
