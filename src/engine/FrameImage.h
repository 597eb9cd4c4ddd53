#pragma once
// A decoded frame scaled to a picture for the screen, outside the pipeline: what a paused pane
// shows when it grows or zooms, so that the picture comes from the frame at its full resolution
// rather than from the smaller picture on screen.
#include <gst/gst.h>

#include <QImage>
#include <QSize>

// The frame (any raw video format) scaled to exactly size as QImage::Format_RGB32; a null image
// when the frame cannot be read or converted.
QImage ScaledFrameImage(GstSample* frame, QSize size);

// The frame as B, G, R bytes (QImage::Format_BGR888) at its own size with square pixels: the
// picture a snapshot holds. A null image when there is none or it cannot be converted.
QImage BgrFrameImage(GstSample* frame);
