// What the engine reads from a scanned page to correct it: where a dark scanner border ends,
// how far the text lines are skewed, and which way the text faces. Works on the reduced grey
// copy of dib_ops.h; answers in its pixels unless said otherwise.
#pragma once

#include <optional>

#include "dib_ops.h"

namespace lumtwain {

constexpr double kMaxSkewDeg = 6.0;

// The page inside a dark border: rows and columns from the edges inwards while at least half
// of their pixels are dark. The whole image when it has no border, nullopt when the border
// would leave less than a tenth of either side.
std::optional<PixelBox> FindPageBox(const GreyImage& g);
// The same edges found again on the full picture, starting from `coarse` (found on `g`).
PixelBox RefinePageBox(const DibView& dib, const GreyImage& g, const PixelBox& coarse);

// Whether the outermost pixels are mostly dark: a scanner background shows round the page.
bool DarkEdges(const GreyImage& g);
// Clears dark specks (8-connected, at most `max_area` pixels).
void RemoveSpecks(GreyImage& g, int max_area);
// `g` turned by `degrees` clockwise about its centre; uncovered pixels take `fill`.
GreyImage TurnGrey(const GreyImage& g, double degrees, uint8_t fill);

struct TextDirection {
    bool found = false;
    double skew_deg = 0;    // the lines' turn, counter-clockwise
    int quarter_turns = 0;  // clockwise quarter turns that make the text upright
};

// Text lines within ±kMaxSkewDeg of horizontal or, when `any_direction`, of vertical too,
// inside `box`. The quarter turns are only worked out when `any_direction`.
TextDirection FindTextDirection(const GreyImage& g, const PixelBox& box, bool any_direction);

}  // namespace lumtwain
