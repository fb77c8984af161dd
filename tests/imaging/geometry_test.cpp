// Cropping, bands and borders, rotation, resizing and the colour-depth conversions.
#include <algorithm>
#include <cstdlib>
#include <random>

#include "editing_fixture.h"
#include "imaging/geometry.h"

using namespace edittest;

namespace {

class Geometry : public EditingTest {
  protected:
    int32_t w() { return control->GetWidth(); }
    int32_t h() { return control->GetHeight(); }
};

// A scanned-looking page: white paper inside a dark scanner border, with a skewed block of
// "text" (dark strokes) in the middle.
ARGB scanned_page(int x, int y, int width, int height, int border) {
    if (x < border || y < border || x >= width - border || y >= height - border)
        return rgb(20 + (x * 7 + y * 3) % 9, 22, 25);  // the lid's dark, slightly noisy edge
    int tx = x - y / 8;                                // skew
    bool ink = y > height / 3 && y < 2 * height / 3 && tx > width / 4 && tx < width / 2 &&
               (y / 3) % 3 == 0 && (tx / 2) % 5 != 0;
    return ink ? rgb(30, 30, 30) : rgb(255, 255, 255);
}

}  // namespace

TEST_F(Geometry, CropTopKeepsTheLowerRows) {
    make(100, 50, PixelFormat24bppRGB, [](int, int y) { return rgb(y, 0, 0); });
    ASSERT_EQ(control->CropTop(10), 0);
    EXPECT_EQ(w(), 100);
    EXPECT_EQ(h(), 40);
    EXPECT_EQ(at(0, 0), rgb(10, 0, 0)) << "row 11 is the first";
    EXPECT_EQ(at(0, 39), rgb(49, 0, 0));
    ASSERT_EQ(control->CropLeft(5), 0);
    ASSERT_EQ(control->CropRight(5), 0);
    ASSERT_EQ(control->CropBottom(20), 0);
    EXPECT_EQ(w(), 90);
    EXPECT_EQ(h(), 20);
}

TEST_F(Geometry, ReplacementsKeepTheResolution) {
    make(40, 30, PixelFormat24bppRGB, [](int x, int) { return rgb(x * 6, 100, 200); });
    ASSERT_EQ(control->SetHorizontalResolution(300), 0);
    ASSERT_EQ(control->SetVerticalResolution(200), 0);
    auto check = [&](const char* what) {
        EXPECT_FLOAT_EQ(control->GetHorizontalResolution(), 300) << what;
        EXPECT_FLOAT_EQ(control->GetVerticalResolution(), 200) << what;
    };
    ASSERT_EQ(control->Crop(2, 2, 30, 20), 0);
    check("crop");
    ASSERT_EQ(control->Resize(60, 40, 7), 0);
    check("resize");
    ASSERT_EQ(control->ConvertTo1Bpp(), 0);
    check("1 bit");
    ASSERT_EQ(control->ConvertTo24Bpp(), 0);
    ASSERT_EQ(control->ConvertTo4Bpp(), 0);
    check("4 bits");
    for (auto convert : {&twain::ConvertTo16Bpp, &twain::ConvertTo32Bpp, &twain::ConvertTo48Bpp,
                         &twain::ConvertTo64Bpp, &twain::ConvertTo24Bpp}) {
        ASSERT_EQ((control.get()->*convert)(), 0);
        check("pixel copy");
    }
}

TEST_F(Geometry, WhiteBandsAfterSkippedLines) {
    // 3 grey rows, then 20 white, then content; the last rows white too.
    auto page = [](int, int y) {
        return y < 3 ? rgb(128, 128, 128) : y < 23 || y >= 95 ? rgb(255, 255, 255) : rgb(0, 0, 0);
    };
    make(50, 100, PixelFormat24bppRGB, page);
    ASSERT_EQ(control->CropWhiteBands(100, 3), 0);
    EXPECT_EQ(h(), 100 - 23 - 5);
    EXPECT_EQ(at(0, 0), rgb(0, 0, 0));
    // Row 4 not white: nothing is removed at the top, the skipped rows stay.
    make(50, 100, PixelFormat24bppRGB,
         [](int, int y) { return y < 4 ? rgb(128, 128, 128) : rgb(0, 0, 0); });
    ASSERT_EQ(control->CropWhiteBands(100, 3), 0);
    EXPECT_EQ(h(), 100);
}

