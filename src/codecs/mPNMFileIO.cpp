#include "codecs/mPNMFileIO.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "codecs/decode_limits.h"
#include "platform/byte_reader.h"
#include "platform/win/dib.h"
#include "platform/win/file.h"
#include "platform/win/file_read.h"

namespace mPNMFileIO {
namespace {

using platform::ByteReader;

// Numbers beyond this saturate: no size or sample can use more.
constexpr uint64_t kNumberCap = 0xFFFFFFFFu;

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

void skip_comment(ByteReader& r) {
    for (int c = r.get(); c >= 0 && c != '\n' && c != '\r'; c = r.get()) {
    }
}

// Skips everything up to the next digit ("#" comments to the end of their line), reads the
// digits and consumes the byte after them. -1 when the input ends before a digit, and also
// when it ends right after the digits if `terminated` is asked for (header numbers).
int64_t read_number(ByteReader& r, bool terminated = false) {
    int c = r.get();
    while (!is_digit(c)) {
        if (c < 0) return -1;
        if (c == '#') skip_comment(r);
        c = r.get();
    }
    uint64_t v = 0;
    for (; is_digit(c); c = r.get()) v = std::min(v * 10 + uint64_t(c - '0'), kNumberCap);
    if (c < 0 && terminated) return -1;
    if (c == '#') skip_comment(r);  // a comment right after the number
    return int64_t(v);
}

struct Header {
    int kind = 0;  // 1..6
    int64_t width = 0, height = 0;
    uint32_t maxval = 1;
    bool grey() const { return kind != 3 && kind != 6; }
};

bool read_header(ByteReader& r, Header& h) {
    int p = r.get(), digit = r.get();
    if (p != 'P' || digit < '1' || digit > '6') return false;
    h.kind = digit - '0';
    int separator = r.get();
    if (separator < 0) return false;
    if (separator == '#') skip_comment(r);
    h.width = read_number(r, true);
    h.height = read_number(r, true);
    if (h.width < 0 || h.height < 0) return false;
    if (h.kind == 1 || h.kind == 4) return true;
    int64_t maxval = read_number(r, true);
    if (maxval < 1) return false;  // cut short, or 0: nothing to scale by
    h.maxval = uint32_t(maxval);
    return true;
}

// Sample to 0..255 by maxval, rounded; samples above maxval give 255.
class SampleScale {
  public:
    explicit SampleScale(uint32_t maxval) : m_max(maxval), m_table(maxval < 256 ? 256 : 65536) {
        for (size_t i = 0; i < m_table.size(); ++i) m_table[i] = compute(uint32_t(i));
    }
    uint8_t operator()(uint64_t v) const {
        return v < m_table.size() ? m_table[size_t(v)] : compute(v);
    }

