// Font families, fonts, string formats and text: laid out by pango, drawn by cairo with the
// graphics' brush, transform and text rendering hint.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/gdiplus/graphics_p.h"
#include "platform/win/font.h"

using namespace gdip;

namespace {

struct LayoutFree {
    void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutFree>;

// Pixels of the target per font unit; 0 for a unit a font cannot have.
double font_pixels(const Font& f, double dpi) {
    if (f.unit == UnitWorld) return f.size;
    return f.unit == UnitDisplay ? 0 : f.size * unit_scale(f.unit, dpi);
}

// Text options every layout of this stand-in shares, so that measuring and drawing agree.
void set_options(cairo_t* cr, TextRenderingHint hint) {
    cairo_font_options_t* o = cairo_font_options_create();
    bool one_bit = hint == TextRenderingHintSingleBitPerPixel ||
                   hint == TextRenderingHintSingleBitPerPixelGridFit;
    cairo_font_options_set_antialias(o, one_bit ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

struct TextBox {
    double x = 0, y = 0, w = 0, h = 0;  // the logical box in world coordinates
    double ink_x0 = 0, ink_y0 = 0, ink_x1 = 0, ink_y1 = 0;
    int lines = 0;
};

// Lays the text out for `rect` (its size 0 means no wrapping or clipping that way) and says
// where its box lands; `user_per_pixel` turns the font's pixels into world units.
Layout make_layout(cairo_t* cr, const std::string& text, const Font& font, double font_px,
                   const GpRectF& rect, const StringFormat& fmt, TextBox* box) {
    Layout layout(pango_cairo_create_layout(cr));
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.family.c_str());
    pango_font_description_set_absolute_size(d, font_px * PANGO_SCALE);
    pango_font_description_set_weight(
        d, font.style & FontStyleBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(
        d, font.style & FontStyleItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), d);
    pango_font_description_free(d);
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.style & FontStyleUnderline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.style & FontStyleStrikeout)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout.get(), attrs);
    pango_attr_list_unref(attrs);
    pango_layout_set_text(layout.get(), text.c_str(), int(text.size()));
    bool wrap = rect.Width > 0 && !(fmt.flags & StringFormatFlagsNoWrap);
    auto align = fmt.align == StringAlignmentCenter ? PANGO_ALIGN_CENTER
                 : fmt.align == StringAlignmentFar  ? PANGO_ALIGN_RIGHT
                                                    : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(layout.get(), align);
    if (wrap) {
        pango_layout_set_width(layout.get(), int(std::lround(rect.Width * PANGO_SCALE)));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout.get(), &ink, &logical);
    double lw = logical.width / double(PANGO_SCALE), lh = logical.height / double(PANGO_SCALE);
    double lx = logical.x / double(PANGO_SCALE);
    // Without a width, the alignment places the block against the point.
    double ox = rect.X, oy = rect.Y;
    if (!wrap && rect.Width > 0)
        ox += fmt.align == StringAlignmentCenter ? (rect.Width - lw) / 2
              : fmt.align == StringAlignmentFar  ? rect.Width - lw
                                                 : 0;
    if (!wrap && rect.Width <= 0)
        ox -= fmt.align == StringAlignmentCenter ? lw / 2
              : fmt.align == StringAlignmentFar  ? lw
                                                 : 0;
    if (rect.Height > 0)
        oy += fmt.line_align == StringAlignmentCenter ? (rect.Height - lh) / 2
              : fmt.line_align == StringAlignmentFar  ? rect.Height - lh
                                                      : 0;
    else
        oy -= fmt.line_align == StringAlignmentCenter ? lh / 2
              : fmt.line_align == StringAlignmentFar  ? lh
                                                      : 0;
    box->x = ox + (wrap ? lx : 0);
    box->y = oy;
    box->w = text.empty() ? 0 : lw;
    box->h = text.empty() ? 0 : lh;
    box->ink_x0 = ox + ink.x / double(PANGO_SCALE);
    box->ink_y0 = oy + ink.y / double(PANGO_SCALE);
    box->ink_x1 = box->ink_x0 + ink.width / double(PANGO_SCALE);
    box->ink_y1 = box->ink_y0 + ink.height / double(PANGO_SCALE);
    box->lines = text.empty() ? 0 : pango_layout_get_line_count(layout.get());
    box->ink_x0 = std::min(box->ink_x0, box->x);
    box->ink_x1 = std::max(box->ink_x1, box->x + box->w);
    box->ink_y0 = std::min(box->ink_y0, box->y);
    box->ink_y1 = std::max(box->ink_y1, box->y + box->h);
    return layout;
}

struct Scratch {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    ~Scratch() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

struct TextCall {
    Graphics* g = nullptr;
    Font* font = nullptr;
    StringFormat fmt;
    Target target;
    double font_px = 0;  // world units per em
};

GpStatus prepare(GpGraphics graphics, GpFont font, GpStringFormat format, const GpRectF* layout,
                 TextCall* call) {
    call->g = find_object<Graphics>(graphics);
    call->font = find_object<Font>(font);
    if (!call->g || !call->font || !layout) return Gdiplus::InvalidParameter;
    if (!std::isfinite(layout->X) || !std::isfinite(layout->Y) || !std::isfinite(layout->Width) ||
        !std::isfinite(layout->Height) || std::abs(layout->Width) > 1e7f)
        return Gdiplus::InvalidParameter;
    if (format) {
        StringFormat* f = find_object<StringFormat>(format);
        if (!f) return Gdiplus::InvalidParameter;
        call->fmt = *f;
    }
    if (GpStatus s = target_of(*call->g, &call->target); s != Gdiplus::Ok) return s;
    double page = unit_scale(call->g->page_unit, call->target.dpi_y) * call->g->page_scale;
    double px = font_pixels(*call->font, call->target.dpi_y);
    if (px <= 0 || page <= 0) return Gdiplus::InvalidParameter;
    // World-unit fonts scale with the page; the others are absolute sizes on the device.
    call->font_px = call->font->unit == UnitWorld ? px : px / page;
    return Gdiplus::Ok;
}

}  // namespace

// ---- Families and collections ------------------------------------------------------------

GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection collection,
                                      GpFontFamily* family) {
    if (!family) return Gdiplus::InvalidParameter;
    *family = 0;
    if (!name || (collection && !find_object<FontCollection>(collection)))
        return Gdiplus::InvalidParameter;
    auto installed = win::InstalledFontFamily(utf8_of(name, -1));
    if (!installed) return Gdiplus::FontFamilyNotFound;
    return add_object(FontFamily{*installed}, family);
}

