// Saved sets: the .tetravset format, and a set saved from the real window and opened again.
#include "mainwnd/CSavedSets.h"
#include "mainwnd/WindowTestSupport.h"

#include "mainwnd/CExternalFiles.h"
#include "sets/CRecentSets.h"
#include "sets/CSetFile.h"
#include "sets/LooseSets.h"
#include "settings/COptionsDlg.h"
#include "support/FileBytes.h"

#include <QAbstractButton>
#include <QMenu>
#include <QUrl>

namespace mainwnd_test {
namespace {

using tetrav::test::readAll;
using tetrav::test::writeAll;

TEST(SetFileFormat, PathsRoundTripAndDamagedForeignAndNewerFilesAreRefusedOrTolerated) {
    // Each video, whether it exists, and how the set names it ("ABS": by its absolute path).
    const struct {
        const char* name;
        const char* file;
        bool exists;
        const char* stored;
    } cases[] = {
        {"spaces, in the set's folder", "组 一/camera a.mp4", true, "camera a.mp4"},
        {"Chinese, below the set's folder", "组 一/子 目录/二号机位 .mkv", true, "子 目录/二号机位 .mkv"},
        {"outside the set's folder", "elsewhere/ c.avi", true, "ABS"},
        {"moved away", "组 一/gone.mp4", false, "gone.mp4"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString setPath = dir.filePath(QStringLiteral("组 一/比较 1.tetravset"));
    CSetFile saved;
    for (int k = 0; k < 4; ++k) {
        saved.video[k] = dir.filePath(QString::fromUtf8(cases[k].file));
        if (cases[k].exists) {
            writeAll(saved.video[k], "video");
        }
    }
    const double offsets[4] = {0.0, -3.2, 0.04, CSetFile::kMaxOffset};
    std::copy(std::begin(offsets), std::end(offsets), saved.offset);
    saved.syncMode = 1;
    saved.reference = 0;
    saved.position = 12.48;
    QString why;
    ASSERT_TRUE(saved.Write(setPath, &why)) << why.toStdString();
    CSetFile read;
    ASSERT_TRUE(read.Read(setPath, &why)) << why.toStdString();
    const QString text = QString::fromUtf8(readAll(setPath));
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(cases[k].name);
        const QString stored =
            qstrcmp(cases[k].stored, "ABS") == 0 ? saved.video[k] : QString::fromUtf8(cases[k].stored);
        EXPECT_TRUE(text.contains(QStringLiteral("\nVideo%1=%2\n").arg(k + 1).arg(stored)));
        EXPECT_EQ(read.video[k], saved.video[k]);
        EXPECT_EQ(read.offset[k], offsets[k]) << "offsets come back exactly";
    }
    EXPECT_TRUE(read.syncMode == 1 && read.reference == 0 && read.position == 12.48);
    EXPECT_EQ(read.MissingPanes(), QList<int>{3});
    EXPECT_TRUE(read.kept.isEmpty());
    EXPECT_TRUE(CSetFile::IsSetFile(setPath));

    // Each file is refused with its reason, or tolerated; the file is never changed by reading.
    const QByteArray good = "[TetravSet]\nVideo1=a.mp4\n";
    const struct {
        const char* name;
        QByteArray bytes;    // the file's content; "DIR" = a folder of that name
        const char* refusal; // null = read
    } refusals[] = {
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "不是视频组文件"},
        {"empty", "", "不是视频组文件"},
        {"cut in the header", "# Tetrav video set\n[Tetra", "不是视频组文件"},
        {"cut before the videos", "[TetravSet]\nVersion=1\nVid", "视频组中没有视频"},
        {"huge", good + "#" + QByteArray(CSetFile::kMaxBytes, 'x') + "\n", "文件太大"},
        {"a folder", "DIR", "这是一个文件夹"},
        {"cut in a path", "[TetravSet]\nVideo1=a.mp4\nVideo2=/videos/long na", nullptr},
        {"Windows line ends", "[TetravSet]\r\nVideo1=a.mp4\r\nOffset1=1.5\r\n", nullptr},
        {"a newer version",
         "[TetravSet]\nVersion=7\nVideo1=a.mp4\nOffset1=1e9\nSyncMode=audio\nLoop=yes\n"
         "[Zoom]\nPane=2\n[TetravSet]\nMarker=3.5\nOffset1=2\n",
         nullptr},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".tetravset"));
        c.bytes == "DIR" ? static_cast<void>(QDir().mkpath(path)) : writeAll(path, c.bytes);
        CSetFile set;
        set.video[3] = QStringLiteral("/before.mp4");
        QString why;
        const bool read = set.Read(path, &why);
        EXPECT_EQ(read, c.refusal == nullptr) << why.toStdString();
        EXPECT_EQ(why, QString::fromUtf8(c.refusal ? c.refusal : ""));
        EXPECT_EQ(c.refusal ? set.video[3] : set.video[0],
                  c.refusal ? QStringLiteral("/before.mp4") : dir.filePath(QStringLiteral("a.mp4")));
        EXPECT_TRUE(c.bytes == "DIR" || readAll(path) == c.bytes);
    }

