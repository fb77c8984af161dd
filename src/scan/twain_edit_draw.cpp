// Display on a device, text drawing and the font members.
#include "imaging/draw_text.h"
#include "lumtwainpro/twain.h"
#include "platform/win/font.h"

namespace {

enum FillKind { kSolid, kGradient, kTexture };

int collect_family(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->emplace_back(font->lfFaceName);
    return 1;
}

// The screen's font list, in the platform's stable order.
std::vector<std::string> screen_fonts() {
    std::vector<std::string> names;
    LOGFONTA all{};
    HDC screen = GetDC(0);
    EnumFontFamiliesExA(screen, &all, collect_family, LPARAM(&names), 0);
    ReleaseDC(0, screen);
    return names;
}

}  // namespace

int32_t twain::display(bool dc, int32_t handle, int32_t x, int32_t y, int32_t w, int32_t h,
                       const int32_t* src, int32_t smoothing, int32_t interpolation) {
    modGdiplus::DeviceTarget target;
    if (dc)
        target.dc = HDC(handle);
    else
        target.window = HWND(handle);
    modGdiplus::SourceRect rect;
    if (src) rect = {src[0] - 1, src[1] - 1, src[2], src[3]};
    return store(modGdiplus::DisplayOnDevice(GpImage(m_nativeImageID), target, float(x - 1),
                                             float(y - 1), float(w), float(h),
                                             src ? &rect : nullptr, smoothing, interpolation));
}

int32_t twain::DisplayImageOnHDC(int32_t nHDC, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                                 int32_t nDstHeight, int32_t nSmoothingMode,
                                 int32_t nInterpolationMode) {
    return display(true, nHDC, nDstX, nDstY, nDstWidth, nDstHeight, nullptr, nSmoothingMode,
                   nInterpolationMode);
}

int32_t twain::DisplayImageOnHwnd(int32_t nHWND, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                                  int32_t nDstHeight, int32_t nSmoothingMode,
                                  int32_t nInterpolationMode) {
    return display(false, nHWND, nDstX, nDstY, nDstWidth, nDstHeight, nullptr, nSmoothingMode,
                   nInterpolationMode);
}

int32_t twain::DisplayImageRectOnHDC(int32_t nHDC, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                                     int32_t nDstHeight, int32_t nSrcX, int32_t nSrcY,
                                     int32_t nSrcWidth, int32_t nSrcHeight, int32_t nSmoothingMode,
                                     int32_t nInterpolationMode) {
    const int32_t src[4] = {nSrcX, nSrcY, nSrcWidth, nSrcHeight};
    return display(true, nHDC, nDstX, nDstY, nDstWidth, nDstHeight, src, nSmoothingMode,
                   nInterpolationMode);
}

int32_t twain::DisplayImageRectOnHwnd(int32_t nHWND, int32_t nDstX, int32_t nDstY,
                                      int32_t nDstWidth, int32_t nDstHeight, int32_t nSrcX,
                                      int32_t nSrcY, int32_t nSrcWidth, int32_t nSrcHeight,
                                      int32_t nSmoothingMode, int32_t nInterpolationMode) {
    const int32_t src[4] = {nSrcX, nSrcY, nSrcWidth, nSrcHeight};
    return display(false, nHWND, nDstX, nDstY, nDstWidth, nDstHeight, src, nSmoothingMode,
                   nInterpolationMode);
}

int32_t twain::draw_text(const std::string& text, int32_t x, int32_t y, float angle, int32_t height,
                         int32_t style, const std::string& font, bool anti_alias, int kind,
                         uint32_t color, uint32_t color2, const std::string& texture,
                         bool background, uint32_t back) {
    if (m_nativeImageID == 0) return m_lastStatus;
    modGdiplus::TextFont f{font, float(height), style, m_fontUnit, anti_alias};
    modGdiplus::TextFill fill;
    fill.kind = kind == kGradient  ? modGdiplus::TextFill::Gradient
                : kind == kTexture ? modGdiplus::TextFill::Texture
                                   : modGdiplus::TextFill::Solid;
    fill.color = color;
    fill.end_color = color2;
    fill.texture_path = texture;
    fill.background = background;
    fill.back_color = back;
    return store(modGdiplus::DrawImageText(GpImage(m_nativeImageID), text, float(x - 1),
                                           float(y - 1), angle, f, fill));
}

