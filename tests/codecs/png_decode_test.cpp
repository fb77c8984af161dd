// PNG decoding: colour types and depths to pixel formats, transparency, resolution and text
// items, damaged and absurd files.
#include <chrono>

#include "codecs/codec_builders.h"

namespace codectest {
namespace {

Bytes phys(uint32_t x, uint32_t y, uint8_t unit) {
    Bytes b;
    put32be(b, x), put32be(b, y), put8(b, unit);
    return b;
}

TEST(Png, GreyDepthsStayIndexedWithAGreyPalette) {
    struct Case {
        int depth;
        PixelFormat format;
        Bytes row;  // 4 pixels
        std::vector<uint32_t> indices;
    } cases[] = {
        {1, PixelFormat1bppIndexed, {0xA0}, {1, 0, 1, 0}},
        {2, PixelFormat4bppIndexed, {0x1B}, {0, 1, 2, 3}},
        {4, PixelFormat4bppIndexed, {0x0F, 0x37}, {0, 15, 3, 7}},
        {8, PixelFormat8bppIndexed, {0, 100, 200, 255}, {0, 100, 200, 255}},
    };
    for (const Case& c : cases) {
        Decoded d = decode(make_png(4, 1, c.depth, 0, {c.row}));
        ASSERT_EQ(d.status, Gdiplus::Ok) << c.depth;
        const gdip::Frame& f = d.frame();
        EXPECT_EQ(f.format, c.format) << c.depth;
        ASSERT_EQ(f.palette.size(), size_t(1) << c.depth);
        EXPECT_EQ(f.palette.back(), 0xFFFFFFFFu);
        EXPECT_TRUE(f.palette_flags & PaletteFlagsGrayScale);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(index_at(f, x, 0), c.indices[size_t(x)]) << c.depth;
    }
}

TEST(Png, PaletteWithTransparency) {
    Bytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    Bytes trns = {0, 128};
    Decoded d = decode(make_png(3, 1, 8, 3, {{0, 1, 2}}, {{"PLTE", plte}, {"tRNS", trns}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::Frame& f = d.frame();
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    ASSERT_EQ(f.palette.size(), 3u);
    EXPECT_EQ(f.palette[0], 0x00FF0000u);
    EXPECT_EQ(f.palette[1], 0x8000FF00u);
    EXPECT_EQ(f.palette[2], 0xFF0000FFu);
    EXPECT_TRUE(f.palette_flags & PaletteFlagsHasAlpha);
}

TEST(Png, TrueColourFormats) {
    Decoded rgb = decode(make_png(1, 1, 8, 2, {{10, 20, 30}}));
    ASSERT_EQ(rgb.status, Gdiplus::Ok);
    EXPECT_EQ(rgb.frame().format, PixelFormat24bppRGB);
    EXPECT_EQ(argb_at(rgb.frame(), 0, 0), 0xFF0A141Eu);

    Decoded rgba = decode(make_png(1, 1, 8, 6, {{10, 20, 30, 40}}));
    ASSERT_EQ(rgba.status, Gdiplus::Ok);
    EXPECT_EQ(rgba.frame().format, PixelFormat32bppARGB);
    EXPECT_EQ(argb_at(rgba.frame(), 0, 0), 0x280A141Eu);

    Decoded ga = decode(make_png(1, 1, 8, 4, {{77, 99}}));
    ASSERT_EQ(ga.status, Gdiplus::Ok);
    EXPECT_EQ(ga.frame().format, PixelFormat32bppARGB);
    EXPECT_EQ(argb_at(ga.frame(), 0, 0), 0x634D4D4Du);

    Bytes key;
    put8(key, 0), put8(key, 10), put8(key, 0), put8(key, 20), put8(key, 0), put8(key, 30);
    Decoded keyed = decode(make_png(2, 1, 8, 2, {{10, 20, 30, 1, 2, 3}}, {{"tRNS", key}}));
    ASSERT_EQ(keyed.status, Gdiplus::Ok);
    EXPECT_EQ(keyed.frame().format, PixelFormat32bppARGB);
    EXPECT_EQ(argb_at(keyed.frame(), 0, 0) >> 24, 0u);
    EXPECT_EQ(argb_at(keyed.frame(), 1, 0), 0xFF010203u);
}

TEST(Png, SixteenBitSamplesAreKeptLittleEndian) {
    Decoded d = decode(make_png(1, 1, 16, 2, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(d.frame().format, PixelFormat48bppRGB);
    EXPECT_EQ(sample16(d.frame(), 0, 0, 0, 3), 0x9ABC);  // B
    EXPECT_EQ(sample16(d.frame(), 0, 0, 2, 3), 0x1234);  // R

    Decoded a = decode(make_png(1, 1, 16, 6, {{0, 1, 0, 2, 0, 3, 0xFF, 0xFE}}));
    ASSERT_EQ(a.status, Gdiplus::Ok);
    EXPECT_EQ(a.frame().format, PixelFormat64bppARGB);
    EXPECT_EQ(sample16(a.frame(), 0, 0, 3, 4), 0xFFFE);

    Decoded g = decode(make_png(1, 1, 16, 0, {{0xAB, 0xCD}}));
    ASSERT_EQ(g.status, Gdiplus::Ok);
    EXPECT_EQ(g.frame().format, PixelFormat48bppRGB);
    EXPECT_EQ(sample16(g.frame(), 0, 0, 1, 3), 0xABCD);
}

TEST(Png, ResolutionAndItems) {
    Bytes text = {'T', 'i', 't', 'l', 'e', 0, 'S', 'c', 'a', 'n'};
    Decoded d =
        decode(make_png(1, 1, 8, 0, {{0}}, {{"pHYs", phys(11811, 5906, 1)}, {"tEXt", text}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_NEAR(d.frame().dpi_x, 300.0, 0.01);
    EXPECT_NEAR(d.frame().dpi_y, 150.01, 0.01);
    const gdip::PropertyData* unit = property(*d.image, 0x5110);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->value, Bytes{1});
    const gdip::PropertyData* x = property(*d.image, 0x5111);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->type, PropertyTagTypeLong);
    EXPECT_EQ(x->value, (Bytes{0x23, 0x2E, 0, 0}));
    const gdip::PropertyData* title = property(*d.image, 0x0320);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->type, PropertyTagTypeASCII);
    EXPECT_EQ(std::string(title->value.begin(), title->value.end()), std::string("Scan\0", 5));

    Decoded aspect = decode(make_png(1, 1, 8, 0, {{0}}, {{"pHYs", phys(2, 1, 0)}}));
    ASSERT_EQ(aspect.status, Gdiplus::Ok);
    EXPECT_EQ(aspect.frame().dpi_x, 96.0f);  // unit unknown: no resolution
}

TEST(PngDamaged, TruncatedImageDataKeepsTheRowsRead) {
    std::vector<Bytes> rows;
    for (int y = 0; y < 64; ++y) rows.push_back(Bytes(64, uint8_t(y + 1)));
    Bytes file = make_png(64, 64, 8, 0, rows);
    file.resize(file.size() / 2);
    Decoded d = decode(file);
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(index_at(d.frame(), 5, 0), 1u);
    EXPECT_EQ(index_at(d.frame(), 5, 63), 0u);  // missing: filled
}

TEST(PngDamaged, BrokenHeaderIsGenericError) {
    Bytes file = make_png(4, 4, 8, 0, std::vector<Bytes>(4, Bytes(4, 0)));
    Bytes bad_crc = file;
    bad_crc[29] ^= 0xFF;  // IHDR's CRC
    EXPECT_EQ(decode(bad_crc).status, Gdiplus::GenericError);
    Bytes bad_depth = make_png(4, 4, 3, 0, {});
    EXPECT_EQ(decode(bad_depth).status, Gdiplus::GenericError);
    Bytes zero = make_png(0, 4, 8, 0, {});
    EXPECT_EQ(decode(zero).status, Gdiplus::GenericError);
    Bytes signature_only(file.begin(), file.begin() + 8);
    EXPECT_EQ(decode(signature_only).status, Gdiplus::GenericError);
}

TEST(PngDamaged, AbsurdDimensionsFailFast) {
    for (uint32_t side : {0x7FFFFFFFu, 100000u, 30000u}) {
        auto start = std::chrono::steady_clock::now();
        Decoded d = decode(make_png(side, side, 8, 6, {}));
        EXPECT_EQ(d.status, Gdiplus::OutOfMemory) << side;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

}  // namespace
}  // namespace codectest
