// Query, cloning and export members, and the image-state snapshot.
#include "imaging/image_props.h"
#include "lumtwainpro/twain.h"

namespace {
GpImage img(int32_t id) { return GpImage(id); }
}  // namespace

int32_t twain::CreateClonedImage(int32_t nImageID) {
    GpImage clone = 0;
    store(modGdiplus::CloneImage(img(nImageID), clone));
    return m_lastStatus == LumTwainOk ? int32_t(clone) : 0;
}

int32_t twain::CreateClonedImageArea(int32_t nImageID, int32_t nSrcX, int32_t nSrcY,
                                     int32_t nWidth, int32_t nHeight) {
    if (nImageID == 0) return 0;
    PixelFormat format = 0;
    if (store(modGdiplus::GetPixelFormatValue(img(nImageID), format)) != LumTwainOk) return 0;
    GpImage clone = 0;
    store(modGdiplus::CloneImageArea(img(nImageID), nSrcX - 1, nSrcY - 1, nWidth, nHeight, format,
                                     clone));
    return m_lastStatus == LumTwainOk ? int32_t(clone) : 0;
}

int32_t twain::GetWidth() {
    int32_t w = 0;
    store(modGdiplus::GetImageWidth(img(m_nativeImageID), w));
    return w;
}

int32_t twain::GetHeight() {
    int32_t h = 0;
    store(modGdiplus::GetImageHeight(img(m_nativeImageID), h));
    return h;
}

std::string twain::GetImageFormat() {
    std::string name;
    store(modGdiplus::GetRawFormatName(img(m_nativeImageID), name));
    return name;
}

std::string twain::GetPixelFormat() {
    std::string name;
    store(modGdiplus::GetPixelFormatName(img(m_nativeImageID), name));
    return name;
}

int32_t twain::GetIntPixelFormat() {
    int32_t bits = 0;
    store(modGdiplus::GetBitDepth(img(m_nativeImageID), bits));
    return bits;
}

float twain::GetHorizontalResolution() {
    float dpi = 0;
    store(modGdiplus::GetImageHorizontalResolution(img(m_nativeImageID), dpi));
    return dpi;
}

float twain::GetVerticalResolution() {
    float dpi = 0;
    store(modGdiplus::GetImageVerticalResolution(img(m_nativeImageID), dpi));
    return dpi;
}

int32_t twain::SetHorizontalResolution(float nHorizontalresolution) {
    if (m_nativeImageID == 0) return no_native_image();
    float vertical = GetVerticalResolution();
    return store(
        modGdiplus::SetImageResolution(img(m_nativeImageID), nHorizontalresolution, vertical));
}

int32_t twain::SetVerticalResolution(float nVerticalresolution) {
    if (m_nativeImageID == 0) return no_native_image();
    float horizontal = GetHorizontalResolution();
    return store(
        modGdiplus::SetImageResolution(img(m_nativeImageID), horizontal, nVerticalresolution));
}

ComPtr<IPicture> twain::GetPicture() {
    ComPtr<IPicture> picture;
    store(modGdiplus::ImageToPicture(img(m_nativeImageID), picture));
    return m_lastStatus == LumTwainOk ? picture : ComPtr<IPicture>();
}

int32_t twain::GetHBitmap() {
    HBITMAP bitmap = 0;
    store(modGdiplus::CreateHBitmap(img(m_nativeImageID), bitmap, 0));
    return m_lastStatus == LumTwainOk ? int32_t(bitmap) : 0;
}

void twain::DeleteHBitmap(int32_t nHbitmap) { DeleteObject(HGDIOBJ(nHbitmap)); }

void twain::DeletePictureObject(ComPtr<IPicture>& oPictureObject) {
    if (!oPictureObject) return;
    OLE_HANDLE handle = 0;
    oPictureObject->get_Handle(&handle);
    DeleteObject(handle);
}

void twain::SaveImageState(int32_t image) {
    GpImage target = img(image ? image : m_nativeImageID);
    m_snapshot = {};
    modGdiplus::GetImageWidth(target, m_snapshot.width);
    modGdiplus::GetImageHeight(target, m_snapshot.height);
    modGdiplus::GetImageVerticalResolution(target, m_snapshot.vertical_resolution);
    modGdiplus::GetImageHorizontalResolution(target, m_snapshot.horizontal_resolution);
    modGdiplus::GetPixelFormatValue(target, m_snapshot.pixel_format);
}

void twain::RestoreImageState(int32_t image) {
    GpImage target = img(image ? image : m_nativeImageID);
    float h = 0, v = 0;
    modGdiplus::GetImageHorizontalResolution(target, h);
    modGdiplus::GetImageVerticalResolution(target, v);
    if (h != m_snapshot.horizontal_resolution || v != m_snapshot.vertical_resolution)
        modGdiplus::SetImageResolution(target, m_snapshot.horizontal_resolution,
                                       m_snapshot.vertical_resolution);
}
