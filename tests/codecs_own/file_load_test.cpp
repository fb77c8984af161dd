// Loading files through the engine: GDI+ first, then the picture loader, then the PNM and
// PCX readers by extension.
#include "codecs/cPDF.h"
#include "imaging/file_load.h"
#include "imaging/image_props.h"
#include "own_fixture.h"
#include "platform/ole/picture_load.h"

using namespace owntest;
using namespace modGdiplus;

namespace {

class FileLoad : public ::testing::Test {
  protected:
    FileLoad() { EngineStartup(); }
    ~FileLoad() override { EngineShutdown(); }

    std::string put(const std::string& name, const Bytes& content) {
        std::string p = dir.file(name);
        write_bytes(p, content);
        return p;
    }
    static std::string format_name(GpImage image) {
        for (const ImageRecord& r : ImageTable())
            if (r.image == image) return r.formatName;
        return "(not registered)";
    }
    static std::string pixel_format(GpImage image) {
        std::string n;
        GetPixelFormatName(image, n);
        return n;
    }
    static ARGB pixel(GpImage image, int x, int y) {
        ARGB c = 0;
        GetPixel(image, x, y, c);
        return c;
    }

    lumtest::TempDir dir;
};

Bytes pgm() {
    return Bytes{'P', '5', '\n', '2', ' ', '1', '\n', '2', '5', '5', '\n', 40, 220};
}

Bytes pcx_8bit(int hdpi, int vdpi) {
    Bytes f(132, 0);
    f[0] = 10, f[1] = 5, f[2] = 0, f[3] = 8;
    f[8] = 2, f[10] = 0;  // 3 x 1
    f[12] = uint8_t(hdpi), f[13] = uint8_t(hdpi >> 8), f[14] = uint8_t(vdpi),
    f[15] = uint8_t(vdpi >> 8);
    f[65] = 1, f[66] = 4;
    f[128] = 10, f[129] = 20, f[130] = 30;
    return f;
}

}  // namespace

TEST_F(FileLoad, PgmThroughTheOwnReader) {
    GpImage image = 0;
    ASSERT_EQ(LoadImageFromFile(image, put("scan.pgm", pgm())), 0);
    ASSERT_NE(image, 0u);
    EXPECT_EQ(format_name(image), "PGM");
    EXPECT_EQ(pixel_format(image), "24bppRGB");
    EXPECT_EQ(pixel(image, 0, 0), 0xFF282828u);
    EXPECT_EQ(pixel(image, 1, 0), 0xFFDCDCDCu);
    EXPECT_EQ(DisposeImage(image), 0);
}

TEST_F(FileLoad, EveryPnmExtensionNamesTheFormat) {
    for (const char* ext : {"pnm", "PPM", "pbm", "pgm"}) {
        GpImage image = 0;
        ASSERT_EQ(LoadImageFromFile(image, put(std::string("a.") + ext, pgm())), 0) << ext;
        std::string want = ext;
        for (char& c : want) c = char(toupper(c));
        EXPECT_EQ(format_name(image), want);
        DisposeImage(image);
    }
}

TEST_F(FileLoad, PcxWithItsResolution) {
    GpImage image = 0;
    ASSERT_EQ(LoadImageFromFile(image, put("page.pcx", pcx_8bit(200, 100))), 0);
    EXPECT_EQ(format_name(image), "PCX");
    EXPECT_EQ(pixel_format(image), "8bppIndexed");
    float h = 0, v = 0;
    GetImageHorizontalResolution(image, h);
    GetImageVerticalResolution(image, v);
    EXPECT_EQ(h, 200.0f);
    EXPECT_EQ(v, 100.0f);
    EXPECT_EQ(pixel(image, 2, 0), 0xFF1E1E1Eu) << "grey ramp: index 30";
    DisposeImage(image);
    // Without a resolution in the file the image keeps the default.
    ASSERT_EQ(LoadImageFromFile(image, put("nodpi.pcx", pcx_8bit(0, 100))), 0);
    GetImageHorizontalResolution(image, h);
    EXPECT_EQ(h, 96.0f);
    DisposeImage(image);
}

TEST_F(FileLoad, WhatNothingReadsGives13) {
    const size_t before = ImageCount();
    GpImage image = 7;
    EXPECT_EQ(LoadImageFromFile(image, put("notes.xyz", bytes_of("just some text"))), 13);
    EXPECT_EQ(image, 0u);
    // The extension test takes exactly three characters: ".pg" is not a PNM name.
    EXPECT_EQ(LoadImageFromFile(image, put("scan.pg", pgm())), 13);
    EXPECT_EQ(LoadImageFromFile(image, put("empty.pgm", {})), 13);
    EXPECT_EQ(ImageCount(), before);
}

