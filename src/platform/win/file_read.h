// Reading files: the attribute query the system uses to tell whether a path names a file,
// and one reader of whole files for the system's own decoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// INVALID_FILE_ATTRIBUTES, with the last error set, when nothing is there (links followed).
DWORD GetFileAttributesA(const char* path);

namespace win {

// The whole of a regular file. False, with the last error and its detail set, when it cannot
// be opened or read, or is larger than `max_bytes` (ERROR_FILE_TOO_LARGE; nothing is
// allocated for it).
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out,
                                 uint64_t max_bytes = uint64_t(1) << 32);
// The first `n` bytes of a regular file (fewer when it is shorter), for signature tests.
[[nodiscard]] bool ReadFileHead(const std::string& path, size_t n, std::vector<uint8_t>* out);

}  // namespace win

LUM_END_EXPORTS
