// GdipImageRotateFlip: the eight quarter-turn and mirror maps as one pointer walk over the
// source, in tiles so that a quarter turn reads and writes whole cache lines.
#include <algorithm>
#include <cstring>

#include "platform/gdiplus/pixels_p.h"

using namespace gdip;

namespace {

// Source pixel of output pixel (x, y): sx = ax x + bx y + cx, sy = ay x + by y + cy.
struct Map {
    int ax, bx, ay, by;
    bool swaps;  // width and height trade places
};

Map map_of(RotateFlipType type) {
    switch (type) {
        case RotateNoneFlipNone:
            return {1, 0, 0, 1, false};
        case Rotate90FlipNone:
            return {0, 1, -1, 0, true};
        case Rotate180FlipNone:
            return {-1, 0, 0, -1, false};
        case Rotate270FlipNone:
            return {0, -1, 1, 0, true};
        case RotateNoneFlipX:
            return {-1, 0, 0, 1, false};
        case Rotate90FlipX:
            return {0, 1, 1, 0, true};
        case Rotate180FlipX:
            return {1, 0, 0, -1, false};
        default:
            return {0, -1, -1, 0, true};  // Rotate270FlipX
    }
}

template <int B>
void walk(const BYTE* src, ptrdiff_t sstride, int32_t sw, int32_t sh, BYTE* dst, ptrdiff_t dstride,
          int32_t dw, int32_t dh, const Map& m) {
    // Origin: the source pixel of output (0, 0).
    int32_t cx = m.ax < 0 || m.bx < 0 ? sw - 1 : 0;
    int32_t cy = m.ay < 0 || m.by < 0 ? sh - 1 : 0;
    const BYTE* origin = src + ptrdiff_t(cy) * sstride + ptrdiff_t(cx) * B;
    ptrdiff_t step_x = m.ay * sstride + m.ax * B, step_y = m.by * sstride + m.bx * B;
    constexpr int32_t kTile = 64;
    for (int32_t ty = 0; ty < dh; ty += kTile) {
        int32_t y1 = std::min(dh, ty + kTile);
        for (int32_t tx = 0; tx < dw; tx += kTile) {
            int32_t x1 = std::min(dw, tx + kTile);
            for (int32_t y = ty; y < y1; ++y) {
                const BYTE* s = origin + y * step_y + tx * step_x;
                BYTE* d = dst + ptrdiff_t(y) * dstride + ptrdiff_t(tx) * B;
                for (int32_t x = tx; x < x1; ++x, s += step_x, d += B) std::memcpy(d, s, B);
            }
        }
    }
}

// The maps that keep rows rows work in place: rows trade places from both ends, and a mirrored
// row goes through one row of scratch.
//
// `dst` := `src` reversed pixel by pixel (the rows do not overlap). Three-byte pixels move as
// 4-byte words, each write's extra byte covered by the next one; the first read and the last
// write take 3 bytes so that nothing past either row is touched.
template <int B>
void reversed_copy(const BYTE* src, BYTE* dst, int32_t w) {
    if constexpr (B == 3) {
        if (w < 2) {
            std::memcpy(dst, src, size_t(w) * 3);
            return;
        }
        uint32_t v = 0;
        std::memcpy(&v, src + ptrdiff_t(w - 1) * 3, 3);
        std::memcpy(dst, &v, 4);
        for (int32_t x = w - 2, k = 1; x >= 1; --x, ++k) {
            std::memcpy(&v, src + ptrdiff_t(x) * 3, 4);
            std::memcpy(dst + ptrdiff_t(k) * 3, &v, 4);
        }
        std::memcpy(&v, src, 4);
        std::memcpy(dst + ptrdiff_t(w - 1) * 3, &v, 3);
    } else {
        const BYTE* s = src + ptrdiff_t(w - 1) * B;
        for (int32_t k = 0; k < w; ++k, s -= B) std::memcpy(dst + ptrdiff_t(k) * B, s, B);
    }
}

template <int B>
void mirror_in_place(BYTE* scan0, ptrdiff_t stride, int32_t w, int32_t h, bool flip_x,
                     bool flip_y) {
    auto row = [&](int32_t y) { return scan0 + ptrdiff_t(y) * stride; };
    size_t n = size_t(w) * B;
    std::vector<BYTE> t(n);
    auto mirror_row = [&](BYTE* r) {
        reversed_copy<B>(r, t.data(), w);
        std::memcpy(r, t.data(), n);
    };
    if (!flip_y) {
        for (int32_t y = 0; y < h; ++y) mirror_row(row(y));
        return;
    }
    for (int32_t y = 0; y < h / 2; ++y) {
        BYTE *a = row(y), *b = row(h - 1 - y);
        if (flip_x) {
            reversed_copy<B>(a, t.data(), w);
            reversed_copy<B>(b, a, w);
        } else {
            std::memcpy(t.data(), a, n);
            std::memcpy(a, b, n);
        }
        std::memcpy(b, t.data(), n);
    }
    if (flip_x && h % 2) mirror_row(row(h / 2));
}

void mirror_any(int bytes, BYTE* scan0, ptrdiff_t stride, int32_t w, int32_t h, bool fx, bool fy) {
    switch (bytes) {
        case 1:
            return mirror_in_place<1>(scan0, stride, w, h, fx, fy);
        case 2:
            return mirror_in_place<2>(scan0, stride, w, h, fx, fy);
        case 3:
            return mirror_in_place<3>(scan0, stride, w, h, fx, fy);
        case 4:
            return mirror_in_place<4>(scan0, stride, w, h, fx, fy);
        case 6:
            return mirror_in_place<6>(scan0, stride, w, h, fx, fy);
        default:
            return mirror_in_place<8>(scan0, stride, w, h, fx, fy);
    }
}

// Three-byte pixels move as one 32-bit load and store wherever the fourth byte is still inside
// the source and the store's fourth byte is overwritten later in the same output row.
template <>
void walk<3>(const BYTE* src, ptrdiff_t sstride, int32_t sw, int32_t sh, BYTE* dst,
             ptrdiff_t dstride, int32_t dw, int32_t dh, const Map& m) {
    int32_t cx = m.ax < 0 || m.bx < 0 ? sw - 1 : 0;
    int32_t cy = m.ay < 0 || m.by < 0 ? sh - 1 : 0;
    const BYTE* origin = src + ptrdiff_t(cy) * sstride + ptrdiff_t(cx) * 3;
    const BYTE* src_end = std::max(src, src + ptrdiff_t(sh - 1) * sstride) + ptrdiff_t(sw) * 3;
    ptrdiff_t step_x = m.ay * sstride + m.ax * 3, step_y = m.by * sstride + m.bx * 3;
    constexpr int32_t kTile = 64;
    for (int32_t ty = 0; ty < dh; ty += kTile) {
        int32_t y1 = std::min(dh, ty + kTile);
        for (int32_t tx = 0; tx < dw; tx += kTile) {
            int32_t x1 = std::min(dw, tx + kTile), wide_end = std::min(x1, dw - 1);
            for (int32_t y = ty; y < y1; ++y) {
                const BYTE* s = origin + y * step_y + tx * step_x;
                BYTE* d = dst + ptrdiff_t(y) * dstride + ptrdiff_t(tx) * 3;
                int32_t x = tx;
                for (; x < wide_end; ++x, s += step_x, d += 3) {
                    if (s + 4 > src_end) {
                        std::memcpy(d, s, 3);
                        continue;
                    }
                    uint32_t v;
                    std::memcpy(&v, s, 4);
                    std::memcpy(d, &v, 4);
                }
                for (; x < x1; ++x, s += step_x, d += 3) std::memcpy(d, s, 3);
            }
        }
    }
}

void walk_any(int bytes, const BYTE* src, ptrdiff_t sstride, int32_t sw, int32_t sh, BYTE* dst,
              ptrdiff_t dstride, int32_t dw, int32_t dh, const Map& m) {
    switch (bytes) {
        case 1:
            return walk<1>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
        case 2:
            return walk<2>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
        case 3:
            return walk<3>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
        case 4:
            return walk<4>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
        case 6:
            return walk<6>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
        default:
            return walk<8>(src, sstride, sw, sh, dst, dstride, dw, dh, m);
    }
}

// Sub-byte formats: indices one per byte, mapped, packed again.
GpStatus rotate_indices(const Frame& f, Frame& out, const Map& m) {
    std::vector<BYTE> in(size_t(f.width) * size_t(f.height)), turned(in.size());
    int bits = pixel_format_bits(f.format);
    for (int32_t y = 0; y < f.height; ++y) {
        const BYTE* row = f.row(y);
        for (int32_t x = 0; x < f.width; ++x)
            in[size_t(y) * f.width + x] = bits == 4
                                              ? BYTE((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4)
                                              : BYTE((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
    walk<1>(in.data(), f.width, f.width, f.height, turned.data(), out.width, out.width, out.height,
            m);
    for (int32_t y = 0; y < out.height; ++y) {
        BYTE* row = out.row(y);
        std::memset(row, 0, size_t(out.stride));
        const BYTE* t = turned.data() + size_t(y) * out.width;
        for (int32_t x = 0; x < out.width; ++x) {
            if (bits == 4)
                row[x >> 1] |= BYTE((x & 1) ? t[x] & 15 : t[x] << 4);
            else if (t[x] & 1)
                row[x >> 3] |= BYTE(0x80 >> (x & 7));
        }
    }
    return Gdiplus::Ok;
}

}  // namespace

GpStatus GdipImageRotateFlip(GpImage image, RotateFlipType type) {
    Image* img = find_bitmap(image);
    if (!img || type < 0 || type > 7) return Gdiplus::InvalidParameter;
    if (is_locked(*img)) return Gdiplus::WrongState;
    if (type == RotateNoneFlipNone) return Gdiplus::Ok;
    Frame& f = img->frame();
    Map m = map_of(type);
    int32_t w = m.swaps ? f.height : f.width, h = m.swaps ? f.width : f.height;
    int bits = pixel_format_bits(f.format);
    if (!m.swaps && bits >= 8)
        return guarded([&] {
            mirror_any(bits / 8, f.scan0, f.stride, f.width, f.height, m.ax < 0, m.by < 0);
            return Gdiplus::Ok;
        });
    return guarded([&] {
        Frame out;
        if (GpStatus s = make_frame(w, h, f.format, &out); s != Gdiplus::Ok) return s;
        if (bits < 8) {
            if (GpStatus s = rotate_indices(f, out, m); s != Gdiplus::Ok) return s;
        } else {
            walk_any(bits / 8, f.scan0, f.stride, f.width, f.height, out.scan0, out.stride, w, h,
                     m);
        }
        out.palette = f.palette;
        out.palette_flags = f.palette_flags;
        out.dpi_x = m.swaps ? f.dpi_y : f.dpi_x;
        out.dpi_y = m.swaps ? f.dpi_x : f.dpi_y;
        out.has_properties = f.has_properties;
        out.properties = std::move(f.properties);
        f = std::move(out);
        return Gdiplus::Ok;
    });
}
