// Source management: availability, selection, opening and closing, listing, diagnostics.
#include "scan/lumtwain_engine.h"
#include "lumtwainpro/twain.h"

namespace {

std::string copy_text(const char* text) { return text ? std::string(text) : std::string(); }

std::string trim_spaces(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

bool twain::TwainIsAvailable() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(IsAvailable)() == 1;
}

bool twain::TwainSelectSource(int32_t hwnd) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(SelectImageSource)(hwnd) == 1;
}

bool twain::open_with_defaults(bool default_source, const std::string& name) {
    if (!CheckEngineVersion()) return false;
    int32_t state = ENGINE(State)();
    bool opened = default_source ? ENGINE(OpenDefaultSource)() == 1
                                 : ENGINE(OpenSource)(trim_spaces(name).c_str()) == 1;
    // Only a source opened with the manager closed gets these defaults; one opened while
    // the manager was already open keeps its own settings.
    if (opened && state < 3) {
        ENGINE(SetAutoFeed)(0);
        ENGINE(SetAutoScan)(0);
        ENGINE(SetCurrentUnits)(0);
    }
    return opened;
}

bool twain::TwainOpenSource(const std::string& sSourceName) {
    return open_with_defaults(false, sSourceName);
}

bool twain::TwainOpenDefaultSource() { return open_with_defaults(true, ""); }

bool twain::TwainCloseSource() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(CloseSource)() == 1;
}

bool twain::TwainDisableSource() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(DisableSource)() == 1;
}

bool twain::TwainCloseSourceManager(int32_t hwnd) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(CloseSourceManager)(hwnd) == 1;
}

bool twain::TwainUnloadSourceManager() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(UnloadSourceManager)() == 1;
}

bool twain::TwainShowSetupDialogSource(int32_t hwnd) {
    if (!CheckEngineVersion()) return false;
    if (TwainGetState() < 4) {
        m_lastStatus = LumTwainBadState;
        return false;
    }
    return ENGINE(SourceSetup)(hwnd) == 1;
}

void twain::TwainSetApplicationInfo(int32_t nMajorNumVersion, int32_t nMinorNumVersion,
                                    int32_t nLanguageID, int32_t nCountryID,
                                    const std::string& sVersionInfo,
                                    const std::string& sCompanyName,
                                    const std::string& sProductFamily,
                                    const std::string& sProductName) {
    if (!CheckEngineVersion()) return;
    if (TwainGetState() >= 5) return;
    ENGINE(RegisterApp)(nMajorNumVersion, nMinorNumVersion, nLanguageID, nCountryID,
                        sVersionInfo.c_str(), sCompanyName.c_str(), sProductFamily.c_str(),
                        sProductName.c_str());
}

int32_t twain::TwainGetSourceCount() {
    if (TwainGetState() < 3) ENGINE(OpenSourceManager)(0);
    std::string name = copy_text(ENGINE(GetFirstSourceName)());
    int32_t count = 0;
    while (!name.empty()) {
        ++count;
        name = copy_text(ENGINE(GetNextSourceName)());
    }
    return count;
}

std::string twain::TwainGetSourceName(int32_t nSourceNo) {
    if (TwainGetState() < 3) ENGINE(OpenSourceManager)(0);
    std::string name = copy_text(ENGINE(GetFirstSourceName)());
    // The list ends with an empty name: a number past it need not ask again and again.
    for (int32_t i = 1; i < nSourceNo && !name.empty(); ++i)
        name = copy_text(ENGINE(GetNextSourceName)());
    return name;
}

std::string twain::TwainGetCurrentSourceName() {
    if (TwainGetState() < 3) ENGINE(OpenSourceManager)(0);
    return copy_text(ENGINE(GetCurrentSourceName)());
}

std::string twain::TwainGetDefaultSourceName() {
    if (TwainGetState() < 3) ENGINE(OpenSourceManager)(0);
    return copy_text(ENGINE(GetDefaultSourceName)());
}

int32_t twain::TwainGetLastResultCode() {
    if (!CheckEngineVersion()) return 0;
    return ENGINE(GetLastResultCode)();
}

int32_t twain::TwainGetLastConditionCode() {
    if (!CheckEngineVersion()) return 1;  // TWCC_BUMMER
    return ENGINE(GetLastConditionCode)();
}
