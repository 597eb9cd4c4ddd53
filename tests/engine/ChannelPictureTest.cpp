// The picture: drawn inside the pane with black bars, frame steps, snapshots compared with frames
// decoded by ffmpeg, and the picture widget's life beside its pane's; all once more offscreen.
#include "EngineTestUtil.h"
#include "support/FileBytes.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include <cstdlib>

using namespace enginetest;

namespace {

bool isBlack(QRgb c) {
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

// Frame index (0-based) of clip, decoded by ffmpeg; null image on failure.
QImage referenceFrame(const QString& clip, int index) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", tetrav::test::clip(clip), "-vf",
                            QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-c:v", "bmp", "-f",
                            "image2pipe", "-"});
    return ffmpeg.waitForFinished(20000) ? QImage::fromData(ffmpeg.readAllStandardOutput(), "BMP") : QImage();
}

// Number of pixels whose colour differs by more than 48 in some channel.
int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height() + 1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
                     std::abs(qBlue(p) - qBlue(q)) > 48;
        }
    }
    return count;
}

// The picture fills the pane with bars and follows its place; mouse and keys over it reach the pane;
// video recorded on its side stands upright; Destroy takes the picture widget from a pane that
// lives on, and a pane that goes first leaves the channel neither crashing nor dangling.
TEST(ChannelPicture, FillsThePaneFollowsItsPlacePassesInputAndLivesBesideThePane) {
    auto w = std::make_unique<PaneWindow<RecordingPane>>(QSize(640, 452));
    RecordingPane* pane = w->pane;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window.get()) ||
                QGuiApplication::platformName() == "offscreen");
    GstChannel channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", pane));
    QPointer<QWidget> picture = channel.VideoWidget();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->parentWidget(), pane);
    ASSERT_TRUE(WaitUntil([&] { return frameShownBy(pane) == 0; }, 3000));
    QImage shot = pane->grab().toImage();
    EXPECT_TRUE(isBlack(shot.pixel(5, 226)) && isBlack(shot.pixel(634, 226))) << "bars left and right";
    const QRgb inside = shot.pixel(600, 60); // the clip's dark blue background
    EXPECT_NEAR(qBlue(inside), 0x40, 24);
    EXPECT_NEAR(qRed(inside), 0x20, 24);
    pane->setFocus();
    QWindow* window = w->window->windowHandle();
    QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(320, 226));
    QTest::mouseClick(window, Qt::RightButton, {}, QPoint(320, 226));
    QTest::keyClick(window, Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_GE(pane->doubleClicks, 1);
    EXPECT_GE(pane->rightPresses, 1);
    EXPECT_EQ(pane->rightArrows, 1);

    // Play a while: the frames the pane shows at the pane's size are the channel's.
    ASSERT_TRUE(channel.Run());
    EXPECT_TRUE(WaitUntil([&] { return frameShownBy(pane) > 10; }, 3000));
    ASSERT_TRUE(channel.Pause());
    ASSERT_TRUE(WaitSettled(channel));
    QCoreApplication::processEvents();
    EXPECT_EQ(frameShownBy(pane), frameNumberIn(snapshot(channel)));

    // A tall place: bars above and below once the next frame comes.
    ASSERT_TRUE(channel.SetWindowPosition(0, 0, 200, 300));
    ASSERT_EQ(channel.VideoWidget()->geometry(), QRect(0, 0, 200, 300));
    ASSERT_TRUE(channel.StepOneFrame());
    ASSERT_TRUE(WaitSettled(channel));
    QCoreApplication::processEvents();
    shot = pane->grab().toImage();
    EXPECT_TRUE(isBlack(shot.pixel(100, 20)) && isBlack(shot.pixel(100, 285))) << "bars above and below";
    EXPECT_EQ(frameNumberIn(shot, fittedRect(QSize(320, 240), QRect(0, 0, 200, 300))),
              frameNumberIn(snapshot(channel)));

    // Video recorded on its side (frames stored a quarter turn counter-clockwise, the container
    // saying to turn them back) is shown and snapped upright.
    channel.Destroy();
    EXPECT_FALSE(picture);
    EXPECT_TRUE(pane->findChildren<QWidget*>().isEmpty());
    ASSERT_TRUE(openClip(channel, "rotated_90.mp4", pane));
    ASSERT_TRUE(channel.SetCurrentPositionExact(1.0));
    ASSERT_TRUE(WaitSettled(channel));
    const QImage upright = snapshot(channel);
    EXPECT_EQ(upright.size(), QSize(320, 240));
    EXPECT_EQ(frameNumberIn(upright), 25);
    EXPECT_TRUE(WaitUntil([&] { return frameShownBy(pane) == 25; }, 3000));

    ASSERT_TRUE(channel.Run());
    w.reset();
    EXPECT_EQ(channel.VideoWidget(), nullptr);
    EXPECT_TRUE(channel.SetWindowPosition(0, 0, 100, 100));
    WaitUntil([] { return false; }, 200); // frames keep coming with nowhere to go
    PaneWindow again(QSize(320, 240));
    EXPECT_TRUE(channel.SetDisplayWindow(again.pane));
    EXPECT_EQ(channel.VideoWidget()->parentWidget(), again.pane);
    channel.Stop();
    channel.Destroy();
}

