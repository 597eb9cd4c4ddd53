#include "align/CAudioAligner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

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

using Samples = std::span<const std::int16_t>;

// The tracks being decoded, as far as they have come: written by the decoding threads, read
// by the one that correlates them.
class Tracks {
public:
    Tracks(const CAudioAligner::Options& options, const std::function<void(double)>& report,
           const std::array<bool, 4>& wanted)
        : m_options(options), m_report(report), m_wanted(wanted) {}

    // From a decoding thread; holds it while it is as far ahead as it may be.
    void Publish(int k, Samples decoded) {
        std::unique_lock guard(m_lock);
        m_decoded[std::size_t(k)] = decoded;
        ReportLocked();
        m_changed.notify_all();
        m_changed.wait(guard, [&] {
            return m_stop[std::size_t(k)].load() || m_decoded[std::size_t(k)].size() < m_allowed;
        });
    }
    // The flag that stops pane k's decoding.
    const std::atomic<bool>& StopFlag(int k) const { return m_stop[std::size_t(k)]; }
    void Stop(int k) {
        std::lock_guard guard(m_lock);
        m_stop[std::size_t(k)] = true;
        m_changed.notify_all();
    }
    // Each track may be read this far for now.
    void Allow(double seconds) {
        std::lock_guard guard(m_lock);
        m_allowed = std::size_t(seconds * m_options.decode.rate);
        m_changed.notify_all();
    }
    void Finish(int k, DecodedAudio audio) {
        std::lock_guard guard(m_lock);
        m_audio[std::size_t(k)] = std::move(audio);
        m_decoded[std::size_t(k)] = {m_audio[std::size_t(k)].samples.data(),
                                     m_audio[std::size_t(k)].samples.size()};
        m_done[std::size_t(k)] = true;
        ReportLocked();
        m_changed.notify_all();
    }

    // Waits until each of the panes has `seconds` of sound or is done (false: cancelled first).
    bool WaitFor(const std::vector<int>& panes, double seconds, const std::atomic<bool>& cancel) {
        const auto enough = std::size_t(seconds * m_options.decode.rate);
        std::unique_lock guard(m_lock);
        for (;;) {
            if (cancel.load()) {
                return false;
            }
            if (std::all_of(panes.begin(), panes.end(), [&](int k) {
                    return m_done[std::size_t(k)] || m_decoded[std::size_t(k)].size() >= enough;
                })) {
                return true;
            }
            // The cancel flag is looked at now and then.
            m_changed.wait_for(guard, std::chrono::milliseconds(100));
        }
    }
    // What pane k has so far; its samples stay valid while this object lives.
    Samples Decoded(int k) {
        std::lock_guard guard(m_lock);
        return m_decoded[std::size_t(k)];
    }
    // The finished decoding of pane k, if it is finished.
    const DecodedAudio* Done(int k) {
        std::lock_guard guard(m_lock);
        return m_done[std::size_t(k)] ? &m_audio[std::size_t(k)] : nullptr;
    }
    // Where pane k's first sample sits on its file's timeline (once it is done).
    double StartSeconds(int k) {
        std::lock_guard guard(m_lock);
        return m_audio[std::size_t(k)].startSeconds;
    }
    void Completed() {
        std::lock_guard guard(m_lock);
        m_complete = true;
        ReportLocked();
    }

private:
    void ReportLocked() {
        if (!m_report) {
            return;
        }
        double decoded = 0.0;
        double expected = 0.0;
        for (std::size_t k = 0; k < 4; ++k) {
            if (m_wanted[k]) {
                decoded += double(m_decoded[k].size());
                expected += m_done[k] ? double(m_decoded[k].size())
                                      : m_options.decode.maxSeconds * m_options.decode.rate;
            }
        }
        // Reading stops as soon as every pane is placed: the bar never goes back.
        const double fraction = m_complete ? 1.0 : expected > 0.0 ? 0.95 * decoded / expected : 0.0;
        if (fraction > m_shown || m_complete) {
            m_shown = fraction;
            m_report(fraction);
        }
    }

    const CAudioAligner::Options& m_options;
    const std::function<void(double)>& m_report;
    const std::array<bool, 4> m_wanted;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::array<DecodedAudio, 4> m_audio;
    std::array<Samples, 4> m_decoded{};
    std::array<bool, 4> m_done{};
    std::array<std::atomic<bool>, 4> m_stop{};
    std::size_t m_allowed = 0;
    bool m_complete = false;
    double m_shown = -1.0;
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
    std::vector<int> pending; // panes still to place
    for (int k = 0; k < 4; ++k) {
        wanted[std::size_t(k)] = !uris[std::size_t(k)].empty() &&
                                 (k == reference || options.onlyPane < 0 || options.onlyPane == k);
        if (k != reference && wanted[std::size_t(k)]) {
            pending.push_back(k);
        }
    }
    Tracks tracks(options, progress, wanted);