GpStatus GdipDeleteFontFamily(GpFontFamily family) {
    if (!find_object<FontFamily>(family)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(family);
    return Gdiplus::Ok;
}

GpStatus GdipGetFamilyName(GpFontFamily family, WCHAR name[32], LANGID) {
    FontFamily* f = find_object<FontFamily>(family);
    if (!f || !name) return Gdiplus::InvalidParameter;
    size_t n = 0;
    for (size_t i = 0; i < f->name.size() && n < 31;) {  // ASCII and Latin-1 names
        unsigned char c = static_cast<unsigned char>(f->name[i]);
        char32_t v = c;
        size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < f->name.size()) {
            v = char32_t((c & 0x1F) << 6 | (f->name[i + 1] & 0x3F));
            len = 2;
        } else if (c >= 0xE0 && i + 2 < f->name.size()) {
            v = char32_t((c & 0x0F) << 12 | (f->name[i + 1] & 0x3F) << 6 | (f->name[i + 2] & 0x3F));
            len = 3;
        }
        name[n++] = WCHAR(v);
        i += len;
    }
    name[n] = 0;
    return Gdiplus::Ok;
}

GpStatus GdipIsStyleAvailable(GpFontFamily family, INT style, BOOL* available) {
    FontFamily* f = find_object<FontFamily>(family);
    if (!f || !available) return Gdiplus::InvalidParameter;
    // Underline and strikeout are drawn over any face.
    *available = win::FontFamilyHasFace(f->name, style & FontStyleBold, style & FontStyleItalic)
                     ? TRUE
                     : FALSE;
    return Gdiplus::Ok;
}

