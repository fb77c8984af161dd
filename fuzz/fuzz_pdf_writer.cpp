// The PDF writer driven by a random sequence of member calls: each input byte picks a member,
// the following bytes its arguments. Whatever the order, the members either write or raise
// ComError, and every document that closes passes the tests' structural check.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "../tests/pdf/pdf_check.h"
#include "codecs/cPDF.h"
#include "imaging/modGdiplus.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    bool more() const { return pos < size; }
    float number() { return float(int8_t(byte())) * 4 + float(byte()) / 64; }
    std::string text() {
        static const char* kTexts[] = {"",   "a b",     "(x)\\",    "Caf\xC3\xA9 \xE2\x82\xAC",
                                       "F1", "My Form", "\xFF\xFE", "\xE4\xB8\xAD"};
        return kTexts[byte() % 8];
    }
};

// Images of each kind the writer treats differently, made once.
const std::vector<GpImage>& images() {
    static const std::vector<GpImage> list = [] {
        std::vector<GpImage> v;
        for (PixelFormat f :
             {PixelFormat1bppIndexed, PixelFormat4bppIndexed, PixelFormat8bppIndexed,
              PixelFormat24bppRGB, PixelFormat32bppARGB, PixelFormat16bppGrayScale}) {
            GpImage img = 0;
            if (modGdiplus::CreateBlankImage(13, 7, f, img) == 0) v.push_back(img);
        }
        return v;
    }();
    return list;
}

void call(cPDF& pdf, Input& in) {
    static const char* kFonts[] = {"Liberation Sans", "Arial", "NoSuchFont", "DejaVu Sans Mono"};
    const auto& imgs = images();
    switch (in.byte() % 24) {
        case 0:
            pdf.BeginPage();
            break;
        case 1:
            pdf.EndPage();
            break;
        case 2:
            pdf.PdfAddImage(VARIANT::I4(int32_t(imgs[in.byte() % imgs.size()])), 2);
            break;
        case 3:
            pdf.DrawImg(in.byte() % 4, in.number(), in.number(), in.number(), in.number());
            break;
        case 4:
            pdf.PaperSize(in.byte() % 6);
            break;
        case 5:
            pdf.PaperWidth(in.number() + 200);
            pdf.PaperHeight(in.number() + 200);
            break;
        case 6:
            pdf.Margin(in.number());
            pdf.Orientation(in.byte() % 2);
            break;
        case 7:
            pdf.CompressLevel(int16_t(in.byte() % 12));
            pdf.CompressData(in.byte() & 1);
            break;
        case 8:
            pdf.SetColorFill(int32_t(in.byte()) * 70000 - 300);
            break;
        case 9:
            pdf.SetColorStroke(-int32_t(in.byte()));
            break;
        case 10:
            pdf.SetDash(in.number(), in.number());
            pdf.SetLineWidth(in.number());
            break;
        case 11:
            pdf.SetLineCap(int16_t(in.byte() % 5) - 1);
            pdf.SetLineJoin(int16_t(in.byte() % 5) - 1);
            break;
        case 12:
            pdf.MoveTo(in.number(), in.number());
            break;
        case 13:
            pdf.LineTo(in.number(), in.number(), in.byte());
            break;
        case 14:
            pdf.Curve(in.number(), in.number(), in.number(), in.number(), in.number(), in.number(),
                      in.byte());
            break;
        case 15:
            pdf.Rectangle(in.number(), in.number(), in.number(), in.number(), in.byte(),
                          in.number());
            break;
        case 16:
            pdf.DrawCircle(in.number(), in.number(), in.number(), in.byte());
            break;
        case 17:
            pdf.Arc(in.number(), in.number(), in.number(), in.number(), in.number(), in.number(),
                    in.byte() & 1, in.number(), int16_t(in.byte() % 64) - 2, in.byte());
            break;
        case 18:
            pdf.LoadFont(kFonts[in.byte() % 4], in.byte() & 1, in.byte() & 1);
            break;
        case 19:
            pdf.DrawText(in.number(), in.number(), in.text(), in.byte() % 3, in.number(),
                         in.byte() % 3, in.number());
            break;
        case 20:
            pdf.SetWordSpacing(in.number());
            pdf.SetCharSpacing(in.number());
            pdf.SetTextHorizontalScaling(in.number());
            break;
        case 21:
            pdf.StartObject(in.text(), in.byte() % 16);
            break;
        case 22:
            pdf.EndObject();
            break;
        default:
            pdf.DrawObject(in.text());
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = modGdiplus::EngineStartup();
    (void)started;
    static const std::string path = "/tmp/fuzz_pdf_writer." + std::to_string(::getpid()) + ".pdf";
    Input in{data, size};
    cPDF pdf;
    pdf.PDFTitle(in.text());
    if (!pdf.InitPDFFile(path)) return 0;
    for (int calls = 0; in.more() && calls < 400; ++calls) {
        try {
            call(pdf, in);
        } catch (const ComError&) {
            // A raised error leaves what was written: the document must still close soundly.
        }
    }
    try {
        pdf.ClosePDFFile();
    } catch (const ComError&) {
        return 0;
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::remove(path.c_str());
    std::string problem = pdfcheck::check_pdf(bytes);
    if (!problem.empty()) {
        std::fprintf(stderr, "unsound document: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
