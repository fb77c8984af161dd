// SaveAsGifI and SaveAsPnm on the scanning control, and the engine saves below them.
#include "imaging/own_save.h"
#include "codecs/mPNMFileIO.h"
#include "imaging/image_props.h"
#include "lumtwainpro/twain.h"
#include "own_fixture.h"
#include "platform/gdiplus/pixel_format.h"

using namespace owntest;
using namespace modGdiplus;

namespace {

class OwnSave : public ::testing::Test {
  protected:
    // A native image of the format; `argb` gives pixel (x, y).
    template <class F>
    GpImage make(int w, int h, PixelFormat format, F&& argb) {
        GpImage img = 0;
        EXPECT_EQ(CreateBlankImage(w, h, format, img), 0);
        if (!gdip::is_indexed(format))
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) GdipBitmapSetPixel(img, x, y, argb(x, y));
        control.SetNativeImage(int32_t(img));
        return img;
    }
    GpImage photo(int w, int h) {
        return make(w, h, PixelFormat24bppRGB, [](int x, int y) {
            return 0xFF000000u | ARGB((x * 7) & 255) << 16 | ARGB((y * 5) & 255) << 8 |
                   ARGB((x * y) & 255);
        });
    }
    // An indexed image with this palette and index rows (one byte per pixel).
    GpImage indexed(int w, int h, PixelFormat format, const std::vector<ARGB>& colours,
                    const Bytes& indices) {
        GpImage img = make(w, h, format, [](int, int) { return 0u; });
        std::vector<BYTE> pal(8 + 4 * colours.size());
        ColorPalette head{0, UINT(colours.size()), {}};
        std::memcpy(pal.data(), &head, 8);
        std::memcpy(pal.data() + 8, colours.data(), 4 * colours.size());
        EXPECT_EQ(SetPalette(img, pal), 0);
        // One index per byte: the image's own palette keeps the indices.
        BitmapData d;
        d.Width = UINT(w), d.Height = UINT(h), d.Stride = w, d.PixelFormat = PixelFormat8bppIndexed;
        Bytes rows = indices;
        d.Scan0 = rows.data();
        EXPECT_EQ(LockImageBits(img, {0, 0, w, h}, kLockWriteFromBuffer, PixelFormat8bppIndexed, d),
                  0);
        EXPECT_EQ(UnlockImageBits(img, d), 0);
        return img;
    }
    static std::string text(const Bytes& b, size_t n) {
        return std::string(b.begin(), b.begin() + long(n));
    }

    lumtest::TempDir dir;
    twain control;
};

}  // namespace

TEST_F(OwnSave, GifOfAPhotographHas256ColoursAndIsInterlaced) {
    photo(120, 90);
    const size_t before = ImageCount();
    ASSERT_EQ(control.SaveAsGifI(dir.file("p.gif")), 0);
    EXPECT_EQ(ImageCount(), before) << "the reduced copy is disposed";
    GifFile g = read_gif(lumtest::read_file(dir.file("p.gif")));
    ASSERT_EQ(g.error, 0);
    EXPECT_EQ(g.color_bits, 8);
    EXPECT_TRUE(g.interlaced);
    EXPECT_EQ(g.transparent, -1);
    ASSERT_EQ(g.rows.size(), 90u);
    // Every pixel is close to its original colour.
    std::vector<int> order = interlace_order(90);
    double error = 0;
    for (int i = 0; i < 90; ++i)
        for (int x = 0; x < 120; ++x) {
            int y = order[size_t(i)];
            const uint8_t* c = &g.colours[3 * g.rows[size_t(i)][size_t(x)]];
            int dr = c[0] - ((x * 7) & 255), dg = c[1] - ((y * 5) & 255),
                db = c[2] - ((x * y) & 255);
            error += dr * dr + dg * dg + db * db;
        }
    // Noise over the whole colour cube: about 200 for 256 colours, thousands if mapped wrongly.
    EXPECT_LT(error / (120 * 90 * 3), 300.0) << "mean squared error per channel";
}

