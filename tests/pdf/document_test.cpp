// Documents and pages of the PDF writer: the byte layout, page geometry, properties,
// counters, and what happens to the file when writing fails or the calls come in a bad order.
#include <regex>

#include "pdf/pdf_fixture.h"
#include "platform/win/file.h"

using pdftest::object_text;
using pdftest::PdfTest;

namespace {

std::string mask_date(std::string pdf) {
    return std::regex_replace(pdf, std::regex("\\(D:[0-9]{14}(Z|[+-][0-9]{2}'[0-9]{2}')\\)"),
                              "(DATE)");
}

TEST_F(PdfTest, EmptyDocumentHasTheFixedObjectsInTheirOrder) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    std::string b = mask_date(finish(pdf));
    std::string head =
        "%PDF-1.3\r\n1 0 obj\r\n<<\r/Title ()\r/Author ()\r/Creator  ()\r/Producer ()\r"
        "/CreationDate (DATE)\r>>\r\nendobj\r\n2 0 obj\r\n<<\r/Type /Catalog\r/Pages 3 0 R\r"
        "/PageMode /UseNone\r/PageLayout /OneColumn\r/ViewerPreferences << /HideToolbar false "
        "/DisplayDocTitle true /HideWindowUI false >>\r>>\r\nendobj\r\n4 0 obj\r\n<<\r"
        "/ProcSet [/PDF /Text ]\r>>\r\nendobj\r\n3 0 obj\r\n<<\r/Type /Pages\r/Count 0\r"
        "/Kids [ ]\r/Resources 4 0 R\r>>\r\nendobj\r\nxref\r\n0 5\r\n0000000000 65535 f\r\n";
    EXPECT_EQ(b.substr(0, head.size()), head);
    size_t trailer = b.find("trailer");
    EXPECT_EQ(trailer, head.size() + 4 * 20);
    EXPECT_EQ(b.substr(trailer, 47), "trailer\r<<\r/Size 5\r/Info 1 0 R\r/Root 2 0 R\r>>\r\n");
    EXPECT_EQ(b.substr(b.size() - 8), "%%EOF\r\r\n");
}

TEST_F(PdfTest, InfoValuesAreEscapedAndReadAsWritten) {
    cPDF pdf;
    pdf.PDFTitle("a\\b (c) \xE2\x82\xAC");
    pdf.PDFAuthor("Ren\xC3\xA9");
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    pdf.BeginPage();  // poppler reads no document without pages
    std::string b = finish(pdf);
    EXPECT_NE(b.find("/Title (a\\\\b \\(c\\) \xA0)\r/Author (Ren\xE9)"), std::string::npos);
    pdftest::Command info = pdftest::run("pdfinfo " + pdftest::shell_quote(path()));
    EXPECT_NE(info.output.find("Title:           a\\b (c) \xE2\x82\xAC\n"), std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("Author:          Ren\xC3\xA9\n"), std::string::npos);
}

TEST_F(PdfTest, PageGeometryRotationAndCropBox) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    EXPECT_EQ(pdf.BeginPage(), 1);  // A4 by default
    pdf.EndPage();
    pdf.PaperSize(2);
    pdf.Margin(10);
    pdf.Orientation(1);
    EXPECT_EQ(pdf.BeginPage(), 2);
    pdf.EndPage();
    std::string b = finish(pdf);
    EXPECT_NE(object_text(b, 5).find("/MediaBox [0 0 595.2 842]\r/CropBox [0 0 595.2 842]\r\r>>"),
              std::string::npos);
    EXPECT_NE(object_text(b, 8).find("/MediaBox [0 0 612 792]\r/CropBox [10 10 602 782]\r"
                                     "/Rotate 90\r>>"),
              std::string::npos);
    EXPECT_EQ(object_text(b, 6), "<< /Length 7 0 R >>\rstream\r\nendstream\r\n");
    EXPECT_EQ(object_text(b, 7), "0\r\n");
    EXPECT_NE(b.find("/Count 2\r/Kids [5 0 R 8 0 R  ]"), std::string::npos);
    pdftest::Command info = pdftest::run("pdfinfo -f 1 -l 2 " + pdftest::shell_quote(path()));
    EXPECT_NE(info.output.find("Page    2 rot:   90"), std::string::npos) << info.output;
}