    // Every wanted track decoded at once, each on its own thread, a stage ahead of the
    // correlations, until its pane is placed (or the tracks end, or the user gives up). The
    // decoders stop on flags of their own: the samples they free on stopping are never read
    // after the flag is set.
    double excerpt = std::min(options.firstExcerptSeconds, options.decode.maxSeconds);
    tracks.Allow(2.0 * excerpt);
    std::vector<std::jthread> decoders;
    for (int k = 0; k < 4; ++k) {
        if (wanted[std::size_t(k)]) {
            decoders.emplace_back([&, k] {
                tracks.Finish(k,
                              CAudioDecoder::Decode(uris[std::size_t(k)], options.decode, tracks.StopFlag(k),
                                                    [&](Samples s) { tracks.Publish(k, s); }));
            });
        }
    }
    const auto finish = [&] {
        for (int k = 0; k < 4; ++k) {
            tracks.Stop(k);
        }
        decoders.clear(); // joins
    };

    // The lag is looked for in the tracks' beginnings first, then in twice as much each time,
    // up to all of them: recordings of one event mostly start within a minute or two of each
    // other, and a match is taken only when its peak stands clear of every other lag.
    CorrelationOptions correlation;
    correlation.cancel = &cancel;
    for (;;) {
        std::vector<int> waitFor = pending;
        waitFor.push_back(reference);
        if (!tracks.WaitFor(waitFor, excerpt, cancel)) {
            break;
        }
        const DecodedAudio* ref = tracks.Done(reference);
        if (ref != nullptr && ref->status != AudioStatus::Ok) {
            break; // nothing can be aligned to it
        }
        const auto stretch = std::size_t(excerpt * options.decode.rate);
        const Samples refAll = tracks.Decoded(reference);
        const Samples refSamples = refAll.first(std::min(refAll.size(), stretch));
        // The range: as asked, else the reference's length (the longest read while it is not known).
        correlation.maxLagSeconds = options.maxLagSeconds >= 0.0 ? options.maxLagSeconds
                                    : ref != nullptr             ? double(refAll.size()) / options.decode.rate
                                                                 : options.decode.maxSeconds;
        for (auto it = pending.begin(); it != pending.end() && !cancel.load();) {
            const int k = *it;
            PaneAlignment& pane = result.panes[std::size_t(k)];
            const DecodedAudio* other = tracks.Done(k);
            if (other != nullptr && other->status != AudioStatus::Ok) {
                pane.outcome = OutcomeOf(other->status);
                pane.detail = other->detail;
                it = pending.erase(it);
                continue;
            }
            const Samples otherAll = tracks.Decoded(k);
            const Samples otherSamples = otherAll.first(std::min(otherAll.size(), stretch));
            // All there is of both.
            const bool last = ref != nullptr && other != nullptr && refSamples.size() == refAll.size() &&
                              otherSamples.size() == otherAll.size();
            const LagEstimate lag = PhatCorrelator::Estimate(refSamples, otherSamples, correlation);
            if (lag.found || last) {
                pane.confidence = lag.confidence;
                pane.offset = lag.seconds;
                pane.outcome = lag.found ? PaneAlignment::Outcome::Aligned : PaneAlignment::Outcome::NoMatch;
                it = pending.erase(it);
                tracks.Stop(k);
            } else {
                ++it;
            }
        }
        if (pending.empty() || cancel.load()) {
            break;
        }
        excerpt = std::min(2.0 * excerpt, options.decode.maxSeconds);
        tracks.Allow(2.0 * excerpt);
    }
    finish();
    if (cancel.load()) {
        result.cancelled = true;
        return result;
    }

    PaneAlignment& refPane = result.panes[std::size_t(reference)];
    const DecodedAudio* ref = tracks.Done(reference);
    // Stopped (by this function) when every pane was placed: its sound was good enough.
    const AudioStatus refStatus = ref->status == AudioStatus::Cancelled ? AudioStatus::Ok : ref->status;
    if (refStatus != AudioStatus::Ok) {
        // The reference's sound is unusable: nothing is aligned to it.
        refPane.outcome = OutcomeOf(refStatus);
        refPane.detail = ref->detail;
        for (PaneAlignment& pane : result.panes) {
            if (&pane != &refPane) {
                pane = {};
            }
        }
        tracks.Completed();
        return result;
    }
    refPane.outcome = PaneAlignment::Outcome::Reference;
    refPane.confidence = 1.0;
    // Lags count samples; the files' timelines may start their sound elsewhere.
    const double refStart = tracks.StartSeconds(reference);
    for (int k = 0; k < 4; ++k) {
        PaneAlignment& pane = result.panes[std::size_t(k)];
        if (k != reference && pane.outcome == PaneAlignment::Outcome::Aligned) {
            pane.offset += tracks.StartSeconds(k) - refStart;
        }
    }
    tracks.Completed();
    return result;
}
