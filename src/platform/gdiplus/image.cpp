// Image objects: the table, creation from memory and GDI handles, cloning, disposal,
// size, resolution and format queries.
#include <algorithm>
#include <new>

#include "platform/gdiplus/image_p.h"
#include "platform/win/dib.h"

namespace gdip {

platform::HandleTable<Image>& images() {
    return platform::thread_table<Image>(platform::HandleKind::Image);
}

Image* find_image(GpImage handle) { return images().find(handle); }

Image* find_bitmap(GpImage handle) {
    Image* img = images().find(handle);
    return img && img->kind == ImageKind::Bitmap && !img->frames.empty() ? img : nullptr;
}

GpImage add_image(std::unique_ptr<Image> image) { return images().insert(std::move(image)); }

GpStatus make_frame(int32_t width, int32_t height, PixelFormat format, Frame* out) {
    if (!find_pixel_format(format) || width <= 0 || height <= 0) return Gdiplus::InvalidParameter;
    auto stride = aligned_stride(width, format);
    auto bytes = stride ? buffer_size(height, *stride) : std::nullopt;
    if (!bytes) return Gdiplus::OutOfMemory;
    Frame f;
    f.width = width;
    f.height = height;
    f.format = format;
    f.stride = *stride;
    try {
        f.storage.assign(*bytes, 0);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    f.scan0 = f.storage.data();
    *out = std::move(f);
    return Gdiplus::Ok;
}

GpStatus copy_frame(const Frame& src, Frame* out) {
    Frame f;
    if (GpStatus s = make_frame(src.width, src.height, src.format, &f); s != Gdiplus::Ok) return s;
    size_t row_bytes = size_t(*aligned_stride(src.width, src.format));
    for (int32_t y = 0; y < src.height; ++y)
        std::memcpy(f.row(y), src.row(y), std::min<size_t>(row_bytes, size_t(std::abs(src.stride))));
    f.palette = src.palette;
    f.palette_flags = src.palette_flags;
    f.dpi_x = src.dpi_x;
    f.dpi_y = src.dpi_y;
    f.has_properties = src.has_properties;
    f.properties = src.properties;
    *out = std::move(f);
    return Gdiplus::Ok;
}

// The palettes GDI+ gives new indexed bitmaps: black and white, the 16 VGA colours, and
// for 8 bits the 16 VGA colours, a 6x6x6 colour cube and a grey ramp.
std::vector<ARGB> default_palette(PixelFormat format) {
    static const ARGB kVga[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000,
                                  0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
                                  0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                  0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    switch (format) {
        case PixelFormat1bppIndexed: return {0xFF000000, 0xFFFFFFFF};
        case PixelFormat4bppIndexed: return {kVga, kVga + 16};
        case PixelFormat8bppIndexed: {
            std::vector<ARGB> p(kVga, kVga + 16);
            for (int r = 0; r < 6; ++r)
                for (int g = 0; g < 6; ++g)
                    for (int b = 0; b < 6; ++b)
                        p.push_back(0xFF000000 | ARGB(r * 51) << 16 | ARGB(g * 51) << 8 |
                                    ARGB(b * 51));
            for (int i = 0; p.size() < 256; ++i) {
                ARGB v = ARGB(i * 255 / 23);
                p.push_back(0xFF000000 | v << 16 | v << 8 | v);
            }
            return p;
        }
        default: return {};
    }
}

}  // namespace gdip

using namespace gdip;

namespace {

GpStatus new_bitmap(Frame frame, GpBitmap* out) {
    auto img = std::make_unique<Image>();
    img->raw_format = ImageFormatMemoryBMP;
    img->frame_dimension = FrameDimensionPage;
    img->frames.push_back(std::move(frame));
    GpBitmap h = add_image(std::move(img));
    if (!h) return Gdiplus::OutOfMemory;
    *out = h;
    return Gdiplus::Ok;
}

ARGB argb_of(const RGBQUAD& q) {
    return 0xFF000000 | ARGB(q.rgbRed) << 16 | ARGB(q.rgbGreen) << 8 | q.rgbBlue;
}

// The formats a DIB maps onto in place: its depth, and for 16 and 32 bits its masks.
PixelFormat dib_format(const win::DibHeader& h) {
    const uint32_t* m = h.masks;
    switch (h.bits) {
        case 1: return PixelFormat1bppIndexed;
        case 4: return PixelFormat4bppIndexed;
        case 8: return PixelFormat8bppIndexed;
        case 24: return PixelFormat24bppRGB;
        case 16:
            if (m[0] == 0x7C00 && m[1] == 0x3E0 && m[2] == 0x1F) return PixelFormat16bppRGB555;
            if (m[0] == 0xF800 && m[1] == 0x7E0 && m[2] == 0x1F) return PixelFormat16bppRGB565;
            return PixelFormatUndefined;
        case 32:
            if (m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF) return PixelFormat32bppRGB;
            return PixelFormatUndefined;
        default: return PixelFormatUndefined;
    }
}

PixelFormat format_for_bits(int bits) {
    switch (bits) {
        case 1: return PixelFormat1bppIndexed;
        case 4: return PixelFormat4bppIndexed;
        case 8: return PixelFormat8bppIndexed;
        case 16: return PixelFormat16bppRGB555;
        case 24: return PixelFormat24bppRGB;
        case 32: return PixelFormat32bppRGB;
        default: return PixelFormatUndefined;
    }
}

}  // namespace

GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                   BYTE* scan0, GpBitmap* bitmap) {
    if (!bitmap) return Gdiplus::InvalidParameter;
    *bitmap = 0;
    if (!session_started()) return Gdiplus::GdiplusNotInitialized;
    if (width <= 0 || height <= 0 || !find_pixel_format(format)) return Gdiplus::InvalidParameter;
    Frame f;
    if (scan0) {
        auto minimum = aligned_stride(width, format);
        int64_t row_bits = int64_t(width) * pixel_format_bits(format);
        if (!minimum || int64_t(std::abs(int64_t(stride))) * 8 < row_bits || stride % 4 != 0)
            return Gdiplus::InvalidParameter;
        f.width = width;
        f.height = height;
        f.format = format;
        f.stride = stride;
        f.scan0 = scan0;
    } else if (GpStatus s = make_frame(width, height, format, &f); s != Gdiplus::Ok) {
        return s;
    }
    f.palette = default_palette(format);
    return new_bitmap(std::move(f), bitmap);
}

GpStatus GdipCreateBitmapFromGdiDib(const BITMAPINFO* info, void* bits, GpBitmap* bitmap) {
    if (!bitmap) return Gdiplus::InvalidParameter;
    *bitmap = 0;
    if (!session_started()) return Gdiplus::GdiplusNotInitialized;
    if (!info || !bits) return Gdiplus::InvalidParameter;
    // The caller vouches for the header, its masks and its colour table.
    const auto* p = reinterpret_cast<const uint8_t*>(info);
    win::DibHeader h;
    if (!win::ParseDibHeader(p, SIZE_MAX, &h) || h.compressed() || h.core)
        return Gdiplus::InvalidParameter;
    PixelFormat format = dib_format(h);
    if (!format) return Gdiplus::InvalidParameter;
    int32_t rows = int32_t(h.height);
    auto stride = aligned_stride(int32_t(h.width), format);
    if (!stride || !buffer_size(rows, *stride)) return Gdiplus::OutOfMemory;
    Frame f;
    f.width = int32_t(h.width);
    f.height = rows;
    f.format = format;
    // Bottom-up DIBs are viewed in place with a negative stride from their top row.
    f.stride = h.top_down ? *stride : -*stride;
    f.scan0 = static_cast<BYTE*>(bits) + (h.top_down ? 0 : ptrdiff_t(rows - 1) * *stride);
    if (is_indexed(format)) {
        const auto* colors = reinterpret_cast<const RGBQUAD*>(p + h.table_offset);
        for (size_t i = 0; i < h.table_entries; ++i) f.palette.push_back(argb_of(colors[i]));
    }
    return new_bitmap(std::move(f), bitmap);
}

GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap* bitmap) {
    if (!bitmap) return Gdiplus::InvalidParameter;
    *bitmap = 0;
    if (!session_started()) return Gdiplus::GdiplusNotInitialized;
    win::BitmapView v;
    if (!win::GetBitmapView(hbm, &v)) return Gdiplus::InvalidParameter;
    PixelFormat format = format_for_bits(v.bits_per_pixel);
    if (!format) return Gdiplus::InvalidParameter;
    Frame view;
    view.width = v.width;
    view.height = v.height;
    view.format = format;
    view.stride = v.stride;
    view.scan0 = v.scan0;
    Frame f;
    if (GpStatus s = copy_frame(view, &f); s != Gdiplus::Ok) return s;
    if (is_indexed(format)) {
        if (hpal) {
            std::vector<PALETTEENTRY> entries(GetPaletteEntries(hpal, 0, 0, nullptr));
            GetPaletteEntries(hpal, 0, UINT(entries.size()), entries.data());
            for (auto& e : entries)
                f.palette.push_back(0xFF000000 | ARGB(e.peRed) << 16 | ARGB(e.peGreen) << 8 |
                                    e.peBlue);
        } else {
            for (auto& q : v.colors) f.palette.push_back(argb_of(q));
        }
        if (f.palette.empty()) f.palette = default_palette(format);
    }
    return new_bitmap(std::move(f), bitmap);
}

