#include "controls/SeekBarScale.h"

#include <cmath>

namespace SeekBarScale {

double Seconds(int pos, double total) {
    return total * 0.005 * static_cast<double>(pos);
}

int Position(double current, double total) {
    if (!(total > 0.0) || !std::isfinite(total) || !(current > 0.0)) {
        return 0; // no length, a time before the start, or not a number
    }
    const double pos = std::round(current * static_cast<double>(kRange) / total);
    return pos >= kRange ? kRange : static_cast<int>(pos);
}

} // namespace SeekBarScale
