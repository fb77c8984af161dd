// Pieces of the converter shared by the generic path and the fast paths.
#pragma once

#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "platform/gdiplus/convert.h"

namespace gdip::detail {

static_assert(std::endian::native == std::endian::little, "pixel rows are little-endian");

inline uint32_t load32(const BYTE* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store32(BYTE* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline uint32_t load16(const BYTE* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
inline void store16(BYTE* p, uint32_t v) {
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

// Everything a row conversion needs besides the rows.
struct RowContext {
    PixelFormat src_format = 0;
    PixelFormat dst_format = 0;
    int src_bits = 0;
    int dst_bits = 0;
    // Source palette as ARGB32, 256 entries; indices past its end read opaque black.
    std::array<ARGB, 256> src_lut{};
    // Source palette already packed for a 32-bit target (fast paths from indexed).
    std::array<uint32_t, 256> dst_lut{};
    std::optional<PaletteMatcher> matcher;  // indexed targets
    bool copy_indices = false;              // both indexed with the same palette
    uint32_t dst_index_limit = 0;           // 1 << dst_bits
};

// Sets up the context; false when the target is indexed and has no palette.
bool make_context(const ConstPixelView& src, const PixelView& dst, RowContext* ctx);

// A fast path converts `n` pixels from pixel `sx` of `srow` to pixel `dx` of `drow`.
using FastRow = void (*)(const BYTE* srow, int32_t sx, BYTE* drow, int32_t dx, int32_t n,
                         RowContext& ctx);
// Null when the pair has no fast path (or the context rules it out); fills dst_lut.
FastRow find_fast_path(RowContext& ctx);

}  // namespace gdip::detail
