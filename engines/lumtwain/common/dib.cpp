#include "dib.h"

#include <cmath>
#include <cstring>

#include "lumtwainpro/host.h"
#include "platform/win/dib.h"

namespace lumtwain {
namespace {

bool add(size_t a, size_t b, size_t* out) {
    return !__builtin_add_overflow(a, b, out);
}

void write_palette(const DibFormat& format, const DibLayout& layout, uint8_t* dst) {
    RGBQUAD* pal = reinterpret_cast<RGBQUAD*>(dst + sizeof(BITMAPINFOHEADER));
    for (size_t i = 0; i < layout.palette_entries; ++i) {
        BYTE v = layout.palette_entries == 2 ? BYTE(i * 255) : BYTE(i);
        if (format.vanilla) v = BYTE(255 - v);
        pal[i] = RGBQUAD{v, v, v, 0};
    }
}

}  // namespace

int32_t PelsPerMeter(double dpi) {
    if (!(dpi > 0) || dpi > 1e6) return 0;
    return static_cast<int32_t>(std::nearbyint(dpi / 0.0254));
}

std::optional<DibLayout> ComputeDibLayout(const DibFormat& format) {
    if (format.width <= 0 || format.height <= 0) return std::nullopt;
    if (format.bits != 1 && format.bits != 8 && format.bits != 24) return std::nullopt;
    DibLayout l;
    auto stride = win::DibStride(format.width, format.bits);
    auto image = win::DibImageBytes(format.width, format.height, format.bits);
    if (!stride || !image) return std::nullopt;
    l.stride = *stride;
    l.image_bytes = size_t(*image);
    l.palette_entries = format.bits == 1 ? 2 : format.bits == 8 ? 256 : 0;
    l.bits_offset = sizeof(BITMAPINFOHEADER) + l.palette_entries * sizeof(RGBQUAD);
    if (!add(l.bits_offset, l.image_bytes, &l.total) || l.total > kMaxDibBytes) return std::nullopt;
    return l;
}

void WriteDib(const DibFormat& format, const DibLayout& layout, const RowWriter& rows,
              uint8_t* dst) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = format.width;
    h.biHeight = format.height;  // positive: bottom-up
    h.biPlanes = 1;
    h.biBitCount = WORD(format.bits);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(layout.image_bytes);
    h.biXPelsPerMeter = PelsPerMeter(format.dpi_x);
    h.biYPelsPerMeter = PelsPerMeter(format.dpi_y);
    h.biClrUsed = DWORD(layout.palette_entries);
    h.biClrImportant = 0;
    std::memcpy(dst, &h, sizeof h);
    write_palette(format, layout, dst);
    uint8_t* bits = dst + layout.bits_offset;
    for (int y = 0; y < format.height; ++y) {
        uint8_t* row = bits + size_t(format.height - 1 - y) * layout.stride;
        std::memset(row, 0, layout.stride);
        rows(y, row);
    }
}

}  // namespace lumtwain
