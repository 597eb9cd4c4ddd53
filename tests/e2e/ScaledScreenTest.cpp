// The real program on scaled desktops (Qt's scale factor over screens of common sizes): it
// starts, lays its controls out inside the screen, and the first picture of a clip stands in pane 1
// with its frame number readable.
#include "e2e/AtspiClient.h"
#include "e2e/DesktopEnvironment.h"
#include "e2e/PaneCheck.h"
#include "support/FrameIndex.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"

#include <gtest/gtest.h>

#include <QDir>

#include <memory>

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
    XvfbServer x{QString::fromLatin1(p.screen) + QStringLiteral("x24")};
    PrivateSessionBus bus{x.environment()};
    QTemporaryDir runtime;
    QTemporaryDir config;
    ASSERT_TRUE(x.isRunning() && bus.isRunning() && runtime.isValid() && config.isValid());
    AtspiClient atspi;
    ASSERT_TRUE(atspi.connect(bus.address()));
    QProcessEnvironment env = DesktopEnvironment(x, bus, runtime, config);
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(p.factor));
    ProgramRun run(env, {clip("d_20s.mp4")});

    const QStringList names = {"视频一", "视频二", "视频三", "视频四", "播放进度", "音量", "打开文件"};
    QString app;
    QList<AccessibleNode> tree;
    const auto find = [&](const QString& name) -> std::optional<AccessibleNode> {
        for (const AccessibleNode& n : tree) {
            if (n.name == name) {
                return n;
            }
        }
        return std::nullopt;
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            app = atspi.findApplication(run.pid());
            tree = atspi.tree(app);
            return !run.isRunning() || std::all_of(names.begin(), names.end(),
                                                   [&](const QString& n) { return find(n).has_value(); });
        },
        30000, 200));
    ASSERT_TRUE(run.isRunning()) << run.describe();

    // Every control lies inside the screen; the panes of the grid do not overlap.
    const QImage screen = GrabScreen(x.display());
    ASSERT_FALSE(screen.isNull());
    QRect panes[4];
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(qPrintable(names[i]));
        const QRect r = atspi.extentsOnScreen(*find(names[i]));
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
            const QImage now = GrabScreen(x.display());
            const PaneLook look = lookAt(now, panes[0]);
            frame = look.picture.isEmpty() ? -1 : enginetest::frameNumberIn(now, look.picture, 240);
            return frame >= 0;
        },
        15000, 200))
        << "no frame number in pane 1";
    const QString folder = qEnvironmentVariable("TETRAV_KEY_SHOTS");
    if (!folder.isEmpty()) {
        GrabScreen(x.display())
            .save(QDir(folder).filePath(QStringLiteral("scaled-%1-%2.png").arg(p.screen, p.factor)));
    }
    run.signal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_TRUE(run.exitedWith(0)) << run.describe();
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
