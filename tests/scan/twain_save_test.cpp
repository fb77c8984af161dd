// Save, query, cloning and export members of the control on images made in memory.
#include <gtest/gtest.h>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "imaging/save.h"
#include "platform/gdiplus/pixel_format.h"
#include "scan/save_fixture.h"
#include "lumtwainpro/twain.h"
#include "support/file_probe.h"
#include "support/test_env.h"

TEST_F(TwainSave, NoNativeImageKeepsAFailingStatus) {
    control.GetWidth();
    ASSERT_EQ(control.GetStat(), 2);
    control.CloseImage(0);
    EXPECT_EQ(control.SaveAsBmp(path("a.bmp")), 2);
    EXPECT_EQ(control.SaveAsJpeg(path("a.jpg")), 2);
    EXPECT_EQ(control.TiffSaveAsNativeMultiPage(path("a.tif")), 2);
    EXPECT_EQ(control.SaveAsString("bmp"), "");
    EXPECT_TRUE(lumtest::read_file(path("a.bmp")).empty());
    EXPECT_EQ(control.TiffCloseNativeMultiPage(), 2);
    EXPECT_EQ(control.TiffAddToNativeMultipage(5), 1) << "no session";
    EXPECT_EQ(control.GetStat(), 1);
    EXPECT_EQ(control.SetHorizontalResolution(300), 1) << "returns the status unchanged";
}

TEST_F(TwainSave, JpegQualityIsClampedAndZeroMeansTheDefault) {
    make_native(64, 48);
    ASSERT_EQ(control.SaveAsJpeg(path("q150.jpg"), 150), 0);
    auto table = lumtest::jpeg_luma_table(lumtest::read_file(path("q150.jpg")));
    ASSERT_EQ(table.size(), 64u);
    for (int v : table) EXPECT_EQ(v, 1) << "quality 100";
    ASSERT_EQ(control.SaveAsJpeg(path("q75.jpg"), 75), 0);
    for (int q : {0, -5}) {
        std::string name = "q" + std::to_string(q) + ".jpg";
        ASSERT_EQ(control.SaveAsJpeg(path(name), q), 0);
        EXPECT_EQ(lumtest::read_file(path(name)), lumtest::read_file(path("q75.jpg")))
            << "no parameter: the encoder's default quality";
    }
}

TEST_F(TwainSave, TiffCompressionFollowsTheDepth) {
    make_native(40, 30);
    auto compression = [&](const std::string& name) {
        auto pages = lumtest::tiff_pages(lumtest::read_file(path(name)));
        return pages.empty() ? 0u : pages[0][lumtest::kTiffCompression];
    };
    ASSERT_EQ(control.SaveAsTiff(path("g4.tif"), 4), 0);
    EXPECT_EQ(compression("g4.tif"), 5u) << "CCITT on a 24-bit image becomes LZW";
    ASSERT_EQ(control.SaveAsTiff(path("g3d1.tif"), 3, 1), 0);
    EXPECT_EQ(compression("g3d1.tif"), 3u) << "a colour depth of 1 keeps CCITT3";
    ASSERT_EQ(control.SaveAsTiff(path("rle.tif"), 5), 0);
    EXPECT_EQ(compression("rle.tif"), 5u);
    ASSERT_EQ(control.SaveAsTiff(path("none.tif"), 6), 0);
    EXPECT_EQ(compression("none.tif"), 1u);
    ASSERT_EQ(control.SaveAsTiff(path("d16.tif"), 2, 16), 0);
    auto pages = lumtest::tiff_pages(lumtest::read_file(path("d16.tif")));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0][lumtest::kTiffSamplesPerPixel], 3u) << "16 asks for 24 bits";
    make_native(40, 30, PixelFormat1bppIndexed);
    ASSERT_EQ(control.SaveAsTiff(path("bw.tif"), 4), 0);
    EXPECT_EQ(compression("bw.tif"), 4u) << "a 1-bit image keeps CCITT4";
}

