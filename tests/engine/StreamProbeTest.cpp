// The stream probe: reference choice over scripted lengths (shortest/longest, ties, channels
// without a length), and the detector's answers and messages on real clips.
#include "EngineTestUtil.h"
#include "engine/CStreamProbe.h"
#include "platform/MessageBoxRecorder.h"
#include "support/ChildCase.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <vector>

using namespace enginetest;

namespace {

// A channel whose length is scripted; negative = GetDuration fails.
class ScriptedChannel : public CChannelGraph {
public:
    explicit ScriptedChannel(double length) : m_length(length) {}
    bool GetDuration(double& seconds) override {
        if (m_length < 0) {
            return false;
        }
        seconds = m_length;
        return true;
    }

private:
    double m_length;
};

struct ProbeSet {
    QString paths[4];
    std::unique_ptr<ScriptedChannel> owned[4];
    CChannelGraph* channels[4] = {nullptr, nullptr, nullptr, nullptr};
    ProbeState state;

    // lengths[k]: nullopt = channel k not open.
    explicit ProbeSet(std::initializer_list<std::optional<double>> lengths) {
        int k = 0;
        for (const auto& length : lengths) {
            if (length) {
                paths[k] = tetrav::test::clip("a_6s.mp4");
                owned[k] = std::make_unique<ScriptedChannel>(*length);
                channels[k] = owned[k].get();
            }
            ++k;
        }
    }
    double run(int miniVideo) { return CStreamProbe::ProbeChannels(paths, channels, miniVideo, state); }
    int referenceChannel() const {
        int found = -1;
        for (int k = 0; k < 4; ++k) {
            if (state.reference[k]) {
                EXPECT_EQ(found, -1) << "only one reference channel";
                found = k;
            }
        }
        return found;
    }
};

TEST(StreamProbe, ShortestOrLongestBecomesTheReference) {
    MessageBoxRecorder boxes;
    ProbeSet set({std::nullopt, 30.5, std::nullopt, 12.0});
    EXPECT_EQ(set.run(1), 12.0);
    EXPECT_EQ(set.state.openCount, 2);
    EXPECT_EQ(set.referenceChannel(), 3);
    EXPECT_EQ(set.state.length[1], 30.5);
    EXPECT_EQ(set.state.length[0], 0);
    EXPECT_EQ(set.state.frameRate[1], 25.0);
    EXPECT_EQ(set.state.frameRate[0], 0);

    EXPECT_EQ(set.run(0), 30.5);
    EXPECT_EQ(set.referenceChannel(), 1);
    // Any value but 1 means longest (a hand-edited settings file).
    EXPECT_EQ(set.run(2), 30.5);
    EXPECT_EQ(set.referenceChannel(), 1);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(StreamProbe, TiesGoToTheLowerChannelAndZeroLengthsNeverLead) {
    MessageBoxRecorder boxes;
    ProbeSet ties({20.0, 8.0, 8.0, 20.0});
    EXPECT_EQ(ties.run(1), 8.0);
    EXPECT_EQ(ties.referenceChannel(), 1);
    EXPECT_EQ(ties.run(0), 20.0);
    EXPECT_EQ(ties.referenceChannel(), 0);

    // A channel whose length cannot be read counts as open with length 0.
    ProbeSet failing({-1.0, 5.0, std::nullopt, 0.0});
    EXPECT_EQ(failing.run(1), 5.0);
    EXPECT_EQ(failing.state.openCount, 3);
    EXPECT_EQ(failing.state.length[0], 0);
    EXPECT_EQ(failing.referenceChannel(), 1);

    ProbeSet none({0.0, -1.0, std::nullopt, std::nullopt});
    EXPECT_EQ(none.run(1), 0);
    EXPECT_EQ(none.run(0), 0);
    EXPECT_EQ(none.state.openCount, 2);
    EXPECT_EQ(none.referenceChannel(), -1);

    ProbeSet empty({std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(empty.run(1), 0);
    EXPECT_EQ(empty.state.openCount, 0);
}

TEST(StreamProbe, SortsKeepEqualValuesAndOrderBothWays) {
    double up[] = {3, -1, 0, 3, 2.5, 0};
    CStreamProbe::SortAscending(up, 6);
    EXPECT_EQ(std::vector<double>(up, up + 6), (std::vector<double>{-1, 0, 0, 2.5, 3, 3}));
    double down[] = {0, 7, 0, 12, 7};
    CStreamProbe::SortDescending(down, 5);
    EXPECT_EQ(std::vector<double>(down, down + 5), (std::vector<double>{12, 7, 7, 0, 0}));
    double one[] = {4};
    CStreamProbe::SortAscending(one, 1);
    EXPECT_EQ(one[0], 4);
    CStreamProbe::SortDescending(nullptr, 0);
}

TEST(StreamProbe, DetectorReadsFrameRatesAndSoundOfRealFiles) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(CStreamProbe::GetVideoFrameRate(tetrav::test::clip("a_6s.mp4")), 25.0);
    EXPECT_EQ(CStreamProbe::GetVideoFrameRate(tetrav::test::clip("format.vob")), 25.0);
    EXPECT_EQ(CStreamProbe::GetVideoFrameRate(tetrav::test::clip("audio_only_3s.m4a")), 0.0);
    EXPECT_EQ(CStreamProbe::HasAudioStream(tetrav::test::clip("audio_only_3s.m4a")), 1);
    EXPECT_EQ(CStreamProbe::HasAudioStream(tetrav::test::clip("a_6s.mp4")), 1);
    EXPECT_EQ(CStreamProbe::HasAudioStream(tetrav::test::clip("video_only_3s.mp4")), 0);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("|").toStdString();
}

TEST(StreamProbe, DetectorFailuresShowOneMessageAndReturnTheCode) {
    struct Case {
        const char* clip;
        int code;
    };
    for (const Case& c :
         {Case{"no_such_clip.mp4", ProbeResult::kFileNotFound},
          Case{"not_video.avi", ProbeResult::kUnknownType}, Case{"zero.mp4", ProbeResult::kUnknownType}}) {
        SCOPED_TRACE(c.clip);
        MessageBoxRecorder boxes;
        EXPECT_EQ(CStreamProbe::GetVideoFrameRate(tetrav::test::clip(c.clip)), double(c.code));
        EXPECT_EQ(CStreamProbe::HasAudioStream(tetrav::test::clip(c.clip)), c.code);
        EXPECT_EQ(CStreamProbe::HasAudioStream(tetrav::test::clip(c.clip), 2), c.code);
        // The text as the classic detector wrote it; the file (and its pane) on the second line.
        const QString expected = QString::asprintf("Couldn't load the file!  hr=0x%x\r\n", unsigned(c.code));
        EXPECT_EQ(boxes.texts(),
                  QStringList({expected + tetrav::test::clip(c.clip), expected + tetrav::test::clip(c.clip),
                               expected + QString::fromUtf8("视频三：") + tetrav::test::clip(c.clip)}));
        ASSERT_EQ(boxes.boxes().size(), 3u);
        EXPECT_EQ(boxes.boxes()[0].caption, "Tetrav");
    }
    MessageBoxRecorder boxes;
    EXPECT_EQ(CStreamProbe::GetVideoFrameRate(QString()), -2147467261.0);
    EXPECT_EQ(CStreamProbe::HasAudioStream(QString()), int(0x80004003));
    EXPECT_TRUE(boxes.texts().isEmpty()) << "a missing path is not the detector's failure";
}

// Run as a user without privileges: files that exist but may not be read are told apart from
// missing ones.
TETRAV_CHILD_CASE(ProbeTellsUnreadableFromMissing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString unreadable = dir.filePath("unreadable.mp4");
    ASSERT_TRUE(QFile::copy(tetrav::test::clip("a_6s.mp4"), unreadable));
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFileDevice::WriteOwner));
    ASSERT_TRUE(QDir(dir.path()).mkdir("closed"));
    const QString behindClosed = dir.filePath("closed/a.mp4");
    ASSERT_TRUE(QFile::copy(tetrav::test::clip("a_6s.mp4"), behindClosed));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("closed"), QFileDevice::WriteOwner));
    struct Case {
        QString path;
        int code;
    };
    for (const Case& c :
         {Case{unreadable, ProbeResult::kAccessDenied}, Case{behindClosed, ProbeResult::kAccessDenied},
          Case{dir.filePath("missing.mp4"), ProbeResult::kFileNotFound}}) {
        SCOPED_TRACE(c.path.toStdString());
        MessageBoxRecorder boxes;
        EXPECT_EQ(CStreamProbe::HasAudioStream(c.path, 0), c.code);
        EXPECT_EQ(boxes.texts(),
                  QStringList{QString::asprintf("Couldn't load the file!  hr=0x%x\r\n", unsigned(c.code)) +
                              QString::fromUtf8("视频一：") + c.path});
        CChannelGraph channel;
        ASSERT_TRUE(channel.Create());
        EXPECT_FALSE(channel.RenderFile(c.path));
    }
    QFile::setPermissions(dir.filePath("closed"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(StreamProbe, UnreadableFilesAreAccessDeniedAndMissingOnesNotFound) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TETRAV_CLIPS", tetrav::test::clipsDir());
    QString whyNot;
    const tetrav::test::ChildResult result =
        tetrav::test::RunChildCaseUnprivileged("ProbeTellsUnreadableFromMissing", env, &whyNot);
    if (!whyNot.isEmpty()) {
        GTEST_SKIP() << whyNot.toStdString();
    }
    EXPECT_TRUE(result.passed) << result.output.toStdString();
}

TEST(StreamProbe, AChannelWhoseDetectorFailsKeepsItsLength) {
    MessageBoxRecorder boxes;
    ProbeSet set({6.0, 4.0, std::nullopt, std::nullopt});
    set.paths[1] = tetrav::test::clip("not_video.avi");
    EXPECT_EQ(set.run(1), 4.0);
    EXPECT_EQ(set.referenceChannel(), 1);
    EXPECT_EQ(set.state.frameRate[1], double(ProbeResult::kUnknownType));
    EXPECT_EQ(boxes.texts().size(), 1);
}

TEST(StreamProbe, LengthsComeFromRealChannels) {
    MessageBoxRecorder boxes;
    CChannelGraph a;
    CChannelGraph b;
    ASSERT_TRUE(openClip(a, "a_6s.mp4"));
    ASSERT_TRUE(openClip(b, "b_4s.mp4"));
    QString paths[4] = {tetrav::test::clip("a_6s.mp4"), QString(), tetrav::test::clip("b_4s.mp4"), QString()};
    CChannelGraph* const channels[4] = {&a, nullptr, &b, nullptr};
    ProbeState state;
    EXPECT_NEAR(CStreamProbe::ProbeChannels(paths, channels, 1, state), 4.0, 0.05);
    EXPECT_EQ(state.reference[2], 1);
    EXPECT_NEAR(CStreamProbe::ProbeChannels(paths, channels, 0, state), 6.0, 0.05);
    EXPECT_EQ(state.reference[0], 1);
    EXPECT_EQ(state.frameRate[2], 25.0);
}

} // namespace
