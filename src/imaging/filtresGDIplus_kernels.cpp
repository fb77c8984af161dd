// The effect kernels. Each works on blue, green and red and leaves the fourth byte alone.
// Rounding is to nearest with ties to even (nearbyint in the default rounding mode) on
// products computed in double from factors held in single precision, as the filters state.
// Per-pixel effects go through tables built once per call.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <emmintrin.h>

#include "imaging/filtresGDIplus_p.h"

namespace filtresGDIplus::detail {
namespace {

using Table = std::array<uint8_t, 256>;

uint8_t clamp_byte(double v) {
    return uint8_t(std::clamp(v, 0.0, 255.0));
}

// k \ 3 for k = 0..765: the grey level of R + G + B.
const std::array<uint8_t, 766>& third() {
    static const auto t = [] {
        std::array<uint8_t, 766> a{};
        for (int k = 0; k < 766; ++k) a[size_t(k)] = uint8_t(k / 3);
        return a;
    }();
    return t;
}

template <int B, class F>
void each_pixel(const Pixels& px, F&& f) {
    for (int32_t y = 0; y < px.height; ++y) {
        uint8_t* p = px.row(y);
        for (int32_t x = 0; x < px.width; ++x, p += B) f(p);
    }
}

template <class F>
void dispatch(const Pixels& px, F&& f) {
    if (px.bytes == 3)
        each_pixel<3>(px, f);
    else
        each_pixel<4>(px, f);
}

// One table for blue, green and red: a plain byte-table pass.
void map_tone(const Pixels& px, const Table& t) {
    dispatch(px, [&](uint8_t* p) {
        p[0] = t[p[0]];
        p[1] = t[p[1]];
        p[2] = t[p[2]];
    });
}

void map_channels(const Pixels& px, const Table& tb, const Table& tg, const Table& tr) {
    dispatch(px, [&](uint8_t* p) {
        p[0] = tb[p[0]];
        p[1] = tg[p[1]];
        p[2] = tr[p[2]];
    });
}

// ---- Contrast ------------------------------------------------------------------------

inline void settle(int64_t& c, int64_t& o1, int64_t& o2) {
    if (c < 0) {
        int64_t half = c / 2;  // truncated toward zero
        o1 += half;
        o2 += half;
        c = 0;
    } else if (c > 255) {
        int64_t half = (c - 255) / 2;
        o1 += half;
        o2 += half;
        c = 255;
    }
}

inline bool in_byte(int64_t v) {
    return v >= 0 && v <= 255;
}

// The overflow of one channel is spread over the other two until all three fit.
void spread(int64_t& r, int64_t& g, int64_t& b) {
    for (int round = 0; round < 64; ++round) {
        if (in_byte(r) && in_byte(g) && in_byte(b)) return;
        if (r <= 0 && g <= 0 && b <= 0) {
            r = g = b = 0;
            return;
        }
        if (r >= 255 && g >= 255 && b >= 255) {
            r = g = b = 255;
            return;
        }
        settle(r, g, b);
        settle(g, r, b);
        settle(b, r, g);
    }
    // Unreachable with halves truncated toward zero; clamp rather than loop for ever.
    r = std::clamp<int64_t>(r, 0, 255), g = std::clamp<int64_t>(g, 0, 255),
    b = std::clamp<int64_t>(b, 0, 255);
}

EngineStatus contrast(const Pixels& px, int64_t p) {
    // The mean grey: the grey level of each pixel from the table of k \ 3, summed in two
    // registers so that the adds of neighbouring pixels do not wait for each other.
    std::array<uint16_t, 766> third{};
    for (int k = 0; k < 766; ++k) third[size_t(k)] = uint16_t(k / 3);
    int64_t sum = 0;
    const int b = px.bytes;
    for (int32_t y = 0; y < px.height; ++y) {
        const uint8_t* q = px.row(y);
        uint64_t even = 0, odd = 0;
        int32_t x = 0;
        for (; x + 2 <= px.width; x += 2, q += 2 * b) {
            even += third[size_t(q[0] + q[1] + q[2])];
            odd += third[size_t(q[b] + q[b + 1] + q[b + 2])];
        }
        if (x < px.width) even += third[size_t(q[0] + q[1] + q[2])];
        sum += int64_t(even + odd);
    }
    int64_t e = sum / (int64_t(px.width) * px.height);
    float g = float(double(p + 100) / 100);
    std::array<int64_t, 256> t{};
    // Per value: its byte when the table keeps it inside 0..255, and whether it overflows
    // upwards (2) or downwards (1).
    std::array<uint16_t, 256> entry{};  // side × 256 + the clamped byte
    for (int m = 0; m < 256; ++m) {
        double v = std::nearbyint(double(g) * double(m - e) + double(e));
        // The table holds Longs: a value past their range is an overflow.
        if (!(v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()))
            return 1;
        int64_t tv = int64_t(v);
        t[size_t(m)] = tv;
        unsigned side = tv > 255 ? 2 : tv < 0 ? 1 : 0;
        entry[size_t(m)] = uint16_t(side << 8 | unsigned(std::clamp<int64_t>(tv, 0, 255)));
    }
    dispatch(px, [&](uint8_t* q) {
        unsigned e0 = entry[q[0]], e1 = entry[q[1]], e2 = entry[q[2]];
        // All three in range, or all three past the same end (where the spreading clamps them
        // all): the clamped table.
        if ((((e0 ^ e1) | (e1 ^ e2)) >> 8) == 0) {
            q[0] = uint8_t(e0), q[1] = uint8_t(e1), q[2] = uint8_t(e2);
            return;
        }
        int64_t r = t[q[2]], gr = t[q[1]], b = t[q[0]];
        spread(r, gr, b);
        q[0] = uint8_t(b), q[1] = uint8_t(gr), q[2] = uint8_t(r);
    });
    return 0;
}

// ---- Stretch contrast, saturation, sepia -----------------------------------------------

// Per-channel minimum and maximum. 48 bytes hold 16 whole 3-byte pixels and 12 of 4 bytes,
// so byte i of a 48-byte block is always channel i mod bytes-per-pixel.
void channel_range(const Pixels& px, int lo[3], int hi[3]) {
    alignas(16) uint8_t mins[48], maxs[48];
    __m128i mn[3], mx[3];
    for (int i = 0; i < 3; ++i) mn[i] = _mm_set1_epi8(char(255)), mx[i] = _mm_setzero_si128();
    const int b = px.bytes;
    for (int c = 0; c < 3; ++c) lo[c] = 255, hi[c] = 0;
    for (int32_t y = 0; y < px.height; ++y) {
        const uint8_t* p = px.row(y);
        size_t n = size_t(px.width) * size_t(b), i = 0;
        for (; i + 48 <= n; i += 48)
            for (int k = 0; k < 3; ++k) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * k));
                mn[k] = _mm_min_epu8(mn[k], v);
                mx[k] = _mm_max_epu8(mx[k], v);
            }
        for (; i < n; ++i) {
            size_t c = i % size_t(b);
            if (c < 3) lo[c] = std::min<int>(lo[c], p[i]), hi[c] = std::max<int>(hi[c], p[i]);
        }
    }
    for (int k = 0; k < 3; ++k) {
        _mm_store_si128(reinterpret_cast<__m128i*>(mins + 16 * k), mn[k]);
        _mm_store_si128(reinterpret_cast<__m128i*>(maxs + 16 * k), mx[k]);
    }
    for (int i = 0; i < 48; ++i) {
        int c = i % b;
        if (c < 3) lo[c] = std::min<int>(lo[c], mins[i]), hi[c] = std::max<int>(hi[c], maxs[i]);
    }
}

