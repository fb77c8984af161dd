// libFuzzer target: the PCX reader over bytes in memory; every bitmap it returns is read
// whole and deleted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/cLoadPCX.h"
#include "platform/win/win.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cLoadPCX pcx;
    HBITMAP bitmap = pcx.LoadPCXFromMemory({data, size});
    if (!bitmap) return 0;
    win::BitmapView view;
    if (!win::GetBitmapView(bitmap, &view) || view.width != pcx.PCXWidth() ||
        view.height != pcx.PCXHeight())
        std::abort();
    unsigned sum = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < (view.width * view.bits_per_pixel + 7) / 8; ++x)
            sum += view.scan0[ptrdiff_t(y) * view.stride + x];
    DeleteObject(bitmap);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
