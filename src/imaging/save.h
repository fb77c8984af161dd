// Saving images through the GDI+ encoders: files, multipage TIFF, streams, byte arrays
// and strings.
#pragma once

#include <string>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

EngineStatus SaveBmp(GpImage image, const std::string& path);
EngineStatus SaveGif(GpImage image, const std::string& path);
EngineStatus SavePng(GpImage image, const std::string& path);
// Quality above 100 is taken as 100; 0 or less saves with the encoder's default.
EngineStatus SaveJpeg(GpImage image, const std::string& path, int32_t quality = 75);
// CCITT and RLE need 1 bit per pixel: deeper images are written with LZW instead.
EngineStatus SaveTiff(GpImage image, const std::string& path, int32_t compression = 2,
                      int32_t depth = 0);
// The image stays open as the first page; disposing it completes the file.
EngineStatus BeginMultipageTiff(GpImage image, const std::string& path, int32_t compression = 2);
EngineStatus AddMultipageTiffPage(GpImage multipage, GpImage page);
// `format` is a file extension ("jpg", " TIF "); unknown formats are written as BMP.
EngineStatus SaveToStream(GpImage image, ComPtr<IStream>& stream, const std::string& format,
                          int32_t parameter);
EngineStatus SaveToBytes(GpImage image, int32_t& count, SafeArray<uint8_t>& bytes,
                         const std::string& format, int32_t parameter);
// One character per byte through code page 1252 (UTF-8 text).
EngineStatus SaveToString(GpImage image, std::string& text, const std::string& format,
                          int32_t parameter);

// Windows-1252 byte to its Unicode code point.
char32_t Cp1252ToUnicode(uint8_t byte);

}  // namespace modGdiplus
