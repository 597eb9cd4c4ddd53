#pragma once
// Reading the frame number the test clips draw along the bottom of every picture: ten cells, a
// tenth of the width each, least significant bit on the left, white = 1.
#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace enginetest {

// The frame number in the cells of a picture of a source sourceHeight lines high occupying rect of
// image (all of it when not given); -1 when the cells are not clear black or white.
int frameNumberIn(const QImage& image, std::optional<QRect> rect = {}, int sourceHeight = 240);
// Where a picture of size source lands inside area with its aspect ratio kept.
QRect fittedRect(QSize source, const QRect& area);
// The frame number a picture widget shows now, for a clip of size source; -1 when unreadable.
int frameShownBy(QWidget* picture, QSize source = QSize(320, 240));

} // namespace enginetest
