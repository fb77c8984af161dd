// What a host program uses with the controls' results: the global memory blocks a DIB comes
// in (TwainAcquireToDib), the DIB's header, deleting a GDI bitmap (GetHBitmap), the message
// boxes shown on its thread, and why the last failure happened.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

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

// ---- GDI objects ---------------------------------------------------------------------
BOOL DeleteObject(HGDIOBJ object);

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

// ---- Last error ------------------------------------------------------------------------
DWORD GetLastError();
void SetLastError(DWORD code);

namespace win {
// Why the calling thread's last platform failure happened, in words ("write /x/a.tif: No
// space left on device", "libtiff: ..."), for logs and command-line tools. Set together with
// the last error; kept until the next failure or ClearErrorDetail.
void SetErrorDetail(std::string text);
const std::string& GetErrorDetail();
void ClearErrorDetail();

// Diagnostics that do not change a result (a broken page skipped, a fallback taken). Written
// to standard error when LUMTWAIN_DEBUG is set to a non-empty value other than "0", or given
// to the host's handler.
void DebugLog(const std::string& text);
using DebugLogHandler = std::function<void(const std::string&)>;
void SetDebugLogHandler(DebugLogHandler handler);
}  // namespace win

LUM_END_EXPORTS
