// Graphics objects: targets, settings, transforms, the canvas that drawing calls paint on
// (a premultiplied copy of the device rectangle they touch), clearing and rectangles.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gdiplus/graphics_p.h"

namespace gdip {

platform::HandleTable<GraphicsObject>& graphics_objects() {
    return platform::thread_table<GraphicsObject>(platform::HandleKind::Graphics);
}

Affine Affine::then(const Affine& n) const {
    Affine r;
    r.m11 = m11 * n.m11 + m12 * n.m21;
    r.m12 = m11 * n.m12 + m12 * n.m22;
    r.m21 = m21 * n.m11 + m22 * n.m21;
    r.m22 = m21 * n.m12 + m22 * n.m22;
    r.dx = dx * n.m11 + dy * n.m21 + n.dx;
    r.dy = dx * n.m12 + dy * n.m22 + n.dy;
    return r;
}

std::optional<Affine> Affine::inverse() const {
    double det = m11 * m22 - m12 * m21;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    Affine r;
    r.m11 = m22 / det;
    r.m12 = -m12 / det;
    r.m21 = -m21 / det;
    r.m22 = m11 / det;
    r.dx = -(dx * r.m11 + dy * r.m21);
    r.dy = -(dx * r.m12 + dy * r.m22);
    return r;
}

GpStatus target_of(const Graphics& g, Target* out) {
    if (g.dc) {
        win::Surface s;
        if (GetDeviceCaps(g.dc, BITSPIXEL) == 0) return Gdiplus::InvalidParameter;
        if (!win::GetSurface(g.dc, &s)) {
            *out = Target{};  // a device without pixels
            return Gdiplus::Ok;
        }
        *out = Target{s.scan0,
                      s.width,
                      s.height,
                      s.stride,
                      PixelFormat32bppARGB,
                      float(GetDeviceCaps(g.dc, LOGPIXELSX)),
                      float(GetDeviceCaps(g.dc, LOGPIXELSY))};
        return Gdiplus::Ok;
    }
    Image* img = find_bitmap(g.image);
    if (!img || is_indexed(img->frame().format)) return Gdiplus::InvalidParameter;
    if (is_locked(*img)) return Gdiplus::WrongState;
    Frame& f = img->frame();
    *out = Target{f.scan0, f.width, f.height, f.stride, f.format, f.dpi_x, f.dpi_y};
    return Gdiplus::Ok;
}

double unit_scale(GpUnit unit, double dpi) {
    switch (unit) {
        case UnitDisplay:
        case UnitPixel:
            return 1;
        case UnitPoint:
            return dpi / 72;
        case UnitInch:
            return dpi;
        case UnitDocument:
            return dpi / 300;
        case UnitMillimeter:
            return dpi / 25.4;
        default:
            return 0;
    }
}

Affine device_transform(const Graphics& g, const Target& t) {
    Affine page;
    page.m11 = unit_scale(g.page_unit, t.dpi_x) * g.page_scale;
    page.m22 = unit_scale(g.page_unit, t.dpi_y) * g.page_scale;
    return g.world.then(page);
}

double pixel_offset(const Graphics& g) {
    return g.pixel_offset == PixelOffsetModeHalf || g.pixel_offset == PixelOffsetModeHighQuality
               ? 0.0
               : 0.5;
}

DeviceBox device_box(const Affine& m, const GpPointF* points, int count, double pad) {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (int i = 0; i < count; ++i) {
        GpPointF p = m.apply(points[i].X, points[i].Y);
        x0 = std::min<double>(x0, p.X);
        y0 = std::min<double>(y0, p.Y);
        x1 = std::max<double>(x1, p.X);
        y1 = std::max<double>(y1, p.Y);
    }
    auto clamp = [](double v) { return int64_t(std::clamp(v, -1e9, 1e9)); };
    if (!(x0 <= x1) || !(y0 <= y1)) return {};
    return {clamp(std::floor(x0 - pad)), clamp(std::floor(y0 - pad)), clamp(std::ceil(x1 + pad)),
            clamp(std::ceil(y1 + pad))};
}

// ---- Canvas --------------------------------------------------------------------------

namespace {

// Formats that a premultiplied 8-bit copy gives back exactly for every pixel.
bool round_trips(PixelFormat f) {
    return f == PixelFormat24bppRGB || f == PixelFormat32bppRGB || f == PixelFormat32bppPARGB ||
           f == PixelFormat16bppRGB555 || f == PixelFormat16bppRGB565;
}

PixelView target_view(const Target& t, int32_t x, int32_t y, int32_t w, int32_t h) {
    return {t.scan0 + ptrdiff_t(y) * t.stride, w, h, t.stride, t.format, {}, x};
}

}  // namespace

GpStatus Canvas::open(const Target& t, int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool read) {
    m_target = t;
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, t.width);
    y1 = std::min<int64_t>(y1, t.height);
    if (!t.scan0 || x1 <= x0 || y1 <= y0) return Gdiplus::Ok;
    m_x0 = int32_t(x0);
    m_y0 = int32_t(y0);
    m_width = int32_t(x1 - x0);
    m_height = int32_t(y1 - y0);
    size_t n = size_t(m_width) * size_t(m_height);
    try {
        m_pixels.resize(n);
        if (read && !round_trips(t.format)) m_before.resize(n);
    } catch (const std::bad_alloc&) {
        m_width = m_height = 0;
        return Gdiplus::OutOfMemory;
    }
    if (!read) return Gdiplus::Ok;
    PixelView dst{reinterpret_cast<BYTE*>(m_pixels.data()),
                  m_width,
                  m_height,
                  4 * m_width,
                  PixelFormat32bppPARGB,
                  {},
                  0};
    GpStatus s = convert_pixels(as_const(target_view(t, m_x0, m_y0, m_width, m_height)), dst);
    if (s == Gdiplus::Ok && !m_before.empty()) m_before = m_pixels;
    return s;
}

