// Kernels of the pixel filters over rows of 3- or 4-byte pixels (blue, green, red first).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/filtresGDIplus.h"

namespace filtresGDIplus::detail {

struct Pixels {
    uint8_t* scan0 = nullptr;
    int32_t width = 0, height = 0;
    ptrdiff_t stride = 0;
    int bytes = 4;  // 3 or 4 per pixel
    uint8_t* row(int32_t y) const { return scan0 + ptrdiff_t(y) * stride; }
};

struct KernelArgs {
    int64_t parameter = 0;
    float h = 0, s = 0.5f, l = 1;
    double confidence = 0;
};

// Runs the kernel in place; 0, or 1 for a run-time error (then nothing was changed, except
// by kernels that say they can fail midway: see can_fail_midway). `blank` receives the blank
// test's answer.
EngineStatus run_kernel(int32_t effect, const Pixels& px, const KernelArgs& args, bool* blank);
// True when the kernel may stop with an error after changing pixels (soften with a weight
// below 0): such runs go through a copy.
bool can_fail_midway(int32_t effect, int64_t parameter);
// The tone table of negative and brightness (the palette mode); false on a run-time error.
bool tone_table(int32_t effect, int64_t parameter, std::array<uint8_t, 256>& table);

}  // namespace filtresGDIplus::detail
