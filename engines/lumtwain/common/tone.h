// Brightness and contrast on 8-bit samples, shared by the virtual scanner and the SANE worker.
#pragma once

#include <array>
#include <cstdint>

namespace lumtwain {

// Brightness and contrast (-1000..1000, 0 neutral) as a look-up table on 8-bit samples.
std::array<uint8_t, 256> AdjustLut(double brightness, double contrast);

}  // namespace lumtwain
