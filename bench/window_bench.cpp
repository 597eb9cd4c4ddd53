// Drives the real main window (its channels, timers and synchronisation) through a scripted
// session and measures what the user sees: the frame number every pane shows, read from the
// bit cells the benchmark clips draw, sampled every 50 ms.
//
// Usage: window_bench [--sync frame|time] [--seconds N] [--source WxH] [--script sync|play]
//                     [--offset PANE:SECONDS]... CLIP...
//   sync: seeks, pause/resume, rate changes and frame steps over the run; prints the spread
//         between the panes in frames (median, p99, max) and the time from a seek to every
//         pane showing the target frame.
//         With offsets (pane 1..4 and its time offset) the longest clip is the reference, and
//         a pane whose instant lies outside its stream (waiting on its first or last picture) is
//         left out of the samples.
//   play: plain play; prints CPU per second of playback, dropped frames per channel, peak
//         memory, the time from open to the first picture in every pane, and seek times.
#include "engine/IChannel.h"
#include "mainwnd/CTetravDlg.h"
#include "model/PlaySet.h"
#include "settings/CSettingsModel.h"
#include "support/FrameIndex.h"

#include <gst/gst.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

struct Bench {
    CTetravDlg* dlg = nullptr;
    QSize source;
    std::vector<double> spreads;
    std::vector<double> seekTimes;
    int unreadable = 0;

    std::vector<int> frames() const {
        std::vector<int> n;
        int ref = 0;
        for (int k = 0; k < 4; ++k) {
            ref = dlg->Set().IsReference(k) ? k : ref;
        }
        for (int k = 0; k < 4; ++k) {
            const double own = dlg->Set().PlayTime() + dlg->Set().Offset(k) - dlg->Set().Offset(ref);
            if (dlg->Set().Offset(k) != dlg->Set().Offset(ref) &&
                (own < 0.1 || own > dlg->Set().Length(k) - 0.1)) {
                continue;
            }
            if (dlg->Set().Channel(k) != nullptr) {
                n.push_back(enginetest::frameShownBy(dlg->Set().Channel(k)->VideoWidget(), source));
            }
        }
        return n;
    }
    void sample() {
        const auto n = frames();
        if (n.empty() || std::find(n.begin(), n.end(), -1) != n.end()) {
            ++unreadable;
            return;
        }
        // Ten-bit frame counters: the distance around the circle.
        int spread = 0;
        for (int a : n) {
            for (int b : n) {
                const int d = (a - b + 1024) % 1024;
                spread = std::max(spread, std::min(d, 1024 - d));
            }
        }
        spreads.push_back(double(spread));
    }
    // Runs the window for ms, sampling every 50 ms.
    void run(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QTest::qWait(50);
            sample();
        }
    }
    // A seek as the seek bar makes it; measures until every pane shows the target's frame.
    void seek(double seconds, double fps) {
        g_dGotoSecs = seconds;
        QElapsedTimer t;
        t.start();
        dlg->OnGotoPosition();
        // The clips count frames in ten bits.
        const int target = int(std::floor(seconds * fps + 1e-6)) % 1024;
        while (t.elapsed() < 5000) {
            QTest::qWait(5);
            const auto n = frames();
            // Playing on, the panes may be a frame or two past the target when looked at.
            if (!n.empty() && std::all_of(n.begin(), n.end(),
                                          [&](int f) { return f >= 0 && (f - target + 1024) % 1024 <= 3; })) {
                seekTimes.push_back(double(t.elapsed()) / 1000.0);
                return;
            }
        }
        seekTimes.push_back(5.0);
    }
};

