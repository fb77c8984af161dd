// The GIF89a writer, read back by giflib.
#include <algorithm>
#include <map>
#include <thread>

#include "codecs/mGIFSave89a.h"
#include "own_fixture.h"

using namespace owntest;
using mGIFSave89a::EncodeGif89a;
using mGIFSave89a::WriteGif89a;

namespace {

// Indices packed at `bits` per pixel, rows of `row` bytes.
Bytes pack(const std::vector<Bytes>& rows, int bits, size_t row) {
    Bytes out(rows.size() * row, 0);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x) {
            size_t bit = x * size_t(bits);
            out[y * row + bit / 8] |= uint8_t(rows[y][x] << (8 - bits - bit % 8));
        }
    return out;
}

Bytes grey_palette(int entries) {
    Bytes p;
    for (int i = 0; i < entries; ++i) {
        uint8_t v = uint8_t(i * 255 / std::max(entries - 1, 1));
        p.insert(p.end(), {v, uint8_t(255 - v), uint8_t(i * 7), 0});
    }
    return p;
}

std::vector<Bytes> random_rows(int w, int h, int colours, uint32_t seed) {
    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y)
        rows.push_back(random_bytes(size_t(w), seed + uint32_t(y), colours));
    return rows;
}

struct Case {
    int bits;
    bool interlaced;
    int width, height;
};

class GifRoundTrip : public ::testing::TestWithParam<Case> {};

}  // namespace

// giflib decodes exactly the indices and the colour table written, whatever the packing.
TEST_P(GifRoundTrip, GiflibReadsTheIndicesAndPalette) {
    const Case c = GetParam();
    auto rows = random_rows(c.width, c.height, 1 << c.bits, 7);
    const size_t row = (size_t(c.width) * size_t(c.bits) + 7) / 8 + 3;  // rows may be padded
    Bytes palette = grey_palette(1 << c.bits);
    Bytes file = EncodeGif89a(c.width, c.height, c.bits, pack(rows, c.bits, row), c.bits, palette,
                              c.interlaced, -1);
    ASSERT_FALSE(file.empty());
    GifFile g = read_gif(file);
    ASSERT_EQ(g.error, 0);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, c.height);
    EXPECT_EQ(g.interlaced, c.interlaced);
    ASSERT_EQ(g.colours.size(), size_t(3) << c.bits);
    for (size_t i = 0; i < (size_t(1) << c.bits); ++i)
        EXPECT_EQ(0, std::memcmp(&g.colours[3 * i], &palette[4 * i], 3)) << "entry " << i;
    ASSERT_EQ(g.rows.size(), size_t(c.height));
    std::vector<int> order = interlace_order(c.height);
    for (int i = 0; i < c.height; ++i) {
        int y = c.interlaced ? order[size_t(i)] : i;
        ASSERT_EQ(g.rows[size_t(i)], rows[size_t(y)]) << "file row " << i;
    }
    EXPECT_EQ(file.back(), 0x3B);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, GifRoundTrip,
    ::testing::Values(Case{1, false, 37, 21}, Case{1, true, 37, 21}, Case{4, false, 33, 17},
                      Case{4, true, 33, 17}, Case{8, false, 64, 40}, Case{8, true, 64, 40},
                      // Enough noise to fill the dictionary many times over (clear codes).
                      Case{8, true, 700, 300}, Case{1, false, 1, 1}, Case{8, true, 3, 1}));

TEST(GifWriter, OneBitImageUsesMinimumCodeSizeTwo) {
    // Pixels 1, 0: clear 4, then 1, 0 and the end code 5, every code 3 bits wide.
    const Bytes pixels = {0b10000000};
    Bytes f = EncodeGif89a(2, 1, 1, pixels, 1, Bytes{0, 0, 0, 0, 255, 255, 255, 0}, false, -1);
    SubBlocks s = sub_blocks(f);
    EXPECT_EQ(f[10], 0xF0) << "global table, resolution 7, one bit";
    EXPECT_EQ(f[s.data_start - 1], 2) << "minimum code size";
    // 100 001 000 101, least significant bit first.
    EXPECT_EQ(Bytes(f.begin() + long(s.data_start), f.begin() + long(s.end)),
              (Bytes{2, 0x0C, 0x0A}));
}

