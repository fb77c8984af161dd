// The octree and the 8-bit reduction built on it: palette sizes, exact colours while they
// fit, merging to the budget, padding never read, and both ways of making the result.
#include <gtest/gtest.h>

#include <set>

#include "codecs/modOcTree.h"
#include "imaging/image_props.h"
#include "imaging/quantize.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// Rows of `width` pixels padded to 4 bytes, the padding set to a colour that is no pixel's.
std::vector<uint8_t> rows_of(const std::vector<Rgb>& pixels, int width, int* stride) {
    *stride = (3 * width + 3) / 4 * 4;
    int height = int(pixels.size()) / width;
    std::vector<uint8_t> out(size_t(*stride) * height, 0x77);
    for (int i = 0; i < int(pixels.size()); ++i) {
        uint8_t* p = out.data() + size_t(i / width) * *stride + 3 * (i % width);
        p[0] = pixels[i].b, p[1] = pixels[i].g, p[2] = pixels[i].r;
    }
    return out;
}

std::vector<Rgb> distinct(int n) {
    std::vector<Rgb> v;
    for (int i = 0; i < n; ++i) v.push_back(Rgb{uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i)});
    return v;
}

}  // namespace

TEST(Octree, FewColoursStayExactInASixteenEntryPalette) {
    std::vector<Rgb> px = distinct(10);
    int stride = 0;
    auto rows = rows_of(px, 5, &stride);  // 5 wide: one padding byte per row
    modOcTree::Octree tree;
    tree.BuildOctree(stride, 2, stride - 15, rows.data(), 256, 8);
    EXPECT_EQ(tree.GetPaletteCount(), 9);
    EXPECT_EQ(tree.palette_size(), 16u);
    for (int i = 10; i < 16; ++i) {
        uint8_t r = 1, g = 1, b = 1;
        tree.GetPaletteColor(i, r, g, b);
        EXPECT_EQ(r | g | b, 0) << "entry " << i;
    }
    for (const Rgb& c : px) {
        uint8_t r, g, b;
        tree.GetPaletteColor(tree.MapColor(c.b, c.g, c.r), r, g, b);
        EXPECT_EQ(r, c.r);
        EXPECT_EQ(g, c.g);
        EXPECT_EQ(b, c.b);
    }
}

TEST(Octree, ManyColoursMergeToTheBudget) {
    std::vector<Rgb> px;
    for (int i = 0; i < 300; ++i) px.push_back(Rgb{uint8_t(i), uint8_t(i * 7), uint8_t(i * 13)});
    int stride = 0;
    auto rows = rows_of(px, 30, &stride);
    modOcTree::Octree tree;
    tree.BuildOctree(stride, 10, stride - 90, rows.data(), 256, 8);
    EXPECT_LE(tree.GetPaletteCount(), 255);
    EXPECT_EQ(tree.palette_size(), 256u);
    std::set<int> used;
    for (const Rgb& c : px) used.insert(tree.MapColor(c.b, c.g, c.r));
    EXPECT_LE(used.size(), 256u);
    EXPECT_LE(*used.rbegin(), tree.GetPaletteCount());
}

TEST(Octree, OneColourOnePaletteEntryAndPaddingIsNotAPixel) {
    std::vector<Rgb> px(6, Rgb{10, 200, 30});
    int stride = 0;
    auto rows = rows_of(px, 3, &stride);  // 9 bytes of pixels, 3 of padding (0x77) per row
    modOcTree::Octree tree;
    tree.BuildOctree(stride, 2, stride - 9, rows.data(), 8, 8);
    EXPECT_EQ(tree.GetPaletteCount(), 0) << "the padding would have been a second colour";
    uint8_t r, g, b;
    tree.GetPaletteColor(0, r, g, b);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 200);
    EXPECT_EQ(b, 30);
    EXPECT_EQ(tree.MapColor(0, 0, 255), 0) << "a colour outside the build maps to the nearest";
}

class QuantizeTest : public ::testing::Test {
protected:
    void SetUp() override { modGdiplus::EngineStartup(); }
    void TearDown() override { modGdiplus::EngineShutdown(); }

    GpImage photo(int w, int h) {
        GpImage img = 0;
        modGdiplus::CreateBlankImage(w, h, PixelFormat24bppRGB, img);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                GdipBitmapSetPixel(img, x, y,
                                   0xFF000000u | ARGB(x * 255 / w) << 16 | ARGB(y * 255 / h) << 8 |
                                       ARGB((x * y) & 255));
        return img;
    }
};

TEST_F(QuantizeTest, TheColourCountIsClampedAndReported) {
    GpImage img = photo(40, 30);
    for (auto [asked, most] : {std::pair{4, 8}, {1000, 256}, {64, 64}}) {
        int32_t colours = asked;
        GpImage out = 0;
        std::vector<BYTE> palette;
        ASSERT_EQ(modGdiplus::QuantizeTo8Bpp(img, out, colours, palette), 0);
        EXPECT_LE(colours, most) << asked;
        EXPECT_GT(colours, most / 2) << asked;
        PixelFormat f = 0;
        modGdiplus::GetPixelFormatValue(out, f);
        EXPECT_EQ(f, PixelFormat8bppIndexed);
        ASSERT_GE(palette.size(), 8u + 4u * colours);
        ColorPalette head;
        std::memcpy(&head, palette.data(), 8);
        EXPECT_EQ(head.Flags, 4u);
        EXPECT_EQ(head.Count, UINT(colours));
        modGdiplus::DisposeImage(out);
    }
}

TEST_F(QuantizeTest, OldAndNewGdiplusPathsGiveTheSamePixels) {
    GpImage img = photo(33, 17);  // odd width: padded rows on both sides
    std::vector<ARGB> seen[2];
    for (int old = 0; old < 2; ++old) {
        modGdiplus::EngineShutdown();
        LumGdiplusSetFileVersion(old ? "5.1.3102.2180" : "6.1.7601.24546");
        modGdiplus::EngineStartup();
        img = photo(33, 17);
        int32_t colours = 256;
        GpImage out = 0;
        std::vector<BYTE> palette;
        ASSERT_EQ(modGdiplus::QuantizeTo8Bpp(img, out, colours, palette), 0) << old;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 33; ++x) {
                ARGB c = 0;
                GdipBitmapGetPixel(out, x, y, &c);
                seen[old].push_back(c);
            }
        modGdiplus::DisposeImage(out);
    }
    LumGdiplusSetFileVersion("6.1.7601.24546");
    EXPECT_EQ(seen[0], seen[1]);
}
