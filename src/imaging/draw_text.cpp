#include "imaging/draw_text.h"

#include "imaging/image_props.h"

namespace modGdiplus {
namespace {

// A GDI+ object deleted when it goes out of scope; declared in creation order, so deleted in
// reverse.
template <GpStatus (*Delete)(uint32_t)>
struct Owned {
    uint32_t h = 0;
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (h) (void)Delete(h);
    }
};
using Family = Owned<GdipDeleteFontFamily>;
using Graphics = Owned<GdipDeleteGraphics>;
using Brush = Owned<GdipDeleteBrush>;
using Font = Owned<GdipDeleteFont>;
using Format = Owned<GdipDeleteStringFormat>;
using Pen = Owned<GdipDeletePen>;
using Picture = Owned<GdipDisposeImage>;

EngineStatus find_family(const std::string& name, Family& family) {
    std::u16string wide = Utf16Of(name);
    return GdipCreateFontFamilyFromName(reinterpret_cast<const WCHAR*>(wide.c_str()), 0, &family.h);
}

// The texture image; the one place a file is loaded for drawing.
EngineStatus load_texture(const std::string& path, Picture& image) {
    return GdipLoadImageFromFile(path.c_str(), &image.h);
}

EngineStatus measure(GpGraphics g, const std::u16string& text, GpFont font, const GpRectF& layout,
                     GpRectF& box) {
    return GdipMeasureString(g, reinterpret_cast<const WCHAR*>(text.c_str()), -1, font, &layout, 0,
                             &box, nullptr, nullptr);
}

EngineStatus draw_text(GpImage image, const std::u16string& text, float x, float y, float angle,
                       const TextFont& tf, const TextFill& fill) {
    Family family;
    if (EngineStatus s = find_family(tf.name, family); s != Gdiplus::Ok) return s;
    Graphics g;
    if (EngineStatus s = GetImageGraphics(image, 0, g.h); s != Gdiplus::Ok) return s;
    TextRenderingHint hint =
        tf.anti_alias ? TextRenderingHintAntiAlias : TextRenderingHintSingleBitPerPixel;
    if (EngineStatus s = GdipSetTextRenderingHint(g.h, hint); s != Gdiplus::Ok) return s;
    Brush brush, back;
    if (fill.kind == TextFill::Solid)
        if (EngineStatus s = GdipCreateSolidFill(fill.color, &brush.h); s != Gdiplus::Ok) return s;
    if (fill.background)
        if (EngineStatus s = GdipCreateSolidFill(fill.back_color, &back.h); s != Gdiplus::Ok)
            return s;
    Font font;
    if (EngineStatus s = GdipCreateFont(family.h, tf.height, tf.style, GpUnit(tf.unit), &font.h);
        s != Gdiplus::Ok)
        return s;
    GpRectF layout{x, y, 0, 0};
    if (angle != 0) {
        if (EngineStatus s = GdipRotateWorldTransform(g.h, angle, MatrixOrderAppend);
            s != Gdiplus::Ok)
            return s;
        // The text starts at the given point of the image and runs at the angle.
        GpPointF p{x, y};
        if (EngineStatus s =
                GdipTransformPoints(g.h, CoordinateSpaceWorld, CoordinateSpaceDevice, &p, 1);
            s != Gdiplus::Ok)
            return s;
        layout.X = p.X;
        layout.Y = p.Y;
        if (fill.background) {
            SmoothingMode m = tf.anti_alias ? SmoothingModeAntiAlias : SmoothingModeNone;
            if (EngineStatus s = GdipSetSmoothingMode(g.h, m); s != Gdiplus::Ok) return s;
        }
    }
    GpRectF box;
    if (fill.background || fill.kind != TextFill::Solid)
        if (EngineStatus s = measure(g.h, text, font.h, layout, box); s != Gdiplus::Ok) return s;
    if (fill.background)
        if (EngineStatus s = GdipFillRectangles(g.h, back.h, &box, 1); s != Gdiplus::Ok) return s;
    Picture texture;
    if (fill.kind == TextFill::Gradient) {
        // An empty text has no box to spread a gradient over, and nothing to fill.
        if (box.Width <= 0 || box.Height <= 0) return Gdiplus::Ok;
        if (EngineStatus s =
                GdipCreateLineBrushFromRect(&box, fill.color, fill.end_color,
                                            LinearGradientModeHorizontal, WrapModeTile, &brush.h);
            s != Gdiplus::Ok)
            return s;
    } else if (fill.kind == TextFill::Texture) {
        if (EngineStatus s = load_texture(fill.texture_path, texture); s != Gdiplus::Ok) return s;
        if (EngineStatus s = GdipCreateTexture(texture.h, WrapModeTile, &brush.h); s != Gdiplus::Ok)
            return s;
    }
    return GdipDrawString(g.h, reinterpret_cast<const WCHAR*>(text.c_str()), -1, font.h, &layout, 0,
                          brush.h);
}

GpStatus display_once(GpGraphics g, GpImage image, float x, float y, float w, float h,
                      const SourceRect* src, int32_t smoothing, int32_t interpolation) {
    GdipSetSmoothingMode(g, SmoothingMode(smoothing));
    GdipSetInterpolationMode(g, InterpolationMode(interpolation));
    GdipSetCompositingQuality(g, CompositingQualityHighSpeed);
    GdipSetPixelOffsetMode(g, PixelOffsetModeNone);
    if (!src) return GdipDrawImageRect(g, image, x, y, w, h);
    return GdipDrawImageRectRectI(g, image, INT(x), INT(y), INT(w), INT(h), src->x, src->y,
                                  src->width, src->height, UnitPixel, 0, nullptr, nullptr);
}

}  // namespace