void stretch(const Pixels& px) {
    int lo[3], hi[3];
    channel_range(px, lo, hi);
    Table t[3];
    for (int c = 0; c < 3; ++c) {
        if (lo[c] == hi[c]) lo[c] = 0, hi[c] = 255;
        for (int v = 0; v < 256; ++v)
            t[c][size_t(v)] = clamp_byte(std::nearbyint(double(v - lo[c]) * 255 / (hi[c] - lo[c])));
    }
    map_channels(px, t[0], t[1], t[2]);
}

EngineStatus saturation(const Pixels& px, int64_t p) {
    float s = float(double(p) / 100);
    // Indexed by channel and grey: ties to even depend on the whole sum, so no 1-D table.
    std::vector<uint8_t> t(256 * 256);
    for (int c = 0; c < 256; ++c)
        for (int grey = 0; grey < 256; ++grey)
            t[size_t(c) * 256 + size_t(grey)] =
                clamp_byte(std::nearbyint(double(s) * double(c - grey) + double(c)));
    const auto& div3 = third();
    dispatch(px, [&](uint8_t* q) {
        size_t grey = div3[size_t(q[0] + q[1] + q[2])];
        q[0] = t[size_t(q[0]) * 256 + grey];
        q[1] = t[size_t(q[1]) * 256 + grey];
        q[2] = t[size_t(q[2]) * 256 + grey];
    });
    return 0;
}