TEST_F(PdfTest, PaperSizesAndCompressionProperties) {
    cPDF pdf;
    EXPECT_EQ(pdf.PaperWidth(), 595.2f);
    pdf.PaperSize(1);
    EXPECT_EQ(pdf.PaperHeight(), 1190.5f);
    pdf.PaperSize(3);
    EXPECT_EQ(pdf.PaperHeight(), 864);
    pdf.PaperSize(17);  // unknown codes keep the size
    EXPECT_EQ(pdf.PaperSize(), 17);
    EXPECT_EQ(pdf.PaperWidth(), 612);
    pdf.PaperHeight(500);
    EXPECT_EQ(pdf.PaperSize(), 255);
    EXPECT_TRUE(pdf.ZlibAvailable());
    EXPECT_TRUE(pdf.CompressData());
    pdf.CompressLevel(12);
    EXPECT_EQ(pdf.CompressLevel(), 9);
    EXPECT_TRUE(pdf.CompressData());
    pdf.CompressLevel(0);
    EXPECT_EQ(pdf.CompressLevel(), 0);
    EXPECT_FALSE(pdf.CompressData());
}

TEST_F(PdfTest, ContentLengthCountsTheLastLineEnd) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    pdf.BeginPage();
    pdf.SetLineWidth(2.5f);
    pdf.MoveTo(0, 0);
    pdf.EndPage();
    std::string b = finish(pdf);
    EXPECT_EQ(pdftest::first_content(b), "2.5 w\r\n0 0 m\r\n");
    EXPECT_EQ(object_text(b, 7), "14\r\n");
}

TEST_F(PdfTest, ObjectNumbersOverflowPast32767) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    int pages = 0;
    try {
        for (;; ++pages) {
            pdf.BeginPage();
            pdf.EndPage();
        }
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), ComError::kOverflow);
    }
    EXPECT_EQ(pages, (32767 - 4) / 3);  // three objects per page
    EXPECT_EQ(pdf.Pages(), pages);
    finish(pdf);  // what was written stays a sound file
}

TEST_F(PdfTest, AFailedDocumentLeavesTheFileItWouldReplace) {
    {
        std::FILE* f = std::fopen(path().c_str(), "wb");
        std::fputs("keep me", f);
        std::fclose(f);
    }
    {
        cPDF pdf;
        ASSERT_TRUE(pdf.InitPDFFile(path()));
        pdf.BeginPage();
        // Dropped without ClosePDFFile: nothing replaces the file.
    }
    EXPECT_EQ(bytes(), "keep me");
    cPDF pdf;
    EXPECT_FALSE(pdf.InitPDFFile(m_dir.file("no/such/folder/x.pdf")));
    EXPECT_FALSE(pdf.InitPDFFile(""));
    EXPECT_THROW(pdf.BeginPage(), ComError);
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    finish(pdf);
    EXPECT_EQ(bytes().substr(0, 8), "%PDF-1.3");
}

TEST_F(PdfTest, CallsInABadOrderRaiseInsteadOfCorruptingTheFile) {
    cPDF pdf;
    EXPECT_THROW(pdf.ClosePDFFile(), ComError);  // no document
    ASSERT_TRUE(pdf.InitPDFFile(path()));
    auto number_of = [](auto&& f) {
        try {
            f();
        } catch (const ComError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number_of([&] { pdf.MoveTo(1, 1); }), 5);  // content outside a page
    EXPECT_EQ(number_of([&] { pdf.EndPage(); }), 5);
    pdf.BeginPage();
    EXPECT_EQ(number_of([&] { pdf.BeginPage(); }), 5);
    EXPECT_EQ(number_of([&] { pdf.StartObject("F", 7); }), 5);
    EXPECT_EQ(pdf.PdfAddImage(VARIANT::I4(int32_t(image(4, 4, PixelFormat24bppRGB))), 2), 0);
    EXPECT_EQ(pdf.LoadFont("Liberation Sans"), 0);
    EXPECT_EQ(number_of([&] { pdf.Arc(0, 0, 1, 0, 90, 1, false, 0, 0, 1); }), 5);
    pdf.DrawImg(1, 0, 0, 10, 10);    // no such image: nothing is written
    pdf.DrawText(0, 0, "x", 1, 12);  // no such font
    std::string b = finish(pdf);     // the open page is finished first
    EXPECT_EQ(pdftest::first_content(b), "");
    EXPECT_THROW(pdf.BeginPage(), ComError);  // closed
}

TEST_F(PdfTest, ASecondDocumentOfTheSameWriterStartsAfresh) {
    cPDF pdf;
    ASSERT_TRUE(pdf.InitPDFFile(path("one.pdf")));
    ASSERT_EQ(pdf.PdfAddImage(VARIANT::I4(int32_t(image(2, 2, PixelFormat24bppRGB))), 2), 1);
    pdf.BeginPage();
    pdf.EndPage();
    finish(pdf, "one.pdf");
    ASSERT_TRUE(pdf.InitPDFFile(path("two.pdf")));
    EXPECT_EQ(pdf.Pages(), 0);
    EXPECT_EQ(pdf.ImageWidth(1), 0);
    std::string b = finish(pdf, "two.pdf");
    EXPECT_EQ(b.find("/Img1"), std::string::npos);
    EXPECT_NE(b.find("/Count 0\r"), std::string::npos);
}

}  // namespace
