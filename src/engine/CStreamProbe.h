#pragma once
// Measures a set of channels before it plays: lengths from the channel graphs, frame rates
// and audio presence from the media detector (GstDiscoverer), and the reference channel,
// shortest or longest. Detector failures come back as messages for the window to show (caption
// "Tetrav"), with the English texts of the classic detector ("Couldn't load the file!
// hr=0x%x\r\n", ...) and the file's pane and path as the second line; the probe shows nothing.
//
// Discovering a file (Discover) may run on any thread, so the files of a set can be examined
// side by side; the messages come afterwards, in the order of the channels.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class IChannel;
typedef struct _GstElement GstElement;

struct ProbeState {
    double length[4] = {0, 0, 0, 0};
    double frameRate[4] = {0, 0, 0, 0};
    int openCount = 0;
    int reference[4] = {0, 0, 0, 0};
    QStringList messages; // the detector's failures, in the order of the channels
};

// Result codes of the probes, in the classic negative 32-bit form (shown as 0x%x in the
// messages, returned as negative numbers):
namespace ProbeResult {
constexpr int kNullPath = int(0x80004003);      // no path given (E_POINTER)
constexpr int kNoDetector = int(0x80040154);    // the detector could not be created
constexpr int kFileNotFound = int(0x80070002);  // no such file (or not a plain file)
constexpr int kAccessDenied = int(0x80070005);  // the file exists but may not be read
constexpr int kUnknownType = int(0x80040265);   // not a media file the detector recognises
constexpr int kMissingPlugin = int(0x80040266); // recognised, but no decoder is installed
constexpr int kTimeout = int(0x800705B4);       // the detector gave up after its time limit
constexpr int kFailed = int(0x80004005);        // any other failure of the detector
} // namespace ProbeResult

// What the detector found in one file, in the order of its elementary streams.
struct StreamFacts {
    struct Stream {
        bool video = false;
        bool audio = false;
        bool typeKnown = true; // false: the stream's media type could not be read
        double frameRate = 0;  // video streams only
    };
    QString path;
    double duration = 0;   // seconds, as the detector measured or estimated it (0: unknown)
    int failure = 0;       // 0, or the negative result code of a failed detection
    QString failureFormat; // the message for it, with "0x%x" for the code
    std::vector<Stream> streams;
};

// How long a detection may go on: it gives up after stallUs without progress (a byte read from
// the file, a message of its pipeline) or after limitUs in all, as an open does.
struct DiscoverLimits {
    long long stallUs = 5000000;
    long long limitUs = 120000000;
    // Called with the file's source as the detector makes it (to watch or pace the reading).
    std::function<void(GstElement*)> onSource;
};

class CStreamProbe {
public:
    // Examines path with the detector; shows nothing. Safe on any thread.
    static StreamFacts Discover(const QString& path);
    // The same, within limits of the caller's own.
    static StreamFacts DiscoverWithin(const QString& path, const DiscoverLimits& limits);

    // paths[k] empty = channel k not open. miniVideo exactly 1 = shortest, else longest.
    // facts: what Discover found for each open channel, or null to discover here (in turn).
    // A channel whose graph knows no length yet takes the detector's (a raw elementary stream
    // has none until its parser has seen enough of it).
    // Returns the reference length, 0 when no channel has a positive length.
    static double ProbeChannels(const QString paths[4], IChannel* const channels[4], int miniVideo,
                                ProbeState& out, const StreamFacts* facts = nullptr);
    // Frame rate of the first video stream; 0 when there is none; a negative result code
    // (as a double) when the detector failed. A null path gives E_POINTER. channel (0..3)
    // names the pane in the message.
    // A failure's message is added to messages (when given).
    static double GetVideoFrameRate(const QString& path, int channel = -1, QStringList* messages = nullptr);
    static double VideoFrameRateOf(const StreamFacts& facts, int channel, QStringList* messages = nullptr);
    // 1 with an audio stream, 0 without, else the negative result code.
    static int HasAudioStream(const QString& path, int channel = -1, QStringList* messages = nullptr);
    static int AudioStreamOf(const StreamFacts& facts, int channel, QStringList* messages = nullptr);

    static void SortAscending(double* a, int n);
    static void SortDescending(double* a, int n);
};
