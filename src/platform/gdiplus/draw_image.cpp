// Image drawing: bitmaps scaled with the interpolation modes, axis-aligned through the
// separable resampler (only the destination pixels on the target are computed), any other
// transform through cairo; recorded metafiles replay their fills.
#include <algorithm>
#include <cmath>

#include "platform/gdiplus/graphics_p.h"
#include "platform/gdiplus/resample.h"

using namespace gdip;

namespace {

struct Rect {
    double x, y, w, h;
};

Filter filter_of(InterpolationMode m, bool* prefilter) {
    *prefilter =
        m == InterpolationModeHighQualityBilinear || m == InterpolationModeHighQualityBicubic;
    switch (m) {
        case InterpolationModeNearestNeighbor:
            return Filter::Nearest;
        case InterpolationModeBicubic:
        case InterpolationModeHighQualityBicubic:
            return Filter::Bicubic;
        default:
            return Filter::Bilinear;
    }
}

bool opaque_format(const Frame& f) {
    if (is_indexed(f.format))
        return std::all_of(f.palette.begin(), f.palette.end(),
                           [](ARGB c) { return c >> 24 == 255; });
    const PixelFormatInfo* info = find_pixel_format(f.format);
    return info && !info->alpha;
}

// Source row pixels as premultiplied ARGB32.
RowReader row_reader(const Frame& f) {
    return [&f](int32_t y, int32_t x0, int32_t x1, uint32_t* out) {
        ConstPixelView src = frame_view(f);
        src.scan0 = f.row(y);
        src.x0 = x0;
        src.width = x1 - x0;
        src.height = 1;
        PixelView dst{reinterpret_cast<BYTE*>(out), x1 - x0, 1, 4 * (x1 - x0),
                      PixelFormat32bppPARGB,        {},      0};
        return convert_pixels(src, dst);
    };
}

// Premultiplied source over destination.
void composite(uint32_t* dst, const uint32_t* src, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        uint32_t s = src[i], a = s >> 24;
        if (a == 255) {
            dst[i] = s;
        } else if (a != 0) {
            uint32_t d = dst[i], inv = 255 - a, out = 0;
            for (int sh = 0; sh < 32; sh += 8) {
                uint32_t v = ((s >> sh) & 255) + (((d >> sh) & 255) * inv + 127) / 255;
                out |= std::min<uint32_t>(v, 255) << sh;
            }
            dst[i] = out;
        }
    }
}

// Destination pixels whose centres fall in [a, b) (a > b is swapped).
std::pair<int64_t, int64_t> covered(double a, double b) {
    if (a > b) std::swap(a, b);
    auto at = [](double v) { return int64_t(std::clamp(std::ceil(v - 0.5), -2e9, 2e9)); };
    return {at(a), at(b)};
}

// Nearest neighbour from an opaque 24- or 32-bit source onto a 24- or 32-bit target: the
// source bytes are the target's, so they are copied across without the premultiplied canvas
// (which would give the same bytes). The viewer's interactive repaints take this path.
bool nearest_in_place(const Target& t, const Frame& f, const Axis& ax, const Axis& ay, int64_t x0,
                      int64_t y0, int64_t x1, int64_t y1) {
    bool src_ok = f.format == PixelFormat24bppRGB || f.format == PixelFormat32bppRGB;
    bool dst_ok = t.format == PixelFormat24bppRGB || t.format == PixelFormat32bppRGB ||
                  t.format == PixelFormat32bppARGB || t.format == PixelFormat32bppPARGB;
    if (!src_ok || !dst_ok || !t.scan0) return false;
    x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, t.width), y1 = std::min<int64_t>(y1, t.height);
    if (x1 <= x0 || y1 <= y0) return true;
    Coefficients cx = make_coefficients(ax, int32_t(x0), int32_t(x1), Filter::Nearest, false);
    Coefficients cy = make_coefficients(ay, int32_t(y0), int32_t(y1), Filter::Nearest, false);
    int sb = f.format == PixelFormat24bppRGB ? 3 : 4, tb = t.format == PixelFormat24bppRGB ? 3 : 4;
    std::vector<ptrdiff_t> offsets(cx.taps.size());
    for (size_t i = 0; i < offsets.size(); ++i) offsets[i] = ptrdiff_t(cx.taps[i].first) * sb;
    for (size_t y = 0; y < cy.taps.size(); ++y) {
        const BYTE* srow = f.row(cy.taps[y].first);
        BYTE* d = t.scan0 + ptrdiff_t(y0 + int64_t(y)) * t.stride + ptrdiff_t(x0) * tb;
        for (size_t x = 0; x < offsets.size(); ++x, d += tb) {
            const BYTE* p = srow + offsets[x];
            d[0] = p[0], d[1] = p[1], d[2] = p[2];
            if (tb == 4) d[3] = 255;
        }
    }
    return true;
}