cairo_t* Canvas::context() {
    if (empty()) return nullptr;
    if (!m_cr) {
        m_surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(m_pixels.data()), CAIRO_FORMAT_ARGB32, m_width,
            m_height, 4 * m_width);
        m_cr = cairo_create(m_surface);
        if (cairo_status(m_cr) != CAIRO_STATUS_SUCCESS) return nullptr;
    }
    cairo_identity_matrix(m_cr);
    cairo_translate(m_cr, -m_x0, -m_y0);
    return m_cr;
}

GpStatus Canvas::commit() {
    if (empty()) return Gdiplus::Ok;
    if (m_surface) cairo_surface_flush(m_surface);
    auto run = [&](int32_t y, int32_t x, int32_t n) {
        ConstPixelView src{
            reinterpret_cast<const BYTE*>(row(y) + x), n, 1, 4 * n, PixelFormat32bppPARGB, {}, 0};
        return convert_pixels(src, target_view(m_target, m_x0 + x, m_y0 + y, n, 1));
    };
    if (m_before.empty()) {
        ConstPixelView src{reinterpret_cast<const BYTE*>(m_pixels.data()),
                           m_width,
                           m_height,
                           4 * m_width,
                           PixelFormat32bppPARGB,
                           {},
                           0};
        return convert_pixels(src, target_view(m_target, m_x0, m_y0, m_width, m_height));
    }
    for (int32_t y = 0; y < m_height; ++y) {
        const uint32_t* now = row(y);
        const uint32_t* was = m_before.data() + size_t(y) * size_t(m_width);
        for (int32_t x = 0; x < m_width;) {
            if (now[x] == was[x]) {
                ++x;
                continue;
            }
            int32_t end = x + 1;
            while (end < m_width && now[end] != was[end]) ++end;
            if (GpStatus s = run(y, x, end - x); s != Gdiplus::Ok) return s;
            x = end;
        }
    }
    return Gdiplus::Ok;
}

Canvas::~Canvas() {
    if (m_cr) cairo_destroy(m_cr);
    if (m_surface) cairo_surface_destroy(m_surface);
}

// ---- Brushes -------------------------------------------------------------------------

