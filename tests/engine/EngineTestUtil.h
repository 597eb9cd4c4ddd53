#pragma once
// Helpers of the engine tests: opening a channel on a real clip inside a real pane, waiting
// for it with a bound, reading the frame number the clips draw into each picture, and
// decoding reference frames with ffmpeg.
#include "engine/CChannelGraph.h"
#include "support/FrameIndex.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace enginetest {

// Pumps the event loop until done() or timeoutMs passed; returns done().
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

// A top-level window holding one pane, shown, of the given size.
struct PaneWindow {
    explicit PaneWindow(QSize paneSize = QSize(640, 452));
    std::unique_ptr<QWidget> window;
    QWidget* pane = nullptr;
};

// Opens clip (a name in the clips folder) in channel with the main window's sequence:
// Create, RenderFile, SetDisplayWindow, SetNotifyWindow, SetWindowPosition (pane may be null).
// Waits for the pipeline to settle. False with a gtest failure message when a step fails.
bool openClip(CChannelGraph& channel, const QString& clip, QWidget* pane = nullptr);

// Frame index (0-based) of clip decoded by ffmpeg as a 24-bit image; null image on failure.
QImage referenceFrame(const QString& clip, int index);
// Reads a 24-bit bottom-up .bmp file; null image when the layout is not that.
QImage readBmp24(const QString& path);
// Number of pixels whose colour differs by more than 48 in some channel.
int differingPixels(const QImage& a, const QImage& b);

// Open file descriptors of this process (leak checks).
QStringList openFiles();

} // namespace enginetest
