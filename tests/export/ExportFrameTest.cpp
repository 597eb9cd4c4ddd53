// The exporter on the project's frame-coded clips, read back frame by frame: every quarter shows
// the frame of the same instant (offsets included) whatever the container, codec and key-frame
// spacing; the first frame is the in mark's; the count is the interval's at the reference's rate.
// (The four containers from an in mark inside every GOP, with the reference's sound: the export from
// the window, ExportWindowTest. A cancel: ExportCommandTest's Ctrl+C.)
#include "export/CExporter.h"
#include "export/ExportReadBack.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <ostream>

using tetrav::test::clip;

namespace {

struct Pane {
    const char* file; // "" = empty pane
    double offset;
    double rate; // its frames per second
    double length;
};

struct FrameCase {
    const char* name;
    std::array<Pane, 4> panes;
    int reference;
    double from, to;
    const char* output;
    ExportJob::Sound sound;
    int frames; // the interval's count at the reference's rate
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

// The frame pane k shows at output frame i, as the player would show it, or black.
int Expected(const FrameCase& c, int k, int i) {
    const Pane& pane = c.panes[std::size_t(k)];
    const double rate = c.panes[std::size_t(c.reference)].rate;
    if (pane.file[0] == '\0') {
        return exporttest::kBlack;
    }
    const double t = c.from + i / rate + pane.offset;
    const int n = int(std::floor(t * pane.rate + 0.25));
    return t < -0.001 || t >= pane.length ? exporttest::kBlack : n;
}

const Pane kMp4{"sync_h264.mp4", 0, 25, 12};
const Pane kMkvB{"sync_h264_b.mkv", 0, 25, 12}; // B-frames, key frames 4 s apart
const Pane kWebm{"sync_vp8.webm", 0, 25, 12};   // key frames 2.4 s apart
const Pane kAvi{"sync_mpeg4.avi", 0, 25, 12};   // MPEG-4 part 2

Pane Shifted(Pane p, double offset) {
    p.offset = offset;
    return p;
}

const FrameCase kCases[] = {
    // +1 s, -0.2 s, and a pane that starts 1 s into the interval (black until then).
    {"OffsetsIntoMatroska",
     {kMp4, Shifted(kMkvB, 1.0), Shifted(kWebm, -0.2), Shifted(kAvi, -5.0)},
     0,
     4.0,
     6.0,
     "out.mkv",
     ExportJob::Sound::Mix,
     50},
    // A 30 fps reference in pane 3 over 25, 50 and 60 fps panes: each shows its frame of the instant.
    {"ThirtyFramesASecondReference",
     {kMp4, Pane{"sync_fps50.mp4", 0, 50, 12}, Pane{"sync_fps30.mp4", 0, 30, 12},
      Pane{"sync_fps60.mp4", 0, 60, 12}},
     2,
     1.5,
     3.0,
     "out.mp4",
     ExportJob::Sound::Silent,
     45},
    // A phone clip stored on its side is shown upright; an empty pane is black; a pane that
    // ends inside the interval goes black at its end.
    {"UprightEmptyAndEnding",
     {Pane{"rotated_90.mp4", 0, 25, 3}, Pane{"", 0, 25, 0}, Pane{"b_4s.mp4", 1.5, 25, 4}, kMp4},
     3,
     1.0,
     3.0,
     "out.mp4",
     ExportJob::Sound::Mix,
     50},
};

class ExportFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ExportFrameTest, EveryQuarterShowsTheFrameOfTheSameInstant) {
    const FrameCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExportJob job;
    for (std::size_t k = 0; k < 4; ++k) {
        job.paths[k] = c.panes[k].file[0] ? clip(c.panes[k].file) : QString();
        job.offsets[k] = c.panes[k].offset;
    }
    job.reference = c.reference;
    job.from = c.from;
    job.to = c.to;
    job.sound = c.sound;
    job.output = dir.filePath(c.output);
    job.container = ExportJob::ContainerFor(job.output);
    std::atomic<bool> cancel{false};
    std::int64_t lastDone = 0;
    const ExportResult result = CExporter::Run(job, cancel, [&](std::int64_t done, std::int64_t total) {
        EXPECT_EQ(done, lastDone + 1);
        EXPECT_EQ(total, c.frames);
        lastDone = done;
    });
    ASSERT_EQ(result.status, ExportResult::Status::Done) << result.message.toStdString();
    EXPECT_TRUE(result.notes.isEmpty()) << result.notes.join('\n').toStdString();
    EXPECT_EQ(result.frames, c.frames);
    EXPECT_EQ(lastDone, c.frames);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{c.output});

