// Stand-in for the parts of kernel32, gdi32, user32 and version.dll that the system calls.
// Handles are 32-bit keys of per-thread tables (platform/context.h); a stale or unknown
// handle fails the way a null handle does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/wintypes.h"

// ---- Global memory -------------------------------------------------------------------
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Returns 0 when the block cannot be allocated.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Pointer to the block's first byte, counted; null for an unknown handle.
void* GlobalLock(HGLOBAL mem);
// TRUE while the block stays locked.
BOOL GlobalUnlock(HGLOBAL mem);
// 0 on success, the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL mem);
// 0 for an unknown handle.
SIZE_T GlobalSize(HGLOBAL mem);
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);

namespace win {
// Live global blocks of the calling thread (for leak checks in tests and benchmarks).
size_t live_global_blocks();
}  // namespace win

// ---- GDI bitmaps, palettes, icons, metafiles -----------------------------------------
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

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
BOOL DeleteObject(HGDIOBJ object);
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

// ---- Message boxes -------------------------------------------------------------------
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

namespace win {
struct MessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type = 0;
};
// Returns and clears the message boxes shown on the calling thread.
std::vector<MessageBoxRecord> TakeMessageBoxes();
// A host with real windows shows its own dialog; returns the button pressed.
using MessageBoxHandler = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
// Headless boxes are also written to standard error unless silenced (tests silence them).
void SetMessageBoxEcho(bool echo);
}  // namespace win

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

#include "platform/win/file.h"