TEST_F(FileLoad, MissingFileGives10WithoutADecoder) {
    const size_t before = ImageCount();
    GpImage image = 7;
    EXPECT_EQ(LoadImageFromFile(image, dir.file("missing.pgm")), 10);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(LoadImageFromFile(image, dir.path()), 10) << "a folder is no file";
    EXPECT_EQ(LoadImageFromFileICM(image, dir.file("missing.jpg")), 10);
    EXPECT_EQ(LoadImageFromFile(image, ""), 10);
    EXPECT_EQ(ImageCount(), before);
}

TEST_F(FileLoad, DamagedOwnFormatsGive1) {
    GpImage image = 7;
    EXPECT_EQ(LoadImageFromFile(image, put("zero.pgm", bytes_of("P5 0 3 255\n"))), 1);
    EXPECT_EQ(image, 0u);
    Bytes cut = pcx_8bit(72, 72);
    cut.pop_back();
    cut.pop_back();
    EXPECT_EQ(LoadImageFromFile(image, put("cut.pcx", cut)), 1);
    EXPECT_EQ(LoadImageFromFile(image, put("text.pcx", bytes_of("not a picture"))), 1);
    EXPECT_EQ(image, 0u);
}

TEST_F(FileLoad, GdiplusFormatsKeepTheirNamesWhateverTheExtension) {
    GpImage image = 0;
    Bytes jpeg = lumtest::read_file(lumtest::source_dir() + "/tests/data/small.jpg");
    ASSERT_EQ(LoadImageFromFile(image, put("photo.pgm", jpeg)), 0);
    EXPECT_EQ(format_name(image), "JPEG");
    DisposeImage(image);
    ASSERT_EQ(LoadImageFromFileICM(image, put("photo.jpg", jpeg)), 0);
    EXPECT_EQ(format_name(image), "JPEG");
    DisposeImage(image);
}

// A cursor file is no GDI+ format; the picture loader reads it as an icon.
TEST_F(FileLoad, PictureLoaderReadsCursors) {
    Bytes cur = lumtest::read_file(lumtest::source_dir() + "/fuzz/seeds/decode_ico/dib4.ico");
    ASSERT_GT(cur.size(), 6u);
    cur[2] = 2;
    GpImage image = 0;
    ASSERT_EQ(LoadImageFromFile(image, put("arrow.cur", cur)), 0);
    EXPECT_EQ(pixel_format(image), "32bppARGB");
    EXPECT_EQ(format_name(image), "Memory BMP");
    DisposeImage(image);

    ComPtr<IPicture> picture;
    ASSERT_EQ(OleLoadPicturePath(put("c.cur", cur).c_str(), nullptr, 0, 0, IID_IPicture,
                                 reinterpret_cast<void**>(picture.put())),
              S_OK);
    SHORT type = 0;
    picture->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_ICON);
    picture = nullptr;
    EXPECT_EQ(OleLoadPicturePath(put("p.pgm", pgm()).c_str(), nullptr, 0, 0, IID_IPicture,
                                 reinterpret_cast<void**>(picture.put())),
              CTL_E_INVALIDPICTURE);
    EXPECT_EQ(OleLoadPicturePath(dir.file("none.bmp").c_str(), nullptr, 0, 0, IID_IPicture,
                                 reinterpret_cast<void**>(picture.put())),
              CTL_E_FILENOTFOUND);
}

TEST_F(FileLoad, BigPnmKeepsEveryPixel) {
    const int w = 301, h = 77;
    Bytes f = bytes_of("P6\n301 77\n255\n");
    Bytes rgb = random_bytes(size_t(w * h * 3), 9);
    f.insert(f.end(), rgb.begin(), rgb.end());
    GpImage image = 0;
    ASSERT_EQ(LoadImageFromFile(image, put("big.ppm", f)), 0);
    for (auto [x, y] : {std::pair{0, 0}, {300, 0}, {150, 40}, {300, 76}}) {
        const uint8_t* p = rgb.data() + 3 * (size_t(y) * w + size_t(x));
        EXPECT_EQ(pixel(image, x, y),
                  0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
    DisposeImage(image);
}

// The PDF writer loads image files through the same chain.
TEST_F(FileLoad, PdfImagesByFileNameUseTheOwnReaders) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(dir.file("doc.pdf")));
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str(put("scan.pgm", pgm())), 1), 1);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str(put("page.pcx", pcx_8bit(300, 300))), 1), 2);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str(dir.file("missing.pgm")), 1), 0);
    pdf.BeginPage();
    pdf.DrawImg(1, 0, 0, 100, 50);
    pdf.EndPage();
    pdf.ClosePDFFile();
    EXPECT_GT(lumtest::read_file(dir.file("doc.pdf")).size(), 100u);
}