    const exporttest::ReadBack back = exporttest::ReadExport(job.output);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.size, QSize(640, 480)) << "twice the reference's 320x240";
    EXPECT_EQ(double(back.rateNum) / back.rateDen, c.panes[std::size_t(c.reference)].rate);
    EXPECT_EQ(back.sound, c.sound != ExportJob::Sound::Silent);
    ASSERT_EQ(int(back.frames.size()), c.frames);
    int off = 0;
    for (int i = 0; i < c.frames; ++i) {
        for (int k = 0; k < 4; ++k) {
            const int seen = back.frames[std::size_t(i)][std::size_t(k)];
            if (seen != Expected(c, k, i)) {
                ++off;
                ADD_FAILURE() << "frame " << i << " pane " << k + 1 << ": shows " << seen
                              << ", the instant's is " << Expected(c, k, i);
            }
        }
        if (off > 8) {
            break;
        }
    }
    EXPECT_EQ(off, 0);
}

INSTANTIATE_TEST_SUITE_P(Sets, ExportFrameTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that stops before its index says (copied in part, or cut while being read: the
// reader holds up to 2 MB ahead, so a test clip is read whole at once and a real cut cannot be
// timed here): its pane goes black from there, the others play on, and the result says so.
TEST(ExportRunTest, AFileThatStopsShortGoesBlackFromThereAndTheResultSaysSo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExportJob job;
    job.paths = {clip("c_10s.mp4"), clip("cut_short.mp4"), QString(), QString()};
    job.from = 2.0;
    job.to = 8.0;
    job.output = dir.filePath("out.mp4");
    std::atomic<bool> cancel{false};
    const ExportResult result = CExporter::Run(job, cancel, {});
    ASSERT_EQ(result.status, ExportResult::Status::Done) << result.message.toStdString();
    ASSERT_EQ(result.notes.size(), 1);
    EXPECT_TRUE(result.notes[0].startsWith(QStringLiteral("视频二的文件在 00:00:0")))
        << result.notes[0].toStdString();
    const exporttest::ReadBack back = exporttest::ReadExport(job.output);
    ASSERT_EQ(back.frames.size(), 150u);
    // Pane 2 shows its frames, then black to the end; pane 1 plays on.
    std::size_t firstBlack = back.frames.size();
    for (std::size_t i = 0; i < back.frames.size(); ++i) {
        EXPECT_EQ(back.frames[i][0], int(50 + i));
        if (back.frames[i][1] == exporttest::kBlack && firstBlack == back.frames.size()) {
            firstBlack = i;
        }
    }
    for (std::size_t i = 0; i < back.frames.size(); ++i) {
        if (i + 10 < firstBlack) {
            EXPECT_EQ(back.frames[i][1], int(50 + i));
        } else if (i < firstBlack) {
            // Next to the cut some frames lack their data: the one before stays, never a later one.
            EXPECT_LE(back.frames[i][1], int(50 + i));
            EXPECT_GE(back.frames[i][1], int(50 + i) - 10);
        } else {
            EXPECT_EQ(back.frames[i][1], exporttest::kBlack) << "frame " << i;
        }
    }
    EXPECT_GT(firstBlack, 10u);
    EXPECT_LT(firstBlack, back.frames.size());
    EXPECT_TRUE(result.notes[0].contains(CExporter::TimeText(2.0 + double(firstBlack) / 25)))
        << result.notes[0].toStdString();
}

} // namespace
