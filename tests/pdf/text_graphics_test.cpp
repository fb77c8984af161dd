// Content members of the PDF writer: colours, line styles, paths, forms on chosen pages,
// text, and fonts measured from the installed Liberation fonts.
#include <cmath>
#include <cstring>

#include "pdf/pdf_fixture.h"

using pdftest::first_content;
using pdftest::object_text;
using pdftest::PdfTest;

namespace {

class Content : public PdfTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pdf.InitPDFFile(path()));
        pdf.BeginPage();
    }
    // The lines written on the last page since it began.
    std::string lines() {
        pdf.EndPage();
        return pdftest::last_content(finish(pdf));
    }
    cPDF pdf;
};

TEST_F(Content, ColourOperators) {
    pdf.SetColorFill(0);
    pdf.SetColorFill(-255);
    pdf.SetColorStroke(255);
    pdf.SetColorStroke(0x808080);
    pdf.SetColorFill(0xFF0000);  // blue in 0x00BBGGRR
    EXPECT_THROW(pdf.SetColorStroke(-256), ComError);
    EXPECT_EQ(lines(), "0 g\r\n1 g\r\n1 0 0 RG\r\n0.502 0.502 0.502 RG\r\n0 0 1 rg\r\n");
}

TEST_F(Content, LineStylesIgnoreOutOfRangeValues) {
    pdf.SetDash(3, 1.5f);
    pdf.SetDash(0, 0);
    pdf.SetLineWidth(0.25f);
    pdf.SetLineCap(2);
    pdf.SetLineCap(3);
    pdf.SetLineJoin(-1);
    pdf.SetLineJoin(1);
    pdf.SetTextRenderingMode(2);
    pdf.SetTextRenderingMode(3);
    EXPECT_EQ(lines(), "[3 1.5] 0 d\r\n[ ] 0 d\r\n0.25 w\r\n2 J\r\n1 j\r\n2 Tr\r\n");
}

struct PaintCase {
    int32_t options;
    const char* lines;
};
class Paint : public Content, public ::testing::WithParamInterface<PaintCase> {};

