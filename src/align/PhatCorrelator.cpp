#include "align/PhatCorrelator.h"

#include "align/MappedAllocator.h"
#include "align/RealFft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

using Cpx = std::complex<float>;

constexpr double kLowCutHz = 80.0;             // hum, wind and DC carry no timing
constexpr double kHighCutFraction = 0.9;       // of the Nyquist frequency: the resamplers' roll-off
constexpr double kExclusionSeconds = 0.05;     // a peak's own shoulders are not "elsewhere"
constexpr std::ptrdiff_t kFineMargin = 32;     // samples at kRate either side of the coarse lag
constexpr float kScale = 1.0f / 32768.0f;      // samples to floats
constexpr std::size_t kFineLongest = 1u << 19; // samples of the overlap the fine step reads (65 s)

// The spectrum of x (zero-padded to the transform's size).
template <class Sample>
MappedVector<Cpx> Spectrum(const RealFft& fft, std::span<const Sample> x, float scale) {
    const std::size_t n = fft.Size();
    MappedVector<float> samples(n, 0.0f);
    const std::size_t count = std::min(x.size(), n);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = float(x[i]) * scale;
    }
    MappedVector<Cpx> spectrum(n / 2 + 1);
    fft.Forward(samples.data(), spectrum.data());
    return spectrum;
}

// b becomes the whitened cross spectrum conj(A) B / |A B| over the useful band.
void Whiten(const MappedVector<Cpx>& a, MappedVector<Cpx>& b, std::size_t n, double rate) {
    const std::size_t bins = b.size();
    const auto low = static_cast<std::size_t>(std::ceil(kLowCutHz * double(n) / rate));
    const auto high = static_cast<std::size_t>(std::floor(kHighCutFraction * double(n) / 2.0));
    // Bins far below the typical one hold no sound (digital silence, a cut-off band).
    double sum = 0.0;
    for (std::size_t k = low; k < high && k < bins; ++k) {
        sum += std::abs(a[k]) * std::abs(b[k]);
    }
    const double floor = high > low ? 1e-7 * sum / double(high - low) : 0.0;
    for (std::size_t k = 0; k < bins; ++k) {
        const Cpx p = std::conj(a[k]) * b[k];
        const double m = std::abs(p);
        b[k] = (k >= low && k < high && m > floor && m > 0.0) ? p / float(m) : Cpx{};
    }
}

// Lag tau sits at index tau mod n of a circular correlation.
std::size_t IndexOf(std::ptrdiff_t tau, std::size_t n) {
    return tau >= 0 ? std::size_t(tau) : n - std::size_t(-tau);
}

struct Peak {
    std::ptrdiff_t lag = 0;
    double value = 0.0; // signed
};

// The largest |c| over lags first..last, leaving out |lag - skip| <= exclusion.
Peak Highest(const MappedVector<float>& c, std::ptrdiff_t first, std::ptrdiff_t last, std::ptrdiff_t skip = 0,
             std::ptrdiff_t exclusion = -1) {
    Peak best;
    for (std::ptrdiff_t tau = first; tau <= last; ++tau) {
        if (exclusion >= 0 && std::abs(tau - skip) <= exclusion) {
            continue;
        }
        const double v = c[IndexOf(tau, c.size())];
        if (std::abs(v) > std::abs(best.value)) {
            best = {tau, v};
        }
    }
    return best;
}

// The band-limited correlation at a lag between samples: the inverse transform of g at tau.
double CorrelationAt(const MappedVector<Cpx>& g, std::size_t n, double tau) {
    const double step = 2.0 * std::numbers::pi * tau / double(n);
    double sum = 0.0;
    std::complex<double> turn(1.0, 0.0);
    const std::complex<double> rotate = std::polar(1.0, step);
    for (std::size_t k = 0; k < g.size(); ++k) {
        if ((k & 1023u) == 0) {
            turn = std::polar(1.0, step * double(k)); // keeps rounding from piling up
        }
        if (g[k] != Cpx{}) {
            sum += double(g[k].real()) * turn.real() - double(g[k].imag()) * turn.imag();
        }
        turn *= rotate;
    }
    return sum;
}

// The lag in [lo, hi] where sign * correlation is largest (golden-section search; the peak
// of a whitened correlation is one hump within a sample either side of its best sample).
double RefinePeak(const MappedVector<Cpx>& g, std::size_t n, double lo, double hi, double sign) {
    const double r = (std::sqrt(5.0) - 1.0) / 2.0;
    double x1 = hi - r * (hi - lo);
    double x2 = lo + r * (hi - lo);
    double f1 = sign * CorrelationAt(g, n, x1);
    double f2 = sign * CorrelationAt(g, n, x2);
    while (hi - lo > 1e-4) {
        if (f1 > f2) {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - r * (hi - lo);
            f1 = sign * CorrelationAt(g, n, x1);
        } else {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + r * (hi - lo);
            f2 = sign * CorrelationAt(g, n, x2);
        }
    }
    return (lo + hi) / 2.0;
}

} // namespace

