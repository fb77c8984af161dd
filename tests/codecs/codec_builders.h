// Small writers for test files (BMP, PNG, GIF, TIFF, ICO), written from the formats' own
// layouts and independent of the decoders, plus helpers to read decoded frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdiplus/codecs_p.h"
#include "support/test_env.h"

namespace codectest {

using Bytes = std::vector<uint8_t>;

inline void put8(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
}
inline void put16(Bytes& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
inline void put32(Bytes& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
inline void put32be(Bytes& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
inline void append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

inline Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}
inline std::string data_path(const std::string& name) {
    return lumtest::source_dir() + "/tests/data/" + name;
}

// Decodes bytes; the image (null on failure) and the status.
struct Decoded {
    GpStatus status = Gdiplus::GenericError;
    std::unique_ptr<gdip::Image> image;
    const gdip::Frame& frame(size_t i = 0) const { return image->frames.at(i); }
};
inline Decoded decode(const Bytes& b) {
    Decoded d;
    d.status = gdip::decode_bytes(b.data(), b.size(), &d.image);
    return d;
}

// Pixel readers for decoded frames.
inline uint32_t index_at(const gdip::Frame& f, int x, int y) {
    const BYTE* r = f.row(y);
    switch (f.format) {
        case PixelFormat1bppIndexed:
            return (r[x >> 3] >> (7 - (x & 7))) & 1;
        case PixelFormat4bppIndexed:
            return (r[x >> 1] >> (x & 1 ? 0 : 4)) & 0xF;
        default:
            return r[x];
    }
}
// B, G, R (and A) bytes of a 24/32-bit frame as 0xAARRGGBB (alpha 0xFF for 24 bits).
inline uint32_t argb_at(const gdip::Frame& f, int x, int y) {
    const BYTE* r = f.row(y);
    if (f.format == PixelFormat24bppRGB)
        return 0xFF000000u | (uint32_t(r[3 * x + 2]) << 16) | (uint32_t(r[3 * x + 1]) << 8) |
               r[3 * x];
    const BYTE* p = r + 4 * x;
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}
inline uint16_t sample16(const gdip::Frame& f, int x, int y, int channel, int channels) {
    const BYTE* p = f.row(y) + 2 * (x * channels + channel);
    return uint16_t(p[0] | (p[1] << 8));
}
inline const gdip::PropertyData* property(const gdip::Image& img, PROPID id) {
    for (const auto& p : img.props())
        if (p.id == id) return &p;
    return nullptr;
}

// ---- BMP ------------------------------------------------------------------------------
struct BmpSpec {
    int32_t width = 0, height = 0;  // height > 0; top_down writes -height
    uint16_t bits = 8;
    uint32_t compression = 0;
    uint32_t header = 40;           // 12 core, 40, 52, 56, 108, 124
    std::vector<uint32_t> masks;    // R, G, B[, A]
    std::vector<uint32_t> palette;  // 0xRRGGBB
    bool top_down = false;
    int32_t ppm_x = 0, ppm_y = 0;
    int64_t clr_used = -1;  // -1: palette.size()
    int64_t off_bits = -1;  // -1: right after the palette
    Bytes pixels;           // as stored (rows bottom-up unless top_down, padded)
};

inline Bytes make_bmp(const BmpSpec& s) {
    Bytes dib;
    if (s.header == 12) {
        put32(dib, 12), put16(dib, uint32_t(s.width)), put16(dib, uint32_t(s.height));
        put16(dib, 1), put16(dib, s.bits);
    } else {
        put32(dib, s.header), put32(dib, uint32_t(s.width));
        put32(dib, uint32_t(s.top_down ? -s.height : s.height));
        put16(dib, 1), put16(dib, s.bits), put32(dib, s.compression);
        put32(dib, uint32_t(s.pixels.size())), put32(dib, uint32_t(s.ppm_x));
        put32(dib, uint32_t(s.ppm_y));
        put32(dib, uint32_t(s.clr_used < 0 ? int64_t(s.palette.size()) : s.clr_used)),
            put32(dib, 0);
        for (size_t i = 0; dib.size() < s.header; ++i)
            put32(dib, s.header >= 52 && i < s.masks.size() ? s.masks[i] : 0);
        if (s.header == 40)
            for (uint32_t m : s.masks) put32(dib, m);
    }
    for (uint32_t c : s.palette) {
        put8(dib, c), put8(dib, c >> 8), put8(dib, c >> 16);
        if (s.header != 12) put8(dib, 0);
    }
    Bytes out = {'B', 'M'};
    uint32_t off = s.off_bits >= 0 ? uint32_t(s.off_bits) : uint32_t(14 + dib.size());
    put32(out, uint32_t(14 + dib.size() + s.pixels.size())), put32(out, 0), put32(out, off);
    append(out, dib);
    append(out, s.pixels);
    return out;
}

// Rows (top row first) of indices packed MSB first at `bits`, padded to 4 bytes, stored
// bottom-up unless top_down.
inline Bytes pack_rows(const std::vector<std::vector<int>>& rows, int bits, bool top_down = false) {
    Bytes out;
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto& r = rows[top_down ? k : rows.size() - 1 - k];
        Bytes line(((r.size() * size_t(bits) + 31) / 32) * 4, 0);
        for (size_t x = 0; x < r.size(); ++x) {
            size_t bit = x * size_t(bits);
            line[bit / 8] |= uint8_t(r[x] << (8 - bits - bit % 8));
        }
        append(out, line);
    }
    return out;
}

// ---- PNG (stored deflate blocks) -----------------------------------------------------
inline uint32_t crc32(const uint8_t* p, size_t n, uint32_t c = 0) {
    c = ~c;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}
inline void png_chunk(Bytes& out, const char* type, const Bytes& data) {
    put32be(out, uint32_t(data.size()));
    Bytes body(type, type + 4);
    append(body, data);
    append(out, body);
    put32be(out, crc32(body.data(), body.size()));
}
inline Bytes zlib_stored(const Bytes& raw) {
    Bytes z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        put8(z, pos + n == raw.size() ? 1 : 0), put16(z, uint32_t(n)),
            put16(z, uint32_t(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
    put32be(z, (b << 16) | a);
    return z;
}
// `rows` are unfiltered scanlines (a 0 filter byte is added to each).
inline Bytes make_png(uint32_t w, uint32_t h, int depth, int colour, const std::vector<Bytes>& rows,
                      const std::vector<std::pair<std::string, Bytes>>& chunks = {}) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put32be(ihdr, w), put32be(ihdr, h);
    ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(colour), 0, 0, 0});
    png_chunk(out, "IHDR", ihdr);
    for (const auto& [type, data] : chunks) png_chunk(out, type.c_str(), data);
    Bytes raw;
    for (const auto& r : rows) raw.push_back(0), append(raw, r);
    png_chunk(out, "IDAT", zlib_stored(raw));
    png_chunk(out, "IEND", {});
    return out;
}

// ---- GIF (LZW with literal codes only, clear code every 250 codes) --------------------
struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint32_t> local_palette;  // 0xRRGGBB; empty: the global one
    std::vector<uint8_t> indices;         // width × height
    int transparent = -1, disposal = 0, delay = 0;
    bool control = true;  // write a graphic control extension
};