TEST_F(OwnSave, PaletteEntryOfAlphaZeroBecomesTheTransparentColour) {
    std::vector<ARGB> colours(16);
    for (int i = 0; i < 16; ++i) colours[size_t(i)] = 0xFF000000u | ARGB(i * 0x111111);
    colours[5] = 0x00A0B0C0;  // transparent
    Bytes idx(32);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t(i % 16);
    indexed(8, 4, PixelFormat8bppIndexed, colours, idx);
    ASSERT_EQ(control.SaveAsGifI(dir.file("t.gif")), 0);
    GifFile g = read_gif(lumtest::read_file(dir.file("t.gif")));
    EXPECT_EQ(g.transparent, 5);
    EXPECT_EQ(g.colours[15], 0xA0);
    EXPECT_EQ(g.rows[0][5], 5);
}

TEST_F(OwnSave, GifKeepsOneAndFourBitImagesAtTheirDepth) {
    for (PixelFormat f : {PixelFormat1bppIndexed, PixelFormat4bppIndexed}) {
        std::vector<ARGB> colours = f == PixelFormat1bppIndexed
                                        ? std::vector<ARGB>{0xFF000000u, 0xFFFFFFFFu}
                                        : std::vector<ARGB>(16, 0xFF336699u);
        if (f == PixelFormat4bppIndexed) colours[3] = 0xFFFF0000u;
        Bytes idx(11 * 3);
        for (size_t i = 0; i < idx.size(); ++i)
            idx[i] = uint8_t(f == PixelFormat1bppIndexed ? i % 2 : (i % 5 == 0) * 3);
        indexed(11, 3, f, colours, idx);
        ASSERT_EQ(control.SaveAsGifI(dir.file("d.gif")), 0);
        GifFile g = read_gif(lumtest::read_file(dir.file("d.gif")));
        EXPECT_EQ(g.color_bits, f == PixelFormat1bppIndexed ? 1 : 4);
        EXPECT_EQ(g.rows[0], Bytes(idx.begin(), idx.begin() + 11)) << f;
    }
}

TEST_F(OwnSave, GifTooLargeForTheFieldsFailsAndLeavesTheFile) {
    make(70000, 1, PixelFormat24bppRGB, [](int x, int) { return 0xFF000000u | ARGB(x & 255); });
    write_text(dir.file("w.gif"), "old");
    EXPECT_EQ(control.SaveAsGifI(dir.file("w.gif")), 1);
    EXPECT_EQ(control.GetStat(), 1);
    EXPECT_EQ(lumtest::read_file(dir.file("w.gif")), bytes_of("old"));
}

TEST_F(OwnSave, PnmKinds) {
    photo(9, 4);
    ASSERT_EQ(control.SaveAsPnm(dir.file("rgb.ppm")), 0);
    Bytes f = lumtest::read_file(dir.file("rgb.ppm"));
    EXPECT_EQ(text(f, 11), "P6\n9 4\n255\n");
    EXPECT_EQ(f.size(), 11u + 9 * 4 * 3);
    EXPECT_EQ(f[11 + 3 * 8 + 0], (8 * 7) & 255) << "red of pixel (8, 0)";

    make(5, 2, PixelFormat32bppARGB, [](int x, int) { return 0x80000000u | ARGB(x * 40); });
    ASSERT_EQ(control.SaveAsPnm(dir.file("argb.pnm")), 0);
    EXPECT_EQ(lumtest::read_file(dir.file("argb.pnm"))[1], '6') << "32 bits give 24";

    std::vector<ARGB> greys(256);
    for (int i = 0; i < 256; ++i) greys[size_t(i)] = 0xFF000000u | ARGB(i * 0x010101);
    indexed(3, 1, PixelFormat8bppIndexed, greys, {7, 100, 255});
    ASSERT_EQ(control.SaveAsPnm(dir.file("g.pgm")), 0);
    f = lumtest::read_file(dir.file("g.pgm"));
    EXPECT_EQ(text(f, 11), "P5\n3 1\n255\n");
    EXPECT_EQ(Bytes(f.begin() + 11, f.end()), (Bytes{7, 100, 255}));
}

// A colour palette is not written as grey: its colours stay (P6).
TEST_F(OwnSave, PnmOfAColourPaletteKeepsItsColours) {
    std::vector<ARGB> colours(256, 0xFF000000u);
    colours[1] = 0xFFFF0000u, colours[2] = 0xFF0000FFu;
    indexed(2, 1, PixelFormat8bppIndexed, colours, {1, 2});
    ASSERT_EQ(control.SaveAsPnm(dir.file("c.ppm")), 0);
    Bytes f = lumtest::read_file(dir.file("c.ppm"));
    EXPECT_EQ(text(f, 11), "P6\n2 1\n255\n");
    EXPECT_EQ(Bytes(f.begin() + 11, f.end()), (Bytes{255, 0, 0, 0, 0, 255}));
}

