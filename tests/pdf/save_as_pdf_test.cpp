// SaveAsPdf on the scanning control: one page as large as the image at its resolution.
#include <fstream>

#include "pdf/pdf_fixture.h"
#include "lumtwainpro/twain.h"

using pdftest::object_text;

namespace {

class SaveAsPdf : public ::testing::Test {
  protected:
    int32_t native(int32_t w, int32_t h, PixelFormat format, float dpi) {
        GpImage img = 0;
        EXPECT_EQ(modGdiplus::CreateBlankImage(w, h, format, img), 0);
        EXPECT_EQ(modGdiplus::SetImageResolution(img, dpi, dpi), 0);
        t.SetNativeImage(int32_t(img));
        return int32_t(img);
    }
    std::string read(const std::string& p) {
        auto b = lumtest::read_file(p);
        return std::string(b.begin(), b.end());
    }
    twain t;
    lumtest::TempDir dir;
};

TEST_F(SaveAsPdf, AnA4PageAt300DpiIs595By842Points) {
    native(2480, 3508, PixelFormat24bppRGB, 300);
    std::string out = dir.file("a4.pdf");
    EXPECT_TRUE(t.SaveAsPdf(out));
    std::string b = read(out);
    EXPECT_EQ(pdfcheck::check_pdf(b), "");
    EXPECT_NE(b.find("/Creator  (Pelorix ToolKit)\r/Producer (Pelorix ToolKit)"),
              std::string::npos);
    EXPECT_NE(b.find("/Title ()\r/Author (Pelorix ToolKit)"), std::string::npos);
    // 5 image, 6 its length, 7 page, 8 contents, 9 their length.
    EXPECT_NE(object_text(b, 7).find("/MediaBox [0 0 595 842]\r/CropBox [0 0 595 842]\r\r>>"),
              std::string::npos);
    EXPECT_EQ(object_text(b, 8),
              "<< /Length 9 0 R >>\rstream\r\nq\r595.00 0 0 842.00 0.00 0.00 cm /Img1 Do Q\r\n"
              "endstream\r\n");
    pdftest::Command info = pdftest::run("pdfinfo " + pdftest::shell_quote(out));
    EXPECT_NE(info.output.find("595 x 842 pts (A4)"), std::string::npos) << info.output;
}

TEST_F(SaveAsPdf, OneBitPagesKeepTheirPaletteObject) {
    native(100, 50, PixelFormat1bppIndexed, 200);
    std::string out = dir.file("bw.pdf");
    EXPECT_TRUE(t.SaveAsPdf(out));
    std::string b = read(out);
    EXPECT_EQ(pdfcheck::check_pdf(b), "");
    EXPECT_NE(object_text(b, 8).find("/MediaBox [0 0 36 18]"), std::string::npos);
    EXPECT_NE(object_text(b, 5).find("[/Indexed /DeviceRGB 1 7 0 R]"), std::string::npos);
}

TEST_F(SaveAsPdf, FailuresAnswerFalseAndAZeroResolutionIsADivisionByZero) {
    std::string out = dir.file("x.pdf");
    EXPECT_FALSE(t.SaveAsPdf(out));  // no native image
    native(10, 10, PixelFormat24bppRGB, 96);
    EXPECT_FALSE(t.SaveAsPdf(dir.file("missing/x.pdf")));
    t.SetNativeImage(0x7654321);  // a stale identifier reads resolution 0
    try {
        t.SaveAsPdf(out);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), ComError::kDivisionByZero);
    }
    EXPECT_FALSE(std::ifstream(out).good());
    native(1, 1, PixelFormat24bppRGB, 600);  // under a point: a page of one point
    EXPECT_TRUE(t.SaveAsPdf(out));
    EXPECT_NE(read(out).find("/MediaBox [0 0 1 1]"), std::string::npos);
}

}  // namespace
