// GDI fonts over fontconfig (which file a description means, which families are installed)
// and FreeType (metrics and advances read from the file, in font units, then scaled).
#include "platform/win/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/win/win.h"

namespace {

// ---- fontconfig ------------------------------------------------------------------------

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct ObjectSetFree {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;
using FontSet = std::unique_ptr<FcFontSet, FontSetFree>;
using ObjectSet = std::unique_ptr<FcObjectSet, ObjectSetFree>;

bool fontconfig_ready() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = FcInit() == FcTrue; });
    return ok;
}

// Names compare as fontconfig compares families: without case and blanks.
std::string fold(const std::string& name) {
    std::string out;
    for (char c : name)
        if (c != ' ') out += char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> families_of(FcPattern* p) {
    std::vector<std::string> out;
    FcChar8* s = nullptr;
    for (int i = 0; FcPatternGetString(p, FC_FAMILY, i, &s) == FcResultMatch; ++i)
        out.emplace_back(reinterpret_cast<const char*>(s));
    return out;
}

// Outline fonts whose family is `family` (every family when empty).
FontSet list_outline_fonts(const std::string& family) {
    if (!fontconfig_ready()) return nullptr;
    Pattern p(FcPatternCreate());
    if (!p) return nullptr;
    FcPatternAddBool(p.get(), FC_OUTLINE, FcTrue);
    if (!family.empty())
        FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    ObjectSet os(FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr)));
    if (!os) return nullptr;
    return FontSet(FcFontList(nullptr, p.get(), os.get()));
}

std::vector<std::string> installed_families() {
    std::map<std::string, std::string> by_folded;
    FontSet set = list_outline_fonts("");
    for (int i = 0; set && i < set->nfont; ++i)
        for (auto& f : families_of(set->fonts[i])) by_folded.emplace(fold(f), f);
    std::vector<std::string> out;
    for (auto& [k, v] : by_folded) out.push_back(v);
    return out;
}

std::optional<std::string> installed_spelling(const std::string& name) {
    FontSet set = list_outline_fonts(name);
    for (int i = 0; set && i < set->nfont; ++i)
        for (auto& f : families_of(set->fonts[i]))
            if (fold(f) == fold(name)) return f;
    return std::nullopt;
}

Pattern substituted(const LOGFONTA& lf) {
    if (!fontconfig_ready()) return nullptr;
    Pattern p(FcPatternCreate());
    if (!p) return nullptr;
    std::string face(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    if (face.empty()) face = "sans-serif";
    FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(p.get(), FC_WEIGHT,
                        lf.lfWeight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p.get(), FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(p.get(), FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, p.get(), FcMatchPattern);
    FcDefaultSubstitute(p.get());
    return p;
}

Pattern best_match(FcPattern* p) {
    FcResult result = FcResultNoMatch;
    return Pattern(FcFontMatch(nullptr, p, &result));
}

// The installed family a metric-compatible alias stands for: the match counts only when its
// family stands among the strongly bound families of the substituted pattern, that is before
// the first weakly bound one (which begins the generic fallbacks).
std::optional<std::string> alias_target(const std::string& name) {
    LOGFONTA lf;
    std::strncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    Pattern p = substituted(lf);
    if (!p) return std::nullopt;
    std::set<std::string> strong;
    FcValue v;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(p.get(), FC_FAMILY, i, &v, &binding) == FcResultMatch;
         ++i) {
        if (binding == FcValueBindingWeak) break;
        if (v.type == FcTypeString) strong.insert(fold(reinterpret_cast<const char*>(v.u.s)));
    }
    Pattern m = best_match(p.get());
    if (!m) return std::nullopt;
    for (auto& f : families_of(m.get()))
        if (strong.count(fold(f))) return installed_spelling(f);
    return std::nullopt;
}

// ---- FreeType ----------------------------------------------------------------------------

struct LibraryFree {
    void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct FaceFree {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryFree>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceFree>;

struct FontObject {
    LOGFONTA lf;
    std::string family;  // of the font actually used
    Face face;
    bool symbol = false;  // mapped through the symbol character map
};

// Per thread: FreeType handles are not shared between threads. Faces go before the library.
struct FontState {
    Library library;
    std::map<uint32_t, FontObject> fonts;
    std::map<HDC, HFONT> selected;

    FontState() {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) == 0) library.reset(l);
    }
    ~FontState() {
        fonts.clear();
        library.reset();
    }
};

FontState& state() {
    thread_local FontState s;
    return s;
}

bool open_face(FontObject& f) {
    Pattern p = substituted(f.lf);
    Pattern m = p ? best_match(p.get()) : nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (!m || FcPatternGetString(m.get(), FC_FILE, 0, &file) != FcResultMatch) return false;
    FcPatternGetInteger(m.get(), FC_INDEX, 0, &index);
    FT_Face face = nullptr;
    if (!state().library ||
        FT_New_Face(state().library.get(), reinterpret_cast<const char*>(file), index, &face) != 0)
        return false;
    f.face.reset(face);
    if (!FT_IS_SCALABLE(face)) return false;
    auto names = families_of(m.get());
    f.family = names.empty() ? std::string(face->family_name ? face->family_name : "") : names[0];
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        f.symbol = FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
        if (!f.symbol) return false;
    }
    return true;
}

