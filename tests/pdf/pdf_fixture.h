// A PDF writer test: an engine session, a temporary folder, images to add, and the oracles
// (the structural check, qpdf --check, poppler's pdftoppm and pdftotext).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codecs/cPDF.h"
#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "pdf/pdf_check.h"
#include "support/file_probe.h"
#include "support/test_env.h"

namespace pdftest {

struct Command {
    int status = -1;
    std::string output;  // standard output and error
};

inline Command run(const std::string& command) {
    Command c;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return c;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) c.output.append(buf, n);
    c.status = pclose(p);
    return c;
}

inline std::string shell_quote(const std::string& s) {
    return "'" + s + "'";
}

struct Raster {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    int scale = 1;  // rendered pixels per point
    // Channel c of the point (x, y): the centre of its block, where poppler copies samples
    // without interpolating.
    int at(int x, int y, int c) const {
        size_t i = (size_t(y * scale + scale / 2) * size_t(width) + size_t(x * scale + scale / 2));
        return 3 * i + 2 < rgb.size() ? rgb[3 * i + size_t(c)] : -1;
    }
};

class PdfTest : public ::testing::Test {
  protected:
    PdfTest() { modGdiplus::EngineStartup(); }
    ~PdfTest() override {
        for (GpImage i : m_images) modGdiplus::DisposeImage(i);
        modGdiplus::EngineShutdown();
    }

    std::string path(const std::string& name = "out.pdf") const { return m_dir.file(name); }
    std::string bytes(const std::string& name = "out.pdf") const {
        auto b = lumtest::read_file(path(name));
        return std::string(b.begin(), b.end());
    }

    // Closes the document and checks it with our structural check and with qpdf.
    std::string finish(cPDF& pdf, const std::string& name = "out.pdf") {
        pdf.ClosePDFFile();
        std::string pdf_bytes = bytes(name);
        EXPECT_EQ(pdfcheck::check_pdf(pdf_bytes), "");
        Command q = run("qpdf --check " + shell_quote(path(name)));
        EXPECT_EQ(q.status, 0) << q.output;
        EXPECT_EQ(q.output.find("WARNING"), std::string::npos) << q.output;
        return pdf_bytes;
    }

    // A blank image of the format, with `rows` (in that format, `stride` bytes each) written.
    GpImage image(int32_t w, int32_t h, PixelFormat format, const std::vector<uint8_t>& rows = {},
                  int32_t stride = 0, float dpi = 72) {
        GpImage img = 0;
        EXPECT_EQ(modGdiplus::CreateBlankImage(w, h, format, img), 0);
        m_images.push_back(img);
        EXPECT_EQ(modGdiplus::SetImageResolution(img, dpi, dpi), 0);
        if (!rows.empty()) {
            BitmapData d;
            d.Width = UINT(w);
            d.Height = UINT(h);
            d.Stride = stride;
            d.PixelFormat = format;
            d.Scan0 = const_cast<uint8_t*>(rows.data());
            GpRect r{0, 0, w, h};
            EXPECT_EQ(
                modGdiplus::LockImageBits(img, r, modGdiplus::kLockWriteFromBuffer, format, d), 0);
            EXPECT_EQ(modGdiplus::UnlockImageBits(img, d), 0);
        }
        return img;
    }

    void set_palette(GpImage img, const std::vector<ARGB>& colours) {
        std::vector<BYTE> buf(8 + 4 * colours.size());
        auto* p = reinterpret_cast<ColorPalette*>(buf.data());
        p->Flags = 0;
        p->Count = UINT(colours.size());
        for (size_t i = 0; i < colours.size(); ++i) p->Entries[i] = colours[i];
        EXPECT_EQ(modGdiplus::SetPalette(img, buf), 0);
    }

    // Page `page` rendered by poppler without anti-aliasing, four pixels per point: poppler
    // interpolates images drawn at less than four times their size.
    Raster render(const std::string& name, int page = 1) {
        std::string base = path("render");
        Command c = run("pdftoppm -aa no -aaVector no -r 288 -f " + std::to_string(page) + " -l " +
                        std::to_string(page) + " -singlefile " + shell_quote(path(name)) + " " +
                        shell_quote(base));
        EXPECT_EQ(c.status, 0) << c.output;
        Raster r = read_ppm(base + ".ppm");
        r.scale = 4;
        return r;
    }

    static Raster read_ppm(const std::string& file) {
        auto b = lumtest::read_file(file);
        Raster r;
        std::string s(b.begin(), b.end());
        int maxval = 0, consumed = 0;
        if (std::sscanf(s.c_str(), "P6 %d %d %d%n", &r.width, &r.height, &maxval, &consumed) != 3)
            return r;
        r.rgb.assign(s.begin() + consumed + 1, s.end());
        return r;
    }

    std::string text_of(const std::string& name) {
        Command c = run("pdftotext -layout -enc UTF-8 " + shell_quote(path(name)) + " -");
        EXPECT_EQ(c.status, 0) << c.output;
        return c.output;
    }

    lumtest::TempDir m_dir;
    std::vector<GpImage> m_images;
};

// The text of object `n` from its "n 0 obj" line to its "endobj".
inline std::string object_text(const std::string& pdf, int n) {
    std::string head = "\r\n" + std::to_string(n) + " 0 obj\r\n";
    size_t at = pdf.find(head);
    if (at == std::string::npos) return "";
    at += head.size();
    return pdf.substr(at, pdf.find("endobj\r\n", at) - at);
}

// The content stream lines of the first page (between "stream" and "endstream").
inline std::string first_content(const std::string& pdf) {
    size_t at = pdf.find(" 0 R >>\rstream\r\n");
    if (at == std::string::npos) return "";
    at += 16;
    return pdf.substr(at, pdf.find("endstream", at) - at);
}

// The content stream lines of the last page.
inline std::string last_content(const std::string& pdf) {
    size_t at = pdf.rfind(" 0 R >>\rstream\r\n");
    if (at == std::string::npos) return "";
    at += 16;
    return pdf.substr(at, pdf.find("endstream", at) - at);
}

}  // namespace pdftest
