#include "imaging/quantize.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codecs/modOcTree.h"
#include "imaging/image_props.h"
#include "platform/win/dib.h"

namespace modGdiplus {
namespace {

constexpr UINT kPaletteFlags = 4;

// The image's pixels as 24bppRGB rows of `stride` bytes.
EngineStatus read_rgb(GpImage image, int32_t width, int32_t height, int32_t stride,
                      std::vector<BYTE>& rgb) {
    rgb.assign(size_t(stride) * size_t(height), 0);
    BitmapData data;
    data.Width = UINT(width);
    data.Height = UINT(height);
    data.Stride = stride;
    data.PixelFormat = PixelFormat24bppRGB;
    data.Scan0 = rgb.data();
    EngineStatus s = LockImageBits(image, GpRect{0, 0, width, height}, kLockReadIntoBuffer,
                                   PixelFormat24bppRGB, data);
    if (s == Gdiplus::Ok) s = UnlockImageBits(image, data);
    return s;
}

// Old GDI+: a blank 8-bit image, its palette, one write of the index rows.
EngineStatus make_through_lock(int32_t width, int32_t height, const std::vector<BYTE>& palette,
                               std::vector<BYTE>& indices, int32_t stride8, GpImage& result) {
    EngineStatus s = CreateBlankImage(width, height, PixelFormat8bppIndexed, result);
    if (s == Gdiplus::Ok) s = SetPalette(result, palette);
    if (s != Gdiplus::Ok) return s;
    BitmapData data;
    data.Width = UINT(width);
    data.Height = UINT(height);
    data.Stride = stride8;
    data.PixelFormat = PixelFormat8bppIndexed;
    data.Scan0 = indices.data();
    s = LockImageBits(result, GpRect{0, 0, width, height}, kLockWriteFromBuffer,
                      PixelFormat8bppIndexed, data);
    if (s == Gdiplus::Ok) s = UnlockImageBits(result, data);
    if (s != Gdiplus::Ok) {
        DisposeImage(result);
        result = 0;
    }
    return s;
}

// A top-down 8-bit DIB section holding the rows, made an image that keeps its colours.
EngineStatus make_through_section(int32_t width, int32_t height, const modOcTree::Octree& tree,
                                  int32_t colours, const std::vector<BYTE>& indices,
                                  GpImage& result) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header = {sizeof(BITMAPINFOHEADER), width, -height, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    for (int32_t i = 0; i < colours; ++i) {
        uint8_t r, g, b;
        tree.GetPaletteColor(i, r, g, b);
        info.colors[i] = RGBQUAD{b, g, r, 0};
    }
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(0);
    HBITMAP section = CreateDIBSection(dc, bmi, DIB_RGB_COLORS, &bits, 0, 0);
    EngineStatus s = section ? Gdiplus::Ok : Gdiplus::OutOfMemory;
    if (s == Gdiplus::Ok &&
        SetDIBits(dc, section, 0, UINT(height), indices.data(), bmi, DIB_RGB_COLORS) != height)
        s = Gdiplus::GenericError;
    if (s == Gdiplus::Ok) s = CreateImageFromHBitmap(result, section);
    if (section) DeleteObject(section);
    DeleteDC(dc);
    return s;
}

EngineStatus quantize(GpImage image, GpImage& result, int32_t& colours,
                      std::vector<BYTE>& palette) {
    colours = std::clamp(colours, 8, 256);
    int32_t width = 0, height = 0;
    if (EngineStatus s = GetImageWidth(image, width); s != Gdiplus::Ok) return s;
    if (EngineStatus s = GetImageHeight(image, height); s != Gdiplus::Ok) return s;
    auto stride3 = win::DibStride(width, 24), stride8 = win::DibStride(width, 8);
    if (!stride3 || !stride8 || height < 1) return Gdiplus::InvalidParameter;
    std::vector<BYTE> rgb;
    if (EngineStatus s = read_rgb(image, width, height, int32_t(*stride3), rgb); s != Gdiplus::Ok)
        return s;

    modOcTree::Octree tree;
    tree.BuildOctree(int32_t(*stride3), height, int32_t(*stride3) - 3 * width, rgb.data(),
                     colours, 8);
    std::vector<BYTE> indices(size_t(*stride8) * size_t(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        const BYTE* src = rgb.data() + size_t(y) * *stride3;
        BYTE* dst = indices.data() + size_t(y) * *stride8;
        for (int32_t x = 0; x < width; ++x, src += 3) dst[x] = tree.MapColor(src[0], src[1], src[2]);
    }

    colours = std::min(tree.GetPaletteCount() + 1, 256);
    palette.assign(8 + 4 * size_t(colours), 0);
    ColorPalette head{kPaletteFlags, UINT(colours), {}};
    std::memcpy(palette.data(), &head, 8);
    for (int32_t i = 0; i < colours; ++i) {
        uint8_t r, g, b;
        tree.GetPaletteColor(i, r, g, b);
        ARGB c = 0xFF000000u | ARGB(r) << 16 | ARGB(g) << 8 | b;
        std::memcpy(palette.data() + 8 + 4 * size_t(i), &c, 4);
    }
    if (GdiplusBelow6())
        return make_through_lock(width, height, palette, indices, int32_t(*stride8), result);
    return make_through_section(width, height, tree, colours, indices, result);
}

}  // namespace

EngineStatus QuantizeTo8Bpp(GpImage image, GpImage& result, int32_t& colours,
                            std::vector<BYTE>& palette) {
    result = 0;
    palette.clear();
    // The buffers of a large image may not be had: that is a status, never an exception.
    try {
        return quantize(image, result, colours, palette);
    } catch (const std::bad_alloc&) {
        if (result) DisposeImage(result);
        result = 0;
        palette.clear();
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace modGdiplus