// The snapshot is the frame shown as a 24-bit bitmap, checked against ffmpeg's decoding; a step
// shows the next frame, from paused and from playing.
TEST(ChannelPicture, SnapshotIsTheFrameAsA24BitBitmapAndStepShowsTheNextFrame) {
    PaneWindow w(QSize(320, 240));
    GstChannel channel;
    ASSERT_TRUE(openClip(channel, "c_10s.mp4", w.pane));
    ASSERT_TRUE(channel.SetCurrentPositionExact(1.5)); // frame 37 covers 1.48 s to 1.52 s
    ASSERT_TRUE(WaitSettled(channel));
    const QString path = tempBmp("header");
    ASSERT_EQ(channel.SnapshotBitmap(path), IChannel::SnapshotResult::Written);
    const QByteArray bytes = tetrav::test::readAll(path);
    ASSERT_EQ(bytes.size(), 230454);
    // The header, little-endian: "BM", file size, reserved, pixel offset, header size, width, height
    // (positive: bottom-up rows), one plane, 24 bits, no compression, pixel bytes.
    EXPECT_EQ(bytes.left(38),
              QByteArray::fromHex("424d 36840300 00000000 36000000 28000000 40010000 f0000000 0100 1800 "
                                  "00000000 00840300"));
    const QImage image(path);
    QFile::remove(path);
    const QImage frame37 = referenceFrame("c_10s.mp4", 37);
    const QImage frame38 = referenceFrame("c_10s.mp4", 38);
    ASSERT_FALSE(frame37.isNull() || frame38.isNull());
    const int same = differingPixels(image, frame37);
    const int next = differingPixels(image, frame38);
    EXPECT_LT(same, 100) << "pixels off the decoded frame 37";
    EXPECT_GT(next, 4 * same + 200) << "the comparison tells neighbouring frames apart";
    EXPECT_EQ(frameNumberIn(image), 37);

    for (int expected = 38; expected <= 40; ++expected) {
        ASSERT_TRUE(channel.StepOneFrame());
        ASSERT_TRUE(WaitSettled(channel));
        EXPECT_EQ(frameNumberIn(snapshot(channel)), expected);
        double pos = 0;
        ASSERT_TRUE(channel.GetCurrentPosition(pos));
        EXPECT_NEAR(pos, expected * 0.04, 0.021);
        QCoreApplication::processEvents();
        EXPECT_TRUE(WaitUntil([&] { return frameShownBy(w.pane) == expected; }, 1000));
    }

    ASSERT_TRUE(channel.Run());
    WaitUntil([] { return false; }, 400);
    ASSERT_TRUE(channel.StepOneFrame());
    EXPECT_TRUE(channel.IsPaused()) << "a step from playing pauses";
    ASSERT_TRUE(WaitSettled(channel));
    const int stepped = frameNumberIn(snapshot(channel));
    EXPECT_GT(stepped, 40);
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(frameNumberIn(snapshot(channel)), stepped) << "and stays paused";
    ASSERT_TRUE(channel.StepOneFrame());
    ASSERT_TRUE(WaitSettled(channel));
    EXPECT_EQ(frameNumberIn(snapshot(channel)), stepped + 1);
}

TEST(ChannelPictureOffscreen, PictureTestsPassUnderTheOffscreenPlatform) {
    if (QGuiApplication::platformName() == "offscreen") {
        GTEST_SKIP() << "already running offscreen";
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ChannelPicture.*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    // Every picture test ran and passed (none skipped), however many there are.
    const QByteArray output = child.readAll();
    EXPECT_TRUE(child.exitCode() == 0 && output.contains("[  PASSED  ]") && !output.contains("[  SKIPPED ]"))
        << output.toStdString();
}

} // namespace
