// The main window's first start on an X server of its own. (Default hot keys: StartupTest.)
#include "WindowTestSupport.h"

#include "support/ChildCase.h"
#include "support/XvfbServer.h"

#include <QFile>
#include <QScreen>

namespace mainwnd_test {
namespace {

TETRAV_CHILD_CASE(FirstStartOn1024x768) {
    ASSERT_FALSE(CSettingsFile::Exists());
    MessageBoxRecorder boxes;
    CTetravDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QApplication::processEvents();
    EXPECT_TRUE(CSettingsFile::Exists());
    EXPECT_TRUE(g_settings.MiniVideo == 1 && g_settings.ForeView == 0);
    ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(1024, 768));
    EXPECT_EQ(QSize(dlg.Bars().ScreenWidth(), dlg.Bars().ScreenHeight()), QSize(1024, 768));
    ExpectLaidOut(dlg);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(PrivateScreen, FirstStartOnA1024x768ScreenWritesTheSettingsAndLaysOutForIt) {
    tetrav::test::XvfbServer x(QStringLiteral("1024x768x24"));
    ASSERT_TRUE(x.isRunning());
    QTemporaryDir config;
    EXPECT_CHILD_PASSES(tetrav::test::RunChildCase("FirstStartOn1024x768",
                                                   x.environment({{"XDG_CONFIG_HOME", config.path()}})));
    EXPECT_TRUE(QFile::exists(config.path() + QStringLiteral("/tetrav/TetravSet.ini")));
}

} // namespace
} // namespace mainwnd_test