GpStatus GdipNewInstalledFontCollection(GpFontCollection* collection) {
    return add_object(FontCollection{}, collection);
}

GpStatus GdipGetFontCollectionFamilyCount(GpFontCollection collection, INT* count) {
    if (!find_object<FontCollection>(collection) || !count) return Gdiplus::InvalidParameter;
    *count = INT(win::InstalledFontFamilies().size());
    return Gdiplus::Ok;
}

GpStatus GdipGetFontCollectionFamilyList(GpFontCollection collection, INT wanted,
                                         GpFontFamily* families, INT* found) {
    if (!find_object<FontCollection>(collection) || !families || !found || wanted < 0)
        return Gdiplus::InvalidParameter;
    *found = 0;
    for (const std::string& name : win::InstalledFontFamilies()) {
        if (*found >= wanted) break;
        if (GpStatus s = add_object(FontFamily{name}, &families[*found]); s != Gdiplus::Ok)
            return s;
        ++*found;
    }
    return Gdiplus::Ok;
}

// ---- Fonts -------------------------------------------------------------------------------

GpStatus GdipCreateFont(GpFontFamily family, REAL size, INT style, GpUnit unit, GpFont* font) {
    if (!font) return Gdiplus::InvalidParameter;
    *font = 0;
    FontFamily* f = find_object<FontFamily>(family);
    if (!f || !std::isfinite(size) || size <= 0 || unit < 0 || unit > 6 || unit == UnitDisplay ||
        style < 0 || style > 15)
        return Gdiplus::InvalidParameter;
    return add_object(Font{f->name, size, style, unit}, font);
}

