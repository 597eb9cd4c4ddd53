// Frame sync in the real window on real clips of one event made differently (containers,
// codecs, key-frame spacing, frame rates): the frame every pane shows is read from the bit
// cells the clips draw, after every kind of command.
#include "FrameSyncFixture.h"

#include "controls/CXScrollBar.h"
#include "settings/COptionsDlg.h"
#include "uikit/CBCGPControlIds.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace mainwnd_test {
namespace {

using tetrav::test::clip;

class FrameSyncSets : public FrameSyncTest, public testing::WithParamInterface<ClipSet> {};

TEST_P(FrameSyncSets, PanesShowTheSameInstantAfterEveryCommand) {
    Open(GetParam());
    dlg->OnPlay();
    Settle();
    ExpectLockedWhilePlaying("start");

    for (double target : {7.3, 2.02, 9.5}) {
        g_dGotoSecs = target;
        dlg->OnGotoPosition();
        Settle();
        ExpectLockedWhilePlaying("seek while playing");
    }
    // Seek-bar clicks: the set lands together on the reference's key frame near the place.
    for (int pos : {130, 40}) {
        dlg->m_wndSeekBar->SetScrollPos(pos, true);
        emit dlg->m_wndSeekBar->hscroll(SB_THUMBTRACK, pos);
        Settle();
        ExpectLockedWhilePlaying("seek-bar click");
    }

    dlg->OnPause();
    Settle();
    ExpectSameInstant("pause");
    g_dGotoSecs = 4.0;
    dlg->OnGotoPosition();
    Settle();
    auto n = Frames();
    ExpectSameInstant("exact seek while paused");
    EXPECT_EQ(n[0], 100) << "4.0 s at 25 fps";

    for (int step = 1; step <= 3; ++step) {
        dlg->OnStepFrame();
        Settle();
        const auto after = Frames();
        ExpectSameInstant("step");
        EXPECT_EQ(after[0], n[0] + 1) << "step " << step;
        for (int k = 1; k < 4; ++k) {
            if (GetParam().fps[k] == GetParam().fps[0]) {
                EXPECT_EQ(after[k], n[k] + 1) << "pane " << k + 1 << " step " << step;
            }
        }
        n = after;
    }

    ExpectLockedThroughRates("resume after steps");
    dlg->OnPause();
    Settle();
    dlg->OnNormalSpeed();
    Settle();
    ExpectLockedWhilePlaying("normal speed from pause");
    dlg->OnPause();
    Settle();
    const auto paused = Frames();
    QTest::qWait(300);
    dlg->OnPlay();
    Settle();
    ExpectLockedWhilePlaying("pause and resume");
    dlg->OnPause();
    Settle();
    EXPECT_LT(Frames()[0] - paused[0], 0.5 + 6 * 0.09 * 25 + 10) << "resumed where it paused";
}

INSTANTIATE_TEST_SUITE_P(Sets, FrameSyncSets, testing::Values(kMixedCodecs, kMixedRates),
                         [](const testing::TestParamInfo<ClipSet>& info) {
                             return std::string(info.param.name);
                         });

// The sync mode chosen in the options dialog, as a user does it, acts on the set at once.
TEST_F(FrameSyncTest, SwitchingTheModeInTheOptionsActsOnThePlayingSet) {
    const auto chooseInOptions = [this](int radioId) {
        QTimer::singleShot(0, [radioId] {
            auto* options = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr) << "no options dialog";
            qobject_cast<QAbstractButton*>(GetDlgItem(options, radioId))->click();
            qobject_cast<QAbstractButton*>(GetDlgItem(options, IDOK))->click();
        });
        dlg->OnOptions();
    };
    g_settings.FramePhase = 0;
    Open(kMixedCodecs);
    dlg->OnPlay();
    QTest::qWait(300);
    // Key-frame seeks in time sync leave the long-GOP files seconds apart.
    g_dGotoSecs = 6.5;
    dlg->OnGotoPosition();
    QTest::qWait(400);
    chooseInOptions(IDC_FRAME_SYNC);
    EXPECT_EQ(g_settings.FramePhase, 1);
    Settle();
    ExpectLockedWhilePlaying("switched to frame sync");
    chooseInOptions(IDC_TIME_SYNC);
    EXPECT_EQ(g_settings.FramePhase, 0);
    const double at = dlg->m_dCurrentSecs;
    QTest::qWait(800);
    EXPECT_EQ(dynamic_cast<CFrameSync*>(&dlg->ActiveSync()), nullptr) << "time sync in use";
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_GT(dlg->m_dCurrentSecs, at + 0.3) << "time sync plays on after the switch";
}

// The process stopped for 1.5 s (a suspended laptop, a long stall): every pipeline's clock ran
// on. In either mode the play time never goes backwards and the panes are back in step within
// a second of going on.
class StallRecovery : public FrameSyncTest, public testing::WithParamInterface<int> {};

TEST_P(StallRecovery, SetIsBackInStepAfterTheProcessWasStopped) {
    g_settings.FramePhase = GetParam();
    Open(kMixedCodecs);
    dlg->OnPlay();
    QTest::qWait(1500);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QProcess::startDetached(
        "sh", {"-c", QString("sleep 0.2; kill -STOP %1; sleep 1.5; kill -CONT %1").arg(pid)}));
    QTest::qWait(1800); // returns once the process goes on
    double last = dlg->m_dCurrentSecs;
    for (int i = 0; i < 35; ++i) {
        QTest::qWait(30);
        EXPECT_GE(dlg->m_dCurrentSecs, last - 0.05) << "play time went backwards";
        last = std::max(last, dlg->m_dCurrentSecs);
    }
    const auto n = Frames();
    EXPECT_LE(SpreadInFrames(n), 2.0) << n[0] << "," << n[1] << "," << n[2] << "," << n[3];
}

INSTANTIATE_TEST_SUITE_P(Modes, StallRecovery, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 1 ? "FrameSync" : "TimeSync");
                         });

TEST_F(FrameSyncTest, RetiredChannelLeavesTheOthersLocked) {
    g_settings.MiniVideo = 0;
    m_set = kMixedCodecs;
    g_strVideoPath[0] = clip("sync_h264.mp4");
    g_strVideoPath[1] = clip("a_6s.mp4");
    g_strVideoPath[2] = clip("sync_mpeg4.avi");
    dlg->OpenSelectedFiles();
    dlg->OnPlay();
    g_dGotoSecs = 4.4;
    dlg->OnGotoPosition();
    ASSERT_TRUE(WaitFor([this] { return dlg->m_pChannel[1] == nullptr; }, 4000));
    ExpectLockedWhilePlaying("after the 6 s clip was retired");
}

TEST_F(FrameSyncTest, ChannelThatCannotSeekDoesNotUnlockTheOthers) {
    m_set = kMixedCodecs;
    m_set.fps = {25, 25, 25, 25};
    g_strVideoPath[0] = clip("sync_h264.mp4");
    g_strVideoPath[1] = clip("format.rm");
    g_strVideoPath[2] = clip("sync_vp8.webm");
    dlg->OpenSelectedFiles();
    dlg->OnPlay();
    g_dGotoSecs = 2.5;
    dlg->OnGotoPosition();
    Settle();
    QTest::qWait(200);
    const auto n = Frames();
    ASSERT_GE(n[0], 0);
    EXPECT_LE(std::abs(n[0] - n[2]), 2) << n[0] << " vs " << n[2];
    EXPECT_NE(dlg->m_pChannel[1], nullptr) << "the unseekable file plays on";
}

} // namespace
} // namespace mainwnd_test
