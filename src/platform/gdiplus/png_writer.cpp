// libpng's writer behind a plain function. libpng reports errors by longjmp: everything
// alive across the setjmp below is a plain pointer or a C struct.
#include "platform/gdiplus/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace gdip::pngw {
namespace {

struct IoState {
    WriteFn write;
    void* ctx;
};

// libpng's complaint, kept to say why a write failed; empty when the sink failed.
struct ErrorText {
    char text[256];
};

void on_error(png_structp png, png_const_charp message) {
    auto* e = static_cast<ErrorText*>(png_get_error_ptr(png));
    if (e && message) {
        std::strncpy(e->text, message, sizeof e->text - 1);
        e->text[sizeof e->text - 1] = 0;
    }
    png_longjmp(png, 1);
}
void on_warning(png_structp, png_const_charp) {}

void on_write(png_structp png, png_bytep data, size_t n) {
    auto* io = static_cast<IoState*>(png_get_io_ptr(png));
    if (!io->write(io->ctx, data, n)) png_error(png, "");
}
void on_flush(png_structp) {}

void set_header(png_structp png, png_infop info, const PngParams& s) {
    png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bit_depth, s.color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s.palette_count > 0) {
        png_color colours[256];
        for (int i = 0; i < s.palette_count && i < 256; ++i)
            colours[i] = {s.palette[3 * i], s.palette[3 * i + 1], s.palette[3 * i + 2]};
        png_set_PLTE(png, info, colours, s.palette_count);
    }
    if (s.trns_count > 0) png_set_tRNS(png, info, s.trns, s.trns_count, nullptr);
    if (s.ppm_x && s.ppm_y) png_set_pHYs(png, info, s.ppm_x, s.ppm_y, PNG_RESOLUTION_METER);
    png_set_compression_level(png, s.level);
    png_set_compression_buffer_size(png, 1 << 16);
}

}  // namespace

bool write_png(const PngParams& params, RowFn rows, void* row_ctx, WriteFn write, void* write_ctx,
               std::string* error) {
    IoState io{write, write_ctx};
    ErrorText text{};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &text, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error) *error = text.text;
        return false;
    }
    png_set_write_fn(png, &io, on_write, on_flush);
    set_header(png, info, params);
    png_write_info(png, info);
    if (params.bgr) png_set_bgr(png);
    if (params.swap16) png_set_swap(png);
    if (params.strip_filler) png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < params.height; ++y) {
        const uint8_t* row = rows(row_ctx, y);
        if (!row) png_error(png, "no row");
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace gdip::pngw
