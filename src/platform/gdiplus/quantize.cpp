// Colour reduction for the encoders: median cut over a 6-bit-per-channel histogram with
// mean colours, or the exact colours when there are few enough; and depth changes.
#include <algorithm>
#include <new>
#include <queue>
#include <unordered_map>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

constexpr int kBits = 6;
constexpr size_t kBins = size_t(1) << (3 * kBits);

uint32_t bin_of(ARGB c) {
    return ((c >> 18) & 0x3F) << 12 | ((c >> 10) & 0x3F) << 6 | ((c >> 2) & 0x3F);
}

struct Bin {
    uint32_t key = 0;  // r6 << 12 | g6 << 6 | b6
    uint64_t count = 0, r = 0, g = 0, b = 0;
    int axis(int a) const { return int((key >> (12 - 6 * a)) & 0x3F); }
};

struct Box {
    size_t begin, end;  // range of the bin list
    uint64_t count;
    int longest_axis, spread;
    bool operator<(const Box& o) const {
        // Split the box whose population times extent is largest.
        return count * uint64_t(spread) < o.count * uint64_t(o.spread);
    }
};

Box make_box(const std::vector<Bin>& bins, size_t begin, size_t end) {
    Box box{begin, end, 0, 0, 0};
    int lo[3] = {63, 63, 63}, hi[3] = {0, 0, 0};
    for (size_t i = begin; i < end; ++i) {
        box.count += bins[i].count;
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], bins[i].axis(a));
            hi[a] = std::max(hi[a], bins[i].axis(a));
        }
    }
    for (int a = 0; a < 3; ++a)
        if (hi[a] - lo[a] > box.spread) {
            box.spread = hi[a] - lo[a];
            box.longest_axis = a;
        }
    return box;
}

// Median cut of the occupied bins into at most `n` boxes; returns the box mean colours.
std::vector<ARGB> median_cut(std::vector<Bin>& bins, int n) {
    std::priority_queue<Box> queue;
    std::vector<Box> done;
    queue.push(make_box(bins, 0, bins.size()));
    while (!queue.empty() && int(queue.size() + done.size()) < n) {
        Box box = queue.top();
        queue.pop();
        if (box.spread == 0 || box.end - box.begin < 2) {
            done.push_back(box);
            continue;
        }
        int a = box.longest_axis;
        std::sort(bins.begin() + ptrdiff_t(box.begin), bins.begin() + ptrdiff_t(box.end),
                  [a](const Bin& x, const Bin& y) { return x.axis(a) < y.axis(a); });
        uint64_t half = box.count / 2, acc = 0;
        size_t cut = box.begin;
        while (cut < box.end - 1 && acc + bins[cut].count <= half) acc += bins[cut++].count;
        if (cut == box.begin) ++cut;
        queue.push(make_box(bins, box.begin, cut));
        queue.push(make_box(bins, cut, box.end));
    }
    for (; !queue.empty(); queue.pop()) done.push_back(queue.top());
    std::vector<ARGB> palette;
    for (const Box& box : done) {
        uint64_t r = 0, g = 0, b = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            r += bins[i].r;
            g += bins[i].g;
            b += bins[i].b;
        }
        uint64_t c = std::max<uint64_t>(box.count, 1);
        palette.push_back(0xFF000000u | uint32_t((r + c / 2) / c) << 16 |
                          uint32_t((g + c / 2) / c) << 8 | uint32_t((b + c / 2) / c));
    }
    return palette;
}

// The distinct opaque colours of the frame when there are at most `limit` of them.
bool exact_colours(const ConstPixelView& argb, size_t limit, std::vector<ARGB>* out) {
    std::unordered_map<ARGB, uint8_t> seen;
    for (int32_t y = 0; y < argb.height; ++y) {
        const ARGB* row = reinterpret_cast<const ARGB*>(argb.row(y));
        ARGB last = 0;
        for (int32_t x = 0; x < argb.width; ++x) {
            ARGB c = row[x];
            if ((c >> 24) < 128 || (x && c == last)) continue;
            last = c;
            if (seen.emplace(c | 0xFF000000u, 0).second && seen.size() > limit) return false;
        }
    }
    for (const auto& kv : seen) out->push_back(kv.first);
    std::sort(out->begin(), out->end());
    return true;
}

