// The GIF encoder: indexed frames keep their palette (the first entry of alpha 0 becomes the
// transparent index); deeper frames are reduced by the quantiser. Written through giflib.
#include <gif_lib.h>

#include <algorithm>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

struct GifCloser {
    void operator()(GifFileType* g) const {
        int err = 0;
        EGifCloseFile(g, &err);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

struct MapCloser {
    void operator()(ColorMapObject* m) const { GifFreeMapObject(m); }
};

int on_write(GifFileType* gif, const GifByteType* data, int n) {
    return static_cast<Sink*>(gif->UserData)->write(data, size_t(n)) ? n : 0;
}

// Entries for every index the frame uses (giflib wants a power of two; an index past the
// map would corrupt the LZW codes).
std::unique_ptr<ColorMapObject, MapCloser> colour_map(const Frame& f) {
    const std::vector<ARGB>& palette = f.palette;
    int used = 0;
    for (int32_t y = 0; y < f.height; ++y) {
        const BYTE* row = f.row(y);
        used = std::max(used, int(*std::max_element(row, row + f.width)));
    }
    int n = 2;
    while (n < int(palette.size()) || n <= used) n *= 2;
    std::unique_ptr<ColorMapObject, MapCloser> map(GifMakeMapObject(n, nullptr));
    if (!map) return map;
    for (int i = 0; i < n; ++i) {
        ARGB c = i < int(palette.size()) ? palette[size_t(i)] : 0xFF000000u;
        map->Colors[i] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
    }
    return map;
}

// An 8-bit index frame to write: the frame itself, a widened copy of a 1/4-bit frame, or
// the quantiser's result.
GpStatus indexed_source(const Frame& f, Frame* storage, const Frame** out) {
    *out = &f;
    if (f.format == PixelFormat8bppIndexed) return Gdiplus::Ok;
    GpStatus s = is_indexed(f.format)
                     ? convert_frame(f, PixelFormat8bppIndexed, storage, f.palette)
                     : quantize_frame(f, 256, find_pixel_format(f.format)->alpha, false, storage);
    if (s == Gdiplus::Ok) *out = storage;
    return s;
}

GpStatus write_frame(GifFileType* gif, const Frame& f) {
    auto map = colour_map(f);
    if (!map) return Gdiplus::OutOfMemory;
    auto transparent =
        std::find_if(f.palette.begin(), f.palette.end(), [](ARGB c) { return (c >> 24) == 0; });
    bool has_transparency = transparent != f.palette.end();
    EGifSetGifVersion(gif, has_transparency);
    if (EGifPutScreenDesc(gif, f.width, f.height, 8, 0, map.get()) == GIF_ERROR)
        return Gdiplus::Win32Error;
    if (has_transparency) {
        GifByteType gce[4] = {0x01, 0, 0, GifByteType(transparent - f.palette.begin())};
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) == GIF_ERROR)
            return Gdiplus::Win32Error;
    }
    if (EGifPutImageDesc(gif, 0, 0, f.width, f.height, false, nullptr) == GIF_ERROR)
        return Gdiplus::Win32Error;
    for (int32_t y = 0; y < f.height; ++y)
        if (EGifPutLine(gif, f.row(y), f.width) == GIF_ERROR) return Gdiplus::Win32Error;
    return Gdiplus::Ok;
}

}  // namespace

GpStatus encode_gif(const Frame& frame, const EncodeOptions&, Sink& sink) {
    if (frame.width > 65535 || frame.height > 65535) return Gdiplus::InvalidParameter;
    Frame storage;
    const Frame* f = nullptr;
    if (GpStatus s = indexed_source(frame, &storage, &f); s != Gdiplus::Ok) return s;
    int err = 0;
    GifPtr gif(EGifOpen(&sink, on_write, &err));
    if (!gif) return Gdiplus::OutOfMemory;
    if (GpStatus s = write_frame(gif.get(), *f); s != Gdiplus::Ok) return s;
    GifFileType* raw = gif.release();
    return EGifCloseFile(raw, &err) == GIF_ERROR ? Gdiplus::Win32Error : Gdiplus::Ok;
}

}  // namespace gdip
