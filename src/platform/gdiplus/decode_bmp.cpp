// BMP and DIB reader: core (OS/2 1.x), OS/2 2.x, INFO, V2..V5 headers; 1/2/4/8/16/24/32
// bits; RLE4, RLE8, BI_BITFIELDS, BI_ALPHABITFIELDS, embedded JPEG/PNG; top-down and
// bottom-up. Every offset and size is checked against the input; rows missing at the end of
// the input stay zero.
//
//   file:  'B' 'M' size:u32 reserved:u32 bfOffBits:u32 | DIB header | masks | colours | bits
//   DIB header (INFO): size width height:i32 planes:u16 bits:u16 compression sizeImage
//                      xPelsPerMeter yPelsPerMeter clrUsed clrImportant [masks R G B A ...]
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/byte_reader.h"
#include "platform/gdiplus/codecs_p.h"
#include "platform/win/dib.h"

namespace gdip::codec {
namespace {

using win::DibHeader;
using win::kBiRgb, win::kBiRle8, win::kBiRle4, win::kBiJpeg, win::kBiPng;

// ---- Bit fields ---------------------------------------------------------------------
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;
    uint8_t get(uint32_t px) const {
        if (!mask) return 0;
        uint32_t v = (px & mask) >> shift;
        if (width >= 8) return uint8_t(v >> (width - 8));
        uint32_t max = (1u << width) - 1;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

Channel channel(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    c.shift = std::countr_zero(mask);
    c.width = 32 - std::countl_zero(mask >> c.shift);
    return c;
}

// The pixel format for the depth and masks; `generic` is set when pixels need the
// per-channel path.
PixelFormat bitfield_format(const DibHeader& h, bool* generic) {
    const uint32_t* m = h.masks;
    *generic = false;
    if (h.bits == 16 && m[1] == 0x3E0 && m[0] == 0x7C00 && m[2] == 0x1F) {
        if (m[3] == 0) return PixelFormat16bppRGB555;
        if (m[3] == 0x8000) return PixelFormat16bppARGB1555;
    }
    if (h.bits == 16 && m[0] == 0xF800 && m[1] == 0x7E0 && m[2] == 0x1F && m[3] == 0)
        return PixelFormat16bppRGB565;
    if (h.bits == 32 && m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF) {
        if (m[3] == 0) return PixelFormat32bppRGB;
        if (m[3] == 0xFF000000) return PixelFormat32bppARGB;
    }
    *generic = true;
    return m[3] ? PixelFormat32bppARGB : PixelFormat24bppRGB;
}

// ---- Row decoders -------------------------------------------------------------------
struct Layout {
    PixelFormat format = 0;
    bool generic = false;
    Channel ch[4];
};

void decode_row(const DibHeader& h, const Layout& l, const uint8_t* src, size_t avail, BYTE* dst) {
    const int32_t w = int32_t(h.width);
    if (h.bits == 2) {
        std::vector<uint8_t> tmp((size_t(w) + 3) / 4, 0);
        std::memcpy(tmp.data(), src, std::min(avail, tmp.size()));
        widen_2_to_4(tmp.data(), dst, w);
        return;
    }
    if (!l.generic) {
        size_t bytes = (size_t(w) * h.bits + 7) / 8;
        std::memcpy(dst, src, std::min(avail, bytes));
        if (l.format == PixelFormat32bppRGB)
            for (int32_t x = 0; x < w; ++x) dst[4 * x + 3] = 0xFF;
        return;
    }
    const int bpp = h.bits / 8;
    const int out = l.format == PixelFormat32bppARGB ? 4 : 3;
    for (int32_t x = 0; x < w && size_t(x + 1) * bpp <= avail; ++x) {
        const uint8_t* q = src + size_t(bpp) * size_t(x);
        uint32_t px = bpp == 2 ? uint32_t(q[0] | q[1] << 8)
                               : uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16 |
                                     uint32_t(q[3]) << 24;
        BYTE* d = dst + out * x;
        d[0] = l.ch[2].get(px);
        d[1] = l.ch[1].get(px);
        d[2] = l.ch[0].get(px);
        if (out == 4) d[3] = l.ch[3].get(px);
    }
}

void decode_uncompressed(const DibHeader& h, const Layout& l, const uint8_t* bits, size_t avail,
                         Frame& f) {
    const uint64_t src_stride = h.stride;
    for (int64_t r = 0; r < h.height; ++r) {
        uint64_t off = uint64_t(r) * src_stride;
        if (off >= avail) break;
        int32_t y = int32_t(h.top_down ? r : h.height - 1 - r);
        size_t row_avail = size_t(std::min<uint64_t>(src_stride, avail - off));
        decode_row(h, l, bits + off, row_avail, f.row(y));
    }
}

// RLE8 / RLE4 into an indexed frame. Skipped pixels (delta, end of line) stay index 0.
void decode_rle(const DibHeader& h, const uint8_t* s, size_t n, Frame& f) {
    const bool four = h.compression == kBiRle4;
    const int64_t w = h.width, rows = h.height;
    int64_t x = 0, r = 0;  // r counts rows from the bottom
    auto put = [&](int v) {
        if (x < w && r < rows) {
            BYTE* row = f.row(int32_t(rows - 1 - r));
            if (four)
                row[x >> 1] = uint8_t(x & 1 ? (row[x >> 1] & 0xF0) | (v & 0xF)
                                            : (row[x >> 1] & 0x0F) | (v << 4));
            else
                row[x] = uint8_t(v);
        }
        ++x;
    };
    size_t i = 0;
    while (i + 1 < n && r < rows) {
        int count = s[i], value = s[i + 1];
        i += 2;
        if (count > 0) {  // encoded run
            for (int k = 0; k < count && x < w; ++k)
                put(four ? (k & 1 ? value & 0xF : value >> 4) : value);
            if (x > w) x = w;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0, ++r;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            if (i + 1 >= n) break;
            x += s[i], r += s[i + 1];
            i += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            size_t bytes = four ? (size_t(value) + 1) / 2 : size_t(value);
            for (int k = 0; k < value; ++k) {
                size_t at = i + (four ? size_t(k) / 2 : size_t(k));
                if (at >= n) break;
                put(four ? (k & 1 ? s[at] & 0xF : s[at] >> 4) : s[at]);
            }
            i += (bytes + 1) & ~size_t(1);
        }
        if (x > w) x = w;
    }
}

GpStatus read_palette(const DibHeader& h, const uint8_t* p, size_t n, size_t pixels_at,
                      std::vector<ARGB>* out) {
    if (h.bits > 8 || h.compression == kBiJpeg || h.compression == kBiPng) return Gdiplus::Ok;
    size_t count = h.table_entries;
    // A pixel offset inside the table says the table is shorter than the header claims.
    if (pixels_at > h.table_offset && pixels_at < h.table_offset + count * h.entry_size)
        count = (pixels_at - h.table_offset) / h.entry_size;
    if (h.table_offset + count * h.entry_size > n) return Gdiplus::GenericError;
    out->resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = p + h.table_offset + i * h.entry_size;
        (*out)[i] = argb(255, e[2], e[1], e[0]);
    }
    return Gdiplus::Ok;
}

Layout layout_for(const DibHeader& h, bool icon_alpha) {
    Layout l;
    if (icon_alpha && h.bits == 32 && h.compression == kBiRgb) {
        l.format = PixelFormat32bppARGB;
        return l;
    }
    switch (h.bits) {
        case 1:
            l.format = PixelFormat1bppIndexed;
            break;
        case 2:
        case 4:
            l.format = PixelFormat4bppIndexed;
            break;
        case 8:
            l.format = PixelFormat8bppIndexed;
            break;
        case 24:
            l.format = PixelFormat24bppRGB;
            break;
        default:
            l.format = bitfield_format(h, &l.generic);
            break;
    }
    for (int i = 0; i < 4; ++i) l.ch[i] = channel(h.masks[i]);
    return l;
}

// An embedded JPEG or PNG stream: decoded by that decoder, its first frame taken.
GpStatus decode_embedded(const DibHeader& h, const uint8_t* bits, size_t avail, Frame* out) {
    Image inner;
    GpStatus st =
        h.compression == kBiJpeg ? decode_jpeg(bits, avail, inner) : decode_png(bits, avail, inner);
    if (st != Gdiplus::Ok) return st;
    if (inner.frames.empty()) return Gdiplus::GenericError;
    *out = std::move(inner.frames.front());
    return Gdiplus::Ok;
}

// Decodes the DIB at `p` (n bytes to the end of the input); pixel data at `pixels_at` from
// the DIB start, or right after the colour table when 0.
GpStatus decode_dib_at(const uint8_t* p, size_t n, size_t pixels_at, const DibOptions& opt,
                       Frame* out, DibHeader* hdr_out) {
    DibHeader h;
    if (!win::ParseDibHeader(p, n, &h)) return Gdiplus::GenericError;
    if (opt.rows > 0) {
        if (h.compressed()) return Gdiplus::GenericError;
        h.height = opt.rows, h.top_down = false;
    }
    // Offsets into the header are written by careless writers: take the computed one.
    if (pixels_at < h.table_offset) pixels_at = 0;
    std::vector<ARGB> palette;
    if (GpStatus st = read_palette(h, p, n, pixels_at, &palette); st != Gdiplus::Ok) return st;
    if (pixels_at == 0) pixels_at = h.table_offset + palette.size() * h.entry_size;
    const uint8_t* bits = p + std::min(pixels_at, n);
    const size_t avail = pixels_at < n ? n - pixels_at : 0;
    if (hdr_out) *hdr_out = h;
    if (h.compression == kBiJpeg || h.compression == kBiPng)
        return decode_embedded(h, bits, avail, out);

    Layout l = layout_for(h, opt.icon_alpha);
    bool rle = h.compression == kBiRle4 || h.compression == kBiRle8;
    FrameBudget budget(n, rle ? Expansion::Rle : Expansion::Raw);
    if (GpStatus st = budget.new_frame(h.width, h.height, l.format, out); st != Gdiplus::Ok)
        return st;
    if (is_indexed(l.format)) set_palette(*out, std::move(palette));
    if (rle)
        decode_rle(h, bits, avail, *out);
    else
        decode_uncompressed(h, l, bits, avail, *out);
    if (opt.bits_end) {
        *opt.bits_end = size_t(std::min<uint64_t>(pixels_at + uint64_t(h.stride) * uint64_t(h.height), n));
    }
    return Gdiplus::Ok;
}

}  // namespace

bool sniff_bmp(const uint8_t* p, size_t n) {
    return n >= 2 && p[0] == 'B' && p[1] == 'M';
}

GpStatus decode_dib(const uint8_t* p, size_t n, const DibOptions& options, Frame* out) {
    return decode_dib_at(p, n, 0, options, out, nullptr);
}

GpStatus decode_bmp(const uint8_t* p, size_t n, Image& image) {
    if (n < 14 + 12) return Gdiplus::GenericError;
    platform::ByteReader file(p, n);
    file.skip(10);
    uint32_t off_bits = file.u32le();
    size_t pixels_at = off_bits >= 14 ? off_bits - 14 : 0;
    Frame frame;
    DibHeader h;
    GpStatus st = decode_dib_at(p + 14, n - 14, pixels_at, DibOptions{}, &frame, &h);
    if (st != Gdiplus::Ok) return st;
    float dpi_x = frame.dpi_x, dpi_y = frame.dpi_y;  // an embedded stream's own
    image.frames.push_back(std::move(frame));
    if (h.ppm_x > 0 && h.ppm_y > 0)
        set_resolution(image, h.ppm_x * 0.0254, h.ppm_y * 0.0254);
    else if (dpi_x != 96 || dpi_y != 96)
        set_resolution(image, dpi_x, dpi_y);
    return Gdiplus::Ok;
}

}  // namespace gdip::codec
