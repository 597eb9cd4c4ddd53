#include "controls/CHLSColor.h"

#include <algorithm>

namespace {

float HueToValue(float m1, float m2, float h) {
    return static_cast<float>(HlsHueToValue(m1, m2, h));
}

std::uint8_t ToByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(v * 255), 0, 255));
}

} // namespace

CHLSColor::CHLSColor(COLORREF color) {
    SetRGB(static_cast<std::uint8_t>(RedOf(color)), static_cast<std::uint8_t>(GreenOf(color)),
           static_cast<std::uint8_t>(BlueOf(color)));
}

void CHLSColor::SetRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    m_red = red;
    m_green = green;
    m_blue = blue;
    m_bRgbValid = true;
    m_bHlsValid = false;
}

void CHLSColor::SetHLS(float hue, float lightness, float saturation) {
    m_hue = hue;
    m_lightness = lightness;
    m_saturation = saturation;
    m_bHlsValid = true;
    m_bRgbValid = false;
}

void CHLSColor::ToHLS() const {
    if (m_bHlsValid) {
        return;
    }
    ++m_conversions;
    const int r = m_red;
    const int g = m_green;
    const int b = m_blue;
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    m_lightness = static_cast<float>((mx + mn) / 510.0);
    if (mx == mn) {
        m_hue = 0;
        m_saturation = 0;
    } else {
        const double span = mx - mn;
        m_saturation = static_cast<float>(m_lightness <= 0.5f ? span / (mx + mn) : span / (510 - mx - mn));
        m_hue = static_cast<float>(HueOfRgb(r, g, b));
    }
    m_bHlsValid = true;
}

void CHLSColor::ToRGB() const {
    if (m_bRgbValid) {
        return;
    }
    ++m_conversions;
    if (m_saturation == 0) {
        m_red = m_green = m_blue = ToByte(m_lightness);
    } else {
        const float l = m_lightness;
        const float s = m_saturation;
        const float m2 = l <= 0.5f ? l * (1 + s) : l + s - l * s;
        const float m1 = 2 * l - m2;
        m_red = ToByte(HueToValue(m1, m2, m_hue + 120));
        m_green = ToByte(HueToValue(m1, m2, m_hue));
        m_blue = ToByte(HueToValue(m1, m2, m_hue - 120));
    }
    m_bRgbValid = true;
}

std::uint8_t CHLSColor::GetRed() const {
    ToRGB();
    return m_red;
}
std::uint8_t CHLSColor::GetGreen() const {
    ToRGB();
    return m_green;
}
std::uint8_t CHLSColor::GetBlue() const {
    ToRGB();
    return m_blue;
}
float CHLSColor::GetHue() const {
    ToHLS();
    return m_hue;
}
float CHLSColor::GetLightness() const {
    ToHLS();
    return m_lightness;
}
float CHLSColor::GetSaturation() const {
    ToHLS();
    return m_saturation;
}
COLORREF CHLSColor::GetColor() const {
    ToRGB();
    return RgbColor(m_red, m_green, m_blue);
}
