// The settings file on disk: where it lives, the fresh file, the number rules, hand-edited files and
// an unwritable folder. (Binary and huge files are the profile reader's: ProfileFileTest.)
#include "settings/CSettingsFile.h"
#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <tuple>

namespace {

using tetrav::test::readAll;
using tetrav::test::writeAll;

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        m_oldCwd = QDir::currentPath();
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        QDir::setCurrent(m_oldCwd);
    }
    QString iniPath() const { return m_config.path() + "/tetrav/TetravSet.ini"; }

    QTemporaryDir m_config;
    QByteArray m_oldConfig;
    QString m_oldCwd;
};

TEST_F(SettingsFileTest, FreshFileHoldsTheTwelveSectionsInOrder) {
    QTemporaryDir cwd;
    ASSERT_TRUE(QDir::setCurrent(cwd.path()));
    EXPECT_EQ(CSettingsFile::FilePath(), iniPath());
    EXPECT_FALSE(CSettingsFile::Exists());
    CSettings s;
    ASSERT_TRUE(CSettingsFile::WriteDefaults(s));
    EXPECT_TRUE(CSettingsFile::Exists());
    const QString folder = QDir::currentPath() + "/SavePic/";
    EXPECT_EQ(std::tie(s.FramePhase, s.MiniVideo, s.ForeView, s.SaveMapPath), std::tuple(1, 1, 0, folder));
    const QByteArray expected =
        "[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n[ForeView]\n"
        "ForeViewNumber=0\n[SaveMapPath]\nSaveMapPathNumber=" +
        folder.toUtf8() +
        "\n[VirtualCode1]\nVirtualCodeNumber=65\n[Modifiers1]\nModifiersNumber=6\n"
        "[VirtualCode2]\nVirtualCodeNumber=66\n[Modifiers2]\nModifiersNumber=6\n"
        "[VirtualCode3]\nVirtualCodeNumber=67\n[Modifiers3]\nModifiersNumber=6\n"
        "[VirtualCode4]\nVirtualCodeNumber=68\n[Modifiers4]\nModifiersNumber=6\n";
    EXPECT_EQ(readAll(iniPath()), expected);
    EXPECT_FALSE(QDir(folder).exists()) << "the snapshot folder is made when a snapshot is taken";

    // Started in the root folder: one slash.
    ASSERT_TRUE(QDir::setCurrent("/"));
    CSettingsFile::WriteDefaults(s);
    EXPECT_EQ(s.SaveMapPath, "/SavePic/");
}

TEST_F(SettingsFileTest, NumbersFollowAtoiInEightBitsAndMissingKeysReadAsOne) {
    writeAll(iniPath(), "[FramePhase]\nFramePhaseNumber=257\n[MiniVideo]\nMiniVideoNumber=abc\n"
                        "[ForeView]\nForeViewNumber=2\n[VirtualCode1]\nVirtualCodeNumber=  70xyz\n"
                        "[Modifiers1]\nModifiersNumber=65539\n[VirtualCode2]\nVirtualCodeNumber=-1\n"
                        "[Modifiers2]\n[VirtualCode3]\nVirtualCodeNumber=99999999999999999999\n");
    CSettings s;
    HotKeySetting keys[4];
    CSettingsFile::Read(s, keys);
    EXPECT_EQ(s.FramePhase, 1); // 257 kept in 8 bits
    EXPECT_EQ(s.MiniVideo, 0);  // not a number
    EXPECT_EQ(s.ForeView, 2);   // kept as read: only exactly 1 means topmost
    EXPECT_EQ(s.SaveMapPath, CSettingsFile::DefaultSnapshotFolder()); // missing: the default, not "1"
    EXPECT_EQ(keys[0], (HotKeySetting{70, 3}));                       // 65539 & 0xFFFF
    EXPECT_EQ(keys[1], (HotKeySetting{0xFFFF, 1}));                   // -1 in 16 bits; the key missing
    EXPECT_EQ(keys[2].modifiers, 1u);
    EXPECT_EQ(keys[3], (HotKeySetting{1, 1}));

    // A ForeView section without its key means topmost; an empty folder is the default one, and a
    // long one is read whole (cut at 255 characters it would be another folder).
    const QString longFolder = "/media/" + QString(300, QChar(u'长')) + "/shots/";
    for (const auto& [line, folder] :
         {std::pair(QString("SaveMapPathNumber=  "), CSettingsFile::DefaultSnapshotFolder()),
          std::pair("SaveMapPathNumber=" + longFolder, longFolder)}) {
        writeAll(iniPath(), "[ForeView]\nOther=0\n[SaveMapPath]\n" + line.toUtf8() + "\n");
        CSettingsFile::Read(s, keys);
        EXPECT_EQ(s.ForeView, 1);
        EXPECT_EQ(s.SaveMapPath, folder);
    }

    for (const auto& [text, value] : {std::pair("-129", 127), {"255", -1}, {" +12 ", 12}, {"", 0}}) {
        EXPECT_EQ(CSettingsFile::ToInt8(text), value) << text;
    }
}