TEST_F(OwnSave, PnmOfOneBitImages) {
    indexed(9, 2, PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu},
            {0, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    ASSERT_EQ(control.SaveAsPnm(dir.file("b.pbm")), 0);
    Bytes f = lumtest::read_file(dir.file("b.pbm"));
    EXPECT_EQ(text(f, 7), "P4\n9 2\n");
    EXPECT_EQ(Bytes(f.begin() + 7, f.end()), (Bytes{0x80, 0x80, 0, 0}));
    // A blank white page stays white, whatever index its one colour has.
    indexed(9, 2, PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu}, Bytes(18, 1));
    ASSERT_EQ(control.SaveAsPnm(dir.file("blank.pbm")), 0);
    f = lumtest::read_file(dir.file("blank.pbm"));
    EXPECT_EQ(Bytes(f.begin() + 7, f.end()), (Bytes{0, 0, 0, 0}));
    // Inverted palettes (white at index 0) keep their look.
    indexed(2, 1, PixelFormat1bppIndexed, {0xFFFFFFFFu, 0xFF000000u}, {0, 1});
    ASSERT_EQ(control.SaveAsPnm(dir.file("inv.pbm")), 0);
    f = lumtest::read_file(dir.file("inv.pbm"));
    EXPECT_EQ(f.back(), 0x40);
}

TEST_F(OwnSave, PnmOfFourBitsIsReducedToEightBits) {
    std::vector<ARGB> colours(16, 0xFF101010u);
    colours[9] = 0xFF808080u;
    indexed(4, 1, PixelFormat4bppIndexed, colours, {9, 0, 9, 0});
    ASSERT_EQ(control.SaveAsPnm(dir.file("f.pgm")), 0);
    Bytes f = lumtest::read_file(dir.file("f.pgm"));
    EXPECT_EQ(text(f, 11), "P5\n4 1\n255\n");
    EXPECT_EQ(Bytes(f.begin() + 11, f.end()), (Bytes{0x80, 0x10, 0x80, 0x10}));
}

TEST_F(OwnSave, WrittenPnmReadsBack) {
    photo(37, 11);
    ASSERT_EQ(control.SaveAsPnm(dir.file("r.ppm")), 0);
    int32_t w = 0, h = 0;
    Bytes px;
    ASSERT_TRUE(mPNMFileIO::ReadPnm(dir.file("r.ppm"), w, h, px));
    ASSERT_EQ(w, 37);
    const size_t stride = (37 * 3 + 3) / 4 * 4;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint8_t* p = px.data() + size_t(y) * stride + size_t(x) * 3;
            ASSERT_EQ(p[2], (x * 7) & 255);
            ASSERT_EQ(p[1], (y * 5) & 255);
            ASSERT_EQ(p[0], (x * y) & 255);
        }
}

TEST_F(OwnSave, WithoutANativeImageNothingIsWritten) {
    EXPECT_EQ(control.SaveAsGifI(dir.file("n.gif")), 2) << "a last status of 0 becomes 2";
    EXPECT_EQ(control.SaveAsPnm(dir.file("n.pnm")), 2);
    photo(70000, 1);
    EXPECT_EQ(control.SaveAsGifI(dir.file("n.gif")), 1);
    control.SetNativeImage(0);
    EXPECT_EQ(control.SaveAsPnm(dir.file("n.pnm")), 1) << "a failure stays";
    EXPECT_FALSE(std::ifstream(dir.file("n.pnm")).good());
    EXPECT_EQ(SaveGifOwnWriter(0, dir.file("n.gif")), 2) << "never success for no image";
    EXPECT_EQ(SavePnm(0, dir.file("n.pnm")), 2);
}

TEST_F(OwnSave, UnwritablePathGives1) {
    photo(4, 4);
    EXPECT_EQ(control.SaveAsGifI(dir.file("no/such/dir.gif")), 1);
    EXPECT_EQ(control.SaveAsPnm(dir.file("no/such/dir.ppm")), 1);
}
