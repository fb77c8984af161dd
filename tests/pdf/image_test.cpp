// Image objects of the PDF writer: the raw and JPEG paths, palettes, lengths, and what
// poppler renders from them.
#include <zlib.h>

#include <cmath>

#include "imaging/save.h"
#include "pdf/pdf_fixture.h"

using pdftest::object_text;
using pdftest::PdfTest;

namespace {

// The data of the stream in object `n`.
std::string stream_of(const std::string& pdf, int n) {
    std::string obj = object_text(pdf, n);
    size_t at = obj.find("stream\r\n") + 8;
    return obj.substr(at, obj.rfind("\rendstream") - at);
}

std::string inflate(const std::string& z, size_t size) {
    std::string out(size, '\0');
    uLongf n = uLongf(size);
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                         reinterpret_cast<const Bytef*>(z.data()), uLong(z.size())),
              Z_OK);
    out.resize(n);
    return out;
}

class Images : public PdfTest {
  protected:
    // One page showing the image at one point per pixel.
    std::string one_page(cPDF& pdf, GpImage img, int32_t w, int32_t h, int32_t* number = nullptr) {
        EXPECT_TRUE(pdf.InitPDFFile(path()));
        int32_t n = pdf.PdfAddImage(VARIANT::I4(int32_t(img)), 2);
        EXPECT_EQ(n, 1);
        if (number) *number = n;
        pdf.PaperWidth(float(w));
        pdf.PaperHeight(float(h));
        pdf.BeginPage();
        pdf.DrawImg(n, 0, 0, float(w), float(h));
        pdf.EndPage();
        return finish(pdf);
    }
};

TEST_F(Images, OneBitImageTenPixelsWideWithItsSixBytePalette) {
    // Rows of 2 bytes: 1010101010 and 0101010101 (1 = white in the default palette).
    std::vector<uint8_t> rows = {0xAA, 0x80, 0, 0, 0x55, 0x40, 0, 0};
    GpImage img = image(10, 2, PixelFormat1bppIndexed, rows, 4);
    cPDF pdf;
    std::string b = one_page(pdf, img, 10, 2);
    std::string obj = object_text(b, 5);
    EXPECT_EQ(obj.substr(0, obj.find(">>\rstream")),
              "<<\r/Type /XObject\r/Subtype /Image\r/Name /Img1\r/Width 10\r/Height 2\r\n"
              "/BitsPerComponent 1\r/ColorSpace [/Indexed /DeviceRGB 1 7 0 R]\r/Length " +
                  std::to_string(stream_of(b, 5).size()) + " /Filter/FlateDecode\r\n");
    EXPECT_EQ(inflate(stream_of(b, 5), 16), std::string("\xAA\x80\x55\x40", 4));
    EXPECT_EQ(object_text(b, 6), std::to_string(stream_of(b, 5).size()) + "\r\n");
    EXPECT_EQ(object_text(b, 7),
              std::string("<</Length 6 >>\rstream\r\n\0\0\0\xFF\xFF\xFF", 29) + "\rendstream\r\n");
    EXPECT_NE(b.find("/XObject <<\r/Img1 5 0 R \r\r>>"), std::string::npos);
    EXPECT_NE(b.find("/ProcSet [/PDF /Text /ImageB /ImageC /ImageI ]"), std::string::npos);
    EXPECT_NE(b.find("q\r10.00 0 0 2.00 0.00 0.00 cm /Img1 Do Q\r\n"), std::string::npos);
    pdftest::Raster r = render("out.pdf");
    ASSERT_EQ(r.width * r.height, 20 * 16);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(r.at(x, 0, 0), x % 2 == 0 ? 255 : 0) << x;
        EXPECT_EQ(r.at(x, 1, 0), x % 2 == 1 ? 255 : 0) << x;
    }
}

TEST_F(Images, SixteenColourPaletteInEightBitFormatIsPaddedTo256Entries) {
    std::vector<uint8_t> rows(16 * 2);
    for (int i = 0; i < 32; ++i) rows[size_t(i)] = uint8_t(i % 16);
    GpImage img = image(16, 2, PixelFormat8bppIndexed, rows, 16);
    std::vector<ARGB> colours;
    for (uint32_t i = 0; i < 16; ++i)
        colours.push_back(0xFF000000u | (i * 16) << 16 | (255 - i) << 8 | i);
    set_palette(img, colours);
    cPDF pdf;
    cPDF& p = pdf;
    p.CompressData(false);
    std::string b = one_page(p, img, 16, 2);
    EXPECT_NE(object_text(b, 5).find("/ColorSpace [/Indexed /DeviceRGB 255 7 0 R]\r/Length 32\r\n"),
              std::string::npos);
    std::string palette = stream_of(b, 7);
    ASSERT_EQ(palette.size(), 768u);
    EXPECT_EQ(uint8_t(palette[3 * 15]), 240);
    EXPECT_EQ(uint8_t(palette[3 * 15 + 1]), 240);
    EXPECT_EQ(palette.substr(48), std::string(720, '\0'));
    pdftest::Raster r = render("out.pdf");
    ASSERT_EQ(r.width, 64);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(r.at(x, y, 0), x * 16) << x;
            EXPECT_EQ(r.at(x, y, 1), 255 - x) << x;
            EXPECT_EQ(r.at(x, y, 2), x) << x;
        }
}

