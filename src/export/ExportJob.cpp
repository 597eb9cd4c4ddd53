#include "export/ExportJob.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;

int DownToFour(double v) {
    return std::max(16, int(std::floor(v / 4.0)) * 4);
}
} // namespace

ExportJob::Container ExportJob::ContainerFor(const QString& output) {
    return output.endsWith(QLatin1String(".mkv"), Qt::CaseInsensitive) ? Container::Mkv : Container::Mp4;
}

QSize ExportJob::DefaultSize(QSize reference) {
    if (reference.width() <= 0 || reference.height() <= 0) {
        return QSize(1280, 720);
    }
    double w = 2.0 * reference.width();
    double h = 2.0 * reference.height();
    const double shrink = std::min({1.0, kMaxWidth / w, kMaxHeight / h});
    return QSize(DownToFour(w * shrink), DownToFour(h * shrink));
}

bool ExportJob::IsUsableSize(QSize size) {
    return size.width() % 4 == 0 && size.height() % 4 == 0 && size.width() >= 16 && size.height() >= 16 &&
           size.width() <= 7680 && size.height() <= 4320;
}
