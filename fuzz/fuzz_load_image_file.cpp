// libFuzzer target: the whole file-loading chain (GDI+ decoders, colour management, the
// picture loader, the PNM and PCX readers). The first byte picks the file's extension, the
// rest is the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imaging/file_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = modGdiplus::EngineStartup();
    static const char* const kExtensions[] = {".pgm", ".ppm", ".pbm", ".pnm", ".pcx",
                                              ".jpg", ".cur", ".png", ".tif", ".xy"};
    if (!started || size == 0) return 0;
    const std::string path = "/tmp/lum_fuzz_load_" + std::to_string(getpid()) +
                             kExtensions[data[0] % (sizeof kExtensions / sizeof *kExtensions)];
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    for (bool icm : {false, true}) {
        GpImage image = 0;
        int status = icm ? modGdiplus::LoadImageFromFileICM(image, path)
                         : modGdiplus::LoadImageFromFile(image, path);
        if (status == 0) modGdiplus::DisposeImage(image);
    }
    std::remove(path.c_str());
    return 0;
}