TEST_F(Geometry, BandsNeverReachTheLastLineAndSmallImagesStay) {
    make(9, 40, PixelFormat24bppRGB, [](int, int) { return rgb(255, 255, 255); });
    EXPECT_EQ(control->CropWhiteBands(), 0);
    EXPECT_EQ(w(), 9) << "9 pixels or less: nothing";
    make(20, 20, PixelFormat24bppRGB,
         [](int, int y) { return y < 19 ? rgb(0, 0, 0) : rgb(9, 9, 9); });
    ASSERT_EQ(control->CropBlackBands(100, 0), 0);
    EXPECT_EQ(h(), 1) << "all but the last row";
    make(20, 20, PixelFormat24bppRGB, [](int, int) { return rgb(0, 0, 0); });
    EXPECT_EQ(control->CropBlackBands(), 2) << "top and bottom would overlap: refused";
    EXPECT_EQ(h(), 20);
    make(20, 20, PixelFormat24bppRGB,
         [](int, int y) { return y < 19 ? rgb(255, 255, 255) : rgb(0, 0, 0); });
    EXPECT_EQ(control->CropWhiteBands(100, -4), 0) << "a negative skip counts as none";
    EXPECT_EQ(h(), 1);
}

TEST_F(Geometry, BordersOfTheBottomRightColourWithTolerance) {
    // Border colour (40, 40, 40) with noise up to 5 per channel (sum 15 at most).
    make(60, 50, PixelFormat24bppRGB, [](int x, int y) {
        bool border = x < 4 || y < 6 || x >= 55 || y >= 47;
        int n = (x + y) % 6;
        return border ? rgb(40 + n, 40 - (n > 2 ? 1 : 0), 40) : rgb(250, 250, 250);
    });
    ASSERT_EQ(control->CropBorders2(98, 3), 0);
    EXPECT_EQ(w(), 60 - 4 - 5);
    EXPECT_EQ(h(), 50 - 6 - 3);
    EXPECT_EQ(at(0, 0), rgb(250, 250, 250));
}

TEST_F(Geometry, ScannedPageLosesItsDarkBorderThenItsWhiteMargins) {
    const int W = 400, H = 560, B = 12;
    make(W, H, PixelFormat24bppRGB, [&](int x, int y) { return scanned_page(x, y, W, H, B); });
    ASSERT_EQ(control->CropBorders2(95, 1), 0);
    EXPECT_EQ(w(), W - 2 * B);
    EXPECT_EQ(h(), H - 2 * B);
    ASSERT_EQ(control->CropWhiteBands(), 0);
    // What is left is the skewed block: its top and bottom rows and its outer columns hold ink.
    EXPECT_LT(w(), W / 2);
    EXPECT_LT(h(), H / 2);
    EXPECT_FALSE(control->IsBlank());
}

TEST_F(Geometry, RotationOfEveryTypeAndDepthMatchesTheReference) {
    std::mt19937 rng(7);
    std::vector<ARGB> pal16;
    for (int i = 0; i < 16; ++i) pal16.push_back(rgb(i * 16, 255 - i * 16, (i * 97) % 256));
    for (PixelFormat f : {PixelFormat1bppIndexed, PixelFormat4bppIndexed, PixelFormat8bppIndexed,
                          PixelFormat16bppRGB565, PixelFormat24bppRGB, PixelFormat32bppARGB,
                          PixelFormat48bppRGB, PixelFormat64bppARGB}) {
        // 12 pixels of 24 bits fill their rows exactly: no padding after the last pixel. Rows of
        // 1 and 2 pixels and even heights too.
        const int sizes[4][2] = {{13, 7}, {12, 5}, {1, 4}, {2, 6}};
        for (int run = 0; run < 32; ++run) {
            const int type = run % 8, W = sizes[run / 8][0], H = sizes[run / 8][1];
            std::vector<int> seed(W * H);
            for (int& s : seed) s = int(rng() % 16);
            bool indexed = f == PixelFormat1bppIndexed || f == PixelFormat4bppIndexed ||
                           f == PixelFormat8bppIndexed;
            auto colour = [&](int x, int y) {
                int s = seed[size_t(y * W + x)];
                return f == PixelFormat1bppIndexed ? (s & 1 ? rgb(255, 255, 255) : rgb(0, 0, 0))
                                                   : pal16[size_t(s)];
            };
            if (indexed) {
                std::vector<ARGB> pal = f == PixelFormat1bppIndexed
                                            ? std::vector<ARGB>{rgb(0, 0, 0), rgb(255, 255, 255)}
                                            : pal16;
                make_indexed(W, H, f, pal, [&](int x, int y) {
                    return f == PixelFormat1bppIndexed ? seed[size_t(y * W + x)] & 1
                                                       : seed[size_t(y * W + x)];
                });
            } else {
                make(W, H, f, colour);
            }
            std::vector<ARGB> before;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) before.push_back(at(x, y));
            ASSERT_EQ(control->Rotate(type), 0);
            bool swap = type % 2 == 1;
            ASSERT_EQ(w(), swap ? H : W);
            ASSERT_EQ(h(), swap ? W : H);
            for (int y = 0; y < h(); ++y)
                for (int x = 0; x < w(); ++x) {
                    // Rotate clockwise by 90 * (type % 4), then mirror left to right when type
                    // >= 4.
                    int u = type >= 4 ? w() - 1 - x : x, v = y;
                    int sx = u, sy = v;
                    switch (type % 4) {
                        case 0:
                            sx = u, sy = v;
                            break;
                        case 1:
                            sx = v, sy = H - 1 - u;
                            break;
                        case 2:
                            sx = W - 1 - u, sy = H - 1 - v;
                            break;
                        case 3:
                            sx = W - 1 - v, sy = u;
                            break;
                    }
                    ASSERT_EQ(at(x, y), before[size_t(sy * W + sx)])
                        << "format " << f << " type " << type << " at " << x << "," << y;
                }
        }
    }
}

