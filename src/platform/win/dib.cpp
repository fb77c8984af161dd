#include "platform/win/dib.h"

#include <algorithm>
#include <climits>

namespace win {
namespace {


uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool read_fields(const uint8_t* p, size_t n, DibHeader* h) {
    if (n < 4) return false;
    h->size = rd32(p);
    if (h->size < 12 || h->size > n) return false;
    if (h->size == 12) {
        h->core = true;
        h->entry_size = 3;
        h->width = rd16(p + 4);
        h->height = rd16(p + 6);
        h->bits = rd16(p + 10);
        h->table_offset = 12;
        return true;
    }
    if (h->size < 16) return false;
    h->os2 = h->size < 40 || h->size == 64;
    auto field = [&](size_t off) { return off + 4 <= h->size ? rd32(p + off) : 0u; };
    h->width = int32_t(rd32(p + 4));
    int32_t height = int32_t(rd32(p + 8));
    if (height == INT32_MIN) return false;
    h->top_down = height < 0;
    h->height = height < 0 ? -int64_t(height) : height;
    h->bits = rd16(p + 14);
    h->compression = field(16);
    h->ppm_x = int32_t(field(24));
    h->ppm_y = int32_t(field(28));
    h->clr_used = field(32);
    h->table_offset = h->size;
    if (h->os2) return h->compression != kBiBitfields && h->compression != kBiJpeg;
    bool fields = h->compression == kBiBitfields || h->compression == kBiAlphaBitfields;
    if (fields && h->size == 40) {
        size_t count = h->compression == kBiAlphaBitfields ? 4 : 3;
        if (40 + 4 * count > n) return false;
        for (size_t i = 0; i < count; ++i) h->masks[i] = rd32(p + 40 + 4 * i);
        h->table_offset = 40 + 4 * count;
    } else if (fields && h->size >= 52) {
        for (size_t i = 0; i < 4; ++i) h->masks[i] = field(40 + 4 * i);
    }
    return true;
}

bool depth_allowed(const DibHeader& h) {
    switch (h.compression) {
        case kBiRgb:
            switch (h.bits) {
                case 1: case 2: case 4: case 8: case 16: case 24: case 32: return true;
                default: return false;
            }
        case kBiRle8: return h.bits == 8 && !h.top_down;
        case kBiRle4: return h.bits == 4 && !h.top_down;
        case kBiBitfields:
        case kBiAlphaBitfields: return h.bits == 16 || h.bits == 32;
        case kBiJpeg:
        case kBiPng: return !h.core && !h.os2;
        default: return false;
    }
}

void default_masks(DibHeader& h) {
    uint32_t* m = h.masks;
    if (h.compression != kBiRgb && (m[0] | m[1] | m[2]) != 0) return;
    if (h.bits == 16) m[0] = 0x7C00, m[1] = 0x3E0, m[2] = 0x1F, m[3] = 0;
    if (h.bits == 32) m[0] = 0xFF0000, m[1] = 0xFF00, m[2] = 0xFF, m[3] = 0;
}

}  // namespace

bool ParseDibHeader(const uint8_t* p, size_t n, DibHeader* out) {
    DibHeader h;
    if (!p || !read_fields(p, n, &h)) return false;
    if (h.width < 1 || h.height < 1 || !depth_allowed(h)) return false;
    // Like DibStride, but without its limit: rows too long to allocate are the caller's to
    // refuse (OutOfMemory), not a broken header.
    h.stride = DibRowBytes(uint64_t(h.width), h.bits);
    if (h.bits <= 8) {
        size_t full = size_t(1) << h.bits;
        h.table_entries = h.clr_used && !h.core ? std::min<size_t>(h.clr_used, full) : full;
    } else {
        h.table_entries = h.clr_used;  // an optional table of colours to favour
    }
    default_masks(h);
    *out = h;
    return true;
}

bool ParsePackedDib(const uint8_t* p, size_t n, DibHeader* out) {
    DibHeader h;
    if (!ParseDibHeader(p, n, &h) || h.compressed()) return false;
    if (!DibImageBytes(h.width, h.height, h.bits)) return false;
    uint64_t end = uint64_t(h.bits_offset()) + h.stride * uint64_t(h.height);
    if (end > n) return false;
    *out = h;
    return true;
}

}  // namespace win
