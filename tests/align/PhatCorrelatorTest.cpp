// The whitened correlation on made signals: known lags (whole and between samples, either
// sign, either length longer), gains, filters, noise and polarity; unrelated and silent pairs
// must not match, and the confidence threshold must sit well between the two.
#include "align/PhatCorrelator.h"
#include "align/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int kRate = PhatCorrelator::kRate;

// Something like a scene: bursts of coloured noise (words, claps) with pauses, over a faint
// steady noise. Deterministic for a seed.
std::vector<float> Scene(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    std::vector<float> out(n);
    float level = 0.0f;
    float colour = 0.0f;
    float y = 0.0f;
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == next) {
            level = uniform(rng) < 0.6f ? uniform(rng) : 0.0f;
            colour = 0.2f + 0.7f * uniform(rng);
            next = i + std::size_t(kRate * (0.05f + 0.6f * uniform(rng)));
        }
        y = colour * y + (1.0f - colour) * gauss(rng);
        out[i] = level * y + 0.01f * gauss(rng);
    }
    return out;
}

// x delayed by d samples (any real d), band-limited, by a phase ramp over the spectrum.
std::vector<float> Delayed(const std::vector<float>& x, double d) {
    const RealFft fft(RealFft::FastSize(x.size()));
    std::vector<float> buf(fft.Size(), 0.0f);
    std::copy(x.begin(), x.end(), buf.begin());
    std::vector<std::complex<float>> spectrum(fft.Size() / 2 + 1);
    fft.Forward(buf.data(), spectrum.data());
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        spectrum[k] *= std::complex<float>(
            std::polar(1.0, -2.0 * std::numbers::pi * double(k) * d / double(fft.Size())));
    }
    fft.Inverse(spectrum.data(), buf.data());
    std::vector<float> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        out[i] = buf[i] / float(fft.Size());
    }
    return out;
}

// As a decoder gives them: 16-bit samples (the scene's bursts peak near 4).
std::vector<PhatCorrelator::Sample> Pcm(const std::vector<float>& x) {
    std::vector<PhatCorrelator::Sample> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        out[i] = PhatCorrelator::Sample(std::clamp(std::lround(x[i] * 6000.0f), -32768L, 32767L));
    }
    return out;
}

std::vector<float> Slice(const std::vector<float>& x, std::size_t from, std::size_t count) {
    return {x.begin() + std::ptrdiff_t(from), x.begin() + std::ptrdiff_t(from + count)};
}

struct LagCase {
    std::string name;
    double lagSamples; // the truth: other shows ref's instant t at t + lag
    double refSeconds; // lengths
    double otherSeconds;
    float gain;  // of the other recording (negative: polarity turned)
    float noise; // its own noise, relative to the scene's level
    bool smooth; // a gentle low-pass on the other recording
    double maxErrorSamples;
};

void PrintTo(const LagCase& c, std::ostream* os) {
    *os << c.name;
}

class KnownLag : public ::testing::TestWithParam<LagCase> {};

TEST_P(KnownLag, IsFoundBetweenSamples) {
    const LagCase& c = GetParam();
    // One scene long enough for both windows; the other recording starts where the lag says.
    const double whole = c.refSeconds + c.otherSeconds + std::abs(c.lagSamples) / kRate + 2.0;
    const std::vector<float> scene = Scene(std::size_t(whole * kRate), 11);
    const double frac = c.lagSamples - std::floor(c.lagSamples);
    const std::vector<float> shifted = Delayed(scene, frac);
    // ref[t] = scene[t + r0]; other[u] = shifted[u + o0] = scene[u + o0 - frac]:
    // other[t + lag] = ref[t] when lag = r0 - o0 + frac.
    const auto whole_lag = std::ptrdiff_t(std::floor(c.lagSamples));
    const std::size_t base = std::size_t(kRate) + std::size_t(std::abs(whole_lag));
    const std::size_t r0 = base;
    const std::size_t o0 = std::size_t(std::ptrdiff_t(base) - whole_lag);
    const std::vector<float> ref = Slice(scene, r0, std::size_t(c.refSeconds * kRate));
    std::vector<float> other = Slice(shifted, o0, std::size_t(c.otherSeconds * kRate));

    std::mt19937 rng(5);
    std::normal_distribution<float> gauss(0.0f, 0.3f);
    float previous = 0.0f;
    for (float& s : other) {
        const float now = s;
        if (c.smooth) {
            s = 0.5f * now + 0.25f * previous; // (the next sample's quarter comes below)
        }
        previous = now;
    }
    if (c.smooth) {
        for (std::size_t i = 0; i + 1 < other.size(); ++i) {
            other[i] += 0.25f * Slice(shifted, o0 + i + 1, 1)[0];
        }
    }
    for (float& s : other) {
        s = c.gain * (s + c.noise * gauss(rng));
    }

    const LagEstimate found = PhatCorrelator::Estimate(Pcm(ref), Pcm(other));
    ASSERT_TRUE(found.found) << "confidence " << found.confidence;
    EXPECT_NEAR(found.seconds * kRate, c.lagSamples, c.maxErrorSamples);
    EXPECT_GT(found.confidence, 2.0 * PhatCorrelator::kMinConfidence);
}

