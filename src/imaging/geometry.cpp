#include "imaging/geometry.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include <emmintrin.h>

#include "imaging/image_props.h"
#include "platform/gdiplus/pixel_format.h"

namespace modGdiplus {
namespace {

EngineStatus size_of(GpImage image, int32_t& w, int32_t& h) {
    EngineStatus s = GetImageWidth(image, w);
    return s == Gdiplus::Ok ? GetImageHeight(image, h) : s;
}

// The whole image as 32-bit pixels in `format` (rows of 4 × width bytes).
EngineStatus read_all(GpImage image, int32_t w, int32_t h, PixelFormat format,
                      std::vector<uint32_t>& px) {
    px.resize(size_t(w) * size_t(h));
    BitmapData data;
    data.Width = UINT(w);
    data.Height = UINT(h);
    data.Stride = 4 * w;
    data.PixelFormat = format;
    data.Scan0 = px.data();
    EngineStatus s = LockImageBits(image, GpRect{0, 0, w, h}, kLockReadIntoBuffer, format, data);
    return s == Gdiplus::Ok ? UnlockImageBits(image, data) : s;
}

// Fills a new image of `format` through a write lock in its own format.
template <class Fill>
EngineStatus make_indexed(int32_t w, int32_t h, PixelFormat format,
                          const std::vector<ARGB>* palette, UINT flags, GpImage& result,
                          Fill&& fill) {
    result = 0;
    GpImage made = 0;
    if (EngineStatus s = CreateBlankImage(w, h, format, made); s != Gdiplus::Ok) return s;
    EngineStatus s = Gdiplus::Ok;
    if (palette) {
        std::vector<BYTE> buffer(8 + 4 * palette->size());
        ColorPalette head{flags, UINT(palette->size()), {0}};
        std::memcpy(buffer.data(), &head, 8);
        std::memcpy(buffer.data() + 8, palette->data(), 4 * palette->size());
        s = SetPalette(made, buffer);
    }
    BitmapData data;
    if (s == Gdiplus::Ok) s = LockImageBits(made, GpRect{0, 0, w, h}, kLockWrite, format, data);
    if (s == Gdiplus::Ok) {
        for (int32_t y = 0; y < h; ++y)
            fill(y, static_cast<BYTE*>(data.Scan0) + ptrdiff_t(y) * data.Stride);
        s = UnlockImageBits(made, data);
    }
    if (s != Gdiplus::Ok) {
        DisposeImage(made);
        return s;
    }
    result = made;
    return Gdiplus::Ok;
}

// Reads the source's rows in its own format when that gives the same bytes as the 32-bit
// read the conversion asks for, else through that read.
struct SourceRows {
    std::vector<uint32_t> converted;
    BitmapData data;
    int bytes = 4;
    bool direct = false;
    bool alpha = true;  // the fourth byte is the pixel's alpha
    const BYTE* row(int32_t y) const {
        return direct ? static_cast<const BYTE*>(data.Scan0) + ptrdiff_t(y) * data.Stride
                      : reinterpret_cast<const BYTE*>(converted.data() + size_t(y) * data.Width);
    }
};

EngineStatus open_rows(GpImage image, int32_t w, int32_t h, PixelFormat want, SourceRows& rows) {
    PixelFormat own = 0;
    GetPixelFormatValue(image, own);
    bool same = own == PixelFormat24bppRGB || own == PixelFormat32bppRGB ||
                (own == PixelFormat32bppARGB && want == PixelFormat32bppARGB) ||
                (own == PixelFormat32bppARGB && want == PixelFormat32bppRGB);
    if (!same) {
        rows.data.Width = UINT(w);
        return read_all(image, w, h, want, rows.converted);
    }
    rows.direct = true;
    rows.alpha = own == PixelFormat32bppARGB;
    rows.bytes = own == PixelFormat24bppRGB ? 3 : 4;
    return LockImageBits(image, GpRect{0, 0, w, h}, kLockRead, own, rows.data);
}

void close_rows(GpImage image, SourceRows& rows) {
    if (rows.direct) UnlockImageBits(image, rows.data);
}

// One row of the 1-bit threshold, eight pixels to a byte, most significant bit first.
// A mask of the bytes above 125 among 16.
inline unsigned above_125(const BYTE* p) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    v = _mm_xor_si128(v, _mm_set1_epi8(char(0x80)));  // unsigned order as signed
    return unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(125 ^ 0x80)))));
}