void PhatCorrelator::Decimate(std::span<const Sample> in, int factor, std::span<float> out, float scale) {
    // A windowed-sinc low-pass at 0.45 of the new rate, odd length, centred (no delay).
    const int half = 8 * factor;
    std::vector<float> taps(std::size_t(2 * half + 1));
    const double cutoff = 0.9 / (2.0 * factor); // cycles per input sample
    double sum = 0.0;
    for (int i = -half; i <= half; ++i) {
        const double x = 2.0 * cutoff * i;
        const double sinc = i == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * i / (half + 1)) +
                         0.08 * std::cos(2.0 * std::numbers::pi * i / (half + 1));
        taps[std::size_t(i + half)] = float(2.0 * cutoff * sinc * w);
        sum += taps[std::size_t(i + half)];
    }
    for (float& t : taps) {
        t = float(t / sum) * scale;
    }
    const auto n = std::ptrdiff_t(in.size());
    for (std::size_t j = 0; j < out.size(); ++j) {
        const std::ptrdiff_t centre = std::ptrdiff_t(j) * factor;
        double acc = 0.0;
        if (centre - half >= 0 && centre + half < n) {
            const Sample* x = in.data() + centre - half;
            for (std::size_t t = 0; t < taps.size(); ++t) {
                acc += double(taps[t]) * x[t];
            }
        } else {
            for (int i = -half; i <= half; ++i) {
                const std::ptrdiff_t at = centre + i;
                if (at >= 0 && at < n) {
                    acc += double(taps[std::size_t(i + half)]) * in[std::size_t(at)];
                }
            }
        }
        out[j] = float(acc);
    }
}

LagEstimate PhatCorrelator::Estimate(std::span<const Sample> ref, std::span<const Sample> other,
                                     const CorrelationOptions& options) {
    LagEstimate result;
    const double minConfidence = options.minConfidence > 0.0 ? options.minConfidence : kMinConfidence;
    if (ref.size() < std::size_t(kRate) || other.size() < std::size_t(kRate)) {
        result.overlapTooShort = true;
        return result;
    }

    // Step 1: every lag in range on the coarse copies.
    constexpr double coarseRate = double(kRate) / kCoarseFactor;
    MappedVector<float> a(DecimatedSize(ref.size(), kCoarseFactor));
    MappedVector<float> b(DecimatedSize(other.size(), kCoarseFactor));
    Decimate(ref, kCoarseFactor, a, kScale);
    Decimate(other, kCoarseFactor, b, kScale);
    const double maxLagSeconds =
        options.maxLagSeconds >= 0.0 ? options.maxLagSeconds : double(ref.size()) / kRate;
    const auto na = std::ptrdiff_t(a.size());
    const auto nb = std::ptrdiff_t(b.size());
    // Lags that leave at least the shortest overlap in common, within the range.
    const auto minOverlap = std::ptrdiff_t(kMinOverlapSeconds * coarseRate);
    const auto maxLag = std::ptrdiff_t(std::ceil(maxLagSeconds * coarseRate));
    const std::ptrdiff_t first = std::max(-maxLag, -(na - minOverlap));
    const std::ptrdiff_t last = std::min(maxLag, nb - minOverlap);
    if (first > last) {
        result.overlapTooShort = true;
        return result;
    }
    // No lag in range may meet another one around the circle.
    const RealFft coarse(RealFft::FastSize(std::size_t(std::max(na, nb) + std::max(-first, last) + 1)));
    const auto cancelled = [&options] { return options.cancel != nullptr && options.cancel->load(); };
    MappedVector<float> c;
    {
        MappedVector<Cpx> g = Spectrum<float>(coarse, a, 1.0f);
        a = {};
        if (cancelled()) {
            return result;
        }
        MappedVector<Cpx> spectrumB = Spectrum<float>(coarse, b, 1.0f);
        b = {};
        Whiten(g, spectrumB, coarse.Size(), coarseRate);
        g = std::move(spectrumB);
        c.resize(coarse.Size());
        coarse.Inverse(g.data(), c.data());
    }
    const Peak best = Highest(c, first, last);
    const auto exclusion = std::ptrdiff_t(kExclusionSeconds * coarseRate);
    const Peak second = Highest(c, first, last, best.lag, exclusion);
    c = {};
    if (best.value == 0.0) {
        return result; // nothing in common at all (silence)
    }
    result.confidence = second.value != 0.0 ? std::abs(best.value / second.value) : 1000.0;
    result.confidence = std::min(result.confidence, 1000.0);
    result.seconds = double(best.lag) / coarseRate;
    if (result.confidence < minConfidence || cancelled()) {
        return result;
    }

    // Step 2: the overlap's middle stretch at the full rate, around the coarse lag.
    const std::ptrdiff_t d0 = best.lag * kCoarseFactor;
    const auto nRef = std::ptrdiff_t(ref.size());
    const auto nOther = std::ptrdiff_t(other.size());
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, -d0) + kFineMargin;
    const std::ptrdiff_t to = std::min(nRef, nOther - d0) - kFineMargin;
    if (to - from < std::ptrdiff_t(kMinOverlapSeconds * kRate / 2)) {
        result.overlapTooShort = true;
        return result;
    }
    const std::ptrdiff_t length = std::min<std::ptrdiff_t>(to - from, std::ptrdiff_t(kFineLongest));
    const std::ptrdiff_t start = from + (to - from - length) / 2;
    const RealFft fine(RealFft::FastSize(std::size_t(length + 2 * kFineMargin + 1)));
    const MappedVector<Cpx> spectrumA =
        Spectrum(fine, ref.subspan(std::size_t(start), std::size_t(length)), kScale);
    MappedVector<Cpx> g = Spectrum(fine, other.subspan(std::size_t(start + d0), std::size_t(length)), kScale);
    Whiten(spectrumA, g, fine.Size(), kRate);
    MappedVector<float> f(fine.Size());
    fine.Inverse(g.data(), f.data());
    const Peak near = Highest(f, -kFineMargin, kFineMargin);
    if (near.value == 0.0 || std::abs(near.lag) >= kFineMargin) {
        return result; // the full-rate sound does not confirm the coarse lag
    }
    const double tau = RefinePeak(g, fine.Size(), double(near.lag) - 1.0, double(near.lag) + 1.0,
                                  near.value > 0.0 ? 1.0 : -1.0);
    result.seconds = (double(d0) + tau) / kRate;
    result.found = true;
    return result;
}
