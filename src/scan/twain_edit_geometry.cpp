// Cropping, band and border removal, rotation, resizing, colour-depth conversion and the
// palette members.
#include <cmath>
#include <cstring>

#include "imaging/geometry.h"
#include "imaging/image_props.h"
#include "lumtwainpro/twain.h"

namespace {
using modGdiplus::EngineStatus;
GpImage img(int32_t id) {
    return GpImage(id);
}
}  // namespace

int32_t twain::replace_native(int32_t image, bool close_old) {
    // Crop and Resize close the old image as the control does; conversions dispose it.
    if (close_old)
        CloseImage(m_nativeImageID);
    else
        modGdiplus::DisposeImage(img(m_nativeImageID));
    m_nativeImageID = image;
    RestoreImageState(image);
    return m_lastStatus;
}

int32_t twain::Crop(int32_t nSrcX, int32_t nSrcY, int32_t nWidth, int32_t nHeight) {
    if (m_nativeImageID == 0) return m_lastStatus;
    SaveImageState(m_nativeImageID);
    PixelFormat format = 0;
    if (store(modGdiplus::GetPixelFormatValue(img(m_nativeImageID), format)) != LumTwainOk)
        return m_lastStatus;
    GpImage clone = 0;
    if (store(modGdiplus::CloneImageArea(img(m_nativeImageID), nSrcX - 1, nSrcY - 1, nWidth,
                                         nHeight, format, clone)) != LumTwainOk)
        return m_lastStatus;
    return replace_native(int32_t(clone), true);
}

int32_t twain::CropTop(int32_t nLines) {
    if (m_nativeImageID == 0) return m_lastStatus;
    return Crop(1, nLines + 1, GetWidth(), GetHeight() - nLines);
}
int32_t twain::CropBottom(int32_t nLines) {
    if (m_nativeImageID == 0) return m_lastStatus;
    return Crop(1, 1, GetWidth(), GetHeight() - nLines);
}
int32_t twain::CropLeft(int32_t nLines) {
    if (m_nativeImageID == 0) return m_lastStatus;
    int32_t w = GetWidth();
    return Crop(nLines + 1, 1, w - nLines, GetHeight());
}
int32_t twain::CropRight(int32_t nLines) {
    if (m_nativeImageID == 0) return m_lastStatus;
    int32_t w = GetWidth();
    return Crop(1, 1, w - nLines, GetHeight());
}

int32_t twain::crop_uniform(int32_t confidence, uint32_t colour, int32_t skip, int32_t tolerance) {
    SaveImageState(m_nativeImageID);
    modGdiplus::UniformEdges e;
    EngineStatus s =
        modGdiplus::FindUniformEdges(img(m_nativeImageID), confidence, colour, skip, tolerance, e);
    if (s != LumTwainOk) return store(s);
    if (!e.found) return m_lastStatus;
    int32_t w = m_snapshot.width, h = m_snapshot.height;
    return Crop(e.left + 1, e.top + 1, w - e.left - e.right, h - e.top - e.bottom);
}

int32_t twain::CropWhiteBands(int32_t nConfidence, int32_t nSkipLinesCount) {
    if (m_nativeImageID == 0) return m_lastStatus;
    int32_t w = GetWidth(), h = GetHeight();
    if (w <= 9 || h <= 9) return m_lastStatus;
    return crop_uniform(nConfidence, 0xFFFFFFFFu, nSkipLinesCount, 0);
}

int32_t twain::CropBlackBands(int32_t nConfidence, int32_t nSkipLinesCount) {
    if (m_nativeImageID == 0) return m_lastStatus;
    int32_t w = GetWidth(), h = GetHeight();
    if (w <= 9 || h <= 9) return m_lastStatus;
    return crop_uniform(nConfidence, 0xFF000000u, nSkipLinesCount, 0);
}

int32_t twain::CropBorders2(int32_t nConfidence, int32_t nColorReference) {
    if (nConfidence < 0 || nConfidence > 100) nConfidence = 98;
    if (nColorReference < 1 || nColorReference > 4) nColorReference = 1;
    int32_t tolerance = int32_t(std::floor((100 - nConfidence) * 7.65));
    int32_t w = GetWidth(), h = GetHeight();
    if (m_nativeImageID == 0) return m_lastStatus;
    if (w <= 9 || h <= 9) return m_lastStatus;
    const int32_t corners[4][2] = {{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}};
    uint32_t colour = 0;
    const int32_t* c = corners[nColorReference - 1];
    if (store(modGdiplus::GetPixel(img(m_nativeImageID), c[0], c[1], colour)) != LumTwainOk)
        return m_lastStatus;
    return crop_uniform(nConfidence, colour, 0, tolerance);
}

int32_t twain::CropBorders() {
    return CropBorders2(90, 1);
}

int32_t twain::Rotate(int32_t nRotation) {
    return store(modGdiplus::RotateFlip(img(m_nativeImageID), nRotation));
}

// ---- Conversions ---------------------------------------------------------------------------

