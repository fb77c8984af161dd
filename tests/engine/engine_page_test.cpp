// The pages and DIBs of the virtual scanner, and the parsers behind them.
#include <cmath>

#include "codes.h"
#include "config.h"
#include "engine_fixture.h"

namespace lumtwain::test {
namespace {

class PageTest : public EngineTest {
  protected:
    DibView Scan(std::vector<uint8_t>& keep) {
        keep = Acquire();
        auto view = ParseDib(keep.data(), keep.size());
        EXPECT_TRUE(view);
        return view.value_or(DibView{});
    }
};

struct PageSizeCase {
    double dpi;
    int width, height;
};

class PageSizeTest : public PageTest, public ::testing::WithParamInterface<PageSizeCase> {};

TEST_P(PageSizeTest, A4InPixels) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCurrentResolution(GetParam().dpi), 1);
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.width(), GetParam().width);
    EXPECT_EQ(v.height(), GetParam().height);
    EXPECT_EQ(v.header.biXPelsPerMeter, PelsPerMeter(GetParam().dpi));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, PageSizeTest,
                         ::testing::Values(PageSizeCase{100, 827, 1169},
                                           PageSizeCase{300, 2480, 3508},
                                           PageSizeCase{75, 620, 877}));

struct DibCase {
    int pixel_type, bits, palette;
};

class DibHeaderTest : public PageTest, public ::testing::WithParamInterface<DibCase> {};

TEST_P(DibHeaderTest, HeaderPaletteAndRows) {
    const DibCase& c = GetParam();
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(c.pixel_type), 1);
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    const BITMAPINFOHEADER& h = v.header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biBitCount, c.bits);
    EXPECT_GT(h.biHeight, 0) << "bottom-up";
    EXPECT_EQ(h.biXPelsPerMeter, 3937);
    EXPECT_EQ(h.biYPelsPerMeter, 3937);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(v.palette.size(), size_t(c.palette));
    size_t stride = (size_t(h.biWidth) * c.bits + 31) / 32 * 4;
    EXPECT_EQ(v.stride, stride);
    EXPECT_EQ(h.biSizeImage, stride * 1169);
    EXPECT_EQ(bytes.size(), 40 + 4 * size_t(c.palette) + stride * 1169);
    if (c.palette == 2) {
        EXPECT_EQ(v.palette[0].rgbRed, 0);
        EXPECT_EQ(v.palette[1].rgbRed, 255);
    }
    if (c.palette == 256) {
        EXPECT_EQ(v.palette[77].rgbGreen, 77);
    }
    // The marker's first cell is black, in the top rows: bottom-up storage puts it at the end.
    int cell = MarkerCell(100), x = MarkerOrigin(100) + cell / 2, y = MarkerOrigin(100) + cell;
    EXPECT_LT(v.grey(x, y), 128);
    const uint8_t* stored_top = v.bits + size_t(v.height() - 1) * v.stride;
    EXPECT_EQ(v.row(0), stored_top);
    if (c.bits == 1) {
        EXPECT_EQ(v.index(x, y), 0) << "black is palette index 0";
    }
    EXPECT_EQ(Mark(bytes), (PageMark{1, 0}));
}

INSTANTIATE_TEST_SUITE_P(PixelTypes, DibHeaderTest,
                         ::testing::Values(DibCase{kTwptBw, 1, 2}, DibCase{kTwptGray, 8, 256},
                                           DibCase{kTwptRgb, 24, 0}));

TEST_F(PageTest, RgbGradientRunsAcrossAndDown) {
    OpenVirtual();
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    RGBQUAD left = v.pixel(0, 600), right = v.pixel(v.width() - 1, 600);
    EXPECT_EQ(left.rgbRed, 0);
    EXPECT_EQ(right.rgbRed, 255);
    EXPECT_EQ(left.rgbBlue, 255);
    EXPECT_LT(v.pixel(400, 200).rgbGreen, v.pixel(400, 1000).rgbGreen);
}

TEST_F(PageTest, LayoutCropsThePage) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetImageLayout(0.25, 0.5, 4.25, 3.5), 1);
    EXPECT_EQ(LUMTWAIN_GetPaperSize(), kTwssNone);
    std::vector<uint8_t> full_bytes, bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.width(), 400);
    EXPECT_EQ(v.height(), 300);
    EXPECT_EQ(LUMTWAIN_ResetImageLayout(), 1);
    DibView full = Scan(full_bytes);
    for (int y = 100; y < 300; y += 37)  // below the marker, whose page number differs
        for (int x = 0; x < 400; x += 41)
            ASSERT_EQ(v.grey(x, y), full.grey(x + 25, y + 50)) << x << "," << y;
}

TEST_F(PageTest, LayoutIsClampedToTheBedAndEmptyFramesRefused) {
    OpenVirtual();
    EXPECT_EQ(LUMTWAIN_SetImageLayout(1, 1, 1, 2), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccBadValue);
    EXPECT_EQ(LUMTWAIN_SetImageLayout(-1, 0, 100, 2), 1);
    EXPECT_EQ(LUMTWAIN_GetLastResultCode(), kTwrcCheckStatus);
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.width(), 850);
    EXPECT_EQ(v.height(), 200);
}

TEST_F(PageTest, PaperSizeSetsTheFrame) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetPaperSize(kTwssUsLetter), 1);
    EXPECT_EQ(LUMTWAIN_GetPaperSize(), kTwssUsLetter);
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.width(), 850);
    EXPECT_EQ(v.height(), 1100);
    EXPECT_EQ(LUMTWAIN_SetPaperSize(6 /* B4: larger than the bed */), 0);
}

