// Capturing all four panes at one instant, in the real window on real clips: a .bmp per pane
// named as the single snapshots are, under one time stamp, and the 2 x 2 .png; the frame each
// picture holds read from the clips' bit cells; other sizes, rotation, empty panes, bad folders.
#include "WindowTestSupport.h"

#include "mainwnd/CCaptureAllWriter.h"
#include "mainwnd/CaptureInstant.h"
#include "platform/CHotKeyManager.h"

#include <QAction>
#include <QDateTime>
#include <QImage>
#include <QRegularExpression>

#include <cstdlib>

namespace mainwnd_test {
namespace {

using enginetest::frameNumberIn;

struct ClipSet {
    const char* name;
    std::array<const char*, 4> clips;
    std::array<double, 4> fps;
    friend void PrintTo(const ClipSet& c, std::ostream* os) { *os << c.name; }
};

// One set of files as the folder holds it: a null picture where a pane has no file.
struct CaptureSet {
    std::array<QImage, 4> panes;
    QImage all;
};

class CaptureAllTest : public ClipWindowTest {
protected:
    void SetUp() override {
        ClipWindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        g_settings.FramePhase = 1;
        // A folder that does not exist yet, with a space and Chinese characters in its name.
        m_folder = m_shots.filePath(QStringLiteral("全部 抓图"));
        g_settings.SaveMapPath = m_folder + QLatin1Char('/');
        QObject::connect(dlg.get(), &CTetravDlg::capturedAll, dlg.get(), [this](bool written, bool one) {
            ++m_finished;
            m_written = written;
            m_oneInstant = one;
        });
    }

    // Starts a capture by the menu or the hot key and waits until it has ended; false if it never did.
    bool Run(bool hotKey) {
        const int before = m_finished;
        hotKey ? emit dlg->HotKeys()->hotKey(HOTKEY_ID_ALL) : dlg->MenuAction(ID_CAPTURE_ALL)->trigger();
        return WaitFor([&] { return m_finished > before; }, 10000);
    }

    // Runs one capture into the emptied folder and reads the set back, checking the names.
    CaptureSet Capture(bool hotKey) {
        QDir(m_folder).removeRecursively();
        const QDateTime from = QDateTime::currentDateTime().addMSecs(-1);
        EXPECT_TRUE(Run(hotKey)) << "the set was never written";
        const QDateTime to = QDateTime::currentDateTime();
        EXPECT_TRUE(m_written);
        CaptureSet set;
        const QRegularExpression name(QStringLiteral("^0([0-4])_(\\d{17})\\.(bmp|png)$"));
        QString stamp;
        for (const QString& file : QDir(m_folder).entryList(QDir::Files)) {
            const QRegularExpressionMatch m = name.match(file);
            const int pane = m.captured(1).toInt();
            EXPECT_TRUE(m.hasMatch() && m.captured(3) == (pane == 0 ? "png" : "bmp")) << file.toStdString();
            EXPECT_TRUE(stamp.isEmpty() || stamp == m.captured(2))
                << "one time stamp: " << file.toStdString();
            stamp = m.captured(2);
            (pane == 0 ? set.all : set.panes[pane - 1]) = QImage(QDir(m_folder).filePath(file));
        }
        const QDateTime at = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddHHmmsszzz"));
        EXPECT_TRUE(at >= from && at <= to) << stamp.toStdString();
        return set;
    }

    // The frame in pane k's quadrant of the 2 x 2 picture, for a picture of size source.
    static int QuadrantFrame(const QImage& all, int k, QSize source) {
        const QSize cell(all.width() / 2, all.height() / 2);
        const QPoint corner(k < 2 ? 0 : cell.width(), k % 2 == 0 ? 0 : cell.height());
        return frameNumberIn(all, enginetest::fittedRect(source, QRect(corner, cell)), source.height());
    }

