// Version resources: only the gdiplus stand-in has one, its file version set per thread.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/win/win.h"

namespace {

std::optional<std::string>& thread_version() {
    thread_local std::optional<std::string> v;
    return v;
}

bool is_gdiplus(const char* filename) {
    return filename && strcasecmp(filename, "gdiplus.dll") == 0;
}

std::string gdiplus_version() {
    if (thread_version()) return *thread_version();
    if (const char* env = std::getenv("LUMTWAIN_GDIPLUS_VERSION")) return env;
    return "6.1.7601.24546";
}

// Parses "a.b.c.d"; false when the resource is absent or unreadable.
bool fixed_info(VS_FIXEDFILEINFO* out) {
    std::string v = gdiplus_version();
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (v.empty() || std::sscanf(v.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) < 1) return false;
    *out = VS_FIXEDFILEINFO{};
    out->dwSignature = 0xFEEF04BD;
    out->dwStrucVersion = 0x00010000;
    out->dwFileVersionMS = (a & 0xFFFF) << 16 | (b & 0xFFFF);
    out->dwFileVersionLS = (c & 0xFFFF) << 16 | (d & 0xFFFF);
    out->dwProductVersionMS = out->dwFileVersionMS;
    out->dwProductVersionLS = out->dwFileVersionLS;
    return true;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(const char* filename, DWORD* handle) {
    if (handle) *handle = 0;
    VS_FIXEDFILEINFO info;
    if (!is_gdiplus(filename) || gdiplus_version().empty()) return 0;
    (void)info;
    return sizeof(VS_FIXEDFILEINFO);
}

BOOL GetFileVersionInfoA(const char* filename, DWORD, DWORD len, void* data) {
    VS_FIXEDFILEINFO info;
    if (!is_gdiplus(filename) || !data || len < sizeof info || !fixed_info(&info)) return FALSE;
    std::memcpy(data, &info, sizeof info);
    return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* sub_block, void** buffer, UINT* len) {
    if (!block || !sub_block || std::strcmp(sub_block, "\\") != 0 || !buffer) return FALSE;
    *buffer = const_cast<void*>(block);
    if (len) *len = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}

namespace win {
void SetGdiplusFileVersion(const std::string& version) { thread_version() = version; }
std::string GdiplusFileVersion() { return gdiplus_version(); }
}  // namespace win
