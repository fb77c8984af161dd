#include "codecs/cLoadPCX.h"

#include <cstring>
#include <new>
#include <vector>

#include "codecs/decode_limits.h"
#include "platform/byte_reader.h"
#include "platform/win/dib.h"
#include "platform/win/file_read.h"
#include "platform/win/win.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTrailingPalette = 769;  // 0x0C and 256 x RGB

enum class Kind { None, Mono, Planar16, Nibbles, Bytes, Rgb };

Kind kind_of(int32_t bits, int32_t planes) {
    if (bits == 1 && planes == 1) return Kind::Mono;
    if (bits == 1 && planes == 4) return Kind::Planar16;
    if (bits == 4 && planes == 1) return Kind::Nibbles;
    if (bits == 8 && planes == 1) return Kind::Bytes;
    if (bits == 8 && planes == 3) return Kind::Rgb;
    return Kind::None;
}

int32_t output_bits(Kind k) {
    switch (k) {
        case Kind::Mono:
            return 1;
        case Kind::Planar16:
        case Kind::Nibbles:
            return 4;
        case Kind::Bytes:
            return 8;
        default:
            return 32;
    }
}

// Run-length decodes into exactly `out.size()` bytes. False when the data ends first or a
// run would go past the end.
bool decode_rle(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
    size_t i = 0, o = 0;
    const size_t n = out.size();
    while (o < n) {
        if (i >= in.size()) return false;
        uint8_t b = in[i++];
        if (b < 0xC0) {
            out[o++] = b;
            continue;
        }
        size_t count = b - 0xC0u;
        if (i >= in.size() || count > n - o) return false;
        std::memset(out.data() + o, in[i++], count);
        o += count;
    }
    return true;
}

// The colour table of the bitmap, as RGBQUADs.
std::vector<RGBQUAD> colour_table(Kind k, const uint8_t* palette16, std::span<const uint8_t> file) {
    std::vector<RGBQUAD> t;
    auto add = [&t](uint8_t r, uint8_t g, uint8_t b) { t.push_back({b, g, r, 0}); };
    if (k == Kind::Mono) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (k == Kind::Planar16 || k == Kind::Nibbles) {
        for (int i = 0; i < 16; ++i)
            add(palette16[3 * i], palette16[3 * i + 1], palette16[3 * i + 2]);
    } else if (k == Kind::Bytes) {
        const size_t n = file.size();
        bool trailing = n >= kHeaderSize + kTrailingPalette && file[n - kTrailingPalette] == 0x0C;
        for (size_t i = 0; i < 256; ++i) {
            if (!trailing) {
                add(uint8_t(i), uint8_t(i), uint8_t(i));
                continue;
            }
            const uint8_t* c = file.data() + n - 768 + 3 * i;
            add(c[0], c[1], c[2]);
        }
    }
    return t;
}

// One scan line (planes one after another) into one bitmap row; only `width` pixels are kept.
void convert_line(Kind k, const uint8_t* line, size_t bytesPerLine, int32_t width, uint8_t* row) {
    switch (k) {
        case Kind::Mono:
            std::memcpy(row, line, (size_t(width) + 7) / 8);
            if (width % 8) row[width / 8] &= uint8_t(0xFF00 >> (width % 8));
            break;
        case Kind::Nibbles:
            std::memcpy(row, line, (size_t(width) + 1) / 2);
            if (width % 2) row[width / 2] &= 0xF0;
            break;
        case Kind::Bytes:
            std::memcpy(row, line, size_t(width));
            break;
        case Kind::Planar16:
            for (int32_t x = 0; x < width; ++x) {
                const int shift = 7 - (x & 7);
                uint8_t v = 0;
                for (size_t p = 0; p < 4; ++p)
                    v |= uint8_t(((line[p * bytesPerLine + size_t(x >> 3)] >> shift) & 1) << p);
                row[x >> 1] |= x & 1 ? v : uint8_t(v << 4);
            }
            break;
        case Kind::Rgb:
            for (int32_t x = 0; x < width; ++x, row += 4) {
                row[0] = line[2 * bytesPerLine + size_t(x)];
                row[1] = line[bytesPerLine + size_t(x)];
                row[2] = line[size_t(x)];
                row[3] = 0;
            }
            break;
        case Kind::None:
            break;
    }
}

