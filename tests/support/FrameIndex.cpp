#include "support/FrameIndex.h"

#include <QWidget>

#include <algorithm>

namespace enginetest {

QRect fittedRect(QSize source, const QRect& area) {
    const QSize fitted = source.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - fitted.width()) / 2,
                 area.y() + (area.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

int frameNumberIn(const QImage& image, std::optional<QRect> area, int sourceHeight) {
    const QRect rect = area.value_or(image.rect());
    if (image.isNull() || rect.width() < 20 || rect.height() < 20 || sourceHeight <= 0) {
        return -1;
    }
    // Ten cells along the bottom 16 lines of the source picture (scaled with it).
    const int y = rect.bottom() - int(8 * std::max(rect.height() / double(sourceHeight), 0.5));
    int number = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const int gray = qGray(image.pixel(rect.x() + int((bit + 0.5) * rect.width() / 10.0), y));
        if (gray > 170) {
            number |= 1 << bit;
        } else if (gray > 60) {
            return -1;
        }
    }
    return number;
}

int frameShownBy(QWidget* picture, QSize source) {
    if (picture == nullptr) {
        return -1;
    }
    const QImage image = picture->grab().toImage();
    return frameNumberIn(image, fittedRect(source, image.rect()), source.height());
}

} // namespace enginetest