GpStatus draw_axis_aligned(Graphics& g, const Target& t, const Frame& f, const Affine& d,
                           const Rect& dst, const Rect& src) {
    Axis ax, ay;
    ax.scale = d.m11 * dst.w / src.w;
    ax.offset = d.m11 * (dst.x - src.x * dst.w / src.w) + d.dx;
    ay.scale = d.m22 * dst.h / src.h;
    ay.offset = d.m22 * (dst.y - src.y * dst.h / src.h) + d.dy;
    double u0 = std::max(src.x, 0.0), u1 = std::min(src.x + src.w, double(f.width));
    double v0 = std::max(src.y, 0.0), v1 = std::min(src.y + src.h, double(f.height));
    if (!(u1 > u0 && v1 > v0) || ax.scale == 0 || ay.scale == 0) return Gdiplus::Ok;
    ax.lo = int32_t(std::floor(u0));
    ax.hi = int32_t(std::ceil(u1));
    ay.lo = int32_t(std::floor(v0));
    ay.hi = int32_t(std::ceil(v1));
    auto [x0, x1] = covered(ax.scale * u0 + ax.offset, ax.scale * u1 + ax.offset);
    auto [y0, y1] = covered(ay.scale * v0 + ay.offset, ay.scale * v1 + ay.offset);
    bool prefilter = false;
    Filter filter = filter_of(g.interpolation, &prefilter);
    if (filter == Filter::Nearest && nearest_in_place(t, f, ax, ay, x0, y0, x1, y1))
        return Gdiplus::Ok;
    bool copy = g.compositing_mode == CompositingModeSourceCopy;
    Canvas canvas;
    GpStatus s = canvas.open(t, x0, y0, x1, y1, !(copy || opaque_format(f)));
    if (s != Gdiplus::Ok || canvas.empty()) return s;
    auto resample_into = [&](uint32_t* out) {
        return resample(row_reader(f), ax, ay, canvas.left(), canvas.left() + canvas.width(),
                        canvas.top(), canvas.top() + canvas.height(), filter, prefilter, out,
                        size_t(canvas.width()));
    };
    // What replaces the canvas outright is resampled straight into it.
    if (copy || opaque_format(f)) {
        s = resample_into(canvas.row(0));
        return s == Gdiplus::Ok ? canvas.commit() : s;
    }
    std::vector<uint32_t> px;
    s = guarded([&] {
        px.resize(size_t(canvas.width()) * size_t(canvas.height()));
        return Gdiplus::Ok;
    });
    if (s != Gdiplus::Ok) return s;
    if ((s = resample_into(px.data())) != Gdiplus::Ok) return s;
    for (int32_t y = 0; y < canvas.height(); ++y)
        composite(canvas.row(y), px.data() + size_t(y) * size_t(canvas.width()), canvas.width());
    return canvas.commit();
}

cairo_filter_t cairo_filter_of(InterpolationMode m) {
    switch (m) {
        case InterpolationModeNearestNeighbor:
            return CAIRO_FILTER_NEAREST;
        case InterpolationModeHighQualityBilinear:
            return CAIRO_FILTER_GOOD;
        case InterpolationModeHighQualityBicubic:
            return CAIRO_FILTER_BEST;
        default:
            return CAIRO_FILTER_BILINEAR;
    }
}

