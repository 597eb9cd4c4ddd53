// Decoding real files made by the project's scripts, and aligning the made-up event's four
// recordings (different rates, codecs, gains, filters and noise) with their unrelated and
// silent neighbours.
#include "align/AlignMaterial.h"
#include "align/CAudioAligner.h"
#include "align/CAudioDecoder.h"
#include "platform/FileName.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <ostream>

namespace {

using namespace tetrav::test;

std::string Uri(const QString& path) {
    return FileName::ToUri(QFileInfo(path).absoluteFilePath()).toStdString();
}

struct DecodeCase {
    const char* name;
    QString path;
    AudioStatus status;
    double seconds; // of sound read (when Ok), 0: not checked
    double maxSeconds = 600.0;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, GivesTheSoundOrSaysWhyNot) {
    const DecodeCase& c = GetParam();
    const std::atomic<bool> cancel{false};
    CAudioDecoder::Options options;
    options.maxSeconds = c.maxSeconds;
    const DecodedAudio audio = CAudioDecoder::Decode(Uri(c.path), options, cancel);
    EXPECT_EQ(int(audio.status), int(c.status)) << audio.detail;
    if (c.seconds > 0.0) {
        EXPECT_NEAR(double(audio.samples.size()) / options.rate, c.seconds, 0.05);
    }
    if (c.status != AudioStatus::Ok && c.status != AudioStatus::Silent) {
        EXPECT_TRUE(audio.samples.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Align, Decode,
    ::testing::Values(
        DecodeCase{"pcm_in_mov", alignClip("cam4.mov"), AudioStatus::Ok, 18.0},
        DecodeCase{"opus_in_mkv", alignClip("cam2.mkv"), AudioStatus::Ok, 20.0},
        DecodeCase{"read_no_further_than_asked", alignClip("cam1.mp4"), AudioStatus::Ok, 5.0, 5.0},
        DecodeCase{"silent", alignClip("silent.mp4"), AudioStatus::Silent, 0.0},
        DecodeCase{"no_audio_track", clip("video_only_3s.mp4"), AudioStatus::NoAudio, 0.0},
        DecodeCase{"audio_no_decoder_reads", alignClip("undecodable.mov"), AudioStatus::Undecodable, 0.0},
        DecodeCase{"missing_file", alignClip("no-such-file.mp4"), AudioStatus::Undecodable, 0.0},
        DecodeCase{"not_media", clip("bad/text.avi"), AudioStatus::Undecodable, 0.0}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

// The lag is looked for in the tracks' beginnings first, then in twice as much: from the whole
// of these clips at once (they are shorter than the first look) or from two seconds on, where the
// cameras' beginnings do not overlap at first (camera 3 starts 9 s after camera 1).
class Stages : public ::testing::TestWithParam<double> {
protected:
    static CAudioAligner::Options FirstLook(double seconds) {
        CAudioAligner::Options options;
        options.firstExcerptSeconds = seconds;
        return options;
    }
};

// The four cameras: every pane within 10 ms of the truth (a quarter frame at 25 fps).
TEST_P(Stages, FourCamerasOfOneEventLineUp) {
    const std::atomic<bool> cancel{false};
    std::array<std::string, 4> uris;
    const QString names[4] = {"cam1.mp4", "cam2.mkv", "cam3.mkv", "cam4.mov"};
    for (int k = 0; k < 4; ++k) {
        uris[std::size_t(k)] = Uri(alignClip(names[k]));
    }
    double lastProgress = 0.0;
    bool backwards = false;
    const AlignResult result = CAudioAligner::Run(uris, 3, FirstLook(GetParam()), cancel, [&](double f) {
        backwards = backwards || f < lastProgress;
        lastProgress = f;
    });
    ASSERT_TRUE(result.ReferenceHasSound());
    EXPECT_EQ(result.AlignedCount(), 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(names[k].toStdString());
        const PaneAlignment& pane = result.panes[std::size_t(k)];
        ASSERT_EQ(int(pane.outcome), int(PaneAlignment::Outcome::Aligned));
        EXPECT_NEAR(pane.offset, trueOffset(names[k], names[3]), 0.010);
        EXPECT_GT(pane.confidence, PhatCorrelator::kMinConfidence);
    }
    EXPECT_DOUBLE_EQ(lastProgress, 1.0);
    EXPECT_FALSE(backwards);
}

// Beside the reference: another event, a silent recording, a clip without sound and one whose
// sound cannot be decoded; asked for one pane alone, the others are left out.
TEST_P(Stages, UnrelatedSilentAndSoundlessPanesAreNamedNotMoved) {
    const std::atomic<bool> cancel{false};
    const std::array<std::string, 4> uris = {Uri(alignClip("cam1.mp4")), Uri(alignClip("other.mp4")),
                                             Uri(alignClip("silent.mp4")), Uri(clip("video_only_3s.mp4"))};
    const AlignResult result = CAudioAligner::Run(uris, 0, FirstLook(GetParam()), cancel);
    using O = PaneAlignment::Outcome;
    EXPECT_EQ(int(result.panes[0].outcome), int(O::Reference));
    EXPECT_EQ(int(result.panes[1].outcome), int(O::NoMatch));
    EXPECT_LT(result.panes[1].confidence, PhatCorrelator::kMinConfidence);
    EXPECT_EQ(int(result.panes[2].outcome), int(O::Silent));
    EXPECT_EQ(int(result.panes[3].outcome), int(O::NoAudio));

    CAudioAligner::Options one = FirstLook(GetParam());
    one.onlyPane = 1;
    const AlignResult alone = CAudioAligner::Run(
        {Uri(alignClip("cam1.mp4")), Uri(alignClip("cam3.mkv")), Uri(alignClip("cam2.mkv")), {}}, 0, one,
        cancel);
    EXPECT_EQ(int(alone.panes[1].outcome), int(O::Aligned));
    EXPECT_NEAR(alone.panes[1].offset, trueOffset("cam3.mkv", "cam1.mp4"), 0.010);
    EXPECT_EQ(int(alone.panes[2].outcome), int(O::NotAsked));

    // A reference without sound aligns nothing.
    const AlignResult none =
        CAudioAligner::Run({Uri(alignClip("undecodable.mov")), Uri(alignClip("cam1.mp4")), {}, {}}, 0,
                           FirstLook(GetParam()), cancel);
    EXPECT_FALSE(none.ReferenceHasSound());
    EXPECT_EQ(int(none.panes[0].outcome), int(O::Undecodable));
    EXPECT_EQ(int(none.panes[1].outcome), int(O::NotAsked));
}

INSTANTIATE_TEST_SUITE_P(Align, Stages, ::testing::Values(30.0, 2.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return info.param >= 30.0 ? std::string("whole_clips_at_once")
                                                       : std::string("from_two_seconds_on");
                         });

// Cancelled, a decoding gives nothing; cancelling while the tracks are read ends the run promptly
// and places no pane.
TEST(Align, CancelledDecodingGivesNothingAndACancelledRunPlacesNothing) {
    const std::atomic<bool> cancelled{true};
    const DecodedAudio audio = CAudioDecoder::Decode(Uri(alignClip("cam1.mp4")), {}, cancelled);
    EXPECT_EQ(int(audio.status), int(AudioStatus::Cancelled));
    EXPECT_TRUE(audio.samples.empty());

    std::atomic<bool> cancel{false};
    const AlignResult result = CAudioAligner::Run(
        {Uri(alignClip("cam1.mp4")), Uri(alignClip("cam2.mkv")), Uri(alignClip("cam3.mkv")), {}}, 0, {},
        cancel, [&](double f) {
            if (f > 0.0) {
                cancel = true;
            }
        });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.AlignedCount(), 0);
}

} // namespace
