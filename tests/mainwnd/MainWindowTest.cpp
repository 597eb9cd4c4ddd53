// The real main window on the X server: geometry, bars, menus, accessibility, settings applied
// when shown, keys and mouse, and the end of the modal window.
#include "WindowTestSupport.h"

#include "controls/CMenuEx.h"
#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "platform/CHotKeyManager.h"
#include "uikit/CBCGPControlIds.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace mainwnd_test {
namespace {

QString AccessibleName(QObject* o) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(o);
    return iface == nullptr ? QString() : iface->text(QAccessible::Name);
}

class WindowTest : public MainWindowTest {
protected:
    QScreen* Screen() const { return QGuiApplication::primaryScreen(); }
};

TEST_F(WindowTest, FillsTheWorkAreaAndLaysOutFromTheScreenSize) {
    ShowWindow();
    const QSize screen = Screen()->size();
    EXPECT_EQ(dlg->m_nScreenWidth, screen.width());
    EXPECT_EQ(dlg->m_nScreenHeight, screen.height());
    EXPECT_EQ(dlg->frameGeometry().intersected(Screen()->availableGeometry()), dlg->frameGeometry());
    EXPECT_TRUE(WaitFor([&] { return dlg->geometry() == Screen()->availableGeometry(); }, 2000));
    EXPECT_EQ(dlg->m_nBottomBand, 90);
    EXPECT_EQ(dlg->m_nMargin, 10);
    EXPECT_EQ(dlg->m_nPaneInset, 60);

    // The window's controls sit exactly where the arithmetic puts them.
    MainLayoutInput in{screen.width(), screen.height(), dlg->ClientArea()->width(), dlg->m_wndStatusBar->y()};
    const MainLayout l = ComputeMainLayout(in);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg->m_wndPane[i]->geometry(), l.panes[i]) << "pane " << i;
    }
    EXPECT_EQ(dlg->m_wndToolBar->geometry(), l.toolBar);
    EXPECT_EQ(dlg->m_wndVolume->geometry(), l.volume);
    EXPECT_EQ(dlg->m_wndSeekBar->geometry(), l.seekBar);
    EXPECT_EQ(dlg->m_wndSeekBar->m_rectClient, QRect(0, 0, l.seekBar.width(), 10));
    EXPECT_EQ(dlg->m_wndStatusBar->geometry().bottom(), dlg->ClientArea()->height() - 1);
    EXPECT_EQ(dlg->m_wndStatusBar->width(), dlg->ClientArea()->width());

    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg->m_wndStatusBar->RightEdge(i), l.statusEdges[i]) << "status part " << i;
    }
    if (screen == QSize(1280, 1024)) {
        EXPECT_FALSE(l.mended) << "a full-screen window on 1280 x 1024 has room for the classic layout";
    }
}

TEST_F(WindowTest, SmallWindowKeepsEveryControlVisible) {
    ShowWindow();
    dlg->setGeometry(0, 0, 1100, 800);
    QApplication::processEvents();
    ASSERT_TRUE(WaitFor([&] { return dlg->width() == 1100 && dlg->height() == 800; }, 2000));
    const QRect status = dlg->m_wndStatusBar->geometry();
    const QRect client = dlg->ClientArea()->rect();
    EXPECT_EQ(status.bottom(), client.bottom());
    QWidget* controls[] = {dlg->m_wndToolBar, dlg->m_wndVolume,  dlg->m_wndSeekBar, dlg->m_wndPane[0],
                           dlg->m_wndPane[1], dlg->m_wndPane[2], dlg->m_wndPane[3]};
    for (QWidget* w : controls) {
        EXPECT_FALSE(w->geometry().intersects(status)) << w->metaObject()->className();
        EXPECT_TRUE(client.contains(w->geometry())) << w->metaObject()->className();
    }
    // The panes do not run into the bottom band.
    EXPECT_LE(dlg->m_wndPane[1]->geometry().bottom(), dlg->m_wndToolBar->geometry().top());
    // Every status part stays inside the window.
    EXPECT_LE(dlg->m_wndStatusBar->RightEdge(3), client.width());
    EXPECT_GT(dlg->m_wndStatusBar->PartRect(3).width(), 0);
}