inline Bytes gif_lzw(const std::vector<uint8_t>& idx) {
    Bytes data;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](uint32_t code) {
        acc |= code << bits;
        bits += 9;
        while (bits >= 8) data.push_back(uint8_t(acc)), acc >>= 8, bits -= 8;
    };
    emit(256);
    for (size_t i = 0; i < idx.size(); ++i) {
        if (i && i % 250 == 0) emit(256);
        emit(idx[i]);
    }
    emit(257);
    if (bits) data.push_back(uint8_t(acc));
    Bytes out = {8};
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}
inline void gif_palette(Bytes& out, const std::vector<uint32_t>& p) {
    for (uint32_t c : p) put8(out, c >> 16), put8(out, c >> 8), put8(out, c);
}
inline int gif_size_bits(size_t n) {
    int b = 0;
    while ((size_t(2) << b) < n) ++b;
    return b;
}
inline Bytes make_gif(int sw, int sh, const std::vector<uint32_t>& global,
                      const std::vector<GifFrame>& frames, int loops = -1, int background = 0) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    put16(out, uint32_t(sw)), put16(out, uint32_t(sh));
    put8(out, global.empty() ? 0 : 0x80 | uint32_t(gif_size_bits(global.size())));
    put8(out, uint32_t(background)), put8(out, 0);
    gif_palette(out, global);
    if (loops >= 0) {
        out.insert(out.end(), {0x21, 0xFF, 11});
        for (char c : std::string("NETSCAPE2.0")) out.push_back(uint8_t(c));
        out.insert(out.end(), {3, 1}), put16(out, uint32_t(loops)), put8(out, 0);
    }
    for (const GifFrame& f : frames) {
        if (f.control) {
            out.insert(out.end(), {0x21, 0xF9, 4});
            put8(out, uint32_t(f.disposal << 2) | (f.transparent >= 0 ? 1 : 0));
            put16(out, uint32_t(f.delay)), put8(out, uint32_t(std::max(f.transparent, 0))),
                put8(out, 0);
        }
        put8(out, 0x2C), put16(out, uint32_t(f.left)), put16(out, uint32_t(f.top));
        put16(out, uint32_t(f.width)), put16(out, uint32_t(f.height));
        put8(out,
             f.local_palette.empty() ? 0 : 0x80 | uint32_t(gif_size_bits(f.local_palette.size())));
        gif_palette(out, f.local_palette);
        append(out, gif_lzw(f.indices));
    }
    put8(out, 0x3B);
    return out;
}

