// The real main window on the X server: geometry, bars, menus, settings applied when shown,
// keys and mouse, and the end of the modal window. (Its accessibility tree as a screen reader
// reaches it: TetravDesktopTest.)
#include "WindowTestSupport.h"

#include "controls/CMenuEx.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "platform/CHotKeyManager.h"
#include "support/FileBytes.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

namespace mainwnd_test {
namespace {

class WindowTest : public MainWindowTest {
protected:
    QScreen* Screen() const { return QGuiApplication::primaryScreen(); }
    // The display mode in force: the window flag, and the two menu items checked and greyed.
    void ExpectDisplayMode(bool topmost) const {
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        ASSERT_NE(dlg->windowHandle(), nullptr);
        EXPECT_EQ(dlg->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isChecked(), topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isEnabled(), !topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isChecked(), !topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isEnabled(), topmost);
    }
};

// Full size on the work area, then smaller (desktop panels): the window's controls sit exactly
// where the arithmetic puts them for its client area.
TEST_F(WindowTest, FillsTheWorkAreaAndLaysOutFromTheScreenAndClientSize) {
    ShowWindow();
    const QSize screen = Screen()->size();
    EXPECT_EQ(QSize(dlg->m_nScreenWidth, dlg->m_nScreenHeight), screen);
    EXPECT_EQ(dlg->frameGeometry().intersected(Screen()->availableGeometry()), dlg->frameGeometry());
    EXPECT_TRUE(WaitFor([&] { return dlg->geometry() == Screen()->availableGeometry(); }, 2000));
    for (const bool small : {false, true}) {
        SCOPED_TRACE(small ? "1100 x 800" : "full size");
        if (small) {
            dlg->setGeometry(0, 0, 1100, 800);
            ASSERT_TRUE(WaitFor([&] { return dlg->size() == QSize(1100, 800); }, 2000));
            QApplication::processEvents();
        }
        const MainLayout l = ComputeMainLayout(
            {screen.width(), screen.height(), dlg->ClientArea()->width(), dlg->m_wndStatusBar->y()});
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(dlg->m_wndPane[i]->geometry(), l.panes[i]) << "pane " << i;
            EXPECT_EQ(dlg->m_wndStatusBar->RightEdge(i), l.statusEdges[i]) << "status part " << i;
        }
        EXPECT_EQ(dlg->m_wndToolBar->geometry(), l.toolBar);
        EXPECT_EQ(dlg->m_wndVolume->geometry(), l.volume);
        EXPECT_EQ(dlg->m_wndSeekBar->geometry(), l.seekBar);
        EXPECT_EQ(dlg->m_wndSeekBar->m_rectClient, QRect(0, 0, l.seekBar.width(), 10));
        EXPECT_EQ(dlg->m_wndStatusBar->geometry().bottom(), dlg->ClientArea()->height() - 1);
        EXPECT_EQ(dlg->m_wndStatusBar->width(), dlg->ClientArea()->width());
        EXPECT_TRUE(small == l.mended || screen != QSize(1280, 1024))
            << "a full-screen window on 1280 x 1024 has room for the classic layout, 1100 x 800 has not";
    }
}

// Title, icon and frame buttons; only 打开文件 usable; black panes, each with its own menu.
TEST_F(WindowTest, IdleWindowAfterShowing) {
    ShowWindow();
    EXPECT_EQ(dlg->windowTitle(), "Tetrav");
    EXPECT_FALSE(dlg->windowIcon().isNull());
    EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(IsIdle(*dlg));
    for (int id : {ID_TB_STOP, ID_TB_PAUSE, ID_TB_SLOWER, ID_TB_NORMAL_SPEED, ID_TB_FASTER}) {
        EXPECT_FALSE(dlg->m_wndToolBar->IsButtonEnabled(id)) << id;
    }
    EXPECT_EQ(dlg->m_wndSeekBar->GetScrollPos(), 0);
    QWidget* placeholder = GetDlgItem(dlg->ClientArea(), IDC_SEEKBAR_PLACEHOLDER);
    EXPECT_TRUE(placeholder != nullptr && !placeholder->isVisible());
    const int titles[4] = {ID_PANE_TITLE_1, ID_PANE_TITLE_2, ID_PANE_TITLE_3, ID_PANE_TITLE_4};
    for (int i = 0; i < 4; ++i) {
        const QImage shot = dlg->m_wndPane[i]->grab().toImage();
        EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black)) << i;
        ASSERT_NE(dlg->m_pPopup[i], nullptr);
        EXPECT_EQ(CMenuEx::CommandId(dlg->m_pPopup[i]->actions().value(0)), titles[i]);
    }
}

