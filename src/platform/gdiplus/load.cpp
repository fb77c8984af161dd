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

// FileNotFound when the path names nothing; Win32Error when it cannot be opened or read
// (a folder, no permission, an I/O error).
GpStatus read_file(const char* path, std::vector<uint8_t>* out) {
    Fd f;
    f.fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (f.fd < 0) {
        bool missing = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG;
        return missing ? Gdiplus::FileNotFound : Gdiplus::Win32Error;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return Gdiplus::Win32Error;
    out->clear();
    out->reserve(size_t(st.st_size));
    uint8_t buf[1 << 16];
    for (;;) {
        ssize_t k = ::read(f.fd, buf, sizeof buf);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) return Gdiplus::Win32Error;
        if (k == 0) break;
        out->insert(out->end(), buf, buf + k);
    }
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
    try {
        out->reserve(size_t(std::min<uint64_t>(st.cbSize - here, uint64_t(1) << 32)));
    } catch (const std::exception&) {
    }
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
    return load_stream(stream, image);
}

GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap* bitmap) {
    return load_stream(stream, bitmap);
}

GpStatus GdipLoadImageFromFile(const char* filename, GpImage* image) {
    return load_file(filename, image);
}

GpStatus GdipCreateBitmapFromFile(const char* filename, GpBitmap* bitmap) {
    return load_file(filename, bitmap);
}