TEST(GifWriter, HeaderFieldsAndTrailer) {
    Bytes f = EncodeGif89a(300, 2, 4, Bytes(300, 0x12), 4, grey_palette(16), true, -1);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
    EXPECT_EQ(f[6] | f[7] << 8, 300);
    EXPECT_EQ(f[8] | f[9] << 8, 2);
    EXPECT_EQ(f[10], 0xF3);
    EXPECT_EQ(f[11], 0);
    EXPECT_EQ(f[12], 0);
    const size_t ext = 13 + 48;
    EXPECT_EQ(Bytes(f.begin() + ext, f.begin() + ext + 8), (Bytes{0x21, 0xF9, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f[ext + 8], 0x2C);
    EXPECT_EQ(f[ext + 17], 0x43) << "table size 3, interlaced, no local table";
    SubBlocks s = sub_blocks(f);
    EXPECT_EQ(s.end + 2, f.size());
    EXPECT_EQ(f[s.end], 0);
    EXPECT_EQ(f.back(), 0x3B);
}

TEST(GifWriter, InterlacedRowsGoInFourPasses) {
    std::vector<Bytes> rows;
    for (int y = 0; y < 10; ++y) rows.push_back(Bytes(4, uint8_t(y)));
    Bytes f = EncodeGif89a(4, 10, 4, pack(rows, 8, 4), 8, grey_palette(16), true, -1);
    GifFile g = read_gif(f);
    ASSERT_EQ(g.rows.size(), 10u);
    std::vector<int> sent;
    for (const Bytes& r : g.rows) sent.push_back(r[0]);
    EXPECT_EQ(sent, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

// Sub-blocks hold 254 bytes: data of exactly 254 bytes is one full block, 255 two.
TEST(GifWriter, SubBlocksOf254Bytes) {
    std::map<size_t, std::vector<size_t>> by_total;
    for (uint32_t seed = 0; seed < 8 && !(by_total.count(254) && by_total.count(255)); ++seed)
        for (int w = 180; w < 260; ++w) {
            Bytes f = EncodeGif89a(w, 1, 8, random_bytes(size_t(w), seed), 8, grey_palette(256),
                                   false, -1);
            SubBlocks s = sub_blocks(f);
            size_t total = 0;
            for (size_t n : s.lengths) total += n;
            by_total.emplace(total, s.lengths);
            for (size_t i = 0; i + 1 < s.lengths.size(); ++i) EXPECT_EQ(s.lengths[i], 254u);
        }
    ASSERT_TRUE(by_total.count(254) && by_total.count(255)) << "widths that give 254 and 255";
    EXPECT_EQ(by_total[254], (std::vector<size_t>{254}));
    EXPECT_EQ(by_total[255], (std::vector<size_t>{254, 1}));
}

TEST(GifWriter, TransparentColourPicksTheFirstMatchingEntry) {
    Bytes palette = grey_palette(16);
    // Entries 5 and 9 share the colour 0x102030; 0x00BBGGRR holds red in the low byte.
    for (size_t e : {5u, 9u})
        palette[4 * e] = 0x30, palette[4 * e + 1] = 0x20, palette[4 * e + 2] = 0x10;
    GifFile g = read_gif(EncodeGif89a(8, 8, 4, Bytes(32, 0x55), 4, palette, true, 0x102030));
    EXPECT_EQ(g.transparent, 5);
    g = read_gif(EncodeGif89a(8, 8, 4, Bytes(32, 0x55), 4, palette, true, 0x112233));
    EXPECT_EQ(g.transparent, -1) << "no entry has that colour";
    Bytes f = EncodeGif89a(8, 8, 4, Bytes(32, 0x55), 4, palette, true, -1);
    EXPECT_EQ(f[13 + 48 + 3], 0) << "no transparency flag";
}

TEST(GifWriter, ShortPaletteIsPaddedWithBlack) {
    Bytes palette = {10, 20, 30, 255, 40, 50, 60, 255};  // two entries for an 8-bit table
    GifFile g =
        read_gif(EncodeGif89a(2, 2, 8, Bytes{0, 1, 0, 0, 1, 0, 0, 0}, 8, palette, false, -1));
    ASSERT_EQ(g.colours.size(), 768u);
    EXPECT_EQ(Bytes(g.colours.begin(), g.colours.begin() + 6), (Bytes{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(std::count(g.colours.begin() + 6, g.colours.end(), 0), 762);
}

TEST(GifWriter, ArgumentsThatDoNotDescribeTheBufferFail) {
    const Bytes pal = grey_palette(256);
    EXPECT_TRUE(EncodeGif89a(10, 2, 8, Bytes(19), 8, pal, false, -1).empty()) << "short rows";
    EXPECT_TRUE(EncodeGif89a(0, 2, 8, Bytes(20), 8, pal, false, -1).empty());
    EXPECT_TRUE(EncodeGif89a(10, 2, 9, Bytes(20), 8, pal, false, -1).empty());
    EXPECT_TRUE(EncodeGif89a(10, 2, 8, Bytes(20), 2, pal, false, -1).empty());
    EXPECT_FALSE(EncodeGif89a(65535, 1, 1, Bytes(8192), 1, pal, false, -1).empty());
    EXPECT_TRUE(EncodeGif89a(65536, 1, 1, Bytes(8192), 1, pal, false, -1).empty());
}

class GifFileOutput : public ::testing::Test {
  protected:
    lumtest::TempDir dir;
    std::string path = dir.file("out.gif");
};

TEST_F(GifFileOutput, WritingOverALongerFileEndsWithTheTrailer) {
    const Bytes pal = grey_palette(256);
    ASSERT_EQ(WriteGif89a(path, 500, 500, 8, random_bytes(250000, 1), 8, pal, true, -1), 1);
    const size_t long_size = lumtest::read_file(path).size();
    ASSERT_EQ(WriteGif89a(path, 4, 4, 8, Bytes(16, 3), 8, pal, true, -1), 1);
    Bytes f = lumtest::read_file(path);
    EXPECT_LT(f.size(), long_size);
    EXPECT_EQ(f, EncodeGif89a(4, 4, 8, Bytes(16, 3), 8, pal, true, -1));
    EXPECT_EQ(f.back(), 0x3B);
}

TEST_F(GifFileOutput, TooWideFailsAndLeavesTheOldFile) {
    write_text(path, "old contents");
    EXPECT_EQ(WriteGif89a(path, 70000, 1, 1, Bytes(8750), 1, grey_palette(2), true, -1), 0);
    EXPECT_EQ(lumtest::read_file(path), bytes_of("old contents"));
    EXPECT_EQ(WriteGif89a(dir.file("none/x.gif"), 4, 4, 8, Bytes(16), 8, {}, true, -1), 0)
        << "a folder that does not exist";
}

// Each save has its own encoder: two threads writing at once give what one thread gives.
TEST(GifWriter, TwoThreadsEncodeAtOnce) {
    const Bytes a = random_bytes(300 * 200, 11), b = random_bytes(300 * 200, 12, 16);
    const Bytes pal = grey_palette(256);
    const Bytes want_a = EncodeGif89a(300, 200, 8, a, 8, pal, true, -1);
    const Bytes want_b = EncodeGif89a(300, 200, 8, b, 8, pal, false, -1);
    for (int round = 0; round < 3; ++round) {
        Bytes got_a, got_b;
        std::thread t1([&] { got_a = EncodeGif89a(300, 200, 8, a, 8, pal, true, -1); });
        std::thread t2([&] { got_b = EncodeGif89a(300, 200, 8, b, 8, pal, false, -1); });
        t1.join();
        t2.join();
        EXPECT_EQ(got_a, want_a);
        EXPECT_EQ(got_b, want_b);
    }
}
