#include "capture/CaptureInstant.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

// Pictures further than this from the anchor's are not of the set's instant at all.
constexpr double kApart = 1.0;

} // namespace

QString SnapshotStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyyMMddHHmmsszzz"));
}

QString SnapshotFileName(int number, const QString& stamp, const QString& extension) {
    return QStringLiteral("%1_%2.%3").arg(number, 2, 10, QLatin1Char('0')).arg(stamp, extension);
}

InstantPicks PickOneInstant(const std::array<PanePictures, 4>& panes, int anchor) {
    InstantPicks result;
    std::array<PanePick, 4>& picks = result.picks;
    std::array<bool, 4> inSet{};
    const bool anchored = anchor >= 0 && anchor < 4 && panes[anchor].shown && panes[anchor].now >= 0;
    double firstEnd = 1e300;
    double shortest = 1e300;
    for (int k = 0; k < 4; ++k) {
        const PanePictures& p = panes[k];
        if (!p.shown) {
            continue;
        }
        picks[k] = PanePick::Now;
        inSet[k] = anchored && p.now >= 0 && std::abs(p.now - panes[anchor].now) <= kApart;
        if (inSet[k]) {
            firstEnd = std::min(firstEnd, p.now + p.period);
            shortest = std::min(shortest, p.period);
        }
    }
    // The instant: just before the earliest picture on screen gives way to the next (a quarter
    // of the shortest frame period covers the timestamps' rounding).
    const double instant = firstEnd - shortest / 4.0;
    for (int k = 0; k < 4; ++k) {
        const PanePictures& p = panes[k];
        if (!inSet[k] || p.now <= instant) {
            continue;
        }
        // The picture before must still cover the instant: when the one between was never shown
        // (dropped as late), the pane has nothing of this instant.
        if (p.before >= 0 && p.before <= instant && p.before + p.period > instant) {
            picks[k] = PanePick::Before;
        } else {
            result.oneInstant = false; // ahead by more than its picture before
        }
    }
    return result;
}
