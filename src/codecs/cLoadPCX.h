// The PCX reader.
//
//   header (128 bytes, little-endian)
//     0 manufacturer (10)   1 version   2 encoding (1 RLE, 0 raw)   3 bits per pixel per plane
//     4 x min, y min, x max, y max (16-bit signed)   12 horizontal dpi   14 vertical dpi
//     16 16-colour palette (16 x RGB)   65 planes   66 bytes per line per plane
//   scan lines       planes x bytes per line each, plane after plane, top line first; RLE: a
//                    byte of 0xC0 or more repeats the next byte (byte - 0xC0) times
//   [0x0C, 256 x RGB] at the very end of 8-bit single-plane files
//
//   bits x planes   bitmap
//   1 x 1           1 bit, black and white       4 x 1   4 bits, the header's 16 colours
//   1 x 4           4 bits, the header's colours 8 x 1   8 bits, the file's 256 colours or greys
//   8 x 3           32 bits, blue, green, red, unused
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "lumtwainpro/wintypes.h"

class cLoadPCX {
  public:
    // A bottom-up DIB section of the image, the caller's to delete (DeleteObject); 0 when the
    // file cannot be read, is of a kind not listed above, or is damaged: sizes the file does
    // not hold, a run past the end of the image, bytes per line too short for the width,
    // dimensions beyond what can be allocated.
    HBITMAP LoadPCX(const std::string& sFileName);
    HBITMAP LoadPCXFromMemory(std::span<const uint8_t> file);

    // From the last header read.
    int32_t PCXWidth() const { return m_width; }
    int32_t PCXHeight() const { return m_height; }
    int32_t Bpp() const { return m_bitsPerPixel; }
    bool Compressed() const { return m_encoding == 1; }
    // Manufacturer 10, encoding 0 or 1, version 0, 2, 3 or 5.
    bool IsPCX() const;
    int32_t getHdpi() const { return m_hdpi; }
    int32_t getVdpi() const { return m_vdpi; }

  private:
    bool ReadHeader(std::span<const uint8_t> file);

    int32_t m_manufacturer = 0, m_version = 0, m_encoding = 0, m_bitsPerPixel = 0;
    int32_t m_width = 0, m_height = 0, m_hdpi = 0, m_vdpi = 0;
    int32_t m_planes = 0, m_bytesPerLine = 0;
    uint8_t m_palette16[48] = {};
};
