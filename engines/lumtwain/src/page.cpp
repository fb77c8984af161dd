#include "page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "codes.h"

namespace lumtwain {
namespace {

constexpr int kMarkerCells = 17;

struct Geometry {
    int paper_w = 0, paper_h = 0;  // pixels
    int frame_x = 0, frame_y = 0;
    int border_x = 0, border_y = 0, band = 0;
    int cell_x = 2, cell_y = 2, origin_x = 0, origin_y = 0;
    std::array<bool, kMarkerCells> cells{};
    std::array<uint8_t, 256> lut{};
    PageRequest req;
};

std::array<bool, kMarkerCells> marker_cells(PageMark mark) {
    std::array<bool, kMarkerCells> c{};
    c[0] = true;
    c[2] = true;
    int ones = 0;
    for (int i = 0; i < 12; ++i) ones += c[3 + i] = ((mark.page >> (11 - i)) & 1) != 0;
    ones += c[15] = mark.side != 0;
    c[16] = (ones & 1) != 0;
    return c;
}

struct Rgb {
    uint8_t r, g, b;
};

bool in_marker(const Geometry& g, int px, int py, bool* black) {
    int x0 = g.origin_x - g.cell_x, y0 = g.origin_y - g.cell_y;
    if (px < x0 || py < y0 || px >= g.origin_x + (kMarkerCells + 1) * g.cell_x ||
        py >= g.origin_y + 3 * g.cell_y)
        return false;
    int cx = (px - g.origin_x) / g.cell_x, cy = (py - g.origin_y) / g.cell_y;
    *black =
        px >= g.origin_x && py >= g.origin_y && cx < kMarkerCells && cy < 2 && g.cells[size_t(cx)];
    return true;
}

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
    if (in_marker(g, px, py, &black)) return black ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    *forced = false;
    uint8_t r = uint8_t(g.paper_w > 1 ? px * 255 / (g.paper_w - 1) : 0);
    uint8_t gr = uint8_t(g.paper_h > 1 ? py * 255 / (g.paper_h - 1) : 0);
    return {g.lut[r], g.lut[gr], g.lut[uint8_t(255 - r)]};
}

uint8_t luminance(Rgb c) {
    return uint8_t((299 * c.r + 587 * c.g + 114 * c.b) / 1000);
}

void write_row(const Geometry& g, int width, int y, uint8_t* row) {
    const int type = g.req.pixel_type;
    const int py = g.frame_y + y;
    for (int x = 0; x < width; ++x) {
        bool forced;
        Rgb c = paper_pixel(g, g.frame_x + x, py, &forced);
        if (type == kTwptRgb) {
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
            continue;
        }
        uint8_t grey = luminance(c);
        if (type == kTwptGray) {
            row[x] = g.req.vanilla ? uint8_t(255 - grey) : grey;
            continue;
        }
        bool white = forced ? grey >= 128 : grey >= g.req.threshold;
        if (white != g.req.vanilla) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
}

}  // namespace

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

std::optional<DibSpec> PageDibSpec(const PageRequest& r) {
    DibSpec s;
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
    auto g = std::make_shared<Geometry>();
    g->req = r;
    g->paper_w = MmToPixels(r.paper_width_mm, r.dpi_x);
    g->paper_h = MmToPixels(r.paper_height_mm, r.dpi_y);
    g->frame_x = MmToPixels(r.left_mm, r.dpi_x);
    g->frame_y = MmToPixels(r.top_mm, r.dpi_y);
    g->border_x = MmToPixels(r.dark_border_mm, r.dpi_x);
    g->border_y = MmToPixels(r.dark_border_mm, r.dpi_y);
    g->band = MmToPixels(r.white_band_mm, r.dpi_y);
    g->cell_x = MarkerCell(r.dpi_x);
    g->cell_y = MarkerCell(r.dpi_y);
    g->origin_x = MarkerOrigin(r.dpi_x);
    g->origin_y = MarkerOrigin(r.dpi_y);
    g->cells = marker_cells(r.mark);
    g->lut = AdjustLut(r.brightness, r.contrast);
    int width = MmToPixels(r.right_mm - r.left_mm, r.dpi_x);
    return [g, width](int y, uint8_t* row) { write_row(*g, width, y, row); };
}

}  // namespace lumtwain
