#include "tone.h"

#include <algorithm>
#include <cmath>

namespace lumtwain {

std::array<uint8_t, 256> AdjustLut(double brightness, double contrast) {
    double factor = contrast >= 0 ? 1.0 + contrast / 250.0 : 1.0 + contrast / 1000.0;
    std::array<uint8_t, 256> lut{};
    for (int v = 0; v < 256; ++v) {
        double out = (v - 128.0) * factor + 128.0 + brightness * 128.0 / 1000.0;
        lut[size_t(v)] = uint8_t(std::clamp(std::nearbyint(out), 0.0, 255.0));
    }
    return lut;
}

}  // namespace lumtwain