namespace {

void add_stop(cairo_pattern_t* p, double at, ARGB c) {
    cairo_pattern_add_color_stop_rgba(p, at, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0,
                                      (c & 255) / 255.0, (c >> 24) / 255.0);
}

cairo_extend_t extend_of(WrapMode w) {
    switch (w) {
        case WrapModeClamp:
            return CAIRO_EXTEND_PAD;
        case WrapModeTile:
            return CAIRO_EXTEND_REPEAT;
        default:
            return CAIRO_EXTEND_REFLECT;
    }
}

}  // namespace

void set_argb_source(cairo_t* cr, ARGB c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0,
                          (c & 255) / 255.0, (c >> 24) / 255.0);
}

GpStatus set_brush_source(cairo_t* cr, const Brush& b) {
    cairo_pattern_t* p = nullptr;
    switch (b.type) {
        case BrushTypeSolidColor:
            set_argb_source(cr, b.color);
            return Gdiplus::Ok;
        case BrushTypeLinearGradient: {
            double x0 = b.rect.X, y0 = b.rect.Y, x1 = x0 + b.rect.Width, y1 = y0 + b.rect.Height;
            if (b.mode == LinearGradientModeHorizontal) y1 = y0;
            if (b.mode == LinearGradientModeVertical) x1 = x0;
            if (b.mode == LinearGradientModeBackwardDiagonal) std::swap(x0, x1);
            p = cairo_pattern_create_linear(x0, y0, x1, y1);
            add_stop(p, 0, b.color);
            add_stop(p, 1, b.color2);
            break;
        }
        case BrushTypeTextureFill: {
            cairo_surface_t* s = cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(b.texture.data())),
                CAIRO_FORMAT_ARGB32, b.tex_width, b.tex_height, 4 * b.tex_width);
            p = cairo_pattern_create_for_surface(s);
            cairo_surface_destroy(s);  // the pattern holds it; the pixels stay the brush's
            cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
            break;
        }
        default:
            return Gdiplus::NotImplemented;
    }
    cairo_pattern_set_extend(p, extend_of(b.wrap));
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

std::string utf8_of(const WCHAR* text, INT length) {
    std::string out;
    if (!text) return out;
    size_t n = length < 0 ? std::char_traits<char16_t>::length(text) : size_t(length);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 63));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 63));
            out += char(0x80 | (c & 63));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 63));
            out += char(0x80 | ((c >> 6) & 63));
            out += char(0x80 | (c & 63));
        }
    }
    return out;
}

}  // namespace gdip

using namespace gdip;

namespace {

Graphics* graphics_of(GpGraphics h) {
    return find_object<Graphics>(h);
}

template <class F>
GpStatus with_graphics(GpGraphics h, F&& f) {
    Graphics* g = graphics_of(h);
    return g ? f(*g) : Gdiplus::InvalidParameter;
}

// Fills or strokes a path that `build` makes in world space, on the device box it covers.
template <class Build>
GpStatus paint(Graphics& g, const GpPointF* corners, int count, double pad, Build&& build) {
    Target t;
    if (GpStatus s = target_of(g, &t); s != Gdiplus::Ok) return s;
    if (!t.scan0) return Gdiplus::Ok;
    Affine m = device_transform(g, t);
    DeviceBox box = device_box(m, corners, count, pad + 1);
    Canvas canvas;
    if (GpStatus s = canvas.open(t, box.x0, box.y0, box.x1, box.y1); s != Gdiplus::Ok) return s;
    if (canvas.empty()) return Gdiplus::Ok;
    cairo_t* cr = canvas.context();
    if (!cr) return Gdiplus::OutOfMemory;
    double offset = pixel_offset(g);
    cairo_translate(cr, offset, offset);
    cairo_matrix_t cm = m.cairo();
    cairo_transform(cr, &cm);
    bool smooth = g.smoothing == SmoothingModeAntiAlias || g.smoothing == SmoothingModeHighQuality;
    cairo_set_antialias(cr, smooth ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    if (g.compositing_mode == CompositingModeSourceCopy)
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (GpStatus s = build(cr); s != Gdiplus::Ok) return s;
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return Gdiplus::OutOfMemory;
    return canvas.commit();
}

bool finite_rect(REAL x, REAL y, REAL w, REAL h) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h);
}

}  // namespace

