#pragma once
// Helpers of the engine tests (with gtest and the Qt headers they all use): a real pane to show a
// channel in, opening a clip as the main window does, the channel's snapshot, and a file that
// comes slowly.
#include "engine/GstChannel.h"
#include "engine/GstRef.h"
#include "support/ChannelWait.h"
#include "support/FrameIndex.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace enginetest {

using tetrav::test::clip;
using tetrav::test::WaitForNews;
using tetrav::test::WaitSettled;
using tetrav::test::WaitUntil;

// A pane that counts what reaches it: double clicks, right-button presses and Right-arrow keys.
class RecordingPane : public QWidget {
public:
    using QWidget::QWidget;
    int doubleClicks = 0, rightPresses = 0, rightArrows = 0;

protected:
    bool event(QEvent* e) override {
        const auto type = e->type();
        doubleClicks += type == QEvent::MouseButtonDblClick;
        rightPresses +=
            type == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::RightButton;
        rightArrows += type == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Right;
        return QWidget::event(e);
    }
};

// A top-level window holding one pane (a Pane), shown, of the given size.
template <typename Pane = QWidget> struct PaneWindow {
    explicit PaneWindow(QSize paneSize = QSize(640, 452)) : window(std::make_unique<QWidget>()) {
        window->resize(paneSize);
        pane = new Pane(window.get());
        pane->setGeometry(QRect(QPoint(0, 0), paneSize));
        pane->setAutoFillBackground(true);
        pane->setFocusPolicy(Qt::StrongFocus);
        window->show();
    }
    std::unique_ptr<QWidget> window;
    Pane* pane = nullptr;
};

// How long a test lets a pipeline take to settle: returns as soon as it has.
constexpr int kSettleMs = 60000;

// Opens path as the window does: its preroll waited on (the `prerolled` announcement) rather
// than within the program's own time bound, which a sanitizer build on a busy machine may overrun.
inline bool renderPath(IChannel& channel, const QString& path) {
    return channel.StartRender(path) &&
           WaitForNews(
               channel, [&channel] { return channel.IsRenderSettled(); }, 120000) &&
           channel.FinishRender();
}
inline bool renderClip(IChannel& channel, const QString& clip) {
    return renderPath(channel, tetrav::test::clip(clip));
}

// Opens clip (in the clips folder) with the main window's sequence of calls (pane may be null) and
// waits for the pipeline to settle; false with a gtest failure naming the step that failed.
inline bool openClip(IChannel& channel, const QString& clip, QWidget* pane = nullptr) {
    const char* failed = !channel.Create()            ? "Create"
                         : !renderClip(channel, clip) ? "RenderFile"
                         : pane && !(channel.SetDisplayWindow(pane) &&
                                     channel.SetWindowPosition(0, 0, pane->width(), pane->height()))
                             ? "placing the video"
                         : !WaitSettled(channel) ? "settling"
                                                 : nullptr;
    if (failed) {
        ADD_FAILURE() << failed << " failed on " << clip.toStdString();
    }
    return failed == nullptr;
}

// A temporary file name for a snapshot of this process.
inline QString tempBmp(const char* tag) {
    return QDir::tempPath() + QString("/tetrav-%1-%2.bmp").arg(tag).arg(QCoreApplication::applicationPid());
}

// The channel's snapshot as written to a .bmp file: null when none was written or when the file
// is not 24-bit rows padded to four bytes after a 54-byte header.
inline QImage snapshot(IChannel& channel) {
    const QString path = tempBmp("snapshot");
    QImage image;
    if (channel.SnapshotBitmap(path) == IChannel::SnapshotResult::Written) {
        image.load(path, "BMP");
        if (QFileInfo(path).size() != 54 + qint64((image.width() * 3 + 3) & ~3) * image.height()) {
            image = QImage();
        }
    }
    QFile::remove(path);
    return image;
}

// A file that comes slowly, as from a busy disk or a network share: on a pipeline's source, each
// piece it hands on waits delayMs first, and the pieces after the first stopAfter (when not
// negative) wait until released, or holdMs at most (then the pipeline can stop however it is
// torn down).
class SourcePacer {
public:
    SourcePacer(int delayMs, int stopAfter, int holdMs = 120000)
        : m_delayMs(delayMs), m_stopAfter(stopAfter), m_holdMs(holdMs) {}
    // Paces the source's output (the pacer outlives the pipeline).
    void attach(GstElement* source) {
        GstPadRef pad(gst_element_get_static_pad(source, "src"));
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, onPiece, this, nullptr);
    }
    // From now on, as the constructor's.
    void pace(int delayMs, int stopAfter) {
        const std::lock_guard lock(m_m);
        m_delayMs = delayMs;
        m_stopAfter = stopAfter;
    }
    void release() {
        const std::lock_guard lock(m_m);
        m_released = true;
        m_cv.notify_all();
    }
    int pieces() {
        const std::lock_guard lock(m_m);
        return m_pieces;
    }

private:
    // In a streaming thread, before the piece goes on.
    static GstPadProbeReturn onPiece(GstPad*, GstPadProbeInfo*, gpointer data) {
        auto* p = static_cast<SourcePacer*>(data);
        std::unique_lock lock(p->m_m);
        ++p->m_pieces;
        const bool stopped = p->m_stopAfter >= 0 && p->m_pieces > p->m_stopAfter;
        p->m_cv.wait_for(lock, std::chrono::milliseconds(stopped ? p->m_holdMs : p->m_delayMs),
                         [p] { return p->m_released; });
        return GST_PAD_PROBE_OK;
    }

    std::mutex m_m;
    std::condition_variable m_cv;
    int m_pieces = 0;
    bool m_released = false;
    int m_delayMs;
    int m_stopAfter;
    int m_holdMs;
};

} // namespace enginetest
