#pragma once
// The lag between two recordings of one sound, by whitened (phase transform) cross-correlation:
// every frequency counts by its phase alone, so gains, filters, codecs and a coloured noise
// floor do not move the peak. The search runs in two steps: the whole range on a coarse copy
// (kRate / kCoarseFactor), then a stretch of the overlap at kRate around the coarse lag, whose
// peak is placed between samples by the band-limited correlation itself.
//
// Signals are mono 16-bit samples at kRate. The lag is the one to give the second signal's pane: it shows the
// first signal's instant t at its own t + lag.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

struct LagEstimate {
    bool found = false;           // the peak stands clearly above every other lag's
    double seconds = 0.0;         // the lag (when found, or the best guess when not)
    double confidence = 0.0;      // the highest peak over the highest elsewhere (about 1 for unrelated sound)
    bool overlapTooShort = false; // the best lag leaves less than kMinOverlapSeconds in common
};

struct CorrelationOptions {
    double maxLagSeconds = -1.0;               // largest |lag| searched; < 0: the first signal's length
    double minConfidence = 0.0;                // 0: kMinConfidence
    const std::atomic<bool>* cancel = nullptr; // set: give up (nothing found) at the next step
};

class PhatCorrelator {
public:
    using Sample = std::int16_t;
    static constexpr int kRate = 8000;
    static constexpr int kCoarseFactor = 4;
    // Calibrated on unrelated recordings (tests/align): their ratio stays below 1.6.
    static constexpr double kMinConfidence = 2.5;
    static constexpr double kMinOverlapSeconds = 1.0;

    static LagEstimate Estimate(std::span<const Sample> ref, std::span<const Sample> other,
                                const CorrelationOptions& options = {});

    // Low-pass filter and keep every factor-th sample times scale (the filter's delay is taken out).
    static void Decimate(std::span<const Sample> in, int factor, std::span<float> out, float scale);
    static std::size_t DecimatedSize(std::size_t n, int factor) { return (n + factor - 1) / factor; }
};
