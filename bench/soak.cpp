// The soak: the real main window opens a set, plays it with seeks, pauses and stops it, over
// and over, and prints the resident memory with the set closed after every cycle, then the
// first and last of those, the largest and the peak of the whole run.
//
// Usage: soak [--cycles N] [--sync frame|time] CLIP...   (default 50 cycles, frame sync)
#include "dialogs/VideoPaths.h"
#include "engine/CPipelineReaper.h"
#include "mainwnd/CTetravDlg.h"
#include "platform/HeapRelease.h"
#include "platform/MessageBoxRecorder.h"
#include "settings/CSettings.h"

#include <gst/gst.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

// A field of /proc/self/status in kB (VmRSS, VmHWM, Threads), -1 when missing.
long statusField(const char* name) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

long openDescriptors() {
    return long(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

void run(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QTest::qWait(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    KeepLargeBlocksOutOfTheHeap(); // as the program's own start does
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    int cycles = 50;
    QString sync = QStringLiteral("frame");
    QStringList clips;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--cycles" && i + 1 < args.size()) {
            cycles = args[++i].toInt();
        } else if (args[i] == "--sync" && i + 1 < args.size()) {
            sync = args[++i];
        } else {
            clips << args[i];
        }
    }
    if (clips.isEmpty() || clips.size() > 4 || cycles < 1) {
        std::fprintf(stderr, "usage: soak [--cycles N] [--sync frame|time] CLIP...\n");
        return 2;
    }
    MessageBoxRecorder boxes; // a message would stop the run: count them instead
    CTetravDlg window;
    window.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    g_settings.FramePhase = sync == "frame" ? 1 : 0;
    g_settings.MiniVideo = 1;

    long first = -1;
    long largest = 0;
    long last = 0;
    qint64 longestStopMs = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        for (int k = 0; k < clips.size(); ++k) {
            g_strVideoPath[k] = clips[k];
        }
        window.OpenSelectedFiles();
        window.OnPlay();
        run(1500);
        for (double at : {12.0, 4.5, 20.0}) {
            g_dGotoSecs = at;
            window.OnGotoPosition();
            run(700);
        }
        window.OnPause();
        run(300);
        window.OnPlay();
        run(700);
        QElapsedTimer stopping;
        stopping.start();
        window.OnStop();
        longestStopMs = std::max(longestStopMs, stopping.elapsed());
        run(300); // queued deletions and the pipelines' last messages
        while (CPipelineReaper::Instance().Pending() > 0) {
            run(20); // the pipelines going down beside the event loop
        }
        last = statusField("VmRSS") / 1024;
        first = first < 0 ? last : first;
        largest = std::max(largest, last);
        std::printf("cycle %d: resident %ld MB with the set closed (peak so far %ld MB, %ld threads, %ld "
                    "descriptors)\n",
                    cycle, last, statusField("VmHWM") / 1024, statusField("Threads"), openDescriptors());
        std::fflush(stdout);
    }
    std::printf(
        "soak: %d cycles: resident with the set closed: first %ld MB, last %ld MB (%+.1f %%), largest "
        "%ld MB; peak %ld MB; longest stop %lld ms; %zu messages\n",
        cycles, first, last, 100.0 * double(last - first) / double(first), largest,
        statusField("VmHWM") / 1024, static_cast<long long>(longestStopMs), boxes.boxes().size());
    return 0;
}