// Red, green and blue of hue h (sixths of the circle), saturation s and lightness l.
void hsl(float h, float s, float l, float out[3]) {
    if (s == 0) {
        out[0] = out[1] = out[2] = l;
        return;
    }
    float m1 = l > 0.5f ? l - (1 - l) * s : (1 - s) * l;
    float m2 = 2 * l - m1, d = m2 - m1;
    float& r = out[0];
    float& g = out[1];
    float& b = out[2];
    if (h < 0)
        r = m2, g = m1, b = m1 - d * h;
    else if (h < 1)
        r = m2, g = m1 + d * h, b = m1;
    else if (h < 2)
        r = m1 - d * (h - 2), g = m2, b = m1;
    else if (h < 3)
        r = m1, g = m2, b = m1 + d * (h - 2);
    else if (h < 4)
        r = m1, g = m1 - d * (h - 4), b = m2;
    else
        r = m1 + d * (h - 4), g = m1, b = m2;
}

EngineStatus sepia(const Pixels& px, float h, float s, float f) {
    // The colour depends on R + G + B only.
    std::vector<std::array<uint8_t, 3>> t(766);
    for (int sum = 0; sum < 766; ++sum) {
        float l = float(double(f) * (double(sum) / 765));
        float rgb[3];
        hsl(h, s, l, rgb);
        for (int c = 0; c < 3; ++c) {
            double v = std::nearbyint(double(rgb[c]) * 255);
            if (!(v >= 0 && v <= 255)) return 1;  // a value outside a byte
            t[size_t(sum)][size_t(c)] = uint8_t(v);
        }
    }
    dispatch(px, [&](uint8_t* q) {
        const auto& c = t[size_t(q[0] + q[1] + q[2])];
        q[0] = c[2], q[1] = c[1], q[2] = c[0];
    });
    return 0;
}

// ---- Soften and smooth ---------------------------------------------------------------------

// In place, row by row from the top and left to right: the left and upper neighbours are
// already the new values. Border pixels stay.
//
// With a non-negative weight every sum fits a table of quotients. Then each row first adds up
// what does not depend on the row's new values (centre, right, below and the finished row
// above), and only the left neighbour is carried along the row.
// Centre × weight + right + below + above of every byte from `from` to `to` of a row; the
// weight is at most 252, so the sums fit 16 bits.
void row_sums(const uint8_t* __restrict cur, const uint8_t* __restrict up,
              const uint8_t* __restrict down, int right, size_t from, size_t to, uint16_t w,
              uint16_t* __restrict sums) {
    const __m128i zero = _mm_setzero_si128(), wv = _mm_set1_epi16(short(w));
    auto widen = [&](const uint8_t* p, bool high) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return high ? _mm_unpackhi_epi8(v, zero) : _mm_unpacklo_epi8(v, zero);
    };
    size_t i = from;
    for (; i + 16 <= to; i += 16)
        for (int half = 0; half < 2; ++half) {
            __m128i n = _mm_mullo_epi16(widen(cur + i, half), wv);
            n = _mm_add_epi16(n, widen(cur + i + right, half));
            n = _mm_add_epi16(n, _mm_add_epi16(widen(down + i, half), widen(up + i, half)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 8 * half), n);
        }
    for (; i < to; ++i) sums[i] = uint16_t(w * cur[i] + cur[i + right] + down[i] + up[i]);
}

// Each row first adds up what does not depend on the row's new values (centre, right, below and
// the finished row above); only the left neighbour is carried along the row.
template <int B>
void soften_by_table(const Pixels& px, int32_t w, const std::vector<uint8_t>& quotient) {
    const int32_t width = px.width, height = px.height;
    if (width < 3) return;  // no pixel inside the border
    std::vector<uint16_t> sums(size_t(width) * B);
    const uint8_t* q = quotient.data();
    for (int32_t y = 1; y + 1 < height; ++y) {
        uint8_t* cur = px.row(y);
        row_sums(cur, px.row(y - 1), px.row(y + 1), B, B, size_t(width - 1) * B, uint16_t(w),
                 sums.data());
        uint32_t left0 = cur[0], left1 = cur[1], left2 = cur[2];
        const uint16_t* n = sums.data() + B;
        uint8_t* out = cur + B;
        for (int32_t x = 1; x + 1 < width; ++x, n += B, out += B) {
            left0 = q[n[0] + left0];
            left1 = q[n[1] + left1];
            left2 = q[n[2] + left2];
            out[0] = uint8_t(left0), out[1] = uint8_t(left1), out[2] = uint8_t(left2);
        }
    }
}

