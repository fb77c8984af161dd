// Single pixels, palettes, area clones and export to GDI bitmaps and icons.
#include <algorithm>
#include <cstring>

#include "platform/gdiplus/pixels_p.h"
#include "platform/win/dib.h"

namespace gdip {

std::vector<ARGB> palette_for(const Frame& frame, PixelFormat format) {
    if (!is_indexed(format)) return {};
    size_t limit = size_t(1) << pixel_format_bits(format);
    if (is_indexed(frame.format) && !frame.palette.empty() && frame.palette.size() <= limit)
        return frame.palette;
    return default_palette(format);
}

GpStatus convert_frame(const Frame& src, PixelFormat format, Frame* out,
                       std::vector<ARGB> palette) {
    Frame f;
    if (GpStatus s = make_frame(src.width, src.height, format, &f); s != Gdiplus::Ok) return s;
    f.palette = is_indexed(format)
                    ? (palette.empty() ? palette_for(src, format) : std::move(palette))
                    : std::vector<ARGB>{};
    f.dpi_x = src.dpi_x;
    f.dpi_y = src.dpi_y;
    if (GpStatus s = convert_pixels(frame_view(src), frame_view(f)); s != Gdiplus::Ok) return s;
    *out = std::move(f);
    return Gdiplus::Ok;
}

}  // namespace gdip

using namespace gdip;

namespace {

constexpr UINT kPaletteHeader = 2 * sizeof(UINT);

UINT palette_flags_of(const std::vector<ARGB>& p, UINT stored) {
    UINT flags = stored & ~UINT(PaletteFlagsHasAlpha);
    if (std::any_of(p.begin(), p.end(), [](ARGB c) { return (c >> 24) != 255; }))
        flags |= PaletteFlagsHasAlpha;
    return flags;
}

// Straight ARGB composed over `background` (both straight): what a GDI bitmap shows.
ARGB over(ARGB c, ARGB background) {
    uint32_t a = c >> 24;
    if (a == 255) return c;
    uint32_t ba = background >> 24, out_a = a + (ba * (255 - a) + 127) / 255;
    auto ch = [&](int s) {
        uint32_t v = ((c >> s) & 255) * a + ((background >> s) & 255) * (255 - a);
        return ((v + 127) / 255) << s;
    };
    return out_a << 24 | ch(16) | ch(8) | ch(0);
}

// A 32-bit top-down DIB section of the frame's size; null bits on failure.
HBITMAP make_dib32(int32_t width, int32_t height, BYTE** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP h = CreateDIBSection(0, &info, DIB_RGB_COLORS, &p, 0, 0);
    *bits = static_cast<BYTE*>(p);
    if (h && !p) {
        DeleteObject(h);
        return 0;
    }
    return h;
}

// The frame as straight ARGB32 rows (stride 4 × width) in `out`.
GpStatus frame_argb(const Frame& f, BYTE* out) {
    PixelView dst{out, f.width, f.height, 4 * f.width, PixelFormat32bppARGB, {}, 0};
    return convert_pixels(frame_view(f), dst);
}

}  // namespace

GpStatus GdipBitmapGetPixel(GpBitmap bitmap, INT x, INT y, ARGB* color) {
    Image* img = find_bitmap(bitmap);
    if (!img || !color) return Gdiplus::InvalidParameter;
    const Frame& f = img->frame();
    return read_pixel(frame_view(f), x, y, color);
}

GpStatus GdipBitmapSetPixel(GpBitmap bitmap, INT x, INT y, ARGB color) {
    Image* img = find_bitmap(bitmap);
    // As on the platform, indexed bitmaps take indices through LockBits only.
    if (!img || is_indexed(img->frame().format)) return Gdiplus::InvalidParameter;
    return write_pixel(frame_view(img->frame()), x, y, color);
}

GpStatus GdipGetImagePaletteSize(GpImage image, INT* size) {
    Image* img = find_bitmap(image);
    if (!img || !size) return Gdiplus::InvalidParameter;
    *size = INT(kPaletteHeader + 4 * img->frame().palette.size());
    return Gdiplus::Ok;
}

GpStatus GdipGetImagePalette(GpImage image, ColorPalette* palette, INT size) {
    Image* img = find_bitmap(image);
    if (!img || !palette) return Gdiplus::InvalidParameter;
    const Frame& f = img->frame();
    if (size < 0 || size_t(size) < kPaletteHeader + 4 * f.palette.size())
        return Gdiplus::InvalidParameter;
    palette->Flags = palette_flags_of(f.palette, f.palette_flags);
    palette->Count = UINT(f.palette.size());
    // Entries may extend past the declared one-element array: write through bytes.
    if (!f.palette.empty())
        std::memcpy(reinterpret_cast<BYTE*>(palette) + kPaletteHeader, f.palette.data(),
                    4 * f.palette.size());
    return Gdiplus::Ok;
}

