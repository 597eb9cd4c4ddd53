// The picture: drawn inside the pane with black bars, frame steps, snapshots compared with
// frames decoded by ffmpeg, and the picture widget's life beside its pane's. The whole suite runs once more
// under Qt's offscreen platform.
#include "EngineTestUtil.h"
#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QTest>

using namespace enginetest;

namespace {

// Frame number of the picture the pane shows now, where a 320x240 picture lands in area.
int shownFrame(QWidget* pane, const QRect& area) {
    return frameNumberIn(pane->grab().toImage(), fittedRect(QSize(320, 240), area));
}

bool isBlack(QRgb c) {
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

TEST(ChannelPicture, FillsThePaneWithBarsAndFollowsItsPlace) {
    PaneWindow w(QSize(640, 452));
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", w.pane));
    const QRect all(0, 0, 640, 452);
    ASSERT_TRUE(WaitUntil([&] { return shownFrame(w.pane, all) == 0; }, 3000));
    QImage shot = w.pane->grab().toImage();
    EXPECT_TRUE(isBlack(shot.pixel(5, 226)) && isBlack(shot.pixel(634, 226))) << "bars left and right";
    const QRgb inside = shot.pixel(600, 60); // the clip's dark blue background
    EXPECT_NEAR(qBlue(inside), 0x40, 24);
    EXPECT_NEAR(qRed(inside), 0x20, 24);

    // Play a while: the frames the pane shows at the pane's size are the channel's.
    ASSERT_TRUE(channel.Run());
    EXPECT_TRUE(WaitUntil([&] { return shownFrame(w.pane, all) > 10; }, 3000));
    ASSERT_TRUE(channel.Pause());
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    QCoreApplication::processEvents();
    EXPECT_EQ(shownFrame(w.pane, all), snapshotFrame(channel));

    // A tall place: bars above and below once the next frame comes.
    ASSERT_TRUE(channel.SetWindowPosition(0, 0, 200, 300));
    ASSERT_EQ(channel.VideoWidget()->geometry(), QRect(0, 0, 200, 300));
    ASSERT_TRUE(channel.StepOneFrame());
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    QCoreApplication::processEvents();
    shot = w.pane->grab().toImage();
    EXPECT_TRUE(isBlack(shot.pixel(100, 20)) && isBlack(shot.pixel(100, 285))) << "bars above and below";
    EXPECT_EQ(frameNumberIn(shot, fittedRect(QSize(320, 240), QRect(0, 0, 200, 300))),
              snapshotFrame(channel));
}

TEST(ChannelPicture, StepShowsTheNextFrameFromPausedAndFromPlaying) {
    PaneWindow w(QSize(320, 240));
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "c_10s.mp4", w.pane));
    ASSERT_TRUE(channel.SetCurrentPositionExact(2.02));
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    ASSERT_EQ(snapshotFrame(channel), 50);
    for (int expected = 51; expected <= 53; ++expected) {
        ASSERT_TRUE(channel.StepOneFrame());
        ASSERT_TRUE(channel.WaitUntilSettled(3000));
        EXPECT_EQ(snapshotFrame(channel), expected);
        double pos = 0;
        ASSERT_TRUE(channel.GetCurrentPosition(pos));
        EXPECT_NEAR(pos, expected * 0.04, 0.021);
        QCoreApplication::processEvents();
        EXPECT_TRUE(WaitUntil([&] { return shownFrame(w.pane, QRect(0, 0, 320, 240)) == expected; }, 1000))
            << "the pane shows the stepped frame";
    }

    ASSERT_TRUE(channel.Run());
    WaitUntil([] { return false; }, 400);
    ASSERT_TRUE(channel.StepOneFrame());
    EXPECT_TRUE(channel.IsPaused()) << "a step from playing pauses";
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    const int stepped = snapshotFrame(channel);
    EXPECT_GT(stepped, 53);
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(snapshotFrame(channel), stepped) << "and stays paused";
    ASSERT_TRUE(channel.StepOneFrame());
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    EXPECT_EQ(snapshotFrame(channel), stepped + 1);
}

