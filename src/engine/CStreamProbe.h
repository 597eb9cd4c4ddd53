#pragma once
// Measures a set of channels before it plays: lengths from the channel graphs, frame rates
// and audio presence from the media detector (GstDiscoverer), and the reference channel,
// shortest or longest. Detector failures are shown in message boxes with the English texts
// of the classic detector ("Couldn't load the file!  hr=0x%x\r\n", ...), caption "Tetrav".
#include <QString>

class CChannelGraph;

struct ProbeState {
    double length[4] = {0, 0, 0, 0};
    double frameRate[4] = {0, 0, 0, 0};
    int openCount = 0;
    int reference[4] = {0, 0, 0, 0};
};

class CStreamProbe {
public:
    // paths[k] empty = channel k not open. miniVideo exactly 1 = shortest, else longest.
    // Returns the reference length, 0 when no channel has a positive length.
    static double ProbeChannels(const QString paths[4], CChannelGraph* const channels[4], int miniVideo,
                                ProbeState& out);
    // Frame rate of the first video stream; 0 when there is none; a negative result code
    // (as a double) when the detector failed. A null path gives E_POINTER.
    static double GetVideoFrameRate(const QString& path);
    // 1 with an audio stream, 0 without, else the negative result code.
    static int HasAudioStream(const QString& path);

    static void SortAscending(double* a, int n);
    static void SortDescending(double* a, int n);
};