GpStatus GdipCreateFromHDC(HDC dc, GpGraphics* graphics) {
    if (!graphics) return Gdiplus::InvalidParameter;
    *graphics = 0;
    if (!gdip::session_started()) return Gdiplus::GdiplusNotInitialized;
    if (!dc || GetDeviceCaps(dc, BITSPIXEL) == 0) return Gdiplus::OutOfMemory;
    Graphics g;
    g.dc = dc;
    return add_object(std::move(g), graphics);
}

GpStatus GdipCreateFromHWND(HWND window, GpGraphics* graphics) {
    if (!graphics) return Gdiplus::InvalidParameter;
    *graphics = 0;
    if (!gdip::session_started()) return Gdiplus::GdiplusNotInitialized;
    // The window's device context must draw into the window's own pixels.
    HDC dc = window ? GetDC(window) : 0;
    win::Surface s;
    bool ok = dc && win::GetSurface(dc, &s);
    if (!ok) {
        if (dc) ReleaseDC(window, dc);
        return Gdiplus::OutOfMemory;
    }
    Graphics g;
    g.dc = dc;
    return add_object(std::move(g), graphics);
}

GpStatus GdipGetImageGraphicsContext(GpImage image, GpGraphics* graphics) {
    if (!graphics) return Gdiplus::InvalidParameter;
    *graphics = 0;
    Image* img = find_image(image);
    if (!img) return Gdiplus::InvalidParameter;
    // Indexed bitmaps cannot be drawn on: the platform answers OutOfMemory.
    if (img->kind != ImageKind::Bitmap || is_indexed(img->frame().format))
        return Gdiplus::OutOfMemory;
    Graphics g;
    g.image = image;
    return add_object(std::move(g), graphics);
}

GpStatus GdipDeleteGraphics(GpGraphics graphics) {
    if (!graphics_of(graphics)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(graphics);
    return Gdiplus::Ok;
}

#define LUM_GRAPHICS_PROPERTY(Name, Type, field, valid)        \
    GpStatus GdipSet##Name(GpGraphics graphics, Type value) {  \
        return with_graphics(graphics, [&](Graphics& g) {      \
            if (!(valid)) return Gdiplus::InvalidParameter;    \
            g.field = value;                                   \
            return Gdiplus::Ok;                                \
        });                                                    \
    }                                                          \
    GpStatus GdipGet##Name(GpGraphics graphics, Type* value) { \
        if (!value) return Gdiplus::InvalidParameter;          \
        return with_graphics(graphics, [&](Graphics& g) {      \
            *value = g.field;                                  \
            return Gdiplus::Ok;                                \
        });                                                    \
    }

LUM_GRAPHICS_PROPERTY(SmoothingMode, SmoothingMode, smoothing, value >= 0 && value <= 4)
LUM_GRAPHICS_PROPERTY(CompositingQuality, CompositingQuality, compositing_quality,
                      value >= 0 && value <= 4)
LUM_GRAPHICS_PROPERTY(CompositingMode, CompositingMode, compositing_mode, value >= 0 && value <= 1)
LUM_GRAPHICS_PROPERTY(PixelOffsetMode, PixelOffsetMode, pixel_offset, value >= 0 && value <= 4)
LUM_GRAPHICS_PROPERTY(TextRenderingHint, TextRenderingHint, text_hint, value >= 0 && value <= 5)
LUM_GRAPHICS_PROPERTY(PageUnit, GpUnit, page_unit, value >= 1 && value <= 6)
LUM_GRAPHICS_PROPERTY(PageScale, REAL, page_scale, std::isfinite(value) && value > 0)
#undef LUM_GRAPHICS_PROPERTY

GpStatus GdipSetInterpolationMode(GpGraphics graphics, InterpolationMode mode) {
    return with_graphics(graphics, [&](Graphics& g) {
        if (mode < 0 || mode > 7) return Gdiplus::InvalidParameter;
        // The platform keeps what the quality names stand for.
        if (mode == InterpolationModeDefault || mode == InterpolationModeLowQuality)
            mode = InterpolationModeBilinear;
        if (mode == InterpolationModeHighQuality) mode = InterpolationModeHighQualityBicubic;
        g.interpolation = mode;
        return Gdiplus::Ok;
    });
}

