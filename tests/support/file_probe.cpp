#include "support/file_probe.h"

#include <fstream>
#include <iterator>

namespace lumtest {

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<TiffTags> tiff_pages(const std::vector<uint8_t>& b) {
    std::vector<TiffTags> pages;
    if (b.size() < 8) return pages;
    bool le = b[0] == 'I';
    auto u16 = [&](size_t o) -> uint32_t {
        if (o + 2 > b.size()) return 0;
        return le ? b[o] | b[o + 1] << 8 : b[o] << 8 | b[o + 1];
    };
    auto u32 = [&](size_t o) -> uint32_t {
        if (o + 4 > b.size()) return 0;
        return le ? u16(o) | u16(o + 2) << 16 : u16(o) << 16 | u16(o + 2);
    };
    if (u16(2) != 42) return pages;
    for (uint32_t ifd = u32(4); ifd != 0 && ifd < b.size() && pages.size() < 10000;) {
        TiffTags tags;
        uint32_t n = u16(ifd);
        for (uint32_t i = 0; i < n; ++i) {
            size_t e = ifd + 2 + 12 * size_t(i);
            uint16_t tag = uint16_t(u16(e)), type = uint16_t(u16(e + 2));
            uint32_t count = u32(e + 4);
            uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
            if (type == 3 && count > 2) value = u16(u32(e + 8));  // first of an offset array
            tags[tag] = value;
        }
        pages.push_back(tags);
        ifd = u32(ifd + 2 + 12 * size_t(n));
    }
    return pages;
}

std::vector<int> jpeg_luma_table(const std::vector<uint8_t>& b) {
    for (size_t i = 2; i + 4 < b.size();) {
        if (b[i] != 0xFF) return {};
        uint8_t marker = b[i + 1];
        size_t len = size_t(b[i + 2]) << 8 | b[i + 3];
        if (marker == 0xDB && i + 5 + 64 <= b.size() && (b[i + 4] & 0x0F) == 0) {
            bool wide = b[i + 4] >> 4;
            std::vector<int> table;
            for (int k = 0; k < 64; ++k)
                table.push_back(wide ? b[i + 5 + 2 * k] << 8 | b[i + 6 + 2 * k] : b[i + 5 + k]);
            return table;
        }
        if (marker == 0xDA) return {};
        i += 2 + len;
    }
    return {};
}

}  // namespace lumtest
