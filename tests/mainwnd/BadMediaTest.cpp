// The bad-media corpus (and special files made here) in the real window, alone and beside clips.
#include "WindowTestSupport.h"

#include "engine/CStreamProbe.h"
#include "platform/MessageBox.h"
#include "support/ChildCase.h"

#include <QFile>

#include <sys/stat.h>

namespace mainwnd_test {
namespace {

enum class Made { Corpus, Folder, Pipe, DanglingLink, Unreadable, BehindClosedFolder };

// A file's channel is refused, silent (no length: no part in play) or plays.
enum class Outcome { Refused, Silent, Plays };

struct BadFile {
    const char* name;
    Made made;
    Outcome outcome;
    int probe;       // 0: the detector reads the file; else the code its message carries
    int probeOr = 0; // another code the message may carry, where the detector's outcome races
};

const BadFile kBadFiles[] = {
    // MP4 without an index: the detector fails or gives up at its time limit.
    {"no_moov.mp4", Made::Corpus, Outcome::Refused, ProbeResult::kFailed, ProbeResult::kTimeout},
    {"random.mp4", Made::Corpus, Outcome::Refused, ProbeResult::kUnknownType},
    {"empty.mkv", Made::Corpus, Outcome::Refused, ProbeResult::kUnknownType},
    {"header_only.wav", Made::Corpus, Outcome::Silent, 0},
    {"subtitles_only.mkv", Made::Corpus, Outcome::Refused, 0},
    {"raw.h264", Made::Corpus, Outcome::Plays, 0},
    {"cut.ts", Made::Corpus, Outcome::Plays, 0},
    {"damaged_middle.mp4", Made::Corpus, Outcome::Plays, 0},
    {"sound_only.mp3", Made::Corpus, Outcome::Plays, 0},
    {"folder.mp4", Made::Folder, Outcome::Refused, ProbeResult::kFileNotFound},
    {"pipe.mp4", Made::Pipe, Outcome::Refused, ProbeResult::kFileNotFound},
    {"dangling.mp4", Made::DanglingLink, Outcome::Refused, ProbeResult::kFileNotFound},
    {"unreadable.mp4", Made::Unreadable, Outcome::Refused, ProbeResult::kAccessDenied},
    {"behind_a_closed_folder.mp4", Made::BehindClosedFolder, Outcome::Refused, ProbeResult::kAccessDenied},
};

const char* const kGood[3] = {"c_10s.mp4", "d_20s.mp4", "a_6s.mp4"};

// The folder a file is made behind, which may not be searched.
QString closedFolder(const QString& dir) {
    return dir + QStringLiteral("/closed");
}

QString makeFile(const BadFile& f, const QString& dir) {
    const QString path = (f.made == Made::BehindClosedFolder ? closedFolder(dir) : dir) + QLatin1Char('/') +
                         QString::fromLatin1(f.name);
    switch (f.made) {
    case Made::Corpus:
        return clip(QStringLiteral("bad/") + QString::fromLatin1(f.name));
    case Made::Folder:
        EXPECT_TRUE(QDir().mkpath(path));
        break;
    case Made::Pipe:
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Made::DanglingLink:
        EXPECT_TRUE(QFile::link(dir + QStringLiteral("/never-there.mp4"), path));
        break;
    case Made::Unreadable:
        EXPECT_TRUE(QFile::copy(clip(QStringLiteral("a_6s.mp4")), path));
        EXPECT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
        break;
    case Made::BehindClosedFolder:
        EXPECT_TRUE(QDir().mkpath(closedFolder(dir)));
        EXPECT_TRUE(QFile::copy(clip(QStringLiteral("a_6s.mp4")), path));
        EXPECT_TRUE(QFile::setPermissions(closedFolder(dir), QFileDevice::WriteOwner));
        break;
    }
    return path;
}

// The real window with private settings and recorded boxes (also in a child: no fixture there).
class Bench {
public:
    Bench() {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        WriteSettings(0, 1);
        g_settings.MiniVideo = 1;
        dlg.show();
        static_cast<void>(QTest::qWaitForWindowExposed(&dlg));
        QApplication::processEvents();
    }
    ~Bench() { dlg.OnStop(); }

