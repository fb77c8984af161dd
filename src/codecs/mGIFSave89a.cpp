#include "codecs/mGIFSave89a.h"

#include <algorithm>
#include <new>

#include "lumtwainpro/host.h"
#include "platform/win/file.h"

namespace mGIFSave89a {

// ---- LZW -----------------------------------------------------------------------------

LzwEncoder::LzwEncoder(int minCodeSize, Sink& out) : m_initBits(minCodeSize + 1), m_out(out) {
    m_clearCode = 1 << minCodeSize;
    m_endCode = m_clearCode + 1;
    m_freeCode = m_clearCode + 2;
    m_bits = m_initBits;
    m_maxCode = (1 << m_bits) - 1;
    m_table.fill(kEmpty);
    Output(m_clearCode);
}

// Codes are packed least significant bit first; the width grows once the next free code no
// longer fits, and returns to the initial width after a clear.
inline void LzwEncoder::Output(int32_t code) {
    m_accumulator |= uint32_t(code) << m_pending;
    m_pending += m_bits;
    while (m_pending >= 8) {
        m_block[size_t(1 + m_blockFill++)] = uint8_t(m_accumulator);
        if (m_blockFill == 254) FlushBlock();
        m_accumulator >>= 8;
        m_pending -= 8;
    }
    if (m_freeCode > m_maxCode || m_clearFlag) {
        if (m_clearFlag) {
            m_bits = m_initBits;
            m_maxCode = (1 << m_bits) - 1;
            m_clearFlag = false;
        } else {
            ++m_bits;
            m_maxCode = m_bits == 12 ? kMaxCode : (1 << m_bits) - 1;
        }
    }
    if (code == m_endCode) {
        while (m_pending > 0) {
            m_block[size_t(1 + m_blockFill++)] = uint8_t(m_accumulator);
            if (m_blockFill == 254) FlushBlock();
            m_accumulator >>= 8;
            m_pending -= 8;
        }
        m_pending = 0;
        FlushBlock();
    }
}

// The dictionary holds (prefix code, pixel) strings under the key pixel * 4096 + prefix, at
// (pixel * 16) ^ prefix, probing again with the step 5003 - slot until the key or a free
// slot is found. It never fills: it is cleared when the 4096th code would be given.
void LzwEncoder::Add(const uint8_t* pixels, size_t count) {
    size_t i = 0;
    if (!m_started && count > 0) {
        m_prefix = pixels[0];
        m_started = true;
        i = 1;
    }
    uint32_t prefix = uint32_t(m_prefix);
    for (; i < count; ++i) {
        const uint32_t c = pixels[i];
        const uint32_t key = (c << 12) + prefix;
        int slot = int((c << 4) ^ prefix);
        uint32_t entry = m_table[size_t(slot)];
        if (entry != kEmpty && (entry >> 12) != key) {
            const int step = slot == 0 ? 1 : kTableSize - slot;
            do {
                slot -= step;
                if (slot < 0) slot += kTableSize;
                entry = m_table[size_t(slot)];
            } while (entry != kEmpty && (entry >> 12) != key);
        }
        if (entry != kEmpty) {
            prefix = entry & 0xFFF;
            continue;
        }
        Output(int32_t(prefix));
        if (m_freeCode < kMaxCode)
            m_table[size_t(slot)] = key << 12 | uint32_t(m_freeCode++);
        else
            ClearTable();
        prefix = c;
    }
    m_prefix = int32_t(prefix);
}

void LzwEncoder::End() {
    if (m_started) Output(m_prefix);
    Output(m_endCode);
}

void LzwEncoder::ClearTable() {
    m_table.fill(kEmpty);
    m_freeCode = m_clearCode + 2;
    m_clearFlag = true;
    Output(m_clearCode);
}

void LzwEncoder::FlushBlock() {
    if (m_blockFill == 0) return;
    m_block[0] = uint8_t(m_blockFill);
    m_out.insert(m_out.end(), m_block.begin(), m_block.begin() + 1 + m_blockFill);
    m_blockFill = 0;
}

// ---- File ----------------------------------------------------------------------------

namespace {

struct Layout {
    int32_t width, height, colorBits, pixelBits;
    size_t rowLength;
};

bool check_arguments(const Layout& l, size_t pixelBytes, std::string* why) {
    if (l.width < 1 || l.height < 1 || l.width > 65535 || l.height > 65535) {
        *why = "the GIF size fields hold 1 to 65535 pixels";
        return false;
    }
    if (l.colorBits < 1 || l.colorBits > 8 ||
        (l.pixelBits != 1 && l.pixelBits != 4 && l.pixelBits != 8)) {
        *why = "unsupported colour or pixel bits";
        return false;
    }
    size_t needed = (size_t(l.width) * size_t(l.pixelBits) + 7) / 8;
    if (l.rowLength < needed || pixelBytes < needed) {
        *why = "the pixel buffer is shorter than its rows";
        return false;
    }
    return true;
}

void put16(std::vector<uint8_t>& out, int32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Index of the first entry of that colour; -1 for none.
int transparent_index(std::span<const uint8_t> palette, size_t entries, int32_t colour) {
    if (colour == -1) return -1;
    const uint8_t r = uint8_t(colour), g = uint8_t(colour >> 8), b = uint8_t(colour >> 16);
    for (size_t i = 0; i < entries && 4 * i + 2 < palette.size(); ++i)
        if (palette[4 * i] == r && palette[4 * i + 1] == g && palette[4 * i + 2] == b)
            return int(i);
    return -1;
}

void write_header(std::vector<uint8_t>& out, const Layout& l, std::span<const uint8_t> palette,
                  bool interlaced, int transparent) {
    for (char c : {'G', 'I', 'F', '8', '9', 'a'}) out.push_back(uint8_t(c));
    put16(out, l.width);
    put16(out, l.height);
    out.push_back(uint8_t(0xF0 + (l.colorBits - 1)));
    out.push_back(0);
    out.push_back(0);
    const size_t entries = size_t(1) << l.colorBits;
    for (size_t i = 0; i < entries; ++i)
        for (size_t k = 0; k < 3; ++k)
            out.push_back(4 * i + k < palette.size() ? palette[4 * i + k] : 0);
    const uint8_t control[] = {0x21,
                               0xF9,
                               0x04,
                               uint8_t(transparent >= 0 ? 1 : 0),
                               0,
                               0,
                               uint8_t(transparent >= 0 ? transparent : 0),
                               0};
    out.insert(out.end(), control, control + sizeof control);
    out.push_back(0x2C);
    put16(out, 0);
    put16(out, 0);
    put16(out, l.width);
    put16(out, l.height);
    out.push_back(uint8_t((l.colorBits - 1) | (interlaced ? 0x40 : 0)));
}

// Rows in file order: all of them, or the four interlace passes (every 8th row from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1).
template <class F>
void for_each_row(int32_t height, bool interlaced, F&& f) {
    if (!interlaced) {
        for (int32_t y = 0; y < height; ++y) f(y);
        return;
    }
    static constexpr int32_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int32_t y = kStart[pass]; y < height; y += kStep[pass]) f(y);
}

// One row as one index per byte, limited to the colour table.
const uint8_t* unpack_row(const uint8_t* src, const Layout& l, uint8_t* dst) {
    const uint8_t mask = uint8_t((1u << l.colorBits) - 1);
    if (l.pixelBits == 8) {
        if (l.colorBits == 8) return src;
        for (int32_t x = 0; x < l.width; ++x) dst[x] = src[x] & mask;
    } else if (l.pixelBits == 4) {
        for (int32_t x = 0; x < l.width; ++x)
            dst[x] = uint8_t((x & 1 ? src[x >> 1] : src[x >> 1] >> 4) & 0x0F & mask);
    } else {
        for (int32_t x = 0; x < l.width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return dst;
}

}  // namespace

std::vector<uint8_t> EncodeGif89a(int32_t width, int32_t height, int32_t colorBits,
                                  std::span<const uint8_t> pixels, int32_t pixelBits,
                                  std::span<const uint8_t> palette, bool interlaced,
                                  int32_t transparentColor) {
    Layout l{width, height, colorBits, pixelBits, height > 0 ? pixels.size() / size_t(height) : 0};
    std::string why;
    if (!check_arguments(l, pixels.size(), &why)) {
        win::SetErrorDetail("GIF: " + why);
        return {};
    }
    std::vector<uint8_t> out;
    try {
        out.reserve(1024 + pixels.size() / 8 * 9);  // LZW of noise grows a little
        write_header(out, l, palette, interlaced,
                     transparent_index(palette, size_t(1) << colorBits, transparentColor));
        const int minCodeSize = colorBits == 1 ? 2 : colorBits;
        out.push_back(uint8_t(minCodeSize));
        auto encoder = std::make_unique<LzwEncoder>(minCodeSize, out);
        std::vector<uint8_t> row(static_cast<size_t>(width));
        for_each_row(height, interlaced, [&](int32_t y) {
            encoder->Add(unpack_row(pixels.data() + size_t(y) * l.rowLength, l, row.data()),
                         size_t(width));
        });
        encoder->End();
        out.push_back(0x00);
        out.push_back(0x3B);
    } catch (const std::bad_alloc&) {
        win::SetErrorDetail("GIF: out of memory");
        return {};
    }
    return out;
}

int32_t WriteGif89a(const std::string& fileName, int32_t width, int32_t height, int32_t colorBits,
                    std::span<const uint8_t> pixels, int32_t pixelBits,
                    std::span<const uint8_t> palette, bool interlaced, int32_t transparentColor) {
    std::vector<uint8_t> bytes = EncodeGif89a(width, height, colorBits, pixels, pixelBits, palette,
                                              interlaced, transparentColor);
    if (bytes.empty()) return 0;
    auto file = win::CreateReplacement(fileName);
    if (!file || !file->Write(bytes.data(), bytes.size()) || !file->Commit()) return 0;
    return 1;
}

}  // namespace mGIFSave89a
