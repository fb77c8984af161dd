// Reading packed DIBs back: the decoder that tests use to check pages, and the page marker
// decoder. Never trusts the bytes: a bad or short DIB gives nullopt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "page.h"
#include "lumtwainpro/host.h"

namespace lumtwain {

struct DibView {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> palette;
    const uint8_t* bits = nullptr;
    size_t stride = 0;

    int width() const { return header.biWidth; }
    int height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
    // Top-down coordinates; out-of-range pixels read as black.
    RGBQUAD pixel(int x, int y) const;
    uint8_t grey(int x, int y) const;
    // The sample index (1 and 8 bits) or 0.
    int index(int x, int y) const;
    const uint8_t* row(int y) const;  // top-down
    double dpi_x() const { return header.biXPelsPerMeter * 0.0254; }
    double dpi_y() const { return header.biYPelsPerMeter * 0.0254; }
};

// Uncompressed DIBs of 1, 8 or 24 bits per pixel.
std::optional<DibView> ParseDib(const uint8_t* data, size_t size);

// The page number and side of a virtual scanner page whose frame starts `offset_x`,
// `offset_y` pixels right of and below the paper's top-left corner.
std::optional<PageMark> DecodePageMark(const DibView& dib, int offset_x = 0, int offset_y = 0);

}  // namespace lumtwain
