#pragma once
// Colours as 0x00BBGGRR values and their arithmetic in the HLS (hue, lightness, saturation)
// double-hexcone model. The packed HLS form keeps hue x 255/360 in bits 0..7, lightness x 255
// in bits 8..15 and saturation x 255 in bits 16..23.
#include <QColor>
#include <cstdint>

using COLORREF = std::uint32_t;

constexpr COLORREF RgbColor(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The "no colour" value: a brush of this colour is hollow.
constexpr COLORREF kNoColor = 0xFFFFFFFFu;

inline QColor ToQColor(COLORREF c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}
inline COLORREF FromQColor(const QColor& c) {
    return RgbColor(c.red(), c.green(), c.blue());
}
inline COLORREF FromQRgb(unsigned rgb) {
    return RgbColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::uint32_t ColorToPackedHLS(COLORREF color);
// The hue in degrees (0 for greys) of an RGB colour; blue wins ties over green over red.
double HueOfRgb(int red, int green, int blue);
// One RGB component (0..1) from the HLS helper values m1, m2 and a hue in degrees.
double HlsHueToValue(double m1, double m2, double hue);
COLORREF PackedHLSToColor(std::uint32_t packed);
// Moves lightness and saturation towards 255 (positive percentages) or towards 0 (negative).
COLORREF AdjustHLS(COLORREF color, int lightPct, int satPct);

class QWidget;

// The system colours the controls are drawn with: the widget's palette, or the application's
// when no widget is given.
COLORREF SysColorBtnFace(const QWidget* widget = nullptr);
COLORREF SysColorHighlight(const QWidget* widget = nullptr);
COLORREF SysColorBtnText(const QWidget* widget = nullptr);
COLORREF SysColorGrayText(const QWidget* widget = nullptr);