// The process is stopped for 2 s (as a suspended laptop or a long stall would): how long until
// the panes agree again, and whether the play time went backwards meanwhile.
void stall(Bench& b, CTetravDlg& window) {
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QProcess::startDetached("sh",
                            {"-c", QString("sleep 0.2; kill -STOP %1; sleep 2; kill -CONT %1").arg(pid)});
    QTest::qWait(2500);
    double last = window.Set().PlayTime();
    bool backwards = false;
    QElapsedTimer t;
    t.start();
    double inStep = -1.0;
    while (t.elapsed() < 4000) {
        QTest::qWait(20);
        backwards = backwards || window.Set().PlayTime() + 0.05 < last;
        last = std::max(last, window.Set().PlayTime());
        const auto n = b.frames();
        const auto [lo, hi] = std::minmax_element(n.begin(), n.end());
        if (!n.empty() && *lo >= 0 && *hi - *lo <= 1) {
            if (inStep < 0) {
                inStep = double(t.elapsed()) / 1000.0;
            }
        } else {
            inStep = -1.0;
        }
    }
    std::printf("after a 2 s stop: panes in step (and staying so) %.2f s after it went on; play time went "
                "backwards: %s\n",
                inStep, backwards ? "yes" : "no");
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QString session = "sync";
    QString sync = "frame";
    double seconds = 60;
    QSize source(640, 360);
    double fps = 25;
    QStringList clips;
    std::vector<std::pair<int, double>> offsets;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = args[++i].toDouble();
        } else if (args[i] == "--sync" && i + 1 < args.size()) {
            sync = args[++i];
        } else if (args[i] == "--script" && i + 1 < args.size()) {
            session = args[++i];
        } else if (args[i] == "--offset" && i + 1 < args.size()) {
            const QStringList at = args[++i].split(':');
            offsets.emplace_back(at.value(0).toInt() - 1, at.value(1).toDouble());
        } else if (args[i] == "--fps" && i + 1 < args.size()) {
            fps = args[++i].toDouble();
        } else if (args[i] == "--source" && i + 1 < args.size()) {
            const QStringList wh = args[++i].split('x');
            source = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        } else {
            clips << args[i];
        }
    }
    if (clips.isEmpty() || clips.size() > 4) {
        std::fprintf(stderr, "usage: window_bench [--sync frame|time] [--script sync|play] CLIP...\n");
        return 2;
    }
    CTetravDlg window;
    window.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    CSettings stored = window.Settings().Stored();
    stored.FramePhase = sync == "frame" ? 1 : 0;
    stored.MiniVideo = offsets.empty() ? 1 : 0;
    window.Settings().Store(stored);
    Bench b{&window, source, {}, {}, 0};

    for (int k = 0; k < clips.size(); ++k) {
        window.Set().SetPath(k, clips[k]);
    }
    QElapsedTimer opening;
    opening.start();
    window.OpenSelectedFiles();
    while (opening.elapsed() < 10000) {
        if (window.Set().IsOpening()) {
            QTest::qWait(5);
            continue;
        }
        const auto n = b.frames();
        if (!n.empty() && std::find(n.begin(), n.end(), -1) == n.end()) {
            break;
        }
        QTest::qWait(5);
    }
    const double firstPicture = double(opening.elapsed()) / 1000.0;
    for (const auto& [pane, offset] : offsets) {
        window.SetChannelOffset(pane, offset);
    }
    const QString label = sync + (offsets.empty() ? " sync" : " sync with offsets");
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    window.OnPlay();

    if (session == "play") {
        b.run(int(seconds * 1000 * 0.8));
        const double playCpu = (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
        // The sinks count from the last seek: read them before seeking.
        for (int k = 0; k < 4; ++k) {
            if (window.Set().Channel(k) != nullptr) {
                const auto st = window.Set().Channel(k)->GetFrameStats();
                std::printf("play: channel %d: %llu frames shown, %llu dropped\n", k + 1, st.rendered,
                            st.dropped);
            }
        }
        for (double at : {3.0, 12.5, 7.25, 20.0, 16.5}) {
            b.seek(std::min(at, seconds * 0.7), fps);
            QTest::qWait(600);
        }
        std::printf("play: CPU %.3f s per second of playback (whole process, %.0f s)\n", playCpu,
                    double(wall.elapsed()) / 1000.0);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("play: peak memory %ld MB; open to a picture in every pane %.3f s\n",
                    usage.ru_maxrss / 1024, firstPicture);
    } else {
        // The session: play, seek-bar clicks, pause/resume, rate changes, frame steps.
        b.run(8000);
        for (double at : {30.0, 5.5, 44.25, 18.0}) {
            b.seek(at, fps);
            b.run(2500);
        }
        window.OnPause();
        b.run(1000);
        window.OnPlay();
        b.run(3000);
        window.OnFaster();
        b.run(3000);
        window.OnSlower();
        b.run(3000);
        window.OnNormalSpeed();
        b.run(3000);
        window.OnPause();
        b.run(500);
        for (int i = 0; i < 8; ++i) {
            window.OnStepFrame();
            b.run(250);
        }
        window.OnPlay();
        b.run(3000);
        b.seek(10.0, fps);
        b.run(3000);
        stall(b, window);
        b.run(std::max(0, int((seconds - double(wall.elapsed()) / 1000.0) * 1000)));
    }
    std::printf("%s: spread between panes in frames over %zu samples: median %.0f, p99 %.0f, max %.0f"
                " (%d samples unreadable)\n",
                qPrintable(label), b.spreads.size(), percentile(b.spreads, 0.5), percentile(b.spreads, 0.99),
                percentile(b.spreads, 1.0), b.unreadable);
    std::printf("%s: seek to every pane showing the target frame: median %.3f s, max %.3f s (%zu seeks)\n",
                qPrintable(label), percentile(b.seekTimes, 0.5), percentile(b.seekTimes, 1.0),
                b.seekTimes.size());
    window.OnStop();
    return 0;
}
