// JPEG through libjpeg-turbo. libjpeg reports errors by longjmp: the one function that calls
// setjmp (run_jpeg) keeps only trivially destructible locals; its caller owns the rest.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "platform/gdiplus/codecs_p.h"

namespace gdip::codec {
namespace {

// A progressive file can make libjpeg run one pass per scan; real files have a few dozen.
constexpr int kMaxScans = 1000;

struct ErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void error_exit(j_common_ptr c) {
    longjmp(reinterpret_cast<ErrorMgr*>(c->err)->jump, 1);
}
void output_message(j_common_ptr) {}

void progress(j_common_ptr c) {
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxScans) error_exit(c);
}

enum class Stage { Start, Header, Rows, Done };

struct JpegJob {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    jpeg_progress_mgr monitor;
    bool created;
    Stage stage;
    GpStatus status;
    const uint8_t* data;
    size_t size;
    Frame* frame;
    FrameBudget* budget;
    std::vector<uint8_t>* scratch;  // one CMYK row
    Image* image;
    JOCTET* icc;  // malloc'ed by libjpeg
    unsigned int icc_len;
    double dpi_x, dpi_y;  // 0 when the file gives none
};

void add_jpeg_properties(JpegJob& job, Image& image);

PixelFormat choose_format(j_decompress_ptr c) {
    switch (c->jpeg_color_space) {
        case JCS_GRAYSCALE:
            c->out_color_space = JCS_GRAYSCALE;
            return PixelFormat8bppIndexed;
        case JCS_CMYK:
        case JCS_YCCK:
            c->out_color_space = JCS_CMYK;
            return PixelFormat24bppRGB;
        default:
            c->out_color_space = JCS_EXT_BGR;
            return PixelFormat24bppRGB;
    }
}

GpStatus allocate(JpegJob* job, PixelFormat format) {
    j_decompress_ptr c = &job->cinfo;
    // Progressive and multi-scan files keep every coefficient: 2 bytes per sample.
    if (jpeg_has_multiple_scans(c)) {
        uint64_t coeffs = uint64_t(c->image_width) * c->image_height * c->num_components * 2;
        if (coeffs > kMaxFrameBytes) return Gdiplus::OutOfMemory;
        if (GpStatus st = job->budget->check(size_t(coeffs)); st != Gdiplus::Ok) return st;
    }
    GpStatus st = job->budget->new_frame(c->image_width, c->image_height, format, job->frame);
    if (st != Gdiplus::Ok) return st;
    if (format == PixelFormat8bppIndexed) set_palette(*job->frame, grey_palette(256));
    if (c->out_color_space == JCS_CMYK) job->scratch->assign(size_t(c->image_width) * 4, 0);
    c->mem->max_memory_to_use = long(kMaxFrameBytes);
    return Gdiplus::Ok;
}

void cmyk_row(const uint8_t* src, BYTE* dst, int32_t width, bool inverted) {
    uint8_t px[4];
    for (int32_t x = 0; x < width; ++x, src += 4, dst += 3) {
        for (int i = 0; i < 4; ++i) px[i] = inverted ? uint8_t(255 - src[i]) : src[i];
        cmyk_to_bgr(px, dst);
    }
}

// The setjmp frame: only trivially destructible locals below.
Stage run_jpeg(JpegJob* job) {
    j_decompress_ptr c = &job->cinfo;
    c->err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = error_exit;
    job->err.pub.output_message = output_message;
    if (setjmp(job->err.jump)) return job->stage;
    jpeg_create_decompress(c);
    job->created = true;
    job->monitor.progress_monitor = progress;
    c->progress = &job->monitor;
    jpeg_mem_src(c, job->data, static_cast<unsigned long>(job->size));
    jpeg_save_markers(c, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(c, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(c, TRUE) != JPEG_HEADER_OK) return job->stage;
    job->stage = Stage::Header;
    // Markers live in libjpeg's image pool, which jpeg_finish_decompress frees: read them now.
    jpeg_read_icc_profile(c, &job->icc, &job->icc_len);
    add_jpeg_properties(*job, *job->image);
    PixelFormat format = choose_format(c);
    if ((job->status = allocate(job, format)) != Gdiplus::Ok) return job->stage;
    jpeg_start_decompress(c);
    job->stage = Stage::Rows;
    const bool cmyk = c->out_color_space == JCS_CMYK;
    while (c->output_scanline < c->output_height) {
        BYTE* dst = job->frame->row(int32_t(c->output_scanline));
        JSAMPROW row = cmyk ? job->scratch->data() : dst;
        if (jpeg_read_scanlines(c, &row, 1) != 1) break;
        if (cmyk) cmyk_row(row, dst, job->frame->width, c->saw_Adobe_marker);
    }
    jpeg_finish_decompress(c);
    job->stage = Stage::Done;
    return job->stage;
}

void add_tables(const jpeg_decompress_struct& c, Image& image) {
    for (int t = 0; t < 2; ++t) {
        const JQUANT_TBL* q = c.quant_tbl_ptrs[t];
        if (!q) continue;
        std::vector<BYTE> v(128);
        for (int i = 0; i < 64; ++i) wr16le(v.data() + 2 * i, q->quantval[i]);
        add_property(image, t == 0 ? 0x5090 : 0x5091, PropertyTagTypeShort, std::move(v));
    }
}

void add_jpeg_properties(JpegJob& job, Image& image) {
    jpeg_decompress_struct& c = job.cinfo;
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            add_exif_properties(image, m->data, m->data_length);
            break;
        }
    }
    if (job.icc)
        add_property(image, 0x8773, PropertyTagTypeByte,
                     std::vector<BYTE>(job.icc, job.icc + job.icc_len));
    add_tables(c, image);
    bool jfif_dpi = c.saw_JFIF_marker && (c.density_unit == 1 || c.density_unit == 2) &&
                    c.X_density > 0 && c.Y_density > 0;
    float dx = 0, dy = 0;
    if (jfif_dpi) {
        add_short(image, 0x0128, c.density_unit == 1 ? 2 : 3);
        add_rational(image, 0x011A, c.X_density, 1);
        add_rational(image, 0x011B, c.Y_density, 1);
        double k = c.density_unit == 2 ? 2.54 : 1.0;
        job.dpi_x = c.X_density * k, job.dpi_y = c.Y_density * k;
    } else if (exif_resolution(image, &dx, &dy)) {
        job.dpi_x = dx, job.dpi_y = dy;
    }
    if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK)
        image.flags |= kImageFlagsColorSpaceCMYK;
    else if (c.jpeg_color_space == JCS_YCbCr)
        image.flags |= kImageFlagsColorSpaceYCBCR;
    else if (c.jpeg_color_space == JCS_GRAYSCALE)
        image.flags |= kImageFlagsColorSpaceGRAY;
}

struct JpegJobOwner {
    JpegJob job{};
    ~JpegJobOwner() {
        if (job.created) jpeg_destroy_decompress(&job.cinfo);
        std::free(job.icc);
    }
};

}  // namespace

bool sniff_jpeg(const uint8_t* p, size_t n) {
    return n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

GpStatus decode_jpeg(const uint8_t* p, size_t n, Image& image) {
    Frame frame;
    FrameBudget budget(n, Expansion::Jpeg);
    std::vector<uint8_t> scratch;
    auto owner = std::make_unique<JpegJobOwner>();
    JpegJob& job = owner->job;
    job.stage = Stage::Start;
    job.status = Gdiplus::Ok;
    job.data = p;
    job.size = n;
    job.frame = &frame;
    job.budget = &budget;
    job.scratch = &scratch;
    job.image = &image;
    Stage stage = run_jpeg(&job);
    if (job.status != Gdiplus::Ok) return job.status;
    if (stage < Stage::Rows) return Gdiplus::GenericError;
    image.frames.push_back(std::move(frame));
    if (job.dpi_x > 0 && job.dpi_y > 0) set_resolution(image, job.dpi_x, job.dpi_y);
    return Gdiplus::Ok;
}

}  // namespace gdip::codec
