// The stream probe: reference choice over scripted lengths (shortest/longest, ties, channels
// without a length), the detector's answers and messages on real clips and unreadable files,
// and its patience with a file that comes slowly. (Files a user may not read, or that lie behind a
// folder they may not search: BadMediaTest, run as such a user.)
#include "EngineTestUtil.h"
#include "engine/CStreamProbe.h"
#include "platform/MessageBoxRecorder.h"
#include "support/ScriptedChannel.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <optional>

using namespace enginetest;

namespace {

// A channel whose length is scripted; negative = GetDuration fails.
class LengthChannel : public ScriptedChannel {
public:
    explicit LengthChannel(double length)
        : ScriptedChannel(std::make_shared<ChannelScript>()), m_length(length) {}
    bool GetDuration(double& seconds) const override {
        seconds = m_length < 0 ? seconds : m_length;
        return m_length >= 0;
    }

private:
    double m_length;
};

// Probes four panes with scripted lengths (nullopt: no file there); every file is a 25 fps clip,
// except pane 2's when badFile is given.
double probe(const std::array<std::optional<double>, 4>& lengths, int miniVideo, ProbeState& state,
             const char* badFile = nullptr) {
    QString paths[4];
    std::optional<LengthChannel> owned[4];
    IChannel* channels[4] = {};
    for (int k = 0; k < 4; ++k) {
        if (lengths[k]) {
            paths[k] = clip(k == 1 && badFile ? badFile : "a_6s.mp4");
            channels[k] = &owned[k].emplace(*lengths[k]);
        }
    }
    return CStreamProbe::ProbeChannels(paths, channels, miniVideo, state);
}

constexpr std::nullopt_t none = std::nullopt;

TEST(StreamProbe, ReferenceIsTheShortestOrLongestWithTiesToTheLowerPaneAndZeroNeverLeading) {
    const struct {
        std::array<std::optional<double>, 4> lengths; // negative: the length cannot be read
        int miniVideo;                                // 1 shortest, anything else longest
        double expected;
        int reference;
        int openCount;
    } table[] = {{{none, 30.5, none, 12.0}, 1, 12.0, 3, 2},
                 {{none, 30.5, none, 12.0}, 0, 30.5, 1, 2},
                 {{none, 30.5, none, 12.0}, 2, 30.5, 1, 2}, // a hand-edited settings file
                 {{20.0, 8.0, 8.0, 20.0}, 1, 8.0, 1, 4},
                 {{20.0, 8.0, 8.0, 20.0}, 0, 20.0, 0, 4},
                 // An unreadable length counts as an open channel of length 0.
                 {{-1.0, 5.0, none, 0.0}, 1, 5.0, 1, 3},
                 {{0.0, -1.0, none, none}, 1, 0, -1, 2},
                 {{0.0, -1.0, none, none}, 0, 0, -1, 2},
                 {{none, none, none, none}, 1, 0, -1, 0}};
    MessageBoxRecorder shown; // the probe shows nothing itself
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << "row " << &row - table);
        ProbeState state;
        EXPECT_EQ(probe(row.lengths, row.miniVideo, state), row.expected);
        EXPECT_EQ(state.openCount, row.openCount);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(state.reference[k], int(k == row.reference)) << k;
            EXPECT_EQ(state.length[k], std::max(row.lengths[k].value_or(0), 0.0)) << k;
            EXPECT_EQ(state.frameRate[k], row.lengths[k] ? 25.0 : 0) << k;
        }
        EXPECT_TRUE(state.messages.isEmpty());
    }

    // A channel whose detector fails keeps its length, and the failure is said once.
    ProbeState state;
    EXPECT_EQ(probe({6.0, 4.0, none, none}, 1, state, "not_video.avi"), 4.0);
    EXPECT_EQ(state.reference[1], 1);
    EXPECT_EQ(state.frameRate[1], double(ProbeResult::kUnknownType));
    EXPECT_EQ(state.messages.size(), 1);
    EXPECT_TRUE(shown.texts().isEmpty());
}