TEST_P(Paint, PathPaintingOptions) {
    pdf.LineTo(1, 2, GetParam().options);
    EXPECT_EQ(lines(), std::string("1 2 l\r\n") + GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Options, Paint,
                         ::testing::Values(PaintCase{7, "b\r\n"}, PaintCase{5, "B\r\n"},
                                           PaintCase{4, "f\r\n"}, PaintCase{6, "f\r\n"},
                                           PaintCase{3, "h\r\nS\r\n"}, PaintCase{2, "h\r\n"},
                                           PaintCase{1, "S\r\n"}, PaintCase{0, ""},
                                           PaintCase{9, "S\r\n"}));

TEST_F(Content, RoundedRectangleRadiusIsCutToHalfTheSmallerSide) {
    pdf.Rectangle(0, 0, 40, 100, 1, 30);  // radius 20, k = 11
    EXPECT_EQ(lines(),
              "n\r\n20 0 m\r\n20 0 l\r\n31 0 40 9 40 20 c\r\n40 80 l\r\n40 91 31 100 20 100 c\r\n"
              "20 100 l\r\n9 100 0 91 0 80 c\r\n0 20 l\r\n0 9 9 0 20 0 c\r\nS\r\n");
}

TEST_F(Content, PlainRectangleCircleAndCurve) {
    pdf.Rectangle(1, 2, 3, 4, 4, 0);
    pdf.DrawCircle(10, 10, 10, 0);
    pdf.Curve(1, 2, 3, 4, 5, 6, 1);
    EXPECT_EQ(
        lines(),
        "n\r\n1 2 3 4 re\r\nf\r\n10 0 m\r\n15.5 0 20 4.5 20 10 c\r\n20 15.5 15.5 20 10 20 c\r\n"
        "4.5 20 0 15.5 0 10 c\r\n0 4.5 4.5 0 10 0 c\r\n1 2 3 4 5 6 c\r\nS\r\n");
}

TEST_F(Content, ArcsAndPies) {
    pdf.Arc(100, 100, 10, 0, 90, 1, false, 0, 45, 1);
    pdf.Arc(0, 0, 10, 0, 90, 0.5f, false, 90, 90, 4);  // the fill bit makes it a pie
    EXPECT_EQ(lines(),
              "n\r\n100 100 m\r\n110 100 m\r\n110 100 l\r\n107.071 107.071 l\r\n100 110 l\r\nS\r\n"
              "n\r\n0 0 m\r\n0 10 l\r\n-5 0 l\r\n0 0 l\r\nf\r\n");
}

TEST_F(Content, TextMatricesAlignmentAndSpacing) {
    int32_t font = 0;
    EXPECT_EQ(pdf.LoadFont("Liberation Sans"), 0);  // not while a page is open
    pdf.EndPage();
    font = pdf.LoadFont("Liberation Sans");
    ASSERT_EQ(font, 1);
    pdf.BeginPage();
    pdf.DrawText(10, 20, "a(b)", font, 12);
    pdf.DrawText(100, 20, "Hi", font, 10, 1);  // right: H 722 + i 222 = 9.44 points
    pdf.DrawText(100, 20, "Hi", font, 10, 2, 90);
    pdf.SetWordSpacing(2);
    EXPECT_FLOAT_EQ(pdf.TextWidth("a b", font, 10), (556 + 278 + 556) / 100.0f + 2);
    pdf.SetWordSpacing(0);
    pdf.SetCharSpacing(1);
    EXPECT_FLOAT_EQ(pdf.TextWidth("a b", font, 10), 13.9f + 3);
    pdf.SetTextHorizontalScaling(50);
    EXPECT_FLOAT_EQ(pdf.TextWidth("a b", font, 10), (13.9f + 3) / 2);
    EXPECT_EQ(pdf.TextWidth("a b", 7, 10), 0);
    EXPECT_EQ(lines(),
              "BT\r\n/Font1 12 Tf\r\n10 20 Td\r\n(a\\(b\\)) Tj\r\nET\r\n"
              "BT\r\n/Font1 10 Tf\r\n90.56 20 Td\r\n(Hi) Tj\r\nET\r\n"
              "BT\r\n/Font1 10 Tf\r\n0 1 -1 0 95.28 20 Tm\r\n(Hi) Tj\r\nET\r\n"
              "2 Tw\r\n0 Tw\r\n1 Tc\r\n50 Tz\r\n");
}

TEST_F(PdfTest, FormsAreDrawnOnThePagesTheirOptionsChoose) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    pdf.Margin(5);
    for (auto [name, options] : {std::pair{"Both", 6}, std::pair{"OddFrom3", 12},
                                 std::pair{"All", 15}, std::pair{"Even", 2}}) {
        pdf.StartObject(name, options);
        pdf.Rectangle(0, 0, 10, 10, 1);
        pdf.DrawObject(name);  // a form never draws itself
        pdf.EndObject();
    }
    EXPECT_THROW(pdf.StartObject("All", 7), ComError);
    std::vector<std::string> contents;
    for (int p = 1; p <= 4; ++p) {
        pdf.BeginPage();
        pdf.DrawObject("Nothing");
        pdf.EndPage();
    }
    std::string b = finish(pdf);
    EXPECT_NE(object_text(b, 5).find("/Name /Both\r/BBox [5 5 590.2 837]\r/Matrix [1 0 0 1 0 0]\r"
                                     "/Length 6 0 R >>\rstream\r\nn\r\n0 0 10 10 re\r\nS\r\n"
                                     "endstream"),
              std::string::npos);
    EXPECT_NE(
        b.find("/XObject <<\r\r/Both 5 0 R \r/OddFrom3 7 0 R \r/All 9 0 R \r/Even 11 0 R \r>>"),
        std::string::npos);
    auto page = [&](int first) { return object_text(b, first + 1); };
    EXPECT_NE(page(13).find("stream\r\n/Both Do\r\n/All Do\r\nendstream"), std::string::npos);
    EXPECT_NE(page(16).find("stream\r\n/Both Do\r\n/All Do\r\n/Even Do\r\nendstream"),
              std::string::npos);
    EXPECT_NE(page(19).find("stream\r\n/Both Do\r\n/OddFrom3 Do\r\n/All Do\r\nendstream"),
              std::string::npos);
}

TEST_F(PdfTest, FormNamesAreValidPdfNames) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    pdf.StartObject("My Logo/1", 7);
    pdf.EndObject();
    pdf.BeginPage();
    pdf.EndPage();
    std::string b = finish(pdf);
    EXPECT_NE(b.find("/My#20Logo#2F1 Do"), std::string::npos);
}

// One 16-bit field of an sfnt table, read straight from the font file.
int sfnt_field(const std::vector<uint8_t>& f, const char* tag, size_t offset) {
    auto u16 = [&](size_t at) { return at + 1 < f.size() ? f[at] << 8 | f[at + 1] : 0; };
    int tables = u16(4);
    for (int i = 0; i < tables; ++i) {
        size_t rec = 12 + 16 * size_t(i);
        if (rec + 16 > f.size() || std::memcmp(&f[rec], tag, 4) != 0) continue;
        size_t start = size_t(u16(rec + 8)) << 16 | size_t(u16(rec + 10));
        return u16(start + offset);
    }
    return -1;
}

class Fonts : public PdfTest {};

