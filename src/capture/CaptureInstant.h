#pragma once
// Snapshot names, and which pictures of the panes belong to one instant.
//
// Every pane keeps the picture on screen and the one before it. The panes change pictures at
// nearly the same moment, but not at exactly the same one: a pane may already show the next
// frame while another still shows the last. Picking, in each pane, the newer of its two
// pictures that has begun by the moment the earliest picture on screen ends gives pictures that
// all cover one instant.
#include <QString>

#include <array>

class QDateTime;

// The time stamp of a snapshot's name: local time to the millisecond, "yyyyMMddHHmmsszzz".
QString SnapshotStamp(const QDateTime& when);
// "NN_<stamp>.<extension>": number 1 to 4 for the panes, 0 for the picture of all four.
QString SnapshotFileName(int number, const QString& stamp, const QString& extension);

// One pane's two latest pictures: where each begins on the reference video's timeline
// (seconds; negative: not known or no picture) and the pane's frame period.
struct PanePictures {
    bool shown = false; // the pane has a picture on screen
    double now = -1.0;
    double before = -1.0;
    double period = 0.04;
};

enum class PanePick { None, Now, Before };

// For each pane the picture of one instant. Panes whose picture on screen is far from the
// anchor pane's (a pane waiting for its time, one that has ended) keep the picture on screen.
// oneInstant is false when a pane near the anchor is more than a frame ahead of or behind the
// others, so that no instant is covered by pictures of them all (the set is catching up).
struct InstantPicks {
    std::array<PanePick, 4> picks{};
    bool oneInstant = true;
};
InstantPicks PickOneInstant(const std::array<PanePictures, 4>& panes, int anchor);