    // Opens path in pane (beside the good clips if asked), plays a while and closes the set.
    void Run(const BadFile& f, const QString& path, int pane, bool beside) {
        SCOPED_TRACE(beside ? "beside three good clips" : "alone");
        boxes.clear();
        for (int k = 0, g = 0; k < 4; ++k) {
            dlg.Set().SetPath(k, k == pane ? path : (beside ? clip(kGood[g++]) : QString()));
        }
        dlg.OpenSelectedFiles();
        ASSERT_TRUE(WaitForOpen(dlg));

        QStringList expected;
        const QString second = QString("视频%1：").arg(QString("一二三四").mid(pane, 1)) + path;
        if (f.outcome == Outcome::Refused) {
            expected << "打开视频文件错误!\n" + second;
        }
        if (f.probe != 0) {
            expected << QString::asprintf("Couldn't load the file!  hr=0x%x\r\n", unsigned(f.probe)) + second;
        }
        const bool nothingToPlay = f.outcome != Outcome::Plays && !beside;
        if (nothingToPlay) {
            expected << "选择视频文件错误!";
        }
        QString shown = boxes.texts().join(" | ");
        if (f.probeOr != 0) {
            shown.replace(QString::asprintf("hr=0x%x", unsigned(f.probeOr)),
                          QString::asprintf("hr=0x%x", unsigned(f.probe)));
        }
        EXPECT_EQ(shown, expected.join(" | "));
        for (const auto& box : boxes.boxes()) {
            EXPECT_EQ(box.caption, box.text.startsWith("Couldn't") ? "Tetrav" : "错误")
                << box.text.toStdString();
        }
        if (nothingToPlay) {
            EXPECT_TRUE(IsIdle(dlg)) << "a set with nothing to play is closed";
            return;
        }

        // Opened on its first picture, also a stream that had to play a moment to tell its length.
        const bool badPlays = f.outcome == Outcome::Plays;
        double at = -1.0;
        if (badPlays) {
            ASSERT_NE(dlg.Set().Channel(pane), nullptr);
            EXPECT_TRUE(dlg.Set().Channel(pane)->GetShownPosition(at));
            EXPECT_LT(at, 0.1);
        }
        dlg.OnPlay();
        // Every channel with a length plays; the others have nothing play could start.
        const auto played = [&](int k) {
            return dlg.Set().Path(k).isEmpty() || (k == pane && !badPlays) || dlg.Set().Position(k) > 1.0;
        };
        EXPECT_TRUE(WaitUntil([&] { return played(0) && played(1) && played(2) && played(3); }, 8000));
        if (!badPlays) {
            ASSERT_NE(dlg.Set().Channel(pane), nullptr);
            EXPECT_FALSE(dlg.Set().Channel(pane)->IsRunning());
            EXPECT_FALSE(dlg.Set().Channel(pane)->Run());
        }
        dlg.OnStop();
        EXPECT_TRUE(IsIdle(dlg));
        EXPECT_EQ(boxes.texts().size(), expected.size()) << "no message came during play";
    }

    QTemporaryDir m_config;
    MessageBoxRecorder boxes;
    CTetravDlg dlg;
};

void CheckBadFile(const BadFile& f, int row) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = makeFile(f, dir.path());
    ASSERT_TRUE(f.made != Made::Corpus || QFileInfo::exists(path)) << "run scripts/make-bad-clips.sh";
    {
        Bench bench;
        const int pane = row % 4;
        bench.Run(f, path, pane, false);
        bench.Run(f, path, pane, true);
    }
    QFile::setPermissions(closedFolder(dir.path()),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Permissions hold only for a user without privileges: the rows that need them run in a child as
// one (TETRAV_BAD_ROW says which).
bool NeedsPermissions(const BadFile& f) {
    return f.made == Made::Unreadable || f.made == Made::BehindClosedFolder;
}
TETRAV_CHILD_CASE(BadMediaWithoutPrivileges) {
    const int row = qEnvironmentVariableIntValue("TETRAV_BAD_ROW");
    ASSERT_TRUE(NeedsPermissions(kBadFiles[row]));
    CheckBadFile(kBadFiles[row], row);
}

class BadMediaTest : public testing::TestWithParam<int> {};

TEST_P(BadMediaTest, OpensAloneAndBesideGoodClips) {
    if (!QFileInfo::exists(clip("a_6s.mp4"))) {
        GTEST_SKIP() << "clips missing: run scripts/make-clips.sh";
    }
    const BadFile& f = kBadFiles[GetParam()];
    if (!NeedsPermissions(f)) {
        CheckBadFile(f, GetParam());
        return;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TETRAV_CLIPS", tetrav::test::clipsDir());
    env.insert("TETRAV_BAD_ROW", QString::number(GetParam()));
    QString whyNot;
    const auto result =
        tetrav::test::RunChildCaseUnprivileged("BadMediaWithoutPrivileges", env, &whyNot, 120000);
    if (!whyNot.isEmpty()) {
        GTEST_SKIP() << whyNot.toStdString();
    }
    EXPECT_TRUE(result.passed) << result.output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, BadMediaTest, testing::Range(0, int(std::size(kBadFiles))),
    [](const testing::TestParamInfo<int>& info) {
        return QString::fromLatin1(kBadFiles[info.param].name).replace('.', '_').toStdString();
    });

} // namespace
} // namespace mainwnd_test
