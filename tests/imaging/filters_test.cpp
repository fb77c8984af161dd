// The effects, pixel-exact against values worked out by hand from the kernels' definitions.
#include <random>

#include "editing_fixture.h"
#include "imaging/filtresGDIplus.h"

using namespace edittest;

namespace {

class Filters : public EditingTest {};

class ToneFormats : public EditingTest, public ::testing::WithParamInterface<PixelFormat> {};

}  // namespace

TEST_P(ToneFormats, BrightnessRoundsHalfToEvenAndKeepsAlpha) {
    PixelFormat f = GetParam();
    int alpha = f == PixelFormat32bppARGB ? 100 : 255;
    make(6, 1, f, [&](int x, int) { return rgb(1 + 2 * x, 3, 5, alpha); });
    ASSERT_EQ(control->SetBrightnessEffect(50), 0);
    // Factor 1.5: 1 -> 1.5 -> 2, 3 -> 4.5 -> 4, 5 -> 7.5 -> 8, 7 -> 10.5 -> 10, 9 -> 13.5 -> 14.
    const int expect_red[6] = {2, 4, 8, 10, 14, 16};
    for (int x = 0; x < 6; ++x) {
        ARGB c = at(x, 0);
        EXPECT_EQ(int((c >> 16) & 255), expect_red[x]) << x;
        EXPECT_EQ(int((c >> 8) & 255), 4);
        EXPECT_EQ(int(c & 255), 8);
        EXPECT_EQ(c >> 24, f == PixelFormat32bppARGB ? 100u : 255u) << "alpha is never changed";
    }
    ASSERT_EQ(control->SetBrightnessEffect(-100), 0);
    EXPECT_EQ(at(3, 0) & 0xFFFFFF, 0u);
}

TEST_P(ToneFormats, ContrastSpreadsTheOverflowOfRed) {
    // Mean grey (220 + 100 + 100) \ 3 = 140; factor 2: red 2 * 220 - 140 = 300, green and blue
    // 60; red's excess 45 gives 22 to each.
    make(3, 2, GetParam(), [](int, int) { return rgb(220, 100, 100); });
    ASSERT_EQ(control->SetContrastEffect(100), 0);
    EXPECT_EQ(at(1, 1), rgb(255, 82, 82));
}

INSTANTIATE_TEST_SUITE_P(Formats, ToneFormats,
                         ::testing::Values(PixelFormat24bppRGB, PixelFormat32bppRGB,
                                           PixelFormat32bppARGB, PixelFormat32bppPARGB,
                                           PixelFormat48bppRGB));

TEST_F(Filters, ContrastBelowZeroSpreadsToo) {
    // Mean (10 + 200 + 60) \ 3 = 90: red 2 * 10 - 90 = -70 gives -35 to green and blue, which
    // were 310 and 30: green 275 -> 255 giving 10 to red and blue: (10, 255, 5).
    make(1, 1, PixelFormat24bppRGB, [](int, int) { return rgb(10, 200, 60); });
    ASSERT_EQ(control->SetContrastEffect(100), 0);
    EXPECT_EQ(at(0, 0), rgb(10, 255, 5));
}

TEST_F(Filters, StretchLeavesAConstantChannel) {
    make(4, 1, PixelFormat24bppRGB, [](int x, int) { return rgb(77, 50 + 10 * x, 100 + 20 * x); });
    ASSERT_EQ(control->SetStretchContrastEffect(), 0);
    EXPECT_EQ(at(0, 0), rgb(77, 0, 0));
    EXPECT_EQ(at(3, 0), rgb(77, 255, 255));
    // (60 - 50) * 255 / 30 = 85; (120 - 100) * 255 / 60 = 85.
    EXPECT_EQ(at(1, 0), rgb(77, 85, 85));
}

TEST_F(Filters, SepiaOfGreyBlackAndWhite) {
    make(3, 1, PixelFormat24bppRGB, [](int x, int) {
        return x == 0 ? rgb(128, 128, 128) : x == 1 ? rgb(0, 0, 0) : rgb(255, 255, 255);
    });
    ASSERT_EQ(control->SetSepiaEffect(), 0);
    EXPECT_EQ(at(0, 0), rgb(160, 128, 96));
    EXPECT_EQ(at(1, 0), rgb(0, 0, 0));
    EXPECT_EQ(at(2, 0), rgb(255, 255, 255));
}

TEST_F(Filters, SaturationMinusHundredIsGrey) {
    make(1, 1, PixelFormat24bppRGB, [](int, int) { return rgb(200, 100, 30); });
    ASSERT_EQ(control->SetSaturationEffect(-100), 0);
    EXPECT_EQ(at(0, 0), rgb(110, 110, 110));  // (330) \ 3
}

TEST_F(Filters, GammaZeroFailsAndChangesNothing) {
    make(2, 2, PixelFormat24bppRGB, [](int, int) { return rgb(10, 20, 30); });
    EXPECT_EQ(control->SetGammaCorrectionEffect(0), 1);
    EXPECT_EQ(at(1, 1), rgb(10, 20, 30));
    ASSERT_EQ(control->SetGammaCorrectionEffect(200), 0);
    // (10 / 255) ^ 0.5 * 255 = 50.49...
    EXPECT_EQ((at(1, 1) >> 16) & 255, 50u);
}

