// The masked time edit under real key events, and the go-to dialog around it.
#include "dialogs/CGotoDlg.h"
#include "dialogs/CTimeEdit.h"
#include "dialogs/GotoPosition.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstring>

namespace {

// Keys as a string: characters are typed, and
//   < Backspace   [ Left   ] Right   ^ Home   $ End   D Delete   I Insert.
void Press(QWidget* edit, const char* keys) {
    const Qt::Key named[] = {Qt::Key_Backspace, Qt::Key_Left,   Qt::Key_Right, Qt::Key_Home,
                             Qt::Key_End,       Qt::Key_Delete, Qt::Key_Insert};
    const char marks[] = "<[]^$DI";
    for (const char* k = keys; *k != '\0'; ++k) {
        const char* at = std::strchr(marks, *k);
        at != nullptr ? QTest::keyClick(edit, named[at - marks]) : QTest::keyClick(edit, *k);
    }
}

class TimeEditTest : public testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 60);
        edit = new CTimeEdit(&window);
        edit->setGeometry(10, 10, 150, 24);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        edit->setFocus();
    }

    void Start(const char* prefill, int caret) {
        edit->SetTimeText(QString::fromLatin1(prefill));
        edit->setCursorPosition(caret);
    }

    QWidget window;
    CTimeEdit* edit = nullptr;
};