TEST(TwainSaveOldGdiplus, DepthsUnder24AreDroppedBelowVersion6) {
    LumGdiplusSetFileVersion("5.1.3102.2180");
    lumtest::TempDir dir;
    {
        twain control;
        GpImage img = 0;
        modGdiplus::CreateBlankImage(16, 16, PixelFormat24bppRGB, img);
        control.SetNativeImage(int32_t(img));
        ASSERT_EQ(control.SaveAsTiff(dir.file("d8.tif"), 2, 8), 0);
        auto pages = lumtest::tiff_pages(lumtest::read_file(dir.file("d8.tif")));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0][lumtest::kTiffSamplesPerPixel], 3u) << "depth 8 not passed";
        // Writing 24-bit pixels into an indexed image from a buffer is refused with 60.
        GpImage indexed = 0;
        modGdiplus::CreateBlankImage(4, 4, PixelFormat8bppIndexed, indexed);
        std::vector<BYTE> rgb(4 * 12);
        BitmapData data{4, 4, 12, PixelFormat24bppRGB, rgb.data(), 0};
        GpRect r{0, 0, 4, 4};
        EXPECT_EQ(modGdiplus::LockImageBits(indexed, r, modGdiplus::kLockWriteFromBuffer,
                                            PixelFormat24bppRGB, data),
                  60);
        std::vector<BYTE> idx(16);
        BitmapData same{4, 4, 4, PixelFormat8bppIndexed, idx.data(), 0};
        EXPECT_EQ(modGdiplus::LockImageBits(indexed, r, modGdiplus::kLockWriteFromBuffer,
                                            PixelFormat8bppIndexed, same),
                  0);
        modGdiplus::UnlockImageBits(indexed, same);
        GpGraphics g = 0;
        EXPECT_EQ(modGdiplus::GetImageGraphics(indexed, 0, g), 60);
    }
    LumGdiplusSetFileVersion("6.1.7601.17514");
    twain control;
    GpImage indexed = 0;
    modGdiplus::CreateBlankImage(4, 4, PixelFormat8bppIndexed, indexed);
    std::vector<BYTE> rgb(4 * 12);
    BitmapData data{4, 4, 12, PixelFormat24bppRGB, rgb.data(), 0};
    GpRect r{0, 0, 4, 4};
    EXPECT_EQ(modGdiplus::LockImageBits(indexed, r, modGdiplus::kLockWriteFromBuffer,
                                        PixelFormat24bppRGB, data),
              0)
        << "attempted from version 6 on";
    modGdiplus::UnlockImageBits(indexed, data);
    GpGraphics g = 0;
    EXPECT_NE(modGdiplus::GetImageGraphics(indexed, 0, g), 60);
    LumGdiplusSetFileVersion("6.1.7601.24546");
}

TEST_F(TwainSave, StreamFormatNamesAndParameters) {
    make_native(32, 32);
    ComPtr<IStream> s;
    auto bytes_of = [](IStream* st) {
        std::vector<uint8_t> b;
        st->Seek(0, STREAM_SEEK_SET, nullptr);
        ole::ReadAll(st, &b);
        return b;
    };
    ASSERT_EQ(control.SaveAsStream(s, "  JPG ", 0), 0);
    uint64_t pos = 0;
    s->Seek(0, STREAM_SEEK_CUR, &pos);
    auto jpg = bytes_of(s.get());
    EXPECT_EQ(pos, jpg.size()) << "handed back at the end of the data";
    ASSERT_GT(jpg.size(), 2u);
    EXPECT_EQ(jpg[0], 0xFF);
    EXPECT_EQ(jpg[1], 0xD8);
    ASSERT_EQ(control.SaveAsStream(s, "jpeg", -1), 0);
    control.SaveAsJpeg(path("q75.jpg"), 75);
    EXPECT_EQ(bytes_of(s.get()), lumtest::read_file(path("q75.jpg"))) << "-1 means quality 75";
    ASSERT_EQ(control.SaveAsStream(s, "nosuchformat", 0), 0);
    auto bmp = bytes_of(s.get());
    ASSERT_GT(bmp.size(), 2u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    ASSERT_EQ(control.SaveAsStream(s, "tif", 4), 0);
    EXPECT_EQ(lumtest::tiff_pages(bytes_of(s.get())).size(), 1u);
}

TEST_F(TwainSave, ByteArrayAndStringHoldTheFile) {
    make_native(140, 9);  // x reaches 0x80
    SafeArray<uint8_t> bytes;
    int32_t count = 0;
    ASSERT_EQ(control.SaveAsByteArray(bytes, count, "bmp"), 0);
    control.SaveAsBmp(path("a.bmp"));
    auto file = lumtest::read_file(path("a.bmp"));
    EXPECT_EQ(count, int32_t(file.size()));
    EXPECT_EQ(bytes.lbound(), 0);
    EXPECT_EQ(bytes.values(), file);
    std::string text = control.SaveAsString("bmp");
    // One character per byte: count the UTF-8 characters, and find the euro sign for 0x80.
    size_t chars = 0, euros = 0, bytes80 = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0xC0) != 0x80) ++chars;
    for (size_t i = 0; i + 2 < text.size(); ++i)
        if (text.compare(i, 3, "\xE2\x82\xAC") == 0) ++euros;
    for (uint8_t b : file) bytes80 += b == 0x80;
    EXPECT_EQ(chars, file.size());
    ASSERT_GT(bytes80, 0u) << "the pattern holds the byte 0x80";
    EXPECT_EQ(euros, bytes80);
}