TEST_F(Geometry, HalfTurnIsTwoQuarterTurns) {
    GpImage a = make(31, 17, PixelFormat24bppRGB,
                     [](int x, int y) { return rgb(x * 8, y * 15, (x * y) % 256); });
    GpImage b = 0;
    ASSERT_EQ(modGdiplus::CloneImage(a, b), 0);
    ASSERT_EQ(modGdiplus::RotateFlip(a, 2), 0);
    ASSERT_EQ(GdipImageRotateFlip(b, Rotate90FlipNone), 0);
    ASSERT_EQ(GdipImageRotateFlip(b, Rotate90FlipNone), 0);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 31; ++x) {
            ARGB p = 0, q = 0;
            GdipBitmapGetPixel(a, x, y, &p);
            GdipBitmapGetPixel(b, x, y, &q);
            ASSERT_EQ(p, q);
        }
    GdipDisposeImage(b);
    EXPECT_EQ(modGdiplus::RotateFlip(a, 8), 2);
    EXPECT_EQ(modGdiplus::RotateFlip(a, -1), 2);
    EXPECT_EQ(modGdiplus::RotateFlip(0, 1), 2);
}

TEST_F(Geometry, ThresholdsOfTheOneBitConversion) {
    make(3, 1, PixelFormat24bppRGB, [](int x, int) {
        return x == 0 ? rgb(126, 126, 126) : x == 1 ? rgb(125, 255, 255) : rgb(255, 255, 125);
    });
    ASSERT_EQ(control->ConvertTo1Bpp(), 0);
    PixelFormat f = 0;
    modGdiplus::GetPixelFormatValue(native(), f);
    EXPECT_EQ(f, PixelFormat1bppIndexed);
    EXPECT_EQ(at(0, 0), rgb(255, 255, 255));
    EXPECT_EQ(at(1, 0), rgb(0, 0, 0));
    EXPECT_EQ(at(2, 0), rgb(0, 0, 0));
}

// Whole rows of both source depths, with channels on either side of the threshold and widths
// that leave a tail after the runs of 8 and 16.
TEST_F(Geometry, OneBitThresholdOnWideRows) {
    for (PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB, PixelFormat32bppRGB})
        for (int w : {16, 53, 67}) {
            std::mt19937 rng(uint32_t(w * 7 + format));
            std::vector<ARGB> px(size_t(w) * 3);
            for (ARGB& c : px)
                c = rgb(118 + int(rng() % 16), 118 + int(rng() % 16), 118 + int(rng() % 16),
                        int(rng() % 256));
            make(w, 3, format, [&](int x, int y) { return px[size_t(y) * w + x]; });
            ASSERT_EQ(control->ConvertTo1Bpp(), 0);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    ARGB c = px[size_t(y) * w + x];
                    bool white = (c >> 16 & 255) > 125 && (c >> 8 & 255) > 125 && (c & 255) > 125;
                    ASSERT_EQ(bit1(x, y), int(white)) << format << " " << w << " " << x << "," << y;
                }
        }
}

