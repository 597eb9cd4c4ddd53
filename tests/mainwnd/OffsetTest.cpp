// Time offsets through the dialogs. sync_h264_late.mp4 is sync_h264.mp4 from 3.2 s on, frame
// numbers kept: at an offset of -3.2 s it shows the same number as pane 1 whatever the set does.
#include "FrameSyncFixture.h"

#include "controls/CMenuEx.h"
#include "dialogs/CGotoDlg.h"
#include "dialogs/CMaskEdit.h"
#include "dialogs/COffsetDlg.h"
#include "dialogs/COffsetEdit.h"
#include "dialogs/CTimeEdit.h"

#include <QCursor>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

namespace mainwnd_test {
namespace {

const ClipSet kLate{"Late", {"sync_h264.mp4", "sync_h264_late.mp4", nullptr, nullptr}, {25, 25, 25, 25}};

// The frame number under a dimmed picture: read once the picture is brightened back.
int DimmedFrame(QWidget* picture) {
    QImage image = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = std::min(255, qGray(line[x]) * 255 / 105);
            line[x] = qRgb(g, g, g);
        }
    }
    return enginetest::frameNumberIn(image, enginetest::fittedRect(QSize(320, 240), image.rect()), 240);
}

class OffsetTest : public FrameSyncTest {
protected:
    // Runs 跳至 from the menu, types keys over the time, presses button; returns the prefill.
    QString GotoFromMenu(const char* keys, int button) {
        dlg->MenuAction(ID_PLAY_GOTO)->trigger();
        auto* goto_ = qobject_cast<CGotoDlg*>(QApplication::activeModalWidget());
        auto* edit = goto_ != nullptr ? qobject_cast<CTimeEdit*>(GetDlgItem(goto_, IDC_GOTO_TIME)) : nullptr;
        if (edit == nullptr) {
            ADD_FAILURE() << "no go-to dialog";
            return {};
        }
        const QString prefill = edit->GetTimeText();
        edit->setCursorPosition(0);
        QTest::keyClicks(edit, QString::fromLatin1(keys));
        // The Right arrow in the edit moves its caret; it does not step the set.
        QTest::keyClick(edit, Qt::Key_Right);
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(goto_, button)), Qt::LeftButton);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the go-to dialog is still up";
        Settle();
        return prefill;
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = dlg->focusWidget();
        QTest::keyClick(focus != nullptr ? focus : dlg.get(), key, modifiers);
    }
};

// Also the go-to dialog end to end: prefilled from the last tick, 取消 changing nothing.
TEST_F(OffsetTest, PanesShowTheSameFrameThroughEveryCommand) {
    g_settings.MiniVideo = 0; // the longest video, pane 1, is the reference
    ASSERT_NO_FATAL_FAILURE(Open(kLate));
    ASSERT_EQ(dlg->Set().Reference(), 0);
    // 设置时间偏移... in pane 2's menu: the offset typed over and OK pressed.
    emit dlg->PaneMenus().Menu(1)->command(ID_SET_OFFSET_1 + 1);
    auto* offset = qobject_cast<COffsetDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(offset, nullptr) << "no offset dialog";
    offset->TimeEdit()->setCursorPosition(0);
    QTest::keyClicks(offset->TimeEdit(), QStringLiteral("-00:00:03.200"));
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(offset, IDOK)), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(dlg->Set().Offset(1), -3.2);
    Settle();

    // Before its start the late pane waits on its first picture, dimmed, and joins in on time.
    GoTo(1.0);
    EXPECT_EQ(Frames(), (std::array<int, 4>{25, -1, -1, -1})); // pane 2 dimmed
    EXPECT_EQ(DimmedFrame(dlg->Set().Channel(1)->VideoWidget()), 80);
    dlg->OnPlay();
    QTest::qWait(1000);
    EXPECT_EQ(DimmedFrame(dlg->Set().Channel(1)->VideoWidget()), 80) << "still waiting at about 2 s";
    ASSERT_TRUE(WaitUntil([this] { return Frames()[0] >= 95; }, 5000));
    ExpectLockedWhilePlaying("after the late pane's start");
    // The play time and the seek bar stay the reference's.
    EXPECT_NEAR(dlg->Set().PlayTime(), Frames()[0] / 25.0, 0.3);
    EXPECT_TRUE(Status(3).contains(QStringLiteral("-3.200")));

    GotoFromMenu("000004", IDOK);
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
    EXPECT_TRUE(Frames()[0] >= 100 && Frames()[0] < 100 + 25 * 3) << "went to 4 s and plays on";
    ExpectLockedWhilePlaying("seek from the dialog while playing");
    dlg->Bars().SeekBar()->SetScrollPos(100, true);
    emit dlg->Bars().SeekBar()->hscroll(SB_THUMBTRACK, 100);
    Settle();
    ExpectLockedWhilePlaying("seek-bar click");

    Settle(&CTetravDlg::OnPause);
    const QString status = Status(0);
    g_dSyncSecs = 3725.9;
    EXPECT_EQ(GotoFromMenu("000006", IDOK), QStringLiteral("01:02:05"));
    EXPECT_EQ(g_dGotoSecs, 6.0);
    EXPECT_EQ(Frames(), (std::array<int, 4>{150, 150, -1, -1}));
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC)) << "a paused set stays paused";
    EXPECT_EQ(Status(0), status) << "nothing else changes (no frame step)";
    g_dSyncSecs = 6.0;
    EXPECT_EQ(GotoFromMenu("000002", IDCANCEL), QStringLiteral("00:00:06"));
    EXPECT_EQ(g_dGotoSecs, 6.0);
    EXPECT_EQ(Frames(), (std::array<int, 4>{150, 150, -1, -1}));
    // Paused, the thumb shows where a move landed at once, not at the next display tick.
    g_dGotoSecs = 8.0;
    dlg->OnGotoPosition();
    dlg->SetTimer(TIMER_DISPLAY, 60000); // the window follows the play time, its next tick far off
    auto* sync = dynamic_cast<CFrameSync*>(&dlg->ActiveSync());
    ASSERT_TRUE(WaitUntil([&] { return !sync->Busy(); }, 8000));
    QApplication::processEvents();
    EXPECT_NEAR(dlg->Bars().SeekBar()->GetScrollPos(), 200.0 * 8.0 / dlg->Set().TotalTime(), 1.0);
    EXPECT_EQ(Frames(), (std::array<int, 4>{200, 200, -1, -1}));
    // (Steps, steps back and Ctrl+arrow nudges through every state: the command walk, e2e.)
    Settle(&CTetravDlg::OnPlay);
    ExpectLockedWhilePlaying("play after the go-to");
    // While playing the keys nudge nothing.
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(dlg->Set().Offset(0), 0.0);
    EXPECT_TRUE(boxes.texts().isEmpty());

    dlg->OnStop();
    GotoFromMenu("000009", IDOK);
    EXPECT_EQ(g_dGotoSecs, 9.0);
    EXPECT_EQ(dlg->Set().Channel(0), nullptr);
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
}

