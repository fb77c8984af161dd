// Environment variables and the temporary folder.
#include <cstdlib>

#include "platform/win/win.h"

DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) {
    const char* value = name ? std::getenv(name) : nullptr;
    if (!value) return 0;
    DWORD len = DWORD(std::strlen(value));
    if (!buffer || size <= len) return len + 1;
    std::memcpy(buffer, value, len + 1);
    return len;
}

namespace win {

std::string GetEnvironmentString(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string GetTempFolder() {
    std::string folder;
    for (const char* name : {"tmp", "temp", "TMPDIR"}) {
        folder = GetEnvironmentString(name);
        if (!folder.empty()) break;
    }
    if (folder.empty()) folder = "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace win
