// Fast row converters for the frequent pairs. Each gives exactly the bytes of the generic
// path in convert.cpp (tests compare them on random rows).
#include <algorithm>

#include "platform/gdiplus/convert_p.h"

namespace gdip::detail {
namespace {

void rgb24_to_32(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext&) {
    s += 3 * sx;
    d += 4 * dx;
    int32_t i = 0;
    // Four pixels from three words:  B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3
    for (; i + 4 <= n; i += 4, s += 12, d += 16) {
        uint32_t a = load32(s), b = load32(s + 4), c = load32(s + 8);
        store32(d, a | 0xFF000000u);
        store32(d + 4, (a >> 24) | (b << 8) | 0xFF000000u);
        store32(d + 8, (b >> 16) | (c << 16) | 0xFF000000u);
        store32(d + 12, (c >> 8) | 0xFF000000u);
    }
    for (; i < n; ++i, s += 3, d += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 255;
    }
}

void rgb32_to_24(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext&) {
    s += 4 * sx;
    d += 3 * dx;
    for (int32_t i = 0; i < n; ++i, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

void pargb_to_24(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext&) {
    s += 4 * sx;
    d += 3 * dx;
    for (int32_t i = 0; i < n; ++i, s += 4, d += 3) {
        uint32_t c = unpremultiply(load32(s));
        d[0] = BYTE(c);
        d[1] = BYTE(c >> 8);
        d[2] = BYTE(c >> 16);
    }
}

template <uint32_t (*F)(uint32_t)>
void map32(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext&) {
    s += 4 * sx;
    d += 4 * dx;
    for (int32_t i = 0; i < n; ++i) store32(d + 4 * i, F(load32(s + 4 * i)));
}
constexpr uint32_t opaque(uint32_t c) {
    return c | 0xFF000000u;
}
constexpr uint32_t unpremultiply_opaque(uint32_t c) {
    return unpremultiply(c) | 0xFF000000u;
}

// Indexed sources: the palette is packed for the target once (dst_lut).
template <int Bits>
uint8_t index_at(const BYTE* row, int32_t p) {
    if constexpr (Bits == 8) return row[p];
    if constexpr (Bits == 4) return (p & 1) ? (row[p >> 1] & 15) : (row[p >> 1] >> 4);
    return (row[p >> 3] >> (7 - (p & 7))) & 1;
}

template <int Bits>
void indexed_to_32(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext& ctx) {
    d += 4 * dx;
    for (int32_t i = 0; i < n; ++i) store32(d + 4 * i, ctx.dst_lut[index_at<Bits>(s, sx + i)]);
}

template <int Bits>
void indexed_to_24(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext& ctx) {
    d += 3 * dx;
    for (int32_t i = 0; i < n; ++i, d += 3) {
        uint32_t c = ctx.dst_lut[index_at<Bits>(s, sx + i)];
        d[0] = BYTE(c);
        d[1] = BYTE(c >> 8);
        d[2] = BYTE(c >> 16);
    }
}

// To 1 bit through a two-entry palette: a luminance threshold, eight pixels a byte.
template <int SrcBytes>
void to_bilevel(const BYTE* s, int32_t sx, BYTE* d, int32_t dx, int32_t n, RowContext& ctx) {
    const PaletteMatcher& m = *ctx.matcher;
    s += SrcBytes * sx;
    int32_t i = 0;
    auto bit = [&](int32_t k) {
        const BYTE* p = s + SrcBytes * k;
        uint32_t y = (p[2] * 19595u + p[1] * 38470u + p[0] * 7471u + 32768u) >> 16;
        return m.match_luminance(y);
    };
    for (; i < n && ((dx + i) & 7); ++i) {  // leading partial byte
        BYTE mask = BYTE(0x80 >> ((dx + i) & 7));
        BYTE& b = d[(dx + i) >> 3];
        b = bit(i) ? BYTE(b | mask) : BYTE(b & ~mask);
    }
    for (; i + 8 <= n; i += 8) {
        uint32_t v = 0;
        for (int k = 0; k < 8; ++k) v = (v << 1) | bit(i + k);
        d[(dx + i) >> 3] = BYTE(v);
    }
    for (; i < n; ++i) {
        BYTE mask = BYTE(0x80 >> ((dx + i) & 7));
        BYTE& b = d[(dx + i) >> 3];
        b = bit(i) ? BYTE(b | mask) : BYTE(b & ~mask);
    }
}

struct Entry {
    PixelFormat src, dst;
    FastRow fn;
};

constexpr PixelFormat k24 = PixelFormat24bppRGB, kRGB = PixelFormat32bppRGB,
                      kARGB = PixelFormat32bppARGB, kPARGB = PixelFormat32bppPARGB,
                      k1 = PixelFormat1bppIndexed, k4 = PixelFormat4bppIndexed,
                      k8 = PixelFormat8bppIndexed;

constexpr Entry kFast[] = {
    {k24, kARGB, rgb24_to_32},
    {k24, kRGB, rgb24_to_32},
    {k24, kPARGB, rgb24_to_32},
    {kARGB, k24, rgb32_to_24},
    {kRGB, k24, rgb32_to_24},
    {kPARGB, k24, pargb_to_24},
    {kARGB, kPARGB, map32<premultiply>},
    {kPARGB, kARGB, map32<unpremultiply>},
    {kRGB, kARGB, map32<opaque>},
    {kRGB, kPARGB, map32<opaque>},
    {kARGB, kRGB, map32<opaque>},
    {kPARGB, kRGB, map32<unpremultiply_opaque>},
    {k8, kARGB, indexed_to_32<8>},
    {k8, kRGB, indexed_to_32<8>},
    {k8, kPARGB, indexed_to_32<8>},
    {k8, k24, indexed_to_24<8>},
    {k4, kARGB, indexed_to_32<4>},
    {k4, kRGB, indexed_to_32<4>},
    {k4, kPARGB, indexed_to_32<4>},
    {k4, k24, indexed_to_24<4>},
    {k1, kARGB, indexed_to_32<1>},
    {k1, kRGB, indexed_to_32<1>},
    {k1, kPARGB, indexed_to_32<1>},
    {k1, k24, indexed_to_24<1>},
    {k24, k1, to_bilevel<3>},
    {kRGB, k1, to_bilevel<4>},
    {kARGB, k1, to_bilevel<4>},
};

}  // namespace

FastRow find_fast_path(RowContext& ctx) {
    for (const Entry& e : kFast) {
        if (e.src != ctx.src_format || e.dst != ctx.dst_format) continue;
        if (e.dst == k1 && (!ctx.matcher || !ctx.matcher->two_level())) return nullptr;
        if (is_indexed(e.src)) {
            // Pack the source palette once, as the generic path would pack each colour.
            for (size_t i = 0; i < 256; ++i) {
                ARGB c = ctx.src_lut[i];
                ctx.dst_lut[i] = e.dst == kRGB ? opaque(c) : e.dst == kPARGB ? premultiply(c) : c;
            }
        }
        return e.fn;
    }
    return nullptr;
}

}  // namespace gdip::detail
