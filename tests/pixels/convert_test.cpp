// The pixel converter: fast paths against the generic path, lossless round trips,
// premultiplication, indexed targets, 16-bit sample layout, bad views.
#include <gtest/gtest.h>

#include <tuple>

#include "pixel_buffer.h"
#include "platform/gdiplus/convert.h"

using gdip::convert_pixels;
using gdip::convert_pixels_generic;
using pixtest::Buffer;

namespace {

std::vector<PixelFormat> all_formats() {
    std::vector<PixelFormat> v;
    for (const auto& f : gdip::kPixelFormats) v.push_back(f.value);
    return v;
}

std::string format_name(PixelFormat f) {
    return std::string(gdip::pixel_format_name(f));
}

// The palette a target of `format` gets in these tests: black/white for one bit (the
// threshold path), random colours otherwise.
std::vector<ARGB> target_palette(PixelFormat format, std::mt19937& rng) {
    if (format == PixelFormat1bppIndexed) return {0xFF000000, 0xFFFFFFFF};
    if (format == PixelFormat4bppIndexed) return pixtest::random_palette(rng, 16);
    return pixtest::random_palette(rng, 256, false);
}

class ConvertPair : public ::testing::TestWithParam<std::tuple<PixelFormat, PixelFormat>> {};

// Odd widths and offsets reach the partial bytes of sub-byte formats and the chunk edge.
TEST_P(ConvertPair, FastPathMatchesGeneric) {
    auto [sf, df] = GetParam();
    std::mt19937 rng(sf * 31 + df);
    for (int32_t width : {1, 7, 33, 1031}) {
        Buffer src(width, 3, sf, 3), fast(width, 3, df, 1, true), slow(width, 3, df, 1, true);
        src.randomise(rng);
        if (gdip::is_indexed(sf))
            src.palette = pixtest::random_palette(rng, 1u << gdip::pixel_format_bits(sf), false);
        if (gdip::is_indexed(df)) fast.palette = slow.palette = target_palette(df, rng);
        ASSERT_EQ(convert_pixels(src.cview(), fast.view()), Gdiplus::Ok);
        ASSERT_EQ(convert_pixels_generic(src.cview(), slow.view()), Gdiplus::Ok);
        EXPECT_EQ(fast.rows(), slow.rows()) << "width " << width;
    }
}

// Views that start mid-row (x0) convert each pixel as a one-pixel conversion would.
TEST_P(ConvertPair, OffsetViewsMatchPixelByPixel) {
    auto [sf, df] = GetParam();
    if (gdip::is_indexed(sf) && gdip::is_indexed(df)) GTEST_SKIP() << "index copies";
    // Between two 16-bit formats the pixels keep 16 bits, more than one ARGB32 pixel holds.
    if (gdip::pixel_format_bits(sf) >= 48 || sf == PixelFormat16bppGrayScale)
        if (gdip::pixel_format_bits(df) >= 48 || df == PixelFormat16bppGrayScale) GTEST_SKIP();
    std::mt19937 rng(sf ^ (df << 3));
    Buffer src(40, 2, sf), dst(45, 2, df);
    src.randomise(rng);
    if (gdip::is_indexed(sf)) src.palette = pixtest::random_palette(rng, 256);
    if (gdip::is_indexed(df)) dst.palette = target_palette(df, rng);
    auto sv = src.cview();
    auto dv = dst.view();
    sv.x0 = 3;
    dv.x0 = 5;
    sv.width = dv.width = 37;
    ASSERT_EQ(convert_pixels(sv, dv), Gdiplus::Ok);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 37; ++x) {
            ARGB c = 0, got = 0, want = 0;
            ASSERT_EQ(gdip::read_pixel(src.cview(), x + 3, y, &c), Gdiplus::Ok);
            Buffer one(1, 1, df);
            one.palette = dst.palette;
            gdip::ConstPixelView cv{
                reinterpret_cast<const BYTE*>(&c), 1, 1, 4, PixelFormat32bppARGB, {}, 0};
            ASSERT_EQ(convert_pixels(cv, one.view()), Gdiplus::Ok);
            ASSERT_EQ(gdip::read_pixel(one.cview(), 0, 0, &want), Gdiplus::Ok);
            ASSERT_EQ(gdip::read_pixel(dst.cview(), x + 5, y, &got), Gdiplus::Ok);
            ASSERT_EQ(got, want) << "pixel " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(AllPairs, ConvertPair,
                         ::testing::Combine(::testing::ValuesIn(all_formats()),
                                            ::testing::ValuesIn(all_formats())),
                         [](const auto& info) {
                             return format_name(std::get<0>(info.param)) + "_to_" +
                                    format_name(std::get<1>(info.param));
                         });

// ---- lossless round trips ---------------------------------------------------------

struct RoundTrip {
    PixelFormat from, via;
};

class LosslessRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// Source bytes a format can hold exactly: the unused bit of RGB555 clear, premultiplied
// samples not above alpha, 32bppRGB's fourth byte 255.
void canonicalise(Buffer& b) {
    auto v = b.view();
    for (int32_t y = 0; y < b.height; ++y) {
        BYTE* r = v.row(y);
        for (int32_t x = 0; x < b.width; ++x) {
            if (b.format == PixelFormat16bppRGB555 || b.format == PixelFormat16bppRGB565) {
                if (b.format == PixelFormat16bppRGB555) r[2 * x + 1] &= 0x7F;
            } else if (b.format == PixelFormat32bppRGB) {
                r[4 * x + 3] = 255;
            } else if (b.format == PixelFormat32bppPARGB) {
                for (int k = 0; k < 3; ++k) r[4 * x + k] = std::min(r[4 * x + k], r[4 * x + 3]);
            } else if (b.format == PixelFormat64bppPARGB) {
                uint16_t s[4];
                std::memcpy(s, r + 8 * x, 8);
                for (int k = 0; k < 3; ++k) s[k] = std::min(s[k], s[3]);
                std::memcpy(r + 8 * x, s, 8);
            }
        }
    }
}

TEST_P(LosslessRoundTrip, BackToTheSameBytes) {
    RoundTrip rt = GetParam();
    std::mt19937 rng(rt.from + rt.via);
    Buffer src(67, 5, rt.from, 2), mid(67, 5, rt.via), back(67, 5, rt.from, 2);
    src.randomise(rng);
    canonicalise(src);
    if (gdip::is_indexed(rt.from)) {
        // Distinct colours, so that the nearest entry is the entry itself.
        size_t n = 1u << gdip::pixel_format_bits(rt.from);
        for (size_t i = 0; i < n; ++i)
            src.palette.push_back(0xFF000000u | uint32_t(i * 0x010305u + 0x203040u));
        if (rt.from == PixelFormat1bppIndexed) src.palette = {0xFF000000, 0xFFFFFFFF};
        back.palette = src.palette;
        if (gdip::is_indexed(rt.via)) mid.palette = src.palette;
    }
    ASSERT_EQ(convert_pixels(src.cview(), mid.view()), Gdiplus::Ok);
    ASSERT_EQ(convert_pixels(mid.cview(), back.view()), Gdiplus::Ok);
    EXPECT_EQ(src.rows(), back.rows());
}

constexpr PixelFormat k24 = PixelFormat24bppRGB, kRGB = PixelFormat32bppRGB,
                      kARGB = PixelFormat32bppARGB, kPARGB = PixelFormat32bppPARGB;

INSTANTIATE_TEST_SUITE_P(
    Formats, LosslessRoundTrip,
    ::testing::Values(
        RoundTrip{k24, kRGB}, RoundTrip{k24, kARGB}, RoundTrip{k24, kPARGB},
        RoundTrip{k24, PixelFormat48bppRGB}, RoundTrip{k24, PixelFormat64bppARGB},
        RoundTrip{k24, PixelFormat64bppPARGB}, RoundTrip{kRGB, k24},
        RoundTrip{kARGB, PixelFormat64bppARGB}, RoundTrip{kPARGB, kARGB},
        RoundTrip{kPARGB, PixelFormat64bppPARGB}, RoundTrip{PixelFormat16bppRGB555, k24},
        RoundTrip{PixelFormat16bppRGB565, kARGB}, RoundTrip{PixelFormat16bppARGB1555, kARGB},
        RoundTrip{PixelFormat16bppGrayScale, PixelFormat48bppRGB},
        RoundTrip{PixelFormat16bppGrayScale, PixelFormat64bppARGB},
        RoundTrip{PixelFormat48bppRGB, PixelFormat64bppARGB},
        RoundTrip{PixelFormat64bppPARGB, PixelFormat64bppARGB},
        RoundTrip{PixelFormat8bppIndexed, kARGB}, RoundTrip{PixelFormat8bppIndexed, k24},
        RoundTrip{PixelFormat4bppIndexed, kRGB},
        RoundTrip{PixelFormat4bppIndexed, PixelFormat8bppIndexed},
        RoundTrip{PixelFormat1bppIndexed, kARGB},
        RoundTrip{PixelFormat1bppIndexed, PixelFormat8bppIndexed},
        RoundTrip{PixelFormat1bppIndexed, PixelFormat48bppRGB}),
    [](const auto& info) {
        return format_name(info.param.from) + "_via_" + format_name(info.param.via);
    });

// ---- values -----------------------------------------------------------------------

ARGB convert_one(ARGB c, PixelFormat to, PixelFormat back = PixelFormat32bppARGB,
                 std::vector<ARGB> palette = {}) {
    Buffer mid(1, 1, to), out(1, 1, back);
    mid.palette = palette;
    gdip::ConstPixelView src{
        reinterpret_cast<const BYTE*>(&c), 1, 1, 4, PixelFormat32bppARGB, {}, 0};
    EXPECT_EQ(convert_pixels(src, mid.view()), Gdiplus::Ok);
    ARGB r = 0;
    EXPECT_EQ(gdip::read_pixel(mid.cview(), 0, 0, &r), Gdiplus::Ok);
    return r;
}

TEST(Premultiply, RoundsAsThePlatform) {
    // round(255 × 128 / 255) = 128, round(128 × 128 / 255) = round(64.25) = 64.
    EXPECT_EQ(gdip::premultiply(0x80FF8000u), 0x80804000u);
    EXPECT_EQ(gdip::premultiply(0x00FFFFFFu), 0x00000000u);
    EXPECT_EQ(gdip::premultiply(0xFF123456u), 0xFF123456u);
    EXPECT_EQ(gdip::premultiply(0x01FFFFFFu), 0x01010101u);
    EXPECT_EQ(gdip::unpremultiply(0x80804000u), 0x80FF8000u);
    // A sample above alpha (not a valid PARGB value) saturates instead of wrapping.
    EXPECT_EQ(gdip::unpremultiply(0x10FF0000u), 0x10FF0000u);
}

TEST(Premultiply, StoredBytesOfPargb) {
    Buffer p(1, 1, kPARGB);
    ARGB c = 0x80FF8000u;
    gdip::ConstPixelView src{reinterpret_cast<const BYTE*>(&c), 1, 1, 4, kARGB, {}, 0};
    ASSERT_EQ(convert_pixels(src, p.view()), Gdiplus::Ok);
    EXPECT_EQ(p.bytes, (std::vector<BYTE>{0x00, 0x40, 0x80, 0x80}));
}

TEST(Premultiply, EveryAlphaAndSampleRoundTrips) {
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t v = 0; v <= a; ++v) {
            ARGB p = a << 24 | v << 16 | v << 8 | v;
            ASSERT_EQ(gdip::premultiply(gdip::unpremultiply(p)), a ? p : 0u) << a << " " << v;
        }
}

TEST(WideSamples, LittleEndianSixteenBit) {
    Buffer w(1, 1, PixelFormat48bppRGB);
    uint8_t bgr[3] = {0x12, 0x34, 0x56};
    gdip::ConstPixelView src{bgr, 1, 1, 3, k24, {}, 0};
    ASSERT_EQ(convert_pixels(src, w.view()), Gdiplus::Ok);
    EXPECT_EQ(w.bytes, (std::vector<BYTE>{0x12, 0x12, 0x34, 0x34, 0x56, 0x56}));
}

TEST(WideSamples, GrayFromColourIsLuminance) {
    Buffer g(1, 1, PixelFormat16bppGrayScale);
    ARGB red = 0xFFFF0000u;
    gdip::ConstPixelView src{reinterpret_cast<const BYTE*>(&red), 1, 1, 4, kARGB, {}, 0};
    ASSERT_EQ(convert_pixels(src, g.view()), Gdiplus::Ok);
    uint16_t v = uint16_t(g.bytes[0] | g.bytes[1] << 8);
    EXPECT_EQ(v, (65535u * 19595 + 32768) >> 16);
    EXPECT_EQ(convert_one(0xFF808080u, PixelFormat16bppGrayScale), 0xFF808080u);
}

TEST(PackedSixteen, BitLayouts) {
    EXPECT_EQ(convert_one(0xFFFF0000u, PixelFormat16bppRGB565), 0xFFFF0000u);
    Buffer b(1, 1, PixelFormat16bppRGB565);
    ARGB green = 0xFF00FF00u;
    gdip::ConstPixelView src{reinterpret_cast<const BYTE*>(&green), 1, 1, 4, kARGB, {}, 0};
    ASSERT_EQ(convert_pixels(src, b.view()), Gdiplus::Ok);
    EXPECT_EQ(b.bytes, (std::vector<BYTE>{0xE0, 0x07}));
    EXPECT_EQ(convert_one(0x7FFFFFFFu, PixelFormat16bppARGB1555), 0x00FFFFFFu);
    EXPECT_EQ(convert_one(0x80FFFFFFu, PixelFormat16bppARGB1555), 0xFFFFFFFFu);
}

// ---- indexed targets --------------------------------------------------------------

TEST(Indexed, BilevelThresholdAtMidLuminance) {
    std::vector<ARGB> bw{0xFF000000, 0xFFFFFFFF};
    EXPECT_EQ(convert_one(0xFF7F7F7Fu, PixelFormat1bppIndexed, kARGB, bw), 0xFF000000u);
    EXPECT_EQ(convert_one(0xFF808080u, PixelFormat1bppIndexed, kARGB, bw), 0xFFFFFFFFu);
    // Pure blue is dark, pure yellow is light.
    EXPECT_EQ(convert_one(0xFF0000FFu, PixelFormat1bppIndexed, kARGB, bw), 0xFF000000u);
    EXPECT_EQ(convert_one(0xFFFFFF00u, PixelFormat1bppIndexed, kARGB, bw), 0xFFFFFFFFu);
    // White first: the indices swap, the colours do not.
    std::vector<ARGB> wb{0xFFFFFFFF, 0xFF000000};
    EXPECT_EQ(convert_one(0xFFF0F0F0u, PixelFormat1bppIndexed, kARGB, wb), 0xFFFFFFFFu);
}

TEST(Indexed, NearestEntryOfThePalette) {
    std::vector<ARGB> pal{0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x00000000};
    EXPECT_EQ(convert_one(0xFFE01010u, PixelFormat8bppIndexed, kARGB, pal), 0xFFFF0000u);
    EXPECT_EQ(convert_one(0xFF1010C0u, PixelFormat4bppIndexed, kARGB, pal), 0xFF0000FFu);
    EXPECT_EQ(convert_one(0x05000000u, PixelFormat8bppIndexed, kARGB, pal), 0x00000000u);
}

TEST(Indexed, PixelsOutsideASubByteViewAreKept) {
    Buffer dst(16, 1, PixelFormat1bppIndexed);
    dst.palette = {0xFF000000, 0xFFFFFFFF};
    dst.bytes = {0xA5, 0x5A};
    std::vector<ARGB> white(5, 0xFFFFFFFFu);
    gdip::ConstPixelView src{reinterpret_cast<const BYTE*>(white.data()), 5, 1, 20, kARGB, {}, 0};
    auto v = dst.view();
    v.x0 = 6;
    v.width = 5;
    ASSERT_EQ(convert_pixels(src, v), Gdiplus::Ok);
    // Pixels 6..10 set: 1010 0111 | 1111 1010.
    EXPECT_EQ(dst.bytes, (std::vector<BYTE>{0xA7, 0xFA}));
}

TEST(Indexed, IndexPastThePaletteReadsOpaqueBlack) {
    Buffer src(1, 1, PixelFormat8bppIndexed);
    src.palette = {0xFFFFFFFF};
    src.bytes = {7};
    ARGB c = 1;
    ASSERT_EQ(gdip::read_pixel(src.cview(), 0, 0, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0xFF000000u);
}

TEST(Indexed, SamePaletteKeepsDuplicateIndices) {
    // Two equal entries: a colour round trip would fold index 1 into 0; an index copy not.
    Buffer src(2, 1, PixelFormat8bppIndexed), dst(2, 1, PixelFormat4bppIndexed);
    src.palette = dst.palette = {0xFF102030, 0xFF102030};
    src.bytes = {1, 0};
    ASSERT_EQ(convert_pixels(src.cview(), dst.view()), Gdiplus::Ok);
    EXPECT_EQ(dst.bytes[0], 0x10);
}

// ---- bad views ---------------------------------------------------------------------

TEST(ConvertValidation, RejectsBadViews) {
    Buffer a(8, 2, k24), b(8, 2, kARGB), c(7, 2, kARGB), idx(8, 2, PixelFormat8bppIndexed);
    EXPECT_EQ(convert_pixels(a.cview(), c.view()), Gdiplus::InvalidParameter);
    auto shortstride = b.view();
    shortstride.stride = 31;
    EXPECT_EQ(convert_pixels(a.cview(), shortstride), Gdiplus::InvalidParameter);
    auto unknown = b.view();
    unknown.format = PixelFormat32bppCMYK;
    EXPECT_EQ(convert_pixels(a.cview(), unknown), Gdiplus::InvalidParameter);
    EXPECT_EQ(convert_pixels(a.cview(), idx.view()), Gdiplus::InvalidParameter);  // no palette
    auto null_rows = b.view();
    null_rows.scan0 = nullptr;
    EXPECT_EQ(convert_pixels(a.cview(), null_rows), Gdiplus::InvalidParameter);
    auto past = a.cview();
    past.x0 = 1;  // the view would run one pixel past the row
    EXPECT_EQ(convert_pixels(past, b.view()), Gdiplus::InvalidParameter);
    auto empty_src = a.cview();
    auto empty_dst = b.view();
    empty_src.height = empty_dst.height = 0;
    EXPECT_EQ(convert_pixels(empty_src, empty_dst), Gdiplus::Ok);
    EXPECT_EQ(gdip::read_pixel(a.cview(), 8, 0, nullptr), Gdiplus::InvalidParameter);
}

TEST(ConvertValidation, RowBytesOverflow) {
    EXPECT_EQ(gdip::row_bytes(3, PixelFormat1bppIndexed), 1);
    EXPECT_EQ(gdip::row_bytes(3, PixelFormat4bppIndexed), 2);
    EXPECT_EQ(gdip::row_bytes(0x7FFFFFFF, PixelFormat64bppARGB), std::nullopt);
    EXPECT_EQ(gdip::row_bytes(-1, k24), std::nullopt);
    EXPECT_EQ(gdip::row_bytes(1, PixelFormat32bppCMYK), std::nullopt);
}

}  // namespace
