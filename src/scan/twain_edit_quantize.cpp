// The conversion to 8 bits per pixel through the octree reduction.
#include "imaging/quantize.h"
#include "lumtwainpro/twain.h"

int32_t twain::ConvertTo8Bpp() {
    if (m_nativeImageID == 0) return m_lastStatus;
    SaveImageState(m_nativeImageID);
    GpImage made = 0;
    int32_t colours = 256;
    std::vector<BYTE> palette;
    if (store(modGdiplus::QuantizeTo8Bpp(GpImage(m_nativeImageID), made, colours, palette)) !=
        LumTwainOk) {
        if (made) modGdiplus::DisposeImage(made);
        return m_lastStatus;
    }
    return replace_native(int32_t(made), false);
}
