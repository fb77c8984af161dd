// The Netpbm reader (P1 to P6) and writer (P4, P5, P6).
//
//   "P" digit  separator  width  height  [maxval]  one white space  samples
//   numbers are decimal; "#" starts a comment that runs to the end of its line
//   P1 P2 P3: samples as decimal text; P4: rows of bits, 1 = black, MSB first, rows whole
//   bytes; P5 P6: bytes, or 16-bit big-endian samples when maxval is above 255
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mPNMFileIO {

// The grey flag of WritePnm: one sample per pixel (P5) for images of up to 8 bits.
constexpr int32_t kGrey = 512;

// Decodes a PNM file into rows of blue, green, red bytes, top row first, each row padded
// with zeros to a multiple of 4 bytes. Every sample is scaled to 0..255 by its maxval
// (rounded). True when the file starts with a PNM magic and its header is whole; rows that a
// short file does not hold stay 0. False for anything else (no magic, a header cut short, a
// maxval of 0, a size that cannot be allocated or that the file could not plausibly hold).
// A width or height of 0 gives True with no pixels.
bool ReadPnm(const std::string& sFileName, int32_t& nWidth, int32_t& nHeight,
             std::vector<uint8_t>& arPixels);
// The same over bytes in memory.
bool DecodePnm(std::span<const uint8_t> bytes, int32_t& nWidth, int32_t& nHeight,
               std::vector<uint8_t>& arPixels);

// Writes P4 when nBpp is 1, P5 when nGrey is kGrey and nBpp is at most 8, else P6, with
// maxval 255. The pixel rows are padded to 4 bytes: one palette index per pixel when
// nIndexed is not 0 (the number of palette entries), else blue, green, red. arPalette holds
// 4-byte entries red, green, blue, alpha; indices beyond it are black. P4 writes a pixel as
// black (1) when its colour is the darker side of the palette. The file is replaced whole or
// not at all; false when the arguments do not describe the buffer or it cannot be written.
bool WritePnm(const std::string& sFileName, int32_t nWidth, int32_t nHeight,
              std::span<const uint8_t> arPixels, int32_t nBpp, std::span<const uint8_t> arPalette,
              int32_t nIndexed, int32_t nGrey);

}  // namespace mPNMFileIO
