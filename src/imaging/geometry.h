// Geometry and colour-depth operations of the engine: rotation and flipping, the uniform
// band and border search, and the conversions to 1 and 4 bits per pixel.
#pragma once

#include <vector>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

// In place. 2 for image 0 and for a type outside 0..7; 180 degrees is two quarter turns.
EngineStatus RotateFlip(GpImage image, int32_t type);

// Lines of uniform colour at each edge, as CropUniformEdges finds them: a line matches when
// at least `confidence` percent of its pixels match `colour` (red, green and blue exactly
// when `tolerance` is 0, else within `tolerance` summed absolute differences). Each edge's
// count starts at `skip` and grows while the next line matches, never reaching the last line;
// an edge with no matching line counts 0 (its skipped lines stay).
struct UniformEdges {
    int32_t top = 0, bottom = 0, left = 0, right = 0;
    bool found = false;
};
EngineStatus FindUniformEdges(GpImage image, double confidence, ARGB colour, int32_t skip,
                              int32_t tolerance, UniformEdges& edges);

// A new 1bppIndexed image (registered; the caller owns it). Threshold rule: a pixel is white
// when its blue, green and red are all above 125; with `opaque_white_only`, when it is
// exactly opaque white 0xFFFFFFFF.
EngineStatus ConvertTo1BppImage(GpImage image, bool opaque_white_only, GpImage& result);
// A new 4bppIndexed image whose palette is `palette` (1 to 16 ARGB colours, flags `flags`):
// each pixel takes the first entry nearest in red, green and blue. 2 for an empty palette or
// one of more than 16 colours.
EngineStatus ConvertTo4BppImage(GpImage image, const std::vector<ARGB>& palette, UINT flags,
                                GpImage& result);
// The fixed 16-colour palette of the 4-bit conversion.
const std::vector<ARGB>& FixedPalette16();

// Sets the halftone bit of the palette's flags; colours and pixels stay.
EngineStatus MarkPaletteHalftone(GpImage image);

}  // namespace modGdiplus