    QTemporaryDir m_shots;
    QString m_folder;
    int m_finished = 0;
    bool m_written = false;
    bool m_oneInstant = false;
};

class CaptureAllSets : public CaptureAllTest, public testing::WithParamInterface<ClipSet> {};

// Four recordings of one event: every set holds the same instant in its four .bmp files and
// in the four quadrants of its .png, paused, after steps, and while playing at two rates.
TEST_P(CaptureAllSets, FourPicturesAndTheCompositeHoldOneInstant) {
    const ClipSet& set = GetParam();
    EXPECT_TRUE(dlg->HotKeys()->IsRegistered(HOTKEY_ID_ALL))
        << "Ctrl+Shift+E, though the file does not name it";
    OpenClips(set.clips);
    int captures = 0;
    int oneInstant = 0;
    const auto capture = [&](bool hotKey, bool paused) {
        ++captures;
        const std::array<int, 4> shown{FrameOf(0), FrameOf(1), FrameOf(2), FrameOf(3)};
        const CaptureSet files = Capture(hotKey);
        ASSERT_EQ(files.all.size(), QSize(640, 480));
        double latestStart = 0.0;
        double earliestEnd = 1e9;
        std::array<int, 4> n{};
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(files.panes[k].size(), QSize(320, 240)) << "pane " << k + 1;
            n[k] = frameNumberIn(files.panes[k]);
            ASSERT_GE(n[k], 0) << "pane " << k + 1;
            EXPECT_EQ(QuadrantFrame(files.all, k, QSize(320, 240)), n[k]) << "quadrant " << k + 1;
            EXPECT_TRUE(!paused || n[k] == shown[k]) << "pane " << k + 1 << " shows " << shown[k];
            latestStart = std::max(latestStart, n[k] / set.fps[k]);
            earliestEnd = std::min(earliestEnd, (n[k] + 1) / set.fps[k]);
        }
        // Said to be of one instant (always when paused; a set still catching up is said to be
        // apart): the frames, each lasting one period of its clip, have an instant in common.
        EXPECT_TRUE(m_oneInstant || !paused);
        oneInstant += m_oneInstant ? 1 : 0;
        EXPECT_TRUE(!m_oneInstant || latestStart < earliestEnd + 0.001)
            << n[0] << "," << n[1] << "," << n[2] << "," << n[3];
    };
    capture(false, true);
    g_dGotoSecs = 3.0;
    dlg->OnGotoPosition();
    for (int i = 0; i < 3; ++i) {
        Settle();
        dlg->OnStepFrame();
    }
    Settle();
    capture(true, true);
    // Playing, the panes change pictures at nearly but not exactly the same moment: many
    // captures at uneven moments meet those changes.
    for (const bool faster : {false, true}) {
        // From near the start, so that a slow build (sanitizers) does not reach the end.
        g_dGotoSecs = 1.0;
        dlg->OnGotoPosition();
        dlg->OnPlay();
        if (faster) {
            dlg->OnFaster();
        }
        Settle();
        for (int i = 0; i < (faster ? 9 : 13); ++i) {
            SCOPED_TRACE(testing::Message() << (faster ? "double rate, " : "playing, ") << i);
            QTest::qWait(i == 0 ? 170 : 23 + std::rand() % 60);
            capture(i % 2 == 1, false);
        }
    }
    EXPECT_GE(oneInstant, captures * 3 / 4);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CaptureAllSets,
    testing::Values(ClipSet{"MixedCodecs",
                            {"sync_h264.mp4", "sync_h264_b.mkv", "sync_mpeg4.avi", "sync_vp8.webm"},
                            {25, 25, 25, 25}},
                    ClipSet{"MixedRates",
                            {"sync_h264.mp4", "sync_fps30000.mp4", "sync_fps50.mp4", "sync_fps60.mp4"},
                            {25, 30000.0 / 1001.0, 50, 60}}),
    RowName());

// A larger picture sets the cell size and a smaller one is fitted into its cell; a video with
// a rotation is written upright; empty panes get no file and a black cell. A folder that
// cannot be written shows the error box each time and leaves no file, and a set that fails
// part way takes back the files already written.
TEST_F(CaptureAllTest, MixedSizesRotationEmptyPanesAndUnwritableFolders) {
    OpenClips({nullptr, "format.vob", "rotated_90.mp4", nullptr});
    const CaptureSet set = Capture(false);
    EXPECT_TRUE(set.panes[0].isNull() && set.panes[3].isNull());
    ASSERT_EQ(set.panes[1].size(), QSize(352, 288));
    ASSERT_EQ(set.panes[2].size(), QSize(320, 240)) << "turned upright";
    const int vob = frameNumberIn(set.panes[1], set.panes[1].rect(), 288);
    const int rotated = frameNumberIn(set.panes[2]);
    EXPECT_GE(vob, 0);
    EXPECT_GE(rotated, 0) << "the bit cells are along the bottom only when upright";
    ASSERT_EQ(set.all.size(), QSize(704, 576));
    EXPECT_EQ(QuadrantFrame(set.all, 1, QSize(352, 288)), vob);
    EXPECT_EQ(QuadrantFrame(set.all, 2, QSize(320, 240)), rotated);
    const auto black = [&set](QRect r) {
        for (int y = r.top(); y <= r.bottom(); y += 7) {
            for (int x = r.left(); x <= r.right(); x += 7) {
                if (qGray(set.all.pixel(x, y)) > 16) {
                    return false;
                }
            }
        }
        return true;
    };
    EXPECT_TRUE(black(QRect(0, 0, 352, 288))) << "pane 1 is empty";
    EXPECT_TRUE(black(QRect(352, 288, 352, 288))) << "pane 4 is empty";
    EXPECT_TRUE(black(QRect(352, 0, 352, 12))) << "the smaller picture is fitted with black above it";

    dlg->OnPlay();
    for (const QString& folder : UnwritableFolders(m_shots)) {
        SCOPED_TRACE(folder.toStdString());
        boxes.clear();
        g_settings.SaveMapPath = folder;
        ASSERT_TRUE(Run(true));
        EXPECT_FALSE(m_written);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, QString::fromUtf8("保存抓图错误!"));
        EXPECT_EQ(boxes.boxes()[0].caption, QString::fromUtf8("错误"));
        EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC)) << "plays on";
    }

    // The composite's name is taken by a folder: the .bmp files written before it go again.
    const QString partial = m_shots.filePath(QStringLiteral("partial"));
    ASSERT_TRUE(QDir().mkpath(partial + QStringLiteral("/00_20240102030405006.png")));
    EXPECT_FALSE(CCaptureAllWriter::WriteSet(partial, QStringLiteral("20240102030405006"), set.panes));
    EXPECT_EQ(QDir(partial).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("00_20240102030405006.png")});
}

