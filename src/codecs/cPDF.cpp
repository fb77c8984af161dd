// cPDF: properties, number formats, the object primitives, documents and pages.
#include "codecs/cPDF.h"

#include <zlib.h>

#include <charconv>
#include <cmath>
#include <ctime>

#include "codecs/cPDF_p.h"
#include "imaging/save.h"
#include "platform/win/file.h"

namespace pdf {

void Raise(int32_t number) {
    switch (number) {
        case ComError::kInvalidProcedureCall:
            throw ComError(number, "Invalid procedure call");
        case ComError::kOverflow:
            throw ComError(number, "Overflow");
        case kBadFileNumber:
            throw ComError(number, "Bad file name or number");
        default:
            throw ComError(number, "Device I/O error");
    }
}

std::string JoinCR(std::initializer_list<std::string_view> entries) {
    std::string out;
    bool first = true;
    for (auto e : entries) {
        if (!first) out += '\r';
        first = false;
        out += e;
    }
    return out;
}

std::string NameText(std::string_view ansi) {
    static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : ansi) {
        if (c > 0x20 && c < 0x7F && kDelimiters.find(char(c)) == std::string_view::npos) {
            out += char(c);
        } else {
            out += '#';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

char32_t AnsiToUnicode(unsigned char code) {
    return modGdiplus::Cp1252ToUnicode(code);
}

}  // namespace pdf

using namespace pdf;

namespace {

// Rounds the decimal number 0.DIGITS x 10^point to `decimals` places, ties to even, and
// writes it with exactly that many decimals (`fixed`) or in its shortest form.
std::string round_decimal(bool negative, std::string digits, int point, int decimals, bool fixed) {
    int keep = point + decimals;  // digits that stay in front of the rounding position
    std::string whole;
    std::string_view rest;
    if (keep <= 0) {
        whole = "0";
        digits.insert(0, size_t(-keep), '0');
        rest = digits;
    } else {
        if (size_t(keep) > digits.size()) digits.append(size_t(keep) - digits.size(), '0');
        whole = digits.substr(0, size_t(keep));
        rest = std::string_view(digits).substr(size_t(keep));
    }
    bool up = false;
    if (!rest.empty() && rest[0] >= '5') {
        bool beyond = rest.find_first_not_of('0', 1) != std::string_view::npos;
        up = rest[0] > '5' || beyond || ((whole.back() - '0') % 2 == 1);
    }
    if (up) {
        int i = int(whole.size()) - 1;
        for (; i >= 0 && whole[size_t(i)] == '9'; --i) whole[size_t(i)] = '0';
        if (i < 0)
            whole.insert(0, "1");
        else
            ++whole[size_t(i)];
    }
    if (whole.size() <= size_t(decimals)) whole.insert(0, size_t(decimals) + 1 - whole.size(), '0');
    std::string integer = whole.substr(0, whole.size() - size_t(decimals));
    std::string fraction = whole.substr(whole.size() - size_t(decimals));
    if (!fixed) fraction.erase(fraction.find_last_not_of('0') + 1);
    bool zero = integer.find_first_not_of('0') == std::string::npos &&
                fraction.find_first_not_of('0') == std::string::npos;
    size_t lead = integer.find_first_not_of('0');
    integer = lead == std::string::npos ? "0" : integer.substr(lead);
    std::string out = (negative && !zero) ? "-" : "";
    out += integer;
    if (!fraction.empty()) out += "." + fraction;
    return out;
}

// The value with `significant` digits, as digits and the position of the decimal point.
std::string format_rounded(double value, int significant, int decimals, bool fixed) {
    if (!std::isfinite(value)) Raise(ComError::kOverflow);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                           significant - 1);
    std::string_view text(buf, size_t(r.ptr - buf));
    size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    exponent);
    return round_decimal(value < 0, digits, exponent + 1, decimals, fixed);
}

}  // namespace

// ---- Byte layout -----------------------------------------------------------------------

