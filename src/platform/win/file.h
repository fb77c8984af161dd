// Files, the thread's last error and the debug log: the parts of kernel32 the system uses,
// plus the writers every save goes through.
//
// Saving never destroys the file it replaces: a replacement writes a temporary file created
// exclusively in the target's folder and renames it over the target only when everything was
// written; on any failure the temporary file is removed and the target is as it was. Files
// that must be written in place (a multipage file kept open page by page) are held open
// exclusively: a replacement of the same file (same device and inode) fails with
// ERROR_SHARING_VIOLATION while they are open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lumtwainpro/export.h"
#include "lumtwainpro/host.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

// ---- Last error ------------------------------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;

namespace win {
// The platform's error code for an errno value.
DWORD ErrorFromErrno(int error);
// Records errno as the last error, with "<what> <path>: <strerror>" as its detail.
void SetLastErrorFromErrno(int error, const std::string& what, const std::string& path);
}  // namespace win

// ---- Files -----------------------------------------------------------------------------
// FALSE, with the last error set, when the file cannot be deleted.
BOOL DeleteFileA(const char* path);

namespace win {

// Identity of an existing file, links followed.
struct FileId {
    uint64_t device = 0;
    uint64_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};
bool GetFileId(const std::string& path, FileId* out);

// An output file with random access (libtiff seeks back to patch offsets). Writes are
// buffered; the first failure sticks, and Commit reports it.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    [[nodiscard]] virtual bool Write(const void* data, size_t size) = 0;
    [[nodiscard]] virtual bool Seek(uint64_t position) = 0;
    virtual uint64_t Tell() const = 0;
    virtual uint64_t Size() = 0;
    virtual size_t Read(void* data, size_t size) = 0;
    // Completes the file: everything flushed and, for a replacement, renamed over its target.
    // False, with the last error set, when anything written was lost; the target is then as
    // it was before (a replacement) or incomplete (in place). Only the first call counts.
    [[nodiscard]] virtual bool Commit() = 0;
    // The file being written (the target's real path, links resolved).
    virtual const std::string& Path() const = 0;
};

// A whole-or-nothing replacement of `path`, which may exist. Null, with the last error set,
// when it cannot be started (no such folder, no permission, the file is held open in place).
// Dropping it without a successful Commit removes the temporary file.
std::unique_ptr<OutputFile> CreateReplacement(const std::string& path);
// `path` opened for writing in place and truncated, held open exclusively until the object
// is dropped. Null, with the last error set, when it cannot be opened.
std::unique_ptr<OutputFile> CreateInPlace(const std::string& path);
// Creates a new, empty file exclusively: never following a link or replacing anything.
// FALSE with ERROR_FILE_EXISTS when the name is taken.
bool CreateNewFile(const std::string& path);

}  // namespace win

LUM_END_EXPORTS