GpStatus GdipGetInterpolationMode(GpGraphics graphics, InterpolationMode* mode) {
    if (!mode) return Gdiplus::InvalidParameter;
    return with_graphics(graphics, [&](Graphics& g) {
        *mode = g.interpolation;
        return Gdiplus::Ok;
    });
}

GpStatus GdipGetDpiX(GpGraphics graphics, REAL* dpi) {
    if (!dpi) return Gdiplus::InvalidParameter;
    return with_graphics(graphics, [&](Graphics& g) {
        Target t;
        GpStatus s = target_of(g, &t);
        *dpi = t.dpi_x;
        return s;
    });
}

GpStatus GdipGetDpiY(GpGraphics graphics, REAL* dpi) {
    if (!dpi) return Gdiplus::InvalidParameter;
    return with_graphics(graphics, [&](Graphics& g) {
        Target t;
        GpStatus s = target_of(g, &t);
        *dpi = t.dpi_y;
        return s;
    });
}

// ---- Transforms ------------------------------------------------------------------------

namespace {

GpStatus combine(GpGraphics graphics, const Affine& m, MatrixOrder order) {
    return with_graphics(graphics, [&](Graphics& g) {
        if (order != MatrixOrderPrepend && order != MatrixOrderAppend)
            return Gdiplus::InvalidParameter;
        g.world = order == MatrixOrderAppend ? g.world.then(m) : m.then(g.world);
        return Gdiplus::Ok;
    });
}

}  // namespace

GpStatus GdipResetWorldTransform(GpGraphics graphics) {
    return with_graphics(graphics, [](Graphics& g) {
        g.world = Affine{};
        return Gdiplus::Ok;
    });
}

GpStatus GdipRotateWorldTransform(GpGraphics graphics, REAL angle, MatrixOrder order) {
    if (!std::isfinite(angle)) return Gdiplus::InvalidParameter;
    double r = double(angle) * M_PI / 180, c = std::cos(r), s = std::sin(r);
    // Whole quarter turns are exact, as the platform's matrices are.
    if (std::fmod(double(angle), 90.0) == 0) {
        c = std::round(c);
        s = std::round(s);
    }
    return combine(graphics, Affine{c, s, -s, c, 0, 0}, order);
}

GpStatus GdipTranslateWorldTransform(GpGraphics graphics, REAL dx, REAL dy, MatrixOrder order) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return Gdiplus::InvalidParameter;
    return combine(graphics, Affine{1, 0, 0, 1, dx, dy}, order);
}

GpStatus GdipScaleWorldTransform(GpGraphics graphics, REAL sx, REAL sy, MatrixOrder order) {
    if (!std::isfinite(sx) || !std::isfinite(sy)) return Gdiplus::InvalidParameter;
    return combine(graphics, Affine{sx, 0, 0, sy, 0, 0}, order);
}

GpStatus LumGdipGetWorldTransformElements(GpGraphics graphics, REAL e[6]) {
    if (!e) return Gdiplus::InvalidParameter;
    return with_graphics(graphics, [&](Graphics& g) {
        const Affine& w = g.world;
        e[0] = REAL(w.m11), e[1] = REAL(w.m12), e[2] = REAL(w.m21), e[3] = REAL(w.m22);
        e[4] = REAL(w.dx), e[5] = REAL(w.dy);
        return Gdiplus::Ok;
    });
}

GpStatus GdipTransformPoints(GpGraphics graphics, CoordinateSpace destination,
                             CoordinateSpace source, GpPointF* points, INT count) {
    if (!points || count <= 0 || destination < 0 || destination > 2 || source < 0 || source > 2)
        return Gdiplus::InvalidParameter;
    return with_graphics(graphics, [&](Graphics& g) {
        Target t;
        if (GpStatus s = target_of(g, &t); s != Gdiplus::Ok) return s;
        // Each space to device: world by the whole transform, page by the page part.
        Affine page = Affine{}.then(
            device_transform(Graphics{.page_unit = g.page_unit, .page_scale = g.page_scale}, t));
        Affine world = device_transform(g, t);
        auto to_device = [&](CoordinateSpace c) {
            return c == CoordinateSpaceWorld ? world : c == CoordinateSpacePage ? page : Affine{};
        };
        auto back = to_device(destination).inverse();
        if (!back) return Gdiplus::InvalidParameter;
        Affine m = to_device(source).then(*back);
        for (INT i = 0; i < count; ++i) points[i] = m.apply(points[i].X, points[i].Y);
        return Gdiplus::Ok;
    });
}

