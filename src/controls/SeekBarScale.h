#pragma once
// The seek bar's scale: positions 0..kRange over the reference video's length. A position
// stands for the time Seconds gives, and Position gives the position of a time: the exact
// inverse, so a thumb put somewhere by a click or a drag is drawn there again by the display
// tick once the set has gone to that time.
namespace SeekBarScale {

inline constexpr int kRange = 200;

// The reference time (seconds) position pos stands for on a reference of total seconds.
double Seconds(int pos, double total);
// The position nearest to current seconds, within 0..kRange; 0 without a length.
int Position(double current, double total);

} // namespace SeekBarScale
