// Reduction of any image to 8 bits per pixel and at most 256 colours through the octree: the
// scanning control's 8-bit conversion and the own writers' preparation.
#pragma once

#include <vector>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

// A new 8bppIndexed image (the caller disposes it) of the image's size whose palette holds at
// most `colours` opaque colours. `colours` is clamped to 8..256 first and on return holds the
// palette's entry count; `palette` receives it as a ColorPalette buffer (flags 4).
EngineStatus QuantizeTo8Bpp(GpImage image, GpImage& result, int32_t& colours,
                            std::vector<BYTE>& palette);

}  // namespace modGdiplus