// ---- Clearing and rectangles -------------------------------------------------------------

GpStatus GdipGraphicsClear(GpGraphics graphics, ARGB color) {
    return with_graphics(graphics, [&](Graphics& g) {
        Target t;
        if (GpStatus s = target_of(g, &t); s != Gdiplus::Ok) return s;
        if (!t.scan0) return Gdiplus::Ok;
        // Every pixel becomes the colour, written in the target's format directly.
        ConstPixelView one{
            reinterpret_cast<const BYTE*>(&color), 1, 1, 4, PixelFormat32bppARGB, {}, 0};
        std::vector<BYTE> packed(8);
        PixelView p{packed.data(), 1, 1, 8, t.format, {}, 0};
        if (GpStatus s = convert_pixels(one, p); s != Gdiplus::Ok) return s;
        int bpp = pixel_format_bits(t.format) / 8;
        for (int32_t y = 0; y < t.height; ++y) {
            BYTE* row = t.scan0 + ptrdiff_t(y) * t.stride;
            if (bpp == 4) {
                uint32_t v;
                std::memcpy(&v, packed.data(), 4);
                std::fill_n(reinterpret_cast<uint32_t*>(row), t.width, v);
            } else {
                for (int32_t x = 0; x < t.width; ++x)
                    std::memcpy(row + x * bpp, packed.data(), bpp);
            }
        }
        return Gdiplus::Ok;
    });
}

// Each rectangle as a path of its own, painted by `finish` (a fill or a stroke) within `pad`
// device pixels of its corners; `skip_empty` leaves out rectangles without area.
template <class Finish>
GpStatus paint_rects(GpGraphics graphics, const GpRectF* rects, INT count, double pad,
                     bool skip_empty, Finish&& finish) {
    return with_graphics(graphics, [&](Graphics& g) {
        for (INT i = 0; i < count; ++i) {
            const GpRectF& r = rects[i];
            if (!finite_rect(r.X, r.Y, r.Width, r.Height)) return Gdiplus::InvalidParameter;
            if (skip_empty && (r.Width <= 0 || r.Height <= 0)) continue;
            auto corners = corners_of(r.X, r.Y, r.X + r.Width, r.Y + r.Height);
            GpStatus s = paint(g, corners.data(), 4, pad, [&](cairo_t* cr) {
                cairo_rectangle(cr, r.X, r.Y, r.Width, r.Height);
                return finish(cr);
            });
            if (s != Gdiplus::Ok) return s;
        }
        return Gdiplus::Ok;
    });
}

GpStatus GdipFillRectangles(GpGraphics graphics, GpBrush brush, const GpRectF* rects, INT count) {
    Brush* b = find_object<Brush>(brush);
    if (!b || !rects || count <= 0) return Gdiplus::InvalidParameter;
    return paint_rects(graphics, rects, count, 0, true, [&](cairo_t* cr) {
        if (GpStatus bs = set_brush_source(cr, *b); bs != Gdiplus::Ok) return bs;
        cairo_fill(cr);
        return Gdiplus::Ok;
    });
}

GpStatus GdipFillRectangle(GpGraphics graphics, GpBrush brush, REAL x, REAL y, REAL width,
                           REAL height) {
    GpRectF r{x, y, width, height};
    return GdipFillRectangles(graphics, brush, &r, 1);
}