std::vector<Bin> histogram(const ConstPixelView& argb) {
    std::vector<Bin> dense(kBins);
    for (int32_t y = 0; y < argb.height; ++y) {
        const ARGB* row = reinterpret_cast<const ARGB*>(argb.row(y));
        for (int32_t x = 0; x < argb.width; ++x) {
            ARGB c = row[x];
            if ((c >> 24) < 128) continue;
            Bin& b = dense[bin_of(c)];
            ++b.count;
            b.r += (c >> 16) & 255;
            b.g += (c >> 8) & 255;
            b.b += c & 255;
        }
    }
    std::vector<Bin> bins;
    for (uint32_t k = 0; k < kBins; ++k)
        if (dense[k].count) {
            dense[k].key = k;
            bins.push_back(dense[k]);
        }
    return bins;
}

// Maps straight ARGB rows to palette indices: a nearest-entry table per 6-bit bin, filled
// as bins are met (a dithered colour may land in a bin no pixel had).
class BinMapper {
  public:
    BinMapper(const std::vector<ARGB>& palette, size_t opaque_count)
        : m_palette(palette), m_opaque(opaque_count), m_table(kBins, 0xFFFF) {}
    uint8_t map(ARGB c) {
        uint16_t& slot = m_table[bin_of(c)];
        if (slot == 0xFFFF) slot = nearest(c);
        return uint8_t(slot);
    }

  private:
    uint16_t nearest(ARGB c) const {
        int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
        uint32_t best = UINT32_MAX;
        uint16_t idx = 0;
        for (size_t i = 0; i < m_opaque; ++i) {
            ARGB p = m_palette[i];
            int dr = r - int((p >> 16) & 255), dg = g - int((p >> 8) & 255), db = b - int(p & 255);
            uint32_t d = uint32_t(dr * dr * 3 + dg * dg * 4 + db * db * 2);
            if (d < best) {
                best = d;
                idx = uint16_t(i);
            }
        }
        return idx;
    }
    const std::vector<ARGB>& m_palette;
    size_t m_opaque;
    std::vector<uint16_t> m_table;
};

void map_rows(const ConstPixelView& argb, const std::vector<ARGB>& palette, size_t opaque,
              int transparent_index, bool exact, bool dither, Frame& out) {
    BinMapper mapper(palette, opaque);
    std::unordered_map<ARGB, uint8_t> exact_index;
    if (exact)
        for (size_t i = 0; i < opaque; ++i) exact_index[palette[i]] = uint8_t(i);
    std::vector<int> err(dither ? size_t(argb.width + 2) * 3 * 2 : 0, 0);
    std::vector<uint8_t> idx(size_t(argb.width));
    for (int32_t y = 0; y < argb.height; ++y) {
        const ARGB* row = reinterpret_cast<const ARGB*>(argb.row(y));
        int* cur = dither ? err.data() + size_t(y & 1) * (argb.width + 2) * 3 : nullptr;
        int* next = dither ? err.data() + size_t(~y & 1) * (argb.width + 2) * 3 : nullptr;
        if (dither) std::fill(next, next + (argb.width + 2) * 3, 0);
        for (int32_t x = 0; x < argb.width; ++x) {
            ARGB c = row[x];
            if ((c >> 24) < 128 && transparent_index >= 0) {
                idx[size_t(x)] = uint8_t(transparent_index);
                continue;
            }
            c |= 0xFF000000u;
            if (exact) {
                idx[size_t(x)] = exact_index[c];
                continue;
            }
            if (!dither) {
                idx[size_t(x)] = mapper.map(c);
                continue;
            }
            int ch[3];
            for (int k = 0; k < 3; ++k)
                ch[k] =
                    std::clamp(int((c >> (16 - 8 * k)) & 255) + cur[(x + 1) * 3 + k] / 16, 0, 255);
            ARGB adj = 0xFF000000u | uint32_t(ch[0]) << 16 | uint32_t(ch[1]) << 8 | uint32_t(ch[2]);
            uint8_t i = mapper.map(adj);
            idx[size_t(x)] = i;
            for (int k = 0; k < 3; ++k) {
                int e = ch[k] - int((palette[i] >> (16 - 8 * k)) & 255);
                cur[(x + 2) * 3 + k] += e * 7;
                next[x * 3 + k] += e * 3;
                next[(x + 1) * 3 + k] += e * 5;
                next[(x + 2) * 3 + k] += e;
            }
        }
        PixelView dst = frame_view(out);
        ConstPixelView src{idx.data(),  argb.width, 1, argb.width, PixelFormat8bppIndexed,
                           out.palette, 0};
        dst.scan0 = out.row(y);
        dst.height = 1;
        (void)convert_pixels(src, dst);  // index copy (same palette): cannot fail
    }
}

}  // namespace