TEST_F(WindowTest, MenuBarHasEveryItemWithItsTextAndId) {
    ShowWindow();
    struct Item {
        const char* text;
        int id; // 0 = separator, -1 = submenu
    };
    const std::vector<std::pair<const char*, std::vector<Item>>> expected = {
        {"文件",
         {{"打开文件 \tCtrl+O", ID_OPEN_FILES},
          {"", 0},
          {"保存视频组...", ID_SAVE_SET},
          {"打开视频组...", ID_OPEN_SET},
          {"最近的视频组", -1},
          {"", 0},
          {"退出", ID_EXIT}}},
        {"播放控制",
         {{"前端显示", ID_VIEW_TOPMOST},
          {"一般显示", ID_VIEW_NORMAL},
          {"", 0},
          {"逐帧播放   ->", ID_PLAY_STEP},
          {"逐帧后退   <-", ID_PLAY_STEP_BACK},
          {"跳至(&G) \tCtrl+G", ID_PLAY_GOTO},
          {"全部抓图", ID_CAPTURE_ALL},
          {"选项(&X)\tCtrl+X", ID_OPTIONS}}},
        {"帮助 ", {{"帮助 \tCtrl+H", ID_HELP_CONTENTS}, {"关于", ID_APP_ABOUT}}}};
    const QList<QAction*> menus = dlg->MenuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), QString::fromUtf8(expected[m].first));
        const QList<QAction*> items = menus[m]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[m].second.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            const Item& want = expected[m].second[static_cast<size_t>(i)];
            EXPECT_EQ(items[i]->isSeparator(), want.id == 0);
            EXPECT_EQ(items[i]->menu() != nullptr, want.id == -1) << want.text;
            EXPECT_TRUE(want.id == 0 || items[i]->text() == QString::fromUtf8(want.text)) << want.text;
            // The key names are text only.
            EXPECT_TRUE(want.id <= 0 ||
                        (dlg->MenuAction(want.id) == items[i] && items[i]->shortcut().isEmpty()))
                << want.text;
        }
    }
}

// ForeView 1 is topmost; any other value is the normal mode. 前端显示 and 一般显示 then switch
// the window inside the modal run, the modal window goes on, and the stored setting stays.
TEST_F(WindowTest, DisplayModeFromTheSettingsAndItsCommands) {
    for (const int foreView : {2, 1}) {
        SCOPED_TRACE(foreView);
        dlg = std::make_unique<CTetravDlg>();
        WriteSettings(foreView);
        const QByteArray stored = tetrav::test::readAll(CSettingsFile::FilePath());
        const std::pair<int, bool> steps[] = {
            {0, foreView == 1}, {ID_VIEW_NORMAL, false}, {ID_VIEW_TOPMOST, true}, {ID_VIEW_NORMAL, false}};
        int checked = 0;
        QTimer::singleShot(300, dlg.get(), [&] {
            for (const auto& [command, topmost] : steps) {
                SCOPED_TRACE(command);
                if (command != 0) {
                    dlg->MenuAction(command)->trigger();
                    QApplication::processEvents();
                }
                ExpectDisplayMode(topmost);
                EXPECT_EQ(g_settings.ForeView, foreView);
                ++checked;
            }
            dlg->OnExit();
        });
        EXPECT_EQ(dlg->DoModal(), IDCANCEL);
        EXPECT_EQ(checked, 4) << "the modal window ended early";
        EXPECT_EQ(tetrav::test::readAll(CSettingsFile::FilePath()), stored);
    }
}

TEST_F(WindowTest, HotKeysOfTheSettingsFileAreRegistered) {
    // F9..F12 with Ctrl+Alt+Shift: keys no other test grabs.
    WriteSettings(0, 1, /*hotKey VK_F9*/ 0x78, MOD_ALT | MOD_CONTROL | MOD_SHIFT);
    ShowWindow();
    for (int id : {100, 200, 300, 400}) {
        EXPECT_TRUE(dlg->HotKeys()->IsRegistered(id)) << id;
    }
    dlg->OnExit();
    for (int id : {100, 200, 300, 400}) {
        EXPECT_FALSE(dlg->HotKeys()->IsRegistered(id)) << id;
    }
}