std::string cPDF::FormatNumber(double value) {
    return format_rounded(value, 17, 3, false);
}
std::string cPDF::FormatNumber(float value) {
    return format_rounded(value, 7, 3, false);
}
std::string cPDF::FormatFixed(float value) {
    return format_rounded(value, 7, 2, true);
}

std::string cPDF::EscapeText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')') out += '\\';
        out += c;
    }
    return out;
}

namespace {

// The next code point of UTF-8 text; false (one byte consumed) for a broken sequence.
bool next_code_point(std::string_view s, size_t& i, char32_t& c) {
    auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    bool valid = n > 0 && i + size_t(n) <= s.size();
    for (int k = 1; valid && k < n; ++k) {
        auto t = static_cast<unsigned char>(s[i + size_t(k)]);
        valid = (t & 0xC0) == 0x80;
        c = (c << 6) | (t & 0x3F);
    }
    i += valid ? size_t(n) : 1;
    return valid;
}

char ansi_of(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    for (int code = 0x80; code < 0xA0; ++code)
        if (AnsiToUnicode(static_cast<unsigned char>(code)) == c) return char(code);
    return '?';
}

// Info strings are read in PDFDocEncoding, which agrees with Windows-1252 except at 0x80..0x9F
// and 0xA0: those characters get their PDFDocEncoding codes.
char pdfdoc_of(char32_t c) {
    static constexpr std::pair<char32_t, uint8_t> kMoved[] = {
        {0x2022, 0x80}, {0x2020, 0x81}, {0x2021, 0x82}, {0x2026, 0x83}, {0x2014, 0x84},
        {0x2013, 0x85}, {0x0192, 0x86}, {0x2039, 0x88}, {0x203A, 0x89}, {0x2030, 0x8B},
        {0x201E, 0x8C}, {0x201C, 0x8D}, {0x201D, 0x8E}, {0x2018, 0x8F}, {0x2019, 0x90},
        {0x201A, 0x91}, {0x2122, 0x92}, {0x0152, 0x96}, {0x0160, 0x97}, {0x0178, 0x98},
        {0x017D, 0x99}, {0x0153, 0x9C}, {0x0161, 0x9D}, {0x017E, 0x9E}, {0x20AC, 0xA0},
        {0x02C6, 0x1A}, {0x02DC, 0x1F}, {0x00A0, 0x20}};
    for (auto [u, code] : kMoved)
        if (u == c) return char(code);
    char a = ansi_of(c);
    return static_cast<unsigned char>(a) >= 0x80 && static_cast<unsigned char>(a) < 0xA0 ? '?' : a;
}

template <class Map>
std::string single_bytes(std::string_view s, Map map) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        char32_t c = 0;
        out += next_code_point(s, i, c) ? map(c) : '?';
    }
    return out;
}

std::string info_text(const std::string& utf8) {
    return cPDF::EscapeText(single_bytes(utf8, pdfdoc_of));
}

}  // namespace

std::string cPDF::ToAnsi(std::string_view s) {
    return single_bytes(s, ansi_of);
}