// Typed over the offset the dialog opens with (all of it selected), or the frames field set: what
// the field then shows, the beeps of refused keys, and what OK applies (exactly what is shown).
TEST(OffsetDialog, TypingReplacesFieldByFieldRefusesOutOfRangeDigitsAndOkAppliesWhatIsShown) {
    const struct {
        double from;
        const char* typed; // null: the frames field gets `frames` typed instead
        const char* frames;
        double fps;
        const char* shown;
        int beeps;
        double offset;
    } cases[] = {
        {1.25, "-0:0:3", nullptr, 25, "-00:00:03.000", 0, -3.0},
        {-3.25, "+5", nullptr, 25, "+05:00:00.000", 0, 18000.0},
        {0.0, "-00:00:03.200", nullptr, 25, "-00:00:03.200", 0, -3.2},
        {0.0, "3.25", nullptr, 25, "+03:00:00.250", 0, 10800.25}, // '.' goes on to the milliseconds
        {7.0, "0:1:2.5", nullptr, 25, "+00:01:02.500", 0, 62.5},
        {0.0, "+24:00:00.001", nullptr, 25, "+24:00:00.000", 1, 86400.0},
        {0.0, "+39", nullptr, 25, "+03:00:00.000", 1, 10800.0},
        {0.0, "0:75", nullptr, 25, "+00:07:00.000", 1, 420.0},
        {0.0, "0:0:99.5", nullptr, 25, "+00:00:09.500", 1, 9.5},
        {-1.0, "x+2", nullptr, 25, "+02:00:01.000", 1, 7201.0}, // a stray key ends the replacing
        {0.0, "1.5:", nullptr, 25, "+01:00:00.500", 1, 3600.5}, // nothing follows the milliseconds
        {0.0, "12\b3", nullptr, 25, "+13:00:00.000", 0, 46800.0},
        {0.0, "1:23\b\b4", nullptr, 25, "+01:04:00.000", 0, 3840.0},
        {0.0, nullptr, "80", 25, "+00:00:03.200", 0, 3.2},
        {0.0, nullptr, "-1001", 30000.0 / 1001.0, "-00:00:33.400", 0, -1001 * 1001 / 30000.0},
        {0.0, nullptr, "2160001", 25, "+02:24:00.000", 0, 216000 / 25.0}, // the last digit refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed ? c.typed : c.frames);
        MessageBoxRecorder boxes;
        COffsetDlg offset(c.from, c.fps);
        offset.show();
        CMaskEdit* edit = offset.TimeEdit();
        QSignalSpy beeps(edit, &CMaskEdit::beeped);
        if (c.typed != nullptr) {
            ASSERT_EQ(edit->selectedText(), edit->text()) << "the dialog opens with the offset selected";
            QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        } else {
            offset.FramesEdit()->selectAll();
            QTest::keyClicks(offset.FramesEdit(), QString::fromLatin1(c.frames));
        }
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(beeps.size(), c.beeps);
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(&offset, IDOK)), Qt::LeftButton);
        EXPECT_TRUE(boxes.texts().isEmpty());
        EXPECT_EQ(offset.result(), IDOK);
        EXPECT_NEAR(offset.Offset(), c.offset, 1e-9);
    }
    EXPECT_EQ(COffsetDlg::OffsetText(-3723.0456), QStringLiteral("-01:02:03.046"));
}

} // namespace
} // namespace mainwnd_test
