// Nearest-colour matching for indexed targets.
#include <algorithm>

#include "platform/gdiplus/convert.h"

namespace gdip {
namespace {

uint32_t distance(ARGB a, ARGB b) {
    uint32_t d = 0;
    for (int s = 0; s < 32; s += 8) {
        int v = int((a >> s) & 255) - int((b >> s) & 255);
        d += uint32_t(v * v);
    }
    return d;
}

}  // namespace

PaletteMatcher::PaletteMatcher(std::span<const ARGB> palette, size_t limit) {
    m_entries.assign(palette.begin(), palette.begin() + std::min(palette.size(), limit));
    if (m_entries.size() == 2) {
        m_two_level = true;
        uint32_t y0 = luminance(m_entries[0]), y1 = luminance(m_entries[1]);
        if (y0 == y1) {
            m_bright = 0;  // both the same: everything maps to entry 0
            m_threshold2 = 0;
        } else {
            m_bright = y1 > y0 ? 1 : 0;
            m_threshold2 = y0 + y1;
        }
    }
}

uint8_t PaletteMatcher::search(ARGB color) const {
    size_t best = 0;
    uint32_t best_d = UINT32_MAX;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        uint32_t d = distance(color, m_entries[i]);
        if (d < best_d) {
            best_d = d;
            best = i;
            if (d == 0) break;
        }
    }
    return uint8_t(best);
}

uint8_t PaletteMatcher::match(ARGB color) {
    if (m_two_level) return match_luminance(luminance(color));
    if (m_entries.size() <= 1) return 0;
    uint32_t h = (color * 2654435761u) >> 20;  // 12-bit multiplicative hash
    if (m_valid[h] && m_keys[h] == color) return m_values[h];
    uint8_t v = search(color);
    m_keys[h] = color;
    m_values[h] = v;
    m_valid[h] = true;
    return v;
}

}  // namespace gdip
