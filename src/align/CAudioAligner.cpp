#include "align/CAudioAligner.h"

#include <algorithm>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace {

constexpr double kDecodeShare = 0.85; // of the progress bar; the correlations take the rest

PaneAlignment::Outcome OutcomeOf(AudioStatus status) {
    switch (status) {
    case AudioStatus::NoAudio:
        return PaneAlignment::Outcome::NoAudio;
    case AudioStatus::TooShort:
        return PaneAlignment::Outcome::TooShort;
    case AudioStatus::Silent:
        return PaneAlignment::Outcome::Silent;
    case AudioStatus::Ok:
        return PaneAlignment::Outcome::Aligned;
    case AudioStatus::Undecodable:
    case AudioStatus::Cancelled:
        break;
    }
    return PaneAlignment::Outcome::Undecodable;
}

// Progress of all the worker threads, as one fraction.
class ProgressSum {
public:
    explicit ProgressSum(const std::function<void(double)>& report) : m_report(report) {}
    void SetDecoded(int pane, double seconds, double expected) {
        std::lock_guard guard(m_lock);
        m_decoded[std::size_t(pane)] = std::min(seconds, expected);
        m_expected[std::size_t(pane)] = expected;
        Report();
    }
    void SetCorrelations(int done, int total) {
        std::lock_guard guard(m_lock);
        m_correlated = total > 0 ? double(done) / total : 1.0;
        Report();
    }

private:
    void Report() {
        double decoded = 0.0;
        double expected = 0.0;
        for (std::size_t k = 0; k < 4; ++k) {
            decoded += m_decoded[k];
            expected += m_expected[k];
        }
        const double fraction =
            (expected > 0.0 ? kDecodeShare * decoded / expected : 0.0) + (1.0 - kDecodeShare) * m_correlated;
        if (m_report) {
            m_report(std::clamp(fraction, 0.0, 1.0));
        }
    }
    const std::function<void(double)>& m_report;
    std::mutex m_lock;
    std::array<double, 4> m_decoded{};
    std::array<double, 4> m_expected{};
    double m_correlated = 0.0;
};

} // namespace

bool AlignResult::ReferenceHasSound() const {
    return reference >= 0 && reference < 4 &&
           panes[std::size_t(reference)].outcome == PaneAlignment::Outcome::Reference;
}

int AlignResult::AlignedCount() const {
    return int(std::count_if(panes.begin(), panes.end(), [](const PaneAlignment& p) {
        return p.outcome == PaneAlignment::Outcome::Aligned;
    }));
}

AlignResult CAudioAligner::Run(const std::array<std::string, 4>& uris, int reference, const Options& options,
                               const std::atomic<bool>& cancel, const std::function<void(double)>& progress) {
    AlignResult result;
    result.reference = reference;
    if (reference < 0 || reference > 3 || uris[std::size_t(reference)].empty()) {
        return result;
    }
    std::array<bool, 4> wanted{};
    for (int k = 0; k < 4; ++k) {
        wanted[std::size_t(k)] = !uris[std::size_t(k)].empty() &&
                                 (k == reference || options.onlyPane < 0 || options.onlyPane == k);
    }

    // The wanted tracks decoded side by side, a few at a time (each pipeline holds buffers).
    ProgressSum sum(progress);
    std::array<DecodedAudio, 4> audio;
    std::counting_semaphore<4> slots(std::clamp(options.decoders, 1, 4));
    {
        std::vector<std::jthread> decoders;
        for (int k = 0; k < 4; ++k) {
            if (!wanted[std::size_t(k)]) {
                continue;
            }
            sum.SetDecoded(k, 0.0, options.decode.maxSeconds);
            decoders.emplace_back([&, k] {
                double expected = options.decode.maxSeconds;
                slots.acquire();
                audio[std::size_t(k)] =
                    CAudioDecoder::Decode(uris[std::size_t(k)], options.decode, cancel,
                                          [&](double seconds) { sum.SetDecoded(k, seconds, expected); });
                slots.release();
                const DecodedAudio& a = audio[std::size_t(k)];
                expected = double(a.samples.size()) / options.decode.rate;
                sum.SetDecoded(k, expected, expected);
            });
        }
    }
    if (cancel.load()) {
        result.cancelled = true;
        return result;
    }

    for (int k = 0; k < 4; ++k) {
        PaneAlignment& pane = result.panes[std::size_t(k)];
        if (wanted[std::size_t(k)]) {
            pane.outcome = OutcomeOf(audio[std::size_t(k)].status);
            pane.detail = audio[std::size_t(k)].detail;
        }
    }
    PaneAlignment& ref = result.panes[std::size_t(reference)];
    if (ref.outcome != PaneAlignment::Outcome::Aligned) {
        // The reference's sound is unusable: nothing is aligned to it.
        for (PaneAlignment& pane : result.panes) {
            if (pane.outcome == PaneAlignment::Outcome::Aligned) {
                pane.outcome = PaneAlignment::Outcome::NotAsked;
            }
        }
        return result;
    }
    ref.outcome = PaneAlignment::Outcome::Reference;
    ref.confidence = 1.0;

    // Each pane against the reference, a few at a time.
    std::vector<int> todo;
    for (int k = 0; k < 4; ++k) {
        if (k != reference && result.panes[std::size_t(k)].outcome == PaneAlignment::Outcome::Aligned) {
            todo.push_back(k);
        }
    }
    std::mutex lock;
    std::size_t next = 0;
    int done = 0;
    sum.SetCorrelations(0, int(todo.size()));
    CorrelationOptions correlation;
    correlation.maxLagSeconds = options.maxLagSeconds;
    correlation.cancel = &cancel;
    const MappedVector<std::int16_t>& refSamples = audio[std::size_t(reference)].samples;
    {
        std::vector<std::jthread> workers;
        const int count = std::clamp(options.correlators, 1, 4);
        for (int w = 0; w < count; ++w) {
            workers.emplace_back([&] {
                for (;;) {
                    int k = -1;
                    {
                        std::lock_guard guard(lock);
                        if (next >= todo.size() || cancel.load()) {
                            return;
                        }
                        k = todo[next++];
                    }
                    const LagEstimate lag =
                        PhatCorrelator::Estimate(refSamples, audio[std::size_t(k)].samples, correlation);
                    std::lock_guard guard(lock);
                    audio[std::size_t(k)].samples = {};
                    PaneAlignment& pane = result.panes[std::size_t(k)];
                    pane.confidence = lag.confidence;
                    // Lags count samples; the files' timelines may start their sound elsewhere.
                    pane.offset = lag.seconds + audio[std::size_t(k)].startSeconds -
                                  audio[std::size_t(reference)].startSeconds;
                    pane.outcome =
                        lag.found ? PaneAlignment::Outcome::Aligned : PaneAlignment::Outcome::NoMatch;
                    sum.SetCorrelations(++done, int(todo.size()));
                }
            });
        }
    }
    result.cancelled = cancel.load();
    return result;
}