  private:
    uint8_t compute(uint64_t v) const {
        if (v >= m_max) return 255;
        return uint8_t((v * 510 + m_max) / (2 * uint64_t(m_max)));
    }
    uint32_t m_max;
    std::vector<uint8_t> m_table;
};

// The output rows: blue, green, red.
struct Rows {
    uint8_t* base = nullptr;
    size_t stride = 0;
    int32_t width = 0, height = 0;
    uint8_t* row(int32_t y) const { return base + size_t(y) * stride; }
};

inline void put(uint8_t* px, uint8_t r, uint8_t g, uint8_t b) {
    px[0] = b;
    px[1] = g;
    px[2] = r;
}

// P1: "1" is black; every byte but "0", "1" and comments is skipped.
void decode_p1(ByteReader& in, const Rows& out) {
    for (int32_t y = 0; y < out.height; ++y) {
        uint8_t* px = out.row(y);
        for (int32_t x = 0; x < out.width; ++x, px += 3) {
            int c = in.get();
            while (c != '0' && c != '1') {
                if (c < 0) return;
                if (c == '#') skip_comment(in);
                c = in.get();
            }
            uint8_t v = c == '1' ? 0 : 255;
            put(px, v, v, v);
        }
    }
}

// P2, P3: decimal samples.
void decode_text(ByteReader& in, const Header& h, const Rows& out) {
    SampleScale scale(h.maxval);
    for (int32_t y = 0; y < out.height; ++y) {
        uint8_t* px = out.row(y);
        for (int32_t x = 0; x < out.width; ++x, px += 3) {
            int64_t s[3];
            for (int i = 0; i < (h.grey() ? 1 : 3); ++i)
                if ((s[i] = read_number(in)) < 0) return;
            if (h.grey())
                put(px, scale(s[0]), scale(s[0]), scale(s[0]));
            else
                put(px, scale(s[0]), scale(s[1]), scale(s[2]));
        }
    }
}

// P4: rows of whole bytes, 1 is black; bits past the width are ignored. A row cut short
// keeps the pixels it holds.
void decode_p4(ByteReader& in, const Rows& out) {
    size_t row_bytes = (size_t(out.width) + 7) / 8;
    for (int32_t y = 0; y < out.height && !in.at_end(); ++y) {
        auto src = in.bytes(std::min(row_bytes, in.remaining()));
        int32_t n = int32_t(std::min<size_t>(size_t(out.width), src.size() * 8));
        uint8_t* px = out.row(y);
        for (int32_t x = 0; x < n; ++x, px += 3) {
            uint8_t v = (src[size_t(x) >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
            put(px, v, v, v);
        }
    }
}

// P5, P6: bytes, or 16-bit big-endian samples above maxval 255.
void decode_raw(ByteReader& in, const Header& h, const Rows& out) {
    const size_t channels = h.grey() ? 1 : 3;
    const size_t sample_bytes = h.maxval > 255 ? 2 : 1;
    const size_t pixel_bytes = channels * sample_bytes;
    const size_t row_bytes = size_t(out.width) * pixel_bytes;
    const bool identity = h.maxval == 255;
    SampleScale scale(h.maxval);
    auto sample = [&](const uint8_t* p) {
        return sample_bytes == 2 ? scale(uint32_t(p[0]) << 8 | p[1]) : scale(p[0]);
    };
    for (int32_t y = 0; y < out.height && !in.at_end(); ++y) {
        auto src = in.bytes(std::min(row_bytes, in.remaining()));
        const size_t n = src.size() / pixel_bytes;
        const uint8_t* s = src.data();
        uint8_t* px = out.row(y);
        if (identity && channels == 3) {
            for (size_t x = 0; x < n; ++x, s += 3, px += 3) put(px, s[0], s[1], s[2]);
        } else if (identity) {
            for (size_t x = 0; x < n; ++x, ++s, px += 3) put(px, *s, *s, *s);
        } else {
            for (size_t x = 0; x < n; ++x, s += pixel_bytes, px += 3) {
                uint8_t r = sample(s);
                if (channels == 1)
                    put(px, r, r, r);
                else
                    put(px, r, sample(s + sample_bytes), sample(s + 2 * sample_bytes));
            }
        }
    }
}

}  // namespace

bool DecodePnm(std::span<const uint8_t> bytes, int32_t& nWidth, int32_t& nHeight,
               std::vector<uint8_t>& arPixels) {
    nWidth = nHeight = 0;
    arPixels.clear();
    ByteReader in(bytes);
    Header h;
    if (!read_header(in, h)) return false;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (h.width > kMax || h.height > kMax) return false;
    if (h.width == 0 || h.height == 0) {
        nWidth = int32_t(h.width);
        nHeight = int32_t(h.height);
        return true;
    }
    auto stride = win::DibStride(h.width, 24);
    auto total = win::DibImageBytes(h.width, h.height, 24);
    if (!stride || !total || !codecs::PlausibleImageBytes(*total, bytes.size())) return false;
    try {
        arPixels.assign(size_t(*total), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    Rows out{arPixels.data(), *stride, int32_t(h.width), int32_t(h.height)};
    switch (h.kind) {
        case 1:
            decode_p1(in, out);
            break;
        case 4:
            decode_p4(in, out);
            break;
        case 2:
        case 3:
            decode_text(in, h, out);
            break;
        default:
            decode_raw(in, h, out);
            break;
    }
    nWidth = out.width;
    nHeight = out.height;
    return true;
}

bool ReadPnm(const std::string& sFileName, int32_t& nWidth, int32_t& nHeight,
             std::vector<uint8_t>& arPixels) {
    nWidth = nHeight = 0;
    arPixels.clear();
    std::vector<uint8_t> bytes;
    if (!win::ReadWholeFile(sFileName, &bytes, codecs::kMaxDecodedBytes)) return false;
    return DecodePnm(bytes, nWidth, nHeight, arPixels);
}

// ---- Writer --------------------------------------------------------------------------

namespace {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// The palette's colours; entries the array does not hold are black.
std::vector<Rgb> palette_colours(std::span<const uint8_t> palette) {
    std::vector<Rgb> colours(256);
    for (size_t i = 0; i < 256 && 4 * i + 2 < palette.size(); ++i)
        colours[i] = {palette[4 * i], palette[4 * i + 1], palette[4 * i + 2]};
    return colours;
}

uint32_t luma(const Rgb& c) {
    return (c.r * 19595u + c.g * 38470u + c.b * 7471u + 32768u) >> 16;
}

// Which indices print black in a bilevel file: those on the darker side of the midpoint
// between the darkest and the brightest palette entry (an index 0 black, 1 white palette
// stays as it is), or below mid-grey when the palette has one brightness only, so that a
// blank white page stays white.
std::vector<uint8_t> black_indices(std::span<const uint8_t> palette, int32_t entries) {
    std::vector<Rgb> colours = palette_colours(palette);
    size_t n = size_t(std::clamp(entries, 1, 256));
    uint32_t lo = 255, hi = 0;
    for (size_t i = 0; i < n; ++i) {
        lo = std::min(lo, luma(colours[i]));
        hi = std::max(hi, luma(colours[i]));
    }
    std::vector<uint8_t> black(256, 1);
    for (size_t i = 0; i < n; ++i) {
        uint32_t y = luma(colours[i]);
        black[i] = hi > lo ? 2 * y < lo + hi : y < 128;
    }
    return black;
}

void pack_p4_row(const uint8_t* src, int32_t width, const std::vector<uint8_t>& black,
                 uint8_t* dst) {
    std::memset(dst, 0, (size_t(width) + 7) / 8);
    for (int32_t x = 0; x < width; ++x)
        if (black[src[x]]) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
}

// Indexed rows: the palette entry's green byte (grey) or its red, green, blue.
void palette_row(const uint8_t* s, int32_t width, const std::vector<Rgb>& colours, bool grey,
                 uint8_t* d) {
    for (int32_t x = 0; x < width; ++x) {
        const Rgb& c = colours[s[x]];
        if (grey) {
            *d++ = c.g;
        } else {
            d[0] = c.r, d[1] = c.g, d[2] = c.b;
            d += 3;
        }
    }
}

// Blue, green, red rows: the first byte (grey) or red, green, blue.
void bgr_row(const uint8_t* s, int32_t width, bool grey, uint8_t* d) {
    if (grey) {
        for (int32_t x = 0; x < width; ++x, s += 3) *d++ = s[0];
        return;
    }
    for (int32_t x = 0; x < width; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
}

}  // namespace

bool WritePnm(const std::string& sFileName, int32_t nWidth, int32_t nHeight,
              std::span<const uint8_t> arPixels, int32_t nBpp, std::span<const uint8_t> arPalette,
              int32_t nIndexed, int32_t nGrey) {
    const int kind = nBpp == 1 ? 4 : (nGrey == kGrey && nBpp <= 8 ? 5 : 6);
    const bool indexed = nIndexed != 0;
    auto stride = win::DibStride(nWidth, indexed ? 8 : 24);
    if (nWidth < 1 || nHeight < 1 || !stride) return false;
    if (uint64_t(*stride) * uint64_t(nHeight) > arPixels.size()) return false;
    if (kind == 4 && !indexed) return false;  // bilevel rows are written from indices

    auto file = win::CreateReplacement(sFileName);
    if (!file) return false;
    std::string header = "P" + std::to_string(kind) + "\n" + std::to_string(nWidth) + " " +
                         std::to_string(nHeight) + "\n" + (kind == 4 ? "" : "255\n");
    if (!file->Write(header.data(), header.size())) return false;

    const std::vector<Rgb> colours = palette_colours(arPalette);
    const std::vector<uint8_t> black =
        kind == 4 ? black_indices(arPalette, nIndexed) : std::vector<uint8_t>();
    const size_t channels = kind == 6 ? 3 : 1;
    const size_t row_bytes = kind == 4 ? (size_t(nWidth) + 7) / 8 : size_t(nWidth) * channels;
    // Rows are converted a chunk at a time and written in large pieces.
    const int32_t chunk =
        int32_t(std::clamp<size_t>((size_t(1) << 20) / row_bytes, 1, size_t(nHeight)));
    std::vector<uint8_t> out(row_bytes * size_t(chunk));
    for (int32_t y0 = 0; y0 < nHeight; y0 += chunk) {
        const int32_t rows = std::min(chunk, nHeight - y0);
        for (int32_t y = y0; y < y0 + rows; ++y) {
            const uint8_t* s = arPixels.data() + size_t(y) * *stride;
            uint8_t* d = out.data() + size_t(y - y0) * row_bytes;
            if (kind == 4)
                pack_p4_row(s, nWidth, black, d);
            else if (indexed)
                palette_row(s, nWidth, colours, kind == 5, d);
            else
                bgr_row(s, nWidth, kind == 5, d);
        }
        if (!file->Write(out.data(), row_bytes * size_t(rows))) return false;
    }
    return file->Commit();
}

}  // namespace mPNMFileIO
