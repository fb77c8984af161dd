#include "imaging/own_save.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "codecs/mGIFSave89a.h"
#include "codecs/mPNMFileIO.h"
#include "imaging/image_props.h"
#include "imaging/quantize.h"

namespace modGdiplus {
namespace {

// A temporary image made for the save, disposed however the save ends.
struct TempImage {
    GpImage image = 0;
    ~TempImage() {
        if (image) DisposeImage(image);
    }
};

// Reduces the image to 256 colours into `temp` when asked to; the image to read from.
EngineStatus source_of(GpImage image, bool reduce, TempImage& temp, GpImage& source) {
    source = image;
    if (!reduce) return Gdiplus::Ok;
    int32_t colours = 256;
    std::vector<BYTE> palette;
    EngineStatus status = QuantizeTo8Bpp(image, temp.image, colours, palette);
    if (status == Gdiplus::Ok) source = temp.image;
    return status;
}

// The palette as 4-byte entries red, green, blue, alpha.
struct PaletteArray {
    std::vector<uint8_t> bytes;
    int32_t count = 0;
    int32_t transparent = -1;  // 0x00BBGGRR of the last entry of alpha 0
    bool grey = true;
};

EngineStatus read_palette(GpImage source, PaletteArray& out) {
    std::vector<BYTE> buffer;
    EngineStatus status = GetPalette(source, buffer);
    if (status != Gdiplus::Ok) return status;
    ColorPalette head;
    std::memcpy(&head, buffer.data(), 8);
    const size_t count = std::min<size_t>(head.Count, (buffer.size() - 8) / 4);
    out.count = int32_t(count);
    out.bytes.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        ARGB c;
        std::memcpy(&c, buffer.data() + 8 + 4 * i, 4);
        const uint8_t a = uint8_t(c >> 24), r = uint8_t(c >> 16), g = uint8_t(c >> 8),
                      b = uint8_t(c);
        uint8_t* entry = out.bytes.data() + 4 * i;
        entry[0] = r, entry[1] = g, entry[2] = b, entry[3] = a;
        if (a == 0) out.transparent = r + 256 * g + 65536 * b;
        if (r != g || g != b) out.grey = false;
    }
    return Gdiplus::Ok;
}

// The whole image read in `format` into rows of `stride` bytes.
EngineStatus read_pixels(GpImage source, int32_t width, int32_t height, PixelFormat format,
                         int64_t stride, std::vector<uint8_t>& pixels) {
    if (width < 1 || height < 1) return Gdiplus::InvalidParameter;
    const uint64_t bytes = uint64_t(stride) * uint64_t(height);
    if (stride > INT32_MAX || bytes > (uint64_t(1) << 32)) return Gdiplus::OutOfMemory;
    try {
        pixels.assign(size_t(bytes), 0);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    BitmapData data;
    data.Width = UINT(width);
    data.Height = UINT(height);
    data.Stride = int32_t(stride);
    data.PixelFormat = format;
    data.Scan0 = pixels.data();
    EngineStatus status =
        LockImageBits(source, {0, 0, width, height}, kLockReadIntoBuffer, format, data);
    if (status != Gdiplus::Ok) return status;
    return UnlockImageBits(source, data);
}

EngineStatus size_of(GpImage image, int32_t& width, int32_t& height) {
    EngineStatus status = GetImageWidth(image, width);
    return status == Gdiplus::Ok ? GetImageHeight(image, height) : status;
}

}  // namespace

EngineStatus SaveGifOwnWriter(GpImage image, const std::string& path) {
    if (image == 0) return Gdiplus::InvalidParameter;
    int32_t bits = 0, width = 0, height = 0;
    EngineStatus status = GetBitDepth(image, bits);
    if (status == Gdiplus::Ok) status = size_of(image, width, height);
    if (status != Gdiplus::Ok) return status;
    TempImage temp;
    GpImage source = 0;
    if ((status = source_of(image, bits > 8, temp, source)) != Gdiplus::Ok) return status;
    if (bits > 8) bits = 8;
    if (bits != 1 && bits != 4 && bits != 8) return Gdiplus::InvalidParameter;
    PaletteArray palette;
    if ((status = read_palette(source, palette)) != Gdiplus::Ok) return status;
    const PixelFormat format = bits == 1   ? PixelFormat1bppIndexed
                               : bits == 4 ? PixelFormat4bppIndexed
                                           : PixelFormat8bppIndexed;
    const int64_t row = bits == 1   ? (int64_t(width) + 7) / 8
                        : bits == 4 ? (int64_t(width) + 1) / 2
                                    : (int64_t(width) + 3) / 4 * 4;
    std::vector<uint8_t> pixels;
    status = read_pixels(source, width, height, format, row, pixels);
    if (status != Gdiplus::Ok) return status;
    const int32_t written = mGIFSave89a::WriteGif89a(path, width, height, bits, pixels, bits,
                                                     palette.bytes, true, palette.transparent);
    return written == 1 ? Gdiplus::Ok : Gdiplus::GenericError;
}

EngineStatus SavePnm(GpImage image, const std::string& path) {
    if (image == 0) return Gdiplus::InvalidParameter;
    int32_t bits = 0, width = 0, height = 0;
    EngineStatus status = GetBitDepth(image, bits);
    if (status == Gdiplus::Ok) status = size_of(image, width, height);
    if (status != Gdiplus::Ok) return status;
    TempImage temp;
    GpImage source = 0;
    if ((status = source_of(image, bits <= 7, temp, source)) != Gdiplus::Ok) return status;
    if (bits <= 7) bits = bits == 1 ? 1 : 8;
    PaletteArray palette;
    if (bits <= 8 && (status = read_palette(source, palette)) != Gdiplus::Ok) return status;
    std::vector<uint8_t> pixels;
    if (bits <= 8) {
        status = read_pixels(source, width, height, PixelFormat8bppIndexed,
                             (int64_t(width) + 3) / 4 * 4, pixels);
    } else {
        bits = 24;
        palette = {};
        status = read_pixels(source, width, height, PixelFormat24bppRGB,
                             (3 * int64_t(width) + 3) / 4 * 4, pixels);
    }
    if (status != Gdiplus::Ok) return status;
    // A colour palette keeps its colours (P6); only a grey one is written as grey.
    const int32_t grey = bits <= 8 && palette.grey ? mPNMFileIO::kGrey : 0;
    const bool written = mPNMFileIO::WritePnm(path, width, height, pixels, bits, palette.bytes,
                                              bits == 24 ? 0 : std::max(palette.count, 1), grey);
    return written ? Gdiplus::Ok : Gdiplus::GenericError;
}

}  // namespace modGdiplus
