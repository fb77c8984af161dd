#include "platform/image_file_loader.h"

#include <atomic>

namespace {

std::atomic<LumImageFileLoader> g_loader{nullptr};

}  // namespace

void LumSetImageFileLoader(LumImageFileLoader loader) {
    g_loader.store(loader);
}

GpStatus LumLoadImageFile(const char* path, GpImage* image) {
    if (!image) return Gdiplus::InvalidParameter;
    *image = 0;
    if (!path) return Gdiplus::InvalidParameter;
    LumImageFileLoader loader = g_loader.load();
    return loader ? loader(path, image) : GdipLoadImageFromFile(path, image);
}