// For 12 bits of per-byte results of 4 three-byte pixels (the pixel's bit at 0, 3, 6, 9): the
// 4 pixels' bits, the first most significant.
const std::array<BYTE, 4096>& nibble_of_triples() {
    static const std::array<BYTE, 4096> t = [] {
        std::array<BYTE, 4096> a{};
        for (unsigned i = 0; i < 4096; ++i)
            for (unsigned k = 0; k < 4; ++k) a[i] |= BYTE(((i >> (3 * k)) & 1) << (3 - k));
        return a;
    }();
    return t;
}

// Sixteen pixels at a time of the rule "blue, green and red all above 125"; returns how many
// pixels it did (a multiple of 8).
template <int B>
int32_t threshold_fast(const BYTE* p, int32_t w, BYTE* out) {
    int32_t x = 0;
    if constexpr (B == 3) {
        const auto& nib = nibble_of_triples();
        for (; x + 16 <= w; x += 16, p += 48, out += 2) {
            uint64_t m = uint64_t(above_125(p)) | uint64_t(above_125(p + 16)) << 16 |
                         uint64_t(above_125(p + 32)) << 32;
            m &= (m >> 1) & (m >> 2);  // bit 3k: all three bytes of pixel k
            out[0] = BYTE(nib[m & 0xFFF] << 4 | nib[(m >> 12) & 0xFFF]);
            out[1] = BYTE(nib[(m >> 24) & 0xFFF] << 4 | nib[(m >> 36) & 0xFFF]);
        }
    } else {
        for (; x + 8 <= w; x += 8, p += 32, ++out) {
            unsigned m = above_125(p) | above_125(p + 16) << 16;
            m &= (m >> 1) & (m >> 2);  // bit 4k: blue, green and red of pixel k
            unsigned v = 0;
            for (int k = 0; k < 8; ++k) v = v << 1 | ((m >> (4 * k)) & 1);
            *out = BYTE(v);
        }
    }
    return x;
}

template <int B>
void threshold_row(const BYTE* p, int32_t w, bool opaque_white_only, bool check_alpha, BYTE* out) {
    auto white = [&](const BYTE* q) -> unsigned {
        if (opaque_white_only) return (q[0] & q[1] & q[2] & (check_alpha ? q[B - 1] : 255)) == 255;
        return unsigned(q[0] > 125) & unsigned(q[1] > 125) & unsigned(q[2] > 125);
    };
    int32_t x = opaque_white_only ? 0 : threshold_fast<B>(p, w, out);
    p += ptrdiff_t(x) * B;
    for (; x + 8 <= w; x += 8, p += 8 * B) {
        unsigned v = 0;
        for (int k = 0; k < 8; ++k) v = v << 1 | white(p + k * B);
        out[x >> 3] = BYTE(v);
    }
    if (x < w) {
        unsigned v = 0;
        for (int k = 0; x + k < w; ++k) v |= white(p + k * B) << (7 - k);
        out[x >> 3] = BYTE(v);
    }
}

}  // namespace

EngineStatus RotateFlip(GpImage image, int32_t type) {
    if (image == 0) return Gdiplus::InvalidParameter;
    if (type < 0 || type > 7) return Gdiplus::InvalidParameter;
    if (OwnsDibMemory(image) && type != 0 && type != 4 && type != 6) {
        PixelFormat format = 0;
        GetPixelFormatValue(image, format);
        // As the platform needs for a 1-bit DIB before a quarter turn; the pixels stay.
        if (format == PixelFormat1bppIndexed)
            for (int i = 0; i < 2; ++i)
                if (EngineStatus s = GdipImageRotateFlip(image, RotateNoneFlipX); s != Gdiplus::Ok)
                    return s;
    }
    // A half turn is two quarter turns; done in one pass, the pixels and resolutions are the
    // same.
    return GdipImageRotateFlip(image, RotateFlipType(type));
}