int32_t twain::DrawText(const std::string& sText, int32_t nDstX, int32_t nDstY, int32_t nFontHeight,
                        int32_t nFontStyle, int32_t nColor, const std::string& sFontName,
                        bool bAntiAlias) {
    return draw_text(sText, nDstX, nDstY, 0, nFontHeight, nFontStyle, sFontName, bAntiAlias, kSolid,
                     uint32_t(nColor), 0, "", false, 0);
}

int32_t twain::DrawTextBackColor(const std::string& sText, int32_t nDstX, int32_t nDstY,
                                 int32_t nFontHeight, int32_t nFontStyle, int32_t nColor,
                                 const std::string& sFontName, int32_t nBackColor,
                                 bool bAntiAlias) {
    return draw_text(sText, nDstX, nDstY, 0, nFontHeight, nFontStyle, sFontName, bAntiAlias, kSolid,
                     uint32_t(nColor), 0, "", true, uint32_t(nBackColor));
}

int32_t twain::DrawRotatedText(int32_t nAngle, const std::string& sText, int32_t nDstX,
                               int32_t nDstY, int32_t nFontHeight, int32_t nFontStyle,
                               int32_t nColor, const std::string& sFontName, bool bAntiAlias) {
    // An angle of 0 still goes through the rotated path's point mapping, which is exact.
    return draw_text(sText, nDstX, nDstY, float(nAngle), nFontHeight, nFontStyle, sFontName,
                     bAntiAlias, kSolid, uint32_t(nColor), 0, "", false, 0);
}

int32_t twain::DrawRotatedTextBackColor(int32_t nAngle, const std::string& sText, int32_t nDstX,
                                        int32_t nDstY, int32_t nFontHeight, int32_t nFontStyle,
                                        int32_t nColor, const std::string& sFontName,
                                        int32_t nBackColor, bool bAntiAlias) {
    return draw_text(sText, nDstX, nDstY, float(nAngle), nFontHeight, nFontStyle, sFontName,
                     bAntiAlias, kSolid, uint32_t(nColor), 0, "", true, uint32_t(nBackColor));
}

int32_t twain::DrawTextBox(const std::string& sText, int32_t nLeft, int32_t nTop, int32_t nWidth,
                           int32_t nHeight, int32_t nFontHeight, int32_t nAlignment,
                           int32_t nFontStyle, int32_t nColor, const std::string& sFontName,
                           bool bDrawTextBox, bool) {
    if (m_nativeImageID == 0) return m_lastStatus;
    modGdiplus::TextFont f{sFontName, float(nFontHeight), nFontStyle, m_fontUnit, true};
    return store(modGdiplus::DrawImageTextBox(GpImage(m_nativeImageID), sText, float(nLeft),
                                              float(nTop), float(nWidth), float(nHeight),
                                              nAlignment, f, uint32_t(nColor), bDrawTextBox));
}

int32_t twain::DrawTextGradient(const std::string& sText, int32_t nDstX, int32_t nDstY,
                                int32_t nStartColor, int32_t nEndColor, int32_t nFontHeight,
                                int32_t nFontStyle, const std::string& sFontName, bool bAntiAlias) {
    return draw_text(sText, nDstX, nDstY, 0, nFontHeight, nFontStyle, sFontName, bAntiAlias,
                     kGradient, uint32_t(nStartColor), uint32_t(nEndColor), "", false, 0);
}

int32_t twain::DrawTextTexture(const std::string& sText, int32_t nDstX, int32_t nDstY,
                               const std::string& sTextureFilePath, int32_t nFontHeight,
                               int32_t nFontStyle, const std::string& sFontName, bool bAntiAlias) {
    return draw_text(sText, nDstX, nDstY, 0, nFontHeight, nFontStyle, sFontName, bAntiAlias,
                     kTexture, 0, 0, sTextureFilePath, false, 0);
}

void twain::FontSetUnit(int32_t nUnitMode) {
    m_fontUnit = nUnitMode;
}
int32_t twain::FontGetUnit() {
    return m_fontUnit;
}
int32_t twain::FontGetCount() {
    return int32_t(screen_fonts().size());
}

std::string twain::FontGetName(int32_t nFontNo) {
    std::vector<std::string> names = screen_fonts();
    if (nFontNo < 1 || size_t(nFontNo) > names.size()) return "";
    return names[size_t(nFontNo - 1)];
}

bool twain::FontIsStyleAvailable(const std::string& sFontName, int32_t nFontStyle) {
    bool available = false;
    store(modGdiplus::FontIsStyleAvailable(sFontName, nFontStyle, available));
    return available;
}
