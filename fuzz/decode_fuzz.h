// Shared body of the decoder fuzz targets: a GDI+ session started once, then every input
// decoded through a memory stream and GdipLoadImageFromStream, as the engine loads bytes.
// Each target keeps to inputs its own decoder recognises, so that it explores that decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdiplus/codecs_p.h"
#include "platform/gdiplus/gdiplus.h"

inline int lum_fuzz_decode(const uint8_t* data, size_t size,
                           bool (*sniff)(const uint8_t*, size_t)) {
    static const bool started = [] {
        ULONG token = 0;
        GdiplusStartupInput input;
        return GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    if (!started || !sniff(data, size)) return 0;
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(data, size);
    GpImage image = 0;
    if (GdipLoadImageFromStream(stream.get(), &image) == Gdiplus::Ok) {
        UINT width = 0;
        GdipGetImageWidth(image, &width);
        GdipDisposeImage(image);
    }
    return 0;
}
