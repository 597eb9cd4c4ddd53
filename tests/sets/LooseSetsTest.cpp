// Sets opened from loose videos are kept as set files named after their videos, and file pickers
// start where the last file was picked.
#include "sets/LooseSets.h"
#include "dialogs/LastFolder.h"
#include "sets/CSetFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST(LooseSetsTest, TheSameVideosKeepOneFileOthersTheirOwnAndTheMenuNamesTheVideos) {
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    CSetFile set;
    set.video[0] = state.filePath("cams/front.mp4");
    set.video[2] = state.filePath("cams/side.mkv");
    set.reference = 1;
    QString path;
    QString why;
    ASSERT_TRUE(LooseSets::Keep(set, &path, &why)) << why.toStdString();
    EXPECT_EQ(QFileInfo(path).absolutePath(), state.filePath("tetrav/sets"));
    EXPECT_EQ(LooseSets::Label(path), "front + - + side");
    CSetFile read;
    ASSERT_TRUE(read.Read(path, &why)) << why.toStdString();
    EXPECT_EQ(read.video[0], set.video[0]);
    EXPECT_EQ(read.video[2], set.video[2]);
    EXPECT_EQ(read.reference, 1);
    // The same videos: the same file. Same names in another folder: another file, the same label.
    EXPECT_EQ(LooseSets::PathFor(set), path);
    CSetFile other = set;
    other.video[0] = state.filePath("elsewhere/front.mp4");
    EXPECT_NE(LooseSets::PathFor(other), path);
    EXPECT_EQ(LooseSets::Label(LooseSets::PathFor(other)), "front + - + side");
    EXPECT_TRUE(LooseSets::Label(state.filePath("mine.tetravset")).isEmpty()) << "a set file of the user's";

    // The last folder: none at first, then the picked file's folder; a folder that has gone, none.
    EXPECT_TRUE(LastFolder::Get().isEmpty());
    ASSERT_TRUE(QDir().mkpath(state.filePath("cams")));
    LastFolder::Remember(state.filePath("cams/front.mp4"));
    EXPECT_EQ(LastFolder::Get(), state.filePath("cams"));
    LastFolder::Remember(QString()); // a cancelled picker changes nothing
    EXPECT_EQ(LastFolder::Get(), state.filePath("cams"));
    ASSERT_TRUE(QDir(state.filePath("cams")).removeRecursively());
    EXPECT_TRUE(LastFolder::Get().isEmpty());
    qunsetenv("XDG_STATE_HOME");
}

} // namespace