// Typed from a prefill and caret, keys give the text, caret and beeps the mask allows.
TEST_F(TimeEditTest, KeysGiveTheTextCaretAndBeepsTheMaskAllows) {
    const struct {
        const char* name;
        const char* prefill;
        int caret;
        const char* keys;
        const char* text;
        int caretAfter;
        int beeps;
    } cases[] = {
        {"HourAfterFourIsLimitedToSeven", "00:00:00", 0, "48", "40:00:00", 1, 0},
        {"HourAfterThreeTakesNine", "00:00:00", 0, "39", "39:00:00", 3, 0},
        {"FirstHourDigitAboveFour", "00:00:00", 0, "5", "00:00:00", 0, 0},
        {"HighestTypedTime", "00:00:00", 0, "475999", "47:59:99", 8, 0},
        {"FourOverNineteenLowersTheNineToSeven", "19:00:00", 0, "4", "47:00:00", 1, 0},
        {"FourOverNineteenThenFive", "19:00:00", 0, "45", "45:00:00", 3, 0},
        {"BackspaceRestoresNoHourBeyondTheLimit", "19:00:00", 0, "47<<", "47:00:00", 1, 0},
        {"FortySevenThenCaretAfterTheColon", "40:00:00", 1, "7", "47:00:00", 3, 0},
        {"MinuteFirstDigitAboveFive", "00:00:00", 3, "6", "00:00:00", 3, 0},
        {"TypingOnAColonPassesOverIt", "00:00:00", 2, "5", "00:50:00", 4, 0},
        {"LetterBeeps", "00:10:30", 0, "a", "00:10:30", 0, 1},
        {"KeyPastTheEndBeeps", "00:10:30", 8, "1", "00:10:30", 8, 1},
        {"BackspaceRestoresThePrefill", "00:10:30", 6, "99<<", "00:10:30", 6, 0},
        {"BackspaceAtTheStartBeeps", "00:10:30", 0, "<", "00:10:30", 0, 1},
        {"DeleteAndInsertDoNothing", "00:10:30", 0, "DIDI", "00:10:30", 0, 0},
        {"ColonsCannotBeTypedAway", "00:10:30", 0, "1:2:3:4", "12:34:30", 6, 3},
        {"ArrowsMoveTheCaretOnly", "00:10:30", 0, "]]][^$[", "00:10:30", 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Start(c.prefill, c.caret);
        QSignalSpy beeps(edit, &CMaskEdit::beeped);
        Press(edit, c.keys);
        EXPECT_EQ(edit->GetTimeText(), QString::fromLatin1(c.text));
        EXPECT_EQ(edit->cursorPosition(), c.caretAfter);
        EXPECT_EQ(beeps.count(), c.beeps);
    }
}

// A selection is typed over from its start and Backspace on it beeps; everything that would put
// text in without typing it is refused. (Any keys at all always leave a text within the mask's
// limits: the fuzz target mask_edit.)
TEST_F(TimeEditTest, SelectionIsTypedOverAndTextIsOnlyTyped) {
    Start("00:10:30", 0);
    QSignalSpy selectionBeeps(edit, &CMaskEdit::beeped);
    edit->selectAll();
    Press(edit, "<");
    EXPECT_EQ(selectionBeeps.count(), 1);
    EXPECT_EQ(edit->GetTimeText(), QStringLiteral("00:10:30"));
    edit->setSelection(3, 4);
    Press(edit, "2");
    EXPECT_EQ(edit->GetTimeText(), QStringLiteral("00:20:30"));
    EXPECT_EQ(edit->cursorPosition(), 4);

    Start("01:02:03", 0);
    QApplication::clipboard()->setText(QStringLiteral("9x:99:99:99"));
    QApplication::clipboard()->setText(QStringLiteral("4"), QClipboard::Selection);
    Press(edit, "1");
    const QString typed = edit->GetTimeText();
    ASSERT_EQ(typed, QStringLiteral("11:02:03"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete, Qt::ShiftModifier);
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::mouseClick(edit, Qt::MiddleButton, {}, QPoint(20, 10));
    EXPECT_EQ(edit->GetTimeText(), typed);

    QMimeData mime;
    mime.setText(QStringLiteral("99:99:99"));
    QDropEvent drop(QPointF(20, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(edit, &drop);
    EXPECT_FALSE(edit->acceptDrops());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(20, 10), edit->mapToGlobal(QPoint(20, 10)));
    QApplication::sendEvent(edit, &menu);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(edit->GetTimeText(), typed);

    // Committed input-method text is typed character by character: digits go in, the rest beeps.
    QSignalSpy beeps(edit, &CMaskEdit::beeped);
    edit->setCursorPosition(3);
    QInputMethodEvent im;
    im.setCommitString(QStringLiteral("3时4"));
    QApplication::sendEvent(edit, &im);
    EXPECT_EQ(edit->GetTimeText(), QStringLiteral("11:34:03"));
    EXPECT_EQ(beeps.count(), 1);
}

// Stands in for the main window: records when the go-to message comes and what it sees then.
class GotoReceiver : public QWidget {
public:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(QEvent::User + WM_GOTO_POSITION)) {
            ++received;
            targetSeen = g_dGotoSecs;
            dialogWasOpen = QApplication::activeModalWidget() != nullptr;
            return true;
        }
        return QWidget::event(e);
    }
    int received = 0;
    double targetSeen = -1.0;
    bool dialogWasOpen = false;
};

// The prefill is the whole seconds of the last tick; a typed text is read for the parts it has.
TEST(GotoDialog, TimeTextsBothWays) {
    const struct {
        double secs;
        const char* text;
    } prefills[] = {
        {3725.9, "01:02:05"},       {0.0, "00:00:00"},      {-3.0, "00:00:00"},
        {std::nan(""), "00:00:00"}, {172839.0, "48:00:39"}, {1e12, "99:59:59"},
    };
    for (const auto& c : prefills) {
        EXPECT_EQ(CGotoDlg::TimeText(c.secs), QString::fromLatin1(c.text)) << c.secs;
    }
    const struct {
        const char* text;
        long long secs;
    } typed[] = {
        {"01:02:03", 3723}, {"47:59:99", 172839}, {"00:00:75", 75}, {" 00:00:05 ", 5},
        {"12", 43200},      {"1:2", 3720},        {"", 0},          {"99:99:99:99", 362439},
    };
    for (const auto& c : typed) {
        EXPECT_EQ(CGotoDlg::SecondsOf(QString::fromLatin1(c.text)), c.secs) << c.text;
    }
}

// Typing over the prefill, and OK sending the message to the main window while the dialog is still
// open. (Its title: KeysTest's ctrl+g; the prefill, Cancel and the seek: the offset walk of OffsetTest.)
TEST(GotoDialog, OkSendsTheTargetBeforeClosing) {
    GotoReceiver mainWindow;
    g_hMainWnd = &mainWindow;
    g_dSyncSecs = 3725.9;
    CGotoDlg dlg;
    QTimer::singleShot(200, &dlg, [&] {
        auto* edit = qobject_cast<CTimeEdit*>(GetDlgItem(&dlg, IDC_GOTO_TIME));
        auto* okButton = qobject_cast<QPushButton*>(GetDlgItem(&dlg, IDOK));
        edit->setCursorPosition(0);
        Press(edit, "47");
        QTest::mouseClick(okButton, Qt::LeftButton);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(mainWindow.received, 1);
    EXPECT_EQ(mainWindow.targetSeen, 47 * 3600 + 2 * 60 + 5);
    EXPECT_TRUE(mainWindow.dialogWasOpen);
    g_hMainWnd = nullptr;
}

} // namespace
