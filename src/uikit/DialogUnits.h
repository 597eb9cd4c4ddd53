#pragma once
// Dialog templates are laid out in dialog units of the 9 pt CJK dialog font, whose base units
// are 6 x 12 pixels: one horizontal unit is a quarter of 6 pixels, one vertical unit an eighth
// of 12. Every dialog converts its template positions here and takes its font from here.
#include <QFont>
#include <QRect>

namespace dlu {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 12;
constexpr int kFontPixels = 12;

// MapDialogRect: rounds each unit count to the nearest pixel.
constexpr int X(int units) {
    return (units * kBaseUnitX + 2) / 4;
}
constexpr int Y(int units) {
    return (units * kBaseUnitY + 4) / 8;
}

inline QRect Rect(int x, int y, int w, int h) {
    return {X(x), Y(y), X(w), Y(h)};
}

inline QSize Size(int w, int h) {
    return {X(w), Y(h)};
}

// The dialog font: "宋体" 9 pt in the templates, the desktop's CJK font at 12 pixels here.
QFont DialogFont();

} // namespace dlu