GpStatus GdipCreateBitmapFromHICON(HICON icon, GpBitmap* bitmap) {
    if (!bitmap) return Gdiplus::InvalidParameter;
    *bitmap = 0;
    if (!session_started()) return Gdiplus::GdiplusNotInitialized;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return Gdiplus::InvalidParameter;
    win::BitmapView mask, color;
    bool ok = win::GetBitmapView(info.hbmMask, &mask);
    bool has_color = info.hbmColor && win::GetBitmapView(info.hbmColor, &color);
    // A monochrome icon stacks its AND mask over its XOR image in one bitmap.
    int width = mask.width;
    int height = has_color ? color.height : mask.height / 2;
    Frame f;
    GpStatus s = ok && height > 0 ? make_frame(width, height, PixelFormat32bppARGB, &f)
                                  : Gdiplus::InvalidParameter;
    auto bit = [](const win::BitmapView& b, int x, int y) {
        return (b.scan0[ptrdiff_t(y) * b.stride + x / 8] >> (7 - x % 8)) & 1;
    };
    bool any_alpha = false;
    if (s == Gdiplus::Ok && has_color && color.bits_per_pixel == 32)
        for (int y = 0; y < height && !any_alpha; ++y)
            for (int x = 0; x < width; ++x)
                if (color.scan0[ptrdiff_t(y) * color.stride + x * 4 + 3]) any_alpha = true;
    for (int y = 0; s == Gdiplus::Ok && y < height; ++y) {
        auto* out = reinterpret_cast<ARGB*>(f.row(y));
        for (int x = 0; x < width && x < (has_color ? color.width : width); ++x) {
            ARGB c;
            if (has_color && color.bits_per_pixel == 32) {
                std::memcpy(&c, color.scan0 + ptrdiff_t(y) * color.stride + x * 4, 4);
            } else if (has_color && color.bits_per_pixel == 24) {
                const BYTE* p = color.scan0 + ptrdiff_t(y) * color.stride + x * 3;
                c = ARGB(p[2]) << 16 | ARGB(p[1]) << 8 | p[0];
            } else if (has_color && color.bits_per_pixel <= 8 && !color.colors.empty()) {
                int bpp = color.bits_per_pixel;
                BYTE byte = color.scan0[ptrdiff_t(y) * color.stride + x * bpp / 8];
                int idx = (byte >> (8 - bpp - (x * bpp) % 8)) & ((1 << bpp) - 1);
                c = argb_of(color.colors[size_t(idx) % color.colors.size()]) & 0xFFFFFF;
            } else {
                c = bit(mask, x, y + height) ? 0xFFFFFF : 0;
            }
            if (!any_alpha) c = (c & 0xFFFFFF) | (bit(mask, x, y) ? 0 : 0xFF000000u);
            out[x] = c;
        }
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (s != Gdiplus::Ok) return s;
    return new_bitmap(std::move(f), bitmap);
}

namespace {
GpStatus new_metafile(HGDIOBJ handle, bool enhanced, BOOL delete_handle, GpMetafile* out) {
    if (!out) return Gdiplus::InvalidParameter;
    *out = 0;
    if (!session_started()) return Gdiplus::GdiplusNotInitialized;
    bool is_enhanced = false;
    const win::MetafileData* data = win::FindMetafile(handle, &is_enhanced);
    if (!data || is_enhanced != enhanced) return Gdiplus::InvalidParameter;
    auto img = std::make_unique<Image>();
    img->kind = ImageKind::Metafile;
    img->raw_format = enhanced ? ImageFormatEMF : ImageFormatWMF;
    img->frame_dimension = FrameDimensionPage;
    img->metafile = *data;
    if (delete_handle) enhanced ? DeleteEnhMetaFile(handle) : DeleteMetaFile(handle);
    GpMetafile h = add_image(std::move(img));
    if (!h) return Gdiplus::OutOfMemory;
    *out = h;
    return Gdiplus::Ok;
}
}  // namespace

GpStatus GdipCreateMetafileFromEmf(HENHMETAFILE emf, BOOL delete_emf, GpMetafile* metafile) {
    return new_metafile(emf, true, delete_emf, metafile);
}

GpStatus GdipCreateMetafileFromWmf(HMETAFILE wmf, BOOL delete_wmf, const WmfPlaceableFileHeader*,
                                   GpMetafile* metafile) {
    return new_metafile(wmf, false, delete_wmf, metafile);
}

GpStatus GdipCloneImage(GpImage image, GpImage* clone) {
    if (!clone) return Gdiplus::InvalidParameter;
    *clone = 0;
    Image* src = find_image(image);
    if (!src) return Gdiplus::InvalidParameter;
    auto copy = std::make_unique<Image>();
    copy->kind = src->kind;
    copy->raw_format = src->raw_format;
    copy->frame_dimension = src->frame_dimension;
    copy->active = src->active;
    copy->properties = src->properties;
    copy->flags = src->flags;
    copy->metafile = src->metafile;
    for (const Frame& f : src->frames) {
        Frame c;
        if (GpStatus s = copy_frame(f, &c); s != Gdiplus::Ok) return s;
        copy->frames.push_back(std::move(c));
    }
    GpImage h = add_image(std::move(copy));
    if (!h) return Gdiplus::OutOfMemory;
    *clone = h;
    return Gdiplus::Ok;
}

GpStatus GdipDisposeImage(GpImage image) {
    std::unique_ptr<Image> img = images().take(image);
    if (!img) return Gdiplus::InvalidParameter;
    if (!img->multipage) return Gdiplus::Ok;
    GpStatus s = img->multipage->finish();
    return s == Gdiplus::WrongState ? Gdiplus::Ok : s;
}

GpStatus LumGdipSetImageAttachment(GpImage image, std::unique_ptr<GpImageAttachment> attachment) {
    Image* img = find_image(image);
    if (!img) return Gdiplus::InvalidParameter;
    img->attachment = std::move(attachment);
    return Gdiplus::Ok;
}

GpImageAttachment* LumGdipGetImageAttachment(GpImage image) {
    Image* img = find_image(image);
    return img ? img->attachment.get() : nullptr;
}

GpStatus GdipImageForceValidation(GpImage image) {
    // Decoders decode completely when the image is made.
    return find_image(image) ? Gdiplus::Ok : Gdiplus::InvalidParameter;
}

GpStatus GdipGetImageType(GpImage image, ImageType* type) {
    Image* img = find_image(image);
    if (!img || !type) return Gdiplus::InvalidParameter;
    *type = img->kind == ImageKind::Bitmap ? ImageTypeBitmap : ImageTypeMetafile;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageRawFormat(GpImage image, GUID* format) {
    Image* img = find_image(image);
    if (!img || !format) return Gdiplus::InvalidParameter;
    *format = img->raw_format;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageWidth(GpImage image, UINT* width) {
    Image* img = find_image(image);
    if (!img || !width) return Gdiplus::InvalidParameter;
    *width = UINT(img->kind == ImageKind::Bitmap ? img->frame().width : img->metafile.width);
    return Gdiplus::Ok;
}

GpStatus GdipGetImageHeight(GpImage image, UINT* height) {
    Image* img = find_image(image);
    if (!img || !height) return Gdiplus::InvalidParameter;
    *height = UINT(img->kind == ImageKind::Bitmap ? img->frame().height : img->metafile.height);
    return Gdiplus::Ok;
}

GpStatus GdipGetImageHorizontalResolution(GpImage image, REAL* dpi) {
    Image* img = find_image(image);
    if (!img || !dpi) return Gdiplus::InvalidParameter;
    *dpi = img->kind == ImageKind::Bitmap ? img->frame().dpi_x : img->metafile.dpi_x;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageVerticalResolution(GpImage image, REAL* dpi) {
    Image* img = find_image(image);
    if (!img || !dpi) return Gdiplus::InvalidParameter;
    *dpi = img->kind == ImageKind::Bitmap ? img->frame().dpi_y : img->metafile.dpi_y;
    return Gdiplus::Ok;
}

GpStatus GdipBitmapSetResolution(GpBitmap bitmap, REAL dpi_x, REAL dpi_y) {
    Image* img = find_bitmap(bitmap);
    if (!img || !(dpi_x > 0) || !(dpi_y > 0)) return Gdiplus::InvalidParameter;
    for (Frame& f : img->frames) {
        f.dpi_x = dpi_x;
        f.dpi_y = dpi_y;
    }
    return Gdiplus::Ok;
}

GpStatus GdipGetImagePixelFormat(GpImage image, PixelFormat* format) {
    Image* img = find_image(image);
    if (!img || !format) return Gdiplus::InvalidParameter;
    *format = img->kind == ImageKind::Bitmap ? img->frame().format : PixelFormat32bppRGB;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageFlags(GpImage image, UINT* flags) {
    Image* img = find_image(image);
    if (!img || !flags) return Gdiplus::InvalidParameter;
    constexpr UINT kHasAlpha = 0x2, kColorSpaceRgb = 0x10, kHasRealDpi = 0x1000,
                   kHasRealPixelSize = 0x2000;
    UINT f = img->flags | kColorSpaceRgb;
    if (img->kind == ImageKind::Bitmap) {
        const auto* info = find_pixel_format(img->frame().format);
        bool palette_alpha = std::any_of(img->frame().palette.begin(), img->frame().palette.end(),
                                         [](ARGB c) { return (c >> 24) != 0xFF; });
        if ((info && info->alpha) || palette_alpha) f |= kHasAlpha;
        if (!(img->raw_format == ImageFormatMemoryBMP)) f |= kHasRealDpi | kHasRealPixelSize;
    }
    *flags = f;
    return Gdiplus::Ok;
}
