#include "platform/gdiplus/pixel_format.h"

#include <limits>

#include "platform/win/dib.h"

namespace gdip {

std::optional<int32_t> aligned_stride(int32_t width, PixelFormat format) {
    auto stride = win::DibStride(width, pixel_format_bits(format));
    if (!stride) return std::nullopt;
    return int32_t(*stride);
}

std::optional<size_t> buffer_size(int32_t height, int32_t stride) {
    if (height <= 0) return std::nullopt;
    uint64_t s = stride < 0 ? uint64_t(-int64_t(stride)) : uint64_t(stride);
    uint64_t bytes = s * uint64_t(height);
    // One frame may not exceed 2 GiB: larger requests are refused, not attempted.
    if (s != 0 && bytes / s != uint64_t(height)) return std::nullopt;
    if (bytes > (uint64_t(1) << 31)) return std::nullopt;
    return size_t(bytes);
}

}  // namespace gdip
