#include "controls/ControlBitmaps.h"

#include <QString>

QImage LoadControlBitmap(int id) {
    QImage img(QStringLiteral(":/res/bitmaps/%1.bmp").arg(id));
    if (img.isNull()) {
        return img;
    }
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage LoadToolBarBitmap(int id) {
    QImage img(QStringLiteral(":/res/toolbar/%1.png").arg(id));
    if (img.isNull()) {
        return img;
    }
    return img.convertToFormat(QImage::Format_ARGB32);
}
