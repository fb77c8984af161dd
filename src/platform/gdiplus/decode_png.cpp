// PNG through libpng. libpng reports errors by longjmp: the one function that calls setjmp
// (run_png) keeps only trivially destructible locals, and everything it fills is owned by
// its caller.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/gdiplus/codecs_p.h"

namespace gdip::codec {
namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// At the end of the input the bytes that are there are delivered, padded with zeros, so that
// the rows they complete are decoded; the read after that fails.
void read_fn(png_structp png, png_bytep out, size_t len) {
    auto* in = static_cast<Input*>(png_get_io_ptr(png));
    if (in->pos >= in->size) png_error(png, "truncated");
    size_t k = std::min(len, in->size - in->pos);
    std::memcpy(out, in->data + in->pos, k);
    std::memset(out + k, 0, len - k);
    in->pos = k < len ? in->size : in->pos + k;
}
void error_fn(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void warning_fn(png_structp, png_const_charp) {}

struct PngHandle {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngHandle() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

enum class Stage { Start, Header, Rows, Done };

// Everything run_png touches, owned by decode_png.
struct PngJob {
    png_structp png;
    png_infop info;
    Stage stage;
    GpStatus status;  // allocation status when the frame cannot be had
    Frame* frame;
    FrameBudget* budget;
    std::vector<uint8_t>* packed;  // whole 2-bit image, widened to 4 bits afterwards
    int bit_depth;
};

// Sets the transforms and picks the pixel format (after png_read_info).
PixelFormat choose_format(png_structp png, png_infop info, int* passes) {
    const int type = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    *passes = png_set_interlace_handling(png);
    if (type == PNG_COLOR_TYPE_PALETTE || (type == PNG_COLOR_TYPE_GRAY && !trns && depth <= 8)) {
        if (depth == 1) return PixelFormat1bppIndexed;
        return depth == 8 ? PixelFormat8bppIndexed : PixelFormat4bppIndexed;
    }
    if (trns) png_set_tRNS_to_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (depth == 16) png_set_swap(png);
    const bool alpha = trns || (type & PNG_COLOR_MASK_ALPHA);
    if (depth == 16) return alpha ? PixelFormat64bppARGB : PixelFormat48bppRGB;
    return alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
}

std::vector<ARGB> png_palette(png_structp png, png_infop info) {
    const int type = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (type == PNG_COLOR_TYPE_GRAY) return grey_palette(1 << depth);
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    png_bytep alpha = nullptr;
    int alpha_count = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_get_tRNS(png, info, &alpha, &alpha_count, nullptr);
    std::vector<ARGB> p(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        uint8_t a = alpha && i < alpha_count ? alpha[i] : 255;
        p[size_t(i)] = argb(a, colours[i].red, colours[i].green, colours[i].blue);
    }
    return p;
}

GpStatus precheck(PngJob* job, PixelFormat format) {
    const int64_t w = png_get_image_width(job->png, job->info);
    const int64_t h = png_get_image_height(job->png, job->info);
    const size_t bytes = frame_bytes(w, h, format);
    if (bytes == 0) return Gdiplus::OutOfMemory;
    return job->budget->check(bytes);
}

GpStatus allocate(PngJob* job, PixelFormat format) {
    png_structp png = job->png;
    png_infop info = job->info;
    const int64_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    GpStatus st = job->budget->new_frame(w, h, format, job->frame);
    if (st != Gdiplus::Ok) return st;
    if (is_indexed(format)) set_palette(*job->frame, png_palette(png, info));
    if (job->bit_depth == 2) {
        size_t bytes = png_get_rowbytes(png, info) * size_t(h);
        if ((st = job->budget->check(bytes)) != Gdiplus::Ok) return st;
        job->packed->assign(bytes, 0);
    }
    return Gdiplus::Ok;
}

// The setjmp frame: only trivially destructible locals below.
Stage run_png(PngJob* job) {
    png_structp png = job->png;
    if (setjmp(png_jmpbuf(png))) return job->stage;
    png_read_info(png, job->info);
    job->stage = Stage::Header;
    int passes = 1;
    PixelFormat format = choose_format(png, job->info, &passes);
    // libpng allocates its row buffers in png_read_update_info: check the size first.
    if ((job->status = precheck(job, format)) != Gdiplus::Ok) return job->stage;
    png_read_update_info(png, job->info);
    job->bit_depth = png_get_bit_depth(png, job->info);
    if ((job->status = allocate(job, format)) != Gdiplus::Ok) return job->stage;
    job->stage = Stage::Rows;
    const int32_t h = job->frame->height;
    const size_t rowbytes = png_get_rowbytes(png, job->info);
    for (int pass = 0; pass < passes; ++pass) {
        for (int32_t y = 0; y < h; ++y) {
            png_bytep row = job->bit_depth == 2 ? job->packed->data() + size_t(y) * rowbytes
                                                : job->frame->row(y);
            png_read_row(png, row, nullptr);
        }
    }
    png_read_end(png, job->info);
    job->stage = Stage::Done;
    return job->stage;
}

PROPID text_property(const char* key) {
    static const struct {
        const char* key;
        PROPID id;
    } kKeys[] = {{"Title", 0x0320},     {"Author", 0x013B},   {"Description", 0x010E},
                 {"Copyright", 0x8298}, {"Software", 0x0131}, {"Creation Time", 0x0132},
                 {"Source", 0x0110},    {"Comment", 0x9286}};
    for (const auto& k : kKeys)
        if (std::strcmp(k.key, key) == 0) return k.id;
    return 0;
}

void add_png_properties(png_structp png, png_infop info, Image& image) {
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &rx, &ry, &unit)) {
        add_property(image, 0x5110, PropertyTagTypeByte, {uint8_t(unit)});
        add_long(image, 0x5111, rx);
        add_long(image, 0x5112, ry);
        if (unit == PNG_RESOLUTION_METER) set_resolution(image, rx * 0.0254, ry * 0.0254);
    }
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(png, info, &gamma) && gamma > 0)
        add_rational(image, 0x0301, 100000, uint32_t(gamma));
    int intent = 0;
    if (png_get_sRGB(png, info, &intent))
        add_property(image, 0x5113, PropertyTagTypeByte, {uint8_t(intent)});
    png_charp name = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 profile_len = 0;
    int compression = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profile_len) && profile) {
        add_property(image, 0x8773, PropertyTagTypeByte,
                     std::vector<BYTE>(profile, profile + profile_len));
        if (name) add_ascii(image, 0x0302, name);
    }
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; ++i)
        if (PROPID id = text_property(text[i].key); id && text[i].text)
            add_ascii(image, id, text[i].text);
    png_timep time = nullptr;
    if (png_get_tIME(png, info, &time) && time) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04u:%02u:%02u %02u:%02u:%02u", time->year % 10000u,
                      time->month % 100u, time->day % 100u, time->hour % 100u, time->minute % 100u,
                      time->second % 100u);
        add_ascii(image, 0x0132, buf);
    }
    png_bytep exif = nullptr;
    png_uint_32 exif_len = 0;
    if (png_get_eXIf_1(png, info, &exif_len, &exif) && exif)
        add_exif_properties(image, exif, exif_len);
}

}  // namespace

