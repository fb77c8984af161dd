// Geometry on packed DIBs (1, 8 and 24 bits): crop, turns by quarter turns, and a small
// rotation about the centre; each builds a new block in the source's format and palette.
// Also the reduced grey copy that the page analysis works on.
#pragma once

#include <cstdint>
#include <vector>

#include "dib_view.h"
#include "lumtwainpro/wintypes.h"

namespace lumtwain {

struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Each returns 0 with `condition` TWCC_LOWMEMORY when the new block cannot be made.
[[nodiscard]] HGLOBAL CropDib(const DibView& src, const PixelBox& box, int* condition);
// Turns the picture by `quarter_turns` × 90° clockwise (1, 2 or 3).
[[nodiscard]] HGLOBAL TurnDib(const DibView& src, int quarter_turns, int* condition);
// Turns the picture by `degrees` clockwise about its centre, in physical units (so that
// unequal resolutions keep angles); uncovered corners take grey `fill`.
[[nodiscard]] HGLOBAL RotateDib(const DibView& src, double degrees, uint8_t fill, int* condition);

// A grey copy reduced by whole factors so that its pixels are about `target_dpi` square,
// each the darkest of the pixels it stands for.
struct GreyImage {
    int width = 0, height = 0;
    int factor_x = 1, factor_y = 1;  // source pixels per pixel here
    double dpi = 0;                  // of the pixels here (horizontally)
    std::vector<uint8_t> px;
    uint8_t at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};
GreyImage ReduceToGrey(const DibView& src, double target_dpi);

}  // namespace lumtwain