GpStatus quantize_frame(const Frame& src, int max_colors, bool transparent, bool dither,
                        Frame* out) {
    max_colors = std::clamp(max_colors, 2, 256);
    Frame argb;
    if (GpStatus s = convert_frame(src, PixelFormat32bppARGB, &argb); s != Gdiplus::Ok) return s;
    ConstPixelView view = frame_view(std::as_const(argb));
    size_t opaque_limit = size_t(max_colors - (transparent ? 1 : 0));
    std::vector<ARGB> palette;
    bool exact = exact_colours(view, opaque_limit, &palette);
    try {
        if (!exact) {
            std::vector<Bin> bins = histogram(view);
            palette = median_cut(bins, int(opaque_limit));
        }
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    size_t opaque = palette.size();
    int transparent_index = -1;
    if (transparent) {
        transparent_index = int(palette.size());
        palette.push_back(0x00000000u);
    }
    if (palette.empty()) palette.push_back(0xFF000000u);
    PixelFormat format = max_colors <= 16 ? PixelFormat4bppIndexed : PixelFormat8bppIndexed;
    Frame f;
    if (GpStatus s = make_frame(src.width, src.height, format, &f); s != Gdiplus::Ok) return s;
    f.palette = palette;
    f.dpi_x = src.dpi_x;
    f.dpi_y = src.dpi_y;
    map_rows(view, palette, std::max<size_t>(opaque, 1), transparent_index, exact, dither, f);
    *out = std::move(f);
    return Gdiplus::Ok;
}

GpStatus frame_at_depth(const Frame& src, ULONG depth, Frame* storage, const Frame** out) {
    *out = &src;
    int bits = pixel_format_bits(src.format);
    switch (depth) {
        case 0:
            return Gdiplus::Ok;
        case 1:
            if (src.format == PixelFormat1bppIndexed) return Gdiplus::Ok;
            break;
        case 4:
        case 8:
            if (bits == int(depth) && is_indexed(src.format)) return Gdiplus::Ok;
            if (is_indexed(src.format) && src.palette.size() <= (1u << depth)) {
                PixelFormat f = depth == 4 ? PixelFormat4bppIndexed : PixelFormat8bppIndexed;
                GpStatus s = convert_frame(src, f, storage, src.palette);
                if (s == Gdiplus::Ok) *out = storage;
                return s;
            }
            // 16 colours give a 4-bit frame, 256 an 8-bit one.
            if (GpStatus s = quantize_frame(src, 1 << depth, false, false, storage);
                s != Gdiplus::Ok)
                return s;
            *out = storage;
            return Gdiplus::Ok;
        case 24:
            if (src.format == PixelFormat24bppRGB) return Gdiplus::Ok;
            break;
        case 32:
            if (src.format == PixelFormat32bppARGB) return Gdiplus::Ok;
            break;
        default:
            return Gdiplus::InvalidParameter;
    }
    PixelFormat target = depth == 1    ? PixelFormat1bppIndexed
                         : depth == 24 ? PixelFormat24bppRGB
                                       : PixelFormat32bppARGB;
    std::vector<ARGB> bw;
    if (depth == 1) bw = {0xFF000000u, 0xFFFFFFFFu};
    GpStatus s = convert_frame(src, target, storage, bw);
    if (s == Gdiplus::Ok) *out = storage;
    return s;
}

}  // namespace gdip
