// SaveAsGifI and SaveAsPnm: the native image through the library's own GIF89a and PNM
// writers.
#include "imaging/own_save.h"
#include "lumtwainpro/twain.h"

int32_t twain::SaveAsGifI(const std::string& sFilename) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SaveGifOwnWriter(GpImage(m_nativeImageID), sFilename));
}

int32_t twain::SaveAsPnm(const std::string& sFilename) {
    if (m_nativeImageID == 0) return no_native_image();
    return store(modGdiplus::SavePnm(GpImage(m_nativeImageID), sFilename));
}
