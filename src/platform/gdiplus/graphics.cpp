// Graphics objects, as far as the image engine draws: clearing a surface and drawing an
// image (bitmaps of 24 and 32 bits, and recorded metafiles) onto a DC or a bitmap.
#include <algorithm>
#include <cmath>

#include "platform/gdiplus/image_p.h"

namespace {

struct Graphics {
    HDC dc = 0;          // either a device context ...
    GpImage image = 0;   // ... or an image of a non-indexed format
};

platform::HandleTable<Graphics>& graphics_table() {
    return platform::thread_table<Graphics>(platform::HandleKind::Graphics);
}

// A 32-bit BGRA target to draw into; false when the target has no pixels.
struct Target {
    BYTE* scan0 = nullptr;
    int width = 0, height = 0, stride = 0;
    int bytes_per_pixel = 4;
    bool keep_alpha = true;
};

bool target_of(const Graphics& g, Target* t) {
    if (g.dc) {
        win::Surface s;
        if (!win::GetSurface(g.dc, &s)) return false;
        *t = Target{s.scan0, s.width, s.height, s.stride, 4, true};
        return true;
    }
    gdip::Image* img = gdip::find_bitmap(g.image);
    if (!img) return false;
    gdip::Frame& f = img->frame();
    int bpp = gdip::pixel_format_bits(f.format) / 8;
    if (bpp != 3 && bpp != 4) return false;
    *t = Target{f.scan0, f.width, f.height, f.stride, bpp, f.format != PixelFormat32bppRGB};
    return true;
}

void blend(BYTE* p, ARGB c, int bpp) {
    unsigned a = c >> 24;
    BYTE src[3] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16)};
    for (int i = 0; i < 3; ++i) p[i] = BYTE((src[i] * a + p[i] * (255 - a) + 127) / 255);
    if (bpp == 4) p[3] = BYTE(a + (p[3] * (255 - a) + 127) / 255);
}

void fill(const Target& t, const RECT& r, ARGB c, bool ellipse) {
    int x0 = std::max<int>(0, r.left), x1 = std::min<int>(t.width, r.right);
    int y0 = std::max<int>(0, r.top), y1 = std::min<int>(t.height, r.bottom);
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    double rx = (r.right - r.left) / 2.0, ry = (r.bottom - r.top) / 2.0;
    for (int y = y0; y < y1; ++y) {
        BYTE* row = t.scan0 + ptrdiff_t(y) * t.stride;
        for (int x = x0; x < x1; ++x) {
            if (ellipse) {
                double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                if (dx * dx + dy * dy > 1) continue;
            }
            blend(row + x * t.bytes_per_pixel, c, t.bytes_per_pixel);
        }
    }
}

GpStatus draw_bitmap(const Target& t, const gdip::Frame& f, int x0, int y0) {
    int bpp = gdip::pixel_format_bits(f.format) / 8;
    if (bpp != 3 && bpp != 4) return Gdiplus::NotImplemented;
    bool has_alpha = f.format == PixelFormat32bppARGB;
    for (int y = std::max(0, -y0); y < f.height && y + y0 < t.height; ++y) {
        const BYTE* src = f.row(y);
        BYTE* dst = t.scan0 + ptrdiff_t(y + y0) * t.stride;
        for (int x = std::max(0, -x0); x < f.width && x + x0 < t.width; ++x) {
            const BYTE* s = src + x * bpp;
            ARGB c = 0xFF000000u | ARGB(s[2]) << 16 | ARGB(s[1]) << 8 | s[0];
            if (has_alpha) c = (c & 0xFFFFFF) | ARGB(s[3]) << 24;
            blend(dst + (x + x0) * t.bytes_per_pixel, c, t.bytes_per_pixel);
        }
    }
    return Gdiplus::Ok;
}

}  // namespace

GpStatus GdipCreateFromHDC(HDC dc, GpGraphics* graphics) {
    if (!graphics) return Gdiplus::InvalidParameter;
    *graphics = 0;
    if (!gdip::session_started()) return Gdiplus::GdiplusNotInitialized;
    if (!dc || GetDeviceCaps(dc, BITSPIXEL) == 0) return Gdiplus::OutOfMemory;
    *graphics = graphics_table().insert(std::make_unique<Graphics>(Graphics{dc, 0}));
    return *graphics ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

GpStatus GdipGetImageGraphicsContext(GpImage image, GpGraphics* graphics) {
    if (!graphics) return Gdiplus::InvalidParameter;
    *graphics = 0;
    gdip::Image* img = gdip::find_image(image);
    if (!img) return Gdiplus::InvalidParameter;
    // Indexed bitmaps cannot be drawn on: the platform answers OutOfMemory.
    if (img->kind != gdip::ImageKind::Bitmap || gdip::is_indexed(img->frame().format))
        return Gdiplus::OutOfMemory;
    *graphics = graphics_table().insert(std::make_unique<Graphics>(Graphics{0, image}));
    return *graphics ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

GpStatus GdipDeleteGraphics(GpGraphics graphics) {
    return graphics_table().erase(graphics) ? Gdiplus::Ok : Gdiplus::InvalidParameter;
}

GpStatus GdipGraphicsClear(GpGraphics graphics, ARGB color) {
    Graphics* g = graphics_table().find(graphics);
    if (!g) return Gdiplus::InvalidParameter;
    Target t;
    if (!target_of(*g, &t)) return Gdiplus::Ok;  // a screen DC has nothing to keep
    for (int y = 0; y < t.height; ++y) {
        BYTE* row = t.scan0 + ptrdiff_t(y) * t.stride;
        for (int x = 0; x < t.width; ++x) {
            BYTE* p = row + x * t.bytes_per_pixel;
            p[0] = BYTE(color);
            p[1] = BYTE(color >> 8);
            p[2] = BYTE(color >> 16);
            if (t.bytes_per_pixel == 4) p[3] = BYTE(color >> 24);
        }
    }
    return Gdiplus::Ok;
}

GpStatus GdipDrawImageI(GpGraphics graphics, GpImage image, INT x, INT y) {
    Graphics* g = graphics_table().find(graphics);
    gdip::Image* img = gdip::find_image(image);
    if (!g || !img) return Gdiplus::InvalidParameter;
    Target t;
    if (!target_of(*g, &t)) return Gdiplus::Ok;
    if (img->kind == gdip::ImageKind::Metafile) {
        for (const auto& r : img->metafile.records) {
            RECT rc{r.rect.left + x, r.rect.top + y, r.rect.right + x, r.rect.bottom + y};
            fill(t, rc, r.argb, r.kind == win::MetaRecord::Kind::FillEllipse);
        }
        return Gdiplus::Ok;
    }
    return draw_bitmap(t, img->frame(), x, y);
}

GpStatus GdipDrawImage(GpGraphics graphics, GpImage image, REAL x, REAL y) {
    return GdipDrawImageI(graphics, image, INT(std::lround(x)), INT(std::lround(y)));
}