GpStatus GdipDeleteFont(GpFont font) {
    if (!find_object<Font>(font)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(font);
    return Gdiplus::Ok;
}

GpStatus GdipGetFontSize(GpFont font, REAL* size) {
    Font* f = find_object<Font>(font);
    if (!f || !size) return Gdiplus::InvalidParameter;
    *size = f->size;
    return Gdiplus::Ok;
}

GpStatus GdipGetFontStyle(GpFont font, INT* style) {
    Font* f = find_object<Font>(font);
    if (!f || !style) return Gdiplus::InvalidParameter;
    *style = f->style;
    return Gdiplus::Ok;
}

// ---- String formats ------------------------------------------------------------------------

GpStatus GdipCreateStringFormat(INT flags, LANGID, GpStringFormat* format) {
    return add_object(StringFormat{flags}, format);
}

GpStatus GdipDeleteStringFormat(GpStringFormat format) {
    if (!find_object<StringFormat>(format)) return Gdiplus::InvalidParameter;
    graphics_objects().erase(format);
    return Gdiplus::Ok;
}

#define LUM_FORMAT_PROPERTY(Set, Get, Type, field, valid)     \
    GpStatus Set(GpStringFormat format, Type value) {         \
        StringFormat* f = find_object<StringFormat>(format);  \
        if (!f || !(valid)) return Gdiplus::InvalidParameter; \
        f->field = value;                                     \
        return Gdiplus::Ok;                                   \
    }                                                         \
    GpStatus Get(GpStringFormat format, Type* value) {        \
        StringFormat* f = find_object<StringFormat>(format);  \
        if (!f || !value) return Gdiplus::InvalidParameter;   \
        *value = f->field;                                    \
        return Gdiplus::Ok;                                   \
    }
LUM_FORMAT_PROPERTY(GdipSetStringFormatAlign, GdipGetStringFormatAlign, StringAlignment, align,
                    value >= 0 && value <= 2)
LUM_FORMAT_PROPERTY(GdipSetStringFormatLineAlign, GdipGetStringFormatLineAlign, StringAlignment,
                    line_align, value >= 0 && value <= 2)
#undef LUM_FORMAT_PROPERTY

GpStatus GdipSetStringFormatFlags(GpStringFormat format, INT flags) {
    StringFormat* f = find_object<StringFormat>(format);
    if (!f) return Gdiplus::InvalidParameter;
    f->flags = flags;
    return Gdiplus::Ok;
}

// ---- Drawing and measuring -----------------------------------------------------------------

GpStatus GdipMeasureString(GpGraphics graphics, const WCHAR* text, INT length, GpFont font,
                           const GpRectF* layout, GpStringFormat format, GpRectF* bounds,
                           INT* codepoints_fitted, INT* lines_filled) {
    if (!text || !bounds) return Gdiplus::InvalidParameter;
    TextCall call;
    if (GpStatus s = prepare(graphics, font, format, layout, &call); s != Gdiplus::Ok) return s;
    std::string utf8 = utf8_of(text, length);
    return guarded([&] {
        Scratch scratch;
        set_options(scratch.cr, call.g->text_hint);
        TextBox box;
        Layout l = make_layout(scratch.cr, utf8, *call.font, call.font_px, *layout, call.fmt, &box);
        *bounds = GpRectF{REAL(box.x), REAL(box.y), REAL(box.w), REAL(box.h)};
        if (codepoints_fitted)
            *codepoints_fitted =
                INT(length < 0 ? std::char_traits<char16_t>::length(text) : size_t(length));
        if (lines_filled) *lines_filled = box.lines;
        return Gdiplus::Ok;
    });
}

GpStatus GdipDrawString(GpGraphics graphics, const WCHAR* text, INT length, GpFont font,
                        const GpRectF* layout, GpStringFormat format, GpBrush brush) {
    Brush* b = find_object<Brush>(brush);
    if (!text || !b) return Gdiplus::InvalidParameter;
    TextCall call;
    if (GpStatus s = prepare(graphics, font, format, layout, &call); s != Gdiplus::Ok) return s;
    std::string utf8 = utf8_of(text, length);
    if (utf8.empty() || !call.target.scan0) return Gdiplus::Ok;
    return guarded([&] {
        Scratch scratch;
        set_options(scratch.cr, call.g->text_hint);
        TextBox box;
        Layout measured =
            make_layout(scratch.cr, utf8, *call.font, call.font_px, *layout, call.fmt, &box);
        double pad = call.font_px;  // italic overhang and antialiasing
        auto corners = corners_of(box.ink_x0, box.ink_y0, box.ink_x1, box.ink_y1);
        Affine m = device_transform(*call.g, call.target);
        double scale = std::sqrt(std::abs(m.m11 * m.m22 - m.m12 * m.m21));
        DeviceBox dbox = device_box(m, corners.data(), 4, pad * scale + 2);
        Canvas canvas;
        if (GpStatus s = canvas.open(call.target, dbox.x0, dbox.y0, dbox.x1, dbox.y1);
            s != Gdiplus::Ok)
            return s;
        if (canvas.empty()) return Gdiplus::Ok;
        cairo_t* cr = canvas.context();
        if (!cr) return Gdiplus::OutOfMemory;
        cairo_matrix_t cm = m.cairo();
        cairo_transform(cr, &cm);
        set_options(cr, call.g->text_hint);
        bool clip =
            layout->Width > 0 && layout->Height > 0 && !(call.fmt.flags & StringFormatFlagsNoClip);
        if (clip) {
            cairo_rectangle(cr, layout->X, layout->Y, layout->Width, layout->Height);
            cairo_clip(cr);
        }
        if (GpStatus s = set_brush_source(cr, *b); s != Gdiplus::Ok) return s;
        TextBox placed;
        Layout l = make_layout(cr, utf8, *call.font, call.font_px, *layout, call.fmt, &placed);
        bool wrap = layout->Width > 0 && !(call.fmt.flags & StringFormatFlagsNoWrap);
        cairo_move_to(cr, wrap ? layout->X : placed.x, placed.y);
        pango_cairo_show_layout(cr, l.get());
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return Gdiplus::OutOfMemory;
        return canvas.commit();
    });
}
