#pragma once
// What a screenshot says about one video pane: whether it shows a picture, where, and how much
// of it changed between two shots (support/FrameIndex.h reads which frame it is).
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

// A one-line account for failure messages.
QString describe(const PaneLook& look);
