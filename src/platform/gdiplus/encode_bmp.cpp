// The BMP encoder: indexed frames with their palette, 16-bit 555 (565 through bit fields),
// 24-bit as 24, 32-bit formats as 32-bit BI_RGB (alpha in the fourth byte), wider formats
// reduced to 24 or 32 bits. Rows bottom-up, padded to 4 bytes.
#include <cmath>
#include <limits>

#include "platform/gdiplus/encoders_p.h"
#include "platform/win/dib.h"

namespace gdip {
namespace {

struct Layout {
    int bits;                // written bits per pixel
    PixelFormat row_format;  // what each written row holds
    DWORD compression = BI_RGB;
};

Layout layout_for(PixelFormat f) {
    switch (f) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat24bppRGB:
        case PixelFormat16bppRGB555:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            return {pixel_format_bits(f), f};
        case PixelFormat16bppRGB565:
            return {16, f, BI_BITFIELDS};
        case PixelFormat16bppGrayScale:
        case PixelFormat48bppRGB:
            return {24, PixelFormat24bppRGB};
        default:
            return {32, PixelFormat32bppARGB};  // formats with alpha
    }
}

class LeBytes {
  public:
    void u16(uint32_t v) {
        m_b.push_back(BYTE(v));
        m_b.push_back(BYTE(v >> 8));
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    std::vector<BYTE>& bytes() { return m_b; }

  private:
    std::vector<BYTE> m_b;
};

LONG pels_per_metre(float dpi) {
    return LONG(std::lround(double(dpi) / 0.0254));
}

}  // namespace

GpStatus encode_bmp(const Frame& frame, const EncodeOptions& opt, Sink& sink) {
    Frame storage;
    const Frame* f = nullptr;
    if (GpStatus s = frame_at_depth(frame, opt.color_depth, &storage, &f); s != Gdiplus::Ok)
        return s;
    Layout lay = layout_for(f->format);
    auto stride = win::DibStride(f->width, lay.bits);
    if (!stride) return Gdiplus::InvalidParameter;
    uint64_t row_bytes = *stride;
    size_t colours = is_indexed(f->format) ? f->palette.size() : 0;
    uint32_t header = 14 + 40 + (lay.compression == BI_BITFIELDS ? 12 : 0) + 4 * uint32_t(colours);
    uint64_t image = row_bytes * uint64_t(f->height);
    if (header + image > std::numeric_limits<uint32_t>::max()) return Gdiplus::InvalidParameter;

    LeBytes h;
    h.u16(0x4D42);  // "BM"
    h.u32(uint32_t(header + image));
    h.u32(0);
    h.u32(header);
    h.u32(40);
    h.u32(uint32_t(f->width));
    h.u32(uint32_t(f->height));  // positive: bottom-up
    h.u16(1);
    h.u16(uint32_t(lay.bits));
    h.u32(lay.compression);
    h.u32(uint32_t(image));
    h.u32(uint32_t(pels_per_metre(f->dpi_x)));
    h.u32(uint32_t(pels_per_metre(f->dpi_y)));
    h.u32(uint32_t(colours));
    h.u32(0);
    if (lay.compression == BI_BITFIELDS) {
        h.u32(0xF800);
        h.u32(0x07E0);
        h.u32(0x001F);
    }
    for (size_t i = 0; i < colours; ++i) h.u32(f->palette[i] & 0x00FFFFFF);  // B, G, R, 0
    if (!sink.write(h.bytes().data(), h.bytes().size())) return Gdiplus::Win32Error;

    RowSource rows(*f, lay.row_format == f->format ? 0 : lay.row_format, f->palette);
    if (rows.status() != Gdiplus::Ok) return rows.status();
    static const BYTE kPad[4] = {};
    size_t pad = size_t(row_bytes) - rows.row_bytes();
    for (int32_t y = f->height - 1; y >= 0; --y) {
        const uint8_t* row = rows.row(y);
        if (!row) return Gdiplus::InvalidParameter;
        if (!sink.write(row, rows.row_bytes()) || !sink.write(kPad, pad)) return Gdiplus::Win32Error;
    }
    return Gdiplus::Ok;
}

}  // namespace gdip
