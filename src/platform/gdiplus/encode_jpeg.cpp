// The JPEG encoder: quality 75 unless asked, 4:2:0, JFIF density from the resolution.
// Alpha is dropped (JPEG has none); grey-palette and 16-bit grey frames go out as grey.
#include <cmath>
#include <limits>

#include "platform/gdiplus/encoders_p.h"
#include "platform/gdiplus/jpeg_writer.h"

namespace gdip {
namespace {

const uint8_t* next_row(void* ctx, int y) {
    return static_cast<RowSource*>(ctx)->row(int32_t(y));
}
bool sink_write(void* ctx, const uint8_t* data, size_t n) {
    return static_cast<Sink*>(ctx)->write(data, n);
}

bool grey_palette(const std::vector<ARGB>& p) {
    if (p.empty()) return false;
    for (ARGB c : p)
        if (((c >> 16) & 255) != (c & 255) || ((c >> 8) & 255) != (c & 255)) return false;
    return true;
}

uint16_t density(float dpi) {
    long v = std::lround(double(dpi));
    return uint16_t(std::clamp<long>(v, 1, std::numeric_limits<uint16_t>::max()));
}

// 8-bit grey rows through the identity grey palette: luminance of whatever the source is.
std::vector<ARGB> identity_grey() {
    std::vector<ARGB> p(256);
    for (uint32_t i = 0; i < 256; ++i) p[i] = 0xFF000000u | i << 16 | i << 8 | i;
    return p;
}

}  // namespace

GpStatus encode_jpeg(const Frame& f, const EncodeOptions& opt, Sink& sink) {
    jpegw::JpegParams params;
    params.width = f.width;
    params.height = f.height;
    params.quality = opt.quality < 0 ? 75 : opt.quality;
    params.dpi_x = density(f.dpi_x);
    params.dpi_y = density(f.dpi_y);
    if (f.width > 65500 || f.height > 65500) return Gdiplus::InvalidParameter;  // JPEG limit
    bool grey = f.format == PixelFormat16bppGrayScale ||
                (is_indexed(f.format) && grey_palette(f.palette));
    PixelFormat row_format = 0;
    std::vector<ARGB> palette;
    if (grey) {
        params.input = jpegw::Input::Gray;
        palette = identity_grey();
        if (!(f.format == PixelFormat8bppIndexed && f.palette == palette))
            row_format = PixelFormat8bppIndexed;
    } else if (f.format == PixelFormat24bppRGB) {
        params.input = jpegw::Input::Bgr;
    } else if (f.format == PixelFormat32bppRGB || f.format == PixelFormat32bppARGB) {
        params.input = jpegw::Input::Bgrx;
    } else {
        params.input = jpegw::Input::Bgr;
        row_format = PixelFormat24bppRGB;
    }
    RowSource rows(f, row_format, std::move(palette));
    if (rows.status() != Gdiplus::Ok) return rows.status();
    std::string error;
    if (!jpegw::write_jpeg(params, next_row, &rows, sink_write, &sink, &error)) {
        if (!error.empty()) win::SetErrorDetail("libjpeg: " + error);
        return Gdiplus::Win32Error;
    }
    return Gdiplus::Ok;
}

}  // namespace gdip
