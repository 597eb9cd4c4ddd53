#pragma once
// Helpers of the engine tests: opening a channel on a real clip inside a real pane, reading its
// snapshot, and decoding reference frames with ffmpeg. Waits are support/TestEnv.h's WaitUntil.
#include "engine/CChannelGraph.h"
#include "support/FrameIndex.h"
#include "support/TestEnv.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

namespace enginetest {

using tetrav::test::clip;
using tetrav::test::WaitUntil;

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

// A temporary file name for a snapshot of this process.
QString tempBmp(const char* tag);
// The channel's snapshot as written to a .bmp file: null when none was written or when the file
// is not 24-bit rows padded to four bytes after a 54-byte header.
QImage snapshot(CChannelGraph& channel);
// The frame number in the channel's snapshot; -1 when unreadable or none was written.
int snapshotFrame(CChannelGraph& channel);

// Frame index (0-based) of clip, a picture of size, decoded by ffmpeg; null image on failure.
QImage referenceFrame(const QString& clip, int index, QSize size);
// Number of pixels whose colour differs by more than 48 in some channel.
int differingPixels(const QImage& a, const QImage& b);

} // namespace enginetest
