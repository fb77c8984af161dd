// Colour values: 32-bit ARGB (drawing, filters, the Colors enumeration) and Windows colours
// 0x00BBGGRR (OLE colour properties).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "lumtwainpro/export.h"

class LUM_API cColor {
  public:
    cColor() = default;
    ~cColor() { m_value = 0; }

    static uint32_t MakeARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
        return uint32_t(alpha) << 24 | uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
    }
    void FromARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
        m_value = MakeARGB(alpha, red, green, blue);
    }
    void FromRGB(uint8_t red, uint8_t green, uint8_t blue) { FromARGB(255, red, green, blue); }
    void FromARGBColor(int32_t argb) { m_value = uint32_t(argb); }
    void SetValue(int32_t argb) { m_value = uint32_t(argb); }
    int32_t GetValue() const { return int32_t(m_value); }
    // Red from the lowest byte, green the second, blue the third; always opaque.
    void FromRGBColor(int32_t lrgb) {
        uint32_t v = uint32_t(lrgb);
        m_value = MakeARGB(255, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16));
    }
    void SetFromCOLORREF(int32_t lrgb) { FromRGBColor(lrgb); }
    uint8_t GetAlpha() const { return uint8_t(m_value >> 24); }
    uint8_t GetRed() const { return uint8_t(m_value >> 16); }
    uint8_t GetGreen() const { return uint8_t(m_value >> 8); }
    uint8_t GetBlue() const { return uint8_t(m_value); }

  private:
    uint32_t m_value = 0;
};

// The Colors enumeration: the platform's 141 named colours and five of the library's own,
// in the enumeration's order.
struct NamedColor {
    std::string_view name;
    uint32_t argb;
};
LUM_API const std::array<NamedColor, 146>& ColorsTable();