std::u16string Utf16Of(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t v = 0xFFFD;
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (c >= 0x80 && c < 0xC0) len = 1;  // a stray continuation byte
        if (i + len > text.size()) len = text.size() - i;
        if (c < 0x80)
            v = c;
        else if (len == 2)
            v = char32_t(c & 0x1F) << 6 | (text[i + 1] & 0x3F);
        else if (len == 3)
            v = char32_t(c & 0x0F) << 12 | char32_t(text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
        else if (len == 4)
            v = char32_t(c & 0x07) << 18 | char32_t(text[i + 1] & 0x3F) << 12 |
                char32_t(text[i + 2] & 0x3F) << 6 | (text[i + 3] & 0x3F);
        i += len;
        if (v >= 0x10000 && v < 0x110000) {
            v -= 0x10000;
            out += char16_t(0xD800 + (v >> 10));
            out += char16_t(0xDC00 + (v & 0x3FF));
        } else {
            out += char16_t(v < 0x110000 ? v : 0xFFFD);
        }
    }
    return out;
}

EngineStatus DrawImageText(GpImage image, const std::string& text, float x, float y, float angle,
                           const TextFont& font, const TextFill& fill) {
    if (image == 0) return Gdiplus::InvalidParameter;
    return draw_text(image, Utf16Of(text), x, y, angle, font, fill);
}

EngineStatus DrawImageTextBox(GpImage image, const std::string& text, float left, float top,
                              float width, float height, int32_t alignment, const TextFont& tf,
                              ARGB color, bool draw_box) {
    if (image == 0) return Gdiplus::InvalidParameter;
    Graphics g;
    if (EngineStatus s = GetImageGraphics(image, 0, g.h); s != Gdiplus::Ok) return s;
    Brush brush;
    if (EngineStatus s = GdipCreateSolidFill(color, &brush.h); s != Gdiplus::Ok) return s;
    Family family;
    if (EngineStatus s = find_family(tf.name, family); s != Gdiplus::Ok) return s;
    Font font;
    if (EngineStatus s = GdipCreateFont(family.h, tf.height, tf.style, GpUnit(tf.unit), &font.h);
        s != Gdiplus::Ok)
        return s;
    Format format;
    if (EngineStatus s = GdipCreateStringFormat(0, LANG_NEUTRAL, &format.h); s != Gdiplus::Ok)
        return s;
    if (EngineStatus s = GdipSetStringFormatAlign(format.h, StringAlignment(alignment));
        s != Gdiplus::Ok)
        return s;
    if (EngineStatus s = GdipSetStringFormatLineAlign(format.h, StringAlignment(alignment));
        s != Gdiplus::Ok)
        return s;
    std::u16string wide = Utf16Of(text);
    GpRectF rect{left, top, width, height};
    EngineStatus s = GdipDrawString(g.h, reinterpret_cast<const WCHAR*>(wide.c_str()), -1, font.h,
                                    &rect, format.h, brush.h);
    if (draw_box) {
        Pen pen;
        s = GdipCreatePen1(0xFF000000, 1, UnitPixel, &pen.h);
        if (s == Gdiplus::Ok) s = GdipDrawRectangles(g.h, pen.h, &rect, 1);
    }
    return s;
}

EngineStatus FontIsStyleAvailable(const std::string& name, int32_t style, bool& available) {
    available = false;
    Family family;
    EngineStatus s = find_family(name, family);
    if (s != Gdiplus::Ok) return s;
    BOOL yes = FALSE;
    if (GdipIsStyleAvailable(family.h, style, &yes) == Gdiplus::Ok) available = yes == 1;
    return s;
}

EngineStatus DisplayOnDevice(GpImage image, const DeviceTarget& target, float x, float y, float w,
                             float h, const SourceRect* source, int32_t smoothing,
                             int32_t interpolation, int32_t page_unit) {
    if (image == 0) return Gdiplus::InvalidParameter;
    Graphics g;
    EngineStatus s =
        target.dc ? GdipCreateFromHDC(target.dc, &g.h) : GdipCreateFromHWND(target.window, &g.h);
    if (s != Gdiplus::Ok) return s;
    if (smoothing < 0 || smoothing > 4) smoothing = SmoothingModeNone;
    if (interpolation < 0 || interpolation > 7) interpolation = InterpolationModeNearestNeighbor;
    if (target.dc && !source && page_unit != UnitPixel) GdipSetPageUnit(g.h, GpUnit(page_unit));
    s = display_once(g.h, image, x, y, w, h, source, smoothing, interpolation);
    if (s != Gdiplus::Ok)
        s = display_once(g.h, image, x, y, w, h, source, SmoothingModeNone,
                         InterpolationModeNearestNeighbor);
    return s;
}

}  // namespace modGdiplus
