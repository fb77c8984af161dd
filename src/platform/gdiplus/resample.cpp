// Separable resampling: weights per destination column and row, a horizontal pass over the
// source rows that the visible rows need, then a vertical pass whose inner loop runs over
// whole rows (vectorised by the compiler).
#include "platform/gdiplus/resample.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include <emmintrin.h>

namespace gdip {
namespace {

constexpr int kBits = 14;
constexpr int32_t kOne = 1 << kBits;

double triangle(double x) {
    x = std::abs(x);
    return x < 1 ? 1 - x : 0;
}

double cubic(double x) {  // Keys, a = -0.5
    constexpr double a = -0.5;
    x = std::abs(x);
    if (x < 1) return ((a + 2) * x - (a + 3)) * x * x + 1;
    if (x < 2) return (((x - 5) * x + 8) * x - 4) * a;
    return 0;
}

// Quantises `w` (summing to about 1) so that the integers sum to exactly kOne.
void quantise(const std::vector<double>& w, std::vector<int32_t>& out) {
    double sum = 0;
    for (double v : w) sum += v;
    int32_t total = 0;
    size_t largest = 0;
    size_t start = out.size();
    for (size_t i = 0; i < w.size(); ++i) {
        int32_t q = int32_t(std::lround(w[i] / sum * kOne));
        out.push_back(q);
        total += q;
        if (std::abs(w[i]) > std::abs(w[largest])) largest = i;
    }
    out[start + largest] += kOne - total;
}

}  // namespace

Coefficients make_coefficients(const Axis& axis, int32_t d0, int32_t d1, Filter filter,
                               bool prefilter) {
    Coefficients c;
    c.src_min = axis.hi;
    c.src_max = axis.lo;
    double shrink = 1 / std::abs(axis.scale);
    double f = prefilter && shrink > 1 ? shrink : 1;
    double support = (filter == Filter::Bicubic ? 2.0 : 1.0) * f;
    std::vector<double> w;
    c.taps.reserve(size_t(std::max(0, d1 - d0)));
    for (int32_t d = d0; d < d1; ++d) {
        double u = (d + 0.5 - axis.offset) / axis.scale;  // source coordinate of the centre
        Taps t;
        t.at = c.weights.size();
        if (filter == Filter::Nearest) {
            t.first = std::clamp<int32_t>(int32_t(std::floor(u)), axis.lo, axis.hi - 1);
            t.count = 1;
            c.weights.push_back(kOne);
        } else {
            double centre = u - 0.5;
            int32_t i0 = int32_t(std::ceil(centre - support)),
                    i1 = int32_t(std::floor(centre + support));
            // Taps outside [lo, hi) fold onto the edge pixel.
            int32_t first = std::clamp(i0, axis.lo, axis.hi - 1);
            int32_t last = std::clamp(i1, axis.lo, axis.hi - 1);
            w.assign(size_t(last - first + 1), 0.0);
            for (int32_t i = i0; i <= i1; ++i) {
                double x = (i - centre) / f;
                double k = filter == Filter::Bicubic ? cubic(x) : triangle(x);
                w[size_t(std::clamp(i, first, last) - first)] += k;
            }
            double sum = 0;
            for (double v : w) sum += v;
            if (sum == 0) {  // nothing under the kernel: the nearest pixel
                w.assign(1, 1.0);
                first = last = std::clamp<int32_t>(int32_t(std::floor(u)), axis.lo, axis.hi - 1);
            }
            t.first = first;
            t.count = last - first + 1;
            quantise(w, c.weights);
        }
        c.src_min = std::min(c.src_min, t.first);
        c.src_max = std::max(c.src_max, t.first + t.count);
        c.taps.push_back(t);
    }
    return c;
}

namespace {

// Overshoot of a cubic can leave a colour above its alpha: keep the pixel premultiplied.
inline uint32_t pack(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
    if (a < 255) {
        b = std::min(b, a);
        g = std::min(g, a);
        r = std::min(r, a);
    }
    return a << 24 | r << 16 | g << 8 | b;
}

// Fixed-point sums with SSE2: two taps at a time, each pixel's four channels widened to 16
// bits and interleaved so that one multiply-add gives four 32-bit channel sums.
inline __m128i pair_sum(__m128i pixels16, int32_t w0, int32_t w1) {
    __m128i ab = _mm_unpacklo_epi16(pixels16, _mm_srli_si128(pixels16, 8));
    __m128i w = _mm_set1_epi32(int32_t(uint32_t(uint16_t(w0)) | uint32_t(w1) << 16));
    return _mm_madd_epi16(ab, w);
}

// Four channel sums to one premultiplied pixel (clipped to bytes, colours to alpha).
inline uint32_t finish(__m128i acc) {
    acc = _mm_srai_epi32(acc, kBits);
    __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc, acc), _mm_setzero_si128());
    uint32_t v = uint32_t(_mm_cvtsi128_si32(packed));
    uint32_t a = v >> 24;
    return a == 255 ? v : pack(v & 255, (v >> 8) & 255, (v >> 16) & 255, a);
}