// A write keeps the rest of a hand-edited file. The fifth hot key came later: what is missing of it
// reads as Ctrl+Shift+E, writing the four leaves it out, and writing it adds just its sections.
TEST_F(SettingsFileTest, WritingAHandEditedFileKeepsItsOtherContentAndAddsTheFifthKeyOnlyWhenWritten) {
    writeAll(iniPath(), "; written by hand\r\n[mine]\r\ncolour=blue\r\n\r\n[FRAMEPHASE]\r\n"
                        "framephasenumber=0\r\n; about the mode\r\n");
    CSettings s;
    HotKeySetting keys[4];
    CSettingsFile::Read(s, keys);
    EXPECT_EQ(s.FramePhase, 0);
    EXPECT_EQ(CSettingsFile::ReadCaptureAllKey(), (HotKeySetting{69, 6}));
    s.FramePhase = 1;
    s.SaveMapPath = "/videos/shots/";
    keys[0] = {112, 3}; // F1 with Ctrl+Alt
    ASSERT_TRUE(CSettingsFile::Write(s, keys));
    const QByteArray after = readAll(iniPath());
    EXPECT_TRUE(after.startsWith("; written by hand\r\n[mine]\r\ncolour=blue\r\n\r\n[FRAMEPHASE]\r\n"
                                 "FramePhaseNumber=1\r\n; about the mode\r\n"));
    EXPECT_FALSE(after.contains("\n\n")) << "a line end other than CRLF was added";
    EXPECT_FALSE(CSettingsFile::HasCaptureAllKey());
    CSettings back;
    HotKeySetting backKeys[4];
    CSettingsFile::Read(back, backKeys);
    EXPECT_EQ(std::tie(back.FramePhase, back.SaveMapPath), std::tuple(1, QString("/videos/shots/")));
    EXPECT_EQ(backKeys[0], (HotKeySetting{112, 3}));

    ASSERT_TRUE(CSettingsFile::WriteCaptureAllKey({119, 3})); // Ctrl+Alt+F8
    EXPECT_EQ(readAll(iniPath()),
              after + "[VirtualCode5]\r\nVirtualCodeNumber=119\r\n[Modifiers5]\r\nModifiersNumber=3\r\n");
    EXPECT_TRUE(CSettingsFile::HasCaptureAllKey());
    EXPECT_EQ(CSettingsFile::ReadCaptureAllKey(), (HotKeySetting{119, 3}));
    writeAll(iniPath(), "[Modifiers5]\nModifiersNumber=1\n[VirtualCode5]\nVirtualCodeNumber=\n");
    EXPECT_EQ(CSettingsFile::ReadCaptureAllKey(), (HotKeySetting{69, 1})) << "an empty code is a missing one";
}

TEST_F(SettingsFileTest, UnwritableFolderKeepsTheSettingsInMemoryAndSaysSoOnce) {
    // XDG_CONFIG_HOME is a plain file, so the folder can never be made (even for root).
    const QString blocker = m_config.filePath("not-a-folder");
    writeAll(blocker, "x");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));

    CSettings s;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CSettingsFile::WriteDefaults(s));
    CSettings changed = s;
    changed.MiniVideo = 0;
    changed.SaveMapPath = "/tmp/shots/";
    HotKeySetting keys[4] = {{112, 2}, {113, 2}, {114, 2}, {115, 2}};
    EXPECT_FALSE(CSettingsFile::Write(changed, keys));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TetravSet.ini"), std::string::npos) << err;
    EXPECT_EQ(err.find("TetravSet.ini"), err.rfind("TetravSet.ini")) << "said more than once:\n" << err;

    // The rest of the run sees what was written.
    EXPECT_TRUE(CSettingsFile::Exists());
    CSettings back;
    HotKeySetting backKeys[4];
    CSettingsFile::Read(back, backKeys);
    EXPECT_EQ(std::tie(back.FramePhase, back.MiniVideo, back.SaveMapPath),
              std::tuple(1, 0, QString("/tmp/shots/")));
    EXPECT_EQ(backKeys[3], (HotKeySetting{115, 2}));
    EXPECT_EQ(readAll(blocker), "x");

    // A relative or missing configuration folder means the one in the home folder.
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    EXPECT_EQ(CSettingsFile::Folder(), QDir::homePath() + "/.config/tetrav");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(CSettingsFile::Folder(), QDir::homePath() + "/.config/tetrav");
}

} // namespace