int32_t twain::convert_by_copy(int32_t format) {
    SaveImageState(m_nativeImageID);
    GpImage copy = 0;
    if (store(modGdiplus::ConvertByPixelCopy(img(m_nativeImageID), copy, format)) != LumTwainOk) {
        if (copy) modGdiplus::DisposeImage(copy);
        return m_lastStatus;
    }
    return replace_native(int32_t(copy), false);
}

int32_t twain::ConvertTo16Bpp() {
    return convert_by_copy(PixelFormat16bppRGB555);
}
int32_t twain::ConvertTo24Bpp() {
    return convert_by_copy(PixelFormat24bppRGB);
}
int32_t twain::ConvertTo32Bpp() {
    return convert_by_copy(PixelFormat32bppARGB);
}
int32_t twain::ConvertTo48Bpp() {
    return convert_by_copy(PixelFormat48bppRGB);
}
int32_t twain::ConvertTo64Bpp() {
    return convert_by_copy(PixelFormat64bppPARGB);
}

int32_t twain::ConvertTo1Bpp() {
    if (m_nativeImageID == 0) return m_lastStatus;
    SaveImageState(m_nativeImageID);
    GpImage made = 0;
    if (store(modGdiplus::ConvertTo1BppImage(img(m_nativeImageID), false, made)) != LumTwainOk)
        return m_lastStatus;
    return replace_native(int32_t(made), false);
}

int32_t twain::convert_4bpp(const std::vector<uint32_t>& palette, uint32_t flags) {
    if (m_nativeImageID == 0) return m_lastStatus;
    SaveImageState(m_nativeImageID);
    GpImage made = 0;
    if (store(modGdiplus::ConvertTo4BppImage(img(m_nativeImageID), palette, flags, made)) !=
        LumTwainOk)
        return m_lastStatus;
    return replace_native(int32_t(made), false);
}

int32_t twain::ConvertTo4Bpp() {
    return convert_4bpp(modGdiplus::FixedPalette16(), PaletteFlagsHalftone);
}

int32_t twain::ConvertTo4BppPal(const SafeArray<int32_t>& nARGBColorsArray) {
    if (m_nativeImageID == 0) return m_lastStatus;
    std::vector<uint32_t> palette(nARGBColorsArray.values().begin(),
                                  nARGBColorsArray.values().end());
    if (palette.empty() || palette.size() > 16) return store(LumTwainInvalidParameter);
    return convert_4bpp(palette, PaletteFlagsHasAlpha);
}

int32_t twain::ColorPaletteConvertToHalftone() {
    GetWidth();
    GetHeight();
    if (m_nativeImageID == 0) return m_lastStatus;
    return store(modGdiplus::MarkPaletteHalftone(img(m_nativeImageID)));
}

// ---- Resizing ------------------------------------------------------------------------------

namespace {

EngineStatus redraw(GpImage source, GpImage target, int32_t w, int32_t h, int32_t nw, int32_t nh,
                    int32_t mode) {
    GpGraphics g = 0;
    EngineStatus s = modGdiplus::GetImageGraphics(target, 0, g);
    if (s != Gdiplus::Ok) return s;
    GdipSetSmoothingMode(g, SmoothingModeNone);
    GdipSetCompositingQuality(g, CompositingQualityHighSpeed);
    GdipSetPixelOffsetMode(g, PixelOffsetModeNone);
    s = GdipSetInterpolationMode(g, InterpolationMode(mode));
    if (s == Gdiplus::Ok)
        s = GdipDrawImageRectRect(g, source, 0, 0, REAL(nw), REAL(nh), 0, 0, REAL(w), REAL(h),
                                  UnitPixel, 0, nullptr, nullptr);
    GdipDeleteGraphics(g);
    return s;
}

}  // namespace

