// Packed DIBs (BITMAPINFOHEADER, colour table, bottom-up rows) in movable global blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "lumtwainpro/wintypes.h"

namespace lumtwain {

// 1 bit: palette 0 black, 1 white, most significant bit first; 8 bits: grey ramp palette;
// 24 bits: blue, green, red.
struct DibFormat {
    int width = 0;
    int height = 0;
    int bits = 24;
    double dpi_x = 100.0;
    double dpi_y = 100.0;
    bool vanilla = false;  // pixel flavour: the colour table runs from white to black
};

struct DibLayout {
    size_t stride = 0;  // bytes per row, a multiple of 4
    size_t palette_entries = 0;
    size_t bits_offset = 0;  // header and colour table
    size_t image_bytes = 0;
    size_t total = 0;
};

constexpr size_t kMaxDibBytes = size_t(1) << 31;

// Sizes with every multiplication checked; nullopt for a bad format or one above kMaxDibBytes.
std::optional<DibLayout> ComputeDibLayout(const DibFormat& format);

// Fills row `y` (0 = top) of `stride` bytes, pre-zeroed, in the DIB's sample order.
using RowWriter = std::function<void(int y, uint8_t* row)>;

// Writes the DIB to `dst`, which holds layout.total bytes.
void WriteDib(const DibFormat& format, const DibLayout& layout, const RowWriter& rows,
              uint8_t* dst);

// A movable global block holding the DIB, or 0 (bad format or out of memory). `condition`
// receives TWCC_LOWMEMORY or TWCC_BADVALUE on failure.
HGLOBAL BuildDibBlock(const DibFormat& format, const RowWriter& rows, int* condition);

// Pixels per metre for a resolution in dots per inch: round(dpi / 0.0254).
int32_t PelsPerMeter(double dpi);

}  // namespace lumtwain
