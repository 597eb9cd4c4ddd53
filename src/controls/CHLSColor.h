#pragma once
// A colour held in both the RGB and the HLS form, converting lazily: setting one form marks
// the other stale, and reading the stale form converts once.
#include "controls/ColorHls.h"

#include <cstdint>

class CHLSColor {
public:
    CHLSColor() = default;
    explicit CHLSColor(COLORREF color);

    void SetRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // hue in degrees 0..360, lightness and saturation 0..1
    void SetHLS(float hue, float lightness, float saturation);

    std::uint8_t GetRed() const;
    std::uint8_t GetGreen() const;
    std::uint8_t GetBlue() const;
    float GetHue() const;
    float GetLightness() const;
    float GetSaturation() const;
    COLORREF GetColor() const;

    // How many conversions have run since construction (each form is converted at most once
    // per set).
    int ConversionCount() const { return m_conversions; }

private:
    void ToRGB() const;
    void ToHLS() const;

    mutable std::uint8_t m_red = 0;
    mutable std::uint8_t m_green = 0;
    mutable std::uint8_t m_blue = 0;
    mutable float m_hue = 0;
    mutable float m_saturation = 0;
    mutable float m_lightness = 0;
    mutable bool m_bRgbValid = true;
    mutable bool m_bHlsValid = true;
    mutable int m_conversions = 0;
};
