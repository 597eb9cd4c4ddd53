#include "engine/CPaneInfoOverlay.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 6;  // from the pane's corner
constexpr int kPadding = 5; // inside the box
constexpr int kFontPixels = 15;

QFont OverlayFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(kFontPixels);
    return font;
}

// The picture's own position: from the stream's start, within the file's length.
qint64 OwnPositionNs(const PaneInfo& info, qint64 streamNs) {
    qint64 pos = std::max<qint64>(0, streamNs - info.startNs);
    if (info.durationNs > 0) {
        pos = std::min(pos, info.durationNs);
    }
    return pos;
}

} // namespace

QString CPaneInfoOverlay::ReferenceMark() {
    return QStringLiteral("参考");
}

QString CPaneInfoOverlay::TimeLine(const PaneInfo& info, qint64 streamNs) {
    qint64 pos = OwnPositionNs(info, streamNs);
    qlonglong frame = -1;
    if (info.frameRate > 0.0) {
        // The frame whose time span holds the picture's time. After an exact seek the decoder
        // stamps the picture with the seek's target, inside its frame (seeks land mid-frame);
        // containers that count in milliseconds stamp a little early. The time shown is the
        // frame's start.
        frame = qlonglong(std::floor(double(pos) * info.frameRate / 1e9 + 0.1));
        pos = qint64(std::llround(double(frame) * 1e9 / info.frameRate));
    }
    const qint64 ms = (pos + 500000) / 1000000;
    QString text = QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                                     ms / 1000 % 60, ms % 1000);
    if (frame >= 0) {
        text += QStringLiteral("  第 %1 帧").arg(frame);
    }
    return text;
}

QString CPaneInfoOverlay::OffsetLine(const PaneInfo& info) {
    if (info.offset == 0.0) {
        return QStringLiteral("偏移 0");
    }
    return QStringLiteral("偏移 ") + QString::asprintf("%+.3f", info.offset) + QStringLiteral(" 秒");
}

QRect CPaneInfoOverlay::Paint(QPainter& painter, const QRect& pane, const PaneInfo& info, qint64 streamNs) {
    const QFont font = OverlayFont();
    const QFontMetrics metrics(font);
    const int line = metrics.height();
    const int markWidth = info.reference ? metrics.horizontalAdvance(ReferenceMark()) + 2 * kPadding : 0;
    const int widest = pane.width() - 2 * kMargin - 2 * kPadding;
    if (widest < 80 || pane.height() < 3 * line + 2 * kMargin + 2 * kPadding) {
        return {};
    }
    const QString name = metrics.elidedText(info.fileName, Qt::ElideMiddle, widest - markWidth);
    const QString lines[3] = {name, TimeLine(info, streamNs), OffsetLine(info)};
    int width = markWidth + metrics.horizontalAdvance(lines[0]);
    for (int i = 1; i < 3; ++i) {
        width = std::max(width, metrics.horizontalAdvance(lines[i]));
    }
    width = std::min(width, widest);
    const QRect box(pane.x() + kMargin, pane.y() + kMargin, width + 2 * kPadding, 3 * line + 2 * kPadding);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setFont(font);
    const int left = box.x() + kPadding;
    int top = box.y() + kPadding;
    if (info.reference) {
        // The reference pane's mark: dark text on yellow before the name.
        const QRect mark(left, top, markWidth - kPadding, line);
        painter.fillRect(mark, QColor(255, 210, 0));
        painter.setPen(Qt::black);
        painter.drawText(mark, Qt::AlignCenter, ReferenceMark());
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(left + markWidth, top, width - markWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                     lines[0]);
    for (int i = 1; i < 3; ++i) {
        top += line;
        painter.drawText(QRect(left, top, width, line), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    }
    painter.restore();
    return box;
}
