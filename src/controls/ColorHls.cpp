#include "controls/ColorHls.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <algorithm>

namespace {

struct Hls {
    double hue = 0;        // degrees
    double lightness = 0;  // 0..1
    double saturation = 0; // 0..1
};

// Lightness and saturation are also returned as byte values computed without an intermediate
// rounding step, so exact greys keep their byte (192 stays 192).
struct HlsBytes {
    double hue;
    double light255;
    double sat255;
};

HlsBytes RgbToHlsBytes(int r, int g, int b) {
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    HlsBytes out{0, (mx + mn) * 255.0 / 510.0, 0};
    if (mx == mn) {
        return out;
    }
    const double light = (mx + mn) / 510.0;
    out.sat255 = light <= 0.5 ? (mx - mn) * 255.0 / (mx + mn) : (mx - mn) * 255.0 / (510 - mx - mn);
    out.hue = HueOfRgb(r, g, b);
    return out;
}

int ToByte(double v) {
    return std::clamp(static_cast<int>(v * 255), 0, 255);
}

int MoveTowards(int value, int pct) {
    if (pct > 0) {
        return value + (255 - value) * pct / 100;
    }
    if (pct < 0) {
        return value * (100 + pct) / 100;
    }
    return value;
}

COLORREF PaletteColor(const QWidget* widget, QPalette::ColorRole role,
                      QPalette::ColorGroup group = QPalette::Active) {
    const QPalette palette = widget != nullptr ? widget->palette() : QApplication::palette();
    return FromQColor(palette.color(group, role));
}

} // namespace

double HueOfRgb(int r, int g, int b) {
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    if (mx == mn) {
        return 0;
    }
    const double span = mx - mn;
    const double rc = (mx - r) / span;
    const double gc = (mx - g) / span;
    const double bc = (mx - b) / span;
    double hue;
    if (b == mx) {
        hue = (4 + gc - rc) * 60;
    } else if (g == mx) {
        hue = (2 + rc - bc) * 60;
    } else {
        hue = (6 + bc - gc) * 60;
    }
    if (hue > 360) {
        hue -= 360;
    }
    return hue;
}

double HlsHueToValue(double m1, double m2, double h) {
    if (h > 360) {
        h -= 360;
    } else if (h < 0) {
        h += 360;
    }
    if (h < 60) {
        return m1 + (m2 - m1) * h / 60;
    }
    if (h < 180) {
        return m2;
    }
    if (h < 240) {
        return m1 + (m2 - m1) * (240 - h) / 60;
    }
    return m1;
}

std::uint32_t ColorToPackedHLS(COLORREF color) {
    const HlsBytes h = RgbToHlsBytes(RedOf(color), GreenOf(color), BlueOf(color));
    const auto hue = static_cast<std::uint32_t>(std::clamp(static_cast<int>(h.hue * 255 / 360), 0, 255));
    const auto light = static_cast<std::uint32_t>(std::clamp(static_cast<int>(h.light255), 0, 255));
    const auto sat = static_cast<std::uint32_t>(std::clamp(static_cast<int>(h.sat255), 0, 255));
    return hue | (light << 8) | (sat << 16);
}

COLORREF PackedHLSToColor(std::uint32_t packed) {
    const int hueByte = static_cast<int>(packed & 0xFF);
    const int lightByte = static_cast<int>((packed >> 8) & 0xFF);
    const int satByte = static_cast<int>((packed >> 16) & 0xFF);
    if (satByte == 0) {
        return RgbColor(lightByte, lightByte, lightByte);
    }
    const double hue = hueByte * 360.0 / 255;
    const double l = lightByte / 255.0;
    const double s = satByte / 255.0;
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return RgbColor(ToByte(HlsHueToValue(m1, m2, hue + 120)), ToByte(HlsHueToValue(m1, m2, hue)),
                    ToByte(HlsHueToValue(m1, m2, hue - 120)));
}

COLORREF AdjustHLS(COLORREF color, int lightPct, int satPct) {
    const std::uint32_t packed = ColorToPackedHLS(color);
    const int hue = static_cast<int>(packed & 0xFF);
    const int light = MoveTowards(static_cast<int>((packed >> 8) & 0xFF), lightPct);
    const int sat = MoveTowards(static_cast<int>((packed >> 16) & 0xFF), satPct);
    return PackedHLSToColor(static_cast<std::uint32_t>(hue) | (static_cast<std::uint32_t>(light) << 8) |
                            (static_cast<std::uint32_t>(sat) << 16));
}

COLORREF SysColorBtnFace(const QWidget* widget) {
    return PaletteColor(widget, QPalette::Button);
}
COLORREF SysColorHighlight(const QWidget* widget) {
    return PaletteColor(widget, QPalette::Highlight);
}
COLORREF SysColorBtnText(const QWidget* widget) {
    return PaletteColor(widget, QPalette::ButtonText);
}
COLORREF SysColorGrayText(const QWidget* widget) {
    return PaletteColor(widget, QPalette::ButtonText, QPalette::Disabled);
}
