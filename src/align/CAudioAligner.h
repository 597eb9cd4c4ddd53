#pragma once
// Lines up to four recordings of one event by their sound: decodes the reference's audio and
// each other pane's side by side on worker threads and, while they read on, looks for each
// pane's lag against the reference (PhatCorrelator) in the first half minute of each, then in
// twice as much, and so on; the reading stops once every pane is placed. Blocking; a cancel
// flag ends it early.
#include "align/CAudioDecoder.h"
#include "align/PhatCorrelator.h"

#include <array>
#include <atomic>
#include <functional>
#include <string>

struct PaneAlignment {
    enum class Outcome {
        NotAsked,    // no file in the pane, or the pane was not to be aligned
        Reference,   // the pane the others are aligned to
        Aligned,     // offset and confidence hold the match
        NoAudio,     // the file has no audio track
        Undecodable, // its audio cannot be decoded (or the file read)
        TooShort,    // less than a second of sound
        Silent,      // nothing audible
        NoMatch,     // its sound does not match the reference's
    };
    Outcome outcome = Outcome::NotAsked;
    double offset = 0.0;     // seconds: the pane shows the reference's instant t at its own t + offset
    double confidence = 0.0; // of the match (PhatCorrelator::Estimate)
    std::string detail;      // GStreamer's words for a failure
};

struct AlignResult {
    bool cancelled = false;
    int reference = -1;
    std::array<PaneAlignment, 4> panes;
    // True when the reference had usable sound (else nothing could be aligned).
    bool ReferenceHasSound() const;
    // How many panes were aligned.
    int AlignedCount() const;
};

class CAudioAligner {
public:
    struct Options {
        CAudioDecoder::Options decode;
        double maxLagSeconds = -1.0;       // < 0: the reference's length
        int onlyPane = -1;                 // >= 0: align this pane alone
        double firstExcerptSeconds = 30.0; // the lag is first looked for in this much of each track
    };
    // uris: one per pane, empty = no file. progress: 0..1, from the worker threads.
    static AlignResult Run(const std::array<std::string, 4>& uris, int reference, const Options& options,
                           const std::atomic<bool>& cancel, const std::function<void(double)>& progress = {});
};
