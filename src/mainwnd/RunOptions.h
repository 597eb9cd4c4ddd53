#pragma once
// What the command line asks of one run, beside the files: the sync mode and the reference rule
// (for this run only, as a saved set's modes are; the settings file keeps the user's), each
// pane's time offset, where to start, the rate and whether to play at once. A second copy hands
// them to the running one in the platform data of its Open call.
#include <QString>
#include <QVariantMap>

#include <optional>

struct RunOptions {
    int syncMode = -1;               // as the FramePhase setting: 1 frame, 0 time, -1 not given
    int reference = -1;              // as the MiniVideo setting: 1 shortest, 0 longest, -1 not given
    std::optional<double> offset[4]; // seconds, pane 1 to 4
    std::optional<double> start;     // seconds of the reference time
    double rate = 0.0;               // 0.25, 1 or 2; 0 = not given
    bool play = false;
    bool alignAudio = false;   // align the panes by their sound once the set is open
    bool printOffsets = false; // with alignAudio: print the offsets and end, no window

    bool IsEmpty() const;
    // True when an option needs an open set to act on (offset, start, rate, play, align).
    bool NeedsASet() const;

    // The options as the platform data of org.freedesktop.Application.Open, and back; keys
    // that are missing or hold an unusable value are left out.
    QVariantMap ToPlatformData() const;
    static RunOptions FromPlatformData(const QVariantMap& data);

    bool operator==(const RunOptions&) const = default;
};
