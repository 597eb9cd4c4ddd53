#pragma once
// Decodes a file's first audio track to mono 16-bit samples at one modest rate through
// GStreamer (uridecodebin, audioconvert, audioresample, appsink), reading at most a bounded
// stretch. Blocking: meant for a worker thread; a cancel flag ends it within about 0.1 s.
// Video streams are not decoded.
#include "align/MappedAllocator.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

enum class AudioStatus {
    Ok,
    NoAudio,     // the file has no audio track
    Undecodable, // it has one, but no decoder reads it (or the file cannot be read at all)
    TooShort,    // less than a second of sound
    Silent,      // nothing audible in it
    Cancelled,
};

struct DecodedAudio {
    AudioStatus status = AudioStatus::Undecodable;
    MappedVector<std::int16_t> samples; // mono, at the rate asked for
    double fileSeconds = -1.0;          // the whole file's length when known
    double startSeconds = 0.0;          // where the first sample sits on the file's timeline
    std::string detail;                 // GStreamer's words for a failure
};

class CAudioDecoder {
public:
    struct Options {
        int rate = 8000;
        double maxSeconds = 600.0; // a longer track is read only this far
    };
    // The samples decoded so far, now and then (from this thread). They stay where they are and
    // as they are while the decoding goes on, and afterwards in the result (a cancelled decoding
    // frees them before it returns).
    using Progress = std::function<void(std::span<const std::int16_t>)>;
    static DecodedAudio Decode(const std::string& uri, const Options& options,
                               const std::atomic<bool>& cancel, const Progress& progress = {});

    // Below this RMS level (about -66 dBFS) a track counts as silent.
    static constexpr double kSilentRms = 5e-4;
};
