#include "capture/CCaptureAllWriter.h"

#include "capture/CaptureInstant.h"
#include "engine/BmpFile.h"
#include "engine/FrameImage.h"
#include "platform/CAtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>

#include <algorithm>

CCaptureAllWriter::CCaptureAllWriter(QString folder, QString stamp, Pictures pictures, QObject* parent)
    : QObject(parent) {
    m_thread = std::thread([this, folder = std::move(folder), stamp = std::move(stamp),
                            pictures = std::move(pictures)] {
        std::array<QImage, 4> images;
        bool any = false;
        for (int k = 0; k < 4; ++k) {
            images[k] = BgrFrameImage(pictures[k].frame.get());
            any = any || !images[k].isNull();
        }
        QString file;
        QString why;
        const bool written = !any || WriteSet(folder, stamp, images, &file, &why);
        QMetaObject::invokeMethod(
            this, [this, written, file, why] { emit finished(written, file, why); }, Qt::QueuedConnection);
    });
}

CCaptureAllWriter::~CCaptureAllWriter() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

QImage CCaptureAllWriter::ComposeQuadrants(const std::array<QImage, 4>& pictures) {
    QSize cell;
    for (const QImage& p : pictures) {
        cell = cell.expandedTo(p.size());
    }
    if (cell.isEmpty()) {
        return {};
    }
    QImage all(cell.width() * 2, cell.height() * 2, QImage::Format_RGB32);
    all.fill(Qt::black);
    QPainter painter(&all);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int k = 0; k < 4; ++k) {
        if (pictures[k].isNull()) {
            continue;
        }
        const QRect area(QPoint(k < 2 ? 0 : cell.width(), k % 2 == 0 ? 0 : cell.height()), cell);
        const QSize fitted = pictures[k].size().scaled(cell, Qt::KeepAspectRatio);
        const QRect place(area.x() + (cell.width() - fitted.width()) / 2,
                          area.y() + (cell.height() - fitted.height()) / 2, fitted.width(), fitted.height());
        painter.drawImage(place, pictures[k]);
    }
    painter.end();
    return all;
}

bool CCaptureAllWriter::WriteSet(const QString& folder, const QString& stamp,
                                 const std::array<QImage, 4>& pictures, QString* file, QString* why) {
    QStringList written;
    const auto undo = [&](const QString& failed, const QString& reason) {
        for (const QString& path : written) {
            QFile::remove(path);
        }
        if (file != nullptr) {
            *file = failed;
        }
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    };
    // A missing folder is made; one the file system cannot hold is refused as it is.
    int error = 0;
    if (!CAtomicFile::MakeFolder(folder, &error)) {
        return undo(folder, CAtomicFile::ErrorText(error));
    }
    const QDir dir(folder);
    for (int k = 0; k < 4; ++k) {
        if (pictures[k].isNull()) {
            continue;
        }
        const QImage bgr = pictures[k].convertToFormat(QImage::Format_BGR888);
        const QString path = dir.filePath(SnapshotFileName(k + 1, stamp, QStringLiteral("bmp")));
        QString reason;
        if (!WriteBmp24(path, bgr.constBits(), bgr.width(), bgr.height(), int(bgr.bytesPerLine()), &reason)) {
            return undo(path, reason);
        }
        written << path;
    }
    const QImage all = ComposeQuadrants(pictures);
    if (all.isNull()) {
        return true;
    }
    const QString path = dir.filePath(SnapshotFileName(0, stamp, QStringLiteral("png")));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(all)) {
        return undo(path, QStringLiteral("无法生成PNG图片"));
    }
    QString reason;
    return CAtomicFile::WriteWhole(path, png, &reason) || undo(path, reason);
}
