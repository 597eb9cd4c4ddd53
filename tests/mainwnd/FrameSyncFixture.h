#pragma once
// The real window in frame sync on clips of one event: the frame each pane shows, and captures.
#include "WindowTestSupport.h"

#include "platform/CHotKeyManager.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>

#include <cmath>
#include <ostream>

namespace mainwnd_test {

using enginetest::frameNumberIn;

struct ClipSet {
    const char* name;
    std::array<const char*, 4> clips;
    std::array<double, 4> fps;
    friend void PrintTo(const ClipSet& set, std::ostream* os) { *os << set.name; }
};

inline const ClipSet kMixedCodecs{
    "MixedCodecs", {"sync_h264.mp4", "sync_h264_b.mkv", "sync_mpeg4.avi", "sync_vp8.webm"}, {25, 25, 25, 25}};
inline const ClipSet kMixedRates{"MixedRates",
                                 {"sync_h264.mp4", "sync_fps30000.mp4", "sync_fps50.mp4", "sync_fps60.mp4"},
                                 {25, 30000.0 / 1001.0, 50, 60}};

// One capture of all panes as the folder holds it: a null picture where a pane has no file.
struct CaptureSet {
    std::array<QImage, 4> panes;
    QImage all;
};

class FrameSyncTest : public ClipWindowTest {
protected:
    void SetUp() override {
        ClipWindowTest::SetUp();
        StoreSyncMode(1);
        // A folder that does not exist yet, with a space and Chinese characters in its name.
        m_folder = m_shots.filePath(QStringLiteral("全部 抓图"));
        g_settings.SaveMapPath = m_folder + QLatin1Char('/');
        QObject::connect(&dlg->Capture(), &CTetravDlgCapture::capturedAll, dlg.get(),
                         [this](bool written, bool one) {
                             ++m_finished;
                             m_written = written;
                             m_oneInstant = one;
                         });
    }

    void Open(const ClipSet& set) {
        m_set = set;
        ASSERT_NO_FATAL_FAILURE(OpenClips(set.clips));
    }

    std::array<int, 4> Frames() const { return {FrameOf(0), FrameOf(1), FrameOf(2), FrameOf(3)}; }

    // The spread of the instants the open panes show, in frame periods of the slowest clip.
    double SpreadInFrames(const std::array<int, 4>& n) const {
        double lo = 1e9;
        double hi = -1e9;
        for (int k = 0; k < 4; ++k) {
            if (n[k] >= 0) {
                lo = std::min(lo, n[k] / m_set.fps[k]);
                hi = std::max(hi, n[k] / m_set.fps[k]);
            }
        }
        return hi < lo ? 0.0 : (hi - lo) * Slowest();
    }
    double Slowest() const { return *std::min_element(m_set.fps.begin(), m_set.fps.end()); }

    // Beyond what plays while the panes are read, the panes of a playing set come within two
    // frames of each other. How closely they keep to that over time is a figure of the command
    // walk (lag in frames, `make walk`): a machine that cannot decode the files in real time (a
    // sanitizer build, a busy one) shows lag there, not a failure here.
    void ExpectLockedWhilePlaying(const char* after, double rate = 1.0) {
        std::array<int, 4> n{};
        double spread = 0.0;
        const bool inStep = WaitUntil(
            [&] {
                QElapsedTimer reading;
                reading.start();
                n = Frames();
                const double skew = double(reading.elapsed()) / 1000.0 * rate * Slowest();
                for (int k = 0; k < 4; ++k) {
                    if (dlg->Set().Channel(k) != nullptr && n[k] < 0) {
                        return false; // a pane without a readable picture
                    }
                }
                spread = SpreadInFrames(n) - std::ceil(skew);
                return spread <= 2.0 + 1e-6;
            },
            30000, 30);
        EXPECT_TRUE(inStep) << after << ": frames " << n[0] << "," << n[1] << "," << n[2] << "," << n[3]
                            << ", " << spread << " apart";
    }

    bool RunCapture(bool hotKey) {
        const int before = m_finished;
        hotKey ? emit dlg->HotKeys()->hotKey(HOTKEY_ID_ALL) : dlg->MenuAction(ID_CAPTURE_ALL)->trigger();
        return WaitUntil([&] { return m_finished > before; }, 10000);
    }

    // One capture read back.
    CaptureSet Capture(bool hotKey) {
        QDir(m_folder).removeRecursively();
        const QDateTime from = QDateTime::currentDateTime();
        EXPECT_TRUE(RunCapture(hotKey)) << "the set was never written";
        EXPECT_TRUE(m_written);
        return Shots(from, QDateTime::currentDateTime());
    }

    // The folder's pictures: a .bmp per pane and the 2 x 2 .png, under one local time stamp in [from, to].
    CaptureSet Shots(const QDateTime& from, const QDateTime& to) const {
        CaptureSet set;
        const QRegularExpression name(QStringLiteral("^0([0-4])_(\\d{17})\\.(bmp|png)$"));
        QString stamp;
        for (const QString& file : QDir(m_folder).entryList(QDir::Files)) {
            const QRegularExpressionMatch m = name.match(file);
            const int pane = m.captured(1).toInt();
            EXPECT_TRUE(m.hasMatch() && m.captured(3) == (pane == 0 ? "png" : "bmp")) << file.toStdString();
            EXPECT_TRUE(stamp.isEmpty() || stamp == m.captured(2)) << "one time stamp";
            stamp = m.captured(2);
            (pane == 0 ? set.all : set.panes[pane - 1]) = QImage(QDir(m_folder).filePath(file));
        }
        const QDateTime at = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddHHmmsszzz"));
        EXPECT_TRUE(at >= from.addMSecs(-1) && at <= to);
        return set;
    }

    static int QuadrantFrame(const QImage& all, int k, QSize source) {
        const QSize cell(all.width() / 2, all.height() / 2);
        const QPoint corner(k < 2 ? 0 : cell.width(), k % 2 == 0 ? 0 : cell.height());
        return frameNumberIn(all, enginetest::fittedRect(source, QRect(corner, cell)), source.height());
    }

    // Said to be of one instant (always when paused), the four frames share an instant.
    void CaptureOneInstant(bool hotKey, bool paused) {
        ++m_captures;
        const auto shown = Frames();
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
            EXPECT_TRUE(!paused || n[k] == shown[k]) << "pane " << k + 1;
            latestStart = std::max(latestStart, n[k] / m_set.fps[k]);
            earliestEnd = std::min(earliestEnd, (n[k] + 1) / m_set.fps[k]);
        }
        EXPECT_TRUE(m_oneInstant || !paused);
        m_oneInstantCaptures += m_oneInstant ? 1 : 0;
        EXPECT_TRUE(!m_oneInstant || latestStart < earliestEnd + 0.001)
            << n[0] << "," << n[1] << "," << n[2] << "," << n[3];
    }

    ClipSet m_set;
    QTemporaryDir m_shots;
    QString m_folder;
    int m_finished = 0;
    bool m_written = false;
    bool m_oneInstant = false;
    int m_captures = 0;
    int m_oneInstantCaptures = 0;
};

} // namespace mainwnd_test
