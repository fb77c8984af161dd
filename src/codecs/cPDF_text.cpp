// cPDF: text state, text drawing and widths, and TrueType fonts measured from the installed
// fonts through the platform's font and text-metric functions.
#include <cmath>
#include <cstring>
#include <optional>

#include "codecs/cPDF.h"
#include "codecs/cPDF_p.h"
#include "platform/win/font.h"
#include "platform/win/win.h"

using namespace pdf;

namespace {

std::string upper_without_blanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

struct FontSearch {
    std::string wanted;  // folded; empty: take the first family offered
    std::optional<std::string> found;
};

int offer_family(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) {
    auto* s = reinterpret_cast<FontSearch*>(param);
    std::string name(font->lfFaceName, strnlen(font->lfFaceName, LF_FACESIZE));
    if (!s->found && (s->wanted.empty() || upper_without_blanks(name) == s->wanted))
        s->found = name;
    return s->found ? 0 : 1;
}

// The installed font's own spelling: first the list of installed families, then the family
// the platform offers for the name itself (a metric-compatible substitute counts).
std::optional<std::string> find_installed_font(const std::string& name) {
    FontSearch search{upper_without_blanks(name), std::nullopt};
    if (search.wanted.empty()) return std::nullopt;
    HDC screen = GetDC(0);
    LOGFONTA lf;
    EnumFontFamiliesExA(screen, &lf, offer_family, reinterpret_cast<LPARAM>(&search), 0);
    if (!search.found && name.size() < size_t(LF_FACESIZE)) {
        std::strncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
        search.wanted.clear();
        EnumFontFamiliesExA(screen, &lf, offer_family, reinterpret_cast<LPARAM>(&search), 0);
    }
    ReleaseDC(0, screen);
    return search.found;
}

struct FontHandle {
    HFONT font{};
    ~FontHandle() {
        if (font != HFONT{}) DeleteObject(font);
    }
};
struct MemoryDC {
    HDC dc = 0;
    ~MemoryDC() {
        if (dc) DeleteDC(dc);
    }
};

int32_t flags_of_charset(BYTE charset) {
    if (charset == ANSI_CHARSET || charset == DEFAULT_CHARSET) return 32;
    return charset == SYMBOL_CHARSET ? 4 : 0;
}

}  // namespace

// ---- Text state ------------------------------------------------------------------------

void cPDF::SetWordSpacing(float w) {
    Content(F(w) + " Tw");
    m_wordSpacing = w;
}

void cPDF::SetCharSpacing(float c) {
    Content(F(c) + " Tc");
    m_charSpacing = c;
}

void cPDF::SetTextHorizontalScaling(float s) {
    Content(F(s) + " Tz");
    m_horizontalScaling = s;
}

void cPDF::SetTextRenderingMode(float mode) {
    if (mode >= 0 && mode <= 2) Content(F(mode) + " Tr");
}

// ---- Text ------------------------------------------------------------------------------

const cPDF::FontRecord* cPDF::Font(int32_t n) const {
    return n >= 1 && size_t(n) <= m_fonts.size() ? &m_fonts[size_t(n) - 1] : nullptr;
}

float cPDF::TextWidth(const std::string& text, int32_t nFont, float size) const {
    const FontRecord* f = Font(nFont);
    if (!f) return 0;
    double sum = 0, blanks = 0, chars = 0;
    for (unsigned char c : ToAnsi(text)) {
        sum += c >= f->firstChar && c <= f->lastChar ? f->widths[c] : f->missingWidth;
        blanks += c == 32;
        chars += 1;
    }
    double w = sum * size / 1000 + blanks * m_wordSpacing + chars * m_charSpacing;
    return float(w * m_horizontalScaling / 100);
}

void cPDF::DrawText(float x, float y, const std::string& text, int32_t nFont, float size,
                    int32_t alignment, float angle) {
    if (!m_file) Raise(kBadFileNumber);
    // A font that was never loaded would be a resource the page cannot find.
    if (!Font(nFont)) return;
    if (alignment == 1)
        x -= TextWidth(text, nFont, size);
    else if (alignment == 2)
        x -= TextWidth(text, nFont, size) / 2;
    Content("BT");
    Content("/Font" + Str(nFont) + " " + F(size) + " Tf");
    if (angle != 0) {
        const double d = 3.141592 / 180;
        double c = std::cos(d * angle), s = std::sin(d * angle);
        Content(F(c) + " " + F(s) + " " + F(-s) + " " + F(c) + " " + F(x) + " " + F(y) + " Tm");
    } else {
        Content(F(x) + " " + F(y) + " Td");
    }
    Content("(" + EscapeText(ToAnsi(text)) + ") Tj");
    Content("ET");
}