TEST_F(Filters, SmoothAndSoftenLeaveTheBorder) {
    auto f = [](int x, int y) {
        return rgb((x * 37 + y * 11) % 256, (x * 5 + y * 91) % 256, (x * y * 7) % 256);
    };
    for (int effect : {0, 1}) {
        GpImage before = make(7, 5, PixelFormat24bppRGB, f);
        (void)before;
        ASSERT_EQ(effect ? control->SetSoftenEffect(50) : control->SetSmoothEffect(), 0);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                if (x == 0 || y == 0 || x == 6 || y == 4)
                    EXPECT_EQ(at(x, y), f(x, y)) << x << "," << y;
    }
}

TEST_F(Filters, SmoothWorksInPlaceFromTheTopLeft) {
    // 3 x 3 plus one: the second interior pixel already sees the new value of the first.
    auto f = [](int x, int y) { return (x == 1 && y == 1) ? rgb(250, 250, 250) : rgb(0, 0, 0); };
    make(4, 3, PixelFormat24bppRGB, f);
    ASSERT_EQ(control->SetSmoothEffect(), 0);
    EXPECT_EQ(at(1, 1), rgb(50, 50, 50));  // 250 \ 5
    EXPECT_EQ(at(2, 1), rgb(10, 10, 10));  // left neighbour is now 50: 50 \ 5
}

// Rows long enough for the 16-byte sums, in every working layout, against the in-place rule
// worked pixel by pixel here; alpha stays.
TEST_F(Filters, SoftenMatchesTheInPlaceRuleOnEveryLayout) {
    const int W = 37, H = 9;
    std::mt19937 rng(5);
    std::vector<ARGB> src(W * H);
    for (ARGB& c : src) c = ARGB(rng()) | 0x80000000u;
    for (PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppRGB, PixelFormat32bppARGB})
        for (int value : {50, 101, -151, -152}) {
            make(W, H, format, [&](int x, int y) { return src[size_t(y * W + x)]; });
            std::vector<ARGB> want(W * H);
            for (int i = 0; i < W * H; ++i) want[size_t(i)] = at(i % W, i / W);
            int w = 101 - value, d = w + 4;
            for (int y = 1; y + 1 < H; ++y)
                for (int x = 1; x + 1 < W; ++x) {
                    auto ch = [&](int k, int s) { return int(want[size_t(k)] >> s & 255); };
                    int k = y * W + x;
                    ARGB out = want[size_t(k)] & 0xFF000000u;
                    for (int s : {0, 8, 16})
                        out |= ARGB((w * ch(k, s) + ch(k + 1, s) + ch(k - 1, s) + ch(k + W, s) +
                                     ch(k - W, s)) /
                                    d)
                               << s;
                    want[size_t(k)] = out;
                }
            ASSERT_EQ(control->SetSoftenEffect(value), 0);
            for (int i = 0; i < W * H; ++i)
                ASSERT_EQ(at(i % W, i / W), want[size_t(i)]) << format << " " << value << " " << i;
        }
}

TEST_F(Filters, SoftenOutsideTheByteRangeFailsUnchanged) {
    auto f = [](int x, int y) { return rgb((x + y) % 2 ? 200 : 0, 0, 0); };
    make(5, 5, PixelFormat24bppRGB, f);
    EXPECT_EQ(control->SetSoftenEffect(105), 1) << "divisor 0";
    // Weight -99: a dark pixel among bright ones gives 800 \ -95, below 0.
    EXPECT_EQ(control->SetSoftenEffect(200), 1) << "negative weight";
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(at(x, y), f(x, y));
}

TEST_F(Filters, BlankAtOneAndAHalfPercentButNotTwoAndAHalf) {
    // 10000 pixels: 150 or 250 marked (summed inverted channels 30 > 15).
    for (int marked : {150, 250}) {
        make(100, 100, PixelFormat24bppRGB, [&](int x, int y) {
            return y * 100 + x < marked ? rgb(245, 245, 245) : rgb(255, 255, 255);
        });
        EXPECT_EQ(control->IsBlank(), marked == 150) << marked;
        EXPECT_EQ(control->GetStat(), 0) << "the test stores no status";
    }
    // Pixels exactly at the threshold (sum of inverted channels 15) are not marked.
    make(10, 10, PixelFormat24bppRGB, [](int, int) { return rgb(250, 250, 255); });
    EXPECT_TRUE(control->IsBlank(98));
    EXPECT_FALSE(control->IsBlank(100));
}

TEST_F(Filters, ZoneChangesExactlyItsRectangle) {
    make(200, 100, PixelFormat24bppRGB, [](int, int) { return rgb(10, 20, 30); });
    control->FiltersToZone(11, 21, 100, 50);
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            bool inside = x >= 20 && x < 120 && y >= 10 && y < 60;
            ASSERT_EQ(at(x, y), inside ? rgb(245, 235, 225) : rgb(10, 20, 30)) << x << "," << y;
        }
    control->FiltersToPicture();
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    EXPECT_EQ(at(0, 0), rgb(245, 235, 225));
    EXPECT_EQ(at(20, 10), rgb(10, 20, 30));
}

