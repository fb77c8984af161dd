// Loading images from streams and files. The stand-in decodes eagerly: the stream or file is
// read completely at the call, so the caller need not keep it alive afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

#include "platform/gdiplus/codecs_p.h"

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Inputs beyond this are refused before anything is allocated: no image the decoders accept
// needs more.
constexpr uint64_t kMaxInputBytes = uint64_t(1) << 32;

// FileNotFound when the path names nothing; Win32Error when it cannot be opened or read
// (a folder, no permission, an I/O error); OutOfMemory when it is too large to hold.
GpStatus read_file(const char* path, std::vector<uint8_t>* out) {
    Fd f;
    f.fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (f.fd < 0) {
        int error = errno;
        win::SetLastErrorFromErrno(error, "open", path);
        bool missing = error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
        return missing ? Gdiplus::FileNotFound : Gdiplus::Win32Error;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        win::SetLastErrorFromErrno(errno ? errno : EISDIR, "read", path);
        return Gdiplus::Win32Error;
    }
    if (uint64_t(st.st_size) > kMaxInputBytes) {
        win::SetErrorDetail(std::string("read ") + path + ": too large to load");
        return Gdiplus::OutOfMemory;
    }
    out->clear();
    out->resize(size_t(st.st_size) + 1);  // one more: a file that grew is read to its end
    size_t have = 0;
    for (;;) {
        if (have == out->size()) {
            if (out->size() >= kMaxInputBytes) return Gdiplus::OutOfMemory;
            out->resize(std::min<uint64_t>(out->size() * 2, kMaxInputBytes));
        }
        ssize_t k = ::read(f.fd, out->data() + have, out->size() - have);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) {
            win::SetLastErrorFromErrno(errno, "read", path);
            return Gdiplus::Win32Error;
        }
        if (k == 0) break;
        have += size_t(k);
    }
    out->resize(have);
    return Gdiplus::Ok;
}

GpStatus decode_and_add(const std::vector<uint8_t>& bytes, GpImage* image) {
    std::unique_ptr<gdip::Image> decoded;
    GpStatus st = gdip::decode_bytes(bytes.data(), bytes.size(), &decoded);
    if (st != Gdiplus::Ok) return st;
    GpImage handle = gdip::add_image(std::move(decoded));
    if (!handle) return Gdiplus::OutOfMemory;
    *image = handle;
    return Gdiplus::Ok;
}

// Room for the rest of the stream, so that reading a large one does not copy it over and over
// while the buffer grows. Streams that cannot tell their size are read all the same.
void reserve_rest(IStream* stream, std::vector<uint8_t>* out) {
    STATSTG st;
    uint64_t here = 0;
    if (FAILED(stream->Stat(&st, STATFLAG_NONAME)) ||
        FAILED(stream->Seek(0, STREAM_SEEK_CUR, &here)) || st.cbSize <= here)
        return;
    // A stream may claim any size: the claim only sizes the first allocation.
    out->reserve(size_t(std::min<uint64_t>(st.cbSize - here, uint64_t(256) << 20)));
}

GpStatus load_stream(IStream* stream, GpImage* image) {
    if (!image) return Gdiplus::InvalidParameter;
    *image = 0;
    if (!stream) return Gdiplus::InvalidParameter;
    if (!gdip::session_started()) return Gdiplus::GdiplusNotInitialized;
    std::vector<uint8_t> bytes;
    reserve_rest(stream, &bytes);
    if (FAILED(ole::ReadAll(stream, &bytes))) return Gdiplus::Win32Error;
    return decode_and_add(bytes, image);
}

GpStatus load_file(const char* filename, GpImage* image) {
    if (!image) return Gdiplus::InvalidParameter;
    *image = 0;
    if (!filename) return Gdiplus::InvalidParameter;
    if (!gdip::session_started()) return Gdiplus::GdiplusNotInitialized;
    if (!*filename) return Gdiplus::FileNotFound;
    std::vector<uint8_t> bytes;
    if (GpStatus st = read_file(filename, &bytes); st != Gdiplus::Ok) return st;
    return decode_and_add(bytes, image);
}

}  // namespace

GpStatus GdipLoadImageFromStream(IStream* stream, GpImage* image) {
    return gdip::guarded([&] { return load_stream(stream, image); });
}

GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap* bitmap) {
    return gdip::guarded([&] { return load_stream(stream, bitmap); });
}

GpStatus GdipLoadImageFromFile(const char* filename, GpImage* image) {
    return gdip::guarded([&] { return load_file(filename, image); });
}

GpStatus GdipCreateBitmapFromFile(const char* filename, GpBitmap* bitmap) {
    return gdip::guarded([&] { return load_file(filename, bitmap); });
}
