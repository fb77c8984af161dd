// JPEG decoding: colour spaces, resolution sources, EXIF property items in both byte orders,
// truncated and damaged files.
#include <chrono>
#include <cstring>

#include "codecs/codec_builders.h"

namespace codectest {
namespace {

Bytes le32(uint32_t a, uint32_t b) {
    Bytes v;
    put32(v, a), put32(v, b);
    return v;
}

class JpegExif : public ::testing::TestWithParam<const char*> {};

TEST_P(JpegExif, ItemsHaveTagIdsTypesAndLittleEndianValues) {
    Decoded d = decode(read_file(data_path(GetParam())));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::Image& img = *d.image;
    struct Want {
        PROPID id;
        WORD type;
        Bytes value;
    } wants[] = {
        {0x010F, PropertyTagTypeASCII, {'L', 'u', 'm', 'C', 'a', 'm', 0}},
        {0x0112, PropertyTagTypeShort, {6, 0}},
        {0x011A, PropertyTagTypeRational, le32(300, 1)},
        {0x0128, PropertyTagTypeShort, {2, 0}},
        {0x829A, PropertyTagTypeRational, le32(1, 125)},
        {0x8827, PropertyTagTypeShort, {200, 0}},
        {0x9204, PropertyTagTypeSRational, le32(uint32_t(-1), 3)},
        {0x9286, PropertyTagTypeUndefined, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'e', 'y', '!'}},
        {0x0000, PropertyTagTypeByte, {2, 2, 0, 0}},  // GPS version
        {0x0001, PropertyTagTypeASCII, {'N', 0}},     // GPS latitude reference
        {0x5023, PropertyTagTypeShort, {6, 0}},       // thumbnail compression
    };
    for (const Want& w : wants) {
        const gdip::PropertyData* p = property(img, w.id);
        ASSERT_NE(p, nullptr) << std::hex << w.id;
        EXPECT_EQ(p->type, w.type) << std::hex << w.id;
        EXPECT_EQ(p->value, w.value) << std::hex << w.id;
    }
    const gdip::PropertyData* lat = property(img, 0x0002);
    ASSERT_NE(lat, nullptr);
    EXPECT_EQ(lat->value.size(), 24u);
    const gdip::PropertyData* thumb = property(img, 0x501B);
    ASSERT_NE(thumb, nullptr);
    ASSERT_GE(thumb->value.size(), 4u);
    EXPECT_EQ(thumb->value[0], 0xFF);
    EXPECT_EQ(thumb->value[1], 0xD8);
    const gdip::PropertyData* luma = property(img, 0x5090);
    ASSERT_NE(luma, nullptr);
    EXPECT_EQ(luma->type, PropertyTagTypeShort);
    EXPECT_EQ(luma->value.size(), 128u);
    // JFIF says only "aspect ratio", so the EXIF resolution applies.
    EXPECT_FLOAT_EQ(d.frame().dpi_x, 300.0f);
    EXPECT_FLOAT_EQ(d.frame().dpi_y, 300.0f);
    EXPECT_EQ(d.frame().format, PixelFormat24bppRGB);
    EXPECT_EQ(d.frame().width, 24);
    EXPECT_EQ(img.raw_format, ImageFormatJPEG);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, JpegExif,
                         ::testing::Values("jpeg_exif_le.jpg", "jpeg_exif_be.jpg"));

TEST(Jpeg, GreyIsIndexedWithAGreyPalette) {
    Decoded d = decode(read_file(data_path("jpeg_gray.jpg")));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::Frame& f = d.frame();
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    ASSERT_EQ(f.palette.size(), 256u);
    EXPECT_EQ(f.palette[128], 0xFF808080u);
    EXPECT_TRUE(f.palette_flags & PaletteFlagsGrayScale);
    EXPECT_FLOAT_EQ(f.dpi_x, 72.0f);  // JFIF density in dots per inch
    ASSERT_NE(property(*d.image, 0x0128), nullptr);
}

TEST(Jpeg, CmykIsConvertedToRgb) {
    Decoded d = decode(read_file(data_path("jpeg_cmyk.jpg")));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(d.frame().format, PixelFormat24bppRGB);
    EXPECT_TRUE(d.image->flags & gdip::codec::kImageFlagsColorSpaceCMYK);
    // The fixture's top-left corner is dark red-free: R and G near 0, B small.
    uint32_t c = argb_at(d.frame(), 0, 0);
    EXPECT_LT((c >> 16) & 0xFF, 40u);
    EXPECT_LT((c >> 8) & 0xFF, 40u);
    // The bottom-right corner is bright.
    uint32_t e = argb_at(d.frame(), 23, 15);
    EXPECT_GT((e >> 16) & 0xFF, 180u);
}

TEST(Jpeg, ProgressiveWithDotsPerCentimetre) {
    Decoded d = decode(read_file(data_path("jpeg_progressive.jpg")));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_NEAR(d.frame().dpi_x, 118 * 2.54, 0.01);
    const gdip::PropertyData* unit = property(*d.image, 0x0128);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->value, (Bytes{3, 0}));
}

size_t find_sof(const Bytes& b) {
    for (size_t i = 2; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) return i;
    return 0;
}

TEST(JpegDamaged, TruncatedScanIsFilledAndSucceeds) {
    Bytes b = read_file(data_path("jpeg_progressive.jpg"));
    ASSERT_FALSE(b.empty());
    for (size_t keep : {b.size() * 3 / 4, b.size() / 2}) {
        Bytes cut(b.begin(), b.begin() + long(keep));
        Decoded d = decode(cut);
        ASSERT_EQ(d.status, Gdiplus::Ok) << keep;
        EXPECT_EQ(d.frame().width, 24);
    }
}

TEST(JpegDamaged, BrokenHeadersAreGenericError) {
    EXPECT_EQ(decode(Bytes{0xFF, 0xD8, 0xFF}).status, Gdiplus::GenericError);
    EXPECT_EQ(decode(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xD9}).status,
              Gdiplus::GenericError);
    Bytes b = read_file(data_path("jpeg_gray.jpg"));
    size_t sof = find_sof(b);
    ASSERT_NE(sof, 0u);
    Bytes zero = b;
    zero[sof + 7] = zero[sof + 8] = 0;  // width 0
    EXPECT_EQ(decode(zero).status, Gdiplus::GenericError);
    Bytes header_only(b.begin(), b.begin() + long(sof));
    EXPECT_EQ(decode(header_only).status, Gdiplus::GenericError);
}

TEST(JpegDamaged, AbsurdDimensionsFailFast) {
    Bytes b = read_file(data_path("jpeg_gray.jpg"));
    size_t sof = find_sof(b);
    ASSERT_NE(sof, 0u);
    for (uint16_t side : {uint16_t(65500), uint16_t(20000)}) {
        Bytes big = b;
        big[sof + 5] = big[sof + 7] = uint8_t(side >> 8);
        big[sof + 6] = big[sof + 8] = uint8_t(side);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(decode(big).status, Gdiplus::OutOfMemory) << side;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

}  // namespace
}  // namespace codectest