// ---- Fonts -----------------------------------------------------------------------------

bool cPDF::MeasureFont(const std::string& face, bool bold, bool italic, FontRecord& f) const {
    LOGFONTA lf;
    lf.lfHeight = -1000;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    FontHandle font{CreateFontIndirectA(&lf)};
    if (font.font == HFONT{}) return false;
    MemoryDC memory;  // goes before the font: a selected font cannot be deleted
    HDC screen = GetDC(0);
    memory.dc = CreateCompatibleDC(screen);
    ReleaseDC(0, screen);
    TEXTMETRICA tm;
    SelectObject(memory.dc, font.font);
    if (!GetTextMetricsA(memory.dc, &tm)) return false;
    bool symbol = tm.tmCharSet == SYMBOL_CHARSET;
    auto extent = [&](int code) {
        WCHAR c = symbol ? WCHAR(0xF000 + code) : WCHAR(AnsiToUnicode(uint8_t(code)));
        SIZE s;
        return GetTextExtentPoint32W(memory.dc, &c, 1, &s) ? s.cx : 0;
    };
    f.firstChar = tm.tmFirstChar;
    f.lastChar = tm.tmLastChar;
    for (int code = f.firstChar; code <= f.lastChar; ++code) f.widths[code] = extent(code);
    f.missingWidth = extent(f.firstChar > 0 ? 0 : 255);
    f.avgWidth = tm.tmAveCharWidth;
    f.maxWidth = tm.tmMaxCharWidth;
    f.ascent = tm.tmAscent;
    f.descent = tm.tmDescent;
    f.flags = flags_of_charset(tm.tmCharSet);
    return true;
}

int32_t cPDF::LoadFont(const std::string& sFontName, bool bBold, bool bItalic) {
    if (!CanAddObjects()) return 0;
    std::optional<std::string> own = find_installed_font(sFontName);
    if (!own) return 0;
    Next(m_highestObject + 2);
    FontRecord f;
    if (!MeasureFont(*own, bBold, bItalic, f)) return 0;
    std::string base = *own;
    if (bBold || bItalic)
        base += std::string(",") + (bBold ? "Bold" : "") + (bItalic ? "Italic" : "");
    std::erase(base, ' ');
    f.baseName = NameText(ToAnsi(base));
    f.italicAngle = bItalic ? -11 : 0;
    f.capHeight = f.ascent;
    f.stemV = 0;
    int32_t number = int32_t(m_fonts.size()) + 1;
    WriteFontObjects("Font" + Str(number), f);
    m_fonts.push_back(f);
    return number;
}

void cPDF::WriteFontObjects(const std::string& resource, const FontRecord& f) {
    int16_t n = BeginObject(0);
    WriteLine(JoinCR({"<< /Type /Font ", "/Subtype /TrueType", "/Name /" + resource,
                      "/BaseFont /" + f.baseName, "/FirstChar " + Str(f.firstChar),
                      "/LastChar " + Str(f.lastChar), "/FontDescriptor " + Str(n + 1) + " 0 R",
                      "/Encoding /WinAnsiEncoding", "/Widths ["}));
    std::string widths;
    for (int code = f.firstChar; code <= f.lastChar; ++code) widths += Str(f.widths[code]) + " ";
    WriteLine(widths);
    WriteLine("] >>");
    CloseObject();
    m_fontResources += "/" + resource + " " + Str(n) + " 0 R \r";
    BeginObject(0);
    long long bboxLeft = std::llround(std::nearbyint(-0.2 * f.maxWidth));
    long long bboxRight = f.maxWidth - std::llround(std::nearbyint(0.2 * f.maxWidth));
    WriteLine(JoinCR({"<<", "/Type /FontDescriptor", "/FontName /" + f.baseName,
                      "/MissingWidth " + Str(f.missingWidth), "/Ascent " + Str(f.ascent),
                      "/Descent " + Str(-f.descent), "/AvgWidth " + Str(f.avgWidth),
                      "/CapHeight " + Str(f.capHeight), "/StemV " + Str(f.stemV),
                      "/ItalicAngle " + Str(f.italicAngle), "/Flags " + Str(f.flags),
                      "/MaxWidth  " + Str(f.maxWidth),
                      "/FontBBox [ " + Str(bboxLeft) + " " + Str(-f.descent) + " " +
                          Str(bboxRight) + " " + Str(f.ascent) + "]",
                      ">>"}));
    CloseObject();
}
