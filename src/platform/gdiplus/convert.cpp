// Generic pixel conversion: unpack a run to straight ARGB (8 or 16 bits per channel),
// pack it into the target. The fast paths live in convert_fast.cpp.
#include "platform/gdiplus/convert.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "platform/gdiplus/convert_p.h"

namespace gdip {
namespace {

using detail::load16;
using detail::load32;
using detail::RowContext;
using detail::store16;
using detail::store32;

constexpr int32_t kChunk = 1024;

bool is_wide(PixelFormat f) {
    return f == PixelFormat16bppGrayScale || f == PixelFormat48bppRGB ||
           f == PixelFormat64bppARGB || f == PixelFormat64bppPARGB;
}

// 8 <-> 16 bits per channel: v × 257 and round(v / 257), exact inverses.
uint64_t expand(uint32_t c) {
    auto ch = [c](int s) { return uint64_t((c >> s) & 255) * 257; };
    return ch(24) << 48 | ch(16) << 32 | ch(8) << 16 | ch(0);
}
uint32_t shrink(uint64_t c) {
    auto ch = [c](int s) { return uint32_t((((c >> s) & 0xFFFF) + 128) / 257); };
    return ch(48) << 24 | ch(32) << 16 | ch(16) << 8 | ch(0);
}

uint64_t premultiply64(uint64_t c) {
    uint64_t a = c >> 48;
    if (a == 0xFFFF) return c;
    auto ch = [&](int s) { return (((c >> s) & 0xFFFF) * a + 32767) / 65535; };
    return a << 48 | ch(32) << 32 | ch(16) << 16 | ch(0);
}
uint64_t unpremultiply64(uint64_t p) {
    uint64_t a = p >> 48;
    if (a == 0xFFFF) return p;
    if (a == 0) return 0;
    auto ch = [&](int s) {
        return std::min<uint64_t>((((p >> s) & 0xFFFF) * 65535 + a / 2) / a, 0xFFFF);
    };
    return a << 48 | ch(32) << 32 | ch(16) << 16 | ch(0);
}
uint32_t luminance16(uint64_t c) {
    return uint32_t((((c >> 32) & 0xFFFF) * 19595 + ((c >> 16) & 0xFFFF) * 38470 +
                     (c & 0xFFFF) * 7471 + 32768) >>
                    16);
}

// ---- indices of 1/4/8-bit formats, most significant bit first -----------------------

void unpack_indices(const BYTE* row, int32_t x, int32_t n, int bits, uint8_t* out) {
    if (bits == 8) {
        std::memcpy(out, row + x, size_t(n));
    } else if (bits == 4) {
        for (int32_t i = 0; i < n; ++i) {
            int32_t p = x + i;
            BYTE b = row[p >> 1];
            out[i] = (p & 1) ? (b & 15) : (b >> 4);
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            int32_t p = x + i;
            out[i] = (row[p >> 3] >> (7 - (p & 7))) & 1;
        }
    }
}

void pack_indices(const uint8_t* in, int32_t x, int32_t n, int bits, BYTE* row) {
    if (bits == 8) {
        std::memcpy(row + x, in, size_t(n));
    } else if (bits == 4) {
        for (int32_t i = 0; i < n; ++i) {
            int32_t p = x + i;
            BYTE& b = row[p >> 1];
            b = (p & 1) ? BYTE((b & 0xF0) | (in[i] & 15)) : BYTE((b & 0x0F) | (in[i] << 4));
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            int32_t p = x + i;
            BYTE mask = BYTE(0x80 >> (p & 7));
            BYTE& b = row[p >> 3];
            b = (in[i] & 1) ? BYTE(b | mask) : BYTE(b & ~mask);
        }
    }
}

// ---- 8-bit formats ------------------------------------------------------------------

uint32_t expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
uint32_t expand6(uint32_t v) {
    return (v << 2) | (v >> 4);
}

void unpack64(const BYTE* row, int32_t x, int32_t n, const RowContext& ctx, uint64_t* out);
void pack64(const uint64_t* in, int32_t x, int32_t n, RowContext& ctx, BYTE* row);

// A table-driven kernel per format; the switch runs once per run of pixels.
void unpack32(const BYTE* row, int32_t x, int32_t n, const RowContext& ctx, uint32_t* out) {
    switch (ctx.src_format) {
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat16bppARGB1555:
            for (int32_t i = 0; i < n; ++i) {
                uint32_t v = load16(row + 2 * (x + i)), r, g, a = 255;
                if (ctx.src_format == PixelFormat16bppRGB565) {
                    r = expand5(v >> 11);
                    g = expand6((v >> 5) & 63);
                } else {
                    r = expand5((v >> 10) & 31);
                    g = expand5((v >> 5) & 31);
                    if (ctx.src_format == PixelFormat16bppARGB1555) a = (v & 0x8000) ? 255 : 0;
                }
                out[i] = a << 24 | r << 16 | g << 8 | expand5(v & 31);
            }
            return;
        case PixelFormat24bppRGB:
            for (int32_t i = 0; i < n; ++i) {
                const BYTE* p = row + 3 * (x + i);
                out[i] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
            return;
        case PixelFormat32bppRGB:
            for (int32_t i = 0; i < n; ++i) out[i] = load32(row + 4 * (x + i)) | 0xFF000000u;
            return;
        case PixelFormat32bppARGB:
            std::memcpy(out, row + 4 * x, size_t(n) * 4);
            return;
        case PixelFormat32bppPARGB:
            for (int32_t i = 0; i < n; ++i) out[i] = unpremultiply(load32(row + 4 * (x + i)));
            return;
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed: {
            uint8_t idx[kChunk];
            unpack_indices(row, x, n, ctx.src_bits, idx);
            for (int32_t i = 0; i < n; ++i) out[i] = ctx.src_lut[idx[i]];
            return;
        }
        default: {  // 16-bit samples
            uint64_t wide[kChunk];
            unpack64(row, x, n, ctx, wide);
            for (int32_t i = 0; i < n; ++i) out[i] = shrink(wide[i]);
            return;
        }
    }
}

void pack_indexed(const uint32_t* in, int32_t x, int32_t n, RowContext& ctx, BYTE* row) {
    uint8_t idx[kChunk];
    PaletteMatcher& m = *ctx.matcher;
    if (m.two_level()) {
        for (int32_t i = 0; i < n; ++i) idx[i] = m.match_luminance(luminance(in[i]));
    } else {
        for (int32_t i = 0; i < n; ++i) idx[i] = m.match(in[i]);
    }
    pack_indices(idx, x, n, ctx.dst_bits, row);
}

void pack32(const uint32_t* in, int32_t x, int32_t n, RowContext& ctx, BYTE* row) {
    switch (ctx.dst_format) {
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat16bppARGB1555:
            for (int32_t i = 0; i < n; ++i) {
                uint32_t c = in[i], r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255, v;
                if (ctx.dst_format == PixelFormat16bppRGB565) {
                    v = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
                } else {
                    v = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
                    if (ctx.dst_format == PixelFormat16bppARGB1555 && (c >> 24) >= 128) v |= 0x8000;
                }
                store16(row + 2 * (x + i), v);
            }
            return;
        case PixelFormat24bppRGB:
            for (int32_t i = 0; i < n; ++i) {
                BYTE* p = row + 3 * (x + i);
                p[0] = BYTE(in[i]);
                p[1] = BYTE(in[i] >> 8);
                p[2] = BYTE(in[i] >> 16);
            }
            return;
        case PixelFormat32bppRGB:
            for (int32_t i = 0; i < n; ++i) store32(row + 4 * (x + i), in[i] | 0xFF000000u);
            return;
        case PixelFormat32bppARGB:
            std::memcpy(row + 4 * x, in, size_t(n) * 4);
            return;
        case PixelFormat32bppPARGB:
            for (int32_t i = 0; i < n; ++i) store32(row + 4 * (x + i), premultiply(in[i]));
            return;
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            pack_indexed(in, x, n, ctx, row);
            return;
        default: {
            uint64_t wide[kChunk];
            for (int32_t i = 0; i < n; ++i) wide[i] = expand(in[i]);
            pack64(wide, x, n, ctx, row);
            return;
        }
    }
}

// ---- 16-bit formats -----------------------------------------------------------------

void unpack64(const BYTE* row, int32_t x, int32_t n, const RowContext& ctx, uint64_t* out) {
    switch (ctx.src_format) {
        case PixelFormat16bppGrayScale:
            for (int32_t i = 0; i < n; ++i) {
                uint64_t g = load16(row + 2 * (x + i));
                out[i] = uint64_t(0xFFFF) << 48 | g << 32 | g << 16 | g;
            }
            return;
        case PixelFormat48bppRGB:
            for (int32_t i = 0; i < n; ++i) {
                const BYTE* p = row + 6 * (x + i);
                out[i] = uint64_t(0xFFFF) << 48 | uint64_t(load16(p + 4)) << 32 |
                         uint64_t(load16(p + 2)) << 16 | load16(p);
            }
            return;
        case PixelFormat64bppARGB:
            std::memcpy(out, row + 8 * x, size_t(n) * 8);
            return;
        case PixelFormat64bppPARGB:
            for (int32_t i = 0; i < n; ++i) {
                uint64_t v;
                std::memcpy(&v, row + 8 * (x + i), 8);
                out[i] = unpremultiply64(v);
            }
            return;
        default: {
            uint32_t narrow[kChunk];
            unpack32(row, x, n, ctx, narrow);
            for (int32_t i = 0; i < n; ++i) out[i] = expand(narrow[i]);
            return;
        }
    }
}

void pack64(const uint64_t* in, int32_t x, int32_t n, RowContext& ctx, BYTE* row) {
    switch (ctx.dst_format) {
        case PixelFormat16bppGrayScale:
            for (int32_t i = 0; i < n; ++i) store16(row + 2 * (x + i), luminance16(in[i]));
            return;
        case PixelFormat48bppRGB:
            for (int32_t i = 0; i < n; ++i) {
                BYTE* p = row + 6 * (x + i);
                store16(p, uint32_t(in[i]));
                store16(p + 2, uint32_t(in[i] >> 16));
                store16(p + 4, uint32_t(in[i] >> 32));
            }
            return;
        case PixelFormat64bppARGB:
            std::memcpy(row + 8 * x, in, size_t(n) * 8);
            return;
        case PixelFormat64bppPARGB:
            for (int32_t i = 0; i < n; ++i) {
                uint64_t v = premultiply64(in[i]);
                std::memcpy(row + 8 * (x + i), &v, 8);
            }
            return;
        default: {
            uint32_t narrow[kChunk];
            for (int32_t i = 0; i < n; ++i) narrow[i] = shrink(in[i]);
            pack32(narrow, x, n, ctx, row);
            return;
        }
    }
}

// ---- driver -------------------------------------------------------------------------

bool view_ok(const BYTE* scan0, int32_t x0, int32_t width, int32_t stride, PixelFormat format) {
    if (!scan0 || x0 < 0 || int64_t(x0) + width > std::numeric_limits<int32_t>::max()) return false;
    auto bytes = row_bytes(x0 + width, format);
    return bytes && std::abs(int64_t(stride)) >= *bytes;
}

GpStatus validate(const ConstPixelView& src, const PixelView& dst) {
    if (!find_pixel_format(src.format) || !find_pixel_format(dst.format))
        return Gdiplus::InvalidParameter;
    if (src.width != dst.width || src.height != dst.height || src.width < 0 || src.height < 0)
        return Gdiplus::InvalidParameter;
    if (src.width == 0 || src.height == 0) return Gdiplus::Ok;
    if (!view_ok(src.scan0, src.x0, src.width, src.stride, src.format) ||
        !view_ok(dst.scan0, dst.x0, dst.width, dst.stride, dst.format))
        return Gdiplus::InvalidParameter;
    return Gdiplus::Ok;
}

bool byte_aligned(const ConstPixelView& src, const PixelView& dst) {
    return src.format == dst.format &&
           ((int64_t(src.x0) * pixel_format_bits(src.format)) % 8) == 0 &&
           ((int64_t(dst.x0) * pixel_format_bits(dst.format)) % 8) == 0 &&
           ((int64_t(src.width) * pixel_format_bits(src.format)) % 8) == 0;
}

// Same format, nothing to translate: rows are copied as they are (X bytes included).
bool plain_copy(const ConstPixelView& src, const PixelView& dst, const RowContext& ctx) {
    if (src.format != dst.format || !byte_aligned(src, dst)) return false;
    if (is_indexed(src.format) && !ctx.copy_indices) return false;
    int bits = pixel_format_bits(src.format);
    size_t n = size_t(int64_t(src.width) * bits / 8);
    for (int32_t y = 0; y < src.height; ++y)
        std::memcpy(dst.row(y) + int64_t(dst.x0) * bits / 8,
                    src.row(y) + int64_t(src.x0) * bits / 8, n);
    return true;
}

void copy_index_run(const BYTE* srow, int32_t sx, BYTE* drow, int32_t dx, int32_t n,
                    RowContext& ctx) {
    uint8_t idx[kChunk];
    unpack_indices(srow, sx, n, ctx.src_bits, idx);
    for (int32_t i = 0; i < n; ++i)
        if (idx[i] >= ctx.dst_index_limit) idx[i] = ctx.matcher->match(ctx.src_lut[idx[i]]);
    pack_indices(idx, dx, n, ctx.dst_bits, drow);
}

void generic_run(const BYTE* srow, int32_t sx, BYTE* drow, int32_t dx, int32_t n, RowContext& ctx) {
    if (ctx.copy_indices) {
        copy_index_run(srow, sx, drow, dx, n, ctx);
    } else if (is_wide(ctx.src_format) || is_wide(ctx.dst_format)) {
        uint64_t buf[kChunk];
        unpack64(srow, sx, n, ctx, buf);
        pack64(buf, dx, n, ctx, drow);
    } else {
        uint32_t buf[kChunk];
        unpack32(srow, sx, n, ctx, buf);
        pack32(buf, dx, n, ctx, drow);
    }
}

GpStatus run(const ConstPixelView& src, const PixelView& dst, bool allow_fast) {
    if (GpStatus s = validate(src, dst); s != Gdiplus::Ok) return s;
    if (src.width == 0 || src.height == 0) return Gdiplus::Ok;
    RowContext ctx;
    if (!detail::make_context(src, dst, &ctx)) return Gdiplus::InvalidParameter;
    if (plain_copy(src, dst, ctx)) return Gdiplus::Ok;
    detail::FastRow fast = allow_fast ? detail::find_fast_path(ctx) : nullptr;
    for (int32_t y = 0; y < src.height; ++y) {
        const BYTE* srow = src.row(y);
        BYTE* drow = dst.row(y);
        if (fast) {
            fast(srow, src.x0, drow, dst.x0, src.width, ctx);
            continue;
        }
        for (int32_t x = 0; x < src.width; x += kChunk) {
            int32_t n = std::min(kChunk, src.width - x);
            generic_run(srow, src.x0 + x, drow, dst.x0 + x, n, ctx);
        }
    }
    return Gdiplus::Ok;
}

}  // namespace

namespace detail {

bool make_context(const ConstPixelView& src, const PixelView& dst, RowContext* ctx) {
    ctx->src_format = src.format;
    ctx->dst_format = dst.format;
    ctx->src_bits = pixel_format_bits(src.format);
    ctx->dst_bits = pixel_format_bits(dst.format);
    ctx->src_lut.fill(0xFF000000u);
    std::copy_n(src.palette.begin(), std::min<size_t>(src.palette.size(), 256),
                ctx->src_lut.begin());
    if (is_indexed(dst.format)) {
        if (dst.palette.empty()) return false;
        ctx->dst_index_limit = 1u << ctx->dst_bits;
        ctx->matcher.emplace(dst.palette, ctx->dst_index_limit);
        ctx->copy_indices =
            is_indexed(src.format) && std::equal(src.palette.begin(), src.palette.end(),
                                                     dst.palette.begin(), dst.palette.end());
    }
    return true;
}

}  // namespace detail

std::optional<int32_t> row_bytes(int32_t width, PixelFormat format) {
    const PixelFormatInfo* info = find_pixel_format(format);
    if (!info || width < 0) return std::nullopt;
    int64_t bytes = (int64_t(width) * info->bits + 7) / 8;
    if (bytes > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return int32_t(bytes);
}

GpStatus convert_pixels(const ConstPixelView& src, const PixelView& dst) {
    return run(src, dst, true);
}

GpStatus convert_pixels_generic(const ConstPixelView& src, const PixelView& dst) {
    return run(src, dst, false);
}

GpStatus read_pixel(const ConstPixelView& view, int32_t x, int32_t y, ARGB* out) {
    if (x < 0 || y < 0 || x >= view.width || y >= view.height) return Gdiplus::InvalidParameter;
    ConstPixelView one = view;
    one.scan0 = view.row(y);
    one.x0 = view.x0 + x;
    one.width = one.height = 1;
    PixelView target{reinterpret_cast<BYTE*>(out), 1, 1, 4, PixelFormat32bppARGB, {}, 0};
    return convert_pixels(one, target);
}

GpStatus write_pixel(const PixelView& view, int32_t x, int32_t y, ARGB color) {
    if (x < 0 || y < 0 || x >= view.width || y >= view.height) return Gdiplus::InvalidParameter;
    PixelView one = view;
    one.scan0 = view.row(y);
    one.x0 = view.x0 + x;
    one.width = one.height = 1;
    ConstPixelView source{
        reinterpret_cast<const BYTE*>(&color), 1, 1, 4, PixelFormat32bppARGB, {}, 0};
    return convert_pixels(source, one);
}

}  // namespace gdip