template <int B>
EngineStatus soften_rows(const Pixels& px, int64_t w, int64_t d) {
    int64_t max_sum = (w + 4) * 255;
    if (w >= 0 && w <= 252) {
        std::vector<uint8_t> quotient(size_t(max_sum) + 1);
        for (int64_t n = 0; n <= max_sum; ++n) quotient[size_t(n)] = uint8_t(n / d);
        soften_by_table<B>(px, int32_t(w), quotient);
        return 0;
    }
    for (int32_t y = 1; y + 1 < px.height; ++y) {
        const uint8_t* up = px.row(y - 1);
        uint8_t* cur = px.row(y);
        const uint8_t* down = px.row(y + 1);
        for (int32_t x = 1; x + 1 < px.width; ++x) {
            size_t k = size_t(x) * B;
            for (int c = 0; c < 3; ++c) {
                int64_t n =
                    w * cur[k + c] + cur[k + B + c] + cur[k - B + c] + down[k + c] + up[k + c];
                int64_t q = n / d;
                if (q < 0 || q > 255) return 1;  // not a byte
                cur[k + c] = uint8_t(q);
            }
        }
    }
    return 0;
}

EngineStatus soften(const Pixels& px, int64_t w) {
    int64_t d = w + 4;
    if (d == 0) return 1;  // division by zero
    return px.bytes == 3 ? soften_rows<3>(px, w, d) : soften_rows<4>(px, w, d);
}

// ---- Blank test ----------------------------------------------------------------------------

bool blank(const Pixels& px, double confidence) {
    double t = std::floor((100 - confidence) * 7.65);
    // Marked: (255 - R) + (255 - G) + (255 - B) > t, that is R + G + B < 765 - t.
    std::array<uint8_t, 766> marked{};
    for (int sum = 0; sum < 766; ++sum) marked[size_t(sum)] = (765 - sum) > t ? 1 : 0;
    int64_t count = 0;
    dispatch(px, [&](uint8_t* q) { count += marked[size_t(q[0] + q[1] + q[2])]; });
    double pixels = double(px.width) * double(px.height);
    return double(count) <= (100 - confidence) * (pixels / 100);
}

}  // namespace

bool tone_table(int32_t effect, int64_t p, Table& t) {
    if (effect == EffectNegative) {
        for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(255 - i);
        return true;
    }
    if (effect == EffectBrightness) {
        float b = float(double(p + 100) / 100);
        for (int i = 0; i < 256; ++i) t[size_t(i)] = clamp_byte(std::nearbyint(double(b) * i));
        return true;
    }
    if (effect == EffectGammaCorrection) {
        float g = float(double(p) / 100);
        if (g == 0) return false;  // division by zero
        double x = 1 / double(g);
        for (int i = 0; i < 256; ++i) {
            double v = std::nearbyint(std::pow(double(i) / 255, x) * 255);
            if (!(v >= 0 && v <= 255)) return false;  // a value outside a byte
            t[size_t(i)] = uint8_t(v);
        }
        return true;
    }
    return false;
}

bool can_fail_midway(int32_t effect, int64_t parameter) {
    return effect == EffectSoften && 101 - parameter < 0;
}

EngineStatus run_kernel(int32_t effect, const Pixels& px, const KernelArgs& a, bool* is_blank) {
    if (px.width <= 0 || px.height <= 0) return 0;
    switch (effect) {
        case EffectNegative:
        case EffectBrightness:
        case EffectGammaCorrection: {
            Table t;
            if (!tone_table(effect, a.parameter, t)) return 1;
            map_tone(px, t);
            return 0;
        }
        case EffectContrast:
            return contrast(px, a.parameter);
        case EffectStretchContrast:
            stretch(px);
            return 0;
        case EffectSaturation:
            return saturation(px, a.parameter);
        case EffectSepia:
            return sepia(px, a.h, a.s, a.l);
        case EffectSoften:
            return soften(px, 101 - a.parameter);
        case EffectSmooth:
            return soften(px, 1);
        case EffectBlankTest:
            if (is_blank) *is_blank = blank(px, a.confidence);
            return 0;
        default:
            return Gdiplus::InvalidParameter;
    }
}

}  // namespace filtresGDIplus::detail