// Rotated or skewed: the source rectangle as a cairo pattern.
GpStatus draw_transformed(Graphics& g, const Target& t, const Frame& f, const Affine& d,
                          const Rect& dst, const Rect& src) {
    int32_t sx0 = std::max(0, int32_t(std::floor(src.x))),
            sy0 = std::max(0, int32_t(std::floor(src.y)));
    int32_t sx1 = std::min(f.width, int32_t(std::ceil(src.x + src.w)));
    int32_t sy1 = std::min(f.height, int32_t(std::ceil(src.y + src.h)));
    if (sx1 <= sx0 || sy1 <= sy0) return Gdiplus::Ok;
    int32_t w = sx1 - sx0, h = sy1 - sy0;
    std::vector<uint32_t> px;
    RowReader read = row_reader(f);
    GpStatus s = guarded([&] {
        px.resize(size_t(w) * size_t(h));
        for (int32_t y = 0; y < h; ++y)
            if (GpStatus rs = read(sy0 + y, sx0, sx1, px.data() + size_t(y) * w); rs != Gdiplus::Ok)
                return rs;
        return Gdiplus::Ok;
    });
    if (s != Gdiplus::Ok) return s;
    auto corners = corners_of(dst.x, dst.y, dst.x + dst.w, dst.y + dst.h);
    DeviceBox box = device_box(d, corners.data(), 4, 1);
    Canvas canvas;
    if ((s = canvas.open(t, box.x0, box.y0, box.x1, box.y1)) != Gdiplus::Ok || canvas.empty())
        return s;
    cairo_t* cr = canvas.context();
    if (!cr) return Gdiplus::OutOfMemory;
    cairo_matrix_t cm = d.cairo();
    cairo_transform(cr, &cm);
    cairo_rectangle(cr, dst.x, dst.y, dst.w, dst.h);
    cairo_clip(cr);
    cairo_translate(cr, dst.x, dst.y);
    cairo_scale(cr, dst.w / src.w, dst.h / src.h);
    cairo_translate(cr, sx0 - src.x, sy0 - src.y);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(px.data()), CAIRO_FORMAT_ARGB32, w, h, 4 * w);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), cairo_filter_of(g.interpolation));
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    if (g.compositing_mode == CompositingModeSourceCopy)
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return Gdiplus::OutOfMemory;
    return canvas.commit();
}

// Metafile records are fills in the metafile's pixels, mapped onto the destination.
GpStatus draw_metafile(Graphics& g, const Target& t, const win::MetafileData& m, const Affine& d,
                       const Rect& dst) {
    if (m.width <= 0 || m.height <= 0) return Gdiplus::Ok;
    auto corners = corners_of(dst.x, dst.y, dst.x + dst.w, dst.y + dst.h);
    DeviceBox box = device_box(d, corners.data(), 4, 1);
    Canvas canvas;
    GpStatus s = canvas.open(t, box.x0, box.y0, box.x1, box.y1);
    if (s != Gdiplus::Ok || canvas.empty()) return s;
    cairo_t* cr = canvas.context();
    if (!cr) return Gdiplus::OutOfMemory;
    cairo_matrix_t cm = d.cairo();
    cairo_transform(cr, &cm);
    cairo_translate(cr, dst.x, dst.y);
    cairo_scale(cr, dst.w / m.width, dst.h / m.height);
    cairo_set_antialias(
        cr, g.smoothing == SmoothingModeAntiAlias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    for (const auto& r : m.records) {
        double w = r.rect.right - r.rect.left, h = r.rect.bottom - r.rect.top;
        if (w <= 0 || h <= 0) continue;
        if (r.kind == win::MetaRecord::Kind::FillEllipse) {
            cairo_save(cr);
            cairo_translate(cr, r.rect.left + w / 2, r.rect.top + h / 2);
            cairo_scale(cr, w / 2, h / 2);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr);
        } else {
            cairo_rectangle(cr, r.rect.left, r.rect.top, w, h);
        }
        set_argb_source(cr, r.argb);
        cairo_fill(cr);
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return Gdiplus::OutOfMemory;
    return canvas.commit();
}

bool finite(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.w) && std::isfinite(r.h);
}

