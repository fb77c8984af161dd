// Loading images from files: the GDI+ decoders first, then the picture loader, then the
// library's own PNM and PCX readers chosen by the file name's extension. The image is
// registered in the image table; the caller disposes it.
#pragma once

#include <string>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

// 0 with a registered image. 10 when the path names no file (no decoder is called), 13 when
// nothing reads it, 1 when the PNM or PCX reader finds a size below 1 or a damaged file; any
// failure leaves `image` 0. Format names: the decoder's raw format ("JPEG", "TIFF", ...),
// "PNM", "PPM", "PBM", "PGM" or "PCX" for the own readers.
EngineStatus LoadImageFromFile(GpImage& image, const std::string& path);
// The same with colour management: a file's embedded ICC profile is converted to sRGB.
EngineStatus LoadImageFromFileICM(GpImage& image, const std::string& path);
// The fallback chain after the GDI+ decoders: picture loader, then by the last three
// characters of the trimmed path (upper-cased) the PNM or the PCX reader. 13 when nothing
// reads the file. The image is registered without a name; `formatName` is the extension for
// the own readers, empty otherwise.
EngineStatus LoadWithOwnCodecs(GpImage& image, const std::string& path, std::string& formatName);
// Makes LoadImageFromFile the loader of the engines' pages fed from files, so that they read
// what the system reads (PNM, PCX, ...). Idempotent.
void InstallEngineFileLoader();

}  // namespace modGdiplus
