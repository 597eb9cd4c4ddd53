// The in and out marks and the export, as a user reaches them in the real window: keys I and O
// at the reference's position (reached by an exact go-to over MPRIS), the marked span on the
// seek bar, play that stops at the out mark, 文件 -> 导出视频... with the pointer, the file name
// typed and 导出 clicked; the file written holds the marked interval, in step.
#include "e2e/SetSession.h"
#include "export/ExportReadBack.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

using namespace tetrav::test;

namespace {

// Bluish pixels along the middle row of the seek bar between x0 and x1.
int MarkedPixels(const QImage& screen, const QRect& bar, int x0, int x1) {
    int n = 0;
    const int y = bar.center().y();
    for (int x = std::max(x0, bar.left()); x <= std::min(x1, bar.right()); ++x) {
        const QRgb c = screen.pixel(x, y);
        n += qBlue(c) > qRed(c) + 60 ? 1 : 0;
    }
    return n;
}

TEST(ExportWindowTest, MarksStopPlayAndTheMarkedIntervalIsExported) {
    SetSession s;
    ASSERT_TRUE(s.ready());
    const QString settings =
        QStringLiteral("[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n");
    const QStringList clips = {clip("sync_h264.mp4"), clip("sync_h264_b.mkv"), clip("sync_vp8.webm"),
                               clip("sync_mpeg4.avi")};
    const QString started = s.open(clips, settings);
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    const auto showing = [&](int frame) {
        return WaitUntil(
            [&] {
                return s.read().n == std::array<int, 4>{frame, frame, frame, frame};
            },
            10000, 50);
    };

    // In at frame 51 (a key frame in none of the four), out at frame 100.
    ASSERT_TRUE(s.setPosition(2.04));
    ASSERT_TRUE(showing(51));
    ASSERT_TRUE(s.key(QStringLiteral("i")));
    ASSERT_TRUE(s.setPosition(4.0));
    ASSERT_TRUE(showing(100));
    ASSERT_TRUE(s.key(QStringLiteral("o")));
    EXPECT_TRUE(WaitUntil(
        [&] { return s.statusTexts().contains(QStringLiteral("入点 00:00:02.040，出点 00:00:04.000")); },
        5000, 100))
        << s.statusTexts().join(QLatin1Char('|')).toStdString();

    // The seek bar shows the span: from 17 % to a third of the bar, and nothing beyond it.
    const QRect bar = s.extents(QStringLiteral("播放进度"));
    ASSERT_FALSE(bar.isEmpty());
    const QImage screen = s.screen();
    const int track = bar.width() - 3 * 25; // the bar's arrows and thumb are 25 pixels wide
    const int x0 = bar.left() + 25 + 12 + int(std::lround(2.04 / 12 * track));
    const int x1 = bar.left() + 25 + 12 + int(std::lround(4.0 / 12 * track));
    EXPECT_GT(MarkedPixels(screen, bar, x0 + 2, x0 + (x1 - x0) / 3), (x1 - x0) / 4);
    EXPECT_EQ(MarkedPixels(screen, bar, x1 + 30, bar.right() - 30), 0);

    // Play from 3 s stops at the out mark.
    ASSERT_TRUE(s.setPosition(3.0));
    ASSERT_TRUE(showing(75));
    ASSERT_TRUE(s.mpris(QStringLiteral("Play")));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return s.mprisProperty(QStringLiteral("PlaybackStatus")).toString() == QStringLiteral("Paused");
        },
        10000, 50));
    EXPECT_TRUE(showing(100)) << "frames shown: " << s.read().n[0];

    // 文件 -> 导出视频...
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("片段 A.mp4"));
    ASSERT_TRUE(s.chooseMenuItem(QStringLiteral("文件"), QStringLiteral("导出视频...")));
    ASSERT_TRUE(s.waitFor(QStringLiteral("导出文件")));
    // No window manager runs here: the keyboard goes to the dialog when it is given the focus.
    ASSERT_TRUE(
        s.xdotool({"search", "--onlyvisible", "--name", QStringLiteral("导出视频"), "windowfocus", "%1"}));
    const QRect fileEdit = s.extents(QStringLiteral("导出文件"));
    ASSERT_TRUE(s.click(fileEdit.center()));
    ASSERT_TRUE(s.xdotool({"key", "ctrl+a", "BackSpace"}));
    // xdotool types a character the keyboard lacks by mapping a spare key to it for that press;
    // slowly, so the window reads each press before the key is mapped to the next character.
    ASSERT_TRUE(s.xdotool({"type", "--delay", "5", dir.path() + QLatin1Char('/')}));
    ASSERT_TRUE(s.xdotool({"type", "--delay", "250", QFileInfo(out).fileName()}));
    ASSERT_TRUE(s.click(s.extents(QStringLiteral("导出"), QStringLiteral("push button")).center()));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(out); }, 60000, 100))
        << "no file came: " << QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    EXPECT_TRUE(s.waitFor(QStringLiteral("已导出 49 帧：") + out, {}, 5000));

    const exporttest::ReadBack back = exporttest::ReadExport(out);
    EXPECT_TRUE(back.sound) << "the reference's sound";
    ASSERT_EQ(back.frames.size(), 49u);
    for (std::size_t i = 0; i < back.frames.size(); ++i) {
        const int n = 51 + int(i);
        EXPECT_EQ(back.frames[i], (std::array<int, 4>{n, n, n, n})) << "frame " << i;
    }
    // Only the file: no temporary one beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(out).fileName()});
}

} // namespace
