// Every file the window writes, on a real full disk: the old file stays byte for byte, nothing
// is left beside it, the box names the file and the reason, a set that was not saved does not
// join the recent sets, and the status bar does not say it was saved.
#include "WindowTestSupport.h"
#include "mainwnd/CSavedSets.h"

#include "sets/CRecentSets.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"

#include <QSignalSpy>

#include <functional>

namespace mainwnd_test {
namespace {

using tetrav::test::entries;
using tetrav::test::FullDisk;
using tetrav::test::readAll;

using FullDiskTest = ClipWindowTest;

TEST_F(FullDiskTest, EveryWriterLeavesTheOldFileAndSaysWhichFileAndWhy) {
    FullDisk disk;
    ASSERT_FALSE(disk.folder().isEmpty()) << disk.whyNot().toStdString();
    qputenv("XDG_STATE_HOME", QFile::encodeName(disk.folder() + "/state"));
    StoreSyncMode(1);
    ASSERT_NO_FATAL_FAILURE(OpenClips({"c_10s.mp4", nullptr, "sync_h264.mp4", nullptr}));
    Settle();
    const QString setPath = disk.folder() + QStringLiteral("/比较 一.tetravset");
    const QString otherSet = m_state.filePath(QStringLiteral("另一个.tetravset")); // not on the full disk
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(otherSet));
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(setPath));
    const QString shots = disk.folder() + QStringLiteral("/抓图");
    ASSERT_TRUE(QDir().mkpath(shots));
    g_settings.SaveMapPath = shots;
    const QByteArray oldSet = readAll(setPath);
    const QByteArray oldRecent = readAll(CRecentSets::FilePath());
    ASSERT_TRUE(oldSet.contains("Video1=") && oldRecent.startsWith(setPath.toUtf8()));
    const std::string files =
        entries(disk.folder()) + "/" + entries(QFileInfo(CRecentSets::FilePath()).path());
    disk.fill();

    const QString newSet = disk.folder() + QStringLiteral("/新的.tetravset");
    QSignalSpy captured(&dlg->Capture(), &CTetravDlgCapture::capturedAll);
    const struct {
        const char* name;
        std::function<void()> act;
        QString text; // the box's first two lines: the message and the file (or its folder)
    } writers[] = {
        {"saving over a set", [&] { EXPECT_FALSE(dlg->SavedSets().SaveSetTo(setPath)); },
         "保存视频组错误!\n" + setPath},
        {"saving a new set", [&] { EXPECT_FALSE(dlg->SavedSets().SaveSetTo(newSet)); },
         "保存视频组错误!\n" + newSet},
        {"the recent sets when a set opens",
         [&] {
             EXPECT_TRUE(dlg->SavedSets().OpenSetFile(otherSet));
             EXPECT_TRUE(WaitForOpen(*dlg));
         },
         "保存最近的视频组列表错误!\n" + CRecentSets::FilePath()},
        {"a snapshot", [&] { dlg->Capture().OnCapture(2); }, "保存抓图错误!\n" + shots + "/03_"},
        {"every pane at once",
         [&] {
             dlg->Capture().OnCaptureAll();
             ASSERT_TRUE(captured.wait(8000));
             EXPECT_FALSE(captured.takeFirst().at(0).toBool());
         },
         "保存抓图错误!\n" + shots + "/0"},
    };
    for (const auto& w : writers) {
        SCOPED_TRACE(w.name);
        boxes.clear();
        dlg->Bars().StatusBar()->SetText(0, QStringLiteral("-"));
        w.act();
        ASSERT_EQ(boxes.boxes().size(), 1u) << boxes.texts().join("|").toStdString();
        const auto& box = boxes.boxes()[0];
        EXPECT_TRUE(box.text.startsWith(w.text)) << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith("\n" + disk.reason())) << box.text.toStdString();
        EXPECT_EQ(box.caption, "错误");
        EXPECT_NE(Status(0), QStringLiteral("保存视频组"));
        EXPECT_EQ(readAll(setPath), oldSet);
        EXPECT_EQ(readAll(CRecentSets::FilePath()), oldRecent);
        EXPECT_EQ(entries(disk.folder()) + "/" + entries(QFileInfo(CRecentSets::FilePath()).path()), files)
            << "a file was added or left behind";
    }
    EXPECT_EQ(entries(shots), "");

    // With room again, each writes.
    disk.release();
    boxes.clear();
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(newSet));
    EXPECT_EQ(Status(0), QStringLiteral("保存视频组"));
    EXPECT_EQ(CRecentSets::Load().value(0), newSet);
    dlg->Capture().OnCapture(0);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("|").toStdString();
    EXPECT_EQ(QDir(shots).entryList(QDir::Files).size(), 1);
}

} // namespace
} // namespace mainwnd_test
