// Stand-in for the parts of kernel32, gdi32, user32 and version.dll that the system calls.
// Handles are 32-bit keys of per-thread tables (platform/context.h); a stale or unknown
// handle fails the way a null handle does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/host.h"
#include "lumtwainpro/wintypes.h"
#include "platform/win/file.h"

LUM_BEGIN_EXPORTS

// ---- GDI bitmaps, palettes, icons, metafiles -----------------------------------------
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

struct ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};

// A DIB section: bits are owned by the bitmap and stay valid until DeleteObject. Bits are
// bottom-up for a positive biHeight, as on the platform. Supports 1, 4, 8, 16, 24 and 32
// bits per pixel; the colour table is copied from the BITMAPINFO.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A 32-bit screen-compatible bitmap, zero-filled.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HICON CreateIconIndirect(const ICONINFO* info);
BOOL GetIconInfo(HICON icon, ICONINFO* info);  // copies of the bitmaps; the caller deletes them
BOOL DestroyIcon(HICON icon);
// Works for bitmaps (BITMAP), palettes (WORD entry count); returns bytes written, 0 on failure.
int GetObject(HGDIOBJ object, int size, void* out);
// Copies `lines` rows of `bits` (laid out as `info` says: bottom-up unless its height is
// negative) into the bitmap from scan line `start`. The depth must be the bitmap's own;
// returns the rows copied, 0 on failure.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
// Bitmap colour table of a DIB section (empty for bitmaps above 8 bits).
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);

// Metafiles are recorded vector drawings: a frame size, a resolution and drawing records.
namespace win {
struct MetaRecord {
    enum class Kind { FillRect, FillEllipse } kind = Kind::FillRect;
    RECT rect;       // in device pixels of the metafile's resolution
    uint32_t argb;   // fill colour
};
struct MetafileData {
    int width = 0;   // pixels
    int height = 0;
    float dpi_x = 96, dpi_y = 96;
    std::vector<MetaRecord> records;
};
// Records a metafile (enhanced when `enhanced`); the caller deletes it with DeleteEnhMetaFile
// or DeleteMetaFile.
HENHMETAFILE RecordMetafile(const MetafileData& data, bool enhanced);
const MetafileData* FindMetafile(HGDIOBJ metafile, bool* enhanced = nullptr);
}  // namespace win
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);
BOOL DeleteMetaFile(HMETAFILE metafile);

// ---- Device contexts -----------------------------------------------------------------
// A memory DC draws into the 32-bit bitmap selected into it; GetDC(0) is the screen.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int BITSPIXEL = 12;
int GetDeviceCaps(HDC dc, int index);

namespace win {
// The pixels a DC draws into: 32-bit BGRA rows, top row first. Null when none is selected.
struct Surface {
    BYTE* scan0 = nullptr;
    int width = 0, height = 0;
    int stride = 0;  // signed: bottom-up DIB sections have a negative stride
};
bool GetSurface(HDC dc, Surface* out);
// The pixels of a bitmap (any depth) with its colour table, for the gdiplus stand-in.
struct BitmapView {
    BYTE* scan0 = nullptr;  // top row
    int width = 0, height = 0;
    int stride = 0;
    int bits_per_pixel = 0;
    std::vector<RGBQUAD> colors;
};
bool GetBitmapView(HBITMAP bitmap, BitmapView* out);
}  // namespace win

// ---- Clipboard -----------------------------------------------------------------------
// The clipboard of the calling thread. Data set on it is owned by it until emptied.
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_METAFILEPICT = 3;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_PALETTE = 9;
constexpr UINT CF_ENHMETAFILE = 14;
struct METAFILEPICT {
    LONG mm;
    LONG xExt;
    LONG yExt;
    HMETAFILE hMF;
};
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

// ---- Version resources ---------------------------------------------------------------
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
// Only "gdiplus.dll" has a version resource: that of the gdiplus stand-in.
DWORD GetFileVersionInfoSizeA(const char* filename, DWORD* handle);
BOOL GetFileVersionInfoA(const char* filename, DWORD handle, DWORD len, void* data);
BOOL VerQueryValueA(const void* block, const char* sub_block, void** buffer, UINT* len);

namespace win {
// The file version "gdiplus.dll" reports on the calling thread: the value set here, else
// LUMTWAIN_GDIPLUS_VERSION, else 6.1.7601.24546. Empty: no version resource; "error": an
// unreadable one.
void SetGdiplusFileVersion(const std::string& version);
std::string GdiplusFileVersion();
}  // namespace win

// ---- Modules -------------------------------------------------------------------------
using HMODULE = void*;
using FARPROC = void (*)();
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// Null with the last error set (ERROR_MOD_NOT_FOUND when there is no such file,
// ERROR_BAD_EXE_FORMAT when it cannot be loaded) and the path and the loader's words as the
// error detail.
HMODULE LoadLibraryA(const char* path);
// Null with ERROR_PROC_NOT_FOUND and the detail when the module has no such export.
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

namespace win {
// The file of the module that holds `address` (GetModuleHandleEx from an address, then
// GetModuleFileName), as an absolute path; empty when unknown.
std::string ModuleFileOf(const void* address);
}  // namespace win

// ---- Registry ------------------------------------------------------------------------
namespace win {
// The registry is a per-user text file of [key] sections holding name=value lines:
// LUMTWAIN_REGISTRY when set, else $XDG_CONFIG_HOME/lumtwainpro/registry.ini, else
// $HOME/.config/lumtwainpro/registry.ini. Empty when none can be named.
std::string RegistryPath();
struct RegistryKey {
    std::string name;
    std::vector<std::string> values;  // "name=value"
};
// In one whole-or-nothing rewrite of the file: removes the keys named in `remove` (compared
// without regard to case) and appends `add`. Every other key stays as it was. False, with
// the last error set, when the file cannot be written.
bool UpdateRegistry(const std::vector<std::string>& remove, const std::vector<RegistryKey>& add);
bool RegistryExists();
}  // namespace win

// ---- Environment ---------------------------------------------------------------------
// Length copied (without NUL), the size needed when `size` is too small, 0 when unset.
DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size);

namespace win {
std::string GetEnvironmentString(const char* name);  // empty when unset
// The temporary folder: `tmp`, then `temp`, then TMPDIR, else "/tmp"; always ends in "/".
std::string GetTempFolder();
}  // namespace win


LUM_END_EXPORTS