TEST_F(TwainSave, NativeMultipageTiffOfThreePages) {
    int32_t head = make_native(30, 20);
    GpImage p2 = 0, p3 = 0;
    modGdiplus::CreateBlankImage(30, 20, PixelFormat24bppRGB, p2);
    modGdiplus::CreateBlankImage(15, 10, PixelFormat1bppIndexed, p3);
    ASSERT_EQ(control.TiffSaveAsNativeMultiPage(path("m.tif"), 4), 0);
    EXPECT_EQ(control.multi_page_image(), head);
    EXPECT_EQ(control.TiffAddToNativeMultipage(int32_t(p2)), 0);
    EXPECT_EQ(control.TiffAddToNativeMultipage(int32_t(p3)), 0);
    EXPECT_EQ(control.TiffCloseNativeMultiPage(), 0);
    EXPECT_EQ(control.GetNativeImage(), 0) << "the head was still native";
    EXPECT_EQ(control.multi_page_image(), 0);
    auto pages = lumtest::tiff_pages(lumtest::read_file(path("m.tif")));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0][lumtest::kTiffCompression], 5u) << "CCITT4 on 24 bits becomes LZW";
}

TEST_F(TwainSave, QueriesOfTheNativeImage) {
    EXPECT_EQ(control.GetWidth(), 0);
    EXPECT_EQ(control.GetStat(), 2);
    EXPECT_EQ(control.GetImageFormat(), "");
    EXPECT_EQ(control.GetStat(), 2);
    EXPECT_FALSE(control.GetPicture());
    make_native(20, 10, PixelFormat48bppRGB);
    EXPECT_EQ(control.GetPixelFormat(), "48bppRGB");
    EXPECT_EQ(control.GetIntPixelFormat(), 48);
    EXPECT_EQ(control.GetImageFormat(), "Memory BMP");
    EXPECT_EQ(modGdiplus::BitDepthOfFormat(PixelFormat32bppCMYK), 0);
    EXPECT_EQ(control.SetVerticalResolution(100), 0);
    EXPECT_EQ(control.SetHorizontalResolution(200), 0);
    EXPECT_EQ(control.SetHorizontalResolution(300), 0);
    EXPECT_EQ(control.GetHorizontalResolution(), 300.0f);
    EXPECT_EQ(control.GetVerticalResolution(), 100.0f);
}

TEST_F(TwainSave, ClonesAreIndependent) {
    int32_t src = make_native(20, 10);
    int32_t clone = control.CreateClonedImage(src);
    ASSERT_NE(clone, 0);
    EXPECT_EQ(control.GetNativeImage(), src);
    EXPECT_EQ(control.CloseImage(clone), 0);
    EXPECT_EQ(control.GetWidth(), 20) << "closing the clone leaves its source";
    EXPECT_EQ(control.CreateClonedImage(0), 0);
    EXPECT_EQ(control.GetStat(), 2);
    int32_t area = control.CreateClonedImageArea(src, 1, 1, 5, 4);
    ASSERT_NE(area, 0);
    ARGB a = 0, b = 0;
    modGdiplus::GetPixel(GpImage(area), 2, 3, a);
    modGdiplus::GetPixel(GpImage(src), 2, 3, b);
    EXPECT_EQ(a, b) << "1-based arguments: the copy starts at the top-left pixel";
    int32_t shifted = control.CreateClonedImageArea(src, 3, 2, 5, 4);
    modGdiplus::GetPixel(GpImage(shifted), 0, 0, a);
    modGdiplus::GetPixel(GpImage(src), 2, 1, b);
    EXPECT_EQ(a, b);
    control.CloseImage(7);
    int32_t before = control.GetStat();
    EXPECT_EQ(control.CreateClonedImageArea(0, 1, 1, 1, 1), 0);
    EXPECT_EQ(control.GetStat(), before);
}

TEST_F(TwainSave, PictureAndBitmapExports) {
    GpImage img = 0;
    modGdiplus::CreateBlankImage(6, 6, PixelFormat32bppARGB, img);  // fully transparent
    control.SetNativeImage(int32_t(img));
    ComPtr<IPicture> picture = control.GetPicture();
    ASSERT_TRUE(picture);
    SHORT type = 0;
    picture->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    OLE_HANDLE h = 0;
    picture->get_Handle(&h);
    win::BitmapView view;
    ASSERT_TRUE(win::GetBitmapView(h, &view));
    EXPECT_EQ(view.scan0[0] | view.scan0[1] | view.scan0[2], 0) << "on a black background";
    int32_t hbm = control.GetHBitmap();
    ASSERT_NE(hbm, 0);
    BITMAP bm{};
    EXPECT_NE(GetObject(HGDIOBJ(hbm), sizeof bm, &bm), 0);
    control.DeleteHBitmap(hbm);
    EXPECT_EQ(GetObject(HGDIOBJ(hbm), sizeof bm, &bm), 0) << "deleted";
    control.DeletePictureObject(picture);
    EXPECT_FALSE(win::GetBitmapView(h, &view)) << "the picture's handle is deleted";
}