FontObject* selected_font(HDC dc) {
    auto& s = state();
    auto it = s.selected.find(dc);
    if (it == s.selected.end()) return nullptr;
    auto f = s.fonts.find(uint32_t(it->second));
    return f == s.fonts.end() ? nullptr : &f->second;
}

// ---- Metrics -----------------------------------------------------------------------------

struct VerticalUnits {
    long ascent = 0, descent = 0;  // font units, both positive
};

VerticalUnits vertical_units(FT_Face face) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
        return {long(os2->usWinAscent), long(os2->usWinDescent)};
    return {long(face->ascender), long(-face->descender)};
}

// Pixels per em for the requested height: negative heights are the em, positive the cell.
double em_size(const FontObject& f) {
    LONG h = f.lf.lfHeight;
    if (h < 0) return -double(h);
    if (h == 0) return 16;
    VerticalUnits v = vertical_units(f.face.get());
    double cell = double(v.ascent + v.descent);
    return cell > 0 ? double(h) * f.face->units_per_EM / cell : double(h);
}

LONG scaled(const FontObject& f, double units) {
    return LONG(std::nearbyint(units * em_size(f) / f.face->units_per_EM));
}

FT_UInt glyph_of(const FontObject& f, char32_t c) {
    if (!f.symbol) return FT_Get_Char_Index(f.face.get(), c);
    FT_UInt g = FT_Get_Char_Index(f.face.get(), 0xF000 + c);
    return g ? g : FT_Get_Char_Index(f.face.get(), c);
}

LONG advance(const FontObject& f, FT_UInt glyph) {
    FT_Fixed units = 0;
    if (FT_Get_Advance(f.face.get(), glyph, FT_LOAD_NO_SCALE, &units) != 0) return 0;
    return scaled(f, double(units));
}

char32_t from_cp1252(BYTE b) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return b >= 0x80 && b < 0xA0 ? char32_t(kHigh[b - 0x80]) : char32_t(b);
}

// The character set the platform reports when any is acceptable: ANSI when the font covers
// Western European text, else the first code page its OS/2 table claims.
BYTE charset_of(const FontObject& f) {
    if (f.symbol) return SYMBOL_CHARSET;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f.face.get(), FT_SFNT_OS2));
    if (!os2 || os2->version == 0 || os2->ulCodePageRange1 == 0)
        return glyph_of(f, U'A') && glyph_of(f, 0xE9) ? ANSI_CHARSET : DEFAULT_CHARSET;
    static constexpr std::pair<int, BYTE> kBits[] = {
        {0, ANSI_CHARSET},    {1, EASTEUROPE_CHARSET},   {2, RUSSIAN_CHARSET},
        {3, GREEK_CHARSET},   {4, TURKISH_CHARSET},      {5, HEBREW_CHARSET},
        {6, ARABIC_CHARSET},  {7, BALTIC_CHARSET},       {8, VIETNAMESE_CHARSET},
        {16, THAI_CHARSET},   {17, SHIFTJIS_CHARSET},    {18, GB2312_CHARSET},
        {19, HANGUL_CHARSET}, {20, CHINESEBIG5_CHARSET}, {31, SYMBOL_CHARSET}};
    for (auto [bit, set] : kBits)
        if (os2->ulCodePageRange1 & (1ul << bit)) return set;
    return DEFAULT_CHARSET;
}

void code_range(const FontObject& f, BYTE* first, BYTE* last) {
    *first = 0x20;
    *last = 0x20;
    bool any = false;
    for (int code = 0x20; code <= 0xFF; ++code) {
        char32_t c = f.symbol ? char32_t(code) : from_cp1252(BYTE(code));
        if (!glyph_of(f, c)) continue;
        if (!any) *first = BYTE(code);
        *last = BYTE(code);
        any = true;
    }
}

