// SaveAsPdf: the native image as a one-page PDF document, the page as large as the image
// at its own resolution.
#include <cmath>

#include "codecs/cPDF.h"
#include "lumtwainpro/twain.h"

namespace {

constexpr const char* kMaker = "Pelorix ToolKit";

// Whole points, halves to even. A resolution of 0 is the classic division by zero; a page
// is never smaller than one point, since an empty media box is no page at all.
float page_points(int32_t pixels, float dpi) {
    if (dpi == 0) throw ComError(ComError::kDivisionByZero, "Division by zero");
    double points = std::nearbyint(double(pixels) / double(dpi) * 72);
    if (!std::isfinite(points) || std::fabs(points) > 3.0e38) {
        throw ComError(ComError::kOverflow, "Overflow");
    }
    return float(std::max(points, 1.0));
}

}  // namespace

bool twain::SaveAsPdf(const std::string& sFilename) {
    if (m_nativeImageID == 0) return false;
    float resX = GetHorizontalResolution();
    int32_t width = GetWidth();
    float resY = GetVerticalResolution();
    int32_t height = GetHeight();
    float pageWidth = page_points(width, resX);
    float pageHeight = page_points(height, resY);

    cPDF pdf;
    pdf.Orientation(0);
    pdf.PDFTitle("");
    pdf.PDFCreator(kMaker);
    pdf.PDFAuthor(kMaker);
    pdf.PDFProducer(kMaker);
    if (!pdf.InitPDFFile(sFilename)) return false;
    pdf.PaperHeight(pageHeight);
    pdf.PaperWidth(pageWidth);
    bool added = pdf.PdfAddImage(VARIANT::I4(m_nativeImageID), 2) >= 1;
    if (added) {
        pdf.BeginPage();
        pdf.DrawImg(1, 0, 0, pageWidth, pageHeight);
        pdf.EndPage();
    }
    pdf.ClosePDFFile();
    return added;
}
