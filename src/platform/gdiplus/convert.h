// Conversion of pixel rows between any two formats of the pixel-format table.
//
// Every format has a native sample depth: 8 bits (the 1/4/8-bit indexed, 16-bit packed,
// 24- and 32-bit formats) or 16 bits (16bppGrayScale, 48bppRGB, 64bppARGB, 64bppPARGB).
// The generic path unpacks a run of pixels to straight (not premultiplied) ARGB of
// 8 bits per channel, or of 16 bits when either side is a 16-bit format, then packs it
// into the target. Fast paths for the frequent pairs give the same bytes as the generic
// path (tested bit-exact).
//
//   ARGB32 in a uint32_t:  A<<24 | R<<16 | G<<8 | B        (bytes B, G, R, A in memory)
//   ARGB64 in a uint64_t:  A<<48 | R<<32 | G<<16 | B       (16-bit samples 0..65535)
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/pixel_format.h"

namespace gdip {

// A strided, non-owning view of pixel rows. `scan0` is the first row; a negative
// stride walks upwards in memory. `x0` is the first pixel of each row that belongs to
// the view (sub-byte formats can start mid-byte; for others it is a plain offset).
// `palette` gives the colours of an indexed format.
template <class Byte>
struct BasicPixelView {
    Byte* scan0 = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    PixelFormat format = PixelFormatUndefined;
    std::span<const ARGB> palette;
    int32_t x0 = 0;

    Byte* row(int32_t y) const { return scan0 + ptrdiff_t(y) * stride; }
};
using PixelView = BasicPixelView<BYTE>;
using ConstPixelView = BasicPixelView<const BYTE>;

inline ConstPixelView as_const(const PixelView& v) {
    return {v.scan0, v.width, v.height, v.stride, v.format, v.palette, v.x0};
}

// Bytes that `width` pixels of `format` occupy (rounded up to whole bytes), nullopt for an
// unknown format, a negative width or overflow.
std::optional<int32_t> row_bytes(int32_t width, PixelFormat format);

// Converts `src` into `dst`, which must have the same width and height and must not
// overlap it. A non-indexed colour written to an indexed target becomes the nearest
// entry of dst.palette (two-entry palettes: the nearer luminance, a black/white
// threshold); an indexed source whose palette equals the target's keeps its indices.
// Pixels of a sub-byte target outside the view are left as they were.
// InvalidParameter: unknown formats, sizes that differ, null rows, strides shorter than a
// row, an indexed target without palette.
[[nodiscard]] GpStatus convert_pixels(const ConstPixelView& src, const PixelView& dst);
// The same through the generic path only (the reference the fast paths are tested on).
[[nodiscard]] GpStatus convert_pixels_generic(const ConstPixelView& src, const PixelView& dst);

// One pixel as straight ARGB32, and one written from it (GetPixel / SetPixel).
[[nodiscard]] GpStatus read_pixel(const ConstPixelView& view, int32_t x, int32_t y, ARGB* out);
[[nodiscard]] GpStatus write_pixel(const PixelView& view, int32_t x, int32_t y, ARGB color);

// The palette a new indexed bitmap gets (image.cpp): black and white for 1 bit, the 16 VGA
// colours for 4 bits, those plus a colour cube and a grey ramp for 8 bits; empty otherwise.
std::vector<ARGB> default_palette(PixelFormat format);

// PARGB = round(c × a / 255), as the platform premultiplies.
constexpr ARGB premultiply(ARGB c) {
    uint32_t a = c >> 24;
    if (a == 255) return c;
    auto ch = [a](uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (ch((c >> 16) & 255) << 16) | (ch((c >> 8) & 255) << 8) | ch(c & 255);
}
constexpr ARGB unpremultiply(ARGB p) {
    uint32_t a = p >> 24;
    if (a == 255) return p;
    if (a == 0) return 0;
    auto ch = [a](uint32_t v) {
        uint32_t c = (v * 255 + a / 2) / a;
        return c > 255 ? 255u : c;
    };
    return (a << 24) | (ch((p >> 16) & 255) << 16) | (ch((p >> 8) & 255) << 8) | ch(p & 255);
}

// Luminance 0..255 with the weights 0.299, 0.587, 0.114 (gray stays gray exactly).
constexpr uint32_t luminance(ARGB c) {
    return (((c >> 16) & 255) * 19595 + ((c >> 8) & 255) * 38470 + (c & 255) * 7471 + 32768) >> 16;
}

// Maps colours to the nearest entry of a palette (squared distance over A, R, G, B; a
// two-entry palette compares luminance only). Caches recent answers.
class PaletteMatcher {
  public:
    // Only the first `limit` entries are candidates (the indices the target can hold).
    PaletteMatcher(std::span<const ARGB> palette, size_t limit);
    uint8_t match(ARGB color);
    bool two_level() const { return m_two_level; }
    // Two-level palettes: the index a colour of luminance `y` gets.
    uint8_t match_luminance(uint32_t y) const {
        return 2 * y >= m_threshold2 ? m_bright : uint8_t(1 - m_bright);
    }
    size_t size() const { return m_entries.size(); }

  private:
    uint8_t search(ARGB color) const;

    std::vector<ARGB> m_entries;
    bool m_two_level = false;
    uint32_t m_threshold2 = 0;  // twice the midpoint luminance
    uint8_t m_bright = 1;
    static constexpr size_t kCacheSize = 4096;
    std::array<ARGB, kCacheSize> m_keys{};
    std::array<uint8_t, kCacheSize> m_values{};
    std::array<bool, kCacheSize> m_valid{};
};

}  // namespace gdip
