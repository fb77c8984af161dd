// cPDF: a PDF 1.3 writer that writes strictly front to back. Every object goes to the file
// when it is made; the cross-reference table, the page tree and the one resource dictionary
// that every page shares are written by ClosePDFFile.
//
// One instance writes one document: set the Info values and the compression, InitPDFFile,
// add images, fonts and forms while no page is open, then BeginPage, drawing members,
// EndPage for each page, and ClosePDFFile. The file appears whole at ClosePDFFile (it is
// written as a replacement that is committed there); a document that is never closed, or
// whose writing failed, leaves the file that was there untouched.
//
// Failures: InitPDFFile answers False and PdfAddImage and LoadFont 0; every other member
// raises ComError when writing fails (57), when no document is open (52), when it is called
// where it cannot write (5: content outside a page or form, a page inside a form, ...), or
// when a 16-bit counter would pass 32767 (6).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lumtwainpro/com_error.h"
#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

namespace win {
class OutputFile;
}

class LUM_API cPDF {
  public:
    cPDF();
    ~cPDF();
    cPDF(const cPDF&) = delete;
    cPDF& operator=(const cPDF&) = delete;

    // ---- Properties ---------------------------------------------------------------------
    // Info values (UTF-8; written in Windows-1252); set them before InitPDFFile.
    void PDFTitle(const std::string& value) { m_title = value; }
    void PDFAuthor(const std::string& value) { m_author = value; }
    void PDFCreator(const std::string& value) { m_creator = value; }
    void PDFProducer(const std::string& value) { m_producer = value; }
    // 0 A4 (595.2 x 842), 1 A3, 2 Letter, 3 (612 x 864); other codes keep the size. Setting
    // PaperWidth or PaperHeight makes the code 255 (custom). Points; used by the next page.
    int32_t PaperSize() const { return m_paperSize; }
    void PaperSize(int32_t code);
    float PaperWidth() const { return m_paperWidth; }
    void PaperWidth(float points);
    float PaperHeight() const { return m_paperHeight; }
    void PaperHeight(float points);
    // Inset of each page's crop box and of each form's bounding box, in points.
    float Margin() const { return m_margin; }
    void Margin(float points) { m_margin = points; }
    // 1 writes "/Rotate 90" into the pages begun while it is set.
    int32_t Orientation() const { return m_orientation; }
    void Orientation(int32_t value) { m_orientation = value; }
    bool CompressData() const { return m_compressData; }
    void CompressData(bool value) { m_compressData = value; }
    // zlib level 0..9; other values are ignored; 0 also turns CompressData off.
    int16_t CompressLevel() const { return m_compressLevel; }
    void CompressLevel(int16_t level);
    bool ZlibAvailable() const { return m_zlibAvailable; }
    int16_t Pages() const { return m_pages; }
    // Not in the classic interface: palette images of 4 and 8 bits go the JPEG path as well
    // (scanned grey pages become grey JPEG); 1-bit images always stay lossless.
    bool IndexedAsJpeg() const { return m_indexedAsJpeg; }
    void IndexedAsJpeg(bool value) { m_indexedAsJpeg = value; }

    // ---- Document, pages, images --------------------------------------------------------
    bool InitPDFFile(const std::string& sFilename);
    void ClosePDFFile();
    int16_t BeginPage();
    void EndPage();
    // Source kind 1: a file path, loaded through the image engine; 2: an image identifier of
    // the engine, left open. Returns the image number (1, 2, ...), 0 on any failure, in
    // which case nothing was written.
    int32_t PdfAddImage(const VARIANT& source, int32_t nKind);
    void DrawImg(int32_t nImage, float x, float y, float width, float height);
    // Pixel size and resolution (dpi) of an added image; 0 for an unknown number.
    int32_t ImageWidth(int32_t nImage) const;
    int32_t ImageHeight(int32_t nImage) const;
    int32_t ImageResX(int32_t nImage) const;
    int32_t ImageResY(int32_t nImage) const;

    // ---- Text state, colours and lines ------------------------------------------------
    void SetWordSpacing(float w);
    void SetCharSpacing(float c);
    void SetTextHorizontalScaling(float percent);
    void SetTextRenderingMode(float mode);
    // -255..0: grey level (0 black, -255 white); otherwise 0x00BBGGRR. Below -255: error 6.
    void SetColorStroke(int32_t color);
    void SetColorFill(int32_t color);
    void SetDash(float on, float off);
    void SetLineWidth(float w);
    void SetLineCap(int16_t cap);
    void SetLineJoin(int16_t join);

    // ---- Paths (options: 1 stroke, 2 close, 4 fill) -----------------------------------
    void MoveTo(float x, float y);
    void LineTo(float x, float y, int32_t options = 0);
    void Curve(float x1, float y1, float x2, float y2, float x3, float y3, int32_t options = 0);
    void Rectangle(float x, float y, float width, float height, int32_t options = 1,
                   float radius = 0);
    void DrawCircle(float x, float y, float radius, int32_t options = 1);
    // A step of 0 or less raises error 5 (it would never reach the end angle).
    void Arc(float x, float y, float radius, float startAngle, float endAngle, float ratio,
             bool pie, float rotation, int16_t step, int32_t options);