TEST_F(WindowTest, EnterEscapeCloseBoxAndExitEndTheWindowClosingChannels) {
    struct Way {
        const char* name;
        std::function<void(CTetravDlg&)> end;
        int result;
    };
    const Way ways[] = {
        {"Enter", [](CTetravDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, IDOK},
        {"Escape", [](CTetravDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](CTetravDlg& d) { d.close(); }, IDCANCEL},
        {"exit", [](CTetravDlg& d) { d.MenuAction(ID_EXIT)->trigger(); }, IDCANCEL},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        dlg = std::make_unique<CTetravDlg>();
        bool opened = false;
        QTimer::singleShot(200, dlg.get(), [&] {
            InstallScriptedSet({0, 0, 5, 0}, 2, 1);
            dlg->OnPlay();
            opened = dlg->IsTimerRunning(TIMER_SYNC);
            dlg->activateWindow();
            way.end(*dlg);
        });
        EXPECT_EQ(dlg->DoModal(), way.result);
        EXPECT_TRUE(opened);
        EXPECT_TRUE(scripts[2]->deleted);
        EXPECT_EQ(scripts[2]->calls.mid(scripts[2]->calls.indexOf("Destroy")),
                  QStringList({"Destroy", "SetNotifyWindow(null)"}));
        EXPECT_EQ(dlg->m_pChannel[2], nullptr);
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC) || dlg->IsTimerRunning(TIMER_DISPLAY));
        g_strVideoPath[2].clear();
    }
}

TEST_F(WindowTest, RightArrowStepsFromWhicheverControlHasFocus) {
    ShowWindow();
    InstallScriptedSet({10, 0, 10, 0}, 0, 1);
    dlg->OnPlay();
    dlg->activateWindow();
    QWidget* targets[] = {dlg->m_wndVolume, dlg->m_wndPane[1], dlg->m_wndSeekBar};
    int expected = 0;
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->metaObject()->className());
        target->setFocusPolicy(Qt::StrongFocus);
        target->setFocus();
        ASSERT_EQ(dlg->focusWidget(), target);
        dlg->OnPlay();
        QTest::keyClick(target, Qt::Key_Right);
        ++expected;
        EXPECT_TRUE(scripts[0]->steps == expected && scripts[2]->steps == expected);
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(Status(0), QString::fromUtf8("单帧播放"));
    }
    // Other keys step nothing.
    QTest::keyClick(dlg->m_wndPane[1], Qt::Key_Left);
    EXPECT_EQ(scripts[0]->steps, expected);
}

// The menu of a pane with a channel opens at a place fixed by the screen size; a pane without
// a channel opens nothing.
TEST_F(WindowTest, RightClickOpensThePaneMenuAtItsFixedPlace) {
    ShowWindow();
    InstallScriptedSet({0, 0, 10, 0}, 2, 1);
    const QPoint expected(int(unsigned(dlg->m_nScreenWidth) * 0.6666666666666666), dlg->m_nScreenHeight / 4);
    EXPECT_EQ(dlg->ContextMenuPos(2), expected);
    const auto rightClick = [this](int pane) {
        return PopupShownBy(dlg.get(), [&] {
            QTest::mouseClick(dlg->m_wndPane[pane], Qt::RightButton, {}, {5, 5});
        });
    };
    EXPECT_EQ(rightClick(2), expected);
    EXPECT_EQ(rightClick(0), QPoint(-1, -1));

    dlg->m_nScreenWidth = 1024;
    dlg->m_nScreenHeight = 768;
    EXPECT_EQ(dlg->ContextMenuPos(0), QPoint(256, 192));
    // 768 x 0.6666666666666666 rounds to exactly 512.0 in double arithmetic.
    EXPECT_EQ(dlg->ContextMenuPos(1), QPoint(256, 512));
    EXPECT_EQ(dlg->ContextMenuPos(2), QPoint(682, 192));
    EXPECT_EQ(dlg->ContextMenuPos(3), QPoint(682, 512));
}

} // namespace
} // namespace mainwnd_test
