// The picture: drawn inside the pane with black bars, input over it reaching the pane, frame
// steps, snapshots compared with frames decoded by ffmpeg. The whole suite runs once more under
// Qt's offscreen platform.
#include "EngineTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>

using namespace enginetest;

namespace {

QString tempBmp(const char* tag) {
    return QDir::tempPath() + QString("/tetrav-%1-%2.bmp").arg(tag).arg(QCoreApplication::applicationPid());
}

// Frame number of the picture the pane shows now, where a 320x240 picture lands in area.
int shownFrame(QWidget* pane, const QRect& area) {
    return frameNumberIn(pane->grab().toImage(), fittedRect(QSize(320, 240), area));
}

int snapshotFrame(CChannelGraph& channel) {
    const QString path = tempBmp("frame");
    const int n = channel.SnapshotBitmap(path) == CChannelGraph::SnapshotResult::Written
                      ? frameNumberIn(readBmp24(path))
                      : -2;
    QFile::remove(path);
    return n;
}

bool isBlack(QRgb c) {
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

TEST(ChannelPicture, FillsThePaneWithBarsAndFollowsItsPlace) {
    PaneWindow w(QSize(640, 452));
    CChannelGraph channel;
    ASSERT_TRUE(openClip(channel, "a_6s.mp4", w.pane));
    const QRect all(0, 0, 640, 452);
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w.pane, all) == 0; }, 3000));
    QImage shot = w.pane->grab().toImage();
    EXPECT_TRUE(isBlack(shot.pixel(5, 226))) << "bar on the left";
    EXPECT_TRUE(isBlack(shot.pixel(634, 226))) << "bar on the right";
    const QRgb inside = shot.pixel(600, 60); // the clip's dark blue background
    EXPECT_NEAR(qBlue(inside), 0x40, 24);
    EXPECT_NEAR(qRed(inside), 0x20, 24);

    // Play a while: the frames the pane shows at the pane's size are the channel's.
    ASSERT_TRUE(channel.Run());
    EXPECT_TRUE(waitUntil([&] { return shownFrame(w.pane, all) > 10; }, 3000));
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
    EXPECT_TRUE(isBlack(shot.pixel(100, 20))) << "bar at the top";
    EXPECT_TRUE(isBlack(shot.pixel(100, 285))) << "bar at the bottom";
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
        EXPECT_TRUE(waitUntil([&] { return shownFrame(w.pane, QRect(0, 0, 320, 240)) == expected; }, 1000))
            << "the pane shows the stepped frame";
    }

    ASSERT_TRUE(channel.Run());
    waitUntil([] { return false; }, 400);
    ASSERT_TRUE(channel.StepOneFrame());
    EXPECT_TRUE(channel.IsPaused()) << "a step from playing pauses";
    ASSERT_TRUE(channel.WaitUntilSettled(3000));
    const int stepped = snapshotFrame(channel);
    EXPECT_GT(stepped, 53);
    waitUntil([] { return false; }, 200);
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
    const QString path = tempBmp("snapshot");
    ASSERT_EQ(channel.SnapshotBitmap(path), CChannelGraph::SnapshotResult::Written);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 230454);
    auto u32 = [&bytes](int at) {
        quint32 v = 0;
        for (int i = 3; i >= 0; --i) {
            v = v << 8 | quint8(bytes[at + i]);
        }
        return v;
    };
    auto u16 = [&bytes](int at) { return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8); };
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(2), 230454u);
    EXPECT_EQ(u32(6), 0u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 320u);
    EXPECT_EQ(u32(22), 240u) << "positive height: bottom-up rows";
    EXPECT_EQ(u16(26), 1);
    EXPECT_EQ(u16(28), 24);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 230400u);

    const QImage image = readBmp24(path);
    const QImage frame37 = referenceFrame("a_6s.mp4", 37);
    const QImage frame38 = referenceFrame("a_6s.mp4", 38);
    ASSERT_FALSE(frame37.isNull());
    ASSERT_FALSE(frame38.isNull());
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
    const QString path = tempBmp("upright");
    ASSERT_EQ(channel.SnapshotBitmap(path), CChannelGraph::SnapshotResult::Written);
    const QImage image = readBmp24(path);
    QFile::remove(path);
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(frameNumberIn(image), 25);
    EXPECT_TRUE(waitUntil([&] { return shownFrame(w.pane, QRect(0, 0, 640, 452)) == 25; }, 3000));
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
    waitUntil([] { return false; }, 200); // frames keep coming with nowhere to go
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
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    // Every picture test ran and passed (none skipped), however many there are.
    EXPECT_TRUE(output.contains("[  PASSED  ]") && !output.contains("[  SKIPPED ]") &&
                !output.contains("[  FAILED  ]"))
        << output.toStdString();
}

} // namespace
