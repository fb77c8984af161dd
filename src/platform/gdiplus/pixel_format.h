// The pixel-format table: one row per format the stand-in knows.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "platform/gdiplus/gdiplus.h"

namespace gdip {

struct PixelFormatInfo {
    PixelFormat value;
    std::string_view name;
    int bits;
    bool indexed;
    bool alpha;
    bool premultiplied;
};

// Indexed formats pack pixels most significant bit first. 16- and 64-bit channels are
// little-endian; 48/64-bit samples are 16-bit, 0..65535.
inline constexpr std::array<PixelFormatInfo, 14> kPixelFormats{{
    {PixelFormat16bppRGB555, "16bppRGB555", 16, false, false, false},
    {PixelFormat16bppRGB565, "16bppRGB565", 16, false, false, false},
    {PixelFormat16bppARGB1555, "16bppARGB1555", 16, false, true, false},
    {PixelFormat16bppGrayScale, "16bppGrayScale", 16, false, false, false},
    {PixelFormat24bppRGB, "24bppRGB", 24, false, false, false},
    {PixelFormat32bppRGB, "32bppRGB", 32, false, false, false},
    {PixelFormat32bppPARGB, "32bppPARGB", 32, false, true, true},
    {PixelFormat32bppARGB, "32bppARGB", 32, false, true, false},
    {PixelFormat1bppIndexed, "1bppIndexed", 1, true, false, false},
    {PixelFormat4bppIndexed, "4bppIndexed", 4, true, false, false},
    {PixelFormat8bppIndexed, "8bppIndexed", 8, true, false, false},
    {PixelFormat48bppRGB, "48bppRGB", 48, false, false, false},
    {PixelFormat64bppPARGB, "64bppPARGB", 64, false, true, true},
    {PixelFormat64bppARGB, "64bppARGB", 64, false, true, false},
}};

// Null for a value outside the table: validate before any lookup.
constexpr const PixelFormatInfo* find_pixel_format(PixelFormat value) {
    for (const auto& f : kPixelFormats)
        if (f.value == value) return &f;
    return nullptr;
}

// "Undefined" for unknown values.
constexpr std::string_view pixel_format_name(PixelFormat value) {
    const auto* f = find_pixel_format(value);
    return f ? f->name : std::string_view("Undefined");
}

constexpr int pixel_format_bits(PixelFormat value) {
    const auto* f = find_pixel_format(value);
    return f ? f->bits : 0;
}

// From the table first: the value given for 32bppPARGB, 0xD200B, carries the indexed bit
// although the format is not indexed. Values outside the table fall back to the bit.
constexpr bool is_indexed(PixelFormat value) {
    const auto* f = find_pixel_format(value);
    return f ? f->indexed : (value & PixelFormatIndexed) != 0;
}

// Row stride in bytes, 4-byte aligned as GDI+ lays out its own buffers; nullopt on overflow.
std::optional<int32_t> aligned_stride(int32_t width, PixelFormat format);
// width × height × |stride| checked; nullopt on overflow or a negative size.
std::optional<size_t> buffer_size(int32_t height, int32_t stride);

}  // namespace gdip
