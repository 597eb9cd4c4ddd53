#pragma once
// The frame-sync tests' fixture: the real window in frame sync on real clips of one event, and
// the frame number every pane shows, read from the bit cells the clips draw.
#include "WindowTestSupport.h"

#include "engine/CChannelGraph.h"
#include "mainwnd/CFrameSync.h"
#include "support/FrameIndex.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace mainwnd_test {

struct ClipSet {
    const char* name;
    std::array<const char*, 4> clips;
    std::array<double, 4> fps;
};

inline void PrintTo(const ClipSet& set, std::ostream* os) {
    *os << set.name;
}

inline const ClipSet kMixedCodecs{
    "MixedCodecs", {"sync_h264.mp4", "sync_h264_b.mkv", "sync_mpeg4.avi", "sync_vp8.webm"}, {25, 25, 25, 25}};
inline const ClipSet kMixedRates{"MixedRates",
                                 {"sync_h264.mp4", "sync_fps30000.mp4", "sync_fps50.mp4", "sync_fps60.mp4"},
                                 {25, 30000.0 / 1001.0, 50, 60}};

class FrameSyncTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!QFileInfo::exists(tetrav::test::clip("sync_vp8.webm"))) {
            GTEST_SKIP() << "clips missing: run scripts/make-clips.sh";
        }
        ShowWindow();
        g_settings.FramePhase = 1;
        g_settings.MiniVideo = 1;
    }

    void Open(const ClipSet& set) {
        m_set = set;
        // A set of fewer clips leaves the last panes empty (null names).
        for (int k = 0; k < 4; ++k) {
            g_strVideoPath[k] =
                set.clips[k] ? tetrav::test::clip(QString::fromLatin1(set.clips[k])) : QString();
        }
        dlg->OpenSelectedFiles();
        for (int k = 0; k < 4; ++k) {
            if (set.clips[k]) {
                ASSERT_NE(dlg->m_pChannel[k], nullptr) << set.clips[k];
            }
        }
    }

    CFrameSync* Sync() { return dynamic_cast<CFrameSync*>(&dlg->ActiveSync()); }

    // Waits until a seek, start or step has gone through and the pictures are up.
    void Settle() {
        ASSERT_TRUE(WaitFor([this] { return !Sync()->Busy(); }, 8000));
        QTest::qWait(120);
    }

    std::array<int, 4> Frames() {
        std::array<int, 4> n{};
        for (int k = 0; k < 4; ++k) {
            n[k] = dlg->m_pChannel[k] ? enginetest::frameShownBy(dlg->m_pChannel[k]->VideoWidget()) : -1;
        }
        return n;
    }

    // The largest distance in seconds between the instants the open panes show, in frame
    // periods of the slowest clip.
    double SpreadInFrames(const std::array<int, 4>& n) const {
        double lo = 1e9;
        double hi = -1e9;
        double slowest = 1e9;
        for (int k = 0; k < 4; ++k) {
            if (n[k] < 0) {
                continue;
            }
            const double t = n[k] / m_set.fps[k];
            lo = std::min(lo, t);
            hi = std::max(hi, t);
            slowest = std::min(slowest, m_set.fps[k]);
        }
        return hi < lo ? 0.0 : (hi - lo) * slowest;
    }

    // The panes are read one after the other while they change, so the spread allowed is what
    // the set plays while they are read, beyond one frame for most readings and two for any.
    void ExpectLockedWhilePlaying(const char* after, double rate = 1.0) {
        double slowest = 1e9;
        for (double fps : m_set.fps) {
            slowest = std::min(slowest, fps);
        }
        int withinOne = 0;
        for (int sample = 0; sample < 6; ++sample) {
            QTest::qWait(90);
            QElapsedTimer reading;
            reading.start();
            const auto n = Frames();
            const double skew = double(reading.elapsed()) / 1000.0 * rate * slowest;
            for (int k = 0; k < 4; ++k) {
                if (dlg->m_pChannel[k] != nullptr) {
                    ASSERT_GE(n[k], 0) << after << ": pane " << k + 1 << " unreadable";
                }
            }
            const double spread = SpreadInFrames(n) - std::ceil(skew);
            withinOne += spread <= 1.0 + 1e-6 ? 1 : 0;
            EXPECT_LE(spread, 2.0 + 1e-6) << after << ": " << n[0] << "," << n[1] << "," << n[2] << ","
                                          << n[3] << " read in " << reading.elapsed() << " ms";
        }
        EXPECT_GE(withinOne, 4) << after << ": most readings within one frame";
    }

    // Play resumed (after), then at rate 2 and at rate 0.25: locked all along.
    void ExpectLockedThroughRates(const char* after) {
        dlg->OnPlay();
        Settle();
        ExpectLockedWhilePlaying(after);
        dlg->OnFaster();
        Settle();
        ExpectLockedWhilePlaying("rate 2", 2.0);
        dlg->OnSlower();
        Settle();
        ExpectLockedWhilePlaying("rate 0.25", 0.25);
    }

    void ExpectSameInstant(const char* after) {
        const auto n = Frames();
        EXPECT_LE(SpreadInFrames(n), 1.0)
            << after << ": " << n[0] << "," << n[1] << "," << n[2] << "," << n[3];
    }

    ClipSet m_set;
};

} // namespace mainwnd_test
