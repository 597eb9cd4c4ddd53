#pragma once
// Rectangle drawing with the edge rules of the controls' drawing code: rectangles are given
// as left, top, right, bottom with right and bottom excluded.
class QPainter;

namespace gdi {

// Outline in the current pen, inside filled with the current brush.
void Rectangle(QPainter& p, int left, int top, int right, int bottom);
// A one-pixel frame in a solid colour (0x00BBGGRR).
void FrameRect(QPainter& p, int left, int top, int right, int bottom, unsigned color);
void FillSolidRect(QPainter& p, int left, int top, int right, int bottom, unsigned color);
// A line in the current pen from (x1, y1) up to, but not including, (x2, y2).
void Line(QPainter& p, int x1, int y1, int x2, int y2);

} // namespace gdi
