// Pixels, palettes, frames, property items, area clones, GDI bitmaps and icons.
#include <cstring>

#include "gdip_fixture.h"
#include "platform/gdiplus/image_p.h"

namespace {

using pixtest::GdipTest;

class BitmapOps : public GdipTest {};

TEST_F(BitmapOps, SetPixelStoresPremultipliedAndReadsStraight) {
    GpBitmap b = bitmap(2, 2, PixelFormat32bppPARGB);
    ASSERT_EQ(GdipBitmapSetPixel(b, 1, 1, 0x80FF8000), Gdiplus::Ok);
    ARGB c = 0;
    ASSERT_EQ(GdipBitmapGetPixel(b, 1, 1, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0x80FF8000u);
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(b, nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &d),
              Gdiplus::Ok);
    ARGB raw;
    std::memcpy(&raw, static_cast<BYTE*>(d.Scan0) + d.Stride + 4, 4);
    EXPECT_EQ(raw, 0x80804000u);
    ASSERT_EQ(GdipBitmapUnlockBits(b, &d), Gdiplus::Ok);
}

TEST_F(BitmapOps, PixelAccessChecksCoordinatesAndFormat) {
    GpBitmap b = bitmap(3, 2, PixelFormat24bppRGB);
    ARGB c;
    EXPECT_EQ(GdipBitmapGetPixel(b, 3, 0, &c), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(b, 0, -1, &c), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapSetPixel(b, 0, 2, 0), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(b, 0, 0, nullptr), Gdiplus::InvalidParameter);
    GpBitmap idx = bitmap(3, 2, PixelFormat8bppIndexed);
    EXPECT_EQ(GdipBitmapSetPixel(idx, 0, 0, 0xFFFFFFFF), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(idx, 0, 0, &c), Gdiplus::Ok);
}

// ---- palettes -----------------------------------------------------------------------

std::vector<BYTE> palette_buffer(const std::vector<ARGB>& entries, UINT flags) {
    std::vector<BYTE> buf(8 + 4 * entries.size());
    UINT count = UINT(entries.size());
    std::memcpy(buf.data(), &flags, 4);
    std::memcpy(buf.data() + 4, &count, 4);
    if (!entries.empty()) std::memcpy(buf.data() + 8, entries.data(), 4 * entries.size());
    return buf;
}

TEST_F(BitmapOps, PaletteSizeGetAndSet) {
    GpBitmap b = bitmap(4, 4, PixelFormat4bppIndexed);
    INT size = 0;
    ASSERT_EQ(GdipGetImagePaletteSize(b, &size), Gdiplus::Ok);
    EXPECT_EQ(size, 8 + 4 * 16);

    std::vector<ARGB> mine{0xFF112233, 0x00000000, 0xFFFFFFFF};
    auto buf = palette_buffer(mine, 0);
    ASSERT_EQ(GdipSetImagePalette(b, reinterpret_cast<ColorPalette*>(buf.data())), Gdiplus::Ok);
    ASSERT_EQ(GdipGetImagePaletteSize(b, &size), Gdiplus::Ok);
    EXPECT_EQ(size, 8 + 4 * 3);
    std::vector<BYTE> out(static_cast<size_t>(size));
    EXPECT_EQ(GdipGetImagePalette(b, reinterpret_cast<ColorPalette*>(out.data()), size - 1),
              Gdiplus::InvalidParameter);
    ASSERT_EQ(GdipGetImagePalette(b, reinterpret_cast<ColorPalette*>(out.data()), size),
              Gdiplus::Ok);
    auto* p = reinterpret_cast<ColorPalette*>(out.data());
    EXPECT_EQ(p->Count, 3u);
    EXPECT_TRUE(p->Flags & PaletteFlagsHasAlpha);  // entry 1 is transparent
    EXPECT_EQ(std::memcmp(out.data() + 8, mine.data(), 12), 0);

    ARGB c = 0;
    ASSERT_EQ(GdipBitmapGetPixel(b, 0, 0, &c), Gdiplus::Ok);  // index 0 reads the new entry
    EXPECT_EQ(c, 0xFF112233u);
}

TEST_F(BitmapOps, PaletteLargerThanTheFormatIsRejected) {
    GpBitmap b = bitmap(4, 4, PixelFormat1bppIndexed);
    auto three = palette_buffer({0xFF000000, 0xFF808080, 0xFFFFFFFF}, 0);
    EXPECT_EQ(GdipSetImagePalette(b, reinterpret_cast<ColorPalette*>(three.data())),
              Gdiplus::InvalidParameter);
    auto none = palette_buffer({}, 0);
    EXPECT_EQ(GdipSetImagePalette(b, reinterpret_cast<ColorPalette*>(none.data())),
              Gdiplus::InvalidParameter);
    INT size = 0;
    ASSERT_EQ(GdipGetImagePaletteSize(b, &size), Gdiplus::Ok);
    EXPECT_EQ(size, 8 + 4 * 2);  // unchanged
}

// ---- frames -------------------------------------------------------------------------

class Frames : public GdipTest {
  protected:
    // A three-frame GIF-like image built directly (decoders are not needed here).
    GpImage animated() {
        auto img = std::make_unique<gdip::Image>();
        img->raw_format = ImageFormatGIF;
        img->frame_dimension = FrameDimensionTime;
        for (int i = 0; i < 3; ++i) {
            gdip::Frame f;
            EXPECT_EQ(gdip::make_frame(2, 2, PixelFormat32bppARGB, &f), Gdiplus::Ok);
            ARGB c = 0xFF000000u | uint32_t(i);
            std::memcpy(f.scan0, &c, 4);
            img->frames.push_back(std::move(f));
        }
        return keep(gdip::add_image(std::move(img)));
    }
};

TEST_F(Frames, AMemoryBitmapHasOnePage) {
    GpBitmap b = bitmap(2, 2, PixelFormat24bppRGB);
    UINT n = 0;
    ASSERT_EQ(GdipImageGetFrameDimensionsCount(b, &n), Gdiplus::Ok);
    EXPECT_EQ(n, 1u);
    GUID dim;
    ASSERT_EQ(GdipImageGetFrameDimensionsList(b, &dim, 1), Gdiplus::Ok);
    EXPECT_EQ(dim, FrameDimensionPage);
    ASSERT_EQ(GdipImageGetFrameCount(b, &FrameDimensionPage, &n), Gdiplus::Ok);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(GdipImageSelectActiveFrame(b, &FrameDimensionPage, 0), Gdiplus::Ok);
    EXPECT_EQ(GdipImageSelectActiveFrame(b, &FrameDimensionPage, 1), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipImageSelectActiveFrame(b, &FrameDimensionTime, 0), Gdiplus::InvalidParameter);
}

TEST_F(Frames, SelectingAFrameChangesThePixelsSeen) {
    GpImage g = animated();
    UINT n = 0;
    EXPECT_EQ(GdipImageGetFrameCount(g, &FrameDimensionPage, &n), Gdiplus::InvalidParameter);
    ASSERT_EQ(GdipImageGetFrameCount(g, &FrameDimensionTime, &n), Gdiplus::Ok);
    EXPECT_EQ(n, 3u);
    ASSERT_EQ(GdipImageSelectActiveFrame(g, &FrameDimensionTime, 2), Gdiplus::Ok);
    ARGB c = 0;
    ASSERT_EQ(GdipBitmapGetPixel(g, 0, 0, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0xFF000002u);
    EXPECT_EQ(GdipImageSelectActiveFrame(g, &FrameDimensionTime, 3), Gdiplus::InvalidParameter);
    ASSERT_EQ(GdipBitmapGetPixel(g, 0, 0, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0xFF000002u);  // a failed selection keeps the frame
}

TEST_F(Frames, NoFrameSwitchUnderALock) {
    GpImage g = animated();
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(g, nullptr, ImageLockModeWrite, PixelFormat24bppRGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipImageSelectActiveFrame(g, &FrameDimensionTime, 1), Gdiplus::WrongState);
    ASSERT_EQ(GdipBitmapUnlockBits(g, &d), Gdiplus::Ok);
}

// ---- property items -----------------------------------------------------------------

TEST_F(BitmapOps, PropertyItemsRoundTrip) {
    GpBitmap b = bitmap(2, 2, PixelFormat24bppRGB);
    UINT count = 9;
    ASSERT_EQ(GdipGetPropertyCount(b, &count), Gdiplus::Ok);
    EXPECT_EQ(count, 0u);
    UINT size = 0;
    EXPECT_EQ(GdipGetPropertyItemSize(b, 0x010F, &size), Gdiplus::PropertyNotFound);

    char make[] = "Lum";
    PropertyItem item{0x010F, 4, PropertyTagTypeASCII, make};
    ASSERT_EQ(GdipSetPropertyItem(b, &item), Gdiplus::Ok);
    uint32_t delays[2] = {10, 20};
    PropertyItem delay{PropertyTagFrameDelay, 8, PropertyTagTypeLong, delays};
    ASSERT_EQ(GdipSetPropertyItem(b, &delay), Gdiplus::Ok);
    char longer[] = "LumTwain";
    item = {0x010F, 9, PropertyTagTypeASCII, longer};
    ASSERT_EQ(GdipSetPropertyItem(b, &item), Gdiplus::Ok);  // replaces, keeps the order

    ASSERT_EQ(GdipGetPropertyCount(b, &count), Gdiplus::Ok);
    ASSERT_EQ(count, 2u);
    PROPID ids[2];
    EXPECT_EQ(GdipGetPropertyIdList(b, 1, ids), Gdiplus::InvalidParameter);
    ASSERT_EQ(GdipGetPropertyIdList(b, 2, ids), Gdiplus::Ok);
    EXPECT_EQ(ids[0], 0x010Fu);
    EXPECT_EQ(ids[1], PropertyTagFrameDelay);

    ASSERT_EQ(GdipGetPropertyItemSize(b, 0x010F, &size), Gdiplus::Ok);
    EXPECT_EQ(size, sizeof(PropertyItem) + 9);
    std::vector<BYTE> buf(size);
    auto* out = reinterpret_cast<PropertyItem*>(buf.data());
    EXPECT_EQ(GdipGetPropertyItem(b, 0x010F, size - 1, out), Gdiplus::InvalidParameter);
    ASSERT_EQ(GdipGetPropertyItem(b, 0x010F, size, out), Gdiplus::Ok);
    EXPECT_EQ(out->length, 9u);
    EXPECT_EQ(out->type, PropertyTagTypeASCII);
    EXPECT_EQ(out->value, buf.data() + sizeof(PropertyItem));  // inside the caller's buffer
    EXPECT_STREQ(static_cast<const char*>(out->value), "LumTwain");
    EXPECT_EQ(GdipGetPropertyItem(b, 0x9999, size, out), Gdiplus::PropertyNotFound);

    PropertyItem broken{0x0110, 4, PropertyTagTypeASCII, nullptr};
    EXPECT_EQ(GdipSetPropertyItem(b, &broken), Gdiplus::InvalidParameter);
}

// ---- area clones --------------------------------------------------------------------

TEST_F(BitmapOps, CloneAreaConvertsAndKeepsResolution) {
    GpBitmap b = bitmap(6, 4, PixelFormat32bppARGB);
    std::vector<ARGB> px;
    for (int i = 0; i < 24; ++i) px.push_back(0xFF000000u | uint32_t(i * 0x0A0B0C));
    fill(b, 6, 4, px);
    ASSERT_EQ(GdipBitmapSetResolution(b, 300, 150), Gdiplus::Ok);

    GpBitmap c = 0;
    ASSERT_EQ(GdipCloneBitmapAreaI(2, 1, 3, 2, PixelFormat24bppRGB, b, &c), Gdiplus::Ok);
    keep(c);
    PixelFormat f = 0;
    ASSERT_EQ(GdipGetImagePixelFormat(c, &f), Gdiplus::Ok);
    EXPECT_EQ(f, PixelFormat24bppRGB);
    GUID raw;
    ASSERT_EQ(GdipGetImageRawFormat(c, &raw), Gdiplus::Ok);
    EXPECT_EQ(raw, ImageFormatMemoryBMP);
    REAL dx = 0, dy = 0;
    GdipGetImageHorizontalResolution(c, &dx);
    GdipGetImageVerticalResolution(c, &dy);
    EXPECT_EQ(dx, 300.0f);
    EXPECT_EQ(dy, 150.0f);
    auto got = pixels(c, 3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(got[size_t(y) * 3 + x], px[size_t(y + 1) * 6 + x + 2]);
}

TEST_F(BitmapOps, CloneAreaOutsideIsRejected) {
    GpBitmap b = bitmap(6, 4, PixelFormat24bppRGB);
    GpBitmap c = 123;
    EXPECT_EQ(GdipCloneBitmapAreaI(4, 0, 3, 1, PixelFormat24bppRGB, b, &c),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(GdipCloneBitmapAreaI(0, 0, 0, 1, PixelFormat24bppRGB, b, &c),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipCloneBitmapAreaI(0, 0, 1, 1, PixelFormat32bppCMYK, b, &c),
              Gdiplus::InvalidParameter);
}

TEST_F(BitmapOps, CloneAreaOfMonochromeFromAnOddColumn) {
    GpBitmap b = bitmap(16, 1, PixelFormat1bppIndexed);
    std::vector<ARGB> px(16, 0xFF000000);
    px[5] = px[7] = 0xFFFFFFFF;
    fill(b, 16, 1, px);
    GpBitmap c = 0;
    ASSERT_EQ(GdipCloneBitmapAreaI(5, 0, 4, 1, PixelFormat1bppIndexed, b, &c), Gdiplus::Ok);
    keep(c);
    EXPECT_EQ(pixels(c, 4, 1), (std::vector<ARGB>{0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}));
}

// ---- GDI bitmaps and icons ----------------------------------------------------------

TEST_F(BitmapOps, HBitmapCompositesOverTheBackground) {
    GpBitmap b = bitmap(2, 2, PixelFormat32bppARGB);
    fill(b, 2, 2, {0xFF102030, 0x00FFFFFF, 0x80FF0000, 0xFF0000FF});
    for (ARGB bg : {0x00000000u, 0xFFFFFFFFu}) {
        HBITMAP h = 0;
        ASSERT_EQ(GdipCreateHBITMAPFromBitmap(b, &h, bg), Gdiplus::Ok);
        win::BitmapView v;
        ASSERT_TRUE(win::GetBitmapView(h, &v));
        EXPECT_EQ(v.bits_per_pixel, 32);
        auto at = [&](int x, int y) {
            ARGB c;
            std::memcpy(&c, v.scan0 + y * v.stride + 4 * x, 4);
            return c & 0x00FFFFFF;
        };
        EXPECT_EQ(at(0, 0), 0x102030u);  // opaque pixels stay, top row first
        EXPECT_EQ(at(1, 1), 0x0000FFu);
        EXPECT_EQ(at(1, 0), bg ? 0xFFFFFFu : 0x000000u);  // transparent: the background
        EXPECT_EQ(at(0, 1), bg ? 0xFF7F7Fu : 0x800000u);  // half red over it
        DeleteObject(h);
    }
}

TEST_F(BitmapOps, HIconMaskFollowsAlpha) {
    GpBitmap b = bitmap(2, 1, PixelFormat32bppARGB);
    fill(b, 2, 1, {0xFFFF0000, 0x10000000});
    HICON icon = 0;
    ASSERT_EQ(GdipCreateHICONFromBitmap(b, &icon), Gdiplus::Ok);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    win::BitmapView mask;
    ASSERT_TRUE(win::GetBitmapView(info.hbmMask, &mask));
    EXPECT_EQ(mask.scan0[0] & 0xC0, 0x40);  // pixel 1 transparent
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    DestroyIcon(icon);
}

}  // namespace
