// Plays up to four clips at once through four CChannelGraphs drawing into four 640 x 452 panes
// (a 2 x 2 grid, as the main window lays them out) and prints what it cost: CPU seconds per
// second of playback, frames shown and dropped per channel, peak memory, and the time from
// RenderFile to the first picture painted.
//
// Usage: channels_bench [--seconds N] CLIP...
#include "engine/CChannelGraph.h"

#include <gst/gst.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    double seconds = 30;
    QStringList clips;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = args[++i].toDouble();
        } else {
            clips << args[i];
        }
    }
    if (clips.isEmpty() || clips.size() > 4) {
        std::fprintf(stderr, "usage: channels_bench [--seconds N] CLIP... (one to four)\n");
        return 2;
    }

    QWidget window;
    window.resize(1280, 904);
    window.setStyleSheet("background: black");
    std::vector<QWidget*> panes;
    for (int k = 0; k < 4; ++k) {
        auto* pane = new QWidget(&window);
        // Pane 1 top left, 2 bottom left, 3 top right, 4 bottom right.
        pane->setGeometry((k / 2) * 640, (k % 2) * 452, 640, 452);
        panes.push_back(pane);
    }
    window.show();
    pump(300);

    const double cpuStart = cpuSeconds();
    std::vector<std::unique_ptr<CChannelGraph>> channels;
    for (int k = 0; k < clips.size(); ++k) {
        auto channel = std::make_unique<CChannelGraph>();
        if (!channel->Create() || !channel->RenderFile(clips[k])) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(clips[k]));
            return 1;
        }
        QWidget* pane = panes[std::size_t(k)];
        channel->SetDisplayWindow(pane);
        channel->SetNotifyWindow(pane);
        channel->SetWindowPosition(0, 0, pane->width(), pane->height());
        channels.push_back(std::move(channel));
    }
    for (auto& channel : channels) {
        channel->Run();
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuPlayStart = cpuSeconds();
    bool allEnded = false;
    while (wall.elapsed() < seconds * 1000 && !allEnded) {
        pump(100);
        allEnded = true;
        for (auto& channel : channels) {
            allEnded = allEnded && channel->IsAtEnd();
        }
    }
    const double played = double(wall.elapsed()) / 1000.0;
    const double cpuPlay = cpuSeconds() - cpuPlayStart;

    std::printf("tetrav: %d channels, %.1f s of playback\n", int(channels.size()), played);
    std::printf("tetrav: CPU %.3f s per second of playback (%.2f s in total with opening)\n",
                cpuPlay / played, cpuSeconds() - cpuStart);
    for (std::size_t k = 0; k < channels.size(); ++k) {
        const CChannelGraph::FrameStats stats = channels[k]->GetFrameStats();
        std::printf(
            "tetrav: channel %zu: %llu frames shown, %llu dropped, first picture %.0f ms after RenderFile\n",
            k + 1, stats.rendered, stats.dropped, double(stats.firstFrameUs) / 1000.0);
    }
    std::printf("tetrav: peak memory %.1f MB\n", double(peakRssKb()) / 1024.0);
    for (auto& channel : channels) {
        channel->Stop();
        channel->Destroy();
    }
    return 0;
}
