#pragma once
// Tells a channel whose pictures have stopped while the others go on: a file overwritten with
// garbage while it plays can leave its decoder showing one picture for ever, without an error.
// Fed the channels' shown positions at each look (every half second or so, while the set
// plays), it names each channel that should be moving and has shown no new picture for
// kStallSeconds while another channel has.
#include <array>
#include <vector>

class CStallWatch {
public:
    static constexpr double kStallSeconds = 3.0;

    struct Look {
        bool shouldMove = false; // open, playing, and its instant within its own length
        double position = -1.0;  // the picture on screen (seconds); negative: none known
    };

    // One look at time now (seconds, any steady clock). Returns the channels that stalled; each
    // is named once, until its picture changes again.
    std::vector<int> Sample(double now, const std::array<Look, 4>& looks);
    // Forgets what was seen (after a pause, a seek or a new set: nothing moves then).
    void Reset();

private:
    std::array<double, 4> m_position{-1.0, -1.0, -1.0, -1.0};
    std::array<double, 4> m_lastMove{-1.0, -1.0, -1.0, -1.0}; // negative: not watched
    std::array<bool, 4> m_named{};                            // until its picture changes
};
