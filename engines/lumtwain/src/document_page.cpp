// The document kind of the virtual scanner's pages: the sheet's content (document_layout.h)
// seen through the glass. The sheet lies inset by the dark border, turned by the skew about
// the glass's centre, its text turned on it by the rotation; outside it the scanner shows
// black when there is a border and white otherwise. Speckles and yellowing belong to the
// sheet and turn with it; the marker belongs to the glass and never turns.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "codes.h"
#include "document_layout.h"
#include "page.h"

namespace lumtwain {
namespace {

constexpr double kSpeckleMm = 0.3;
constexpr Rgb kInk{25, 25, 30};

// Output pixel -> layout millimetres: a = ax x + bx y + cx, b = ay x + by y + cy.
struct Affine {
    double ax = 0, bx = 0, cx = 0, ay = 0, by = 0, cy = 0;
};

// Output pixel -> ink canvas pixel when the sheet lies straight (no skew): whole pixels.
struct PixelMap {
    bool exact = false;
    int ax = 0, bx = 0, cx = 0, ay = 0, by = 0, cy = 0;
};

struct Sheet {
    PageRequest req;
    PixelMap pixels;
    DocumentContent content;
    double layout_w = 0, layout_h = 0;  // millimetres
    Affine map;
    Marker marker;
    int frame_x = 0, frame_y = 0;
    Rgb paper{255, 255, 255}, background{255, 255, 255};
    std::array<uint8_t, 256> lut{};
    uint64_t speckle_limit = 0;  // a cell is a speckle when its hash is below this
};

uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    return x ^ (x >> 33);
}

uint8_t clamp8(double v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// A landscape: sky with a sun over hills, with a little texture.
Rgb photo_colour(const PhotoBlock& p, double a, double b, uint32_t seed) {
    double s = (a - p.left) / (p.right - p.left), t = (b - p.top) / (p.bottom - p.top);
    double horizon = 0.55 + 0.08 * std::sin(6.0 * s + seed % 7);
    double grain = 12 * std::sin(37 * s + 23 * t);
    double dx = s - 0.72, dy = t - 0.25;
    if (t < horizon) {
        if (dx * dx + dy * dy < 0.01) return {250, 215, 110};
        return {clamp8(90 + 110 * t + grain), clamp8(140 + 80 * t + grain), 235};
    }
    return {clamp8(70 + 40 * std::sin(20 * s) + grain), clamp8(100 + 60 * (1 - t) + grain),
            clamp8(45 + grain)};
}

uint8_t ink_at(const InkCanvas& ink, double a, double b) {
    double x = a * ink.px_per_mm_x - 0.5, y = b * ink.px_per_mm_y - 0.5;
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    double fx = x - x0, fy = y - y0;
    double top = ink.at(x0, y0) * (1 - fx) + ink.at(x0 + 1, y0) * fx;
    double bottom = ink.at(x0, y0 + 1) * (1 - fx) + ink.at(x0 + 1, y0 + 1) * fx;
    return uint8_t(std::lround(top * (1 - fy) + bottom * fy));
}

// The sheet at layout point (a, b) in millimetres, with `ink` its coverage there.
Rgb sheet_colour(const Sheet& s, double a, double b, uint8_t ink) {
    Rgb base = s.paper;
    for (const PhotoBlock& p : s.content.photos)
        if (a >= p.left && a < p.right && b >= p.top && b < p.bottom)
            base = photo_colour(p, a, b, s.req.seed);
    if (s.speckle_limit) {
        uint64_t cell = uint64_t(int64_t(std::floor(a / kSpeckleMm))) << 32 ^
                        uint64_t(uint32_t(int32_t(std::floor(b / kSpeckleMm))));
        if (mix(cell ^ mix(uint64_t(s.req.seed) << 20 ^ uint64_t(s.req.mark.page))) <
            s.speckle_limit)
            return {45, 45, 45};
    }
    if (s.req.blank) return base;
    uint8_t c = ink;
    auto blend = [c](uint8_t paper, uint8_t ink) {
        return uint8_t(paper + (ink - paper) * c / 255);
    };
    return {blend(base.r, kInk.r), blend(base.g, kInk.g), blend(base.b, kInk.b)};
}

void write_row(const Sheet& s, int width, int y, uint8_t* row) {
    const Affine& m = s.map;
    for (int x = 0; x < width; ++x) {
        bool black;
        if (!s.req.blank && s.marker.at(s.frame_x + x, s.frame_y + y, &black)) {
            PutPixel(s.req, row, x, black ? Rgb{0, 0, 0} : Rgb{255, 255, 255}, true);
            continue;
        }
        double a = m.ax * x + m.bx * y + m.cx, b = m.ay * x + m.by * y + m.cy;
        if (a < 0 || b < 0 || a >= s.layout_w || b >= s.layout_h) {
            PutPixel(s.req, row, x, s.background, true);
            continue;
        }
        const PixelMap& p = s.pixels;
        uint8_t ink = p.exact
                          ? s.content.ink.at(p.ax * x + p.bx * y + p.cx, p.ay * x + p.by * y + p.cy)
                          : ink_at(s.content.ink, a, b);
        Rgb c = sheet_colour(s, a, b, ink);
        PutPixel(s.req, row, x, {s.lut[c.r], s.lut[c.g], s.lut[c.b]}, false);
    }
}

struct Point {
    double a, b;
};

// Where the centre of output pixel (x, y) falls on the layout.
Point layout_point(const PageRequest& r, const Sheet& s, double x, double y) {
    const double X = (s.frame_x + x + 0.5) * 25.4 / r.dpi_x;
    const double Y = (s.frame_y + y + 0.5) * 25.4 / r.dpi_y;
    const double cx = r.paper_width_mm / 2, cy = r.paper_height_mm / 2;
    const double t = r.skew_deg * std::numbers::pi / 180, dx = X - cx, dy = Y - cy;
    const double u = cx + dx * std::cos(t) - dy * std::sin(t) - r.dark_border_mm;
    const double v = cy + dx * std::sin(t) + dy * std::cos(t) - r.dark_border_mm;
    // The layout's own size (whole pixels of its canvas), so that quarter turns map pixels
    // onto pixels.
    const double lw = s.layout_w, lh = s.layout_h;
    switch (r.rotation) {
        case 90:
            return {v, lh - u};
        case 180:
            return {lw - u, lh - v};
        case 270:
            return {lw - v, u};
        default:
            return {u, v};
    }
}

Affine affine_of(const PageRequest& r, const Sheet& s) {
    Point o = layout_point(r, s, 0, 0), px = layout_point(r, s, 1, 0),
          py = layout_point(r, s, 0, 1);
    return {px.a - o.a, py.a - o.a, o.a, px.b - o.b, py.b - o.b, o.b};
}

// The whole-pixel map when every output pixel centre lands on an ink pixel centre.
PixelMap pixel_map(const Affine& m, const InkCanvas& ink) {
    const double k[6] = {m.ax * ink.px_per_mm_x,       m.bx * ink.px_per_mm_x,
                         m.cx * ink.px_per_mm_x - 0.5, m.ay * ink.px_per_mm_y,
                         m.by * ink.px_per_mm_y,       m.cy * ink.px_per_mm_y - 0.5};
    int r[6];
    for (int i = 0; i < 6; ++i) {
        r[i] = int(std::lround(k[i]));
        if (std::fabs(k[i] - r[i]) > 1e-6) return {};
    }
    return {true, r[0], r[1], r[2], r[3], r[4], r[5]};
}

}  // namespace

RowWriter DocumentRowWriter(const PageRequest& r) {
    auto s = std::make_shared<Sheet>();
    s->req = r;
    const bool turned = r.rotation == 90 || r.rotation == 270;
    const double w = r.paper_width_mm - 2 * r.dark_border_mm;
    const double h = r.paper_height_mm - 2 * r.dark_border_mm;
    s->layout_w = turned ? h : w;
    s->layout_h = turned ? w : h;
    // The layout is drawn at the resolution its axes get on the glass.
    const double dpi_a = turned ? r.dpi_y : r.dpi_x, dpi_b = turned ? r.dpi_x : r.dpi_y;
    if (!r.blank) {
        s->content = DrawDocument(s->layout_w, s->layout_h, dpi_a, dpi_b, r.seed, r.mark.page);
        if (s->content.ink.width == 0) return {};
        s->layout_w = s->content.ink.width / s->content.ink.px_per_mm_x;
        s->layout_h = s->content.ink.height / s->content.ink.px_per_mm_y;
    }
    s->frame_x = MmToPixels(r.left_mm, r.dpi_x);
    s->frame_y = MmToPixels(r.top_mm, r.dpi_y);
    s->map = affine_of(r, *s);
    s->pixels = pixel_map(s->map, s->content.ink);
    s->marker = Marker::of(r);
    s->lut = AdjustLut(r.brightness, r.contrast);
    const double y = std::clamp(r.yellowing, 0.0, 100.0) / 100;
    s->paper = {clamp8(255 - 10 * y), clamp8(255 - 25 * y), clamp8(255 - 75 * y)};
    s->background = r.dark_border_mm > 0 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    const double p = std::clamp(r.noise * kSpeckleMm * kSpeckleMm / 10000.0, 0.0, 1.0);
    s->speckle_limit = uint64_t(p * 18446744073709551615.0);
    const int width = MmToPixels(r.right_mm - r.left_mm, r.dpi_x);
    return [s, width](int y, uint8_t* row) { write_row(*s, width, y, row); };
}

}  // namespace lumtwain
