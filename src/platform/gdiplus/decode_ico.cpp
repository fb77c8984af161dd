// ICO reader: the directory, then the largest (then deepest) entry, whose payload is a PNG
// stream or a DIB of twice the icon's height (colour bitmap, then the 1-bit AND mask). The
// result is 32bppARGB: a PNG's own alpha; a 32-bit DIB's alpha bytes when any is non-zero;
// otherwise the AND mask (1 = transparent).
#include <cstring>

#include "platform/byte_reader.h"
#include "platform/gdiplus/codecs_p.h"
#include "platform/gdiplus/pixels_p.h"
#include "platform/win/dib.h"

namespace gdip::codec {
namespace {

struct Entry {
    size_t offset = 0, size = 0;
    int64_t area = 0;
    int bits = 0;
    bool png = false;
};

// Size and depth from the payload itself (directory entries are often wrong).
bool inspect(const uint8_t* p, Entry* e) {
    const uint8_t* q = p + e->offset;
    platform::ByteReader r(q, e->size);
    if (e->size >= 33 && sniff_png(q, e->size)) {
        e->png = true;
        r.seek(16);
        const uint32_t w = r.u32be(), h = r.u32be();
        const uint8_t depth = r.u8(), type = r.u8();
        if (w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;  // not a valid PNG size
        e->area = int64_t(w) * int64_t(h);
        static const int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
        e->bits = depth * (type < 7 ? kChannels[type] : 1);
        return r.ok();
    }
    uint32_t header = r.u32le();
    if (header == 12) {
        int64_t w = r.u16le(), h = r.u16le() / 2;
        r.skip(2);
        e->area = w * h;
        e->bits = r.u16le();
    } else if (header >= 40) {
        int64_t w = r.i32le(), h = r.i32le() / 2;
        r.skip(2);
        e->area = w * h;
        e->bits = r.u16le();
    } else {
        return false;
    }
    return r.ok() && e->area > 0;
}

// Rows of the colour bitmap: the header's height covers the colour bitmap and the mask.
int32_t icon_rows(const uint8_t* q, size_t n) {
    platform::ByteReader r(q, n);
    uint32_t header = r.u32le();
    if (header == 12) {
        r.skip(2);
        return r.u16le() / 2;
    }
    r.skip(4);
    return r.i32le() / 2;
}

// Any decoded frame to 32bppARGB (the formats the PNG and DIB readers produce).
GpStatus to_argb(Frame& src, FrameBudget& budget, Frame* out) {
    if (src.format == PixelFormat32bppARGB) {
        *out = std::move(src);
        return Gdiplus::Ok;
    }
    size_t bytes = frame_bytes(src.width, src.height, PixelFormat32bppARGB);
    if (GpStatus st = bytes ? budget.check(bytes) : Gdiplus::OutOfMemory; st != Gdiplus::Ok)
        return st;
    return convert_frame(src, PixelFormat32bppARGB, out);
}

// Alpha from the AND mask (bottom-up 1-bit rows) unless the colour bitmap carried alpha.
void apply_mask(Frame& f, int bits, const uint8_t* mask, size_t avail) {
    if (bits == 32) {
        for (int32_t y = 0; y < f.height; ++y)
            for (int32_t x = 0; x < f.width; ++x)
                if (f.row(y)[4 * x + 3]) return;
    }
    const size_t stride = *win::DibStride(f.width, 1);
    for (int32_t r = 0; r < f.height; ++r) {
        BYTE* d = f.row(f.height - 1 - r);
        for (int32_t x = 0; x < f.width; ++x) {
            size_t at = size_t(r) * stride + size_t(x >> 3);
            bool transparent = at < avail && ((mask[at] >> (7 - (x & 7))) & 1);
            d[4 * x + 3] = transparent ? 0 : 255;
        }
    }
}

GpStatus decode_entry(const uint8_t* p, size_t n, const Entry& e, Frame* out) {
    const uint8_t* q = p + e.offset;
    FrameBudget budget(n, Expansion::Deflate);
    Frame raw;
    if (e.png) {
        Image inner;
        if (GpStatus st = decode_png(q, e.size, inner); st != Gdiplus::Ok) return st;
        return to_argb(inner.frames.front(), budget, out);
    }
    size_t bits_end = 0;
    DibOptions opt;
    opt.rows = icon_rows(q, e.size);
    opt.icon_alpha = true;
    opt.bits_end = &bits_end;
    if (opt.rows <= 0) return Gdiplus::GenericError;
    if (GpStatus st = decode_dib(q, e.size, opt, &raw); st != Gdiplus::Ok) return st;
    if (GpStatus st = to_argb(raw, budget, out); st != Gdiplus::Ok) return st;
    apply_mask(*out, e.bits, q + bits_end, e.size - bits_end);
    return Gdiplus::Ok;
}

}  // namespace

bool sniff_ico(const uint8_t* p, size_t n) {
    platform::ByteReader r(p, n);
    return r.u16le() == 0 && r.u16le() == 1 && r.u16le() > 0 && r.ok();
}

//   ICONDIR:    reserved:u16 = 0, type:u16 = 1, count:u16
//   ICONDIRENTRY (16 bytes): width:u8 height:u8 colours:u8 reserved:u8 planes:u16 bits:u16
//                            bytes:u32 offset:u32
GpStatus decode_ico(const uint8_t* p, size_t n, Image& image) {
    platform::ByteReader dir(p, n);
    dir.skip(4);
    const size_t count = dir.u16le();
    Entry best;
    bool found = false;
    for (size_t i = 0; i < count; ++i) {
        dir.skip(8);
        const uint32_t bytes = dir.u32le(), offset = dir.u32le();
        if (!dir.ok()) return Gdiplus::GenericError;
        if (offset >= n) continue;
        Entry e;
        e.offset = offset;
        e.size = std::min<size_t>(bytes, n - offset);
        if (!inspect(p, &e)) continue;
        if (!found || e.area > best.area || (e.area == best.area && e.bits > best.bits)) {
            best = e;
            found = true;
        }
    }
    if (!found) return Gdiplus::GenericError;
    Frame f;
    if (GpStatus st = decode_entry(p, n, best, &f); st != Gdiplus::Ok) return st;
    f.dpi_x = f.dpi_y = 96;
    image.frames.push_back(std::move(f));
    return Gdiplus::Ok;
}

}  // namespace gdip::codec
