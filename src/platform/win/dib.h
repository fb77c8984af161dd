// The DIB layout: one set of rules for every packed DIB, BMP file, icon image and GDI bitmap.
//
//   [BITMAPFILEHEADER]  files only
//   header              12 (core), 16..64 (OS/2), 40 (INFO), 52..124 (V2..V5) bytes
//   [masks]             R, G, B (and A) after a 40-byte header with BI_BITFIELDS
//   [colour table]      entries of 4 bytes (3 after a core header)
//   rows                width x bits rounded up to 4 bytes each; bottom-up unless the
//                       height is negative
#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <optional>

#include "lumtwainpro/export.h"

LUM_BEGIN_EXPORTS

namespace win {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4,
                   kBiPng = 5, kBiAlphaBitfields = 6;

// Bytes per row: width x bits rounded up to a multiple of 4 (the one rule for rows of every
// DIB, GDI bitmap and GDI+ buffer). nullopt for a width or depth below 1, or a row longer
// than 2^31 - 1 bytes. Inline, so that programs without the platform library share it.
constexpr uint64_t DibRowBytes(uint64_t width, uint64_t bits) {  // unchecked: width < 2^32
    return (width * bits + 31) / 32 * 4;
}
constexpr std::optional<uint32_t> DibStride(int64_t width, int64_t bits) {
    if (width < 1 || bits < 1 || width > INT32_MAX || bits > 64) return std::nullopt;
    uint64_t stride = DibRowBytes(uint64_t(width), uint64_t(bits));
    if (stride > uint64_t(INT32_MAX)) return std::nullopt;
    return uint32_t(stride);
}
// Stride x rows, checked; nullopt when either is not positive or the product overflows.
constexpr std::optional<uint64_t> DibImageBytes(int64_t width, int64_t rows, int64_t bits) {
    auto stride = DibStride(width, bits);
    if (!stride || rows < 1 || rows > INT32_MAX) return std::nullopt;
    return uint64_t(*stride) * uint64_t(rows);
}

struct DibHeader {
    uint32_t size = 0;              // of the header itself
    int64_t width = 0, height = 0;  // height as rows (positive)
    bool top_down = false;
    bool core = false;              // 12-byte header: 3-byte colour entries
    bool os2 = false;
    uint16_t bits = 0;
    uint32_t compression = kBiRgb;
    int32_t ppm_x = 0, ppm_y = 0;
    uint32_t clr_used = 0;
    uint32_t masks[4] = {};         // R, G, B, A; the defaults for BI_RGB at 16 and 32 bits
    size_t table_offset = 0;        // where the colour table starts, from the header's start
    size_t table_entries = 0;       // entries the header says the table holds
    size_t entry_size = 4;
    uint64_t stride = 0;            // of uncompressed rows (may exceed what can be allocated)

    bool compressed() const { return compression != kBiRgb && compression != kBiBitfields &&
                                     compression != kBiAlphaBitfields; }
    // Offset of the pixel rows in a packed DIB (right after the colour table).
    size_t bits_offset() const { return table_offset + table_entries * entry_size; }
};

// Reads the header at `p`, of which `n` bytes are available (with any masks after it), and
// checks it: a known header size, width and rows of at least 1, a depth the compression
// allows (RLE8 8 bits, RLE4 4 bits, bottom-up; bit fields 16 or 32 bits; embedded JPEG/PNG
// not after OS/2 headers). False when any rule fails; sizes too large to allocate are the
// caller's to refuse.
bool ParseDibHeader(const uint8_t* p, size_t n, DibHeader* out);

// A packed DIB (header, masks, colour table and uncompressed rows, as global blocks and the
// clipboard carry it) whose every part lies within its `n` bytes.
bool ParsePackedDib(const uint8_t* p, size_t n, DibHeader* out);

}  // namespace win

LUM_END_EXPORTS
