// The checks on what a SANE backend reports, and the conversion of its frames into DIBs.
#include "codes.h"
#include "dib_view.h"
#include "engine_fixture.h"
#include "sane_frame.h"

namespace lumtwain::test {
namespace {

SANE_Parameters params(SANE_Frame format, int depth, int ppl, int bpl, int lines) {
    SANE_Parameters p{};
    p.format = format;
    p.last_frame = SANE_TRUE;
    p.depth = depth;
    p.pixels_per_line = ppl;
    p.bytes_per_line = bpl;
    p.lines = lines;
    return p;
}

struct ParamCase {
    const char* name;
    SANE_Parameters p;
    bool ok;
};

void PrintTo(const ParamCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameParameters : public ::testing::TestWithParam<ParamCase> {};

TEST_P(FrameParameters, AreRefusedWhenTheyDoNotFit) {
    std::string why = CheckFrameParameters(GetParam().p);
    EXPECT_EQ(why.empty(), GetParam().ok) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameParameters,
    ::testing::Values(
        ParamCase{"grey8", params(SANE_FRAME_GRAY, 8, 100, 100, 10), true},
        ParamCase{"grey8_padded", params(SANE_FRAME_GRAY, 8, 100, 104, 10), true},
        ParamCase{"rgb16", params(SANE_FRAME_RGB, 16, 100, 600, 10), true},
        ParamCase{"rgb1", params(SANE_FRAME_RGB, 1, 100, 38, 10), true},
        ParamCase{"grey1", params(SANE_FRAME_GRAY, 1, 100, 13, -1), true},
        ParamCase{"rgb8_short_bpl", params(SANE_FRAME_RGB, 8, 100, 299, 10), false},
        ParamCase{"rgb1_short_bpl", params(SANE_FRAME_RGB, 1, 100, 37, 10), false},
        ParamCase{"grey16_short_bpl", params(SANE_FRAME_GRAY, 16, 100, 199, 10), false},
        ParamCase{"depth4", params(SANE_FRAME_GRAY, 4, 100, 50, 10), false},
        ParamCase{"depth0", params(SANE_FRAME_GRAY, 0, 100, 100, 10), false},
        ParamCase{"format7", params(SANE_Frame(7), 8, 100, 100, 10), false},
        ParamCase{"no_pixels", params(SANE_FRAME_GRAY, 8, 0, 100, 10), false},
        ParamCase{"no_lines", params(SANE_FRAME_GRAY, 8, 100, 100, 0), false},
        ParamCase{"negative_lines", params(SANE_FRAME_GRAY, 8, 100, 100, -2), false},
        ParamCase{"negative_bpl", params(SANE_FRAME_GRAY, 8, 100, -100, 10), false},
        ParamCase{"huge_ppl", params(SANE_FRAME_RGB, 16, 1 << 29, INT32_MAX, 10), false},
        ParamCase{"huge_page", params(SANE_FRAME_GRAY, 8, 1 << 20, 1 << 20, 1 << 20), false},
        ParamCase{"bpl_far_beyond", params(SANE_FRAME_GRAY, 8, 10, 1 << 20, 10), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameChecks, AGreyFrameMustBeTheLast) {
    SANE_Parameters p = params(SANE_FRAME_GRAY, 8, 10, 10, 10);
    p.last_frame = SANE_FALSE;
    EXPECT_FALSE(CheckFrameParameters(p).empty());
}

TEST(FrameChecks, ThreePassFramesMustMatchAndNotRepeat) {
    SANE_Parameters red = params(SANE_FRAME_RED, 8, 10, 10, 5);
    red.last_frame = SANE_FALSE;
    SANE_Parameters green = red;
    green.format = SANE_FRAME_GREEN;
    EXPECT_TRUE(CheckNextFrame(red, green, 1).empty());
    EXPECT_FALSE(CheckNextFrame(red, red, 1).empty()) << "red twice";
    SANE_Parameters wide = green;
    wide.pixels_per_line = 11;
    wide.bytes_per_line = 11;
    EXPECT_FALSE(CheckNextFrame(red, wide, 1).empty());
    SANE_Parameters grey = params(SANE_FRAME_GRAY, 8, 10, 10, 5);
    EXPECT_FALSE(CheckNextFrame(red, grey, 1).empty());
}

FrameSet frames_of(SANE_Parameters p, size_t bytes) {
    FrameSet f;
    f.params = p;
    f.frames = 1;
    f.planes[0].resize(bytes);
    for (size_t i = 0; i < bytes; ++i) f.planes[0][i] = uint8_t(i);
    return f;
}

// The DIB the converter writes, parsed back.
std::vector<uint8_t> convert(const FrameSet& f, const FrameConversion& c) {
    std::string why;
    std::optional<DibFormat> format = FrameDibFormat(f, c, &why);
    if (!format) return {};
    std::optional<DibLayout> layout = ComputeDibLayout(*format);
    std::vector<uint8_t> dib(layout->total);
    WriteDib(*format, *layout, FrameRowWriter(f, c), dib.data());
    return dib;
}

TEST(FrameConversion, PaddedRowsUseBytesPerLineAsTheStride) {
    FrameSet f = frames_of(params(SANE_FRAME_GRAY, 8, 3, 8, 4), 32);
    std::vector<uint8_t> dib = convert(f, {kTwptGray, 100, 0, 0, 128});
    auto v = ParseDib(dib.data(), dib.size());
    ASSERT_TRUE(v);
    ASSERT_EQ(v->width(), 3);
    ASSERT_EQ(v->height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(v->grey(x, y), 8 * y + x);
}

TEST(FrameConversion, ShortDataGivesTheWholeLinesOnly) {
    FrameSet f = frames_of(params(SANE_FRAME_RGB, 8, 4, 12, 10), 12 * 3 + 5);
    std::vector<uint8_t> dib = convert(f, {kTwptRgb, 100, 0, 0, 128});
    auto v = ParseDib(dib.data(), dib.size());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->height(), 3);
}

TEST(FrameConversion, LessThanALineIsNoPage) {
    FrameSet f = frames_of(params(SANE_FRAME_RGB, 8, 4, 12, 10), 11);
    std::string why;
    EXPECT_FALSE(FrameDibFormat(f, {kTwptRgb, 100, 0, 0, 128}, &why));
    EXPECT_FALSE(why.empty());
}

TEST(FrameConversion, ThreePassNeedsEveryPlane) {
    FrameSet f = frames_of(params(SANE_FRAME_BLUE, 8, 4, 4, 2), 8);
    f.frames = 3;
    f.planes[1].resize(8);
    std::string why;
    EXPECT_FALSE(FrameDibFormat(f, {kTwptRgb, 100, 0, 0, 128}, &why)) << "blue plane empty";
    f.planes[2].resize(8, 200);
    std::vector<uint8_t> dib = convert(f, {kTwptRgb, 100, 0, 0, 128});
    auto v = ParseDib(dib.data(), dib.size());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->pixel(1, 1).rgbRed, 5);
    EXPECT_EQ(v->pixel(1, 1).rgbBlue, 200);
}

TEST(FrameConversion, SixteenBitSamplesKeepTheirHighByte) {
    FrameSet f = frames_of(params(SANE_FRAME_GRAY, 16, 2, 4, 1), 4);
    uint16_t samples[2] = {0x1234, 0xABCD};
    std::memcpy(f.planes[0].data(), samples, 4);
    std::vector<uint8_t> dib = convert(f, {kTwptGray, 100, 0, 0, 128});
    auto v = ParseDib(dib.data(), dib.size());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->grey(0, 0), 0x12);
    EXPECT_EQ(v->grey(1, 0), 0xAB);
}

}  // namespace
}  // namespace lumtwain::test
