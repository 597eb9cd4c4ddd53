#include "EngineTestUtil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdlib>

namespace enginetest {

PaneWindow::PaneWindow(QSize paneSize) : window(std::make_unique<QWidget>()) {
    window->resize(paneSize);
    pane = new QWidget(window.get());
    pane->setGeometry(QRect(QPoint(0, 0), paneSize));
    pane->setAutoFillBackground(true);
    pane->setFocusPolicy(Qt::StrongFocus);
    window->show();
    WaitUntil([this] { return window->isVisible(); }, 2000);
}

bool openClip(CChannelGraph& channel, const QString& clip, QWidget* pane) {
    const char* failed = !channel.Create()                               ? "Create"
                         : !channel.RenderFile(tetrav::test::clip(clip)) ? "RenderFile"
                         : pane && !(channel.SetDisplayWindow(pane) && channel.SetNotifyWindow(pane) &&
                                     channel.SetWindowPosition(0, 0, pane->width(), pane->height()))
                             ? "placing the video"
                         : !channel.WaitUntilSettled(5000) ? "settling"
                                                           : nullptr;
    if (failed) {
        ADD_FAILURE() << failed << " failed on " << clip.toStdString();
    }
    return failed == nullptr;
}

QString tempBmp(const char* tag) {
    return QDir::tempPath() + QString("/tetrav-%1-%2.bmp").arg(tag).arg(QCoreApplication::applicationPid());
}

QImage snapshot(CChannelGraph& channel) {
    const QString path = tempBmp("snapshot");
    QImage image;
    if (channel.SnapshotBitmap(path) == CChannelGraph::SnapshotResult::Written) {
        image.load(path, "BMP");
        if (QFileInfo(path).size() != 54 + qint64((image.width() * 3 + 3) & ~3) * image.height()) {
            image = QImage();
        }
    }
    QFile::remove(path);
    return image;
}

int snapshotFrame(CChannelGraph& channel) {
    return frameNumberIn(snapshot(channel));
}

QImage referenceFrame(const QString& clip, int index, QSize size) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", tetrav::test::clip(clip), "-vf",
                            QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-f", "rawvideo",
                            "-pix_fmt", "rgb24", "-"});
    if (!ffmpeg.waitForFinished(20000)) {
        return {};
    }
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    if (raw.size() != size.width() * size.height() * 3) {
        return {};
    }
    const QImage image(reinterpret_cast<const uchar*>(raw.constData()), size.width(), size.height(),
                       size.width() * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32); // deep copy
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height() + 1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
                     std::abs(qBlue(p) - qBlue(q)) > 48;
        }
    }
    return count;
}

} // namespace enginetest
