// The go-to command end to end in the real window on real clips: the menu item opens the
// dialog prefilled from the last tick, the user types a time and presses 跳至(&T), and every open
// channel seeks there (frame-accurately in frame sync) with nothing else changed.
#include "WindowTestSupport.h"

#include "dialogs/CGotoDlg.h"
#include "dialogs/CTimeEdit.h"

#include <QPushButton>

namespace mainwnd_test {
namespace {

class GotoTest : public ClipWindowTest {
protected:
    void SetUp() override {
        ClipWindowTest::SetUp();
        g_settings.FramePhase = 1;
    }

    // Runs 跳至 from the menu; in the dialog, types keys at the start of the time and presses the
    // button. Returns the prefill the dialog showed.
    QString RunGoto(const char* keys, int button) {
        QString prefill;
        QTimer::singleShot(300, dlg.get(), [&] {
            auto* goto_ = qobject_cast<CGotoDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(goto_, nullptr) << "no go-to dialog";
            auto* edit = qobject_cast<CTimeEdit*>(GetDlgItem(goto_, IDC_GOTO_TIME));
            ASSERT_NE(edit, nullptr);
            prefill = edit->GetTimeText();
            edit->setCursorPosition(0);
            QTest::keyClicks(edit, QString::fromLatin1(keys));
            // The Right arrow in the edit moves its caret; it does not step the set.
            QTest::keyClick(edit, Qt::Key_Right);
            QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(goto_, button)), Qt::LeftButton);
        });
        dlg->MenuAction(ID_PLAY_GOTO)->trigger();
        return prefill;
    }
};

TEST_F(GotoTest, TypedTimeSeeksEveryOpenChannelAndCancelDoesNothing) {
    OpenClips({"sync_h264.mp4", nullptr, "sync_mpeg4.avi", nullptr});
    Settle();
    const QString status = Status(0);

    g_dSyncSecs = 3725.9;
    EXPECT_EQ(RunGoto("000007", IDOK), QStringLiteral("01:02:05"));
    EXPECT_EQ(g_dGotoSecs, 7.0);
    Settle();
    EXPECT_TRUE(FrameOf(0) == 175 && FrameOf(2) == 175)
        << "7 s at 25 fps: " << FrameOf(0) << "," << FrameOf(2);
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC)) << "a paused set stays paused";
    EXPECT_EQ(Status(0), status) << "nothing else changes (no frame step)";

    g_dSyncSecs = 7.0;
    EXPECT_EQ(RunGoto("000002", IDCANCEL), QStringLiteral("00:00:07"));
    EXPECT_EQ(g_dGotoSecs, 7.0);
    Settle();
    EXPECT_TRUE(FrameOf(0) == 175 && FrameOf(2) == 175) << FrameOf(0) << "," << FrameOf(2);

    // Playing, the set plays on from the target.
    dlg->OnPlay();
    Settle();
    RunGoto("000002", IDOK);
    Settle();
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    const int at = FrameOf(0);
    EXPECT_GE(at, 50);
    EXPECT_LT(at, 50 + 25 * 3) << "the set went to 2 s and plays on from there";
    EXPECT_TRUE(boxes.texts().isEmpty());

    // With nothing open, OK changes nothing.
    dlg->OnStop();
    RunGoto("000009", IDOK);
    EXPECT_EQ(g_dGotoSecs, 9.0);
    EXPECT_EQ(dlg->m_pChannel[0], nullptr);
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
}

} // namespace
} // namespace mainwnd_test
