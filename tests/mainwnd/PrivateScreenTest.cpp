// The main window on X servers of its own: a 1024 x 768 screen, and a first start that writes
// the settings file and grabs the default hot keys (grabs must not disturb the shared server).
#include "WindowTestSupport.h"

#include "controls/CToolBarXP.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CVideoPane.h"
#include "platform/CHotKeyManager.h"
#include "support/ChildCase.h"
#include "support/XvfbServer.h"

#include <QFile>
#include <QScreen>

namespace mainwnd_test {
namespace {

using tetrav::test::RunChildCase;
using tetrav::test::XvfbServer;

void ShowAndWait(CTetravDlg& dlg) {
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QApplication::processEvents();
}

TETRAV_CHILD_CASE(MainWindowOn1024x768) {
    WriteSettings();
    MessageBoxRecorder boxes;
    CTetravDlg dlg;
    ShowAndWait(dlg);
    ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(1024, 768));
    EXPECT_EQ(dlg.m_nScreenWidth, 1024);
    EXPECT_EQ(dlg.m_nScreenHeight, 768);
    const int edges[4] = {256, 512, 731, 1024};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg.m_wndStatusBar->RightEdge(i), edges[i]);
        EXPECT_EQ(dlg.m_wndPane[i]->size(), QSize(512, 324));
    }
    EXPECT_EQ(dlg.m_wndPane[3]->pos(), QPoint(512, 324));
    EXPECT_EQ(dlg.m_wndToolBar->geometry(), QRect(0, 668, 210, 50));
    EXPECT_EQ(dlg.m_wndSeekBar->geometry(), QRect(260, 678, 1024 - 260, 10));
    EXPECT_LE(dlg.m_wndToolBar->geometry().bottom(), dlg.m_wndStatusBar->y());
    EXPECT_EQ(dlg.ContextMenuPos(2), QPoint(682, 192));
}

TETRAV_CHILD_CASE(FirstStartWritesDefaultsAndGrabsHotKeys) {
    ASSERT_FALSE(CSettingsFile::Exists());
    MessageBoxRecorder boxes;
    CTetravDlg dlg;
    ShowAndWait(dlg);
    EXPECT_TRUE(CSettingsFile::Exists());
    EXPECT_EQ(g_settings.MiniVideo, 1);
    EXPECT_EQ(g_settings.ForeView, 0);
    for (int id : {100, 200, 300, 400}) {
        EXPECT_TRUE(dlg.HotKeys()->IsRegistered(id)) << id;
    }
    EXPECT_TRUE(dlg.MenuAction(ID_VIEW_NORMAL)->isChecked());
    EXPECT_FALSE(dlg.MenuAction(ID_VIEW_NORMAL)->isEnabled());
    EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Ending the window gives the keys back.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    for (int id : {100, 200, 300, 400}) {
        EXPECT_FALSE(dlg.HotKeys()->IsRegistered(id)) << id;
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(PrivateScreen, LayoutOnA1024x768Screen) {
    XvfbServer x(QStringLiteral("1024x768x24"));
    ASSERT_TRUE(x.isRunning());
    QTemporaryDir config;
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const auto result = RunChildCase(QStringLiteral("MainWindowOn1024x768"), env);
    EXPECT_CHILD_PASSES(result);
}

TEST(PrivateScreen, FirstStartWritesTheSettingsAndRegistersTheDefaultHotKeys) {
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    QTemporaryDir config;
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const auto result = RunChildCase(QStringLiteral("FirstStartWritesDefaultsAndGrabsHotKeys"), env);
    EXPECT_CHILD_PASSES(result);
    EXPECT_TRUE(QFile::exists(config.path() + QStringLiteral("/tetrav/TetravSet.ini")));
}

} // namespace
} // namespace mainwnd_test