    // The newer version: what this one knows is used, the rest is kept (and written back: the fuzz
    // target set_file).
    CSetFile set;
    ASSERT_TRUE(set.Read(dir.filePath(QStringLiteral("a newer version.tetravset")), nullptr));
    EXPECT_EQ(set.offset[0], 2.0);
    EXPECT_EQ(set.syncMode, -1);
    EXPECT_EQ(set.kept, QStringList({"Loop=yes", "[Zoom]", "Pane=2", "[TetravSet]", "Marker=3.5"}));

    CSetFile cut;
    ASSERT_TRUE(cut.Read(dir.filePath(QStringLiteral("cut in a path.tetravset")), nullptr));
    EXPECT_EQ(cut.video[1], QStringLiteral("/videos/long na"));
    EXPECT_EQ(cut.MissingPanes(), (QList<int>{0, 1}));

    // Values written by hand or by other programs name the file a user would expect.
    const struct {
        const char* value;
        QString path;
    } named[] = {
        {"file:///videos/%E7%94%B2%20a.mp4", QStringLiteral("/videos/甲 a.mp4")},
        {"FILE:///videos/../b.mkv", QStringLiteral("/b.mkv")},
        {"../../../../../../../../../../etc/passwd", QStringLiteral("/etc/passwd")},
        {"sub/../c.avi", dir.filePath(QStringLiteral("c.avi"))},
        {":take 2.mp4", dir.path() + QStringLiteral("/:take 2.mp4")}, // a file, not a resource
    };
    const QString byHand = dir.filePath(QStringLiteral("by hand.tetravset"));
    for (const auto& c : named) {
        SCOPED_TRACE(c.value);
        writeAll(byHand, QByteArray("[TetravSet]\nVideo1=") + c.value + "\n");
        CSetFile set;
        ASSERT_TRUE(set.Read(byHand, nullptr));
        EXPECT_EQ(set.video[0], c.path);
    }
}

using SavedSetTest = ClipWindowTest;

