// libjpeg's compressor behind a plain function. libjpeg reports errors through
// error_exit, which longjmps back here: everything across the setjmp is a C struct.
#include "platform/gdiplus/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace gdip::jpegw {
namespace {

constexpr size_t kBuffer = 1 << 16;

struct ErrorState {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char text[JMSG_LENGTH_MAX];  // libjpeg's complaint; empty when the sink failed
};

struct Destination {
    jpeg_destination_mgr mgr;
    WriteFn write;
    void* ctx;
    bool failed;
    JOCTET buffer[kBuffer];
};

void on_error(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorState*>(cinfo->err);
    if (e->mgr.msg_code != 0) e->mgr.format_message(cinfo, e->text);
    longjmp(e->jump, 1);
}
void on_message(j_common_ptr) {}

void init_destination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->mgr.next_output_byte = d->buffer;
    d->mgr.free_in_buffer = kBuffer;
}
boolean empty_buffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!d->write(d->ctx, d->buffer, kBuffer)) {
        d->failed = true;
        cinfo->err->msg_code = 0;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    init_destination(cinfo);
    return TRUE;
}
void term_destination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    size_t n = kBuffer - d->mgr.free_in_buffer;
    if (n && !d->write(d->ctx, d->buffer, n)) d->failed = true;
}

void configure(jpeg_compress_struct& c, const JpegParams& params) {
    c.image_width = JDIMENSION(params.width);
    c.image_height = JDIMENSION(params.height);
    c.input_components = params.input == Input::Gray ? 1 : params.input == Input::Bgr ? 3 : 4;
    c.in_color_space = params.input == Input::Gray  ? JCS_GRAYSCALE
                       : params.input == Input::Bgr ? JCS_EXT_BGR
                                                    : JCS_EXT_BGRX;
    jpeg_set_defaults(&c);  // YCbCr 4:2:0 for colour, JDCT_ISLOW
    jpeg_set_quality(&c, params.quality, TRUE);
    if (params.dpi_x && params.dpi_y) {
        c.write_JFIF_header = TRUE;
        c.density_unit = 1;
        c.X_density = params.dpi_x;
        c.Y_density = params.dpi_y;
    }
}

}  // namespace

bool write_jpeg(const JpegParams& params, RowFn rows, void* row_ctx, WriteFn write,
                void* write_ctx, std::string* error) {
    jpeg_compress_struct c;
    ErrorState err;
    err.text[0] = 0;
    Destination dest_storage{};
    Destination* dest = &dest_storage;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = on_error;
    err.mgr.output_message = on_message;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        if (error) *error = err.text;
        return false;
    }
    jpeg_create_compress(&c);
    dest->mgr.init_destination = init_destination;
    dest->mgr.empty_output_buffer = empty_buffer;
    dest->mgr.term_destination = term_destination;
    dest->write = write;
    dest->ctx = write_ctx;
    c.dest = &dest->mgr;
    configure(c, params);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows(row_ctx, int(c.next_scanline)));
        if (!row) {
            c.err->msg_code = 0;
            on_error(reinterpret_cast<j_common_ptr>(&c));
        }
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    bool ok = !dest->failed;
    jpeg_destroy_compress(&c);
    return ok;
}

}  // namespace gdip::jpegw
