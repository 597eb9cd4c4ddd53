// The main window on an X server of its own, 1024 x 768, at its first start: the settings file
// written, the default hot keys grabbed (grabs must not disturb the shared server) and given
// back, and the layout from the smaller screen.
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

TETRAV_CHILD_CASE(FirstStartOn1024x768) {
    ASSERT_FALSE(CSettingsFile::Exists());
    MessageBoxRecorder boxes;
    CTetravDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QApplication::processEvents();
    EXPECT_TRUE(CSettingsFile::Exists());
    EXPECT_EQ(g_settings.MiniVideo, 1);
    EXPECT_EQ(g_settings.ForeView, 0);
    for (int id : {100, 200, 300, 400}) {
        EXPECT_TRUE(dlg.HotKeys()->IsRegistered(id)) << id;
    }

    // The figures of the screen it runs on, not of a fixed one.
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

    // Ending the window gives the keys back.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    for (int id : {100, 200, 300, 400}) {
        EXPECT_FALSE(dlg.HotKeys()->IsRegistered(id)) << id;
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(PrivateScreen, FirstStartOnA1024x768ScreenWritesTheSettingsAndHoldsTheDefaultHotKeys) {
    XvfbServer x(QStringLiteral("1024x768x24"));
    ASSERT_TRUE(x.isRunning());
    QTemporaryDir config;
    EXPECT_CHILD_PASSES(
        RunChildCase("FirstStartOn1024x768", x.environment({{"XDG_CONFIG_HOME", config.path()}})));
    EXPECT_TRUE(QFile::exists(config.path() + QStringLiteral("/tetrav/TetravSet.ini")));
}

} // namespace
} // namespace mainwnd_test
