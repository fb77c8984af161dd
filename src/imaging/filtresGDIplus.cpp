// The frame every effect shares: the rectangle read as 32-bit ARGB, the kernel, and the
// write-back by pixel format; the palette mode of negative and brightness on indexed images.
// Images of 24bppRGB, 32bppRGB and 32bppARGB are worked on in place in their own format,
// which gives exactly the bytes of the 32-bit round trip without its two conversions.
#include "imaging/filtresGDIplus.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "imaging/filtresGDIplus_p.h"
#include "imaging/image_props.h"
#include "platform/gdiplus/pixel_format.h"

namespace filtresGDIplus {
namespace {

using namespace modGdiplus;
using detail::KernelArgs;
using detail::Pixels;

struct PaletteInfo {
    std::vector<ARGB> entries;
    UINT flags = 0;
    bool grey = false;
};

EngineStatus read_palette(GpImage image, PaletteInfo& out) {
    std::vector<BYTE> buffer;
    if (EngineStatus s = GetPalette(image, buffer); s != Gdiplus::Ok) return s;
    ColorPalette head;
    std::memcpy(&head, buffer.data(), 8);
    out.flags = head.Flags;
    out.entries.resize(head.Count);
    if (head.Count) std::memcpy(out.entries.data(), buffer.data() + 8, 4 * size_t(head.Count));
    out.grey = true;
    for (ARGB c : out.entries)
        if (((c >> 16) & 255) != ((c >> 8) & 255) || ((c >> 8) & 255) != (c & 255))
            out.grey = false;
    return Gdiplus::Ok;
}

EngineStatus lock_and_unlock(GpImage image, const GpRect& r, UINT mode, PixelFormat format) {
    BitmapData data;
    if (EngineStatus s = LockImageBits(image, r, mode, format, data); s != Gdiplus::Ok) return s;
    return UnlockImageBits(image, data);
}

// Negative and brightness on an indexed image: the palette goes through the tone table.
EngineStatus palette_mode(int32_t effect, GpImage image, int64_t p, PixelFormat format,
                          PaletteInfo& pal) {
    std::array<uint8_t, 256> t;
    if (!detail::tone_table(effect, p, t)) return Gdiplus::GenericError;
    for (ARGB& c : pal.entries)
        c = (c & 0xFF000000u) | ARGB(t[(c >> 16) & 255]) << 16 | ARGB(t[(c >> 8) & 255]) << 8 |
            t[c & 255];
    std::vector<BYTE> buffer(8 + 4 * pal.entries.size());
    ColorPalette head{pal.flags, UINT(pal.entries.size()), {0}};
    std::memcpy(buffer.data(), &head, 8);
    if (!pal.entries.empty())
        std::memcpy(buffer.data() + 8, pal.entries.data(), 4 * pal.entries.size());
    if (EngineStatus s = SetPalette(image, buffer); s != Gdiplus::Ok) return s;
    int32_t w = 0, h = 0;
    GetImageWidth(image, w);
    GetImageHeight(image, h);
    return lock_and_unlock(image, GpRect{0, 0, w, h}, kLockWrite, format);
}

// A 256-entry grey ramp in order: the index of a grey is its level.
bool identity_ramp(const PaletteInfo& p) {
    if (p.entries.size() != 256) return false;
    for (size_t i = 0; i < 256; ++i)
        if ((p.entries[i] & 0xFFFFFF) != (ARGB(i) << 16 | ARGB(i) << 8 | ARGB(i))) return false;
    return true;
}

uint8_t nearest_entry(const std::vector<ARGB>& pal, const uint8_t* px) {
    size_t best = 0;
    int64_t best_d = std::numeric_limits<int64_t>::max();
    for (size_t k = 0; k < pal.size(); ++k) {
        int64_t dr = int64_t((pal[k] >> 16) & 255) - px[2],
                dg = int64_t((pal[k] >> 8) & 255) - px[1], db = int64_t(pal[k] & 255) - px[0];
        int64_t d = dr * dr + dg * dg + db * db;
        if (d < best_d) {
            best_d = d;
            best = k;
            if (d == 0) break;
        }
    }
    return uint8_t(best);
}

EngineStatus write_indices(GpImage image, const GpRect& r, PixelFormat format,
                           std::vector<BYTE>& rows, int32_t stride) {
    BitmapData data;
    data.Width = UINT(r.Width);
    data.Height = UINT(r.Height);
    data.Stride = stride;
    data.PixelFormat = format;
    data.Scan0 = rows.data();
    if (EngineStatus s = LockImageBits(image, r, kLockWriteFromBuffer, format, data);
        s != Gdiplus::Ok)
        return s;
    return UnlockImageBits(image, data);
}

uint32_t brightness(ARGB c) {
    return ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255);
}

// The buffer back into the image, by the image's pixel format.
EngineStatus write_back(GpImage image, const GpRect& r, PixelFormat format, const PaletteInfo& pal,
                        std::vector<uint8_t>& argb) {
    size_t n = size_t(r.Width) * size_t(r.Height);
    if (format == PixelFormat1bppIndexed) {
        // A bit is set where blue is 255: the white entry, which is entry 1 of a normal
        // black-and-white palette; a palette with white first gets the opposite bits.
        bool white_first =
            pal.entries.size() == 2 && brightness(pal.entries[0]) > brightness(pal.entries[1]);
        int32_t stride = (r.Width + 7) / 8;
        std::vector<BYTE> rows(size_t(stride) * size_t(r.Height), 0);
        for (int32_t y = 0; y < r.Height; ++y)
            for (int32_t x = 0; x < r.Width; ++x) {
                bool bit = (argb[(size_t(y) * r.Width + x) * 4] == 255) != white_first;
                if (bit) rows[size_t(y) * stride + size_t(x >> 3)] |= BYTE(0x80 >> (x & 7));
            }
        return write_indices(image, r, format, rows, stride);
    }
    bool nearest = format == PixelFormat8bppIndexed && GdiplusBelow6() && !pal.entries.empty();
    if (format == PixelFormat8bppIndexed && pal.grey && identity_ramp(pal)) {
        std::vector<BYTE> rows(n);
        for (size_t i = 0; i < n; ++i) rows[i] = argb[4 * i];
        return write_indices(image, r, format, rows, r.Width);
    }
    if (nearest || (format == PixelFormat8bppIndexed && pal.grey && !pal.entries.empty())) {
        std::vector<BYTE> rows(n);
        for (size_t i = 0; i < n; ++i) rows[i] = nearest_entry(pal.entries, &argb[4 * i]);
        return write_indices(image, r, format, rows, r.Width);
    }
    BitmapData data;
    data.Width = UINT(r.Width);
    data.Height = UINT(r.Height);
    data.Stride = 4 * r.Width;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = argb.data();
    if (EngineStatus s = LockImageBits(image, r, kLockWriteFromBuffer, PixelFormat32bppARGB, data);
        s != Gdiplus::Ok)
        return s;
    return UnlockImageBits(image, data);
}

bool in_place_format(PixelFormat f) {
    return f == PixelFormat24bppRGB || f == PixelFormat32bppRGB || f == PixelFormat32bppARGB;
}

EngineStatus in_place(int32_t effect, GpImage image, const GpRect& r, PixelFormat format,
                      const KernelArgs& args, bool* blank) {
    bool write = effect != EffectBlankTest;
    BitmapData data;
    UINT mode = write ? (kLockRead | kLockWrite) : kLockRead;
    if (EngineStatus s = LockImageBits(image, r, mode, format, data); s != Gdiplus::Ok) return s;
    Pixels px{static_cast<uint8_t*>(data.Scan0), r.Width, r.Height, data.Stride,
              format == PixelFormat24bppRGB ? 3 : 4};
    EngineStatus s = detail::run_kernel(effect, px, args, blank);
    // Read as ARGB, a 32bppRGB pixel is opaque, and written back it stays so.
    if (s == 0 && write && format == PixelFormat32bppRGB)
        for (int32_t y = 0; y < r.Height; ++y)
            for (int32_t x = 0; x < r.Width; ++x) px.row(y)[4 * x + 3] = 255;
    EngineStatus u = UnlockImageBits(image, data);
    return s != 0 ? s : u;
}

EngineStatus buffered(int32_t effect, GpImage image, const GpRect& r, PixelFormat format,
                      const PaletteInfo& pal, const KernelArgs& args, bool* blank) {
    std::vector<uint8_t> argb(size_t(r.Width) * size_t(r.Height) * 4);
    BitmapData data;
    data.Width = UINT(r.Width);
    data.Height = UINT(r.Height);
    data.Stride = 4 * r.Width;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = argb.data();
    if (EngineStatus s = LockImageBits(image, r, kLockReadIntoBuffer, PixelFormat32bppARGB, data);
        s != Gdiplus::Ok)
        return s;
    Pixels px{argb.data(), r.Width, r.Height, 4 * ptrdiff_t(r.Width), 4};
    EngineStatus s = detail::run_kernel(effect, px, args, blank);
    EngineStatus u = UnlockImageBits(image, data);
    if (s != 0) return s;
    if (u != Gdiplus::Ok) return u;
    if (effect == EffectBlankTest) return Gdiplus::Ok;
    return write_back(image, r, format, pal, argb);
}

EngineStatus apply(int32_t effect, GpImage image, double parameter, const FilterRect& rect, float h,
                   float s, float l, double extra1) {
    if (rect.width <= 0 || rect.height <= 0) return Gdiplus::Ok;
    double rounded = std::nearbyint(parameter);
    if (!(std::abs(rounded) <= 2147483647.0)) return Gdiplus::GenericError;  // overflow
    KernelArgs args{int64_t(rounded), h, s, l, extra1};
    PixelFormat format = 0;
    if (EngineStatus st = GetPixelFormatValue(image, format); st != Gdiplus::Ok) return st;
    GpRect r{rect.left, rect.top, rect.width, rect.height};
    PaletteInfo pal;
    if (gdip::is_indexed(format)) {
        if (EngineStatus st = read_palette(image, pal); st != Gdiplus::Ok) return st;
        if (!GdiplusBelow6())
            if (EngineStatus st = lock_and_unlock(image, r, kLockRead, format); st != Gdiplus::Ok)
                return st;
        if (effect == EffectNegative || effect == EffectBrightness)
            return palette_mode(effect, image, args.parameter, format, pal);
    }
    bool blank = false;
    EngineStatus st = in_place_format(format) && !detail::can_fail_midway(effect, args.parameter)
                          ? in_place(effect, image, r, format, args, &blank)
                          : buffered(effect, image, r, format, pal, args, &blank);
    if (effect == EffectBlankTest && st == Gdiplus::Ok) return blank ? 1 : 0;
    return st;
}

}  // namespace

EngineStatus ApplyEffect(int32_t effect, GpImage image, double parameter, const FilterRect& rect,
                         float h, float s, float l, double extra1, double, double) {
    if (image == 0) return Gdiplus::InvalidParameter;
    try {
        return apply(effect, image, parameter, rect, h, s, l, extra1);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    } catch (...) {
        return Gdiplus::GenericError;
    }
}

}  // namespace filtresGDIplus
