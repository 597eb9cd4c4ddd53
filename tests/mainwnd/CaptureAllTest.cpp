// Capturing all four panes at one instant, in the real window on real clips: one set of files
// (a .bmp per pane named as the single snapshots are, under one time stamp, and the 2 x 2 .png),
// the frame each picture holds read from the clips' bit cells, panes of other sizes or turned
// upright, empty panes, and folders that cannot be written.
#include "WindowTestSupport.h"

#include "engine/CChannelGraph.h"
#include "mainwnd/CCaptureAllWriter.h"
#include "mainwnd/CFrameSync.h"
#include "mainwnd/CaptureInstant.h"
#include "platform/CHotKeyManager.h"
#include "support/FrameIndex.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace mainwnd_test {
namespace {

using enginetest::fittedRect;
using enginetest::frameNumberIn;
using tetrav::test::clip;

struct ClipSet {
    const char* name;
    std::array<const char*, 4> clips;
    std::array<double, 4> fps;
};

void PrintTo(const ClipSet& set, std::ostream* os) {
    *os << set.name;
}

// One set of files as the folder holds it.
struct CaptureSet {
    QDateTime stamp;
    std::array<QImage, 4> panes; // null: no file for that pane
    QImage all;
};

class CaptureAllTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!QFileInfo::exists(clip("sync_vp8.webm")) || !QFileInfo::exists(clip("format.vob"))) {
            GTEST_SKIP() << "clips missing: run scripts/make-clips.sh";
        }
        ASSERT_TRUE(m_shots.isValid());
        ShowWindow();
        g_settings.FramePhase = 1;
        g_settings.MiniVideo = 1;
        // A folder that does not exist yet, with a space and Chinese characters in its name.
        m_folder = m_shots.filePath(QStringLiteral("全部 抓图"));
        g_settings.SaveMapPath = m_folder + QLatin1Char('/');
        QObject::connect(dlg.get(), &CTetravDlg::capturedAll, dlg.get(),
                         [this](bool written, bool oneInstant) {
                             ++m_finished;
                             m_written = written;
                             m_oneInstant = oneInstant;
                         });
    }

    void Open(const std::array<const char*, 4>& clips) {
        for (int k = 0; k < 4; ++k) {
            g_strVideoPath[k] = clips[k] ? clip(QString::fromLatin1(clips[k])) : QString();
        }
        dlg->OpenSelectedFiles();
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(dlg->m_pChannel[k] != nullptr, clips[k] != nullptr) << k;
        }
    }

    void Settle() {
        auto* sync = dynamic_cast<CFrameSync*>(&dlg->ActiveSync());
        ASSERT_NE(sync, nullptr);
        ASSERT_TRUE(WaitFor([sync] { return !sync->Busy(); }, 8000));
        QTest::qWait(150);
    }

    QStringList Files(const QString& folder) const { return QDir(folder).entryList(QDir::Files); }

    // Runs one capture through the menu or the hot key, waits until it is written and reads
    // the set back; the folder is emptied first.
    CaptureSet Capture(bool hotKey) {
        for (const QString& old : Files(m_folder)) {
            QFile::remove(QDir(m_folder).filePath(old));
        }
        const int before = m_finished;
        const QDateTime from = QDateTime::currentDateTime();
        if (hotKey) {
            emit dlg->HotKeys()->hotKey(HOTKEY_ID_ALL);
        } else {
            dlg->MenuAction(ID_CAPTURE_ALL)->trigger();
        }
        const QDateTime to = QDateTime::currentDateTime();
        EXPECT_TRUE(WaitFor([&] { return m_finished > before; }, 10000)) << "the set was never written";
        EXPECT_TRUE(m_written);
        CaptureSet set;
        const QRegularExpression name(QStringLiteral("^0([0-4])_(\\d{17})\\.(bmp|png)$"));
        QString stamp;
        for (const QString& file : Files(m_folder)) {
            const QRegularExpressionMatch m = name.match(file);
            EXPECT_TRUE(m.hasMatch()) << file.toStdString();
            const int pane = m.captured(1).toInt();
            EXPECT_EQ(m.captured(3), pane == 0 ? QStringLiteral("png") : QStringLiteral("bmp"))
                << file.toStdString();
            EXPECT_TRUE(stamp.isEmpty() || stamp == m.captured(2))
                << "one time stamp for the set: " << file.toStdString();
            stamp = m.captured(2);
            const QImage image(QDir(m_folder).filePath(file));
            EXPECT_FALSE(image.isNull()) << file.toStdString();
            (pane == 0 ? set.all : set.panes[pane - 1]) = image;
        }
        set.stamp = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddHHmmsszzz"));
        EXPECT_GE(set.stamp, from.addMSecs(-1));
        EXPECT_LE(set.stamp, to);
        return set;
    }

    // Where pane k's picture of size source sits in the 2 x 2 picture.
    static QRect Quadrant(const QImage& all, int k, QSize source) {
        const QSize cell(all.width() / 2, all.height() / 2);
        return fittedRect(source,
                          QRect(QPoint(k < 2 ? 0 : cell.width(), k % 2 == 0 ? 0 : cell.height()), cell));
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
    const ClipSet& clips = GetParam();
    EXPECT_TRUE(dlg->HotKeys()->IsRegistered(HOTKEY_ID_ALL))
        << "Ctrl+Shift+E, though the file does not name it";
    Open(clips.clips);
    struct Way {
        const char* name;
        std::function<void()> before;
        bool hotKey;
        bool paused;
    };
    const auto play = [this](double rate) {
        return [this, rate] {
            dlg->OnPlay();
            if (rate > 1.0) {
                dlg->OnFaster();
            }
            Settle();
            QTest::qWait(170);
        };
    };
    // While playing, the panes change pictures at nearly but not exactly the same moment: many
    // captures at uneven moments meet those changes.
    const auto wait = [] { QTest::qWait(23 + std::rand() % 60); };
    std::vector<Way> ways = {
        {"menu, paused after opening", [] {}, false, true},
        {"hot key, after frame steps",
         [this] {
             g_dGotoSecs = 3.0;
             dlg->OnGotoPosition();
             Settle();
             for (int i = 0; i < 3; ++i) {
                 dlg->OnStepFrame();
                 Settle();
             }
         },
         true, true},
        {"playing", play(1.0), false, false},
    };
    for (int i = 0; i < 12; ++i) {
        ways.push_back({"playing on", wait, i % 2 == 0, false});
    }
    ways.push_back({"playing at double rate", play(2.0), true, false});
    for (int i = 0; i < 8; ++i) {
        ways.push_back({"playing at double rate on", wait, i % 2 == 0, false});
    }
    int oneInstant = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        way.before();
        std::array<int, 4> shown{};
        for (int k = 0; k < 4; ++k) {
            shown[k] = enginetest::frameShownBy(dlg->m_pChannel[k]->VideoWidget());
        }
        const CaptureSet set = Capture(way.hotKey);
        ASSERT_EQ(set.all.size(), QSize(640, 480));
        double latestStart = 0.0;
        double earliestEnd = 1e9;
        std::array<int, 4> n{};
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(set.panes[k].size(), QSize(320, 240)) << "pane " << k + 1;
            n[k] = frameNumberIn(set.panes[k]);
            ASSERT_GE(n[k], 0) << "pane " << k + 1;
            EXPECT_EQ(frameNumberIn(set.all, Quadrant(set.all, k, QSize(320, 240))), n[k])
                << "quadrant " << k + 1;
            if (way.paused) {
                EXPECT_EQ(n[k], shown[k]) << "the picture pane " << k + 1 << " shows";
            }
            latestStart = std::max(latestStart, n[k] / clips.fps[k]);
            earliestEnd = std::min(earliestEnd, (n[k] + 1) / clips.fps[k]);
        }
        // What the window says of the set holds for the files: the frames, each lasting one
        // period of its clip, have an instant in common. A set that could not catch up within
        // the capture's wait (a machine far too busy) is said to be apart.
        EXPECT_TRUE(m_oneInstant || !way.paused);
        if (m_oneInstant) {
            ++oneInstant;
            EXPECT_LT(latestStart, earliestEnd + 0.001) << n[0] << "," << n[1] << "," << n[2] << "," << n[3];
        }
    }
    EXPECT_GE(oneInstant, int(ways.size()) * 3 / 4);
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
    [](const testing::TestParamInfo<ClipSet>& info) { return std::string(info.param.name); });