// The choice among each pane's picture on screen and the one before it, on timelines a real
// set gives: panes a frame apart, clips of other rates, rounded timestamps, a pane that has not
// come to its time, an empty pane.
TEST(CaptureInstantTest, PicksThePicturesThatCoverOneInstant) {
    using P = PanePick;
    const auto at = [](double now, double before, double period = 0.04) {
        return PanePictures{true, now, before, period};
    };
    const PanePictures t1 = at(1.0, 0.96);
    const struct {
        const char* name;
        std::array<PanePictures, 4> panes;
        std::array<P, 4> picks;
        bool oneInstant;
    } cases[] = {
        {"one frame everywhere", {t1, t1, t1, t1}, {P::Now, P::Now, P::Now, P::Now}, true},
        {"pane 3 has moved on", {t1, t1, at(1.04, 1.0), t1}, {P::Now, P::Now, P::Before, P::Now}, true},
        {"pane 1 lags", {at(0.96, 0.92), t1, t1, t1}, {P::Now, P::Before, P::Before, P::Before}, true},
        {"25, 60, 50 and 29.97 frames a second",
         {t1, at(1.0333, 1.0167, 1 / 60.0), at(1.02, 1.0, 0.02), at(1.001, 0.968, 1.001 / 30)},
         {P::Now, P::Before, P::Now, P::Now},
         true},
        {"ms timestamps",
         {t1, at(1.001, 0.961), at(0.999, 0.959), t1},
         {P::Now, P::Now, P::Now, P::Now},
         true},
        {"pane 2 two frames ahead", {t1, at(1.08, 1.04), t1, t1}, {P::Now, P::Now, P::Now, P::Now}, false},
        {"pane 4 waits for its time; pane 1 empty; pane 2 without times",
         {PanePictures{}, at(-1, -1), at(5.0, 4.96), at(0.0, -1)},
         {P::None, P::Now, P::Now, P::Now},
         true},
    };
    for (const auto& c : cases) {
        const InstantPicks got = PickOneInstant(c.panes, 2);
        EXPECT_EQ(got.picks, c.picks) << c.name;
        EXPECT_EQ(got.oneInstant, c.oneInstant) << c.name;
    }
}

} // namespace
} // namespace mainwnd_test
