// The virtual scanner's pages: a grey/colour gradient over the paper, optional dark border and
// white bands, and a marker encoding the page number and side.
//
// Marker (always pure black on white, drawn after brightness/contrast/threshold), with
// c = max(2, round(2 mm at the resolution)) and its origin 10 mm from the paper's left and top:
//
//   +-quiet zone, 1 cell, white---------------------------------------+
//   | [1][0][1] [p11 .. p0] [s] [q]   each cell c wide, 2c tall       |
//   +-----------------------------------------------------------------+
//   sync 1 0 1 (1 = black), 12 bits of the page number (modulo 4096) most significant first,
//   side s (0 front, 1 back), q makes the number of black cells among p and s even.
//
// Gradient: red = 255 x / (W - 1), green = 255 y / (H - 1), blue = 255 - red, grey their
// luminance (299 R + 587 G + 114 B) / 1000; black and white keep the pixel type's threshold.
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

struct PageRequest {
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
};

// Pixels of `mm` at `dpi`, rounded to nearest (ties to even).
int MmToPixels(double mm, double dpi);

// The DIB format of the page, nullopt for an empty frame.
std::optional<DibSpec> PageDibSpec(const PageRequest& request);
// Writes the frame's rows; keeps a copy of what it needs.
RowWriter PageRowWriter(const PageRequest& request);

// Marker cell size and origin in pixels at a resolution.
int MarkerCell(double dpi);
int MarkerOrigin(double dpi);

}  // namespace lumtwain
