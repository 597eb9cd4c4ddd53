// Files that cannot play: RenderFile says so, the channel stays closable and can open a good
// file afterwards, repeated failures leak no descriptors, and a channel without a pipeline
// refuses every operation.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace enginetest;

namespace {

class ChannelBadFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(ChannelBadFiles, AreRefusedAndLeaveTheChannelClosable) {
    PaneWindow w;
    CChannelGraph channel;
    ASSERT_TRUE(channel.Create());
    EXPECT_FALSE(channel.RenderFile(clip(GetParam())));

    // The main window's close sequence.
    EXPECT_TRUE(channel.Stop());
    channel.Destroy();
    EXPECT_FALSE(channel.SetNotifyWindow(nullptr));

    // The same object opens a good file next.
    ASSERT_TRUE(openClip(channel, "b_4s.mp4", w.pane));
    double length = 0;
    EXPECT_TRUE(channel.GetDuration(length));
    EXPECT_NEAR(length, 4.0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Files, ChannelBadFiles,
                         ::testing::Values("no_such_clip.mp4", "not_video.avi", "zero.mp4", "truncated.mp4",
                                           "subtitle_only.mkv"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return QString(info.param).replace('.', '_').toStdString();
                         });

// Open file descriptors of this process.
QStringList openFiles() {
    QStringList files;
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        files << QFile::symLinkTarget(fds.filePath(fd));
    }
    files.sort();
    return files;
}

TEST(ChannelBadFiles, RepeatedFailuresAndClosesLeakNoDescriptors) {
    auto cycle = [] {
        PaneWindow w;
        CChannelGraph channel;
        ASSERT_TRUE(channel.Create());
        EXPECT_FALSE(channel.RenderFile(clip("not_video.avi")));
        EXPECT_FALSE(channel.RenderFile(clip("truncated.mp4")));
        ASSERT_TRUE(channel.RenderFile(clip("a_6s.mp4")));
        channel.SetDisplayWindow(w.pane);
        channel.Run();
        EXPECT_TRUE(WaitUntil([&] { return channel.GetFrameStats().rendered > 3; }, 3000));
        channel.Stop();
        channel.Destroy();
    };
    // The first cycle loads plugins and starts shared helpers that stay.
    cycle();
    const QStringList before = openFiles();
    for (int i = 0; i < 3; ++i) {
        cycle();
    }
    EXPECT_EQ(openFiles().join(' ').toStdString(), before.join(' ').toStdString());
}

TEST(ChannelBadFiles, OperationsWithoutAPipelineReportFailure) {
    CChannelGraph channel;
    double value = 7;
    EXPECT_FALSE(channel.RenderFile(clip("a_6s.mp4")) || channel.Run() || channel.IsRunning() ||
                 channel.IsPaused() || channel.IsStopped() || channel.GetCurrentPosition(value) ||
                 channel.GetDuration(value) || channel.SetCurrentPosition(1.0) || channel.SetRate(2.0) ||
                 channel.SetVolume(-100) || channel.StepOneFrame() || channel.SetDisplayWindow(nullptr) ||
                 channel.SetWindowPosition(0, 0, 10, 10));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(channel.GetVolume(), 0);
    EXPECT_EQ(channel.SnapshotBitmap("/tmp/never.bmp"), CChannelGraph::SnapshotResult::NoPicture);
    ASSERT_TRUE(channel.Create());
    EXPECT_FALSE(channel.Create()) << "a second Create while a pipeline is held";
    EXPECT_TRUE(channel.Attach(nullptr));
    EXPECT_FALSE(channel.Run()) << "Attach(nullptr) released the pipeline";
}

} // namespace