TEST_F(Geometry, FourBitsTakeTheNearestFixedColour) {
    make(3, 1, PixelFormat32bppARGB, [](int x, int) {
        return x == 0 ? rgb(200, 200, 200) : x == 1 ? rgb(100, 0, 0) : rgb(0, 0, 0, 0);
    });
    ASSERT_EQ(control->ConvertTo4Bpp(), 0);
    EXPECT_EQ(at(0, 0), rgb(192, 192, 192));
    EXPECT_EQ(at(1, 0), rgb(128, 0, 0));
    EXPECT_EQ(palette().size(), 16u);
    EXPECT_EQ(palette_flags(), 4u);
    SafeArray<int32_t> mine =
        SafeArray<int32_t>::from({int32_t(rgb(255, 0, 0)), int32_t(rgb(0, 0, 255))});
    make(2, 1, PixelFormat24bppRGB,
         [](int x, int) { return x ? rgb(10, 10, 200) : rgb(200, 10, 10); });
    ASSERT_EQ(control->ConvertTo4BppPal(mine), 0);
    EXPECT_EQ(palette().size(), 2u);
    EXPECT_EQ(at(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(at(1, 0), rgb(0, 0, 255));
    SafeArray<int32_t> many(0, 17);
    EXPECT_EQ(control->ConvertTo4BppPal(many), 2);
    EXPECT_EQ(control->ConvertTo4BppPal(SafeArray<int32_t>()), 2);
}

// Few colours survive the octree exactly; a page of more colours keeps at most 256 of them, each
// pixel on one of its palette's colours.
TEST_F(Geometry, EightBitsThroughTheOctree) {
    const ARGB few[] = {rgb(255, 0, 0), rgb(0, 128, 0), rgb(10, 20, 30), rgb(255, 255, 255)};
    make(8, 6, PixelFormat24bppRGB, [&](int x, int y) { return few[(x + 2 * y) % 4]; });
    ASSERT_EQ(control->SetHorizontalResolution(150), 0);
    ASSERT_EQ(control->ConvertTo8Bpp(), 0);
    PixelFormat f = 0;
    ASSERT_EQ(modGdiplus::GetPixelFormatValue(native(), f), 0);
    EXPECT_EQ(f, PixelFormat8bppIndexed);
    EXPECT_FLOAT_EQ(control->GetHorizontalResolution(), 150);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(at(x, y), few[(x + 2 * y) % 4]) << x << "," << y;

    make(64, 64, PixelFormat24bppRGB, [](int x, int y) { return rgb(x * 4, y * 4, (x ^ y) * 4); });
    ASSERT_EQ(control->ConvertTo8Bpp(), 0);
    ASSERT_GT(palette().size(), 16u);
    ASSERT_LE(palette().size(), 256u);
    int worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            ARGB got = at(x, y), want = rgb(x * 4, y * 4, (x ^ y) * 4);
            int d = 0;
            for (int shift : {0, 8, 16})
                d += std::abs(int(got >> shift & 255) - int(want >> shift & 255));
            worst = std::max(worst, d);
        }
    EXPECT_LE(worst, 48);  // summed over the channels; the tree merges its deepest levels first
}

// The pixel copies keep what their format can hold: 5 bits a channel at 16 bits, everything of a
// 24-bit pixel at 48 and 64 bits (so a round trip back to 24 bits is exact).
TEST_F(Geometry, PixelCopiesHoldTheirChannels) {
    auto page = [](int x, int y) { return rgb(x * 37 % 256, y * 53 % 256, (x + y) * 11 % 256); };
    make(9, 7, PixelFormat24bppRGB, page);
    ASSERT_EQ(control->ConvertTo16Bpp(), 0);
    auto five = [](int v) { return (v >> 3) << 3 | (v >> 3) >> 2; };
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            ARGB p = page(x, y);
            ASSERT_EQ(at(x, y), rgb(five(p >> 16 & 255), five(p >> 8 & 255), five(p & 255)));
        }
    for (auto wide : {&twain::ConvertTo48Bpp, &twain::ConvertTo64Bpp, &twain::ConvertTo32Bpp}) {
        make(9, 7, PixelFormat24bppRGB, page);
        ASSERT_EQ((control.get()->*wide)(), 0);
        ASSERT_EQ(control->ConvertTo24Bpp(), 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(at(x, y), page(x, y)) << x << "," << y;
    }
}

TEST_F(Geometry, HalftoneChangesOnlyTheFlags) {
    std::vector<ARGB> pal = {rgb(1, 2, 3), rgb(4, 5, 6), rgb(7, 8, 9)};
    make_indexed(5, 5, PixelFormat8bppIndexed, pal, [](int x, int y) { return (x + y) % 3; });
    ASSERT_EQ(control->ColorPaletteConvertToHalftone(), 0);
    EXPECT_EQ(palette(), pal);
    EXPECT_EQ(palette_flags() & 4u, 4u);
    EXPECT_EQ(index8(4, 3), 1);
}

TEST_F(Geometry, PaletteMembers) {
    make(4, 4, PixelFormat24bppRGB, [](int, int) { return rgb(1, 1, 1); });
    SafeArray<int32_t> colours = SafeArray<int32_t>::from({7, 8});
    int32_t n = -1;
    EXPECT_EQ(control->ColorPaletteGet(colours, n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(colours.at(1), 8) << "untouched";
    make_indexed(4, 4, PixelFormat8bppIndexed, {rgb(1, 2, 3), rgb(9, 9, 9)},
                 [](int, int) { return 1; });
    EXPECT_EQ(control->ColorPaletteGetColorsCount(), 2);
    ASSERT_EQ(control->ColorPaletteGet(colours, n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(colours.lbound(), 1);
    EXPECT_EQ(uint32_t(colours.at(2)), rgb(9, 9, 9));
    ASSERT_EQ(control->ColorPaletteSet(
                  SafeArray<int32_t>::from({int32_t(rgb(0, 0, 0)), int32_t(rgb(200, 0, 0))})),
              0);
    EXPECT_EQ(at(0, 0), rgb(200, 0, 0));
    EXPECT_EQ(control->ColorPaletteSet(SafeArray<int32_t>(0, 300)), 2);
    control->SetNativeImage(0);
    EXPECT_EQ(control->ColorPaletteGetColorsCount(), 0);
    EXPECT_EQ(control->GetStat(), 2);
}

TEST_F(Geometry, ResizeBothPaths) {
    make(40, 20, PixelFormat24bppRGB,
         [](int x, int) { return x < 20 ? rgb(0, 0, 0) : rgb(255, 255, 255); });
    ASSERT_EQ(control->Resize(20, 10, 6), 0);
    EXPECT_EQ(w(), 20);
    EXPECT_EQ(at(2, 5), rgb(0, 0, 0));
    EXPECT_EQ(at(17, 5), rgb(255, 255, 255));
    EXPECT_EQ(control->Resize(10, 10, 9), 2) << "an invalid mode is the platform's status";
    EXPECT_EQ(w(), 20) << "the native image stays";
    // Indexed images go through 32 bits and come back indexed.
    make_indexed(16, 8, PixelFormat1bppIndexed, {rgb(0, 0, 0), rgb(255, 255, 255)},
                 [](int x, int) { return x >= 8; });
    ASSERT_EQ(control->Resize(8, 4, 5), 0);
    PixelFormat f = 0;
    modGdiplus::GetPixelFormatValue(native(), f);
    EXPECT_EQ(f, PixelFormat1bppIndexed);
    EXPECT_EQ(at(1, 1), rgb(0, 0, 0));
    EXPECT_EQ(at(6, 1), rgb(255, 255, 255));
    EXPECT_EQ(control->Resize(5, 5, 9), 2);
    modGdiplus::GetPixelFormatValue(native(), f);
    EXPECT_EQ(f, PixelFormat1bppIndexed) << "a failed resize leaves the indexed image as it was";
    EXPECT_EQ(w(), 8);
    std::vector<ARGB> pal = modGdiplus::FixedPalette16();
    make_indexed(16, 8, PixelFormat4bppIndexed, pal, [](int x, int) { return x < 8 ? 4 : 9; });
    size_t images = modGdiplus::ImageCount();
    ASSERT_EQ(control->Resize(32, 16, 5), 0);
    modGdiplus::GetPixelFormatValue(native(), f);
    EXPECT_EQ(f, PixelFormat4bppIndexed);
    EXPECT_EQ(at(30, 3), pal[9]);
    EXPECT_EQ(modGdiplus::ImageCount(), images) << "no intermediate left behind";
}

TEST_F(Geometry, MembersWithoutANativeImage) {
    EXPECT_EQ(control->Crop(1, 1, 2, 2), 0);
    EXPECT_EQ(control->Rotate(1), 2) << "Rotate calls the engine on 0";
    EXPECT_EQ(control->CropWhiteBands(), 2) << "the last status";
    EXPECT_EQ(control->ConvertTo24Bpp(), 2);
    EXPECT_EQ(control->CropBorders2(90), 2);
}
