// The real program on scaled desktops (Qt's scale factor over screens of common sizes): it
// starts, lays its controls out inside the screen, and the first picture of a clip stands in pane 1
// with its frame number readable.
#include "e2e/PaneCheck.h"
#include "e2e/SetSession.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace tetrav::test;

struct Scaled {
    const char* screen; // Xvfb's size
    const char* factor; // QT_SCALE_FACTOR
};

void PrintTo(const Scaled& s, std::ostream* os) {
    *os << s.screen << " at " << s.factor;
}

class ScaledScreenTest : public ::testing::TestWithParam<Scaled> {};

TEST_P(ScaledScreenTest, StartsAndLaysOutInsideTheScreen) {
    const Scaled p = GetParam();
    SetSession s(QString::fromLatin1(p.screen) + QStringLiteral("x24"));
    ASSERT_TRUE(s.ready());
    const QString why = s.start({clip("d_20s.mp4")}, QString(), {{"QT_SCALE_FACTOR", p.factor}});
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    const QStringList names = {"视频一", "视频二", "视频三", "视频四", "播放进度", "音量", "打开文件"};
    ASSERT_TRUE(WaitUntil(
        [&] {
            s.refresh();
            return std::all_of(names.begin(), names.end(), [&](const QString& n) { return s.find(n); });
        },
        30000, 200));

    // Every control lies inside the screen; the panes of the grid do not overlap.
    const QImage screen = s.screen();
    ASSERT_FALSE(screen.isNull());
    QRect panes[4];
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(qPrintable(names[i]));
        const QRect r = s.extents(names[i]);
        ASSERT_FALSE(r.isEmpty());
        EXPECT_TRUE(screen.rect().contains(r))
            << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
        if (i < 4) {
            panes[i] = r;
        }
    }
    EXPECT_FALSE(panes[0].intersects(panes[1]) || panes[0].intersects(panes[2]) ||
                 panes[3].intersects(panes[1]));
    // The picture of the clip (paused on its first frame) stands in pane 1, its frame number readable on the
    // screen.
    int frame = -1;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QImage now = s.screen();
            const PaneLook look = lookAt(now, panes[0]);
            frame = look.picture.isEmpty() ? -1 : enginetest::frameNumberIn(now, look.picture, 240);
            return frame >= 0;
        },
        15000, 200))
        << "no frame number in pane 1";
    s.keepShot(QStringLiteral("scaled-%1-%2.png").arg(p.screen, p.factor));
    s.program().signal(SIGTERM);
    ASSERT_TRUE(s.program().waitForExit());
    EXPECT_TRUE(s.program().exitedWith(0)) << s.program().describe();
}

INSTANTIATE_TEST_SUITE_P(Screens, ScaledScreenTest,
                         ::testing::Values(Scaled{"1920x1080", "1.25"}, Scaled{"1920x1080", "1.5"},
                                           Scaled{"1920x1080", "2"}, Scaled{"2560x1600", "2"}),
                         [](const ::testing::TestParamInfo<Scaled>& info) {
                             return QStringLiteral("%1_at_%2")
                                 .arg(info.param.screen,
                                      QString::fromLatin1(info.param.factor).replace('.', '_'))
                                 .toStdString();
                         });

} // namespace
