#pragma once
// What a screenshot says about one video pane: whether it shows a picture, how much of it
// changed between two shots, and which frame of the project's test clips it shows (the clips
// carry their frame number in binary in a row of ten cells along their bottom edge).
#include <QImage>
#include <QRect>
#include <QString>

struct PaneLook {
    double nonBlack = 0; // fraction of the pane's pixels that are not (nearly) black
    int bright = 0;      // near-white pixels: the frame counter's digits
    QRect picture;       // where the video picture lies inside the pane (screen coordinates)
};

PaneLook lookAt(const QImage& screen, const QRect& pane);

// Pixels of the area that differ clearly between the two shots.
int changedPixels(const QImage& a, const QImage& b, const QRect& area);

// The frame number the test clip shows in that picture, or -1 when the cells cannot be read.
int frameNumber(const QImage& screen, const QRect& picture);

// A one-line account for failure messages.
QString describe(const PaneLook& look);
