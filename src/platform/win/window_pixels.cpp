// What a window shows: the background and picture of its surface, and the pixels a host
// gets, with shapes and child windows drawn over the surface.
#include <algorithm>
#include <cstring>

#include "platform/win/window_p.h"

namespace win {

namespace {

constexpr uint32_t kButtonFace = 0xF0F0F0;
constexpr uint32_t kBarTrack = 0xE6E6E6;
constexpr uint32_t kBarButton = 0xCDCDCD;
constexpr uint32_t kBarGlyph = 0x606060;

void put(WindowPixels& px, int x, int y, uint32_t rgb) {
    if (x < 0 || y < 0 || x >= px.width || y >= px.height) return;
    uint8_t* p = px.bgra.data() + (size_t(y) * px.width + x) * 4;
    p[0] = uint8_t(rgb);
    p[1] = uint8_t(rgb >> 8);
    p[2] = uint8_t(rgb >> 16);
    p[3] = 255;
}

void fill(WindowPixels& px, int x, int y, int w, int h, uint32_t rgb) {
    int x0 = std::max(x, 0), x1 = std::min(x + w, px.width);
    int y0 = std::max(y, 0), y1 = std::min(y + h, px.height);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) put(px, xx, yy, rgb);
}

// A small triangle pointing along the bar's axis, centred in the square at (x, y).
void arrow(WindowPixels& px, int x, int y, int size, bool vertical, bool forward) {
    int half = std::max(size / 4, 1);
    int cx = x + size / 2, cy = y + size / 2;
    for (int i = 0; i < half; ++i) {
        int d = forward ? i - half / 2 : half / 2 - i;
        for (int j = -i; j <= i; ++j)
            vertical ? put(px, cx + j, cy + d, kBarGlyph) : put(px, cx + d, cy + j, kBarGlyph);
    }
}

void draw_bar(const Window& bar, WindowPixels& px, POINT o) {
    bool vertical = bar.style & SBS_VERT;
    BarLayout l = bar_layout(bar);
    auto along = [&](int start, int extent, uint32_t rgb) {
        if (vertical)
            fill(px, o.x, o.y + start, bar.width, extent, rgb);
        else
            fill(px, o.x + start, o.y, extent, bar.height, rgb);
    };
    along(0, l.length, kBarTrack);
    along(0, l.arrow, kBarButton);
    along(l.length - l.arrow, l.arrow, kBarButton);
    along(l.thumb_start, l.thumb, kBarButton);
    int a = l.arrow;
    if (vertical) {
        arrow(px, o.x, o.y, std::min(a, bar.width), true, false);
        arrow(px, o.x, o.y + l.length - a, std::min(a, bar.width), true, true);
    } else {
        arrow(px, o.x, o.y, std::min(a, bar.height), false, false);
        arrow(px, o.x + l.length - a, o.y, std::min(a, bar.height), false, true);
    }
}

// The pen mix modes of the platform (R2_BLACK = 1 ... R2_WHITE = 16) on 24-bit colours.
uint32_t mix(int mode, uint32_t pen, uint32_t dst) {
    uint32_t p = pen & 0xFFFFFF, d = dst & 0xFFFFFF, m = 0xFFFFFF;
    switch (mode) {
        case 1:
            return 0;
        case 2:
            return ~(p | d) & m;
        case 3:
            return d & ~p & m;
        case 4:
            return ~p & m;
        case 5:
            return p & ~d & m;
        case 6:
            return ~d & m;
        case 7:
            return p ^ d;
        case 8:
            return ~(p & d) & m;
        case 9:
            return p & d;
        case 10:
            return ~(p ^ d) & m;
        case 11:
            return d;
        case 12:
            return (~p | d) & m;
        case 13:
            return p;
        case 14:
            return (p | ~d) & m;
        case 15:
            return p | d;
        case 16:
            return m;
        default:
            return p;
    }
}

// Whether the n-th pixel of an outline is drawn in the border style's dash pattern.
bool dash_on(int style, int n) {
    static const int kDash[] = {18, 6}, kDot[] = {3, 3}, kDashDot[] = {9, 6, 3, 6},
                     kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    const int* pattern = nullptr;
    int count = 0;
    switch (style) {
        case 2:
            pattern = kDash, count = 2;
            break;
        case 3:
            pattern = kDot, count = 2;
            break;
        case 4:
            pattern = kDashDot, count = 4;
            break;
        case 5:
            pattern = kDashDotDot, count = 6;
            break;
        default:
            return true;
    }
    int period = 0;
    for (int i = 0; i < count; ++i) period += pattern[i];
    n %= period;
    for (int i = 0; i < count; ++i) {
        if (n < pattern[i]) return i % 2 == 0;
        n -= pattern[i];
    }
    return true;
}

void mix_pixel(WindowPixels& px, int x, int y, int mode, uint32_t pen) {
    if (x < 0 || y < 0 || x >= px.width || y >= px.height) return;
    uint8_t* p = px.bgra.data() + (size_t(y) * px.width + x) * 4;
    uint32_t d = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    put(px, x, y, mix(mode, pen, d));
}

// Pixels of a bitmap picture as 0x00RRGGBB, any depth the GDI stand-in keeps.
bool picture_pixel(const BitmapView& v, int x, int y, uint32_t* rgb) {
    const uint8_t* row = v.scan0 + ptrdiff_t(y) * v.stride;
    switch (v.bits_per_pixel) {
        case 32:
        case 24: {
            const uint8_t* p = row + x * (v.bits_per_pixel / 8);
            *rgb = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            return true;
        }
        case 8:
        case 4:
        case 1: {
            int bits = v.bits_per_pixel;
            int bit = x * bits;
            int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
            if (size_t(index) >= v.colors.size()) return false;
            const RGBQUAD& q = v.colors[size_t(index)];
            *rgb = uint32_t(q.rgbBlue) | uint32_t(q.rgbGreen) << 8 | uint32_t(q.rgbRed) << 16;
            return true;
        }
        default:
            return false;
    }
}

bool picture_view(const ComPtr<IPicture>& picture, BitmapView* v) {
    SHORT type = 0;
    OLE_HANDLE h = 0;
    if (!picture || FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture->get_Handle(&h)))
        return false;
    return GetBitmapView(HBITMAP(h), v);
}

}  // namespace