TEST_F(WindowTest, IdleStateAfterShowing) {
    ShowWindow();
    const int disabled[] = {ID_TB_PLAY,   ID_TB_STOP,         ID_TB_PAUSE,
                            ID_TB_SLOWER, ID_TB_NORMAL_SPEED, ID_TB_FASTER};
    for (int id : disabled) {
        EXPECT_FALSE(dlg->m_wndToolBar->IsButtonEnabled(id)) << id;
    }
    EXPECT_TRUE(dlg->m_wndToolBar->IsButtonEnabled(ID_TB_OPEN));
    const std::pair<int, const char*> tips[] = {{ID_TB_STOP, "停止播放"},         {ID_TB_PLAY, "播放"},
                                                {ID_TB_PAUSE, "暂停播放"},        {ID_TB_SLOWER, "倒回播放"},
                                                {ID_TB_NORMAL_SPEED, "恢复播放"}, {ID_TB_FASTER, "快速播放"},
                                                {ID_TB_OPEN, "打开文件"}};
    for (const auto& [id, tip] : tips) {
        EXPECT_EQ(dlg->m_wndToolBar->GetTipText(id), QString::fromUtf8(tip)) << id;
    }
    EXPECT_EQ(GetDlgItem(dlg->ClientArea(), IDC_SEEKBAR), dlg->m_wndSeekBar);
    EXPECT_FALSE(dlg->m_wndSeekBar->isEnabled());
    EXPECT_FALSE(dlg->m_wndVolume->isEnabled());
    EXPECT_EQ(dlg->m_wndSeekBar->GetScrollPos(), 0);
    QWidget* placeholder = GetDlgItem(dlg->ClientArea(), IDC_SEEKBAR_PLACEHOLDER);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_FALSE(placeholder->isVisible());
    EXPECT_EQ(GetDlgItem(dlg->ClientArea(), IDC_VOLUME), dlg->m_wndVolume);
    EXPECT_EQ(GetDlgItem(dlg->ClientArea(), IDC_STATUSBAR), dlg->m_wndStatusBar);
}

TEST_F(WindowTest, WindowCarriesTitleAndIcon) {
    ShowWindow();
    EXPECT_EQ(dlg->windowTitle(), "Tetrav");
    ASSERT_TRUE(QFile::exists(":/res/icons/128.png"));
    EXPECT_FALSE(dlg->windowIcon().isNull());
    EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(WindowTest, StatusBarPartsCarryTheirTextsAsAccessibleNames) {
    ShowWindow();
    const char* texts[4] = {"提示信息", "总时间", "播放时间", "同步信息"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg->m_wndStatusBar->GetText(i), QString::fromUtf8(texts[i]));
        EXPECT_EQ(AccessibleName(dlg->m_wndStatusBar->PartLabel(i)), QString::fromUtf8(texts[i]));
        EXPECT_TRUE(dlg->m_wndStatusBar->PartLabel(i)->isVisible());
    }
    dlg->OnStop();
    EXPECT_EQ(AccessibleName(dlg->m_wndStatusBar->PartLabel(0)), QString::fromUtf8("停止播放"));
}

void CollectAccessible(QAccessibleInterface* iface, int depth, QStringList& names,
                       QList<QAccessibleInterface*>& valued) {
    if (iface == nullptr || depth > 12) {
        return;
    }
    names << iface->text(QAccessible::Name);
    if (iface->valueInterface() != nullptr) {
        valued << iface;
    }
    for (int i = 0; i < iface->childCount(); ++i) {
        CollectAccessible(iface->child(i), depth + 1, names, valued);
    }
}

TEST_F(WindowTest, EveryControlIsReachableThroughTheAccessibilityTree) {
    ShowWindow();
    QStringList names;
    QList<QAccessibleInterface*> valued;
    CollectAccessible(QAccessible::queryAccessibleInterface(dlg.get()), 0, names, valued);
    // The tool bar buttons, panes and status texts are found through AT-SPI by the desktop test.
    const char* expected[] = {"文件", "播放控制", "退出", "关于"};
    for (const char* name : expected) {
        EXPECT_TRUE(names.contains(QString::fromUtf8(name))) << name;
    }
    // The seek bar and the volume slider report their values.
    QStringList valuedObjects;
    for (QAccessibleInterface* iface : valued) {
        valuedObjects << (iface->object() ? iface->object()->metaObject()->className() : "");
    }
    EXPECT_TRUE(valuedObjects.contains("CXScrollBar")) << valuedObjects.join(',').toStdString();
    EXPECT_TRUE(valuedObjects.contains("CVolumeSlider")) << valuedObjects.join(',').toStdString();
}

