// How engines load the image files they feed as pages. The system installs its own loader
// (the GDI+ decoders, then its own readers); until it does, the GDI+ decoders alone read them.
// The loaded image is disposed with GdipDisposeImage.
#pragma once

#include "lumtwainpro/export.h"
#include "platform/gdiplus/gdiplus.h"

LUM_BEGIN_EXPORTS

using LumImageFileLoader = GpStatus (*)(const char* path, GpImage* image);

// Process-wide; nullptr goes back to the GDI+ decoders.
void LumSetImageFileLoader(LumImageFileLoader loader);
GpStatus LumLoadImageFile(const char* path, GpImage* image);

LUM_END_EXPORTS