TEST_F(Filters, NegativeOfAPaletteImageInvertsThePaletteOnly) {
    std::vector<ARGB> pal = {rgb(0, 0, 0), rgb(10, 20, 30), rgb(200, 100, 50, 128)};
    make_indexed(20, 10, PixelFormat8bppIndexed, pal, [](int x, int) { return x % 3; });
    control->FiltersToZone(2, 2, 3, 3);  // the palette changes for the whole image all the same
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    auto p = palette();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1], rgb(245, 235, 225));
    EXPECT_EQ(p[2], rgb(55, 155, 205, 128));
    EXPECT_EQ(index8(5, 5), 2);
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    EXPECT_EQ(palette(), pal);
}

TEST_F(Filters, OneBitWriteBackSetsBitsWhereBlueIs255) {
    make_indexed(16, 2, PixelFormat1bppIndexed, {rgb(0, 0, 0), rgb(255, 255, 255)},
                 [](int x, int) { return x % 2; });
    ASSERT_EQ(control->SetSmoothEffect(), 0);  // 2 rows: no interior, the pixels round-trip
    for (int x = 0; x < 16; ++x) EXPECT_EQ(bit1(x, 0), x % 2) << x;
    ASSERT_EQ(control->SetStretchContrastEffect(), 0);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(bit1(x, 1), x % 2) << x;
}

TEST_F(Filters, OneBitWithWhiteFirstKeepsItsLook) {
    // A palette with white at index 0: a white pixel must stay white.
    make_indexed(8, 1, PixelFormat1bppIndexed, {rgb(255, 255, 255), rgb(0, 0, 0)},
                 [](int x, int) { return x < 4 ? 0 : 1; });
    ASSERT_EQ(control->SetContrastEffect(0), 0);
    EXPECT_EQ(at(0, 0), rgb(255, 255, 255));
    EXPECT_EQ(at(7, 0), rgb(0, 0, 0));
}

TEST_F(Filters, GreyPaletteTakesTheBlueByteAsIndex) {
    std::vector<ARGB> grey(256);
    for (int i = 0; i < 256; ++i) grey[size_t(i)] = rgb(i, i, i);
    make_indexed(4, 1, PixelFormat8bppIndexed, grey, [](int x, int) { return 60 * x; });
    ASSERT_EQ(control->SetContrastEffect(100), 0);
    // Mean (0 + 60 + 120 + 180) / 4 = 90: 2m - 90 clamped.
    EXPECT_EQ(index8(0, 0), 0);
    EXPECT_EQ(index8(1, 0), 30);
    EXPECT_EQ(index8(2, 0), 150);
    EXPECT_EQ(index8(3, 0), 255);
}

TEST_F(Filters, ColourPaletteBelowVersion6TakesTheNearestEntry) {
    start("5.1.3102.2180");
    std::vector<ARGB> pal = {rgb(0, 0, 0), rgb(255, 0, 0), rgb(0, 255, 0), rgb(100, 100, 100)};
    make_indexed(4, 1, PixelFormat8bppIndexed, pal, [](int x, int) { return x; });
    ASSERT_EQ(control->SetSaturationEffect(-100), 0);
    // red -> grey 85 -> nearest (100, 100, 100); green likewise; black stays.
    EXPECT_EQ(index8(0, 0), 0);
    EXPECT_EQ(index8(1, 0), 3);
    EXPECT_EQ(index8(2, 0), 3);
    EXPECT_EQ(index8(3, 0), 3);
}

TEST_F(Filters, FourBitBelowVersion6MustBeConverted) {
    start("5.1.3102.2180");
    std::vector<ARGB> pal(16, rgb(1, 2, 3));
    make_indexed(4, 2, PixelFormat4bppIndexed, pal, [](int, int) { return 1; });
    EXPECT_EQ(control->SetSepiaEffect(), 60);
    EXPECT_EQ(control->SetNegativeEffect(), 0) << "the palette mode needs no write-back";
}

TEST_F(Filters, WithoutANativeImageNothingHappens) {
    EXPECT_EQ(control->SetSmoothEffect(), 0);
    EXPECT_FALSE(control->IsBlank());
    make(5, 5, PixelFormat24bppRGB, [](int, int) { return rgb(1, 1, 1); });
    control->FiltersToZone(1, 1, 10, 10);  // larger than the image
    EXPECT_EQ(control->SetNegativeEffect(), 2);
    control->SetNativeImage(0);
    EXPECT_EQ(control->SetNegativeEffect(), 2) << "the last status, unchanged";
}

TEST_F(Filters, WholePictureFollowsTheImageSize) {
    make(10, 10, PixelFormat24bppRGB, [](int, int) { return rgb(0, 0, 0); });
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    make(20, 20, PixelFormat24bppRGB, [](int, int) { return rgb(0, 0, 0); });
    ASSERT_EQ(control->SetNegativeEffect(), 0);
    EXPECT_EQ(at(19, 19), rgb(255, 255, 255));
}
