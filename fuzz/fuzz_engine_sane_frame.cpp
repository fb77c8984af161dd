// What a SANE backend hands the worker: frame parameters and data of any shape. Whatever the
// checks accept must convert into a DIB without reading outside the data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sane_frame.h"

namespace {

constexpr size_t kMaxFuzzDib = size_t(1) << 22;

int32_t take(const uint8_t*& p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    p += 4;
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 24) return 0;
    const uint8_t* p = data;
    SANE_Parameters params{};
    params.format = SANE_Frame(uint32_t(take(p)) % 8);
    params.last_frame = SANE_TRUE;
    params.bytes_per_line = take(p);
    params.pixels_per_line = take(p);
    params.lines = take(p);
    params.depth = int(uint32_t(take(p)) % 20);
    int pixel_type = int(uint32_t(take(p)) % 3);
    if (!lumtwain::CheckFrameParameters(params).empty()) return 0;
    lumtwain::FrameSet frames;
    frames.params = params;
    frames.frames = 1;
    frames.planes[0].assign(p, data + size);
    lumtwain::FrameConversion c{pixel_type, 100, 0, 0, 128};
    std::string why;
    std::optional<lumtwain::DibFormat> format = lumtwain::FrameDibFormat(frames, c, &why);
    if (!format) return 0;
    std::optional<lumtwain::DibLayout> layout = lumtwain::ComputeDibLayout(*format);
    if (!layout || layout->total > kMaxFuzzDib) return 0;
    std::vector<uint8_t> dib(layout->total);
    lumtwain::WriteDib(*format, *layout, lumtwain::FrameRowWriter(frames, c), dib.data());
    return 0;
}
