// The PNG encoder: indexed frames as palette images (grey ramps as grey), 8-bit RGB and
// RGBA written from the rows as they are (libpng swaps B and R), 16-bit formats as 16-bit
// PNG. Deflate level 6, adaptive filters; pHYs from the resolution.
#include <png.h>

#include <cmath>

#include "platform/gdiplus/encoders_p.h"
#include "platform/gdiplus/png_writer.h"

namespace gdip {
namespace {

struct RowSource {
    ConstPixelView src;
    PixelFormat row_format = 0;  // 0: rows are written as stored
    std::vector<BYTE> buffer;

    const uint8_t* row(int y) {
        if (!row_format) return src.row(y);
        ConstPixelView line = src;
        line.scan0 = src.row(y);
        line.height = 1;
        PixelView out{buffer.data(), src.width, 1, int32_t(buffer.size()), row_format, {}, 0};
        return convert_pixels(line, out) == Gdiplus::Ok ? buffer.data() : nullptr;
    }
};

const uint8_t* next_row(void* ctx, int y) {
    return static_cast<RowSource*>(ctx)->row(y);
}
bool sink_write(void* ctx, const uint8_t* data, size_t n) {
    return static_cast<Sink*>(ctx)->write(data, n);
}

bool grey_ramp(const std::vector<ARGB>& p, int bits) {
    size_t n = size_t(1) << bits;
    if (p.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = uint32_t(i * 255 / (n - 1));
        if (p[i] != (0xFF000000u | v << 16 | v << 8 | v)) return false;
    }
    return true;
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
    RowSource rows;
    rows.src = frame_view(f);
    std::vector<uint8_t> rgb, alpha;
    if (indexed_format(f.format)) {
        params.bit_depth = pixel_format_bits(f.format);
        if (grey_ramp(f.palette, params.bit_depth))
            params.color_type = PNG_COLOR_TYPE_GRAY;
        else
            set_palette(f, params, rgb, alpha);
    } else {
        describe(f, params, &rows.row_format);
        if (rows.row_format) {
            auto bytes = row_bytes(f.width, rows.row_format);
            if (!bytes) return Gdiplus::InvalidParameter;
            rows.buffer.resize(size_t(*bytes));
        }
    }
    if (!pngw::write_png(params, next_row, &rows, sink_write, &sink)) return Gdiplus::Win32Error;
    return Gdiplus::Ok;
}

}  // namespace gdip
