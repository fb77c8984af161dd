// Reading files over POSIX descriptors.
#include "platform/win/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/win/file.h"

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

DWORD GetFileAttributesA(const char* path) {
    struct stat st {};
    if (!path || ::stat(path, &st) != 0) {
        win::SetLastErrorFromErrno(path ? errno : ENOENT, "stat", path ? path : "");
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    bool writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return writable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

namespace win {

namespace {
bool read_file(const std::string& path, std::vector<uint8_t>* out, uint64_t max_bytes) {
    Fd f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0) {
        SetLastErrorFromErrno(errno, "open", path);
        return false;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastErrorFromErrno(errno ? errno : EISDIR, "read", path);
        return false;
    }
    auto too_large = [&] {
        out->clear();
        SetLastError(ERROR_FILE_TOO_LARGE);
        SetErrorDetail("read " + path + ": too large to load");
        return false;
    };
    if (uint64_t(st.st_size) > max_bytes) return too_large();
    // One byte more than the size says: a file that grew meanwhile is read to its end.
    out->resize(size_t(st.st_size) + 1);
    size_t have = 0;
    for (;;) {
        if (have == out->size()) {
            if (out->size() >= max_bytes) return too_large();
            out->resize(size_t(std::min<uint64_t>(uint64_t(out->size()) * 2, max_bytes)));
        }
        ssize_t k = ::read(f.fd, out->data() + have, out->size() - have);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) {
            SetLastErrorFromErrno(errno, "read", path);
            out->clear();
            return false;
        }
        if (k == 0) break;
        have += size_t(k);
    }
    out->resize(have);
    return true;
}
}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, uint64_t max_bytes) {
    out->clear();
    try {
        return read_file(path, out, max_bytes);
    } catch (const std::bad_alloc&) {
        out->clear();
        out->shrink_to_fit();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SetErrorDetail("read " + path + ": out of memory");
        return false;
    }
}

bool ReadFileHead(const std::string& path, size_t n, std::vector<uint8_t>* out) {
    out->assign(n, 0);
    Fd f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = f.fd < 0 || !S_ISDIR(st.st_mode) ? errno : EISDIR;
        SetLastErrorFromErrno(error ? error : EINVAL, "open", path);
        out->clear();
        return false;
    }
    size_t have = 0;
    while (have < n) {
        ssize_t k = ::read(f.fd, out->data() + have, n - have);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) {
            SetLastErrorFromErrno(errno, "read", path);
            out->clear();
            return false;
        }
        if (k == 0) break;
        have += size_t(k);
    }
    out->resize(have);
    return true;
}

}  // namespace win
