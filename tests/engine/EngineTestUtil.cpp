#include "EngineTestUtil.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QVBoxLayout>

#include <cstdlib>

namespace enginetest {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

PaneWindow::PaneWindow(QSize paneSize) : window(std::make_unique<QWidget>()) {
    window->resize(paneSize);
    pane = new QWidget(window.get());
    pane->setGeometry(QRect(QPoint(0, 0), paneSize));
    pane->setAutoFillBackground(true);
    pane->setFocusPolicy(Qt::StrongFocus);
    window->show();
    waitUntil([this] { return window->isVisible(); }, 2000);
}

bool openClip(CChannelGraph& channel, const QString& clip, QWidget* pane) {
    if (!channel.Create()) {
        ADD_FAILURE() << "Create failed";
        return false;
    }
    if (!channel.RenderFile(tetrav::test::clip(clip))) {
        ADD_FAILURE() << "RenderFile failed for " << clip.toStdString();
        return false;
    }
    if (pane) {
        if (!channel.SetDisplayWindow(pane) || !channel.SetNotifyWindow(pane) ||
            !channel.SetWindowPosition(0, 0, pane->width(), pane->height())) {
            ADD_FAILURE() << "placing the video failed";
            return false;
        }
    }
    if (!channel.WaitUntilSettled(5000)) {
        ADD_FAILURE() << "channel did not settle on " << clip.toStdString();
        return false;
    }
    return true;
}

QImage referenceFrame(const QString& clip, int index) {
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height",
                            "-of", "csv=p=0", tetrav::test::clip(clip)});
    if (!probe.waitForFinished(10000)) {
        return {};
    }
    const QStringList size = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(',');
    if (size.size() != 2) {
        return {};
    }
    const int w = size[0].toInt();
    const int h = size[1].toInt();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", tetrav::test::clip(clip), "-vf",
                            QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-f", "rawvideo",
                            "-pix_fmt", "rgb24", "-"});
    if (!ffmpeg.waitForFinished(20000)) {
        return {};
    }
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    if (raw.size() != w * h * 3) {
        return {};
    }
    QImage image(reinterpret_cast<const uchar*>(raw.constData()), w, h, w * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32); // deep copy
}

QImage readBmp24(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.readAll();
    auto u32 = [&data](int at) {
        return quint32(quint8(data[at])) | quint32(quint8(data[at + 1])) << 8 |
               quint32(quint8(data[at + 2])) << 16 | quint32(quint8(data[at + 3])) << 24;
    };
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M' || u32(10) != 54 || u32(14) != 40) {
        return {};
    }
    const int w = int(u32(18));
    const int h = int(u32(22));
    const int row = (w * 3 + 3) & ~3;
    if (w <= 0 || h <= 0 || data.size() != 54 + qint64(row) * h) {
        return {};
    }
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const uchar*>(data.constData()) + 54 + qint64(row) * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]));
        }
    }
    return image;
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height() + 1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
                std::abs(qBlue(p) - qBlue(q)) > 48) {
                ++count;
            }
        }
    }
    return count;
}

QStringList openFiles() {
    QStringList files;
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        files << QFile::symLinkTarget(fds.filePath(fd));
    }
    files.sort();
    return files;
}

} // namespace enginetest
