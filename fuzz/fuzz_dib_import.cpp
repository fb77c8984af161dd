// Packed DIB import: the block's bytes as they come, header included.
#include <cstdint>
#include <cstring>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = modGdiplus::EngineStartup();
    (void)started;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return 0;
    if (size) std::memcpy(GlobalLock(block), data, size), GlobalUnlock(block);
    GpImage image = 0;
    if (modGdiplus::CreateImageFromDib(image, block, true) == 0) {
        // Touch every pixel through a conversion, so a bad placement would read out of bounds.
        int32_t w = 0, h = 0;
        modGdiplus::GetImageWidth(image, w);
        modGdiplus::GetImageHeight(image, h);
        SafeArray<uint8_t> pixels;
        if (int64_t(w) * h <= (1 << 22)) modGdiplus::TransferArgbPixels(image, pixels, {0, 0, w, h}, true);
        modGdiplus::DisposeImage(image);  // frees the block too
    } else {
        GlobalFree(block);
    }
    return 0;
}