TEST_F(PageTest, ConfiguredPageSize) {
    Configure("page_size = 100 x 50\n");
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.width(), MmToPixels(100, 100));
    EXPECT_EQ(v.height(), MmToPixels(50, 100));
}

TEST_F(PageTest, ThresholdAndFlavourOfBlackAndWhite) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptBw), 1);
    auto black_share = [&](std::vector<uint8_t>& bytes) {
        DibView v = Scan(bytes);
        int black = 0, n = 0;
        for (int y = 200; y < v.height(); y += 50)
            for (int x = 0; x < v.width(); x += 10, ++n) black += v.grey(x, y) == 0;
        return double(black) / n;
    };
    std::vector<uint8_t> a, b, c;
    double at128 = black_share(a);
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kIcapThreshold, kTwtyFix32, LUMTWAIN_ToFix32(40)), 1);
    double at40 = black_share(b);
    EXPECT_LT(at40, at128);
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelFlavor, kTwtyUint16, 1), 1);
    DibView v = Scan(c);
    EXPECT_EQ(v.palette[0].rgbRed, 255) << "vanilla: index 0 is white";
    EXPECT_EQ(Mark(c)->page, 3) << "the picture is the same whatever the flavour";
}

TEST_F(PageTest, BrightnessLightensTheGradientButNotTheMarker) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    std::vector<uint8_t> a, b;
    DibView plain = Scan(a);
    ASSERT_EQ(LUMTWAIN_SetBrightness(500), 1);
    DibView bright = Scan(b);
    EXPECT_GT(bright.grey(400, 600), plain.grey(400, 600));
    EXPECT_EQ(Mark(b), (PageMark{2, 0}));
}

TEST_F(PageTest, DarkBorderAndWhiteBands) {
    Configure("dark_border_mm = 5\nwhite_band_mm = 4\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    std::vector<uint8_t> bytes;
    DibView v = Scan(bytes);
    EXPECT_EQ(v.grey(5, 600), 0);
    EXPECT_EQ(v.grey(v.width() - 3, 600), 0);
    EXPECT_EQ(v.grey(400, MmToPixels(5, 100) + 3), 255);
    EXPECT_EQ(v.grey(400, v.height() - MmToPixels(5, 100) - 3), 255);
    EXPECT_EQ(Mark(bytes), (PageMark{1, 0}));
}

// ---- Parsers -----------------------------------------------------------------------------

TEST(VirtualConfigParse, KeysValuesAndBadLines) {
    ConfigResult r = ParseVirtualConfig(
        "# comment\npages = 4\nduplex = no\npage_size = Letter\nfiles = /a.png: /b#1.png\n"
        "cancel_at_page = 2, 5\nui = close\nbogus = 1\npages = -3\nnot a line\n");
    EXPECT_EQ(r.config.pages, 4);
    EXPECT_FALSE(r.config.duplex);
    EXPECT_DOUBLE_EQ(r.config.page_width_mm, 215.9);
    EXPECT_EQ(r.config.files, (std::vector<std::string>{"/a.png", "/b#1.png"}));
    EXPECT_EQ(r.config.cancel_at_pages, (std::set<int>{2, 5}));
    EXPECT_EQ(r.config.ui, UiBehaviour::Close);
    ASSERT_EQ(r.errors.size(), 3u);
    EXPECT_NE(r.errors[0].find("line 8"), std::string::npos);
}

TEST(VirtualConfigParse, PageSizes) {
    double w = 0, h = 0;
    EXPECT_TRUE(ParsePageSize(" a4 ", &w, &h));
    EXPECT_EQ(w, 210);
    EXPECT_TRUE(ParsePageSize("100x150", &w, &h));
    EXPECT_EQ(h, 150);
    EXPECT_FALSE(ParsePageSize("0 x 150", &w, &h));
    EXPECT_FALSE(ParsePageSize("100000 x 150", &w, &h)) << "absurd sizes are refused";
    EXPECT_FALSE(ParsePageSize("x", &w, &h));
}

TEST(DibLayoutTest, ChecksEverySize) {
    EXPECT_FALSE(ComputeDibLayout(DibFormat{0, 10, 24}));
    EXPECT_FALSE(ComputeDibLayout(DibFormat{10, 10, 16}));
    EXPECT_FALSE(ComputeDibLayout(DibFormat{INT32_MAX, INT32_MAX, 24}));
    EXPECT_FALSE(ComputeDibLayout(DibFormat{100000, 100000, 24})) << "above the block limit";
    auto l = ComputeDibLayout(DibFormat{3, 2, 1});
    ASSERT_TRUE(l);
    EXPECT_EQ(l->stride, 4u);
    EXPECT_EQ(l->total, 40u + 8u + 8u);
}

TEST(DibParse, RefusesDamagedHeaders) {
    std::vector<uint8_t> bytes(40 + 1024 + 4 * 10);
    BITMAPINFOHEADER h{40, 4, 10, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(bytes.data(), &h, sizeof h);
    EXPECT_TRUE(ParseDib(bytes.data(), bytes.size()));
    EXPECT_FALSE(ParseDib(bytes.data(), bytes.size() - 1)) << "one byte short";
    h.biClrUsed = 100000;  // more than 8 bits can index: read as the full table, as DIBs are
    std::memcpy(bytes.data(), &h, sizeof h);
    auto full = ParseDib(bytes.data(), bytes.size());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->palette.size(), 256u);
    h.biClrUsed = 0;
    h.biHeight = INT32_MIN;
    std::memcpy(bytes.data(), &h, sizeof h);
    EXPECT_FALSE(ParseDib(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace lumtwain::test
