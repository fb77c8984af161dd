// Files over POSIX descriptors: whole-or-nothing replacements, in-place files held open
// exclusively, exclusive creation, deletion, the last error and the debug log.
#include "platform/win/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

namespace {

struct LastError {
    DWORD code = 0;
    std::string detail;
};
LastError& last_error() {
    thread_local LastError e;
    return e;
}

// Files written in place right now, in any thread: replacing one of them under its writer
// would corrupt what the writer completes.
class InPlaceFiles {
public:
    bool add(const win::FileId& id) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end()) return false;
        m_ids.push_back(id);
        return true;
    }
    void remove(const win::FileId& id) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find(m_ids.begin(), m_ids.end(), id);
        if (it != m_ids.end()) m_ids.erase(it);
    }
    bool contains(const win::FileId& id) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end();
    }

private:
    std::mutex m_mutex;
    std::vector<win::FileId> m_ids;
};
InPlaceFiles& in_place_files() {
    static InPlaceFiles files;
    return files;
}

win::FileId id_of(const struct stat& st) {
    return {uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

// A link is followed to the file it names, so that saving through it keeps the link.
std::string resolve_target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : path;
}

class FdFile final : public win::OutputFile {
public:
    FdFile(int fd, std::string path, std::string temp, bool registered, win::FileId id)
        : m_fd(fd), m_path(std::move(path)), m_temp(std::move(temp)), m_registered(registered),
          m_id(id) {
        m_buffer.reserve(kBufferSize);
    }
    ~FdFile() override {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_committed && !m_temp.empty()) ::unlink(m_temp.c_str());
        if (m_registered) in_place_files().remove(m_id);
    }

    bool Write(const void* data, size_t size) override {
        if (m_error) return false;
        if (m_buffer.size() + size > kBufferSize && !flush()) return false;
        if (size >= kBufferSize) return write_all(static_cast<const uint8_t*>(data), size);
        const auto* p = static_cast<const uint8_t*>(data);
        m_buffer.insert(m_buffer.end(), p, p + size);
        return true;
    }
    bool Seek(uint64_t position) override {
        if (!flush()) return false;
        if (::lseek(m_fd, off_t(position), SEEK_SET) < 0) return fail(errno);
        m_pos = position;
        return true;
    }
    uint64_t Tell() const override { return m_pos + m_buffer.size(); }
    uint64_t Size() override {
        struct stat st {};
        if (!flush() || ::fstat(m_fd, &st) != 0) return 0;
        return uint64_t(st.st_size);
    }
    size_t Read(void* data, size_t size) override {
        if (!flush()) return 0;
        ssize_t n;
        do n = ::read(m_fd, data, size);
        while (n < 0 && errno == EINTR);
        if (n <= 0) return 0;
        m_pos += uint64_t(n);
        return size_t(n);
    }
    bool Commit() override;
    const std::string& Path() const override { return m_path; }

private:
    static constexpr size_t kBufferSize = size_t(1) << 18;

    bool fail(int error) {
        if (!m_error) {
            m_error = error ? error : EIO;
            win::SetLastErrorFromErrno(m_error, "write", m_path);
        }
        return false;
    }
    bool write_all(const uint8_t* p, size_t n) {
        while (n) {
            ssize_t k = ::write(m_fd, p, n);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) return fail(k < 0 ? errno : ENOSPC);
            p += k;
            n -= size_t(k);
            m_pos += uint64_t(k);
        }
        return true;
    }
    bool flush() {
        if (m_error) return false;
        if (m_buffer.empty()) return true;
        bool ok = write_all(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return ok;
    }

    int m_fd;
    std::string m_path;
    std::string m_temp;  // empty: written in place
    bool m_registered;
    win::FileId m_id;
    std::vector<uint8_t> m_buffer;
    uint64_t m_pos = 0;  // of the descriptor, before the buffer
    int m_error = 0;
    bool m_done = false;
    bool m_committed = false;
};

bool FdFile::Commit() {
    if (m_done) return m_committed;
    m_done = true;
    flush();
    int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && !m_error) m_error = errno;
    if (!m_error && !m_temp.empty() && ::rename(m_temp.c_str(), m_path.c_str()) != 0)
        m_error = errno;
    if (m_error) {
        win::SetLastErrorFromErrno(m_error, m_temp.empty() ? "write" : "save", m_path);
        return false;
    }
    m_committed = true;
    return true;
}