TEST(ChannelPicture, SnapshotIsTheFrameAsA24BitBitmap) {
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4"));
    ASSERT_TRUE(channel.SetCurrentPositionExact(1.5)); // frame 37 covers 1.48 s to 1.52 s
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    const QString path = tempBmp("header");
    ASSERT_EQ(channel.SnapshotBitmap(path), CChannelGraph::SnapshotResult::Written);

    const QByteArray bytes = tetrav::test::readAll(path);
    ASSERT_EQ(bytes.size(), 230454);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    // The header: file size, reserved, pixel offset, header size, width, height (positive:
    // bottom-up rows), one plane, 24 bits, no compression, pixel bytes.
    const struct {
        int at, bytes;
        quint32 value;
    } fields[] = {{2, 4, 230454}, {6, 4, 0},  {10, 4, 54}, {14, 4, 40}, {18, 4, 320},
                  {22, 4, 240},   {26, 2, 1}, {28, 2, 24}, {30, 4, 0},  {34, 4, 230400}};
    for (const auto& f : fields) {
        quint32 v = 0;
        for (int i = f.bytes - 1; i >= 0; --i) {
            v = v << 8 | quint8(bytes[f.at + i]);
        }
        EXPECT_EQ(v, f.value) << "header field at byte " << f.at;
    }
    const QImage image(path);
    const QImage frame37 = referenceFrame("a_6s.mp4", 37, {320, 240});
    const QImage frame38 = referenceFrame("a_6s.mp4", 38, {320, 240});
    ASSERT_FALSE(frame37.isNull() || frame38.isNull());
    const int same = differingPixels(image, frame37);
    const int next = differingPixels(image, frame38);
    EXPECT_LT(same, 100) << "pixels off the decoded frame 37";
    EXPECT_GT(next, 4 * same + 200) << "the comparison tells neighbouring frames apart";
    EXPECT_EQ(frameNumberIn(image), 37);
    QFile::remove(path);
}

TEST(ChannelPicture, VideoRecordedOnItsSideIsShownAndSnappedUpright) {
    // Frames stored a quarter turn counter-clockwise, with the container saying to turn them back.
    PaneWindow w(QSize(640, 452));
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "rotated_90.mp4", w.pane));
    ASSERT_TRUE(channel.SetCurrentPositionExact(1.0));
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    const QImage image = snapshot(channel);
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(frameNumberIn(image), 25);
    EXPECT_TRUE(WaitUntil([&] { return shownFrame(w.pane, QRect(0, 0, 640, 452)) == 25; }, 3000));
}

// A pane that records the input it receives.
class InputPane : public QWidget {
public:
    using QWidget::QWidget;
    int doubleClicks = 0;
    int rightPresses = 0;
    int rightArrows = 0;

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { ++doubleClicks; }
    void mousePressEvent(QMouseEvent* e) override { rightPresses += e->button() == Qt::RightButton; }
    void keyPressEvent(QKeyEvent* e) override { rightArrows += e->key() == Qt::Key_Right; }
};

TEST(ChannelPicture, MouseAndKeysOverThePictureReachThePane) {
    QWidget window;
    window.resize(400, 300);
    auto* pane = new InputPane(&window);
    pane->setGeometry(0, 0, 400, 300);
    pane->setFocusPolicy(Qt::StrongFocus);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window) || QGuiApplication::platformName() == "offscreen");
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", pane));
    ASSERT_NE(channel.VideoWidget(), nullptr);
    pane->setFocus();
    const QPoint middle(200, 150);
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, middle);
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, middle);
    QTest::keyClick(window.windowHandle(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_GE(pane->doubleClicks, 1);
    EXPECT_GE(pane->rightPresses, 1);
    EXPECT_EQ(pane->rightArrows, 1);
}

TEST(ChannelPicture, PictureWidgetGoesWithDestroyAndSurvivesItsPane) {
    auto w = std::make_unique<PaneWindow>(QSize(320, 240));
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", w->pane));
    QPointer<QWidget> picture = channel.VideoWidget();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->parentWidget(), w->pane);
    channel.Destroy();
    EXPECT_FALSE(picture) << "Destroy removes the picture from a pane that lives on";
    EXPECT_TRUE(w->pane->findChildren<QWidget*>().isEmpty());

    // The pane goes first: the channel neither crashes nor keeps a dangling widget.
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", w->pane));
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
    const QByteArray output = child.readAll();
    EXPECT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) << output.toStdString();
    // Every picture test ran and passed (none skipped), however many there are.
    EXPECT_TRUE(output.contains("[  PASSED  ]") && !output.contains("[  SKIPPED ]") &&
                !output.contains("[  FAILED  ]"))
        << output.toStdString();
}

} // namespace