bool sniff_png(const uint8_t* p, size_t n) {
    static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return n >= 8 && std::memcmp(p, kSig, 8) == 0;
}

GpStatus decode_png(const uint8_t* p, size_t n, Image& image) {
    PngHandle h;
    h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_fn, warning_fn);
    if (!h.png) return Gdiplus::OutOfMemory;
    h.info = png_create_info_struct(h.png);
    if (!h.info) return Gdiplus::OutOfMemory;
    Input in{p, n, 0};
    png_set_read_fn(h.png, &in, read_fn);
    png_set_user_limits(h.png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_chunk_malloc_max(h.png, 64u << 20);

    Frame frame;
    FrameBudget budget(n, Expansion::Deflate);
    std::vector<uint8_t> packed;
    PngJob job{h.png, h.info, Stage::Start, Gdiplus::Ok, &frame, &budget, &packed, 0};
    Stage stage = run_png(&job);
    if (job.status != Gdiplus::Ok) return job.status;
    if (stage < Stage::Rows) return Gdiplus::GenericError;
    if (job.bit_depth == 2) {
        const size_t rowbytes = packed.size() / size_t(frame.height);
        for (int32_t y = 0; y < frame.height; ++y)
            widen_2_to_4(packed.data() + size_t(y) * rowbytes, frame.row(y), frame.width);
    }
    image.frames.push_back(std::move(frame));
    add_png_properties(h.png, h.info, image);
    return Gdiplus::Ok;
}

}  // namespace gdip::codec
