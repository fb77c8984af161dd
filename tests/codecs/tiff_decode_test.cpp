// TIFF decoding: every page, page kinds to pixel formats, palettes, resolution units,
// tags as property items, tiles, damaged and absurd files.
#include <chrono>

#include "codecs/codec_builders.h"

namespace codectest {
namespace {

TiffPage bilevel_min_is_white() {
    TiffPage p;
    p.width = 10, p.height = 2, p.bps = 1, p.photometric = 0;
    p.strip = {0xC0, 0x40, 0x00, 0x00};  // row 0: pixels 0, 1 set; row 1: none
    p.tags = {tag_rational(282, 200, 1), tag_rational(283, 200, 1), tag_short(296, {2}),
              tag_ascii(270, "scan page")};
    return p;
}

TiffPage palette4() {
    TiffPage p;
    p.width = 3, p.height = 1, p.bps = 4, p.photometric = 3;
    p.strip = {0x1F, 0x20};
    TiffTag map{320, 3, 48, {}};
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 16; ++i)
            put16(map.value, uint32_t(channel == 0 ? i * 17 : 255 - i) << 8);
    p.tags = {map, tag_rational(282, 100, 1), tag_rational(283, 50, 1), tag_short(296, {3})};
    return p;
}

TiffPage rgb_alpha() {
    TiffPage p;
    p.width = 2, p.height = 1, p.spp = 4, p.photometric = 2;
    p.strip = {10, 20, 30, 40, 50, 60, 70, 255};
    p.tags = {tag_short(338, {2})};  // unassociated alpha
    return p;
}

TiffPage grey16() {
    TiffPage p;
    p.width = 2, p.height = 1, p.bps = 16, p.photometric = 1;
    put16(p.strip, 0x1234), put16(p.strip, 0xFFFF);
    return p;
}

TiffPage cmyk() {
    TiffPage p;
    p.width = 2, p.height = 1, p.spp = 4, p.photometric = 5;
    p.strip = {255, 0, 0, 0, 0, 0, 0, 255};  // cyan, black
    return p;
}

TiffPage grey2() {
    TiffPage p;
    p.width = 5, p.height = 1, p.bps = 2, p.photometric = 1;
    p.strip = {0x1B, 0x80};  // 0 1 2 3 2
    return p;
}

TEST(Tiff, EveryPageKeepsItsOwnSizeFormatPaletteAndResolution) {
    Decoded d = decode(
        make_tiff({bilevel_min_is_white(), palette4(), rgb_alpha(), grey16(), cmyk(), grey2()}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::Image& img = *d.image;
    ASSERT_EQ(img.frames.size(), 6u);
    EXPECT_EQ(img.frame_dimension, FrameDimensionPage);
    EXPECT_EQ(img.raw_format, ImageFormatTIFF);

    const gdip::Frame& bw = img.frames[0];
    EXPECT_EQ(bw.format, PixelFormat1bppIndexed);
    EXPECT_EQ(bw.width, 10);
    ASSERT_EQ(bw.palette.size(), 2u);
    EXPECT_EQ(bw.palette[0], 0xFFFFFFFFu);  // min-is-white: bits kept, palette inverted
    EXPECT_EQ(bw.palette[1], 0xFF000000u);
    EXPECT_EQ(index_at(bw, 1, 0), 1u);
    EXPECT_EQ(index_at(bw, 2, 0), 0u);
    EXPECT_FLOAT_EQ(bw.dpi_x, 200.0f);

    const gdip::Frame& pal = img.frames[1];
    EXPECT_EQ(pal.format, PixelFormat4bppIndexed);
    ASSERT_EQ(pal.palette.size(), 16u);
    EXPECT_EQ(pal.palette[15], 0xFFFFF0F0u);
    EXPECT_EQ(index_at(pal, 1, 0), 15u);
    EXPECT_EQ(index_at(pal, 2, 0), 2u);
    EXPECT_FLOAT_EQ(pal.dpi_x, 254.0f);  // 100 per centimetre
    EXPECT_FLOAT_EQ(pal.dpi_y, 127.0f);

    EXPECT_EQ(img.frames[2].format, PixelFormat32bppARGB);
    EXPECT_EQ(argb_at(img.frames[2], 0, 0), 0x280A141Eu);
    EXPECT_FLOAT_EQ(img.frames[2].dpi_x, 96.0f);

    EXPECT_EQ(img.frames[3].format, PixelFormat48bppRGB);
    EXPECT_EQ(sample16(img.frames[3], 0, 0, 1, 3), 0x1234);

    EXPECT_EQ(img.frames[4].format, PixelFormat24bppRGB);
    EXPECT_EQ(argb_at(img.frames[4], 0, 0), 0xFF00FFFFu);
    EXPECT_EQ(argb_at(img.frames[4], 1, 0), 0xFF000000u);

    EXPECT_EQ(img.frames[5].format, PixelFormat4bppIndexed);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(index_at(img.frames[5], x, 0), uint32_t(x == 4 ? 2 : x));
    EXPECT_EQ(img.frames[5].palette.size(), 4u);
}

TEST(Tiff, FirstPageTagsBecomePropertyItems) {
    Decoded d = decode(make_tiff({bilevel_min_is_white(), palette4()}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::PropertyData* desc = property(*d.image, 270);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->type, PropertyTagTypeASCII);
    EXPECT_EQ(std::string(desc->value.begin(), desc->value.end()), std::string("scan page\0", 10));
    const gdip::PropertyData* width = property(*d.image, 256);
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->type, PropertyTagTypeLong);
    EXPECT_EQ(width->value, (Bytes{10, 0, 0, 0}));
    const gdip::PropertyData* xres = property(*d.image, 282);
    ASSERT_NE(xres, nullptr);
    EXPECT_EQ(xres->type, PropertyTagTypeRational);
    EXPECT_EQ(property(*d.image, 320), nullptr);  // the second page's colour map is not an item
}

TEST(Tiff, CommittedFixturesDecode) {
    Decoded multi = decode(read_file(data_path("tiff_multipage.tif")));
    ASSERT_EQ(multi.status, Gdiplus::Ok);
    ASSERT_EQ(multi.image->frames.size(), 5u);
    const PixelFormat want[] = {PixelFormat1bppIndexed, PixelFormat8bppIndexed, PixelFormat24bppRGB,
                                PixelFormat48bppRGB, PixelFormat24bppRGB};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(multi.frame(i).format, want[i]) << i;
    EXPECT_NEAR(multi.frame(2).dpi_x, 101.6, 0.001);
    EXPECT_FLOAT_EQ(multi.frame(0).dpi_x, 300.0f);

    for (const char* name : {"tiff_tiled.tif", "tiff_ycbcr_jpeg.tif"}) {
        Decoded d = decode(read_file(data_path(name)));
        ASSERT_EQ(d.status, Gdiplus::Ok) << name;
        EXPECT_EQ(d.frame().format, PixelFormat24bppRGB) << name;
        // the content is a gradient: the far corner is bright in red and green
        uint32_t c = argb_at(d.frame(), d.frame().width - 1, d.frame().height - 1);
        EXPECT_GT((c >> 16) & 0xFF, 200u) << name;
        EXPECT_GT((c >> 8) & 0xFF, 200u) << name;
    }
}

TEST(Tiff, UnreadablePagesAreSkipped) {
    TiffPage floats;
    floats.width = 1, floats.height = 1, floats.bps = 32, floats.photometric = 1;
    floats.strip = {0, 0, 0x80, 0x3F};
    floats.tags = {tag_short(339, {3})};  // IEEE floating point
    std::vector<std::string> log;
    win::SetDebugLogHandler([&](const std::string& text) { log.push_back(text); });
    Decoded d = decode(make_tiff({floats, grey16()}));
    win::SetDebugLogHandler(nullptr);
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.image->frames.size(), 1u);
    ASSERT_EQ(log.size(), 1u) << "a skipped page is reported, not dropped silently";
    EXPECT_NE(log[0].find("TIFF page 1 skipped"), std::string::npos) << log[0];
    EXPECT_EQ(d.frame().format, PixelFormat48bppRGB);
    win::ClearErrorDetail();
    EXPECT_EQ(decode(make_tiff({floats})).status, Gdiplus::GenericError);
    EXPECT_FALSE(win::GetErrorDetail().empty()) << "the failure keeps its reason";
}

TEST(TiffDamaged, TruncatedStripKeepsTheBytesThatArePresent) {
    TiffPage p;
    p.width = 4, p.height = 4, p.photometric = 1;
    for (int i = 0; i < 16; ++i) p.strip.push_back(uint8_t(i + 1));
    p.strip_bytes = 64;  // claims more than the file has
    Bytes file = make_tiff({p});
    Decoded d = decode(file);
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(index_at(d.frame(), 3, 3), 16u);
    EXPECT_EQ(index_at(d.frame(), 0, 0), 1u);
}

TEST(TiffDamaged, BrokenHeadersAreGenericError) {
    EXPECT_EQ(decode(Bytes{'I', 'I', 42, 0}).status, Gdiplus::GenericError);
    EXPECT_EQ(decode(Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0}).status, Gdiplus::GenericError);
    EXPECT_EQ(decode(Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0}).status,
              Gdiplus::GenericError);
    TiffPage zero = grey16();
    zero.width = 0;
    EXPECT_EQ(decode(make_tiff({zero})).status, Gdiplus::GenericError);
}

TEST(TiffDamaged, AbsurdDimensionsFailFast) {
    for (uint32_t side : {0xFFFFFFu, 100000u, 20000u}) {
        TiffPage p;
        p.width = side, p.height = side, p.spp = 3, p.photometric = 2;
        p.strip = {1, 2, 3};
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(decode(make_tiff({p})).status, Gdiplus::OutOfMemory) << side;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

}  // namespace
}  // namespace codectest