EngineStatus FindUniformEdges(GpImage image, double confidence, ARGB colour, int32_t skip,
                              int32_t tolerance, UniformEdges& edges) {
    edges = {};
    int32_t w = 0, h = 0;
    if (EngineStatus s = size_of(image, w, h); s != Gdiplus::Ok) return s;
    // The rows in the image's own format when that holds the same red, green and blue.
    SourceRows rows;
    try {
        if (EngineStatus s = open_rows(image, w, h, PixelFormat32bppARGB, rows); s != Gdiplus::Ok)
            return s;
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    struct Closer {
        GpImage image;
        SourceRows& rows;
        ~Closer() { close_rows(image, rows); }
    } closer{image, rows};
    int rr = int((colour >> 16) & 255), rg = int((colour >> 8) & 255), rb = int(colour & 255);
    const int b = rows.bytes;
    auto matches = [&](const BYTE* p) {
        int db = std::abs(int(p[0]) - rb), dg = std::abs(int(p[1]) - rg),
            dr = std::abs(int(p[2]) - rr);
        return tolerance <= 0 ? (dr | dg | db) == 0 : dg + db + dr <= tolerance;
    };
    // Kind 1 rows from the top, 3 from the bottom, 2 columns from the left, 4 from the right;
    // n is 1-based from that edge.
    // Columns are counted 64 at a time in one sweep down the rows, which reads each row's
    // bytes once instead of once per column.
    std::vector<int32_t> columns(size_t(w), -1);
    auto column_count = [&](int32_t c) {
        if (columns[size_t(c)] < 0) {
            int32_t c0 = c & ~63, c1 = std::min(w, c0 + 64);
            std::fill(columns.begin() + c0, columns.begin() + c1, 0);
            for (int32_t i = 0; i < h; ++i) {
                const BYTE* p = rows.row(i) + ptrdiff_t(c0) * b;
                for (int32_t j = c0; j < c1; ++j, p += b) columns[size_t(j)] += matches(p);
            }
        }
        return columns[size_t(c)];
    };
    auto measure = [&](int kind, int32_t n) {
        bool row = kind == 1 || kind == 3;
        int32_t line = kind == 1 || kind == 2 ? n - 1 : (row ? h : w) - n;
        int32_t length = row ? w : h, count = 0;
        if (row) {
            const BYTE* p = rows.row(line);
            for (int32_t i = 0; i < length; ++i, p += b) count += matches(p);
        } else {
            count = column_count(line);
        }
        return double(count) / length * 100;
    };
    // A negative skip counts as none; a skip past the image finds nothing.
    int32_t start = skip < 0 ? 0 : skip;
    auto scan = [&](int kind, int32_t limit, int32_t& out) {
        int32_t i = start;
        bool found = false;
        while (i + 1 < limit && measure(kind, i + 1) >= confidence) {
            ++i;
            found = true;
        }
        out = found ? i : 0;
        edges.found = edges.found || found;
    };
    scan(1, h, edges.top);
    scan(3, h, edges.bottom);
    scan(2, w, edges.left);
    scan(4, w, edges.right);
    return Gdiplus::Ok;
}

EngineStatus ConvertTo1BppImage(GpImage image, bool opaque_white_only, GpImage& result) {
    result = 0;
    int32_t w = 0, h = 0;
    if (EngineStatus s = size_of(image, w, h); s != Gdiplus::Ok) return s;
    SourceRows src;
    try {
        PixelFormat want = opaque_white_only ? PixelFormat32bppARGB : PixelFormat32bppRGB;
        if (EngineStatus s = open_rows(image, w, h, want, src); s != Gdiplus::Ok) return s;
        int b = src.bytes;
        bool check_alpha = opaque_white_only && b == 4 && src.alpha;
        EngineStatus s = make_indexed(
            w, h, PixelFormat1bppIndexed, nullptr, 0, result, [&](int32_t y, BYTE* out) {
                if (b == 3)
                    threshold_row<3>(src.row(y), w, opaque_white_only, check_alpha, out);
                else
                    threshold_row<4>(src.row(y), w, opaque_white_only, check_alpha, out);
            });
        close_rows(image, src);
        return s;
    } catch (const std::bad_alloc&) {
        close_rows(image, src);
        return Gdiplus::OutOfMemory;
    }
}

const std::vector<ARGB>& FixedPalette16() {
    static const std::vector<ARGB> p = {0xFF000000, 0xFF000080, 0xFF008000, 0xFF008080,
                                        0xFF800000, 0xFF800080, 0xFF808000, 0xFF808080,
                                        0xFFC0C0C0, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF,
                                        0xFFFF0000, 0xFFFF00FF, 0xFFFFFF00, 0xFFFFFFFF};
    return p;
}

EngineStatus ConvertTo4BppImage(GpImage image, const std::vector<ARGB>& palette, UINT flags,
                                GpImage& result) {
    result = 0;
    if (image == 0 || palette.empty() || palette.size() > 16) return Gdiplus::InvalidParameter;
    int32_t w = 0, h = 0;
    if (EngineStatus s = size_of(image, w, h); s != Gdiplus::Ok) return s;
    try {
        std::vector<uint32_t> px;
        if (EngineStatus s = read_all(image, w, h, PixelFormat32bppARGB, px); s != Gdiplus::Ok)
            return s;
        // A small cache of answers: scans repeat their colours.
        std::vector<uint32_t> keys(4096, 0xFFFFFFFFu);
        std::vector<uint8_t> values(4096);
        auto nearest = [&](uint32_t c) {
            uint32_t rgb = c & 0xFFFFFF, slot = (rgb * 2654435761u) >> 20;
            if (keys[slot] == rgb) return values[slot];
            int64_t best_d = INT64_MAX;
            uint8_t best = 0;
            for (size_t k = 0; k < palette.size(); ++k) {
                int64_t db = int64_t(palette[k] & 255) - (c & 255),
                        dr = int64_t((palette[k] >> 16) & 255) - ((c >> 16) & 255),
                        dg = int64_t((palette[k] >> 8) & 255) - ((c >> 8) & 255);
                int64_t d = db * db + dr * dr + dg * dg;
                if (d < best_d) {
                    best_d = d;
                    best = uint8_t(k);
                    if (d == 0) break;
                }
            }
            keys[slot] = rgb;
            values[slot] = best;
            return best;
        };
        return make_indexed(
            w, h, PixelFormat4bppIndexed, &palette, flags, result, [&](int32_t y, BYTE* out) {
                const uint32_t* p = px.data() + size_t(y) * w;
                std::memset(out, 0, size_t(w + 1) / 2);
                for (int32_t x = 0; x < w; ++x) {
                    uint8_t k = nearest(p[x]);
                    out[x >> 1] |= (x & 1) ? k : BYTE(k << 4);  // odd 1-based columns high
                }
            });
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
}

EngineStatus MarkPaletteHalftone(GpImage image) {
    if (image == 0) return Gdiplus::InvalidParameter;
    std::vector<BYTE> palette;
    if (EngineStatus s = GetPalette(image, palette); s != Gdiplus::Ok) return s;
    ColorPalette head;
    std::memcpy(&head, palette.data(), 8);
    head.Flags |= PaletteFlagsHalftone;
    std::memcpy(palette.data(), &head, 8);
    int32_t w = 0, h = 0;
    if (EngineStatus s = size_of(image, w, h); s != Gdiplus::Ok) return s;
    PixelFormat format = 0;
    if (EngineStatus s = GetPixelFormatValue(image, format); s != Gdiplus::Ok) return s;
    GpRect all{0, 0, w, h};
    for (UINT mode : {kLockRead, 0u, kLockWrite}) {
        if (mode == 0) {
            if (EngineStatus s = SetPalette(image, palette); s != Gdiplus::Ok) return s;
            continue;
        }
        BitmapData data;
        if (EngineStatus s = LockImageBits(image, all, mode, format, data); s != Gdiplus::Ok)
            return s;
        if (EngineStatus s = UnlockImageBits(image, data); s != Gdiplus::Ok) return s;
    }
    return Gdiplus::Ok;
}

}  // namespace modGdiplus