// ---- TIFF (classic little-endian, uncompressed single strips) -------------------------
struct TiffTag {
    uint16_t tag, type;
    uint32_t count;
    Bytes value;  // little-endian
};
inline TiffTag tag_short(uint16_t tag, std::vector<uint16_t> v) {
    TiffTag t{tag, 3, uint32_t(v.size()), {}};
    for (uint16_t x : v) put16(t.value, x);
    return t;
}
inline TiffTag tag_long(uint16_t tag, uint32_t v) {
    TiffTag t{tag, 4, 1, {}};
    put32(t.value, v);
    return t;
}
inline TiffTag tag_rational(uint16_t tag, uint32_t num, uint32_t den) {
    TiffTag t{tag, 5, 1, {}};
    put32(t.value, num), put32(t.value, den);
    return t;
}
inline TiffTag tag_ascii(uint16_t tag, const std::string& s) {
    TiffTag t{tag, 2, uint32_t(s.size() + 1), Bytes(s.begin(), s.end())};
    t.value.push_back(0);
    return t;
}
struct TiffPage {
    uint32_t width = 0, height = 0;
    uint16_t bps = 8, spp = 1, photometric = 1;
    Bytes strip;                // rows as stored
    std::vector<TiffTag> tags;  // more tags (ColorMap, resolution, ...)
    int64_t strip_bytes = -1;   // StripByteCounts to claim (-1: strip.size())
};
inline Bytes make_tiff(const std::vector<TiffPage>& pages) {
    Bytes out = {'I', 'I', 42, 0};
    put32(out, 0);  // first IFD offset, patched
    size_t link = 4;
    for (const TiffPage& p : pages) {
        uint32_t strip_at = uint32_t(out.size());
        append(out, p.strip);
        if (out.size() % 2) out.push_back(0);
        std::vector<TiffTag> tags = {
            tag_long(256, p.width),
            tag_long(257, p.height),
            tag_short(258, std::vector<uint16_t>(p.spp, p.bps)),
            tag_short(259, {1}),
            tag_short(262, {p.photometric}),
            tag_long(273, strip_at),
            tag_short(277, {p.spp}),
            tag_long(278, p.height),
            tag_long(279, uint32_t(p.strip_bytes >= 0 ? p.strip_bytes : int64_t(p.strip.size())))};
        tags.insert(tags.end(), p.tags.begin(), p.tags.end());
        std::sort(tags.begin(), tags.end(),
                  [](const TiffTag& a, const TiffTag& b) { return a.tag < b.tag; });
        uint32_t ifd_at = uint32_t(out.size());
        for (int i = 0; i < 4; ++i) out[link + size_t(i)] = uint8_t(ifd_at >> (8 * i));
        Bytes data;
        uint32_t data_at = ifd_at + 2 + 12 * uint32_t(tags.size()) + 4;
        put16(out, uint32_t(tags.size()));
        for (const TiffTag& t : tags) {
            put16(out, t.tag), put16(out, t.type), put32(out, t.count);
            if (t.value.size() <= 4) {
                Bytes v = t.value;
                v.resize(4, 0);
                append(out, v);
            } else {
                put32(out, data_at + uint32_t(data.size()));
                append(data, t.value);
                if (data.size() % 2) data.push_back(0);
            }
        }
        link = out.size();
        put32(out, 0);
        append(out, data);
    }
    return out;
}

}  // namespace codectest
