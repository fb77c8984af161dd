// Saves through the library's own writers: GIF89a (the octree reduces images of more than
// 8 bits to 256 colours) and PNM (P4, P5, P6).
#pragma once

#include <string>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

// An interlaced GIF89a file of the image, reduced to 256 colours when it has more than 8
// bits per pixel; the last palette entry of alpha 0 gives the transparent colour. 0 when
// written, 1 when the writer failed (a width or height above 65535, the file cannot be
// written), 2 for image 0, or the status of the failing engine step. The file is replaced
// whole or not at all.
EngineStatus SaveGifOwnWriter(GpImage image, const std::string& path);
// A PNM file of the image: P4 for 1 bit per pixel, P5 for images of up to 8 bits whose
// palette is grey, P6 for everything else (24 bits). Images of 4 bits are reduced to 8 bits
// first and images of 1 bit are written from 8-bit indices. Statuses as SaveGifOwnWriter.
EngineStatus SavePnm(GpImage image, const std::string& path);

}  // namespace modGdiplus