int32_t twain::Resize(int32_t nNewPictureWidth, int32_t nNewPictureHeight,
                      int32_t nInterpolationMode) {
    if (m_nativeImageID == 0) return m_lastStatus;
    SaveImageState(m_nativeImageID);
    ImageStateSnapshot state = m_snapshot;
    int32_t bits = 0;
    modGdiplus::GetBitDepth(img(m_nativeImageID), bits);
    // An indexed image cannot be drawn into: it is resized through a 32-bit copy, then
    // converted back, whatever the GDI+ version. The original stays until the drawing worked.
    bool indexed = bits == 1 || bits == 4 || bits == 8;
    SafeArray<int32_t> palette;
    GpImage intermediate = 0;
    if (indexed) {
        int32_t entries = 0;
        if (bits == 4) ColorPaletteGet(palette, entries);
        if (store(modGdiplus::ConvertByPixelCopy(img(m_nativeImageID), intermediate,
                                                 PixelFormat32bppARGB)) != LumTwainOk) {
            if (intermediate) modGdiplus::DisposeImage(intermediate);
            return m_lastStatus;
        }
    }
    GpImage source = indexed ? intermediate : img(m_nativeImageID);
    PixelFormat format = indexed ? PixelFormat32bppARGB : state.pixel_format;
    GpImage made = 0;
    if (store(modGdiplus::CreateBlankImage(nNewPictureWidth, nNewPictureHeight, format, made)) ==
        LumTwainOk) {
        std::vector<BYTE> native_palette;
        if (!indexed && modGdiplus::GetPalette(source, native_palette) == Gdiplus::Ok &&
            native_palette.size() > 8 &&
            reinterpret_cast<ColorPalette*>(native_palette.data())->Count > 0)
            modGdiplus::SetPalette(made, native_palette);
        store(redraw(source, made, state.width, state.height, nNewPictureWidth, nNewPictureHeight,
                     nInterpolationMode));
    }
    if (m_lastStatus != LumTwainOk) {
        if (made) modGdiplus::DisposeImage(made);
        if (intermediate) modGdiplus::DisposeImage(intermediate);
        return m_lastStatus;
    }
    CloseImage(m_nativeImageID);
    m_nativeImageID = int32_t(made);
    RestoreImageState(m_nativeImageID);
    if (!indexed) return store(LumTwainOk);
    int32_t s = LumTwainOk;
    if (bits == 1) {
        SaveImageState(m_nativeImageID);
        GpImage one = 0;
        s = modGdiplus::GdiplusBelow6()
                ? modGdiplus::ConvertTo1BppImage(img(m_nativeImageID), true, one)
                : modGdiplus::ConvertByPixelCopy(img(m_nativeImageID), one, PixelFormat1bppIndexed);
        if (s == LumTwainOk)
            replace_native(int32_t(one), false);
        else if (one)
            modGdiplus::DisposeImage(one);
    } else if (bits == 4) {
        s = palette.size() > 0 ? ConvertTo4BppPal(palette) : ConvertTo4Bpp();
    } else {
        s = ConvertTo8Bpp();
    }
    if (s != LumTwainOk) {
        // The image comes back as it was before the resizing, in 32 bits.
        CloseImage(m_nativeImageID);
        m_nativeImageID = int32_t(intermediate);
        RestoreImageState(m_nativeImageID);
        return store(s);
    }
    modGdiplus::DisposeImage(intermediate);
    RestoreImageState(m_nativeImageID);
    return store(LumTwainOk);
}

// ---- Palettes ------------------------------------------------------------------------------

namespace {

EngineStatus palette_entries(GpImage image, std::vector<uint32_t>& entries) {
    std::vector<BYTE> buffer;
    EngineStatus s = modGdiplus::GetPalette(image, buffer);
    if (s != Gdiplus::Ok) return s;
    ColorPalette head;
    std::memcpy(&head, buffer.data(), 8);
    entries.resize(head.Count);
    if (head.Count) std::memcpy(entries.data(), buffer.data() + 8, 4 * size_t(head.Count));
    return s;
}

}  // namespace

int32_t twain::ColorPaletteGetColorsCount() {
    std::vector<uint32_t> entries;
    if (store(palette_entries(img(m_nativeImageID), entries)) != LumTwainOk) return 0;
    return int32_t(entries.size());
}

int32_t twain::ColorPaletteGet(SafeArray<int32_t>& nColorsArray, int32_t& nEntriesCount) {
    nEntriesCount = 0;
    std::vector<uint32_t> entries;
    if (store(palette_entries(img(m_nativeImageID), entries)) != LumTwainOk) return m_lastStatus;
    nEntriesCount = int32_t(entries.size());
    if (!entries.empty()) {
        nColorsArray.redim(1, ULONG(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i)
            nColorsArray.at(LONG(i + 1)) = int32_t(entries[i]);
    }
    return m_lastStatus;
}

int32_t twain::ColorPaletteSet(const SafeArray<int32_t>& nARGBColorsArray) {
    int32_t w = GetWidth(), h = GetHeight();
    PixelFormat format = 0;
    modGdiplus::GetPixelFormatValue(img(m_nativeImageID), format);
    size_t count = nARGBColorsArray.size();
    if (m_nativeImageID == 0 || count == 0) return m_lastStatus;
    if (count > 256) return store(LumTwainInvalidParameter);
    std::vector<BYTE> buffer(8 + 4 * count);
    ColorPalette head{PaletteFlagsHasAlpha, UINT(count), {0}};
    std::memcpy(buffer.data(), &head, 8);
    std::memcpy(buffer.data() + 8, nARGBColorsArray.data(), 4 * count);
    GpRect all{0, 0, w, h};
    BitmapData data;
    if (store(modGdiplus::LockImageBits(img(m_nativeImageID), all, modGdiplus::kLockRead, format,
                                        data)) != LumTwainOk)
        return m_lastStatus;
    if (store(modGdiplus::UnlockImageBits(img(m_nativeImageID), data)) != LumTwainOk)
        return m_lastStatus;
    if (store(modGdiplus::SetPalette(img(m_nativeImageID), buffer)) != LumTwainOk)
        return m_lastStatus;
    BitmapData out;
    if (store(modGdiplus::LockImageBits(img(m_nativeImageID), all, modGdiplus::kLockWrite, format,
                                        out)) != LumTwainOk)
        return m_lastStatus;
    return store(modGdiplus::UnlockImageBits(img(m_nativeImageID), out));
}
