// The virtual scanner's pages. Two kinds:
//
// - gradient: red = 255 x / (W - 1), green = 255 y / (H - 1), blue = 255 - red over the
//   paper, grey their luminance (299 R + 587 G + 114 B) / 1000, with an optional dark border
//   and white bands;
// - document: a white sheet with a title, text in Liberation Sans, a table and a photo-like
//   block (document_page.h), which may lie skewed, turned, speckled or yellowed on the glass.
//
// Both carry a marker encoding the page number and side, always pure black on white, drawn
// after brightness/contrast/threshold and never turned with the sheet, with
// c = max(2, round(2 mm at the resolution)) and its origin 10 mm from the paper's left and top:
//
//   +-quiet zone, 1 cell, white---------------------------------------+
//   | [1][0][1] [p11 .. p0] [s] [q]   each cell c wide, 2c tall       |
//   +-----------------------------------------------------------------+
//   sync 1 0 1 (1 = black), 12 bits of the page number (modulo 4096) most significant first,
//   side s (0 front, 1 back), q makes the number of black cells among p and s even.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "dib.h"
#include "tone.h"

namespace lumtwain {

struct PageMark {
    int page = 0;  // 1-based acquisition number
    int side = 0;  // 0 front, 1 back
    bool operator==(const PageMark&) const = default;
};

enum class PageKind { Gradient, Document };

struct PageRequest {
    PageKind kind = PageKind::Gradient;
    double paper_width_mm = 210, paper_height_mm = 297;
    double left_mm = 0, top_mm = 0, right_mm = 210, bottom_mm = 297;  // the frame scanned
    double dpi_x = 100, dpi_y = 100;
    int pixel_type = 2;                   // TWPT_BW, GRAY, RGB
    double brightness = 0, contrast = 0;  // -1000..1000
    double threshold = 128;
    bool vanilla = false;
    bool blank = false;
    double dark_border_mm = 0, white_band_mm = 0;
    PageMark mark;
    // Document pages only.
    uint32_t seed = 1;
    double skew_deg = 0;   // the sheet's turn on the glass, counter-clockwise
    int rotation = 0;      // 0, 90, 180 or 270: the text's turn on the sheet, clockwise
    double noise = 0;      // speckles per square decimetre
    double yellowing = 0;  // 0..100 %
};

// Pixels of `mm` at `dpi`, rounded to nearest (ties to even).
int MmToPixels(double mm, double dpi);

// The DIB format of the page, nullopt for an empty frame.
std::optional<DibFormat> PageDibFormat(const PageRequest& request);
// Writes the frame's rows; keeps a copy of what it needs. An empty writer when the page
// cannot be drawn (a document sheet too large to hold in memory).
RowWriter PageRowWriter(const PageRequest& request);

// Marker cell size and origin in pixels at a resolution.
int MarkerCell(double dpi);
int MarkerOrigin(double dpi);

// The marker of a page in the paper's pixels.
struct Marker {
    static constexpr int kCells = 17;
    std::array<bool, kCells> cells{};
    int cell_x = 2, cell_y = 2, origin_x = 0, origin_y = 0;
    static Marker of(const PageRequest& r);
    // Whether (px, py) is in the marker or its quiet zone, and then whether it is black.
    bool at(int px, int py, bool* black) const;
};

struct Rgb {
    uint8_t r, g, b;
};

// Stores one pixel in the row in the pixel type asked for (TWPT_BW 0, GRAY 1, RGB 2).
// `forced` pixels (border, marker) are thresholded at 128, content at the request's threshold.
inline void PutPixel(const PageRequest& r, uint8_t* row, int x, Rgb c, bool forced) {
    if (r.pixel_type == 2) {
        row[3 * x] = c.b;
        row[3 * x + 1] = c.g;
        row[3 * x + 2] = c.r;
        return;
    }
    uint8_t grey = uint8_t((299 * c.r + 587 * c.g + 114 * c.b) / 1000);
    if (r.pixel_type == 1) {
        row[x] = r.vanilla ? uint8_t(255 - grey) : grey;
        return;
    }
    bool white = forced ? grey >= 128 : grey >= r.threshold;
    if (white != r.vanilla) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
}

// The document kind's writer (document_page.cpp).
RowWriter DocumentRowWriter(const PageRequest& request);

}  // namespace lumtwain
