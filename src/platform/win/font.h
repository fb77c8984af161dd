// Stand-in for the font and text-metric functions of gdi32, over fontconfig and FreeType.
//
// A font is created from a LOGFONTA, selected into a device context and measured there:
// text metrics (GetTextMetricsA) and extents (GetTextExtentPoint32W) come from the outline
// font that fontconfig matches for the face name, weight and slant, scaled to the requested
// height with each advance rounded to whole units, as the platform's hinted metrics are.
// The installed families are those fontconfig lists; a name that is not installed still
// creates a font (the closest one, as the platform's font mapper does), so "is this family
// installed?" is asked with EnumFontFamiliesExA.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

using WCHAR = char16_t;
using LPARAM = LONG_PTR;

constexpr int LF_FACESIZE = 32;

constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE GREEK_CHARSET = 161;
constexpr BYTE TURKISH_CHARSET = 162;
constexpr BYTE VIETNAMESE_CHARSET = 163;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE ARABIC_CHARSET = 178;
constexpr BYTE BALTIC_CHARSET = 186;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE THAI_CHARSET = 222;
constexpr BYTE EASTEUROPE_CHARSET = 238;
constexpr BYTE OEM_CHARSET = 255;

constexpr DWORD TRUETYPE_FONTTYPE = 4;

struct LOGFONTA {
    LONG lfHeight = 0;  // < 0: character (em) height; > 0: cell height; 0: a default size
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = FW_DONTCARE;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = DEFAULT_CHARSET;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};  // UTF-8, NUL-terminated
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;  // codes of Windows-1252 for every character set but the symbol one
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

// A font handle: its own type, so that SelectObject and DeleteObject know it from bitmaps.
enum class HFONT : uint32_t {};

// 0 when the description is unusable (no face name and no way to pick a default).
HFONT CreateFontIndirectA(const LOGFONTA* font);
// Selects the font into a device context; returns the font selected before (HFONT{} for
// none), or HFONT{} with nothing changed for an unknown context or font.
HFONT SelectObject(HDC dc, HFONT font);
// FALSE for an unknown font or one still selected into a device context.
BOOL DeleteObject(HFONT font);

// Metrics of the font selected into `dc`; FALSE when none is selected or it cannot be read.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// The advance of `count` UTF-16 characters (no kerning) and the font's cell height.
// Characters the font has no glyph for measure as its missing-glyph box.
BOOL GetTextExtentPoint32W(HDC dc, const WCHAR* text, int count, SIZE* size);
// The family name of the selected font (UTF-8); characters copied, 0 when none.
int GetTextFaceA(HDC dc, int size, char* face);

// Called once per family; a non-zero return goes on with the next one.
using FONTENUMPROCA = int (*)(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD type,
                              LPARAM param);
// With an empty face name: every installed outline family, sorted by name. With a face name:
// the installed family that the name stands for, its own spelling in lfFaceName: the family
// itself (names compare without case and blanks), or the installed font that the system
// declares metric-compatible with it (Arial and Liberation Sans); nothing for a family that
// would only be replaced by a fallback. Returns the last value the callback returned, or 1
// when it was not called.
int EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA proc, LPARAM param, DWORD flags);

namespace win {
// The one rule for naming installed fonts, shared by GDI and the GDI+ font families: the
// installed family `name` stands for, in its own spelling (the family itself, or the one the
// system declares metric-compatible with it); nothing for a name only a fallback would serve.
std::optional<std::string> InstalledFontFamily(const std::string& name);
// Every installed outline family, sorted by name without regard to case (a stable order).
std::vector<std::string> InstalledFontFamilies();
// Whether the installed family has a face of that weight and slant of its own.
bool FontFamilyHasFace(const std::string& family, bool bold, bool italic);
}  // namespace win

LUM_END_EXPORTS