// A larger picture sets the cell size and a smaller one is fitted into its cell; a video with
// a rotation is written upright; empty panes get no file and a black cell. A folder that
// cannot be written shows the error box each time and leaves no file, and a set that fails
// part way takes back the files already written.
TEST_F(CaptureAllTest, MixedSizesRotationEmptyPanesAndUnwritableFolders) {
    Open({nullptr, "format.vob", "rotated_90.mp4", nullptr});
    const CaptureSet set = Capture(false);
    EXPECT_TRUE(set.panes[0].isNull());
    EXPECT_TRUE(set.panes[3].isNull());
    ASSERT_EQ(set.panes[1].size(), QSize(352, 288));
    ASSERT_EQ(set.panes[2].size(), QSize(320, 240)) << "turned upright";
    const int vob = frameNumberIn(set.panes[1], set.panes[1].rect(), 288);
    const int rotated = frameNumberIn(set.panes[2]);
    EXPECT_GE(vob, 0);
    EXPECT_GE(rotated, 0) << "the bit cells are along the bottom only when upright";
    ASSERT_EQ(set.all.size(), QSize(704, 576));
    EXPECT_EQ(frameNumberIn(set.all, Quadrant(set.all, 1, QSize(352, 288)), 288), vob);
    EXPECT_EQ(frameNumberIn(set.all, Quadrant(set.all, 2, QSize(320, 240)), 240), rotated);
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

    // Folders that cannot be written: a file in the way, below a file, the kernel's, read-only.
    dlg->OnPlay();
    QFile file(m_shots.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QStringList unwritable = {file.fileName(), file.fileName() + QStringLiteral("/below"),
                              QStringLiteral("/proc/tetrav-shots")};
    if (geteuid() != 0) {
        const QString readOnly = m_shots.filePath(QStringLiteral("read-only"));
        ASSERT_TRUE(QDir().mkpath(readOnly));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        unwritable << readOnly;
    }
    for (const QString& folder : unwritable) {
        SCOPED_TRACE(folder.toStdString());
        boxes.clear();
        g_settings.SaveMapPath = folder;
        const int before = m_finished;
        emit dlg->HotKeys()->hotKey(HOTKEY_ID_ALL);
        ASSERT_TRUE(WaitFor([&] { return m_finished > before; }, 10000));
        EXPECT_FALSE(m_written);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, QString::fromUtf8("保存抓图错误!"));
        EXPECT_EQ(boxes.boxes()[0].caption, QString::fromUtf8("错误"));
        EXPECT_TRUE(Files(folder).isEmpty());
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
    constexpr double f = 0.04;
    const struct {
        const char* name;
        std::array<PanePictures, 4> panes;
        std::array<P, 4> picks;
        bool oneInstant;
    } cases[] = {
        {"one frame everywhere",
         {{{true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}}},
         {P::Now, P::Now, P::Now, P::Now},
         true},
        {"pane 3 has moved on",
         {{{true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}, {true, 1.04, 1.0, f}, {true, 1.0, 0.96, f}}},
         {P::Now, P::Now, P::Before, P::Now},
         true},
        {"pane 1 lags",
         {{{true, 0.96, 0.92, f}, {true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}}},
         {P::Now, P::Before, P::Before, P::Before},
         true},
        {"25, 60, 50 and 29.97 frames a second",
         {{{true, 1.0, 0.96, f},
           {true, 1.0333, 1.0167, 1 / 60.0},
           {true, 1.02, 1.0, 0.02},
           {true, 1.001, 0.968, 1.001 / 30}}},
         {P::Now, P::Before, P::Now, P::Now},
         true},
        {"timestamps rounded to the millisecond",
         {{{true, 1.0, 0.96, f}, {true, 1.001, 0.961, f}, {true, 0.999, 0.959, f}, {true, 1.0, 0.96, f}}},
         {P::Now, P::Now, P::Now, P::Now},
         true},
        {"pane 2 two frames ahead",
         {{{true, 1.0, 0.96, f}, {true, 1.08, 1.04, f}, {true, 1.0, 0.96, f}, {true, 1.0, 0.96, f}}},
         {P::Now, P::Now, P::Now, P::Now},
         false},
        {"pane 4 waits for its time; pane 1 empty; pane 2 without times",
         {{{}, {true, -1, -1, f}, {true, 5.0, 4.96, f}, {true, 0.0, -1, f}}},
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
