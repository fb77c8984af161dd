// Packed DIB import: every bit depth, colour tables shorter than the maximum, colour masks,
// and headers that claim more than their block holds.
#include <gtest/gtest.h>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"

using namespace modGdiplus;

namespace {

struct Session {
    Session() { EngineStartup(); }
    ~Session() { EngineShutdown(); }
};

// A packed DIB: header, `colors` table entries (or three masks), then rows bottom-up.
// Pixel (x, y) of the top-down picture holds the value (x + 2y) within the depth.
HGLOBAL make_dib(int bits, int width, int height, uint32_t colors, DWORD compression = BI_RGB,
                 size_t cut = 0, LONG pels_per_metre = 0) {
    size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    size_t table = compression == BI_BITFIELDS ? 12 : size_t(colors) * 4;
    size_t size = 40 + table + stride * size_t(height) - cut;
    HGLOBAL mem = GlobalAlloc(GHND, size);
    auto* p = static_cast<BYTE*>(GlobalLock(mem));
    BITMAPINFOHEADER h{40, width, height, 1, WORD(bits), compression, 0,
                       pels_per_metre, pels_per_metre, bits <= 8 ? colors : 0, 0};
    std::memcpy(p, &h, 40);
    BYTE* t = p + 40;
    if (compression == BI_BITFIELDS) {
        DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(t, masks, 12);
    } else {
        for (uint32_t i = 0; i < colors; ++i) {
            RGBQUAD q{BYTE(i * 3), BYTE(i * 5), BYTE(i * 7), 0};
            std::memcpy(t + 4 * i, &q, 4);
        }
    }
    BYTE* bitsp = t + table;
    for (int y = 0; y < height && cut == 0; ++y) {
        BYTE* row = bitsp + size_t(height - 1 - y) * stride;  // bottom-up
        for (int x = 0; x < width; ++x) {
            uint32_t v = uint32_t(x + 2 * y);
            switch (bits) {
                case 1: row[x / 8] |= BYTE((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= BYTE((v & 15) << (x % 2 ? 0 : 4)); break;
                case 8: row[x] = BYTE(v); break;
                case 16: row[2 * x] = BYTE(v); row[2 * x + 1] = 0; break;
                case 24: row[3 * x] = BYTE(v); row[3 * x + 1] = 0; row[3 * x + 2] = 0; break;
                case 32: row[4 * x] = BYTE(v); break;
            }
        }
    }
    GlobalUnlock(mem);
    return mem;
}

}  // namespace

class DibDepth : public ::testing::TestWithParam<int> {};

TEST_P(DibDepth, PixelsComeFromTheRightPlace) {
    Session s;
    int bits = GetParam();
    // Short colour tables (biClrUsed) put the rows earlier than the full table would.
    uint32_t colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 20 : 0;
    HGLOBAL dib = make_dib(bits, 7, 3, colors);
    GpImage img = 0;
    ASSERT_EQ(CreateImageFromDib(img, dib, false), 0);
    int32_t w = 0, h = 0;
    GetImageWidth(img, w);
    GetImageHeight(img, h);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            uint32_t v = uint32_t(x + 2 * y);
            ARGB c = 0;
            ASSERT_EQ(GdipBitmapGetPixel(img, x, y, &c), 0);
            ARGB want;
            if (bits <= 8) {
                uint32_t i = v & ((1u << bits) - 1);
                want = 0xFF000000 | (i * 7 & 0xFF) << 16 | (i * 5 & 0xFF) << 8 | (i * 3 & 0xFF);
            } else if (bits == 16) {
                want = 0xFF000000 | ((v & 31) * 255 / 31);  // 555: blue in the low bits
            } else {
                want = 0xFF000000 | v;
            }
            if (bits == 16) EXPECT_NEAR(int(c & 0xFF), int(want & 0xFF), 4) << x << "," << y;
            else EXPECT_EQ(c, want) << bits << " bits at " << x << "," << y;
        }
    DisposeImage(img);
    GlobalFree(dib);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DibDepth, ::testing::Values(1, 4, 8, 16, 24, 32));

TEST(Dib, BitFieldsMasksAreSkipped) {
    Session s;
    HGLOBAL dib = make_dib(16, 4, 2, 0, BI_BITFIELDS);
    GpImage img = 0;
    ASSERT_EQ(CreateImageFromDib(img, dib, true), 0);
    PixelFormat f = 0;
    GetPixelFormatValue(img, f);
    EXPECT_EQ(f, PixelFormat16bppRGB565);
    DisposeImage(img);
}

TEST(Dib, MalformedHeadersAreRefused) {
    Session s;
    GpImage img = 0;
    EXPECT_EQ(CreateImageFromDib(img, 0, false), Gdiplus::InvalidParameter);
    EXPECT_EQ(CreateImageFromDib(img, 0x7777, false), Gdiplus::GenericError) << "lock fails";
    HGLOBAL truncated = make_dib(24, 100, 100, 0, BI_RGB, 1);
    EXPECT_EQ(CreateImageFromDib(img, truncated, false), Gdiplus::InvalidParameter);
    GlobalFree(truncated);
    HGLOBAL tiny = GlobalAlloc(GHND, 20);
    EXPECT_EQ(CreateImageFromDib(img, tiny, false), Gdiplus::InvalidParameter);
    GlobalFree(tiny);
    for (auto mutate : std::vector<std::function<void(BITMAPINFOHEADER&)>>{
             [](auto& h) { h.biBitCount = 3; },
             [](auto& h) { h.biWidth = 1 << 30; },
             [](auto& h) { h.biHeight = 0; },
             [](auto& h) { h.biSize = 12; },
             [](auto& h) { h.biSize = 4000; },
             [](auto& h) { h.biClrUsed = 0xFFFFFFFF; h.biBitCount = 24; },
         }) {
        HGLOBAL dib = make_dib(8, 4, 4, 256);
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
        mutate(*h);
        GlobalUnlock(dib);
        EXPECT_EQ(CreateImageFromDib(img, dib, false), Gdiplus::InvalidParameter);
        EXPECT_EQ(img, 0u);
        GlobalFree(dib);
    }
    EXPECT_TRUE(ImageTable().empty());
}

TEST(Dib, ResolutionFromPelsPerMetre) {
    Session s;
    HGLOBAL dib = make_dib(8, 4, 4, 256, BI_RGB, 0, 2835);
    GpImage img = 0;
    ASSERT_EQ(CreateImageFromDib(img, dib, true), 0);
    float dx = 0, dy = 0;
    GetImageHorizontalResolution(img, dx);
    GetImageVerticalResolution(img, dy);
    EXPECT_EQ(dx, 72);
    EXPECT_EQ(dy, 72);
    HGLOBAL plain = make_dib(8, 4, 4, 256);
    GpImage img2 = 0;
    ASSERT_EQ(CreateImageFromDib(img2, plain, true), 0);
    GetImageHorizontalResolution(img2, dx);
    EXPECT_EQ(dx, 96) << "0 pels per metre keeps the default";
}

TEST(Dib, OwnedBlockGoesWithTheImageAndABorrowedOneStays) {
    Session s;
    HGLOBAL owned = make_dib(24, 8, 8, 0);
    HGLOBAL borrowed = make_dib(24, 8, 8, 0);
    GpImage a = 0, b = 0;
    ASSERT_EQ(CreateImageFromDib(a, owned, true), 0);
    ASSERT_EQ(CreateImageFromDib(b, borrowed, false), 0);
    EXPECT_EQ(DisposeImage(a), 0);
    EXPECT_EQ(DisposeImage(b), 0);
    EXPECT_EQ(GlobalLock(owned), nullptr) << "the acquired block is freed";
    EXPECT_NE(GlobalLock(borrowed), nullptr) << "the viewer's block survives";
    GlobalUnlock(borrowed);
    GlobalFree(borrowed);
}

TEST(Dib, ImageReadsTheBlockInPlace) {
    Session s;
    HGLOBAL dib = make_dib(24, 2, 1, 0);
    GpImage img = 0;
    ASSERT_EQ(CreateImageFromDib(img, dib, true), 0);
    auto* p = static_cast<BYTE*>(GlobalLock(dib));
    p[40] = 0x99;  // blue of the first pixel
    GlobalUnlock(dib);
    ARGB c = 0;
    GdipBitmapGetPixel(img, 0, 0, &c);
    EXPECT_EQ(c & 0xFF, 0x99u) << "no copy is made";
}