// Frame rates and sound of real files, without a word; failures show one message each.
TEST(StreamProbe, DetectorReadsRealFilesAndItsFailuresShowOneMessageAndReturnTheCode) {
    MessageBoxRecorder shown; // the probe shows nothing itself
    QStringList quiet;
    for (const auto& [name, rate, sound] : {std::tuple("a_6s.mp4", 25.0, 1),
                                            {"format.vob", 25.0, 1},
                                            {"audio_only_3s.m4a", 0.0, 1},
                                            {"video_only_3s.mp4", 25.0, 0}}) {
        EXPECT_EQ(CStreamProbe::GetVideoFrameRate(clip(name), -1, &quiet), rate) << name;
        EXPECT_EQ(CStreamProbe::HasAudioStream(clip(name), -1, &quiet), sound) << name;
    }
    EXPECT_TRUE(quiet.isEmpty()) << quiet.join("|").toStdString();
    const std::pair<const char*, int> failures[] = {{"no_such_clip.mp4", ProbeResult::kFileNotFound},
                                                    {"not_video.avi", ProbeResult::kUnknownType},
                                                    {"zero.mp4", ProbeResult::kUnknownType}};
    for (const auto& [name, code] : failures) {
        SCOPED_TRACE(name);
        QStringList messages;
        const QString path = clip(name);
        EXPECT_EQ(CStreamProbe::GetVideoFrameRate(path, -1, &messages), double(code));
        EXPECT_EQ(CStreamProbe::HasAudioStream(path, -1, &messages), code);
        EXPECT_EQ(CStreamProbe::HasAudioStream(path, 2, &messages), code);
        // The text as the classic detector wrote it; the file (and its pane) on the second line.
        const QString expected = QString::asprintf("Couldn't load the file!  hr=0x%x\r\n", unsigned(code));
        EXPECT_EQ(messages, QStringList({expected + path, expected + path,
                                         expected + QString::fromUtf8("视频三：") + path}));
    }
    EXPECT_EQ(CStreamProbe::GetVideoFrameRate(QString(), -1, &quiet), -2147467261.0);
    EXPECT_EQ(CStreamProbe::HasAudioStream(QString(), -1, &quiet), int(0x80004003));
    EXPECT_TRUE(quiet.isEmpty()) << "a missing path is not the detector's failure";
    EXPECT_TRUE(shown.texts().isEmpty());
}

// A slow machine: a file that comes slowly but steadily is detected however long that takes;
// one whose reading stops times out within a stall or so.
TEST(StreamProbe, DetectionWaitsWhileTheFileComesAndGivesUpOnlyWhenNothingMoves) {
    static constexpr int kStallMs = 3000; // wide enough for a sanitizer build on a busy machine
    const struct {
        const char* name;
        int delayMs;
        int stopAfter;
        int code; // 0: detected
    } cases[] = {{"read slowly throughout", kStallMs / 2, -1, 0},
                 {"reading stops after the header", 0, 2, ProbeResult::kTimeout}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A stopped reader holds its piece for three stalls (the detector must give up
        // meanwhile), then lets it go so the pipeline can stop.
        SourcePacer reader(c.delayMs, c.stopAfter, 3 * kStallMs);
        DiscoverLimits limits;
        limits.stallUs = kStallMs * 1000LL;
        limits.onSource = [&](GstElement* source) { reader.attach(source); };
        QElapsedTimer clock;
        clock.start();
        const StreamFacts facts = CStreamProbe::DiscoverWithin(clip("a_6s.mp4"), limits);
        const qint64 tookMs = clock.elapsed();
        EXPECT_EQ(facts.failure, c.code)
            << "after " << tookMs << " ms, " << reader.pieces() << " pieces read";
        if (c.code == 0) {
            EXPECT_EQ(CStreamProbe::VideoFrameRateOf(facts, 0), 25.0);
            // Three pieces or more took longer than a stall in all: only the progress kept it on.
            EXPECT_GE(reader.pieces(), 3);
        } else {
            EXPECT_GT(reader.pieces(), c.stopAfter) << "the reading really stopped";
            EXPECT_LT(tookMs, 10 * kStallMs);
        }
    }
}

} // namespace
