// Save and export members, and the native multipage TIFF session.
#include "imaging/save.h"
#include "lumtwainpro/twain.h"

namespace {
GpImage img(int32_t id) { return GpImage(id); }
}  // namespace

int32_t twain::SaveAsBmp(const std::string& sFilename) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SaveBmp(img(m_nativeImageID), sFilename));
}

int32_t twain::SaveAsJpeg(const std::string& sFilename, int32_t nQuality) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SaveJpeg(img(m_nativeImageID), sFilename, nQuality));
}

int32_t twain::SaveAsPng(const std::string& sFilename) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SavePng(img(m_nativeImageID), sFilename));
}

int32_t twain::SaveAsGif(const std::string& sFilename) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SaveGif(img(m_nativeImageID), sFilename));
}

int32_t twain::SaveAsTiff(const std::string& sFilename, int32_t nModeCompression,
                          int32_t nColorDepth) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(
        modGdiplus::SaveTiff(img(m_nativeImageID), sFilename, nModeCompression, nColorDepth));
}

int32_t twain::SaveAsByteArray(SafeArray<uint8_t>& arBytes, int32_t& nBitsRead,
                               const std::string& sImageFormat, int32_t nEncoderParameter) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SaveToBytes(img(m_nativeImageID), nBitsRead, arBytes, sImageFormat,
                                         nEncoderParameter));
}

int32_t twain::SaveAsStream(ComPtr<IStream>& oStream, const std::string& sImageFormat,
                            int32_t nEncoderParameter) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(
        modGdiplus::SaveToStream(img(m_nativeImageID), oStream, sImageFormat, nEncoderParameter));
}

std::string twain::SaveAsString(const std::string& sImageFormat, int32_t nEncoderParameter) {
    if (m_nativeImageID == 0) {
        no_native_image();
        return "";
    }
    std::string text;
    store(modGdiplus::SaveToString(img(m_nativeImageID), text, sImageFormat, nEncoderParameter));
    return text;
}

int32_t twain::TiffSaveAsNativeMultiPage(const std::string& sFilename, int32_t nModeCompression) {
    if (m_nativeImageID == 0) return no_native_image();
    store(modGdiplus::BeginMultipageTiff(img(m_nativeImageID), sFilename, nModeCompression));
    if (m_lastStatus == LumTwainOk) m_multiPageImageID = m_nativeImageID;
    return m_lastStatus;
}

int32_t twain::TiffAddToNativeMultipage(int32_t nImageID) {
    if (m_multiPageImageID == 0) return store(LumTwainGenericError);
    return store(modGdiplus::AddMultipageTiffPage(img(m_multiPageImageID), img(nImageID)));
}

int32_t twain::TiffCloseNativeMultiPage() {
    if (m_multiPageImageID == 0) return m_lastStatus;
    // Disposing the head image completes the file; a file that could not be completed is
    // reported (7) although the image is gone.
    CloseImage(m_multiPageImageID);
    return m_lastStatus;
}
