// The GIF89a writer: one palette image as a single-frame file with its own LZW encoder.
//
//   "GIF89a"
//   screen      width:u16 height:u16 0xF0|(bits-1) background:0 aspect:0
//   colours     2^bits x (red, green, blue)
//   control     21 F9 04 flags(1 = transparent) delay:u16 = 0 index 00
//   image       2C left:u16 top:u16 width:u16 height:u16 (bits-1)|0x40 when interlaced
//   LZW         minimum code size (bits, 2 for 1 bit), sub-blocks of 1..254 bytes, 00
//   trailer     3B
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mGIFSave89a {

// Writes `pixels` (rows top first, `pixelBits` 1, 4 or 8 per pixel, 1 and 4 packed most
// significant first; the row length is the buffer length divided by the height) as a GIF89a
// file with a colour table of 2^colorBits entries taken from `palette` (4-byte entries red,
// green, blue, unused; entries it does not hold are written black). The transparent index
// is the first entry whose colour equals `transparentColor` (0x00BBGGRR), none for -1.
// The file is replaced whole or not at all. 1 when written; 0 when the arguments do not
// describe the buffer, a width or height does not fit the 16-bit fields (1..65535), or the
// file cannot be written (win::GetErrorDetail says why).
int32_t WriteGif89a(const std::string& fileName, int32_t width, int32_t height, int32_t colorBits,
                    std::span<const uint8_t> pixels, int32_t pixelBits,
                    std::span<const uint8_t> palette, bool interlaced, int32_t transparentColor);

// The same into memory; empty on failure.
std::vector<uint8_t> EncodeGif89a(int32_t width, int32_t height, int32_t colorBits,
                                  std::span<const uint8_t> pixels, int32_t pixelBits,
                                  std::span<const uint8_t> palette, bool interlaced,
                                  int32_t transparentColor);

// The variable-length-code LZW compressor of GIF with its 5003-entry double-hashed
// dictionary. One object per image: encoders on different threads share nothing.
class LzwEncoder {
  public:
    using Sink = std::vector<uint8_t>;
    // `out` receives the sub-blocks (a length byte, then up to 254 bytes), without the
    // terminator. The clear code is sent at once.
    LzwEncoder(int minCodeSize, Sink& out);
    // Pixels in file order; each must be below 2^minCodeSize.
    void Add(const uint8_t* pixels, size_t count);
    // Sends the last string and the end code, and flushes the last sub-block.
    void End();

  private:
    inline void Output(int32_t code);
    void ClearTable();
    void FlushBlock();

    static constexpr int kTableSize = 5003;
    static constexpr int32_t kMaxCode = 4096;

    int m_initBits;
    int m_bits;
    int32_t m_maxCode;
    int32_t m_clearCode;
    int32_t m_endCode;
    int32_t m_freeCode;
    bool m_clearFlag = false;
    bool m_started = false;
    uint32_t m_accumulator = 0;
    int m_pending = 0;
    int32_t m_prefix = 0;
    std::array<uint8_t, 255> m_block{};  // length byte, then the data
    int m_blockFill = 0;
    // The dictionary: (pixel * 4096 + prefix code) << 12 | code, kEmpty for a free slot. No
    // entry can equal kEmpty: code 4095 is never given to a string whose prefix is code 4095.
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    std::array<uint32_t, kTableSize> m_table;
    Sink& m_out;
};

}  // namespace mGIFSave89a