TEST_F(WindowTest, PanesAreBlackNamedNumberedAndHaveTheirMenus) {
    ShowWindow();
    const char* names[4] = {"视频一", "视频二", "视频三", "视频四"};
    const int titles[4] = {ID_PANE_TITLE_1, ID_PANE_TITLE_2, ID_PANE_TITLE_3, ID_PANE_TITLE_4};
    for (int i = 0; i < 4; ++i) {
        QWidget* pane = GetDlgItem(dlg->ClientArea(), IDC_VIDEO1 + i);
        ASSERT_EQ(pane, dlg->m_wndPane[i]);
        EXPECT_EQ(AccessibleName(pane), QString::fromUtf8(names[i]));
        const QImage shot = pane->grab().toImage();
        EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black));
        // Its context menu (the menus themselves: ContextMenuTest).
        ASSERT_NE(dlg->m_pPopup[i], nullptr);
        EXPECT_EQ(CMenuEx::CommandId(dlg->m_pPopup[i]->actions().value(0)), titles[i]);
    }
}

TEST_F(WindowTest, MenuBarHasEveryItemWithItsTextAndId) {
    ShowWindow();
    struct Item {
        const char* text;
        int id; // 0 = separator
    };
    const std::vector<std::pair<const char*, std::vector<Item>>> expected = {
        {"文件", {{"打开文件 \tCtrl+O", ID_OPEN_FILES}, {"", 0}, {"退出", ID_EXIT}}},
        {"播放控制",
         {{"前端显示", ID_VIEW_TOPMOST},
          {"一般显示", ID_VIEW_NORMAL},
          {"", 0},
          {"逐帧播放   ->", ID_PLAY_STEP},
          {"逐帧后退   <-", ID_PLAY_STEP_BACK},
          {"跳至(&G) \tCtrl+G", ID_PLAY_GOTO},
          {"选项(&X)\tCtrl+X", ID_OPTIONS}}},
        {"帮助 ", {{"帮助 \tCtrl+H", ID_HELP_CONTENTS}, {"关于", ID_APP_ABOUT}}}};
    const QList<QAction*> menus = dlg->MenuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    EXPECT_EQ(dlg->m_pMainMenu, dlg->MenuBar());
    for (size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), QString::fromUtf8(expected[m].first));
        const QList<QAction*> items = menus[m]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[m].second.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            const Item& want = expected[m].second[static_cast<size_t>(i)];
            EXPECT_EQ(items[i]->isSeparator(), want.id == 0);
            if (want.id != 0) {
                EXPECT_EQ(items[i]->text(), QString::fromUtf8(want.text));
                EXPECT_EQ(items[i]->data().toInt(), want.id);
                EXPECT_EQ(dlg->MenuAction(want.id), items[i]);
                // The key names are text only.
                EXPECT_TRUE(items[i]->shortcut().isEmpty()) << want.text;
            }
        }
    }
}

// ForeView 1 is topmost; any other value is the normal mode. The mode in force is checked and
// greyed, the other one can be chosen.
TEST_F(WindowTest, DisplayModeFromTheSettingsIsCheckedAndGreyed) {
    for (const int foreView : {2, 1}) {
        SCOPED_TRACE(foreView);
        const bool topmost = foreView == 1;
        dlg = std::make_unique<CTetravDlg>();
        WriteSettings(foreView);
        ShowWindow();
        EXPECT_EQ(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        ASSERT_NE(dlg->windowHandle(), nullptr);
        EXPECT_EQ(dlg->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isChecked(), topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isEnabled(), !topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isChecked(), !topmost);
        EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isEnabled(), topmost);
    }
}

