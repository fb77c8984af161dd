// libFuzzer target: the PNM reader over bytes in memory. The decoded size is checked against
// the header, so that a reader writing past its rows shows up under ASan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/mPNMFileIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (mPNMFileIO::DecodePnm({data, size}, width, height, pixels) && width > 0 && height > 0) {
        size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
        if (pixels.size() != stride * size_t(height)) std::abort();
    }
    return 0;
}
