// Watches the real program's window from outside, as a user sees it, on the X display it runs on:
//   1. the frame number each of the four panes shows, read from the screen every 100 ms (the bit
//      cells the benchmark clips draw), and the spread between the panes in frames;
//   2. how long the window takes to answer a click: a right click on a pane sent with xdotool,
//      until the pane's pop-up menu window is mapped (then Escape closes it).
// The pictures are found by the clips' dark blue background.
//
// Usage: pane_watch [--seconds N] [--clicks N] [--source-height H]
// (PANE_WATCH_VERBOSE=1 prints the frame numbers of every screen read.)
#include "support/FrameIndex.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

// Xlib last: its macros (Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>
#include <poll.h>

namespace {

bool background(QRgb c) {
    return std::abs(qRed(c) - 0x20) < 12 && std::abs(qGreen(c) - 0x30) < 12 && std::abs(qBlue(c) - 0x40) < 12;
}

// The pictures in one half of the screen (left or right), top to bottom: runs of rows mostly of
// the background colour, as wide as the columns that have it, with the strip of bit cells below
// them (16 of the source's lines, scaled).
std::vector<QRect> picturesIn(const QImage& screen, const QRect& half, int sourceHeight) {
    std::vector<QRect> found;
    int runTop = -1;
    for (int y = half.top(); y <= half.bottom() + 1; ++y) {
        int count = 0;
        if (y <= half.bottom()) {
            const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
            for (int x = half.left(); x <= half.right(); ++x) {
                count += background(row[x]) ? 1 : 0;
            }
        }
        const bool picture = count > half.width() * 3 / 10;
        if (picture && runTop < 0) {
            runTop = y;
        } else if (!picture && runTop >= 0) {
            if (y - runTop >= 40) {
                int left = half.right();
                int right = half.left();
                const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y - 1));
                for (int x = half.left(); x <= half.right(); ++x) {
                    if (background(row[x])) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
                const double scale = double(right - left + 1) * 9.0 / 16.0 / double(sourceHeight);
                // A scaler that filters blends the background's last row with the strip's first,
                // which ends the run a row early: the strip's part rows count whole.
                found.emplace_back(left, runTop, right - left + 1, y - runTop + int(std::ceil(16 * scale)));
            }
            runTop = -1;
        }
    }
    return found;
}

QImage grabScreen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Waits up to ms for a window of the display to be mapped (or unmapped); false on time-out.
bool waitForMap(Display* x, int type, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        while (XPending(x) > 0) {
            XEvent e;
            XNextEvent(x, &e);
            if (e.type == type) {
                return true;
            }
        }
        pollfd fd{ConnectionNumber(x), POLLIN, 0};
        poll(&fd, 1, 5);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int seconds = 15;
    int clicks = 10;
    int sourceHeight = 1080;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--seconds") {
            seconds = args[i + 1].toInt();
        } else if (args[i] == "--clicks") {
            clicks = args[i + 1].toInt();
        } else if (args[i] == "--source-height") {
            sourceHeight = args[i + 1].toInt();
        }
    }

    QImage screen = grabScreen();
    const int w = screen.width() / 2;
    std::vector<QRect> pictures;
    for (const QRect& half : {QRect(0, 0, w, screen.height()), QRect(w, 0, w, screen.height())}) {
        for (const QRect& r : picturesIn(screen, half, sourceHeight)) {
            pictures.push_back(r);
        }
    }
    std::printf("pane_watch: %zu pictures found on the screen\n", pictures.size());
    if (pictures.size() < 2) {
        return 1;
    }

    std::vector<double> spreads;
    int unreadable = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds) * 1000) {
        screen = grabScreen();
        std::vector<int> n;
        for (const QRect& r : pictures) {
            n.push_back(enginetest::frameNumberIn(screen, r, sourceHeight));
        }
        if (qEnvironmentVariableIsSet("PANE_WATCH_VERBOSE")) {
            std::printf("pane_watch: %lld ms: frames %d %d %d %d\n", static_cast<long long>(clock.elapsed()),
                        n[0], n.size() > 1 ? n[1] : -1, n.size() > 2 ? n[2] : -1, n.size() > 3 ? n[3] : -1);
        }
        if (std::find(n.begin(), n.end(), -1) != n.end()) {
            ++unreadable;
        } else {
            const auto [lo, hi] = std::minmax_element(n.begin(), n.end());
            // The cells count modulo 1024.
            spreads.push_back(double(std::min(*hi - *lo, 1024 - (*hi - *lo))));
        }
        QThread::msleep(100);
    }
    std::printf("pane_watch: spread between the panes in frames: median %.0f, p95 %.0f, max %.0f over %zu "
                "screens (%d unreadable)\n",
                percentile(spreads, 0.5), percentile(spreads, 0.95), percentile(spreads, 1.0), spreads.size(),
                unreadable);

    Display* x = XOpenDisplay(nullptr);
    if (!x) {
        return 1;
    }
    XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
    XSync(x, False);
    std::vector<double> answers;
    std::vector<double> ownTimes;
    int unanswered = 0;
    const QPoint at = pictures.front().center();
    for (int i = 0; i < clicks; ++i) {
        // xdotool's own start and its way to the server, without a click: taken off below.
        QElapsedTimer own;
        own.start();
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()),
                                                      QString::number(at.y() + (i % 2))});
        ownTimes.push_back(double(own.nsecsElapsed()) / 1e6);
        // The menu is looked for while xdotool still runs: it lingers about 100 ms after the
        // button goes down.
        QProcess click;
        QElapsedTimer t;
        t.start();
        click.start(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                     QStringLiteral("click"), QStringLiteral("3")});
        const bool mapped = waitForMap(x, MapNotify, 2000);
        const double answer = double(t.nsecsElapsed()) / 1e6;
        click.waitForFinished(3000);
        if (mapped) {
            answers.push_back(answer);
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
            waitForMap(x, UnmapNotify, 2000);
        } else {
            ++unanswered;
        }
        QThread::msleep(300);
    }
    XCloseDisplay(x);
    const double ownMedian = percentile(ownTimes, 0.5);
    std::printf(
        "pane_watch: a right click answered (menu on screen) in median %.0f ms, max %.0f ms, over %zu "
        "clicks (%d unanswered); xdotool's own start and move alone took a median %.0f ms, so the window "
        "answered in about %.0f ms\n",
        percentile(answers, 0.5), percentile(answers, 1.0), answers.size(), unanswered, ownMedian,
        std::max(0.0, percentile(answers, 0.5) - ownMedian));
    return 0;
}
