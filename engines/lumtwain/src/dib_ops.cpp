#include "dib_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "codes.h"
#include "dib.h"

namespace lumtwain {
namespace {

// The engine's own DIBs carry a grey ramp, or the ramp reversed (pixel flavour).
DibFormat format_like(const DibView& src, int width, int height, double dpi_x, double dpi_y) {
    DibFormat s;
    s.width = width;
    s.height = height;
    s.bits = src.header.biBitCount;
    s.dpi_x = dpi_x;
    s.dpi_y = dpi_y;
    s.vanilla = s.bits != 24 && !src.palette.empty() && src.palette[0].rgbRed > 128;
    return s;
}

HGLOBAL build(const DibFormat& s, const RowWriter& rows, int* condition) {
    HGLOBAL block = BuildDibBlock(s, rows, condition);
    if (!block && condition) *condition = kTwccLowMemory;
    return block;
}

// Copies sample (sx, sy) of `src` to sample x of `row`, both of the source's depth.
void copy_sample(const DibView& src, int sx, int sy, uint8_t* row, int x) {
    const uint8_t* in = src.row(sy);
    switch (src.header.biBitCount) {
        case 24:
            std::memcpy(row + 3 * size_t(x), in + 3 * size_t(sx), 3);
            return;
        case 8:
            row[x] = in[sx];
            return;
        default:
            if ((in[sx >> 3] >> (7 - (sx & 7))) & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
}

// The sample value (index or grey) whose colour is nearest to grey `v`.
uint8_t index_for(const DibView& src, uint8_t v) {
    int best = 0, best_d = 1 << 30;
    for (size_t i = 0; i < src.palette.size(); ++i) {
        int d = std::abs(int(src.palette[i].rgbRed) - int(v));
        if (d < best_d) best = int(i), best_d = d;
    }
    return uint8_t(best);
}

// Bilinear sample of channel `c` (8-bit and 24-bit sources) at (x, y) in pixel centres.
double bilinear(const DibView& src, double x, double y, int c, int channels, double fill) {
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    double fx = x - x0, fy = y - y0, sum = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            int px = x0 + i, py = y0 + j;
            double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
            if (w == 0) continue;
            bool inside = px >= 0 && py >= 0 && px < src.width() && py < src.height();
            sum += w * (inside ? src.row(py)[size_t(px) * channels + c] : fill);
        }
    return sum;
}

}  // namespace

HGLOBAL CropDib(const DibView& src, const PixelBox& box, int* condition) {
    DibFormat s = format_like(src, box.width(), box.height(), src.dpi_x(), src.dpi_y());
    return build(
        s,
        [&](int y, uint8_t* row) {
            for (int x = 0; x < box.width(); ++x)
                copy_sample(src, box.left + x, box.top + y, row, x);
        },
        condition);
}

HGLOBAL TurnDib(const DibView& src, int quarter_turns, int* condition) {
    const int w = src.width(), h = src.height(), k = ((quarter_turns % 4) + 4) % 4;
    const bool swap = k % 2 == 1;
    DibFormat s = format_like(src, swap ? h : w, swap ? w : h, swap ? src.dpi_y() : src.dpi_x(),
                              swap ? src.dpi_x() : src.dpi_y());
    return build(
        s,
        [&](int y, uint8_t* row) {
            for (int x = 0; x < s.width; ++x) {
                // Clockwise: the output's top row is the source's left column, bottom up.
                int sx = k == 1 ? y : k == 2 ? w - 1 - x : k == 3 ? w - 1 - y : x;
                int sy = k == 1 ? h - 1 - x : k == 2 ? h - 1 - y : k == 3 ? x : y;
                copy_sample(src, sx, sy, row, x);
            }
        },
        condition);
}

HGLOBAL RotateDib(const DibView& src, double degrees, uint8_t fill, int* condition) {
    const int w = src.width(), h = src.height(), bits = src.header.biBitCount;
    const double t = degrees * std::numbers::pi / 180, c = std::cos(t), sn = std::sin(t);
    // Physical units (inches), so that the turn is a true one whatever the resolutions.
    const double kx = 1 / src.dpi_x(), ky = 1 / src.dpi_y();
    const double cx = w / 2.0, cy = h / 2.0;
    const uint8_t fill_index = bits == 24 ? fill : index_for(src, fill);
    DibFormat s = format_like(src, w, h, src.dpi_x(), src.dpi_y());
    return build(
        s,
        [&](int y, uint8_t* row) {
            const double dy = (y + 0.5 - cy) * ky;
            for (int x = 0; x < w; ++x) {
                // The source point that the clockwise turn brings here.
                const double dx = (x + 0.5 - cx) * kx;
                const double sx = cx + (dx * c + dy * sn) / kx - 0.5;
                const double sy = cy + (-dx * sn + dy * c) / ky - 0.5;
                if (bits == 1) {
                    int px = int(std::lround(sx)), py = int(std::lround(sy));
                    bool inside = px >= 0 && py >= 0 && px < w && py < h;
                    if (inside)
                        copy_sample(src, px, py, row, x);
                    else if (fill_index)
                        row[x >> 3] |= uint8_t(0x80 >> (x & 7));
                    continue;
                }
                const int channels = bits / 8;
                for (int ch = 0; ch < channels; ++ch)
                    row[x * channels + ch] =
                        uint8_t(std::lround(bilinear(src, sx, sy, ch, channels, fill_index)));
            }
        },
        condition);
}

GreyImage ReduceToGrey(const DibView& src, double target_dpi) {
    GreyImage g;
    // Resolutions come back from pixels per metre a little low (300 dpi reads 299.99).
    g.factor_x = std::max(1, int(src.dpi_x() / target_dpi + 0.01));
    g.factor_y = std::max(1, int(src.dpi_y() / target_dpi + 0.01));
    g.dpi = src.dpi_x() / g.factor_x;
    g.width = std::max(1, src.width() / g.factor_x);
    g.height = std::max(1, src.height() / g.factor_y);
    g.px.assign(size_t(g.width) * size_t(g.height), 255);
    // The darkest source pixel of each cell: thin strokes stay ink at the lower resolution.
    for (int y = 0; y < g.height * g.factor_y && y < src.height(); ++y) {
        uint8_t* out = &g.px[size_t(y / g.factor_y) * size_t(g.width)];
        for (int x = 0; x < g.width * g.factor_x && x < src.width(); ++x) {
            uint8_t& cell = out[x / g.factor_x];
            cell = std::min(cell, src.grey(x, y));
        }
    }
    return g;
}

}  // namespace lumtwain
