#include "controls/ControlBitmaps.h"

#include <QHash>
#include <QString>

namespace {

// Decoded once per process; callers get shared copies that detach when they draw on them.
QImage Cached(QHash<int, QImage>& cache, int id, const QString& path, QImage::Format format) {
    const auto it = cache.constFind(id);
    if (it != cache.constEnd()) {
        return it.value();
    }
    QImage img(path);
    if (!img.isNull()) {
        img = img.convertToFormat(format);
    }
    cache.insert(id, img);
    return img;
}

} // namespace

QImage LoadControlBitmap(int id) {
    static QHash<int, QImage> cache;
    return Cached(cache, id, QStringLiteral(":/res/bitmaps/%1.bmp").arg(id), QImage::Format_RGB32);
}

QImage LoadToolBarBitmap(int id) {
    static QHash<int, QImage> cache;
    return Cached(cache, id, QStringLiteral(":/res/toolbar/%1.png").arg(id), QImage::Format_ARGB32);
}