// A bottom-up DIB section of the given depth and colour table.
HBITMAP create_section(int32_t width, int32_t height, int32_t bits,
                       const std::vector<RGBQUAD>& colours, uint8_t** pixels) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + colours.size() * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bits);
    h.biCompression = BI_RGB;
    h.biClrUsed = DWORD(colours.size());
    std::memcpy(info.data(), &h, sizeof h);
    if (!colours.empty())
        std::memcpy(info.data() + sizeof h, colours.data(), colours.size() * sizeof(RGBQUAD));
    void* bits_out = nullptr;
    HBITMAP bitmap = CreateDIBSection(0, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                      DIB_RGB_COLORS, &bits_out, 0, 0);
    *pixels = static_cast<uint8_t*>(bits_out);
    return bits_out ? bitmap : 0;
}

}  // namespace

bool cLoadPCX::ReadHeader(std::span<const uint8_t> file) {
    platform::ByteReader r(file);
    m_manufacturer = r.u8();
    m_version = r.u8();
    m_encoding = r.u8();
    m_bitsPerPixel = r.u8();
    const int32_t xmin = int16_t(r.u16le()), ymin = int16_t(r.u16le());
    const int32_t xmax = int16_t(r.u16le()), ymax = int16_t(r.u16le());
    m_hdpi = int16_t(r.u16le());
    m_vdpi = int16_t(r.u16le());
    r.copy(m_palette16, sizeof m_palette16);
    r.skip(1);
    m_planes = r.u8();
    m_bytesPerLine = r.u16le();
    r.skip(kHeaderSize - 68);
    // Sizes are 16-bit signed values: a result outside that range is an overflow.
    m_width = xmax - xmin + 1;
    m_height = ymax - ymin + 1;
    return r.ok();
}

bool cLoadPCX::IsPCX() const {
    return m_manufacturer == 10 && (m_encoding == 0 || m_encoding == 1) &&
           (m_version == 0 || m_version == 2 || m_version == 3 || m_version == 5);
}

HBITMAP cLoadPCX::LoadPCX(const std::string& sFileName) {
    std::vector<uint8_t> file;
    if (!win::ReadWholeFile(sFileName, &file, codecs::kMaxDecodedBytes)) return 0;
    return LoadPCXFromMemory(file);
}

HBITMAP cLoadPCX::LoadPCXFromMemory(std::span<const uint8_t> file) {
    if (!ReadHeader(file)) return 0;
    const Kind kind = kind_of(m_bitsPerPixel, m_planes);
    if (kind == Kind::None || m_width < 1 || m_height < 1 || m_width > 32767 || m_height > 32767)
        return 0;
    // Each plane's line must hold the width's pixels.
    const size_t bpl = size_t(m_bytesPerLine);
    if (bpl * 8 < size_t(m_width) * size_t(m_bitsPerPixel)) return 0;
    const size_t line = bpl * size_t(m_planes);
    const int32_t bits = output_bits(kind);
    const auto stride = win::DibStride(m_width, bits);
    const auto bitmap_bytes = win::DibImageBytes(m_width, m_height, bits);
    const uint64_t decoded_bytes = uint64_t(line) * uint64_t(m_height);
    if (!stride || !bitmap_bytes ||
        !codecs::PlausibleImageBytes(*bitmap_bytes + decoded_bytes, file.size()))
        return 0;

    std::vector<uint8_t> decoded;
    try {
        decoded.resize(size_t(decoded_bytes));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::span<const uint8_t> data = file.subspan(kHeaderSize);
    if (m_encoding == 1) {
        if (!decode_rle(data, decoded)) return 0;
    } else {
        if (data.size() < decoded.size()) return 0;
        std::memcpy(decoded.data(), data.data(), decoded.size());
    }

    uint8_t* pixels = nullptr;
    HBITMAP bitmap =
        create_section(m_width, m_height, bits, colour_table(kind, m_palette16, file), &pixels);
    if (!bitmap) return 0;
    for (int32_t y = 0; y < m_height; ++y)
        convert_line(kind, decoded.data() + size_t(y) * line, bpl, m_width,
                     pixels + size_t(m_height - 1 - y) * *stride);
    return bitmap;
}
