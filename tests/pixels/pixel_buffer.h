// Owning pixel buffers for the converter and lock tests.
#pragma once

#include <random>
#include <vector>

#include "platform/gdiplus/convert.h"

namespace pixtest {

struct Buffer {
    int32_t width = 0, height = 0, stride = 0;
    PixelFormat format = 0;
    std::vector<BYTE> bytes;
    std::vector<ARGB> palette;
    bool bottom_up = false;  // view with a negative stride from the last row

    Buffer(int32_t w, int32_t h, PixelFormat f, int32_t pad = 0, bool upward = false)
        : width(w), height(h), format(f), bottom_up(upward) {
        stride = *gdip::row_bytes(w, f) + pad;
        bytes.assign(size_t(stride) * size_t(h), 0);
    }
    BYTE* first_row() {
        return bottom_up ? bytes.data() + size_t(stride) * (height - 1) : bytes.data();
    }
    gdip::PixelView view() {
        return {first_row(), width, height, bottom_up ? -stride : stride, format, palette, 0};
    }
    gdip::ConstPixelView cview() { return gdip::as_const(view()); }
    void randomise(std::mt19937& rng) {
        for (auto& b : bytes) b = BYTE(rng());
    }
    // Row bytes as the image sees them (padding excluded), top row first.
    std::vector<BYTE> rows() {
        std::vector<BYTE> out;
        auto v = view();
        int32_t n = *gdip::row_bytes(width, format);
        int used = int((int64_t(width) * gdip::pixel_format_bits(format)) % 8);
        for (int32_t y = 0; y < height; ++y) {
            out.insert(out.end(), v.row(y), v.row(y) + n);
            if (used) out.back() &= BYTE(0xFF00 >> used);  // bits past the last pixel
        }
        return out;
    }
};

inline std::vector<ARGB> random_palette(std::mt19937& rng, size_t n, bool opaque = true) {
    std::vector<ARGB> p(n);
    for (auto& c : p) c = rng() | (opaque ? 0xFF000000u : 0u);
    return p;
}

}  // namespace pixtest
