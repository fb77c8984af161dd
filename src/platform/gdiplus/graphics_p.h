// Graphics objects of the gdiplus stand-in, shared by graphics.cpp, draw_image.cpp and
// text.cpp: one per-thread table holds graphics, brushes, pens, fonts, families and formats.
#pragma once

#include <cairo.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/gdiplus/pixels_p.h"

namespace gdip {

// Affine map x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy, as the platform's Matrix.
struct Affine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    GpPointF apply(double x, double y) const {
        return {REAL(m11 * x + m21 * y + dx), REAL(m12 * x + m22 * y + dy)};
    }
    // this, then `next`.
    Affine then(const Affine& next) const;
    std::optional<Affine> inverse() const;
    bool is_scale_translate() const { return m12 == 0 && m21 == 0; }
    cairo_matrix_t cairo() const { return {m11, m12, m21, m22, dx, dy}; }
};

struct Graphics {
    HDC dc = 0;         // either a device context with pixels ...
    GpImage image = 0;  // ... or a bitmap of a non-indexed format
    bool has_pixels = true;
    SmoothingMode smoothing = SmoothingModeNone;
    InterpolationMode interpolation = InterpolationModeBilinear;
    CompositingQuality compositing_quality = CompositingQualityDefault;
    CompositingMode compositing_mode = CompositingModeSourceOver;
    PixelOffsetMode pixel_offset = PixelOffsetModeDefault;
    TextRenderingHint text_hint = TextRenderingHintSystemDefault;
    GpUnit page_unit = UnitDisplay;
    REAL page_scale = 1;
    Affine world;
};

// Pixels a brush paints: one colour, a gradient between two colours along a rectangle, or
// a tiled copy of an image (straight ARGB rows).
struct Brush {
    BrushType type = BrushTypeSolidColor;
    ARGB color = 0;
    GpRectF rect;
    ARGB color2 = 0;
    LinearGradientMode mode = LinearGradientModeHorizontal;
    WrapMode wrap = WrapModeTile;
    int32_t tex_width = 0, tex_height = 0;
    std::vector<uint32_t> texture;  // premultiplied ARGB, stride 4 × tex_width
};

struct Pen {
    ARGB color = 0;
    REAL width = 1;
    GpUnit unit = UnitPixel;
};

struct FontFamily {
    std::string name;  // the installed family
};

struct Font {
    std::string family;
    REAL size = 0;
    INT style = 0;
    GpUnit unit = UnitPoint;
};

struct StringFormat {
    INT flags = 0;
    StringAlignment align = StringAlignmentNear;
    StringAlignment line_align = StringAlignmentNear;
};

struct FontCollection {};

using GraphicsObject =
    std::variant<Graphics, Brush, Pen, FontFamily, Font, StringFormat, FontCollection>;

platform::HandleTable<GraphicsObject>& graphics_objects();
// The object of type T behind a handle; null for an unknown one or one of another type.
template <class T>
T* find_object(uint32_t handle) {
    GraphicsObject* o = graphics_objects().find(handle);
    return o ? std::get_if<T>(o) : nullptr;
}
template <class T>
GpStatus add_object(T value, uint32_t* out) {
    if (!out) return Gdiplus::InvalidParameter;
    *out = graphics_objects().insert(std::make_unique<GraphicsObject>(std::move(value)));
    return *out ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

// The pixels a graphics object draws into.
struct Target {
    BYTE* scan0 = nullptr;
    int32_t width = 0, height = 0, stride = 0;
    PixelFormat format = PixelFormat32bppARGB;
    float dpi_x = 96, dpi_y = 96;
};
// InvalidParameter when the DC or the image went away; ok with has_pixels false when the
// graphics draws on a device without pixels (the screen).
GpStatus target_of(const Graphics& g, Target* out);

// Device pixels of one unit of `unit` on a target of `dpi`; 0 for UnitWorld.
double unit_scale(GpUnit unit, double dpi);
// World to device: the world transform, then the page unit and scale.
Affine device_transform(const Graphics& g, const Target& t);

// A device rectangle of a target as premultiplied ARGB32 (cairo's ARGB32), read at open and
// written back at commit; pixels that did not change keep their exact original value.
class Canvas {
  public:
    // Clips `x0, y0, x1, y1` (device pixels, exclusive end) to the target.
    [[nodiscard]] GpStatus open(const Target& t, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                                bool read = true);
    bool empty() const { return m_width <= 0 || m_height <= 0; }
    int32_t left() const { return m_x0; }
    int32_t top() const { return m_y0; }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    uint32_t* row(int32_t y) { return m_pixels.data() + size_t(y) * size_t(m_width); }
    // A cairo context on the canvas whose user space is device space; null on failure.
    cairo_t* context();
    [[nodiscard]] GpStatus commit();
    ~Canvas();

  private:
    Target m_target;
    int32_t m_x0 = 0, m_y0 = 0, m_width = 0, m_height = 0;
    std::vector<uint32_t> m_pixels, m_before;
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
};

// The device bounding box of `points` mapped by `m`, grown by `pad` pixels.
struct DeviceBox {
    int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
DeviceBox device_box(const Affine& m, const GpPointF* points, int count, double pad);
// The corners of the rectangle from (x0, y0) to (x1, y1), for device_box and paint.
inline std::array<GpPointF, 4> corners_of(double x0, double y0, double x1, double y1) {
    return {
        {{REAL(x0), REAL(y0)}, {REAL(x1), REAL(y0)}, {REAL(x0), REAL(y1)}, {REAL(x1), REAL(y1)}}};
}

// Sets the cairo source to the brush; `device` maps brush space (world) to device space.
GpStatus set_brush_source(cairo_t* cr, const Brush& brush);
// A solid ARGB colour as cairo's source.
void set_argb_source(cairo_t* cr, ARGB c);
// The offset cairo coordinates need so that world coordinates address pixel centres as the
// pixel offset mode says (0.5 for the modes that put centres on whole coordinates).
double pixel_offset(const Graphics& g);

// UTF-16 (length -1: NUL-terminated) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf8_of(const WCHAR* text, INT length);

}  // namespace gdip
