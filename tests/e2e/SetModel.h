#pragma once
// What the four walk clips show: each picture carries the number of its frame on the clip's own
// frame grid, so the instant a pane shows is the span of that frame; and the checks made on a
// reading of the four panes (one instant, the reference's place, how far a pane lags).
#include "e2e/SetSession.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>

namespace tetrav::test {

struct WalkClip {
    const char* file;
    double grid; // frames per second of the numbers drawn
    // Grid frames until the next picture of the file (a variable-rate file skips some).
    int (*duration)(int n);
    // Grid frames before it that no picture of the file covers: the file gives each of its
    // pictures 20 ms, so an instant in such a gap may show the picture before or after it.
    int (*gapBefore)(int n);
};

inline int EveryFrame(int) {
    return 1;
}
inline int NoGap(int) {
    return 0;
}
// 0, 1, 2, 3 and 5 of every eight frames of a 50 fps recording.
inline int VariableFrames(int n) {
    const int m = n % 8;
    return m < 3 ? 1 : (m == 3 ? 2 : 3);
}
inline int VariableGap(int n) {
    const int m = n % 8;
    return m == 0 ? 2 : (m == 5 ? 1 : 0);
}

// A variable-frame-rate mp4, HEVC with open GOPs (the shortest: the reference), MJPEG at 29.97 fps,
// MPEG-TS at 50 fps with B-frames.
inline const std::array<WalkClip, 4> kWalkClips{{{"walk_vfr.mp4", 50.0, VariableFrames, VariableGap},
                                                 {"walk_hevc.mkv", 25.0, EveryFrame, NoGap},
                                                 {"walk_mjpeg.mov", 30000.0 / 1001.0, EveryFrame, NoGap},
                                                 {"walk_ts50.ts", 50.0, EveryFrame, NoGap}}};
constexpr int kRef = 1;
constexpr int kVariable = 0;
constexpr double kRefLength = 18.0;
constexpr int kRefGop = 50; // frames between the reference's key frames
// Time stamps rounded by containers (milliseconds) and 29.97 fps frames.
constexpr double kStampSlack = 0.0025;

struct Span {
    double from = 0, to = 0;
};

class SetModel {
public:
    // Pane k shows the set's instant t at its own t + offset[k] (offsets relative to the reference).
    std::array<double, 4> offset{0, 0, 0, 0};

    // The span of the set's timeline the pane's frame n covers.
    Span span(int k, int n) const {
        const WalkClip& c = kWalkClips[k];
        return {(n - c.gapBefore(n)) / c.grid - offset[k], (n + c.duration(n)) / c.grid - offset[k]};
    }
    double period(int k, int n) const { return kWalkClips[k].duration(n) / kWalkClips[k].grid; }

    // The gap between the spans the readable panes show (<= 0: they share an instant); a pane
    // whose instant lies outside its stream (dimmed, unreadable) does not count.
    double gap(const PaneFrames& f) const {
        double latestStart = -1e9;
        double earliestEnd = 1e9;
        for (int k = 0; k < 4; ++k) {
            if (f.n[k] >= 0 && !waiting(f, k)) {
                const Span s = span(k, f.n[k]);
                latestStart = std::max(latestStart, s.from);
                earliestEnd = std::min(earliestEnd, s.to);
            }
        }
        return latestStart - earliestEnd;
    }
    // The frame-rate-steady panes share an instant; the variable-rate one (its pictures carry
    // durations shorter than their spacing, so a decoder may clip the one before a gap) is within
    // one of its own frames of it.
    bool oneInstant(const PaneFrames& f) const {
        PaneFrames steady = f;
        steady.n[kVariable] = -1;
        return allRead(f) && gap(steady) <= kStampSlack && lagFrames(f, kVariable) <= 1.0;
    }
    // The set's instant (the middle of the reference's frame) lies before the pane's start: it
    // waits on its first picture.
    bool waiting(const PaneFrames& f, int k) const {
        const Span r = span(kRef, f.n[kRef]);
        return f.n[k] <= 0 && (r.from + r.to) / 2.0 + offset[k] < 0.0;
    }
    // Every pane readable, unless its instant lies before its start (it waits, dimmed).
    bool allRead(const PaneFrames& f) const {
        if (f.n[kRef] < 0) {
            return false;
        }
        const double t = span(kRef, f.n[kRef]).from;
        for (int k = 0; k < 4; ++k) {
            if (f.n[k] < 0 && t + offset[k] >= 0.0) {
                return false;
            }
        }
        return true;
    }
    // How far the pane lags or leads the reference, in its own frames (0: it covers part of the
    // reference's frame).
    double lagFrames(const PaneFrames& f, int k) const {
        if (f.n[k] < 0 || f.n[kRef] < 0 || waiting(f, k)) {
            return 0.0;
        }
        const Span r = span(kRef, f.n[kRef]);
        const Span s = span(k, f.n[k]);
        const double apart = std::max({0.0, s.from - r.to - kStampSlack, r.from - s.to - kStampSlack});
        return apart / period(k, f.n[k]);
    }
    double worstLag(const PaneFrames& f) const {
        double worst = 0.0;
        for (int k = 0; k < 4; ++k) {
            worst = std::max(worst, lagFrames(f, k));
        }
        return worst;
    }
    static double refTime(const PaneFrames& f) { return f.n[kRef] / kWalkClips[kRef].grid; }
};

inline QString Describe(const PaneFrames& f) {
    return QStringLiteral("frames %1,%2,%3,%4 at %5 ms")
        .arg(f.n[0])
        .arg(f.n[1])
        .arg(f.n[2])
        .arg(f.n[3])
        .arg(f.atMs);
}

} // namespace tetrav::test
