// A small C-style front of libpng's writer, so that its setjmp error handling stays in one
// file (png_writer.cpp) whose locals are trivially destructible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gdip::pngw {

struct PngParams {
    int width = 0, height = 0;
    int bit_depth = 8;
    int color_type = 0;                // PNG_COLOR_TYPE_* values
    const uint8_t* palette = nullptr;  // RGB triples
    int palette_count = 0;
    const uint8_t* trns = nullptr;  // alpha of the first palette entries
    int trns_count = 0;
    bool bgr = false;               // rows hold B, G, R (and A)
    bool swap16 = false;            // 16-bit samples are little-endian
    bool strip_filler = false;      // rows carry a fourth byte that is not written
    uint32_t ppm_x = 0, ppm_y = 0;  // pHYs in pixels per metre; 0 writes none
    int level = 6;
};

// The bytes of row y in the layout the parameters describe; null aborts the write.
using RowFn = const uint8_t* (*)(void* ctx, int y);
// False when the bytes could not be written.
using WriteFn = bool (*)(void* ctx, const uint8_t* data, size_t n);

// False on any libpng error, a failed write or a null row; `error` then holds libpng's
// message (empty when the write itself failed).
bool write_png(const PngParams& params, RowFn rows, void* row_ctx, WriteFn write, void* write_ctx,
               std::string* error = nullptr);

}  // namespace gdip::pngw