// A fresh name beside `path`, created exclusively; -1 with errno set on failure.
int create_temp_beside(const std::string& path, std::string* temp) {
    thread_local std::mt19937_64 rng{std::random_device{}() ^ uint64_t(::getpid())};
    std::string folder = folder_of(path);
    std::string base = path.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08llx~", (unsigned long long)(rng() & 0xFFFFFFFFu));
        *temp = folder + "." + base + suffix;
        int fd = ::open(temp->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

std::unique_ptr<win::OutputFile> open_in_place(const std::string& path, bool create) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && in_place_files().contains(id_of(st))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        win::SetErrorDetail("open " + path + ": the file is open for writing by another save");
        return nullptr;
    }
    int flags = O_RDWR | O_TRUNC | O_CLOEXEC | (create ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        win::SetLastErrorFromErrno(errno, "open", path);
        return nullptr;
    }
    bool registered = false;
    win::FileId id;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        id = id_of(st);
        registered = in_place_files().add(id);
        if (!registered) {
            ::close(fd);
            SetLastError(ERROR_SHARING_VIOLATION);
            win::SetErrorDetail("open " + path + ": the file is open for writing by another save");
            return nullptr;
        }
    }
    return std::make_unique<FdFile>(fd, path, "", registered, id);
}

}  // namespace

DWORD GetLastError() { return last_error().code; }
void SetLastError(DWORD code) { last_error().code = code; }

BOOL DeleteFileA(const char* path) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    if (::unlink(path) != 0) {
        win::SetLastErrorFromErrno(errno, "delete", path);
        return FALSE;
    }
    return TRUE;
}

namespace win {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
        case EFBIG: return ERROR_FILE_TOO_LARGE;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENAMETOOLONG: case EILSEQ: return ERROR_INVALID_NAME;
        case EBADF: return ERROR_INVALID_HANDLE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EBUSY: case ETXTBSY: return ERROR_SHARING_VIOLATION;
        default: return ERROR_WRITE_FAULT;
    }
}

void SetErrorDetail(std::string text) { last_error().detail = std::move(text); }
const std::string& GetErrorDetail() { return last_error().detail; }
void ClearErrorDetail() { last_error().detail.clear(); }

void SetLastErrorFromErrno(int error, const std::string& what, const std::string& path) {
    SetLastError(ErrorFromErrno(error));
    SetErrorDetail(what + " " + path + ": " + std::strerror(error));
}

namespace {
struct DebugLogState {
    std::mutex mutex;
    DebugLogHandler handler;
    bool to_stderr = [] {
        const char* v = std::getenv("LUMTWAIN_DEBUG");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
};
DebugLogState& debug_log() {
    static DebugLogState state;
    return state;
}
}  // namespace

void DebugLog(const std::string& text) {
    DebugLogState& s = debug_log();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.handler) s.handler(text);
    else if (s.to_stderr) std::fprintf(stderr, "lumtwain: %s\n", text.c_str());
}

void SetDebugLogHandler(DebugLogHandler handler) {
    DebugLogState& s = debug_log();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.handler = std::move(handler);
}

bool GetFileId(const std::string& path, FileId* out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (out) *out = id_of(st);
    return true;
}

std::unique_ptr<OutputFile> CreateReplacement(const std::string& requested) {
    if (requested.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        SetErrorDetail("save: empty file name");
        return nullptr;
    }
    std::string path = resolve_target(requested);
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        SetLastErrorFromErrno(EISDIR, "save", path);
        return nullptr;
    }
    // Devices and pipes cannot be replaced by a rename: they are written as they are.
    if (exists && !S_ISREG(st.st_mode)) return open_in_place(path, false);
    if (exists && in_place_files().contains(id_of(st))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        SetErrorDetail("save " + path + ": the file is open for writing by another save");
        return nullptr;
    }
    std::string temp;
    int fd = create_temp_beside(path, &temp);
    if (fd < 0) {
        int error = errno;
        // A folder that refuses new files while the file itself is writable: write in place,
        // as a plain open would have.
        if ((error == EACCES || error == EPERM) && exists && ::access(path.c_str(), W_OK) == 0) {
            DebugLog("save " + path + ": folder not writable, writing the file in place");
            return open_in_place(path, false);
        }
        SetLastErrorFromErrno(error, "save", path);
        return nullptr;
    }
    if (exists) ::fchmod(fd, st.st_mode & 07777);
    return std::make_unique<FdFile>(fd, path, temp, false, FileId{});
}

std::unique_ptr<OutputFile> CreateInPlace(const std::string& requested) {
    if (requested.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        SetErrorDetail("open: empty file name");
        return nullptr;
    }
    return open_in_place(resolve_target(requested), true);
}

bool CreateNewFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastErrorFromErrno(errno, "create", path);
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace win
