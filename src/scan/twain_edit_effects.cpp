// The filter target and zone, the effect members and IsBlank.
#include "imaging/filtresGDIplus.h"
#include "lumtwainpro/twain.h"

using filtresGDIplus::FilterRect;

void twain::FiltersToPicture() {
    m_filtersTarget = 1;
    m_filterZone = {0, 0, 0, 0};
}

void twain::FiltersToZone(int32_t nTop, int32_t nLeft, int32_t nWidth, int32_t nHeight) {
    m_filtersTarget = 2;
    m_filterZone = {nLeft - 1, nTop - 1, nWidth, nHeight};
}

bool twain::refresh_filter_zone() {
    if (m_filtersTarget != 1) return true;
    // The image may have changed size since the last effect.
    int32_t w = GetWidth();
    int32_t h = GetHeight();
    m_filterZone = {0, 0, w, h};
    return true;
}

int32_t twain::apply_effect(int32_t effect, double parameter, float h, float s, float l) {
    if (m_nativeImageID == 0) return m_lastStatus;
    refresh_filter_zone();
    FilterRect r{m_filterZone[0], m_filterZone[1], m_filterZone[2], m_filterZone[3]};
    return store(
        filtresGDIplus::ApplyEffect(effect, GpImage(m_nativeImageID), parameter, r, h, s, l));
}

int32_t twain::SetBrightnessEffect(int32_t nBrightnessPct) {
    return apply_effect(filtresGDIplus::EffectBrightness, nBrightnessPct);
}
int32_t twain::SetContrastEffect(int32_t nContrastPct) {
    return apply_effect(filtresGDIplus::EffectContrast, nContrastPct);
}
int32_t twain::SetGammaCorrectionEffect(int32_t nGammaFactor) {
    return apply_effect(filtresGDIplus::EffectGammaCorrection, nGammaFactor);
}
int32_t twain::SetSaturationEffect(int32_t nSaturationPct) {
    return apply_effect(filtresGDIplus::EffectSaturation, nSaturationPct);
}
int32_t twain::SetSepiaEffect() {
    return apply_effect(filtresGDIplus::EffectSepia, 0, 0.5f, 0.25f, 1);
}
int32_t twain::SetStretchContrastEffect() {
    return apply_effect(filtresGDIplus::EffectStretchContrast, 0);
}
int32_t twain::SetNegativeEffect() {
    return apply_effect(filtresGDIplus::EffectNegative, 0);
}
int32_t twain::SetSoftenEffect(int32_t nSoftenValue) {
    return apply_effect(filtresGDIplus::EffectSoften, nSoftenValue);
}
int32_t twain::SetSmoothEffect() {
    return apply_effect(filtresGDIplus::EffectSmooth, 0);
}

bool twain::IsBlank(int32_t nConfidence) {
    if (m_nativeImageID == 0) return false;
    refresh_filter_zone();
    FilterRect r{m_filterZone[0], m_filterZone[1], m_filterZone[2], m_filterZone[3]};
    // The test's answer is not a status: it is not stored.
    return filtresGDIplus::ApplyEffect(filtresGDIplus::EffectBlankTest, GpImage(m_nativeImageID),
                                       nConfidence, r, 0, 0, 0, nConfidence) == 1;
}
