// The helpers every reader shares: checked frame allocation, palettes, property items.
#include <cmath>
#include <limits>

#include "platform/gdiplus/codecs_p.h"
#include "platform/win/dib.h"

namespace gdip {
namespace codec {

size_t frame_bytes(int64_t width, int64_t height, PixelFormat format) {
    auto bytes = win::DibImageBytes(width, height, pixel_format_bits(format));
    if (!bytes || *bytes > std::numeric_limits<size_t>::max()) return 0;
    return size_t(*bytes);
}

GpStatus FrameBudget::check(size_t bytes) const {
    if (bytes > kMaxFrameBytes) return Gdiplus::OutOfMemory;
    if (m_used + bytes > kMaxImageBytes) return Gdiplus::OutOfMemory;
    size_t total = m_used + bytes;
    if (total > kPlausibleFloor) {
        uint64_t ratio = uint64_t(m_ratio);
        if (uint64_t(m_input) < (uint64_t(total) + ratio - 1) / ratio) return Gdiplus::OutOfMemory;
    }
    return Gdiplus::Ok;
}

GpStatus FrameBudget::new_frame(int64_t width, int64_t height, PixelFormat format, Frame* out) {
    if (width < 1 || height < 1) return Gdiplus::GenericError;
    size_t bytes = frame_bytes(width, height, format);
    if (bytes == 0) return Gdiplus::OutOfMemory;
    if (GpStatus st = check(bytes); st != Gdiplus::Ok) return st;
    if (GpStatus st = make_frame(int32_t(width), int32_t(height), format, out); st != Gdiplus::Ok)
        return st;
    m_used += bytes;
    return Gdiplus::Ok;
}

std::vector<ARGB> grey_palette(int entries, bool inverted) {
    std::vector<ARGB> p(size_t(std::max(entries, 0)));
    for (int i = 0; i < entries; ++i) {
        int v = entries > 1 ? (i * 255 + (entries - 1) / 2) / (entries - 1) : 0;
        if (inverted) v = 255 - v;
        p[size_t(i)] = argb(255, uint8_t(v), uint8_t(v), uint8_t(v));
    }
    return p;
}

UINT palette_flags(const std::vector<ARGB>& palette) {
    bool grey = !palette.empty(), alpha = false;
    for (ARGB c : palette) {
        uint8_t r = uint8_t(c >> 16), g = uint8_t(c >> 8), b = uint8_t(c);
        if (r != g || g != b) grey = false;
        if ((c >> 24) != 0xFF) alpha = true;
    }
    return (grey ? UINT(PaletteFlagsGrayScale) : 0u) | (alpha ? UINT(PaletteFlagsHasAlpha) : 0u);
}

void set_palette(Frame& frame, std::vector<ARGB> palette) {
    frame.palette_flags = palette_flags(palette);
    frame.palette = std::move(palette);
}

void widen_2_to_4(const uint8_t* src, uint8_t* dst, int32_t width) {
    for (int32_t x = 0; x < width; x += 2) {
        int a = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        int b = x + 1 < width ? (src[(x + 1) >> 2] >> (6 - 2 * ((x + 1) & 3))) & 3 : 0;
        dst[x >> 1] = uint8_t((a << 4) | b);
    }
}

void add_property(Image& image, PROPID id, WORD type, std::vector<BYTE> value) {
    if (find_property(image, id)) return;
    image.properties.push_back(PropertyData{id, type, std::move(value)});
}

void add_short(Image& image, PROPID id, uint16_t v) {
    add_property(image, id, PropertyTagTypeShort, {uint8_t(v), uint8_t(v >> 8)});
}

void add_longs(Image& image, PROPID id, const std::vector<uint32_t>& values) {
    std::vector<BYTE> bytes(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i)
        for (int b = 0; b < 4; ++b) bytes[i * 4 + size_t(b)] = uint8_t(values[i] >> (8 * b));
    add_property(image, id, PropertyTagTypeLong, std::move(bytes));
}

void add_long(Image& image, PROPID id, uint32_t v) {
    add_longs(image, id, {v});
}

void add_rational(Image& image, PROPID id, uint32_t num, uint32_t den) {
    std::vector<BYTE> bytes(8);
    for (int b = 0; b < 4; ++b) {
        bytes[size_t(b)] = uint8_t(num >> (8 * b));
        bytes[size_t(4 + b)] = uint8_t(den >> (8 * b));
    }
    add_property(image, id, PropertyTagTypeRational, std::move(bytes));
}

void add_ascii(Image& image, PROPID id, std::string_view text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    add_property(image, id, PropertyTagTypeASCII, std::move(bytes));
}

const PropertyData* find_property(const Image& image, PROPID id) {
    for (const auto& p : image.properties)
        if (p.id == id) return &p;
    return nullptr;
}

void set_resolution(Image& image, double dpi_x, double dpi_y) {
    bool ok = std::isfinite(dpi_x) && std::isfinite(dpi_y) && dpi_x > 0 && dpi_y > 0 &&
              dpi_x < 1e7 && dpi_y < 1e7;
    for (Frame& f : image.frames) {
        f.dpi_x = ok ? float(dpi_x) : 96.0f;
        f.dpi_y = ok ? float(dpi_y) : 96.0f;
    }
    if (ok) image.flags |= kImageFlagsHasRealDPI;
}

}  // namespace codec
}  // namespace gdip