void fill_metrics(const FontObject& f, TEXTMETRICA* tm) {
    FT_Face face = f.face.get();
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    VerticalUnits v = vertical_units(face);
    *tm = TEXTMETRICA{};
    tm->tmAscent = scaled(f, double(v.ascent));
    tm->tmDescent = scaled(f, double(v.descent));
    tm->tmHeight = tm->tmAscent + tm->tmDescent;
    tm->tmInternalLeading = std::max<LONG>(0, tm->tmHeight - LONG(std::nearbyint(em_size(f))));
    double max_units = hhea ? double(hhea->advance_Width_Max) : double(face->max_advance_width);
    tm->tmMaxCharWidth = scaled(f, max_units);
    tm->tmAveCharWidth = os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0
                             ? scaled(f, double(os2->xAvgCharWidth))
                             : advance(f, glyph_of(f, U'x'));
    tm->tmWeight = f.lf.lfWeight ? f.lf.lfWeight : FW_NORMAL;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    code_range(f, &tm->tmFirstChar, &tm->tmLastChar);
    tm->tmDefaultChar = tm->tmFirstChar;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = f.lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = f.lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = f.lf.lfStrikeOut ? 1 : 0;
    // Bit 0 set means variable pitch; 2 vector, 4 TrueType.
    tm->tmPitchAndFamily = BYTE((FT_IS_FIXED_WIDTH(face) ? 0 : 1) | 2 | 4);
    tm->tmCharSet = charset_of(f);
}

bool valid_dc(HDC dc) {
    return GetDeviceCaps(dc, BITSPIXEL) != 0;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) return HFONT{};
    FontObject f;
    f.lf = *font;
    f.lf.lfFaceName[LF_FACESIZE - 1] = 0;
    if (!open_face(f)) return HFONT{};
    uint32_t h = platform::next_handle_value(platform::HandleKind::GdiObject);
    state().fonts.emplace(h, std::move(f));
    return HFONT(h);
}

HFONT SelectObject(HDC dc, HFONT font) {
    auto& s = state();
    if (!valid_dc(dc) || !s.fonts.count(uint32_t(font))) return HFONT{};
    HFONT previous{};
    if (auto it = s.selected.find(dc); it != s.selected.end()) previous = it->second;
    s.selected[dc] = font;
    return previous;
}

BOOL DeleteObject(HFONT font) {
    auto& s = state();
    // Contexts deleted since the font was selected no longer hold it.
    std::erase_if(s.selected, [](const auto& kv) { return !valid_dc(kv.first); });
    for (auto& [dc, f] : s.selected)
        if (f == font) return FALSE;
    return s.fonts.erase(uint32_t(font)) ? TRUE : FALSE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    FontObject* f = valid_dc(dc) ? selected_font(dc) : nullptr;
    if (!f || !metrics) return FALSE;
    fill_metrics(*f, metrics);
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, const WCHAR* text, int count, SIZE* size) {
    FontObject* f = valid_dc(dc) ? selected_font(dc) : nullptr;
    if (!f || !size || count < 0 || (count > 0 && !text)) return FALSE;
    LONG width = 0;
    for (int i = 0; i < count; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00);
        width += advance(*f, glyph_of(*f, c));
    }
    VerticalUnits v = vertical_units(f->face.get());
    size->cx = width;
    size->cy = scaled(*f, double(v.ascent)) + scaled(*f, double(v.descent));
    return TRUE;
}

int GetTextFaceA(HDC dc, int size, char* face) {
    FontObject* f = valid_dc(dc) ? selected_font(dc) : nullptr;
    if (!f || !face || size <= 0) return 0;
    size_t n = std::min(f->family.size(), size_t(size - 1));
    std::memcpy(face, f->family.data(), n);
    face[n] = 0;
    return int(n);
}

int EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA proc, LPARAM param, DWORD) {
    if (!font || !proc) return 0;
    std::string face(font->lfFaceName, strnlen(font->lfFaceName, LF_FACESIZE));
    std::vector<std::string> names;
    if (face.empty()) {
        names = win::InstalledFontFamilies();
    } else if (auto own = win::InstalledFontFamily(face)) {
        names.push_back(*own);
    }
    int result = 1;
    for (const auto& name : names) {
        LOGFONTA lf = *font;
        std::memset(lf.lfFaceName, 0, LF_FACESIZE);
        std::strncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
        TEXTMETRICA tm{};
        tm.tmCharSet = ANSI_CHARSET;
        result = proc(&lf, &tm, TRUETYPE_FONTTYPE, param);
        if (result == 0) break;
    }
    return result;
}

namespace win {

std::optional<std::string> InstalledFontFamily(const std::string& name) {
    if (name.empty()) return std::nullopt;
    if (auto own = installed_spelling(name)) return own;
    return alias_target(name);
}

std::vector<std::string> InstalledFontFamilies() {
    return installed_families();
}

bool FontFamilyHasFace(const std::string& family, bool bold, bool italic) {
    if (!fontconfig_ready()) return false;
    Pattern p(FcPatternCreate());
    if (!p) return false;
    FcPatternAddBool(p.get(), FC_OUTLINE, FcTrue);
    FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    ObjectSet os(FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, static_cast<char*>(nullptr)));
    if (!os) return false;
    FontSet set(FcFontList(nullptr, p.get(), os.get()));
    for (int i = 0; set && i < set->nfont; ++i) {
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
        if ((weight >= FC_WEIGHT_DEMIBOLD) == bold && (slant != FC_SLANT_ROMAN) == italic)
            return true;
    }
    return false;
}

}  // namespace win
