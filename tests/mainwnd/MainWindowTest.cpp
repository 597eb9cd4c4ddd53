// The real main window on the X server. (Its accessibility tree: TetravDesktopTest.)
#include "WindowTestSupport.h"

#include "controls/CMenuEx.h"
#include "platform/CHotKeyManager.h"
#include "support/FileBytes.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include <functional>

namespace mainwnd_test {
namespace {

using WindowTest = MainWindowTest;

// Full size on the work area, then smaller; menu key names are text only, not shortcuts. (Where
// a pane's menu opens: PanesTest, through the X server.)
TEST_F(WindowTest, IdleWindowFillsTheWorkAreaWithItsControlsAndMenusAndStepsFollow) {
    ShowWindow();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(QSize(dlg->Bars().ScreenWidth(), dlg->Bars().ScreenHeight()), screen);
    EXPECT_EQ(dlg->frameGeometry().intersected(work), dlg->frameGeometry());
    EXPECT_TRUE(WaitUntil([&] { return dlg->geometry() == work; }, 2000));
    ExpectLaidOut(*dlg);
    EXPECT_TRUE(!LayoutOf(*dlg).mended || screen != QSize(1280, 1024)) << "room for the classic layout";

    EXPECT_TRUE(IsIdle(*dlg));
    for (int id : {ID_TB_STOP, ID_TB_PAUSE, ID_TB_SLOWER, ID_TB_NORMAL_SPEED, ID_TB_FASTER}) {
        EXPECT_FALSE(dlg->Bars().ToolBar()->IsButtonEnabled(id)) << id;
    }
    EXPECT_EQ(dlg->Bars().SeekBar()->GetScrollPos(), 0);
    QWidget* placeholder = GetDlgItem(dlg->ClientArea(), IDC_SEEKBAR_PLACEHOLDER);
    EXPECT_TRUE(placeholder != nullptr && !placeholder->isVisible());
    const int titles[4] = {ID_PANE_TITLE_1, ID_PANE_TITLE_2, ID_PANE_TITLE_3, ID_PANE_TITLE_4};
    for (int i = 0; i < 4; ++i) {
        const QImage shot = dlg->View().Pane(i)->grab().toImage();
        EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black)) << i;
        ASSERT_NE(dlg->PaneMenus().Popup(i), nullptr);
        EXPECT_EQ(CMenuEx::CommandId(dlg->PaneMenus().Popup(i)->actions().value(0)), titles[i]);
    }

    // Every command item, in this order, is the window's action for its command; no item carries a
    // shortcut (the key names in their texts are text only). (Items chosen by their texts: the e2e
    // tests'.)
    const int commands[] = {ID_OPEN_FILES,  ID_SAVE_SET,       ID_OPEN_SET,      ID_EXPORT_VIDEO,
                            ID_EXIT,        ID_VIEW_TOPMOST,   ID_VIEW_NORMAL,   ID_VIEW_PANE_INFO,
                            ID_PLAY_STEP,   ID_PLAY_STEP_BACK, ID_PLAY_GOTO,     ID_CAPTURE_ALL,
                            ID_ALIGN_AUDIO, ID_OPTIONS,        ID_SET_IN_MARK,   ID_SET_OUT_MARK,
                            ID_CLEAR_MARKS, ID_LOOP_PLAY,      ID_HELP_CONTENTS, ID_APP_ABOUT};
    const int* next = std::begin(commands);
    for (QAction* menu : dlg->MenuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            EXPECT_TRUE(item->shortcut().isEmpty()) << item->text().toStdString();
            if (!item->isSeparator() && item->menu() == nullptr) {
                EXPECT_TRUE(next != std::end(commands) && dlg->MenuAction(*next++) == item);
            }
        }
    }
    EXPECT_EQ(next, std::end(commands));

    dlg->setGeometry(0, 0, 1100, 800);
    ASSERT_TRUE(WaitUntil([&] { return dlg->size() == QSize(1100, 800); }, 2000));
    QApplication::processEvents();
    ExpectLaidOut(*dlg);
    EXPECT_TRUE(LayoutOf(*dlg).mended || screen != QSize(1280, 1024)) << "no room for the classic layout";

    // Right steps the set from any control with the focus.
    InstallScriptedSet({10, 0, 10, 0}, 2, 1);
    dlg->OnPlay();
    dlg->activateWindow();
    QWidget* targets[] = {dlg->Bars().Volume(), dlg->View().Pane(1), dlg->Bars().SeekBar()};
    int expectedSteps = 0;
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->metaObject()->className());
        target->setFocusPolicy(Qt::StrongFocus);
        target->setFocus();
        ASSERT_EQ(dlg->focusWidget(), target);
        dlg->OnPlay();
        QTest::keyClick(target, Qt::Key_Right);
        ++expectedSteps;
        EXPECT_TRUE(scripts[0]->steps == expectedSteps && scripts[2]->steps == expectedSteps);
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(Status(0), "单帧播放");
    }
    QTest::keyClick(dlg->View().Pane(1), Qt::Key_Left);
    EXPECT_EQ(scripts[0]->steps, expectedSteps);
}