void horizontal(const uint32_t* src, int32_t src_x0, const Coefficients& cx, uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    for (size_t i = 0; i < cx.taps.size(); ++i) {
        const Taps& t = cx.taps[i];
        const uint32_t* p = src + (t.first - src_x0);
        const int32_t* w = cx.weights.data() + t.at;
        __m128i acc = _mm_set1_epi32(1 << (kBits - 1));
        int32_t k = 0;
        for (; k + 2 <= t.count; k += 2) {
            __m128i px =
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k)), zero);
            acc = _mm_add_epi32(acc, pair_sum(px, w[k], w[k + 1]));
        }
        if (k < t.count) {
            __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(p[k])), zero);
            acc = _mm_add_epi32(acc, pair_sum(px, w[k], 0));
        }
        out[i] = finish(acc);
    }
}

// Two destination pixels of one row: taps down the intermediate rows, two at a time.
void vertical(const uint32_t* rows, size_t width, int32_t row0, const Taps& t,
              const int32_t* weights, uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const uint32_t* base = rows + size_t(t.first - row0) * width;
    size_t x = 0;
    for (; x + 2 <= width; x += 2) {
        __m128i acc0 = _mm_set1_epi32(1 << (kBits - 1)), acc1 = acc0;
        int32_t k = 0;
        for (; k + 2 <= t.count; k += 2) {
            __m128i a = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + size_t(k) * width + x)),
                zero);
            __m128i b = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + size_t(k + 1) * width + x)),
                zero);
            __m128i w = _mm_set1_epi32(
                int32_t(uint32_t(uint16_t(weights[k])) | uint32_t(weights[k + 1]) << 16));
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), w));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), w));
        }
        if (k < t.count) {
            __m128i a = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + size_t(k) * width + x)),
                zero);
            __m128i w = _mm_set1_epi32(int32_t(uint32_t(uint16_t(weights[k]))));
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(a, zero), w));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(a, zero), w));
        }
        out[x] = finish(acc0);
        out[x + 1] = finish(acc1);
    }
    for (; x < width; ++x) {
        __m128i acc = _mm_set1_epi32(1 << (kBits - 1));
        for (int32_t k = 0; k < t.count; ++k) {
            __m128i px =
                _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(base[size_t(k) * width + x])), zero);
            acc = _mm_add_epi32(acc, pair_sum(px, weights[k], 0));
        }
        out[x] = finish(acc);
    }
}

GpStatus nearest(const RowReader& read, const Coefficients& cx, const Coefficients& cy,
                 uint32_t* out, size_t out_stride) {
    std::vector<uint32_t> row(size_t(cx.src_max - cx.src_min));
    int32_t loaded = -1;
    for (size_t y = 0; y < cy.taps.size(); ++y) {
        int32_t sy = cy.taps[y].first;
        if (sy != loaded) {
            if (GpStatus s = read(sy, cx.src_min, cx.src_max, row.data()); s != Gdiplus::Ok)
                return s;
            loaded = sy;
        }
        uint32_t* o = out + y * out_stride;
        for (size_t x = 0; x < cx.taps.size(); ++x)
            o[x] = row[size_t(cx.taps[x].first - cx.src_min)];
    }
    return Gdiplus::Ok;
}

}  // namespace

GpStatus resample(const RowReader& read, const Axis& ax, const Axis& ay, int32_t dx0, int32_t dx1,
                  int32_t dy0, int32_t dy1, Filter filter, bool prefilter, uint32_t* out,
                  size_t out_stride) {
    if (dx1 <= dx0 || dy1 <= dy0 || ax.hi <= ax.lo || ay.hi <= ay.lo) return Gdiplus::Ok;
    try {
        Coefficients cx = make_coefficients(ax, dx0, dx1, filter, prefilter);
        Coefficients cy = make_coefficients(ay, dy0, dy1, filter, prefilter);
        if (filter == Filter::Nearest) return nearest(read, cx, cy, out, out_stride);
        size_t width = cx.taps.size();
        int32_t rows = cy.src_max - cy.src_min;
        std::vector<uint32_t> line(size_t(cx.src_max - cx.src_min));
        // Every intermediate pixel is written by the horizontal pass: no clearing.
        std::unique_ptr<uint32_t[]> inter(new uint32_t[size_t(rows) * width]);
        for (int32_t y = 0; y < rows; ++y) {
            if (GpStatus s = read(cy.src_min + y, cx.src_min, cx.src_max, line.data());
                s != Gdiplus::Ok)
                return s;
            horizontal(line.data(), cx.src_min, cx, inter.get() + size_t(y) * width);
        }
        for (size_t y = 0; y < cy.taps.size(); ++y)
            vertical(inter.get(), width, cy.src_min, cy.taps[y], cy.weights.data() + cy.taps[y].at,
                     out + y * out_stride);
        return Gdiplus::Ok;
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace gdip