GpStatus draw(GpGraphics graphics, GpImage image, const Rect& dst, const std::optional<Rect>& src,
              DrawImageAbort callback, void* data) {
    Graphics* g = find_object<Graphics>(graphics);
    Image* img = find_image(image);
    if (!g || !img || !finite(dst) || (src && !finite(*src))) return Gdiplus::InvalidParameter;
    if (src && (src->w <= 0 || src->h <= 0)) return Gdiplus::InvalidParameter;
    if (img->kind == ImageKind::Bitmap && is_locked(*img)) return Gdiplus::WrongState;
    Target t;
    if (GpStatus s = target_of(*g, &t); s != Gdiplus::Ok) return s;
    if (callback && callback(data)) return Gdiplus::Aborted;
    if (!t.scan0 || dst.w == 0 || dst.h == 0) return Gdiplus::Ok;
    Affine d = device_transform(*g, t);
    return guarded([&] {
        if (img->kind == ImageKind::Metafile) return draw_metafile(*g, t, img->metafile, d, dst);
        const Frame& f = img->frame();
        Rect s = src ? *src : Rect{0, 0, double(f.width), double(f.height)};
        if (d.is_scale_translate()) return draw_axis_aligned(*g, t, f, d, dst, s);
        return draw_transformed(*g, t, f, d, dst, s);
    });
}

}  // namespace

GpStatus GdipDrawImageRectRect(GpGraphics graphics, GpImage image, REAL dst_x, REAL dst_y,
                               REAL dst_width, REAL dst_height, REAL src_x, REAL src_y,
                               REAL src_width, REAL src_height, GpUnit src_unit, GpImageAttributes,
                               DrawImageAbort callback, void* callback_data) {
    if (src_unit != UnitPixel) return Gdiplus::NotImplemented;
    return draw(graphics, image, {dst_x, dst_y, dst_width, dst_height},
                Rect{src_x, src_y, src_width, src_height}, callback, callback_data);
}

GpStatus GdipDrawImageRectRectI(GpGraphics graphics, GpImage image, INT dst_x, INT dst_y,
                                INT dst_width, INT dst_height, INT src_x, INT src_y, INT src_width,
                                INT src_height, GpUnit src_unit, GpImageAttributes attributes,
                                DrawImageAbort callback, void* callback_data) {
    return GdipDrawImageRectRect(graphics, image, REAL(dst_x), REAL(dst_y), REAL(dst_width),
                                 REAL(dst_height), REAL(src_x), REAL(src_y), REAL(src_width),
                                 REAL(src_height), src_unit, attributes, callback, callback_data);
}

GpStatus GdipDrawImageRect(GpGraphics graphics, GpImage image, REAL x, REAL y, REAL width,
                           REAL height) {
    return draw(graphics, image, {x, y, width, height}, std::nullopt, nullptr, nullptr);
}

GpStatus GdipDrawImageRectI(GpGraphics graphics, GpImage image, INT x, INT y, INT width,
                            INT height) {
    return GdipDrawImageRect(graphics, image, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipDrawImage(GpGraphics graphics, GpImage image, REAL x, REAL y) {
    Graphics* g = find_object<Graphics>(graphics);
    Image* img = find_image(image);
    if (!g || !img) return Gdiplus::InvalidParameter;
    Target t;
    if (GpStatus s = target_of(*g, &t); s != Gdiplus::Ok) return s;
    // At the image's physical size: its resolution against the target's, in page units.
    double w, h, dpi_x, dpi_y;
    if (img->kind == ImageKind::Metafile) {
        w = img->metafile.width, h = img->metafile.height;
        dpi_x = t.dpi_x, dpi_y = t.dpi_y;  // its records are in the target's pixels
    } else {
        const Frame& f = img->frame();
        w = f.width, h = f.height, dpi_x = f.dpi_x, dpi_y = f.dpi_y;
    }
    double ux = unit_scale(g->page_unit, t.dpi_x) * g->page_scale;
    double uy = unit_scale(g->page_unit, t.dpi_y) * g->page_scale;
    if (dpi_x <= 0 || dpi_y <= 0 || ux <= 0 || uy <= 0) return Gdiplus::InvalidParameter;
    return GdipDrawImageRect(graphics, image, x, y, REAL(w * t.dpi_x / dpi_x / ux),
                             REAL(h * t.dpi_y / dpi_y / uy));
}

GpStatus GdipDrawImageI(GpGraphics graphics, GpImage image, INT x, INT y) {
    return GdipDrawImage(graphics, image, REAL(x), REAL(y));
}
