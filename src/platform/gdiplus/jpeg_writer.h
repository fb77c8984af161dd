// A small C-style front of libjpeg's compressor, so that its setjmp error handling stays in
// one file (jpeg_writer.cpp) whose locals are trivially destructible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gdip::jpegw {

enum class Input { Gray, Bgr, Bgrx };

struct JpegParams {
    int width = 0, height = 0;
    Input input = Input::Bgr;
    int quality = 75;
    uint16_t dpi_x = 0, dpi_y = 0;  // JFIF density in dots per inch; 0 writes none
};

// The bytes of row y in the input layout of the parameters; null aborts the write.
using RowFn = const uint8_t* (*)(void* ctx, int y);
using WriteFn = bool (*)(void* ctx, const uint8_t* data, size_t n);

// Baseline JPEG, 4:2:0 for colour, standard Huffman tables. False on any error; `error`
// then holds libjpeg's message (empty when the write itself failed).
bool write_jpeg(const JpegParams& params, RowFn rows, void* row_ctx, WriteFn write,
                void* write_ctx, std::string* error = nullptr);

}  // namespace gdip::jpegw
