// Colour-value members over cColor, and the clipboard members.
#include "imaging/cColor.h"
#include "imaging/image_props.h"
#include "lumtwainpro/twain.h"

namespace {

uint8_t byte_of(int32_t v) {
    if (v < 0 || v > 255) throw ComError(ComError::kOverflow, "Overflow");
    return uint8_t(v);
}

}  // namespace

int32_t twain::ARGB(int32_t nAlpha, int32_t nRed, int32_t nGreen, int32_t nBlue) {
    cColor c;
    c.FromARGB(byte_of(nAlpha), byte_of(nRed), byte_of(nGreen), byte_of(nBlue));
    return c.GetValue();
}

int32_t twain::GetRGB(int32_t nRed, int32_t nGreen, int32_t nBlue) {
    if (nRed < 0 || nGreen < 0 || nBlue < 0)
        throw ComError(ComError::kInvalidProcedureCall, "Invalid procedure call or argument");
    auto cap = [](int32_t v) { return v > 255 ? 255 : v; };
    return cap(nRed) + cap(nGreen) * 256 + cap(nBlue) * 65536;
}

void twain::ColorGetRGBFromRGBValue(int32_t nRGBValue, uint8_t& nRed, uint8_t& nGreen,
                                    uint8_t& nBlue) {
    cColor c;
    c.FromRGBColor(nRGBValue);
    nRed = c.GetRed();
    nBlue = c.GetBlue();
    nGreen = c.GetGreen();
}

void twain::ColorGetRGBFromRGBValuel(int32_t nRGBValue, int32_t& nRed, int32_t& nGreen,
                                     int32_t& nBlue) {
    uint8_t r, g, b;
    ColorGetRGBFromRGBValue(nRGBValue, r, g, b);
    nRed = r, nGreen = g, nBlue = b;
}

void twain::ColorGetARGBFromARGBValue(int32_t nARGBValue, uint8_t& nAlpha, uint8_t& nRed,
                                      uint8_t& nGreen, uint8_t& nBlue) {
    cColor c;
    c.FromARGBColor(nARGBValue);
    nRed = c.GetRed();
    nBlue = c.GetBlue();
    nGreen = c.GetGreen();
    nAlpha = c.GetAlpha();
}

void twain::ColorGetARGBFromARGBValuel(int32_t nARGBValue, int32_t& nAlpha, int32_t& nRed,
                                       int32_t& nGreen, int32_t& nBlue) {
    uint8_t a, r, g, b;
    ColorGetARGBFromARGBValue(nARGBValue, a, r, g, b);
    nAlpha = a, nRed = r, nGreen = g, nBlue = b;
}

int32_t twain::CopyToClipboard() {
    return store(modGdiplus::CopyImageToClipboard(GpImage(m_nativeImageID)));
}

int32_t twain::CopyRegionToClipboard(int32_t nSrcX, int32_t nSrcY, int32_t nWidth,
                                     int32_t nHeight) {
    if (m_nativeImageID == 0) return m_lastStatus;
    PixelFormat format = 0;
    if (store(modGdiplus::GetPixelFormatValue(GpImage(m_nativeImageID), format)) != LumTwainOk)
        return m_lastStatus;
    GpImage clone = 0;
    if (store(modGdiplus::CloneImageArea(GpImage(m_nativeImageID), nSrcX - 1, nSrcY - 1, nWidth,
                                         nHeight, format, clone)) != LumTwainOk)
        return m_lastStatus;
    store(modGdiplus::CopyImageToClipboard(clone));
    modGdiplus::DisposeImage(clone);
    return m_lastStatus;
}

void twain::DeleteClipboardData() {
    if (!OpenClipboard(0)) return;
    EmptyClipboard();
    CloseClipboard();
}