TEST_F(Fonts, LiberationSansIsMeasuredFromTheInstalledFont) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    ASSERT_EQ(pdf.LoadFont("liberation  sans"), 1);  // case and blanks do not count
    const cPDF::FontRecord* f = pdf.Font(1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->baseName, "LiberationSans");
    EXPECT_EQ(f->firstChar, 32);
    EXPECT_EQ(f->lastChar, 255);
    EXPECT_EQ(f->widths[' '], 278);
    EXPECT_EQ(f->widths['A'], 667);
    EXPECT_EQ(f->widths['W'], 944);
    EXPECT_EQ(f->widths['i'], 222);
    EXPECT_EQ(f->widths[0x80], 556);  // the euro sign
    EXPECT_EQ(f->ascent, 905);
    EXPECT_EQ(f->descent, 212);
    // Average and maximum widths of the installed version, read from its OS/2 and hhea tables.
    pdftest::Command file = pdftest::run("fc-match -f '%{file}' 'Liberation Sans'");
    auto ttf = lumtest::read_file(file.output);
    int em = sfnt_field(ttf, "head", 18);
    ASSERT_GT(em, 0) << file.output;
    EXPECT_EQ(f->avgWidth, std::lround(sfnt_field(ttf, "OS/2", 2) * 1000.0 / em));
    EXPECT_EQ(f->maxWidth, std::lround(sfnt_field(ttf, "hhea", 10) * 1000.0 / em));
    EXPECT_EQ(f->flags, 32);
    std::string b = finish(pdf);
    std::string font = object_text(b, 5);
    EXPECT_EQ(
        font.rfind(
            "<< /Type /Font \r/Subtype /TrueType\r/Name /Font1\r/BaseFont /LiberationSans\r"
            "/FirstChar 32\r/LastChar 255\r/FontDescriptor 6 0 R\r/Encoding /WinAnsiEncoding\r"
            "/Widths [\r\n278 278 355 ",
            0),
        0u);
    int max = f->maxWidth;
    std::string bbox = "/FontBBox [ " + std::to_string(-std::lround(0.2 * max)) + " -212 " +
                       std::to_string(max - std::lround(0.2 * max)) + " 905]\r>>";
    EXPECT_NE(object_text(b, 6).find("/Ascent 905\r/Descent -212\r/AvgWidth " +
                                     std::to_string(f->avgWidth) +
                                     "\r/CapHeight 905\r/StemV 0\r/ItalicAngle 0\r/Flags 32\r"
                                     "/MaxWidth  " +
                                     std::to_string(max) + "\r" + bbox),
              std::string::npos);
    EXPECT_NE(b.find("/Font <<\r/Font1 5 0 R \r>>\r"), std::string::npos);
}

TEST_F(Fonts, BoldItalicSubstitutesAndMissingFamilies) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    EXPECT_EQ(pdf.LoadFont("Liberation Serif", true, true), 1);
    EXPECT_EQ(pdf.Font(1)->baseName, "LiberationSerif,BoldItalic");
    EXPECT_EQ(pdf.Font(1)->italicAngle, -11);
    EXPECT_EQ(pdf.LoadFont("Liberation Sans", true), 2);
    EXPECT_EQ(pdf.Font(2)->widths['A'], 722);  // the bold face's own width
    EXPECT_EQ(pdf.LoadFont("Arial"), 3);       // the metric-compatible installed font
    EXPECT_EQ(pdf.Font(3)->baseName, "LiberationSans");
    EXPECT_EQ(pdf.Font(3)->widths['W'], 944);
    EXPECT_EQ(pdf.LoadFont("NoSuchFont"), 0);
    EXPECT_EQ(pdf.LoadFont("Tahoma"), 0);  // only a fallback would stand in for it
    EXPECT_EQ(pdf.LoadFont(""), 0);
    EXPECT_EQ(pdf.LoadFont("DejaVu Sans Mono"), 4);
    EXPECT_EQ(pdf.Font(4)->widths['i'], pdf.Font(4)->widths['W']);
    std::string b = finish(pdf);
    EXPECT_EQ(b.find("13 0 obj"), std::string::npos);  // two objects per font found
}

TEST_F(Fonts, TextIsExtractedAsWrittenAtTheMeasuredWidths) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    int32_t font = pdf.LoadFont("Liberation Sans");
    pdf.BeginPage();
    const std::string text =
        "Caf\xC3\xA9 \xE2\x82\xAC 5 Stra\xC3\x9F"
        "e";
    pdf.DrawText(72, 700, text, font, 20);
    float width = pdf.TextWidth(text, font, 20);
    pdf.DrawText(72 + width, 650, "|", font, 20, 1);  // right-aligned to the same edge
    pdf.EndPage();
    finish(pdf);
    EXPECT_NE(text_of("out.pdf").find(text), std::string::npos);
    pdftest::Command box = pdftest::run("pdftotext -bbox " + pdftest::shell_quote(path()) + " -");
    // The last word ends where TextWidth said: x of "Straße" plus its width.
    size_t at = box.output.find(
        ">Stra\xC3\x9F"
        "e<");
    ASSERT_NE(at, std::string::npos) << box.output;
    size_t line = box.output.rfind("<word", at);
    double xmax = std::atof(box.output.c_str() + box.output.find("xMax=\"", line) + 6);
    EXPECT_NEAR(xmax, 72 + width, 0.05);
}

}  // namespace
