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
    // Many captures at uneven moments meet the panes' changes of picture.
    void CaptureWhilePlaying(int count, const char* how) {
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(testing::Message() << how << ", capture " << i);
            QTest::qWait(i == 0 ? 170 : 23 + std::rand() % 60);
            CaptureOneInstant(i % 2 == 1, false);
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
// (a suspended laptop): back in step within a second in either mode. (A pane that cannot seek or
// has been retired beside the others: the state table, FrameSyncStateTest.)
TEST_F(FrameSyncTest, ModeSwitchesActAtOnceAndAStoppedProcessRecoversInEitherMode) {
    const auto chooseInOptions = [this](int radioId) {
        dlg->OnOptions();
        auto* options = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(options, nullptr) << "no options dialog";
        qobject_cast<QAbstractButton*>(GetDlgItem(options, radioId))->click();
        qobject_cast<QAbstractButton*>(GetDlgItem(options, IDOK))->click();
    };
    const auto stallAndRecover = [this](const char* mode) {
        SCOPED_TRACE(mode);
        const QString pid = QString::number(QCoreApplication::applicationPid());
        ASSERT_TRUE(QProcess::startDetached(
            "sh", {"-c", QString("sleep 0.2; kill -STOP %1; sleep 1.5; kill -CONT %1").arg(pid)}));
        QTest::qWait(1800); // returns once the process goes on
        double last = dlg->Set().PlayTime();
        for (int i = 0; i < 35; ++i) {
            QTest::qWait(30);
            EXPECT_GE(dlg->Set().PlayTime(), last - 0.05) << "play time went backwards";
            last = std::max(last, dlg->Set().PlayTime());
        }
        EXPECT_LE(SpreadInFrames(Frames()), 2.0);
    };
    StoreSyncMode(0);
    ASSERT_NO_FATAL_FAILURE(Open(kMixedCodecs));
    dlg->OnPlay();
    QTest::qWait(1500);
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
    const double at = dlg->Set().PlayTime();
    QTest::qWait(800);
    EXPECT_EQ(dynamic_cast<CFrameSync*>(&dlg->ActiveSync()), nullptr) << "time sync in use";
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_GT(dlg->Set().PlayTime(), at + 0.3) << "time sync plays on after the switch";
}

} // namespace
} // namespace mainwnd_test
