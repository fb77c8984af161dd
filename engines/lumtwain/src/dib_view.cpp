#include "dib_view.h"

#include <cstring>

#include "platform/win/dib.h"

namespace lumtwain {

const uint8_t* DibView::row(int y) const {
    int h = height();
    int stored = header.biHeight > 0 ? h - 1 - y : y;
    return bits + size_t(stored) * stride;
}

int DibView::index(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return 0;
    const uint8_t* r = row(y);
    if (header.biBitCount == 1) return (r[x >> 3] >> (7 - (x & 7))) & 1;
    if (header.biBitCount == 8) return r[x];
    return 0;
}

RGBQUAD DibView::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return RGBQUAD{0, 0, 0, 0};
    if (header.biBitCount == 24) {
        const uint8_t* p = row(y) + size_t(x) * 3;
        return RGBQUAD{p[0], p[1], p[2], 0};
    }
    size_t i = size_t(index(x, y));
    return i < palette.size() ? palette[i] : RGBQUAD{0, 0, 0, 0};
}

uint8_t DibView::grey(int x, int y) const {
    RGBQUAD c = pixel(x, y);
    return uint8_t((299 * c.rgbRed + 587 * c.rgbGreen + 114 * c.rgbBlue) / 1000);
}

std::optional<DibView> ParseDib(const uint8_t* data, size_t size) {
    win::DibHeader h;
    if (!win::ParsePackedDib(data, size, &h) || h.core || h.compression != win::kBiRgb)
        return std::nullopt;
    if (h.bits != 1 && h.bits != 8 && h.bits != 24) return std::nullopt;
    DibView v;
    std::memcpy(&v.header, data, sizeof v.header);
    size_t colours = h.bits == 24 ? 0 : h.table_entries;
    v.palette.resize(colours);
    if (colours) std::memcpy(v.palette.data(), data + h.table_offset, colours * sizeof(RGBQUAD));
    v.stride = size_t(h.stride);
    v.bits = data + h.bits_offset();
    return v;
}

std::optional<PageMark> DecodePageMark(const DibView& dib, int offset_x, int offset_y) {
    const double dx = dib.dpi_x(), dy = dib.dpi_y();
    if (!(dx > 1) || !(dy > 1)) return std::nullopt;
    const int cx = MarkerCell(dx), cy = MarkerCell(dy);
    const int x0 = MarkerOrigin(dx) - offset_x, y = MarkerOrigin(dy) - offset_y + cy;
    bool cells[17];
    for (int i = 0; i < 17; ++i) cells[i] = dib.grey(x0 + i * cx + cx / 2, y) < 128;
    if (!cells[0] || cells[1] || !cells[2]) return std::nullopt;
    PageMark mark;
    int ones = 0;
    for (int i = 0; i < 12; ++i) {
        mark.page = mark.page << 1 | int(cells[3 + i]);
        ones += cells[3 + i];
    }
    mark.side = cells[15] ? 1 : 0;
    ones += cells[15];
    if ((ones & 1) != int(cells[16])) return std::nullopt;
    return mark;
}

}  // namespace lumtwain
