// The PNG encoder: indexed frames as palette images (grey ramps as grey), 8-bit RGB and
// RGBA written from the rows as they are (libpng swaps B and R), 16-bit formats as 16-bit
// PNG. Deflate level 6, adaptive filters; pHYs from the resolution.
#include <png.h>

#include <cmath>

#include "platform/gdiplus/encoders_p.h"
#include "platform/gdiplus/png_writer.h"

namespace gdip {
namespace {

const uint8_t* next_row(void* ctx, int y) {
    return static_cast<RowSource*>(ctx)->row(int32_t(y));
}
bool sink_write(void* ctx, const uint8_t* data, size_t n) {
    return static_cast<Sink*>(ctx)->write(data, n);
}

// Palette (padded to the indices the depth can hold) and tRNS up to the last translucent.
void set_palette(const Frame& f, pngw::PngParams& params, std::vector<uint8_t>& rgb,
                 std::vector<uint8_t>& alpha) {
    int bits = pixel_format_bits(f.format);
    size_t n = std::min<size_t>(size_t(1) << bits, 256);
    for (size_t i = 0; i < n; ++i) {
        ARGB c = i < f.palette.size() ? f.palette[i] : 0xFF000000u;
        rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        alpha.push_back(uint8_t(c >> 24));
    }
    while (!alpha.empty() && alpha.back() == 255) alpha.pop_back();
    params.color_type = PNG_COLOR_TYPE_PALETTE;
    params.palette = rgb.data();
    params.palette_count = int(n);
    params.trns = alpha.empty() ? nullptr : alpha.data();
    params.trns_count = int(alpha.size());
}

// How each format goes out: colour type, depth and transforms; `convert` when rows must
// first be converted to another format.
void describe(const Frame& f, pngw::PngParams& params, PixelFormat* convert) {
    *convert = 0;
    params.bgr = true;
    switch (f.format) {
        case PixelFormat24bppRGB:
            params.color_type = PNG_COLOR_TYPE_RGB;
            break;
        case PixelFormat32bppRGB:
            params.color_type = PNG_COLOR_TYPE_RGB;
            params.strip_filler = true;
            break;
        case PixelFormat32bppARGB:
            params.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
            break;
        case PixelFormat16bppGrayScale:
            params.color_type = PNG_COLOR_TYPE_GRAY;
            params.bit_depth = 16;
            params.swap16 = true;
            break;
        case PixelFormat48bppRGB:
            params.color_type = PNG_COLOR_TYPE_RGB;
            params.bit_depth = 16;
            params.swap16 = true;
            break;
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:
            params.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
            params.bit_depth = 16;
            params.swap16 = true;
            if (f.format == PixelFormat64bppPARGB) *convert = PixelFormat64bppARGB;
            break;
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
            params.color_type = PNG_COLOR_TYPE_RGB;
            *convert = PixelFormat24bppRGB;
            break;
        default:  // 32bppPARGB, 16bppARGB1555
            params.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
            *convert = PixelFormat32bppARGB;
            break;
    }
}

}  // namespace

GpStatus encode_png(const Frame& f, const EncodeOptions&, Sink& sink) {
    pngw::PngParams params;
    params.width = f.width;
    params.height = f.height;
    params.ppm_x = uint32_t(std::lround(double(f.dpi_x) / 0.0254));
    params.ppm_y = uint32_t(std::lround(double(f.dpi_y) / 0.0254));
    std::vector<uint8_t> rgb, alpha;
    PixelFormat row_format = 0;
    if (is_indexed(f.format)) {
        params.bit_depth = pixel_format_bits(f.format);
        if (is_grey_ramp(f.palette, params.bit_depth))
            params.color_type = PNG_COLOR_TYPE_GRAY;
        else
            set_palette(f, params, rgb, alpha);
    } else {
        describe(f, params, &row_format);
    }
    RowSource rows(f, row_format);
    if (rows.status() != Gdiplus::Ok) return rows.status();
    std::string error;
    if (!pngw::write_png(params, next_row, &rows, sink_write, &sink, &error)) {
        if (!error.empty()) win::SetErrorDetail("libpng: " + error);
        return Gdiplus::Win32Error;
    }
    return Gdiplus::Ok;
}

}  // namespace gdip
