// The profile reader and writer on real files: lookup rules, what a write keeps, and files
// that are missing, unreadable, binary or huge.
#include "platform/CProfileFile.h"
#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using tetrav::test::readAll;
using tetrav::test::writeAll;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString& name = QStringLiteral("test.ini")) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(ProfileFileTest, LookupIgnoresCaseTrimsAndFallsBackAndWritesMakeFolderFileAndSectionsInOrder) {
    writeAll(path(), "; a comment = not a key\nstray=before any section\n"
                     "[Alpha]\n  Key One  =  value one  \nquoted=\"with quotes\"\nempty=\n"
                     "[alpha]\nsecond=ignored, the first section counts\n[Beta]\nkey one=beta\n");
    CProfileFile f(path());
    EXPECT_EQ(f.getString("ALPHA", "key one", "d"), "value one");
    EXPECT_EQ(f.getString("alpha", "QUOTED", "d"), "with quotes");
    EXPECT_EQ(f.getString("Alpha", "empty", "d"), "");
    EXPECT_EQ(f.getString("Alpha", "second", "d"), "d");
    EXPECT_EQ(f.getString("beta", "Key One", "d"), "beta");
    EXPECT_EQ(f.getString("Gamma", "key one", "d"), "d");
    EXPECT_EQ(f.getString("Alpha", "; a comment", "d"), "d");
    EXPECT_EQ(f.getString("", "stray", "d"), "d");
    // The classic buffer: at most maxChars - 1 characters.
    EXPECT_EQ(f.getString("Alpha", "key one", "d", 6), "value");
    EXPECT_EQ(CProfileFile(path("missing.ini")).getString("Alpha", "key one", "default"), "default");

    // Writes make the folder, the file and the sections in order, with one-line UTF-8 values.
    const QString nested = m_dir.filePath("a/b/c/set.ini");
    CProfileFile w(nested);
    EXPECT_FALSE(w.exists());
    ASSERT_TRUE(w.writeString("One", "k1", "1"));
    ASSERT_TRUE(w.writeString("Two", "k2", "two"));
    ASSERT_TRUE(w.writeString("one", "K3", "3"));
    ASSERT_TRUE(w.writeString("ONE", "K1", "replaced"));
    EXPECT_TRUE(w.exists());
    EXPECT_EQ(readAll(nested), "[One]\nK1=replaced\nK3=3\n[Two]\nk2=two\n");
    EXPECT_EQ(w.getString("one", "k1", "d"), "replaced");

    // The same writes in one go give the same file.
    CProfileFile batch(m_dir.filePath("batch.ini"));
    ASSERT_TRUE(batch.writeStrings(
        {{"One", "k1", "1"}, {"Two", "k2", "two"}, {"one", "K3", "3"}, {"ONE", "K1", "replaced"}}));
    EXPECT_EQ(readAll(batch.path()), readAll(nested));

    // Values are UTF-8 and stay on one line.
    ASSERT_TRUE(w.writeString("SaveMapPath", "SaveMapPathNumber", "/home/用户/抓图/"));
    ASSERT_TRUE(w.writeString("X", "multi", "a\nb\r\nc"));
    EXPECT_EQ(w.getString("savemappath", "savemappathnumber", "d"), "/home/用户/抓图/");
    EXPECT_EQ(w.getString("x", "multi", "d"), "a b  c");
}

TEST_F(ProfileFileTest, WriteKeepsEveryOtherLineOfAHandEditedFileAndReplacesItAtomically) {
    const QByteArray original = "; my settings\r\n\r\n[Other]\r\nkeep=this\r\n# hash comment\r\n\r\n"
                                "[fOREvIEW]\r\n; explains the key\r\nforeviewnumber = 1\r\nUnknown=x\r\n\r\n"
                                "[Last]\r\ntail=no newline";
    writeAll(path(), original);
    const QFile::Permissions perms = QFileInfo(path()).permissions();
    // Someone holding the old file open still sees it whole: the new one comes by rename.
    QFile held(path());
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    CProfileFile f(path());
    ASSERT_TRUE(f.writeString("ForeView", "ForeViewNumber", "0"));
    EXPECT_EQ(held.readAll(), original);
    ASSERT_TRUE(f.writeString("ForeView", "Added", "new"));
    ASSERT_TRUE(f.writeString("Last", "more", "m"));
    ASSERT_TRUE(f.writeString("Fresh", "k", "v"));
    // The key takes the name as written now; new keys go after the section's last entry.
    QByteArray expected = original;
    expected.replace("foreviewnumber = 1", "ForeViewNumber=0")
        .replace("Unknown=x\r\n", "Unknown=x\r\nAdded=new\r\n")
        .append("\r\nmore=m\r\n[Fresh]\r\nk=v\r\n");
    EXPECT_EQ(readAll(path()), expected);
    EXPECT_EQ(f.getString("foreview", "foreviewnumber", "d"), "0");
    EXPECT_EQ(f.getString("other", "keep", "d"), "this");
    EXPECT_EQ(QFileInfo(path()).permissions(), perms);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "temporary file left";
}

// (Failed writes: AtomicFileTest's and OptionsDlgTest's; a file in the way of its folder:
// SettingsFileTest's.)
TEST_F(ProfileFileTest, BinaryFileIsKeptByteForByteOnWriteAndAHugeOneReadUpToTheCapAndNeverRewritten) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) {
        junk.append(char((i * 7919) & 0xFF));
    }
    // A header after binary bytes on its line is no header.
    const QByteArray original = QByteArray("\x00\x01\xff[Head]\nkey=junk\n[Head]\nkey=found\n", 36) + junk +
                                "\n[Sec]\nkey=\xff\xfe\x00value\n" + junk;
    writeAll(path(), original);
    CProfileFile f(path());
    EXPECT_EQ(f.getString("Nope", "key", "d"), "d");
    EXPECT_EQ(f.getString("Head", "key", "d"), "found");
    ASSERT_TRUE(f.writeString("Added", "k", "v"));
    EXPECT_TRUE(readAll(path()).startsWith(original)) << "bytes of the original were changed";
    EXPECT_EQ(f.getString("Added", "k", "d"), "v");

    // A huge file is read up to the cap; rewriting it would lose the rest, so the write is refused.
    const QByteArray big =
        "[Head]\nkey=found\n" + QByteArray(3 * 1024 * 1024, 'x') + "\n[Tail]\nkey=beyond the cap\n";
    writeAll(path("huge.ini"), big);
    CProfileFile huge(path("huge.ini"));
    EXPECT_EQ(huge.getString("Head", "key", "d"), "found");
    EXPECT_EQ(huge.getString("Tail", "key", "d"), "d");
    EXPECT_FALSE(huge.writeString("Head", "key", "changed"));
    EXPECT_EQ(readAll(path("huge.ini")), big);
}

} // namespace