// ForeView 1 is topmost, any other value normal. The hot keys are F9..F12 with Ctrl+Alt+Shift,
// which no other test grabs.
TEST_F(WindowTest, SettingsAndModeCommandsHoldUntilEveryWayOfEndingTheWindow) {
    const struct {
        const char* name;
        int foreView;
        std::function<void(CTetravDlg&)> end;
        int result;
    } ways[] = {
        {"Enter", 2, [](CTetravDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, IDOK},
        {"Escape", 1, [](CTetravDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, IDCANCEL},
        {"close box", 0, [](CTetravDlg& d) { d.close(); }, IDCANCEL},
        {"exit", 1, [](CTetravDlg& d) { d.MenuAction(ID_EXIT)->trigger(); }, IDCANCEL},
    };
    const auto hotKey = [this](int id) { return dlg->HotKeys()->IsRegistered(id); };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        dlg = std::make_unique<CTetravDlg>();
        WriteSettings(way.foreView, 1, /*VK_F9*/ 0x78, MOD_ALT | MOD_CONTROL | MOD_SHIFT);
        const QByteArray stored = tetrav::test::readAll(CSettingsFile::FilePath());
        const std::pair<int, bool> steps[] = {{0, way.foreView == 1},
                                              {ID_VIEW_NORMAL, false},
                                              {ID_VIEW_TOPMOST, true},
                                              {ID_VIEW_NORMAL, false}};
        int checked = 0;
        QTimer::singleShot(300, dlg.get(), [&] {
            for (const auto& [command, topmost] : steps) {
                SCOPED_TRACE(command);
                if (command != 0) {
                    dlg->MenuAction(command)->trigger();
                    QApplication::processEvents();
                }
                // The window flag, and the two menu items checked and greyed.
                EXPECT_TRUE(dlg->isVisible());
                EXPECT_EQ(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
                QWindow* window = dlg->windowHandle();
                EXPECT_TRUE(window && window->flags().testFlag(Qt::WindowStaysOnTopHint) == topmost);
                EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isChecked(), topmost);
                EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isEnabled(), !topmost);
                EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isChecked(), !topmost);
                EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isEnabled(), topmost);
                EXPECT_EQ(g_settings.ForeView, way.foreView);
                ++checked;
            }
            EXPECT_TRUE(hotKey(100) && hotKey(200) && hotKey(300) && hotKey(400));
            InstallScriptedSet({0, 0, 5, 0}, 2, 1);
            dlg->OnPlay();
            EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC));
            dlg->activateWindow();
            way.end(*dlg);
        });
        EXPECT_EQ(dlg->DoModal(), way.result);
        EXPECT_EQ(checked, 4) << "the modal window ended early";
        EXPECT_FALSE(hotKey(100) || hotKey(200) || hotKey(300) || hotKey(400));
        EXPECT_TRUE(scripts[2]->deleted);
        EXPECT_EQ(scripts[2]->calls.mid(scripts[2]->calls.indexOf("Destroy")), QStringList({"Destroy"}));
        EXPECT_EQ(dlg->Set().Channel(2), nullptr);
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC) || dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(tetrav::test::readAll(CSettingsFile::FilePath()), stored);
        dlg->Set().SetPath(2, QString());
    }
}

} // namespace
} // namespace mainwnd_test