GpStatus GdipFillRectangleI(GpGraphics graphics, GpBrush brush, INT x, INT y, INT width,
                            INT height) {
    return GdipFillRectangle(graphics, brush, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipDrawRectangles(GpGraphics graphics, GpPen pen, const GpRectF* rects, INT count) {
    Pen* p = find_object<Pen>(pen);
    if (!p || !rects || count <= 0) return Gdiplus::InvalidParameter;
    return paint_rects(graphics, rects, count, p->width, false, [&](cairo_t* cr) {
        set_argb_source(cr, p->color);
        // A pen thinner than a pixel still draws one pixel wide.
        double w = p->width, dx = 1, dy = 0;
        cairo_user_to_device_distance(cr, &dx, &dy);
        double scale = std::hypot(dx, dy);
        cairo_set_line_width(cr, std::max(w, scale > 0 ? 1 / scale : w));
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_stroke(cr);
        return Gdiplus::Ok;
    });
}

GpStatus GdipDrawRectangle(GpGraphics graphics, GpPen pen, REAL x, REAL y, REAL width,
                           REAL height) {
    GpRectF r{x, y, width, height};
    return GdipDrawRectangles(graphics, pen, &r, 1);
}

GpStatus GdipDrawRectangleI(GpGraphics graphics, GpPen pen, INT x, INT y, INT width, INT height) {
    return GdipDrawRectangle(graphics, pen, REAL(x), REAL(y), REAL(width), REAL(height));
}

// ---- Brushes and pens ----------------------------------------------------------------

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill* brush) {
    Brush b;
    b.color = color;
    return add_object(std::move(b), brush);
}

GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2,
                                     LinearGradientMode mode, WrapMode wrap,
                                     GpLineGradient* brush) {
    if (!brush) return Gdiplus::InvalidParameter;
    *brush = 0;
    if (!rect || mode < 0 || mode > 3 || wrap < 0 || wrap > 4) return Gdiplus::InvalidParameter;
    // A gradient needs a direction: an empty rectangle has none.
    if (!finite_rect(rect->X, rect->Y, rect->Width, rect->Height) || rect->Width == 0 ||
        rect->Height == 0)
        return Gdiplus::OutOfMemory;
    Brush b;
    b.type = BrushTypeLinearGradient;
    b.rect = *rect;
    b.color = color1;
    b.color2 = color2;
    b.mode = mode;
    b.wrap = wrap;
    return add_object(std::move(b), brush);
}

GpStatus GdipCreateTexture(GpImage image, WrapMode wrap, GpTexture* brush) {
    if (!brush) return Gdiplus::InvalidParameter;
    *brush = 0;
    Image* img = find_bitmap(image);
    if (!img || wrap < 0 || wrap > 4) return Gdiplus::InvalidParameter;
    const Frame& f = img->frame();
    Brush b;
    b.type = BrushTypeTextureFill;
    b.wrap = wrap;
    b.tex_width = f.width;
    b.tex_height = f.height;
    GpStatus s = guarded([&] {
        b.texture.resize(size_t(f.width) * size_t(f.height));
        PixelView dst{reinterpret_cast<BYTE*>(b.texture.data()),
                      f.width,
                      f.height,
                      4 * f.width,
                      PixelFormat32bppPARGB,
                      {},
                      0};
        return convert_pixels(frame_view(f), dst);
    });
    if (s != Gdiplus::Ok) return s;
    return add_object(std::move(b), brush);
}

GpStatus GdipGetBrushType(GpBrush brush, BrushType* type) {
    Brush* b = find_object<Brush>(brush);
    if (!b || !type) return Gdiplus::InvalidParameter;
    *type = b->type;
    return Gdiplus::Ok;
}

GpStatus GdipDeleteBrush(GpBrush brush) {
    if (!find_object<Brush>(brush)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(brush);
    return Gdiplus::Ok;
}

GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen* pen) {
    if (!pen) return Gdiplus::InvalidParameter;
    *pen = 0;
    if (!std::isfinite(width) || width < 0 || unit < 0 || unit > 6 || unit == UnitDisplay)
        return Gdiplus::InvalidParameter;
    return add_object(Pen{color, width, unit}, pen);
}

GpStatus GdipDeletePen(GpPen pen) {
    if (!find_object<Pen>(pen)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(pen);
    return Gdiplus::Ok;
}
