// `tetrav --export` as a user runs it: without a display, progress on standard error, 0 only
// for a complete file; every refusal says why and leaves nothing behind.
#include "export/CExporter.h"
#include "export/ExportReadBack.h"
#include "platform/CAtomicFile.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

using tetrav::test::clip;
using tetrav::test::programPath;

namespace {

using tetrav::test::entries;
using tetrav::test::NoDisplayEnvironment;
using tetrav::test::RunOutcome;
using tetrav::test::RunToEnd;

QStringList Set() {
    return {clip("sync_h264.mp4"), clip("sync_h264_b.mkv"), clip("sync_vp8.webm"), clip("sync_mpeg4.avi")};
}

TEST(ExportCommandTest, ExportsWithoutADisplayWithProgressAndTheOptionsApplied) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("goal.mkv");
    const RunOutcome o = RunToEnd(QStringList{"--export", out, "--from", "0:05.5", "--to", "00:00:07",
                                              "--size", "1280x720", "--offset", "2=-1.2", "--sound", "none"} +
                                  Set());
    ASSERT_EQ(o.code, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("Tetrav: exporting 100% (38/38 frames)")) << o.err.toStdString();
    EXPECT_GE(o.err.count("Tetrav: exporting"), 10);
    EXPECT_EQ(entries(dir.path()), "goal.mkv");
    const exporttest::ReadBack back = exporttest::ReadExport(out);
    EXPECT_EQ(back.size, QSize(1280, 720));
    EXPECT_FALSE(back.sound);
    ASSERT_EQ(back.frames.size(), 38u);
    for (std::size_t i = 0; i < back.frames.size(); ++i) {
        const int in = 137 + int(i); // 5.5 s at 25 fps: frame 137 (at 5.48 s) is shown
        EXPECT_EQ(back.frames[i], (std::array<int, 4>{in, in - 30, in, in})) << "frame " << i;
    }
}

TEST(ExportCommandTest, RefusalsSayWhyAndLeaveNothingBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("existing.mp4");
    ASSERT_TRUE(CAtomicFile::WriteWhole(existing, "old"));
    tetrav::test::ReadOnlyMount readOnly;
    tetrav::test::FullDisk disk;
    ASSERT_FALSE(disk.folder().isEmpty()) << disk.whyNot().toStdString();

    const struct {
        const char* name;
        QString folder; // where the file would go (empty: not possible here)
        QStringList arguments;
        int code;
        QString said;
    } rows[] = {
        {"interval beyond the reference",
         dir.path(),
         {"--export", dir.filePath("a.mp4"), "--from", "10", "--to", "13"},
         1,
         "超出参考视频的长度 00:00:12.000"},
        {"in after out",
         dir.path(),
         {"--export", dir.filePath("a.mp4"), "--from", "5", "--to", "3"},
         1,
         "入点必须在出点之前"},
        {"a folder", dir.path(), {"--export", dir.path(), "--to", "1"}, 1, "导出的目标是一个文件夹"},
        {"an existing file", dir.path(), {"--export", existing, "--to", "1"}, 1, "文件已存在"},
        {"a missing video",
         dir.path(),
         {"--export", dir.filePath("a.mp4"), "--to", "1", "--offset", "1=0", dir.filePath("gone.mp4")},
         1,
         "无法打开视频一"},
        {"an unusable size",
         dir.path(),
         {"--export", dir.filePath("a.mp4"), "--size", "641x480"},
         2,
         "--size 641x480"},
        {"a read-only file system",
         readOnly.ok() ? readOnly.folder() : QString(),
         {"--export", readOnly.folder() + "/a.mp4", "--to", "1"},
         1,
         CAtomicFile::ErrorText(EROFS)},
        {"a full disk", disk.folder(), {"--export", disk.folder() + "/a.mp4", "--to", "2"}, 1, disk.reason()},
    };
    disk.fill();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.folder.isEmpty()) {
            continue;
        }
        const std::string before = entries(row.folder);
        const QStringList videos = row.arguments.contains(dir.filePath("gone.mp4")) ? QStringList{} : Set();
        const RunOutcome o = RunToEnd(row.arguments + videos);
        EXPECT_EQ(o.code, row.code) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(row.said)) << o.err.toStdString();
        EXPECT_FALSE(o.err.contains("exporting 100%")) << o.err.toStdString();
        EXPECT_EQ(entries(row.folder), before) << "a file was left";
    }
    disk.release();
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    old.close();
    // With --force the file is replaced, by a whole one.
    const RunOutcome o = RunToEnd(QStringList{"--export", existing, "--to", "0.4", "--force"} + Set());
    EXPECT_EQ(o.code, 0) << o.err.toStdString();
    EXPECT_EQ(exporttest::ReadExport(existing).frames.size(), 10u);
    EXPECT_EQ(entries(dir.path()), "existing.mp4");
}

TEST(ExportCommandTest, CtrlCCancelsAndRemovesThePartialFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess p;
    p.setProcessEnvironment(NoDisplayEnvironment());
    p.setReadChannel(QProcess::StandardError);
    p.start(programPath(), QStringList{"--export", dir.filePath("long.mp4"), "--sound", "mix"} + Set());
    QByteArray err;
    // Interrupted once it is under way (its first progress line).
    while (!err.contains("exporting") && p.waitForReadyRead(30000)) {
        err += p.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("exporting")) << err.constData();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1) << err.constData();
    EXPECT_TRUE(err.contains("export cancelled")) << err.constData();
    EXPECT_FALSE(err.contains("exporting 100%")) << err.constData();
    EXPECT_EQ(entries(dir.path()), "");
}

} // namespace