uint32_t OleColorToRgb(OLE_COLOR color) {
    if (color & 0x80000000u) {
        switch (color & 0xFF) {
            case 5:
                return 0xFFFFFF;  // window
            case 8:
            case 18:
                return 0;  // window text, button text
            case 15:
                return kButtonFace;
            case 12:
                return 0xABABAB;  // application workspace
            default:
                return kButtonFace;
        }
    }
    return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

bool bitmap_to_bgra(HBITMAP bitmap, int* width, int* height, std::vector<uint8_t>* bgra) {
    BitmapView v;
    if (!GetBitmapView(bitmap, &v) || v.width <= 0 || v.height <= 0) return false;
    bgra->assign(size_t(v.width) * size_t(v.height) * 4, 0);
    for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x) {
            uint32_t rgb = 0;
            if (!picture_pixel(v, x, y, &rgb)) return false;
            uint8_t* p = bgra->data() + (size_t(y) * v.width + x) * 4;
            p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16), p[3] = 255;
        }
    *width = v.width;
    *height = v.height;
    return true;
}

HBITMAP bitmap_from_bgra(int width, int height, const std::vector<uint8_t>& bgra) {
    if (width <= 0 || height <= 0 || bgra.size() != size_t(width) * size_t(height) * 4) return 0;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(0, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    if (bm && bits) std::memcpy(bits, bgra.data(), bgra.size());
    return bm;
}

void repaint_background(Window& w) {
    Surface s;
    if (!GetSurface(w.dc, &s)) return;
    bool opaque = w.props[int(WindowProperty::BackStyle)] != 0;
    uint32_t rgb = OleColorToRgb(OLE_COLOR(w.props[int(WindowProperty::BackColor)]));
    uint32_t pixel = opaque ? 0xFF000000u | rgb : 0;
    for (int y = 0; y < s.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s.scan0 + ptrdiff_t(y) * s.stride);
        std::fill(row, row + s.width, pixel);
    }
    BitmapView v;
    if (!picture_view(w.pictures[int(WindowPicture::Picture)], &v)) return;
    for (int y = 0; y < std::min(v.height, s.height); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s.scan0 + ptrdiff_t(y) * s.stride);
        for (int x = 0; x < std::min(v.width, s.width); ++x) {
            uint32_t rgb_at = 0;
            if (picture_pixel(v, x, y, &rgb_at)) row[x] = 0xFF000000u | rgb_at;
        }
    }
}