std::string cPDF::CreationDate(int64_t unixSeconds) {
    std::time_t t = std::time_t(unixSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char date[40];
    std::snprintf(date, sizeof date, "D:%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    long offset = tm.tm_gmtoff;
    if (offset == 0) return std::string(date) + "Z";
    long minutes = std::labs(offset) / 60;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld'%02ld'", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(date) + zone;
}

// ---- Properties ------------------------------------------------------------------------

cPDF::cPDF() {
    PaperSize(0);
    // zlib is linked into the library; its version answers when it can be used.
    m_zlibAvailable = zlibVersion() != nullptr && zlibVersion()[0] == ZLIB_VERSION[0];
}

cPDF::~cPDF() = default;

void cPDF::PaperSize(int32_t code) {
    static constexpr float kSizes[4][2] = {{595.2f, 842}, {842, 1190.5f}, {612, 792}, {612, 864}};
    m_paperSize = code;
    if (code >= 0 && code < 4) {
        m_paperWidth = kSizes[code][0];
        m_paperHeight = kSizes[code][1];
    }
}

void cPDF::PaperWidth(float points) {
    m_paperWidth = points;
    m_paperSize = 255;
}

void cPDF::PaperHeight(float points) {
    m_paperHeight = points;
    m_paperSize = 255;
}

void cPDF::CompressLevel(int16_t level) {
    if (level < 0 || level > 9) return;
    m_compressLevel = level;
    if (level == 0) m_compressData = false;
}

// ---- Primitives ------------------------------------------------------------------------

void cPDF::WriteBytes(std::string_view bytes) {
    if (!m_file) Raise(kBadFileNumber);
    if (!m_file->Write(bytes.data(), bytes.size())) Raise(kDeviceIoError);
}

void cPDF::WriteLine(std::string_view line) {
    WriteBytes(line);
    WriteBytes("\r\n");
}

void cPDF::Content(std::string_view line) {
    if (!m_file) Raise(kBadFileNumber);
    if (m_stream == Stream::None) Raise(ComError::kInvalidProcedureCall);
    WriteLine(line);
}

int16_t cPDF::Next(int32_t number) const {
    if (number < 1 || number > 32767) Raise(ComError::kOverflow);
    return int16_t(number);
}

int16_t cPDF::BeginObject(int32_t number) {
    if (!m_file) Raise(kBadFileNumber);
    int16_t n = Next(number == 0 ? m_highestObject + 1 : number);
    m_highestObject = std::max<int32_t>(m_highestObject, n);
    uint64_t offset = m_file->Tell();
    if (offset > 9999999999ull) Raise(ComError::kOverflow);
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010llu 00000 n", static_cast<unsigned long long>(offset));
    if (m_xref.size() < size_t(n)) m_xref.resize(size_t(n));
    m_xref[size_t(n) - 1] = entry;
    WriteLine(Str(n) + " 0 obj");
    return n;
}

void cPDF::CloseObject() {
    WriteLine("endobj");
}

void cPDF::OpenStream(Stream kind) {
    m_streamStart = m_file->Tell();
    m_stream = kind;
}

void cPDF::CloseStream() {
    uint64_t length = m_file->Tell() - m_streamStart;
    m_stream = Stream::None;
    m_openForm.clear();
    WriteLine("endstream");
    CloseObject();
    BeginObject(0);
    WriteLine(Str(static_cast<long long>(length)));
    CloseObject();
}

// ---- Documents -------------------------------------------------------------------------

void cPDF::ResetDocument() {
    m_highestObject = 0;
    m_xref.clear();
    m_pages = 0;
    m_images.clear();
    m_pageKids.clear();
    m_imageResources.clear();
    m_fontResources.clear();
    m_formResources.clear();
    m_fonts.clear();
    m_forms.clear();
    m_openForm.clear();
    m_stream = Stream::None;
    m_charSpacing = m_wordSpacing = 0;
    m_horizontalScaling = 100;
}

bool cPDF::InitPDFFile(const std::string& sFilename) {
    // A document still open here was never completed: it is dropped and its file left as
    // it was. Each document starts with its own objects, pages and resources.
    m_file.reset();
    ResetDocument();
    m_fileName = sFilename;
    m_file = win::CreateReplacement(sFilename);
    if (!m_file) return false;
    try {
        WriteLine("%PDF-1.3");
        WriteInfo();
        WriteCatalog();
    } catch (const ComError&) {
        m_file.reset();
        return false;
    }
    m_highestObject = 4;
    return true;
}

void cPDF::WriteInfo() {
    BeginObject(1);
    std::string date = CreationDate(int64_t(std::time(nullptr)));
    WriteLine(JoinCR(
        {"<<", "/Title (" + info_text(m_title) + ")", "/Author (" + info_text(m_author) + ")",
         "/Creator  (" + info_text(m_creator) + ")", "/Producer (" + info_text(m_producer) + ")",
         "/CreationDate (" + date + ")", ">>"}));
    CloseObject();
}

void cPDF::WriteCatalog() {
    BeginObject(2);
    WriteLine(JoinCR({"<<", "/Type /Catalog", "/Pages 3 0 R", "/PageMode /UseNone",
                      "/PageLayout /OneColumn",
                      "/ViewerPreferences << /HideToolbar false /DisplayDocTitle true "
                      "/HideWindowUI false >>",
                      ">>"}));
    CloseObject();
}

void cPDF::ClosePDFFile() {
    if (!m_file) Raise(kBadFileNumber);
    // A page or form left open is finished first, so that the file stays well formed.
    if (m_stream != Stream::None) CloseStream();
    WriteResources();
    WritePageTree();
    WriteXrefAndTrailer();
    std::unique_ptr<win::OutputFile> file = std::move(m_file);
    if (!file->Commit()) Raise(kDeviceIoError);
}

void cPDF::WriteResources() {
    BeginObject(4);
    std::string line = "<<\r";
    if (!m_fontResources.empty()) line += "/Font <<\r" + m_fontResources + ">>\r";
    line += "/ProcSet [/PDF /Text";
    if (!m_imageResources.empty()) line += " /ImageB /ImageC /ImageI";
    line += " ]\r";
    if (!m_imageResources.empty() || !m_formResources.empty())
        line += "/XObject <<\r" + m_imageResources + "\r" + m_formResources + ">>\r";
    line += ">>";
    WriteLine(line);
    CloseObject();
}

void cPDF::WritePageTree() {
    BeginObject(3);
    WriteLine(JoinCR({"<<", "/Type /Pages", "/Count " + Str(m_pages), "/Kids [" + m_pageKids + " ]",
                      "/Resources 4 0 R", ">>"}));
    CloseObject();
}

void cPDF::WriteXrefAndTrailer() {
    uint64_t xref = m_file->Tell();
    WriteLine("xref");
    WriteLine("0 " + Str(m_highestObject + 1));
    WriteLine("0000000000 65535 f");
    for (int32_t i = 0; i < m_highestObject; ++i) WriteLine(m_xref[size_t(i)]);
    WriteLine(JoinCR({"trailer", "<<", "/Size " + Str(m_highestObject + 1), "/Info 1 0 R",
                      "/Root 2 0 R", ">>"}));
    WriteLine("startxref\r" + Str(static_cast<long long>(xref)));
    WriteLine("%%EOF\r");
}

// ---- Pages -----------------------------------------------------------------------------

int16_t cPDF::BeginPage() {
    if (!m_file) Raise(kBadFileNumber);
    if (m_stream != Stream::None) Raise(ComError::kInvalidProcedureCall);
    int16_t page = Next(m_pages + 1);
    Next(m_highestObject + 3);  // the page, its contents and their length
    m_pages = page;
    int16_t n = BeginObject(0);
    std::string m = FormatNumber(m_margin);
    WriteLine(JoinCR(
        {"<<", "/Type /Page", "/Parent 3 0 R", "/Contents " + Str(n + 1) + " 0 R",
         "/MediaBox [0 0 " + FormatNumber(m_paperWidth) + " " + FormatNumber(m_paperHeight) + "]",
         "/CropBox [" + m + " " + m + " " + FormatNumber(m_paperWidth - m_margin) + " " +
             FormatNumber(m_paperHeight - m_margin) + "]",
         m_orientation == 1 ? "/Rotate 90" : "", ">>"}));
    CloseObject();
    m_pageKids += Str(n) + " 0 R ";
    BeginObject(n + 1);
    WriteLine(JoinCR({"<< /Length " + Str(n + 2) + " 0 R >>", "stream"}));
    OpenStream(Stream::Page);
    DrawPageObjects(page);
    m_charSpacing = m_wordSpacing = 0;
    m_horizontalScaling = 100;
    return page;
}

void cPDF::EndPage() {
    if (!m_file) Raise(kBadFileNumber);
    if (m_stream != Stream::Page) Raise(ComError::kInvalidProcedureCall);
    CloseStream();
}