    // ---- Text ---------------------------------------------------------------------------
    // Alignment 1 right, 2 centre, else left of x; angle in degrees. Nothing is written for
    // a font number that was not loaded.
    void DrawText(float x, float y, const std::string& text, int32_t nFont, float size,
                  int32_t alignment = 0, float angle = 0);
    // Width in points under the current word and character spacing and scaling.
    float TextWidth(const std::string& text, int32_t nFont, float size) const;
    // An installed font (names compare without case and blanks; a metric-compatible
    // substitute counts as installed). Returns the font number, 0 when it is not installed.
    int32_t LoadFont(const std::string& sFontName, bool bBold = false, bool bItalic = false);

    // ---- Forms --------------------------------------------------------------------------
    // Page options: 7 every page, 2 even pages, 4 odd pages, 8 (with 4) not on page 1.
    void StartObject(const std::string& name, int32_t options);
    void EndObject();
    void DrawObject(const std::string& name);

    // ---- Byte layout, shared with the tests ------------------------------------------
    // 3 decimals (ties to even), shortest form, "." whatever the locale; a float keeps at
    // most 7 significant digits first.
    static std::string FormatNumber(double value);
    static std::string FormatNumber(float value);
    // Two decimals always ("###0.00").
    static std::string FormatFixed(float value);
    static std::string EscapeText(std::string_view text);
    // UTF-8 to Windows-1252 ("?" for what the code page lacks).
    static std::string ToAnsi(std::string_view utf8);
    // The creation date, "D:YYYYMMDDHHmmSS" and the zone of `when` ("Z", "+HH'MM'").
    static std::string CreationDate(int64_t unixSeconds);

    struct FontRecord {
        std::string baseName;
        int firstChar = 0, lastChar = 0;
        int32_t widths[256] = {};
        int32_t missingWidth = 0;
        int32_t avgWidth = 0, maxWidth = 0, ascent = 0, descent = 0;
        int32_t italicAngle = 0, capHeight = 0, stemV = 0, flags = 0;
    };
    const FontRecord* Font(int32_t nFont) const;

  private:
    struct ImageInfo {
        int32_t width = 0, height = 0, resX = 0, resY = 0;
    };
    struct FormRecord {
        std::string name;  // as written after "/"
        int32_t options = 0;
    };
    enum class Stream { None, Page, Form };

    // Primitives.
    void WriteBytes(std::string_view bytes);
    void WriteLine(std::string_view line);
    void Content(std::string_view line);  // a content line: only inside a page or form
    int16_t BeginObject(int32_t number);
    void CloseObject();
    int16_t Next(int32_t number) const;  // number checked against the 16-bit range
    void OpenStream(Stream kind);
    void CloseStream();
    void ResetDocument();
    void WriteInfo();
    void WriteCatalog();
    void WriteResources();
    void WritePageTree();
    void WriteXrefAndTrailer();
    void DrawPageObjects(int16_t page);
    void PaintPath(int32_t options);
    void Color(int32_t color, bool stroke);
    bool CanAddObjects() const { return m_file && m_stream == Stream::None; }

    // Images.
    struct Encoded;
    [[nodiscard]] bool EncodeImage(uint32_t image, Encoded& out);
    [[nodiscard]] bool WriteImageObject(const std::string& name, const Encoded& image);
    [[nodiscard]] bool CompressBytes(const std::vector<uint8_t>& data, std::vector<uint8_t>& out,
                                     int level) const;

    // Fonts.
    [[nodiscard]] bool MeasureFont(const std::string& face, bool bold, bool italic,
                                   FontRecord& font) const;
    void WriteFontObjects(const std::string& resource, const FontRecord& font);

    std::unique_ptr<win::OutputFile> m_file;
    std::string m_fileName;
    int32_t m_highestObject = 0;
    std::vector<std::string> m_xref;  // index 0 is object 1
    std::string m_title, m_author, m_creator, m_producer;
    int32_t m_paperSize = 0;
    float m_paperWidth = 595.2f, m_paperHeight = 842;
    float m_margin = 0;
    int32_t m_orientation = 0;
    bool m_compressData = true;
    int16_t m_compressLevel = 9;
    bool m_zlibAvailable = false;
    bool m_indexedAsJpeg = false;
    int16_t m_pages = 0;
    std::vector<ImageInfo> m_images;
    std::string m_pageKids, m_imageResources, m_fontResources, m_formResources;
    Stream m_stream = Stream::None;
    uint64_t m_streamStart = 0;
    float m_charSpacing = 0, m_wordSpacing = 0, m_horizontalScaling = 100;
    std::vector<FontRecord> m_fonts;
    std::vector<FormRecord> m_forms;
    std::string m_openForm;
};
