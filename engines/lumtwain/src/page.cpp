#include "page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "codes.h"

namespace lumtwain {
namespace {

struct Geometry {
    int paper_w = 0, paper_h = 0;  // pixels
    int frame_x = 0, frame_y = 0;
    int border_x = 0, border_y = 0, band = 0;
    Marker marker;
    std::array<uint8_t, 256> lut{};
    PageRequest req;
};

// The paper's pixel before thresholding; `forced` is set where the colour is not content.
Rgb paper_pixel(const Geometry& g, int px, int py, bool* forced) {
    *forced = true;
    if (px < 0 || py < 0 || px >= g.paper_w || py >= g.paper_h) return {255, 255, 255};
    if (px < g.border_x || px >= g.paper_w - g.border_x || py < g.border_y ||
        py >= g.paper_h - g.border_y)
        return {0, 0, 0};
    if (py < g.border_y + g.band || py >= g.paper_h - g.border_y - g.band) return {255, 255, 255};
    if (g.req.blank) return {255, 255, 255};
    bool black;
    if (g.marker.at(px, py, &black)) return black ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    *forced = false;
    uint8_t r = uint8_t(g.paper_w > 1 ? px * 255 / (g.paper_w - 1) : 0);
    uint8_t gr = uint8_t(g.paper_h > 1 ? py * 255 / (g.paper_h - 1) : 0);
    return {g.lut[r], g.lut[gr], g.lut[uint8_t(255 - r)]};
}

void write_row(const Geometry& g, int width, int y, uint8_t* row) {
    const int py = g.frame_y + y;
    for (int x = 0; x < width; ++x) {
        bool forced;
        Rgb c = paper_pixel(g, g.frame_x + x, py, &forced);
        PutPixel(g.req, row, x, c, forced);
    }
}

RowWriter gradient_writer(const PageRequest& r) {
    auto g = std::make_shared<Geometry>();
    g->req = r;
    g->paper_w = MmToPixels(r.paper_width_mm, r.dpi_x);
    g->paper_h = MmToPixels(r.paper_height_mm, r.dpi_y);
    g->frame_x = MmToPixels(r.left_mm, r.dpi_x);
    g->frame_y = MmToPixels(r.top_mm, r.dpi_y);
    g->border_x = MmToPixels(r.dark_border_mm, r.dpi_x);
    g->border_y = MmToPixels(r.dark_border_mm, r.dpi_y);
    g->band = MmToPixels(r.white_band_mm, r.dpi_y);
    g->marker = Marker::of(r);
    g->lut = AdjustLut(r.brightness, r.contrast);
    int width = MmToPixels(r.right_mm - r.left_mm, r.dpi_x);
    return [g, width](int y, uint8_t* row) { write_row(*g, width, y, row); };
}

}  // namespace

Marker Marker::of(const PageRequest& r) {
    Marker m;
    m.cells[0] = true;
    m.cells[2] = true;
    int ones = 0;
    for (int i = 0; i < 12; ++i) ones += m.cells[3 + i] = ((r.mark.page >> (11 - i)) & 1) != 0;
    ones += m.cells[15] = r.mark.side != 0;
    m.cells[16] = (ones & 1) != 0;
    m.cell_x = MarkerCell(r.dpi_x);
    m.cell_y = MarkerCell(r.dpi_y);
    m.origin_x = MarkerOrigin(r.dpi_x);
    m.origin_y = MarkerOrigin(r.dpi_y);
    return m;
}

bool Marker::at(int px, int py, bool* black) const {
    int x0 = origin_x - cell_x, y0 = origin_y - cell_y;
    if (px < x0 || py < y0 || px >= origin_x + (kCells + 1) * cell_x || py >= origin_y + 3 * cell_y)
        return false;
    int cx = (px - origin_x) / cell_x, cy = (py - origin_y) / cell_y;
    *black = px >= origin_x && py >= origin_y && cx < kCells && cy < 2 && cells[size_t(cx)];
    return true;
}

int MmToPixels(double mm, double dpi) {
    double px = std::nearbyint(mm / 25.4 * dpi);
    if (!(px >= 0) || px > 1e9) return 0;
    return int(px);
}

int MarkerCell(double dpi) {
    return std::max(2, MmToPixels(2.0, dpi));
}
int MarkerOrigin(double dpi) {
    return MmToPixels(10.0, dpi);
}

std::optional<DibFormat> PageDibFormat(const PageRequest& r) {
    DibFormat s;
    s.width = MmToPixels(r.right_mm - r.left_mm, r.dpi_x);
    s.height = MmToPixels(r.bottom_mm - r.top_mm, r.dpi_y);
    s.bits = r.pixel_type == kTwptBw ? 1 : r.pixel_type == kTwptGray ? 8 : 24;
    s.dpi_x = r.dpi_x;
    s.dpi_y = r.dpi_y;
    s.vanilla = r.vanilla && r.pixel_type != kTwptRgb;
    if (s.width <= 0 || s.height <= 0) return std::nullopt;
    return s;
}

RowWriter PageRowWriter(const PageRequest& r) {
    return r.kind == PageKind::Document ? DocumentRowWriter(r) : gradient_writer(r);
}

}  // namespace lumtwain