TEST_F(SavedSetTest, SavedSetReopensAtItsPositionWithOffsetsAndModesAndNamesMovedVideos) {
    // Two copies in the set's folder (one of them to move away), two clips elsewhere.
    const QString folder = m_state.filePath(QStringLiteral("视频 组"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString copyA = folder + QStringLiteral("/甲 十秒.mp4");
    const QString copyD = folder + QStringLiteral("/丁 clip.mkv");
    ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), copyA));
    ASSERT_TRUE(QFile::copy(clip("sync_h264_b.mkv"), copyD));
    StoreSyncMode(1);
    Open({{0, copyA}, {1, "sync_h264.mp4"}, {2, "sync_mpeg4.avi"}, {3, copyD}}); // the shortest first
    ASSERT_EQ(dlg->Set().Reference(), 0);
    Settle();
    dlg->Set().SetOffset(2, 0.4);
    GoTo(7.0);
    ASSERT_EQ(QList<int>({FrameOf(0), FrameOf(2)}), QList<int>({175, 185})); // pane 3 at its offset of 0.4 s

    const QString setPath = folder + QStringLiteral("/比较 一.tetravset");
    const QString other = folder + QStringLiteral("/other.tetravset");
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(other));
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(setPath));
    EXPECT_TRUE(QString::fromUtf8(readAll(setPath)).contains(QStringLiteral("\nVideo1=甲 十秒.mp4\n")));
    // The saved sets first, then the set of loose videos the test opened at first.
    const QStringList recent = CRecentSets::Load();
    ASSERT_EQ(recent.size(), 3);
    EXPECT_EQ(recent.mid(0, 2), (QStringList{setPath, other}));
    EXPECT_FALSE(LooseSets::Label(recent[2]).isEmpty()) << recent[2].toStdString();

    // Another run's state: other modes, no set, one video moved away, one recent set deleted.
    dlg->OnStop();
    StoreSyncMode(0);
    g_settings.MiniVideo = 0;
    ASSERT_TRUE(QFile::rename(copyD, copyD + QStringLiteral(".moved")));
    ASSERT_TRUE(QFile::remove(other));
    auto* files = dlg->findChild<CExternalFiles*>();
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(files->OpenAsSet({QUrl::fromLocalFile(setPath)}));
    ASSERT_TRUE(WaitUntil([&] { return !dlg->Set().IsOpening() && dlg->Set().Channel(0) != nullptr; }, 8000));
    Settle();

    EXPECT_EQ(boxes.texts(), QStringList(QStringLiteral("视频组中的文件不存在!\n视频四：") + copyD));
    EXPECT_TRUE(dlg->Set().Channel(1) && dlg->Set().Channel(2) &&
                !dlg->Set().Channel(3)); // the moved one's is empty
    EXPECT_EQ(dlg->Settings().SyncMode(), 1) << "the set's sync mode holds for this run";
    EXPECT_EQ(dlg->Set().Reference(), 0) << "the set's reference rule chose the reference";
    EXPECT_EQ(CSettingsFile::ReadEntry(QStringLiteral("FramePhase"), QStringLiteral("FramePhaseNumber")),
              QStringLiteral("0"))
        << "the settings file keeps the user's own";
    // OK in the options dialog, with only the snapshot folder changed, keeps the set's modes.
    const auto picker = COptionsDlg::SetFolderPicker(
        [&](QWidget*, const QString&, const QString&, auto answer) { answer(folder); });
    dlg->OnOptions();
    auto* options = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(options, nullptr) << "no options dialog";
    qobject_cast<QAbstractButton*>(GetDlgItem(options, IDC_BROWSE_PATH))->click();
    qobject_cast<QAbstractButton*>(GetDlgItem(options, IDOK))->click();
    COptionsDlg::SetFolderPicker(picker);
    EXPECT_TRUE(CSettingsFile::ReadSnapshotFolder().startsWith(folder)) << "the options were stored";
    EXPECT_EQ(dlg->Settings().SyncMode(), 1) << "storing the options keeps this run's sync mode";
    EXPECT_EQ(dlg->Settings().ReferenceRule(), 1) << "and its reference rule";
    EXPECT_NE(dynamic_cast<CFrameSync*>(&dlg->ActiveSync()), nullptr) << "frame sync still in use";
    EXPECT_TRUE(dlg->Set().Offset(2) == 0.4 && dlg->Set().Offset(1) == 0.0);
    // Back at 7 s, pane 3 at its offset.
    EXPECT_EQ(QList<int>({FrameOf(0), FrameOf(1), FrameOf(2)}), QList<int>({175, 175, 185}));

    // Shown, the recent sets are those still there.
    emit qobject_cast<QMenu*>(dlg->MenuAction(ID_SAVE_SET)->parent())->aboutToShow();
    ASSERT_NE(dlg->MenuAction(ID_RECENT_SET_FIRST), nullptr);
    EXPECT_TRUE(dlg->MenuAction(ID_RECENT_SET_FIRST)->text().endsWith(setPath));
    ASSERT_NE(dlg->MenuAction(ID_RECENT_SET_FIRST + 1), nullptr);
    EXPECT_TRUE(dlg->MenuAction(ID_RECENT_SET_FIRST + 1)->text().endsWith(LooseSets::Label(recent[2])));
    EXPECT_EQ(dlg->MenuAction(ID_RECENT_SET_FIRST + 2), nullptr);

    // A folder is no set: said so, and the open set stays.
    boxes.clear();
    EXPECT_FALSE(dlg->SavedSets().OpenSetFile(folder));
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("打开视频组错误!\n") + folder));
    EXPECT_NE(dlg->Set().Channel(0), nullptr);
}

} // namespace
} // namespace mainwnd_test
