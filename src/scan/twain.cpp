// The scanning control's core: state, status model, image registry and the engine test.
#include "lumtwainpro/twain.h"

#include <cmath>

#include "imaging/modGdiplus.h"
#include "scan/lumtwain_engine.h"

twain::twain() {
    m_ftpPassiveMode = true;
    // Its outcome shows later as GDI+ status codes.
    modGdiplus::EngineStartup();
    m_filtersTarget = 1;
    m_nativeImageID = 0;
    m_multiPageImageID = 0;
    m_lastStatus = 0;
    m_filterZone = {0, 0, 0, 0};
    m_fontUnit = 3;
}

twain::~twain() { modGdiplus::EngineShutdown(); }

void twain::OnResize(int32_t& width_twips, int32_t& height_twips) const {
    width_twips = kExtentTwips;
    height_twips = kExtentTwips;
}

int32_t twain::GetStat() { return m_lastStatus; }

int32_t twain::no_native_image() {
    // A failing status stays (a host may check once, after a cancelled scan); but success
    // must never be reported for a file that was not written.
    return m_lastStatus != LumTwainOk ? m_lastStatus : store(LumTwainInvalidParameter);
}
int32_t twain::GetNativeImage() { return m_nativeImageID; }
void twain::SetNativeImage(int32_t nImageID) { m_nativeImageID = nImageID; }

int32_t twain::CloseImage(int32_t nImageID) {
    if (nImageID == 0) return m_lastStatus;
    store(modGdiplus::DisposeImage(GpImage(nImageID)));
    // A multipage file that failed to complete is reported, but its image is gone all the same.
    if (m_lastStatus == 0 || !modGdiplus::IsImageAlive(GpImage(nImageID))) {
        if (m_multiPageImageID == nImageID) m_multiPageImageID = 0;
        if (m_nativeImageID == nImageID) m_nativeImageID = 0;
    }
    return m_lastStatus;
}

bool twain::CheckEngineVersion() {
    // Not cached: every member that runs the test asks the engine again.
    auto get_version =
        reinterpret_cast<decltype(&LUMTWAIN_GetVersion)>(lumtwain::try_resolve("LUMTWAIN_GetVersion"));
    if (get_version && get_version() >= 405) return true;
    MessageBoxA(0, "Bad LUMTWAIN.DLL version.", "Error", MB_ICONSTOP);
    m_lastStatus = LumTwainWrongVersion;
    return false;
}
