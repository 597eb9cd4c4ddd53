// The one writer of every file: on a real full disk, a read-only file system and the other ways
// a write fails, the old file stays byte for byte, nothing is left beside it, and the reason
// is the one the user is shown.
#include "platform/CAtomicFile.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace {

using tetrav::test::entries;
using tetrav::test::FullDisk;
using tetrav::test::readAll;
using tetrav::test::ReadOnlyMount;
using tetrav::test::writeAll;

const QByteArray kOld = "[FramePhase]\nFramePhaseNumber=1\n";
const QByteArray kNew = QByteArray(64 * 1024, 'n'); // more than any full disk here has room for

TEST(AtomicFileTest, AFailedWriteLeavesTheOldFileByteForByteAndNothingBesideIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FullDisk disk;
    ASSERT_FALSE(disk.folder().isEmpty()) << disk.whyNot().toStdString();
    writeAll(disk.folder() + "/old", kOld);
    ReadOnlyMount readOnly(kOld);

    const struct {
        const char* name;
        QString folder; // where the old file is (empty: skipped here)
        QString target; // the path written
        int error;      // the errno reported
        bool oldThere;  // the target holds kOld before the write
    } cases[] = {
        {"full disk", disk.folder(), disk.folder() + "/old", disk.error(), true},
        {"read-only file system", readOnly.ok() ? readOnly.folder() : QString(), readOnly.folder() + "/old",
         EROFS, true},
        {"missing folder", dir.path(), dir.filePath("gone/new"), ENOENT, false},
        {"a folder in the way", dir.path(), dir.path(), EISDIR, false},
        {"a file in the way of the folder", dir.path(), dir.filePath("file/new"), ENOTDIR, false},
        {"name too long", dir.path(), dir.filePath(QString(300, 'x')), ENAMETOOLONG, false},
    };
    writeAll(dir.filePath("file"), kOld);
    disk.fill();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder.isEmpty()) {
            continue; // needs root
        }
        const std::string before = entries(c.folder);
        CAtomicFile file(c.target);
        const bool written = file.open() && file.write(kNew) && file.commit();
        EXPECT_FALSE(written);
        EXPECT_EQ(file.error(), c.error) << std::strerror(file.error());
        EXPECT_EQ(file.errorString(), CAtomicFile::ErrorText(c.error));
        EXPECT_FALSE(file.errorString().isEmpty());
        if (c.oldThere) {
            EXPECT_EQ(readAll(c.target), kOld);
        }
        EXPECT_EQ(entries(c.folder), before) << "a temporary file was left";
        QString why;
        EXPECT_FALSE(CAtomicFile::WriteWhole(c.target, kNew, &why));
        EXPECT_EQ(why, CAtomicFile::ErrorText(c.error));
    }
    disk.release();

    // With room again the same write lands whole, and the file keeps its permissions.
    ASSERT_EQ(::chmod(QFile::encodeName(disk.folder() + "/old").constData(), 0640), 0);
    QString why;
    ASSERT_TRUE(CAtomicFile::WriteWhole(disk.folder() + "/old", kNew, &why)) << why.toStdString();
    EXPECT_EQ(readAll(disk.folder() + "/old"), kNew);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(disk.folder() + "/old").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(disk.folder()), "old");
}

TEST(AtomicFileTest, ALinkIsFollowedAndMissingFoldersAreMadeOrTheReasonGiven) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeAll(dir.filePath("real/settings.ini"), kOld);
    ASSERT_TRUE(QFile::link(dir.filePath("real/settings.ini"), dir.filePath("link.ini")));
    ASSERT_TRUE(CAtomicFile::WriteWhole(dir.filePath("link.ini"), "new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.ini")).isSymLink()) << "the link was replaced by a file";
    EXPECT_EQ(readAll(dir.filePath("real/settings.ini")), "new");

    int error = -1;
    EXPECT_TRUE(CAtomicFile::MakeFolder(dir.filePath("a/b/c"), &error));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
    EXPECT_FALSE(CAtomicFile::MakeFolder(dir.filePath("real/settings.ini/x"), &error));
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_FALSE(CAtomicFile::MakeFolder(dir.filePath(QString(300, 'y') + "/z"), &error));
    EXPECT_EQ(error, ENAMETOOLONG);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QString(255, 'y')))) << "a long name was shortened";
}

} // namespace
