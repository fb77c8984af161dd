// Shared body of the decoder fuzz targets: the engine started once, then every input decoded
// through LoadImageFromBytes, the entry point of byte arrays and downloads.
// Each target keeps to inputs its own decoder recognises, so that it explores that decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include <cstring>

#include "imaging/modGdiplus.h"
#include "platform/gdiplus/gdiplus.h"

inline int lum_fuzz_decode(const uint8_t* data, size_t size, const GUID& format) {
    static const bool started = modGdiplus::EngineStartup();
    GUID sniffed;
    if (!started || LumGdipSniffImageFormat(data, size, &sniffed) != Gdiplus::Ok ||
        !(sniffed == format))
        return 0;
    SafeArray<uint8_t> bytes(0, ULONG(size));
    if (size) std::memcpy(bytes.data(), data, size);
    GpImage image = 0;
    // Without a kept copy, so the table does not grow over a long run.
    if (modGdiplus::LoadImageFromBytes(image, bytes, false) == Gdiplus::Ok) {
        UINT width = 0;
        GdipGetImageWidth(image, &width);
        modGdiplus::DisposeImage(image);
    }
    return 0;
}
