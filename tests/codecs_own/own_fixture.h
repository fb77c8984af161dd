// Shared helpers of the own-codec tests: files, random pixels, and a GIF reader over giflib
// (an outside decoder) that returns the indices in file order and the colour table.
#pragma once

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/file_probe.h"
#include "support/test_env.h"

namespace owntest {

using Bytes = std::vector<uint8_t>;

inline void write_bytes(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}
inline void write_text(const std::string& path, const std::string& s) {
    write_bytes(path, Bytes(s.begin(), s.end()));
}
inline Bytes bytes_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes random_bytes(size_t n, uint32_t seed, int modulo = 256) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) v = uint8_t(rng() % uint32_t(modulo));
    return b;
}

// A GIF as giflib reads it: the raster rows in the order the file stores them.
struct GifFile {
    int error = 0;
    int width = 0, height = 0, color_bits = 0;
    bool interlaced = false;
    std::vector<Bytes> rows;  // file order
    Bytes colours;            // 3 bytes per entry
    int transparent = -1;     // from the graphic control extension
};

inline int read_memory(GifFileType* gif, GifByteType* out, int n) {
    auto* src = static_cast<std::pair<const Bytes*, size_t>*>(gif->UserData);
    size_t k = std::min(size_t(n), src->first->size() - src->second);
    std::memcpy(out, src->first->data() + src->second, k);
    src->second += k;
    return int(k);
}

inline GifFile read_gif(const Bytes& file) {
    GifFile g;
    std::pair<const Bytes*, size_t> src{&file, 0};
    GifFileType* gif = DGifOpen(&src, read_memory, &g.error);
    if (!gif) return g;
    g.width = gif->SWidth;
    g.height = gif->SHeight;
    if (gif->SColorMap) {
        g.color_bits = gif->SColorMap->BitsPerPixel;
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            g.colours.insert(g.colours.end(), {c.Red, c.Green, c.Blue});
        }
    }
    GifRecordType type;
    while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            DGifGetExtension(gif, &code, &ext);
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1))
                g.transparent = ext[4];
            while (ext) DGifGetExtensionNext(gif, &ext);
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) != GIF_OK) break;
            g.interlaced = gif->Image.Interlace;
            Bytes row(size_t(gif->Image.Width));
            for (int y = 0; y < gif->Image.Height; ++y) {
                if (DGifGetLine(gif, row.data(), gif->Image.Width) != GIF_OK) {
                    g.error = gif->Error;
                    break;
                }
                g.rows.push_back(row);
            }
        }
    }
    DGifCloseFile(gif, nullptr);
    return g;
}

// Rows of a file in display order.
inline std::vector<int> interlace_order(int height) {
    std::vector<int> order;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < height; y += step) order.push_back(y);
    return order;
}

// The sub-block lengths of the image data (after the minimum code size byte), and where the
// data starts.
struct SubBlocks {
    size_t data_start = 0;
    std::vector<size_t> lengths;
    size_t end = 0;  // offset of the block terminator
};
inline SubBlocks sub_blocks(const Bytes& f) {
    SubBlocks s;
    size_t table = size_t(3) << ((f[10] & 7) + 1);
    size_t p = 13 + table + 8 + 10;  // screen, colours, control extension, image descriptor
    s.data_start = p + 1;
    p = s.data_start;
    while (p < f.size() && f[p] != 0) {
        s.lengths.push_back(f[p]);
        p += 1 + f[p];
    }
    s.end = p;
    return s;
}

}  // namespace owntest