GpStatus GdipSetImagePalette(GpImage image, const ColorPalette* palette) {
    Image* img = find_bitmap(image);
    if (!img || !palette || palette->Count > 256) return Gdiplus::InvalidParameter;
    Frame& f = img->frame();
    if (is_indexed(f.format) &&
        (palette->Count == 0 || palette->Count > (1u << pixel_format_bits(f.format))))
        return Gdiplus::InvalidParameter;
    const BYTE* entries = reinterpret_cast<const BYTE*>(palette) + kPaletteHeader;
    f.palette.resize(palette->Count);
    if (palette->Count) std::memcpy(f.palette.data(), entries, 4 * size_t(palette->Count));
    f.palette_flags = palette->Flags;
    return Gdiplus::Ok;
}

GpStatus GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format,
                              GpBitmap source, GpBitmap* clone) {
    if (!clone) return Gdiplus::InvalidParameter;
    *clone = 0;
    Image* img = find_bitmap(source);
    if (!img) return Gdiplus::InvalidParameter;
    const Frame& src = img->frame();
    if (format == PixelFormatDontCare) format = src.format;
    GpRect rect{x, y, width, height};
    if (!find_pixel_format(format) || !rect_inside(rect, src)) return Gdiplus::InvalidParameter;
    ConstPixelView area = frame_view(src);
    area.scan0 = src.row(y);
    area.x0 = x;
    area.width = width;
    area.height = height;
    Frame f;
    if (GpStatus s = make_frame(width, height, format, &f); s != Gdiplus::Ok) return s;
    f.palette = palette_for(src, format);
    f.palette_flags = format == src.format ? src.palette_flags : 0;
    f.dpi_x = src.dpi_x;
    f.dpi_y = src.dpi_y;
    if (GpStatus s = convert_pixels(area, frame_view(f)); s != Gdiplus::Ok) return s;
    auto copy = std::make_unique<Image>();
    copy->raw_format = ImageFormatMemoryBMP;
    copy->frame_dimension = FrameDimensionPage;
    copy->frames.push_back(std::move(f));
    GpBitmap h = add_image(std::move(copy));
    if (!h) return Gdiplus::OutOfMemory;
    *clone = h;
    return Gdiplus::Ok;
}

GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, HBITMAP* hbm, ARGB background) {
    if (!hbm) return Gdiplus::InvalidParameter;
    *hbm = 0;
    Image* img = find_bitmap(bitmap);
    if (!img) return Gdiplus::InvalidParameter;
    const Frame& f = img->frame();
    BYTE* bits = nullptr;
    HBITMAP h = make_dib32(f.width, f.height, &bits);
    if (!h) return Gdiplus::OutOfMemory;
    if (GpStatus s = frame_argb(f, bits); s != Gdiplus::Ok) {
        DeleteObject(h);
        return s;
    }
    size_t n = size_t(f.width) * size_t(f.height);
    for (size_t i = 0; i < n; ++i) {
        ARGB c;
        std::memcpy(&c, bits + 4 * i, 4);
        c = over(c, background);
        std::memcpy(bits + 4 * i, &c, 4);
    }
    *hbm = h;
    return Gdiplus::Ok;
}

GpStatus GdipCreateHICONFromBitmap(GpBitmap bitmap, HICON* icon) {
    if (!icon) return Gdiplus::InvalidParameter;
    *icon = 0;
    Image* img = find_bitmap(bitmap);
    if (!img) return Gdiplus::InvalidParameter;
    const Frame& f = img->frame();
    BYTE* colour_bits = nullptr;
    HBITMAP colour = make_dib32(f.width, f.height, &colour_bits);
    if (!colour) return Gdiplus::OutOfMemory;
    if (GpStatus s = frame_argb(f, colour_bits); s != Gdiplus::Ok) {
        DeleteObject(colour);
        return s;
    }
    // The AND mask: 1 where the icon is transparent (alpha below one half).
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[2];
    } mask_info{};
    mask_info.h = {sizeof(BITMAPINFOHEADER), f.width, -f.height, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    mask_info.colors[1] = {255, 255, 255, 0};
    void* mask_bits = nullptr;
    HBITMAP mask = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&mask_info), DIB_RGB_COLORS,
                                    &mask_bits, 0, 0);
    if (!mask || !mask_bits) {
        if (mask) DeleteObject(mask);
        DeleteObject(colour);
        return Gdiplus::OutOfMemory;
    }
    size_t mask_stride = *win::DibStride(f.width, 1);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x)
            if (colour_bits[(size_t(y) * f.width + x) * 4 + 3] < 128)
                static_cast<BYTE*>(mask_bits)[y * mask_stride + x / 8] |= BYTE(0x80 >> (x & 7));
    ICONINFO info{TRUE, 0, 0, mask, colour};
    *icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return *icon ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}
