// Axis-aligned resampling of premultiplied ARGB32 pixels, for image drawing: a separable
// filter (two passes, fixed-point weights) or nearest neighbour, computing only the
// destination pixels asked for and reading only the source rows and columns they need.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace gdip {

enum class Filter {
    Nearest,   // the source pixel under the mapped centre
    Bilinear,  // triangle over the two nearest source pixels
    Bicubic,   // cubic convolution (a = -0.5) over the four nearest
};

// One axis: destination pixel d (centre d + 0.5) maps to the source coordinate
// (d + 0.5 - offset) / scale; source pixel i has its centre at i + 0.5. Sampling stays inside
// [lo, hi) of the source (edges are clamped). With `prefilter`, a shrink widens the kernel
// by the shrink factor (area filtering, no aliasing).
struct Axis {
    double scale = 1;   // destination pixels per source pixel; may be negative (a flip)
    double offset = 0;  // destination coordinate of source coordinate 0
    int32_t lo = 0, hi = 0;
};

// Weights of one destination pixel: taps from source pixel `first`, fixed-point (sum 1 << 14).
struct Taps {
    int32_t first = 0;
    int32_t count = 0;
    size_t at = 0;  // index of the first weight
};
struct Coefficients {
    std::vector<Taps> taps;  // one per destination pixel of the range
    std::vector<int32_t> weights;
    int32_t src_min = 0, src_max = 0;  // source pixels read, [min, max)
};
// For destination pixels [d0, d1).
Coefficients make_coefficients(const Axis& axis, int32_t d0, int32_t d1, Filter filter,
                               bool prefilter);

// Supplies source row `y`, columns [x0, x1), as premultiplied ARGB32 into `out`.
using RowReader = std::function<GpStatus(int32_t y, int32_t x0, int32_t x1, uint32_t* out)>;

// Writes destination pixels [dx0, dx1) × [dy0, dy1) into `out` (stride `out_stride` pixels).
[[nodiscard]] GpStatus resample(const RowReader& read, const Axis& ax, const Axis& ay, int32_t dx0,
                                int32_t dx1, int32_t dy0, int32_t dy1, Filter filter,
                                bool prefilter, uint32_t* out, size_t out_stride);

}  // namespace gdip
