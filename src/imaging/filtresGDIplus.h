// The pixel filters: colour and neighbourhood effects on a rectangle of an image, and the
// blank-page test.
#pragma once

#include "imaging/modGdiplus.h"

namespace filtresGDIplus {

using modGdiplus::EngineStatus;

enum Effect : int32_t {
    EffectNegative = 2,
    EffectSmooth = 5,
    EffectBrightness = 14,
    EffectContrast = 17,
    EffectStretchContrast = 28,
    EffectSaturation = 30,
    EffectGammaCorrection = 31,
    EffectSoften = 33,
    EffectSepia = 34,
    EffectBlankTest = 53,
};

// Left, top, width, height in 0-based pixels.
struct FilterRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// Runs `effect` over the rectangle. `parameter` is rounded half to even first; sepia reads
// hue, saturation and lightness factor from h, s, l; the blank test reads its confidence
// (percent) from extra1 and returns 1 when the rectangle is blank, 0 when it is not.
// Negative and brightness change the palette of an indexed image (the whole image). An empty
// rectangle gives 0 with nothing done. Failures: the lock's status (2 for a rectangle outside
// the image), 60 when an indexed image must be converted first (GDI+ below 6), 3 out of
// memory, 1 any other run-time error (a gamma of 0, a soften value that leaves the byte
// range). The image is unchanged by a failure.
EngineStatus ApplyEffect(int32_t effect, GpImage image, double parameter, const FilterRect& rect,
                         float h = 0, float s = 0.5f, float l = 1, double extra1 = 0,
                         double extra2 = 0, double extra3 = 0);

}  // namespace filtresGDIplus