TEST_F(Images, UncompressedThirtyTwoBitImageIsRgbWithAnIndirectLength) {
    std::vector<uint8_t> rows = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
    GpImage img = image(2, 2, PixelFormat32bppARGB, rows, 8);
    cPDF pdf;
    pdf.CompressData(false);
    std::string b = one_page(pdf, img, 2, 2);
    EXPECT_NE(object_text(b, 5).find("/BitsPerComponent 8\r/ColorSpace /DeviceRGB\r"
                                     "/Length 6 0 R\r\n>>\rstream\r\n"),
              std::string::npos);
    EXPECT_EQ(stream_of(b, 5), "\3\2\1\6\5\4\x09\x08\x07\x0c\x0b\x0a");
    EXPECT_EQ(object_text(b, 6), "12\r\n");
    EXPECT_EQ(object_text(b, 7).substr(0, 8), "<<\r/Type");  // the page: no palette object
}

TEST_F(Images, ColourImagesGoTheJpegPathAndRenderCloseToTheirPixels) {
    const int w = 64, h = 48;
    std::vector<uint8_t> rows(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rows[size_t(y * w + x) * 3];
            p[0] = uint8_t(4 * x), p[1] = uint8_t(5 * y), p[2] = uint8_t(255 - 4 * x);
        }
    GpImage img = image(w, h, PixelFormat24bppRGB, rows, w * 3, 144);
    cPDF pdf;
    int32_t n = 0;
    std::string b = one_page(pdf, img, w, h, &n);
    EXPECT_NE(object_text(b, 5).find("/ColorSpace /DeviceRGB\r/Length 6 0 R /Filter/DCTDecode"),
              std::string::npos);
    EXPECT_EQ(stream_of(b, 5).substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(pdf.ImageWidth(n), w);
    EXPECT_EQ(pdf.ImageHeight(n), h);
    EXPECT_EQ(pdf.ImageResX(n), 144);
    EXPECT_EQ(pdf.ImageResY(2), 0);
    pdftest::Raster r = render("out.pdf");
    ASSERT_EQ(r.width, 4 * w);
    double sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(r.at(x, y, c) - int(rows[size_t(y * w + x) * 3 + 2 - size_t(c)]));
    EXPECT_LT(sum / (w * h * 3), 3.0);  // JPEG quality 90: a mean error of a few levels
}

TEST_F(Images, GreyJpegDataIsDescribedAsGrey) {
    std::vector<uint8_t> rows(8 * 8 * 2, 0x80);
    GpImage img = image(8, 8, PixelFormat16bppGrayScale, rows, 16);
    cPDF pdf;
    std::string b = one_page(pdf, img, 8, 8);
    EXPECT_NE(object_text(b, 5).find("/ColorSpace /DeviceGray\r"), std::string::npos);
}

TEST_F(Images, IndexedAsJpegSendsGreyPagesThroughJpegButKeepsOneBitPagesLossless) {
    std::vector<uint8_t> rows(8 * 8, 200);
    GpImage grey = image(8, 8, PixelFormat8bppIndexed, rows, 8);
    std::vector<ARGB> ramp;
    for (uint32_t i = 0; i < 256; ++i) ramp.push_back(0xFF000000u | i << 16 | i << 8 | i);
    set_palette(grey, ramp);
    GpImage bw = image(8, 8, PixelFormat1bppIndexed);
    cPDF pdf;
    pdf.IndexedAsJpeg(true);
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::I4(int32_t(grey)), 2), 1);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::I4(int32_t(bw)), 2), 2);
    std::string b = finish(pdf);
    EXPECT_NE(object_text(b, 5).find("/ColorSpace /DeviceGray\r/Length 6 0 R /Filter/DCTDecode"),
              std::string::npos);
    EXPECT_NE(object_text(b, 7).find("/Filter/FlateDecode"), std::string::npos);
}

TEST_F(Images, CompressionLevelsAndFilesAsSources) {
    GpImage img = image(300, 200, PixelFormat8bppIndexed);
    ASSERT_EQ(modGdiplus::SavePng(img, path("in.png")), 0);
    std::vector<size_t> sizes;
    for (int16_t level : {int16_t(1), int16_t(9)}) {
        cPDF pdf;
        pdf.CompressLevel(level);
        ASSERT_TRUE(pdf.InitPDFFile(path()));
        EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str(path("in.png")), 1), 1);
        EXPECT_EQ(pdf.ImageWidth(1), 300);
        sizes.push_back(stream_of(finish(pdf), 5).size());
    }
    EXPECT_LE(sizes[1], sizes[0]);
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str(path("missing.png")), 1), 0);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::I4(0), 2), 0);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::I4(int32_t(img)), 3), 0);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::Str("not a number"), 2), 0);
    std::string b = finish(pdf);
    EXPECT_EQ(b.find("5 0 obj"), std::string::npos);  // failures write nothing
}

}  // namespace