INSTANTIATE_TEST_SUITE_P(
    Correlation, KnownLag,
    ::testing::Values(LagCase{"later_between_samples", 12345.37, 20, 20, 1.0f, 0.0f, false, 0.02},
                      LagCase{"earlier_between_samples", -26000.61, 20, 20, 1.0f, 0.0f, false, 0.02},
                      LagCase{"whole_samples_zero", 0.0, 12, 12, 1.0f, 0.0f, false, 0.02},
                      LagCase{"other_longer", 41000.5, 10, 30, 0.5f, 0.0f, false, 0.02},
                      LagCase{"other_shorter", -3999.25, 30, 8, 2.0f, 0.0f, false, 0.02},
                      LagCase{"quiet_noisy_filtered", 7777.8, 20, 16, 0.02f, 0.7f, true, 0.1},
                      LagCase{"polarity_turned", -1234.9, 15, 15, -0.3f, 0.3f, false, 0.1}),
    [](const ::testing::TestParamInfo<LagCase>& info) { return info.param.name; });

// Pairs that share no sound, of equal and very different lengths (a minute each, seconds each,
// short against long and the other way) and many more of random lengths: nothing is found, and
// the threshold keeps a clear margin over what chance gives.
TEST(Correlation, UnrelatedPairsStayWellBelowTheThreshold) {
    // Lengths in seconds and the first scene's seed (the other's is the next).
    std::vector<std::tuple<double, double, unsigned>> pairs = {
        {20, 20, 1}, {5, 40, 3}, {40, 3, 5}, {60, 60, 7}, {2, 2, 9}};
    for (unsigned seed = 100; seed < 160; seed += 2) {
        pairs.emplace_back(3 + seed % 7, 2 + seed % 5, seed);
    }
    for (const auto& [a, b, seed] : pairs) {
        SCOPED_TRACE(testing::Message() << a << " s against " << b << " s, seed " << seed);
        const LagEstimate found = PhatCorrelator::Estimate(Pcm(Scene(std::size_t(a * kRate), seed)),
                                                           Pcm(Scene(std::size_t(b * kRate), seed + 1)));
        EXPECT_FALSE(found.found) << "lag " << found.seconds;
        EXPECT_LT(found.confidence, PhatCorrelator::kMinConfidence / 1.4);
        EXPECT_GT(found.confidence, 0.99); // a ratio of the highest over the next
    }
}

// Silence on either side matches nothing; an overlap shorter than a second is refused.
TEST(Correlation, SilenceAndLessThanASecondMatchNothing) {
    const std::vector<float> silence(std::size_t(10 * kRate), 0.0f);
    const std::vector<float> scene = Scene(std::size_t(10 * kRate), 3);
    for (const auto& [a, b] : {std::pair{&silence, &scene}, {&scene, &silence}, {&silence, &silence}}) {
        const LagEstimate found = PhatCorrelator::Estimate(Pcm(*a), Pcm(*b));
        EXPECT_FALSE(found.found);
        EXPECT_EQ(found.confidence, 0.0);
    }
    const LagEstimate found = PhatCorrelator::Estimate(Pcm(scene), Pcm(Slice(scene, 100, kRate / 2)));
    EXPECT_FALSE(found.found);
    EXPECT_TRUE(found.overlapTooShort);
}

TEST(Correlation, LagBeyondTheRangeIsNotFound) {
    const std::vector<float> scene = Scene(std::size_t(30 * kRate), 4);
    const std::vector<float> ref = Slice(scene, 0, std::size_t(20 * kRate));
    const std::vector<float> other =
        Slice(scene, std::size_t(6 * kRate), std::size_t(20 * kRate)); // lag -6 s
    CorrelationOptions narrow;
    narrow.maxLagSeconds = 3.0;
    EXPECT_FALSE(PhatCorrelator::Estimate(Pcm(ref), Pcm(other), narrow).found);
    CorrelationOptions wide;
    wide.maxLagSeconds = 7.0;
    const LagEstimate found = PhatCorrelator::Estimate(Pcm(ref), Pcm(other), wide);
    ASSERT_TRUE(found.found);
    EXPECT_NEAR(found.seconds, -6.0, 1e-5);
}

TEST(Correlation, FastSizesHaveOnlySmallFactors) {
    for (std::size_t n : {1u, 2u, 7u, 97u, 1000u, 1025u, 4800001u}) {
        std::size_t m = RealFft::FastSize(n);
        EXPECT_GE(m, n);
        EXPECT_EQ(m % 2, 0u);
        EXPECT_LT(double(m), 1.25 * double(n) + 2);
        for (std::size_t f : {2u, 3u, 5u}) {
            while (m % f == 0) {
                m /= f;
            }
        }
        EXPECT_EQ(m, 1u) << n;
    }
}

} // namespace