void draw_child(const Window& child, WindowPixels& px, POINT o) {
    if (child.builtin == BuiltinClass::ScrollBar)
        draw_bar(child, px, o);
    else if (child.builtin == BuiltinClass::Static)
        fill(px, o.x, o.y, child.width, child.height, kButtonFace);
}

void draw_shape(const Window& shape, WindowPixels& px, POINT o) {
    const ShapeStyle& st = shape.shape;
    if (st.border_style == 0 || shape.width <= 0 || shape.height <= 0) return;
    uint32_t pen = OleColorToRgb(st.border_color);
    int bw = std::max(st.border_width, 1);
    int style = bw > 1 ? 1 : st.border_style;  // wide pens are always solid
    int w = shape.width, h = shape.height;
    // Each outline pixel once, walking the border clockwise so dashes run around it.
    int n = 0;
    for (int band = 0; band < bw && band * 2 < std::min(w, h); ++band) {
        int x0 = o.x + band, y0 = o.y + band, x1 = o.x + w - 1 - band, y1 = o.y + h - 1 - band;
        auto at = [&](int x, int y) {
            if (dash_on(style, n++)) mix_pixel(px, x, y, st.draw_mode, pen);
        };
        for (int x = x0; x <= x1; ++x) at(x, y0);
        for (int y = y0 + 1; y <= y1; ++y) at(x1, y);
        if (y1 > y0)
            for (int x = x1 - 1; x >= x0; --x) at(x, y1);
        if (x1 > x0)
            for (int y = y1 - 1; y > y0; --y) at(x0, y);
    }
}

namespace {

void compose_children(const Window& parent, WindowPixels& px, POINT origin, bool shapes) {
    for (HWND h : parent.children) {
        Window* c = find_window(h);
        if (!c || !c->visible || (c->builtin == BuiltinClass::Shape) != shapes) continue;
        POINT o{origin.x + c->x, origin.y + c->y};
        if (shapes)
            draw_shape(*c, px, o);
        else
            draw_child(*c, px, o);
        compose_children(*c, px, o, shapes);
    }
}

// With a transparent back style, the mask picture's black pixels are not part of the window.
void apply_mask(const Window& w, WindowPixels& px) {
    if (w.props[int(WindowProperty::BackStyle)] != 0) return;
    BitmapView v;
    if (!picture_view(w.pictures[int(WindowPicture::MaskPicture)], &v)) return;
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x) {
            uint32_t rgb = 0;
            bool inside = x < v.width && y < v.height && picture_pixel(v, x, y, &rgb);
            if (!inside || rgb == 0)
                std::memset(px.bgra.data() + (size_t(y) * px.width + x) * 4, 0, 4);
        }
}

}  // namespace

BOOL GetWindowPixels(HWND window, WindowPixels* out) {
    Window* w = find_window(window);
    Window* top = top_level(w);
    if (!w || !top || !out) return FALSE;
    Surface s;
    out->width = w->width;
    out->height = w->height;
    out->bgra.assign(size_t(w->width) * size_t(w->height) * 4, 0);
    if (w == top && GetSurface(w->dc, &s)) {
        int rows = std::min(s.height, w->height), cols = std::min(s.width, w->width);
        for (int y = 0; y < rows; ++y)
            std::memcpy(out->bgra.data() + size_t(y) * w->width * 4,
                        s.scan0 + ptrdiff_t(y) * s.stride, size_t(cols) * 4);
    }
    compose_children(*w, *out, POINT{0, 0}, true);
    compose_children(*w, *out, POINT{0, 0}, false);
    if (w == top) apply_mask(*w, *out);
    return TRUE;
}

}  // namespace win