// 前端显示 and 一般显示 from the menu, inside the modal run that starts topmost: the window flag
// follows, both items are checked and greyed exactly, the modal window goes on, and the stored
// display setting is left as it was.
TEST_F(WindowTest, DisplayModeCommandsSwitchTheWindowAndBothItemsOnly) {
    WriteSettings(/*foreView*/ 1);
    QFile file(CSettingsFile::FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    file.close();
    struct Step {
        int command; // 0: as loaded
        bool topmost;
    };
    const Step steps[] = {
        {0, true}, {ID_VIEW_NORMAL, false}, {ID_VIEW_TOPMOST, true}, {ID_VIEW_NORMAL, false}};
    int checked = 0;
    QTimer::singleShot(300, dlg.get(), [&] {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.command);
            if (step.command != 0) {
                dlg->MenuAction(step.command)->trigger();
                QApplication::processEvents();
            }
            EXPECT_TRUE(dlg->isVisible());
            EXPECT_EQ(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint), step.topmost);
            EXPECT_EQ(dlg->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), step.topmost);
            EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isChecked(), step.topmost);
            EXPECT_EQ(dlg->MenuAction(ID_VIEW_TOPMOST)->isEnabled(), !step.topmost);
            EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isChecked(), !step.topmost);
            EXPECT_EQ(dlg->MenuAction(ID_VIEW_NORMAL)->isEnabled(), step.topmost);
            EXPECT_EQ(g_settings.ForeView, 1);
            ++checked;
        }
        dlg->OnExit();
    });
    EXPECT_EQ(dlg->DoModal(), IDCANCEL);
    EXPECT_EQ(checked, 4) << "the modal window ended early";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), stored);
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
        dlg = std::make_unique<CTetravDlg>();
        auto script = std::make_shared<ChannelScript>();
        script->length = 5;
        bool opened = false;
        QTimer::singleShot(200, dlg.get(), [&] {
            dlg->m_pChannel[2] = new ScriptedChannel(script);
            g_strVideoPath[2] = QStringLiteral("/scripted/c.mp4");
            dlg->m_dLength[2] = 5;
            dlg->m_nOpenCount = 1;
            dlg->m_bReference[2] = 1;
            dlg->m_dTotalSecs = 5;
            dlg->OnPlay();
            opened = dlg->IsTimerRunning(TIMER_SYNC);
            dlg->activateWindow();
            way.end(*dlg);
        });
        EXPECT_EQ(dlg->DoModal(), way.result) << way.name;
        EXPECT_TRUE(opened) << way.name;
        EXPECT_TRUE(script->deleted) << way.name;
        EXPECT_EQ(script->calls.mid(script->calls.indexOf("Stop")),
                  QStringList({"Stop", "Destroy", "SetNotifyWindow(null)"}))
            << way.name;
        EXPECT_EQ(dlg->m_pChannel[2], nullptr) << way.name;
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC)) << way.name;
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_DISPLAY)) << way.name;
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
        target->setFocusPolicy(Qt::StrongFocus);
        target->setFocus();
        ASSERT_EQ(dlg->focusWidget(), target);
        dlg->OnPlay();
        QTest::keyClick(target, Qt::Key_Right);
        ++expected;
        EXPECT_EQ(scripts[0]->steps, expected) << target->metaObject()->className();
        EXPECT_EQ(scripts[2]->steps, expected) << target->metaObject()->className();
        EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC));
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_DISPLAY));
        EXPECT_EQ(dlg->m_wndStatusBar->GetText(0), QString::fromUtf8("单帧播放"));
    }
    // Other keys step nothing.
    QTest::keyClick(dlg->m_wndPane[1], Qt::Key_Left);
    EXPECT_EQ(scripts[0]->steps, expected);
}

TEST_F(WindowTest, RightClickOpensThePaneMenuAtItsFixedPlace) {
    ShowWindow();
    InstallScriptedSet({0, 0, 10, 0}, 2, 1);
    QPoint shownAt(-1, -1);
    QTimer::singleShot(300, dlg.get(), [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            shownAt = popup->pos();
            popup->close();
        }
    });
    QTest::mouseClick(dlg->m_wndPane[2], Qt::RightButton, {}, QPoint(5, 5));
    const unsigned w = static_cast<unsigned>(dlg->m_nScreenWidth);
    const unsigned h = static_cast<unsigned>(dlg->m_nScreenHeight);
    const QPoint expected(static_cast<int>(w * 0.6666666666666666), static_cast<int>(h / 4));
    EXPECT_EQ(dlg->ContextMenuPos(2), expected);
    EXPECT_EQ(shownAt, expected);

    // A pane without a channel opens nothing.
    bool popupSeen = false;
    QTimer::singleShot(300, dlg.get(), [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popupSeen = true;
            popup->close();
        }
    });
    QTest::mouseClick(dlg->m_wndPane[0], Qt::RightButton, {}, QPoint(5, 5));
    QTest::qWait(400);
    EXPECT_FALSE(popupSeen);
}

TEST_F(WindowTest, ContextMenuPlacesFollowTheScreenSize) {
    ShowWindow();
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
