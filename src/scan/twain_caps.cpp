// Capability negotiation: generic members, value-list families, current values, settings.
#include <cmath>

#include "scan/lumtwain_engine.h"
#include "lumtwainpro/twain.h"

namespace {

constexpr int32_t kAllValues = 1;
constexpr int32_t kCurrentValue = 2;
constexpr int32_t kTwtyFix32 = 7;

enum Cap : int32_t {
    ICAP_PIXELTYPE = 257,
    CAP_FEEDERENABLED = 4098,
    CAP_FEEDERLOADED = 4099,
    CAP_AUTOFEED = 4103,
    CAP_DUPLEXENABLED = 4115,
    CAP_CAMERAPREVIEWUI = 4129,
    ICAP_BRIGHTNESS = 4353,
    ICAP_CONTRAST = 4355,
    ICAP_XRESOLUTION = 4376,
    ICAP_YRESOLUTION = 4377,
    ICAP_PIXELFLAVOR = 4383,
    ICAP_PLANARCHUNKY = 4384,
    ICAP_SUPPORTEDSIZES = 4386,
    ICAP_THRESHOLD = 4387,
    ICAP_BITDEPTH = 4395,
    ICAP_AUTOMATICBORDERDETECTION = 4432,
    ICAP_AUTOMATICDESKEW = 4433,
    ICAP_AUTOMATICROTATE = 4434,
};

bool is_text_cap(int32_t cap) {
    switch (cap) {
        case 4096: case 4097: case 4100: case 4127: case 4132: case 4138: case 4139: case 4361:
            return true;
        default:
            return false;
    }
}

// A real to Long as the platform converts: half to even; out of range is an overflow.
int32_t to_long(double v) {
    double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw ComError(ComError::kOverflow, "Overflow");
    return int32_t(r);
}

std::string copy_text(const char* text) { return text ? std::string(text) : std::string(); }
int32_t flag(bool b) { return b ? 1 : 0; }

template <class T>
T element(double v) {
    if constexpr (std::is_same_v<T, int32_t>) return to_long(v);
    else return v;
}

}  // namespace

// ---- Generic members ---------------------------------------------------------------------

int32_t twain::TwainGetAvailableCapValuesCount(int32_t nCap) {
    if (!CheckEngineVersion()) return 0;
    return is_text_cap(nCap) ? ENGINE(LoadCapValuesS)(nCap, kAllValues)
                             : ENGINE(LoadCapValuesN)(nCap, kAllValues);
}

template <class T>
int32_t twain::list_values(int32_t cap, SafeArray<T>& out) {
    if (!CheckEngineVersion()) return 0;
    int32_t count = ENGINE(LoadCapValuesN)(cap, kAllValues);
    if (count > 0) {
        SafeArray<T> values(0, ULONG(count));
        for (int32_t i = 0; i < count; ++i)
            values.at(i) = element<T>(ENGINE(GetCapValueFromIdx)(i));
        out = std::move(values);
    }
    return count;
}

int32_t twain::TwainGetAvailableCapValuesNumeric(int32_t nCap, SafeArray<double>& arValues) {
    return list_values(nCap, arValues);
}

int32_t twain::TwainGetAvailableCapValuesString(int32_t nCap, SafeArray<std::string>& arValues) {
    if (!CheckEngineVersion()) return 0;
    int32_t count = ENGINE(LoadCapValuesS)(nCap, kAllValues);
    if (count > 0) {
        SafeArray<std::string> values(0, ULONG(count));
        for (int32_t i = 0; i < count; ++i)
            values.at(i) = copy_text(ENGINE(GetCapValueFromIdxS)(i));
        arValues = std::move(values);
    }
    return count;
}

double twain::value_no(int32_t cap, int32_t number) {
    if (!CheckEngineVersion()) return 0;
    int32_t count = ENGINE(LoadCapValuesN)(cap, kAllValues);
    // Numbers below 1 would ask the engine for a negative index: answer 0 instead.
    if (number > count || number < 1) return 0;
    return ENGINE(GetCapValueFromIdx)(number - 1);
}

double twain::TwainGetAvailableCapValueNoNumeric(int32_t nCap, int32_t nNumber) {
    return value_no(nCap, nNumber);
}

std::string twain::TwainGetAvailableCapValueNoString(int32_t nCap, int32_t nNumber) {
    if (!CheckEngineVersion()) return "";
    int32_t count = ENGINE(LoadCapValuesS)(nCap, kAllValues);
    if (nNumber > count || nNumber < 1) return "";
    return copy_text(ENGINE(GetCapValueFromIdxS)(nNumber - 1));
}

bool twain::TwainGetCapCurrentNumeric(int32_t nCap, double& nCurrentValue) {
    if (!CheckEngineVersion()) return false;
    if (ENGINE(LoadCapValuesN)(nCap, kCurrentValue) <= 0) return false;
    nCurrentValue = ENGINE(GetLastCapValueCurrent)();
    return true;
}

bool twain::TwainGetCapCurrentString(int32_t nCap, std::string& sCurrentValue) {
    if (!CheckEngineVersion()) return false;
    sCurrentValue.clear();
    if (ENGINE(LoadCapValuesS)(nCap, kCurrentValue) <= 0) return false;
    sCurrentValue = copy_text(ENGINE(GetLastCapValueCurrentS)());
    return true;
}

bool twain::TwainGetCapRangeNumeric(int32_t nCap, double& nMinValue, double& nMaxValue,
                                    double& nStepValue) {
    if (!CheckEngineVersion()) return false;
    if (ENGINE(LoadCapValuesRangeN)(nCap) < 1) return false;
    nStepValue = ENGINE(GetLastStepCapValueRange)();
    nMinValue = ENGINE(GetLastMinCapValueRange)();
    nMaxValue = ENGINE(GetLastMaxCapValueRange)();
    return nStepValue != 0 || nMinValue != 0 || nMaxValue != 0;
}

bool twain::TwainSetCapCurrentNumeric(int32_t nCap, int32_t nItemType, int32_t nNewValue) {
    if (!CheckEngineVersion()) return false;
    int32_t value = nItemType == kTwtyFix32 ? ENGINE(ToFix32)(double(nNewValue)) : nNewValue;
    return ENGINE(SetCapOneValue)(nCap, nItemType, value) != 0;
}

bool twain::TwainSetCapCurrentString(int32_t nCap, int32_t nItemType,
                                     const std::string& sNewValue) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(SetCapOneValueS)(nCap, nItemType, sNewValue.c_str()) != 0;
}

bool twain::TwainResetCap(int32_t nCap) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(Reset)(nCap) != 0;
}

int32_t twain::TwainGetCapItemType(int32_t nCap) {
    if (!CheckEngineVersion()) return -1;
    return ENGINE(GetCapItemType)(nCap);
}

// ---- Value-list families -----------------------------------------------------------------

#define LUM_FAMILY(Array, Count, Single, Cap, T, SingleT)                         \
    int32_t twain::Array(SafeArray<T>& arValues) { return list_values(Cap, arValues); } \
    int32_t twain::Count() {                                                       \
        if (!CheckEngineVersion()) return 0;                                       \
        return ENGINE(LoadCapValuesN)(Cap, kAllValues);                            \
    }                                                                              \
    SingleT twain::Single(int32_t nNumber) { return element<SingleT>(value_no(Cap, nNumber)); }

LUM_FAMILY(TwainGetAvailableBrightness, TwainGetAvailableBrightnessCount,
           TwainGetAvailableBrightnessNo, ICAP_BRIGHTNESS, double, double)
LUM_FAMILY(TwainGetAvailableContrast, TwainGetAvailableContrastCount,
           TwainGetAvailableContrastNo, ICAP_CONTRAST, double, double)
LUM_FAMILY(TwainGetAvailableBitDepths, TwainGetAvailableBitDepthsCount,
           TwainGetAvailableBitDepthNo, ICAP_BITDEPTH, int32_t, int32_t)
LUM_FAMILY(TwainGetAvailablePixelTypes, TwainGetAvailablePixelTypesCount,
           TwainGetAvailablePixelTypeNo, ICAP_PIXELTYPE, int32_t, int32_t)
LUM_FAMILY(TwainGetAvailableXResolutions, TwainGetAvailableXResolutionsCount,
           TwainGetAvailableXResolutionNo, ICAP_XRESOLUTION, int32_t, int32_t)
LUM_FAMILY(TwainGetAvailableYResolutions, TwainGetAvailableYResolutionsCount,
           TwainGetAvailableYResolutionNo, ICAP_YRESOLUTION, int32_t, int32_t)
LUM_FAMILY(TwainGetAvailablePaperSize, TwainGetAvailablePaperSizeCount,
           TwainGetAvailablePaperSizeNo, ICAP_SUPPORTEDSIZES, int32_t, int32_t)
#undef LUM_FAMILY

// ---- Current values ----------------------------------------------------------------------

// The engine is asked whatever the state; its answer counts only with a source open.
int32_t twain::TwainGetCurrentBitDepth() {
    int32_t state = TwainGetState();
    int32_t v = ENGINE(GetBitDepth)();
    return state > 3 ? v : 0;
}

int32_t twain::TwainGetCurrentBrightness() {
    int32_t state = TwainGetState();
    double v = ENGINE(GetBrightness)();
    return state > 3 ? to_long(v) : -99999;
}

int32_t twain::TwainGetCurrentContrast() {
    int32_t state = TwainGetState();
    double v = ENGINE(GetContrast)();
    return state > 3 ? to_long(v) : -99999;
}

int32_t twain::TwainGetCurrentPixelType() {
    int32_t state = TwainGetState();
    int32_t v = ENGINE(GetPixelType)();
    return state > 3 ? v : -1;
}

int32_t twain::TwainGetCurrentResolution() {
    int32_t state = TwainGetState();
    double v = ENGINE(GetCurrentResolution)();
    return state > 3 ? to_long(v) : -1;
}

double twain::TwainGetPhysicalWidth() {
    int32_t state = TwainGetState();
    double v = ENGINE(GetPhysicalWidth)();
    return state > 3 ? v : -1;
}

double twain::TwainGetPhysicalHeight() {
    int32_t state = TwainGetState();
    double v = ENGINE(GetPhysicalHeight)();
    return state > 3 ? v : -1;
}

namespace {
template <class Control>
int32_t current_or_minus_one(Control& c, int32_t cap) {
    double v = 0;
    return c.TwainGetCapCurrentNumeric(cap, v) ? to_long(v) : -1;
}
}  // namespace

int32_t twain::TwainGetCurrentThreshold() { return current_or_minus_one(*this, ICAP_THRESHOLD); }
int32_t twain::TwainGetCurrentPlanarChunky() {
    return current_or_minus_one(*this, ICAP_PLANARCHUNKY);
}
int32_t twain::TwainGetCurrentPixelFlavor() {
    return current_or_minus_one(*this, ICAP_PIXELFLAVOR);
}

bool twain::TwainSetCurrentThreshold(int32_t nThreshold) {
    return TwainSetCapCurrentNumeric(ICAP_THRESHOLD, TwainGetCapItemType(ICAP_THRESHOLD),
                                     nThreshold);
}
bool twain::TwainSetCurrentPlanarChunky(int32_t nPlanarChunky) {
    return TwainSetCapCurrentNumeric(ICAP_PLANARCHUNKY, TwainGetCapItemType(ICAP_PLANARCHUNKY),
                                     nPlanarChunky);
}
bool twain::TwainSetCurrentPixelFlavor(int32_t nPixelFlavor) {
    return TwainSetCapCurrentNumeric(ICAP_PIXELFLAVOR, TwainGetCapItemType(ICAP_PIXELFLAVOR),
                                     nPixelFlavor);
}

bool twain::TwainHasCameraPreviewUI() {
    double v = 0;
    return TwainGetCapCurrentNumeric(CAP_CAMERAPREVIEWUI, v) && v == 1;
}

bool twain::current_flag(int32_t cap) {
    if (!CheckEngineVersion()) return false;
    double v = 0;
    return TwainGetCapCurrentNumeric(cap, v) && v == 1;
}

bool twain::TwainIsDuplexEnabled() { return current_flag(CAP_DUPLEXENABLED); }
bool twain::TwainIsFeederSelected() { return current_flag(CAP_FEEDERENABLED); }
bool twain::TwainIsAutoFeedOn() { return current_flag(CAP_AUTOFEED); }
bool twain::TwainIsFeederLoaded() { return current_flag(CAP_FEEDERLOADED); }

bool twain::TwainHasFeeder() {
    if (!CheckEngineVersion()) return false;
    double was = 0;
    if (!TwainGetCapCurrentNumeric(CAP_FEEDERENABLED, was)) return false;
    bool accepts = TwainSetCapCurrentNumeric(CAP_FEEDERENABLED,
                                             TwainGetCapItemType(CAP_FEEDERENABLED), 1);
    TwainSetCapCurrentNumeric(CAP_FEEDERENABLED, TwainGetCapItemType(CAP_FEEDERENABLED),
                              to_long(was));
    return accepts;
}

bool twain::TwainSelectFeeder(bool bSelectFeeder) {
    if (!CheckEngineVersion()) return false;
    return TwainSetCapCurrentNumeric(CAP_FEEDERENABLED, TwainGetCapItemType(CAP_FEEDERENABLED),
                                     flag(bSelectFeeder));
}

bool twain::TwainIsAutomaticBorderDetectionAvailable() {
    if (!CheckEngineVersion()) return false;
    double v = 0;
    return TwainGetCapCurrentNumeric(ICAP_AUTOMATICBORDERDETECTION, v);
}

bool twain::TwainIsAutomaticDeskewAvailable() {
    if (!CheckEngineVersion()) return false;
    double v = 0;
    return TwainGetCapCurrentNumeric(ICAP_AUTOMATICDESKEW, v);
}

bool twain::TwainIsAutomaticRotationAvailable() {
    if (!CheckEngineVersion()) return false;
    double v = 0;
    return TwainGetCapCurrentNumeric(ICAP_AUTOMATICROTATE, v);
}

bool twain::TwainIsPixelTypeAvailable(int32_t nPixelType) {
    if (!CheckEngineVersion()) return false;
    int32_t count = ENGINE(LoadCapValuesN)(ICAP_PIXELTYPE, kAllValues);
    for (int32_t i = 0; i < count; ++i)
        if (to_long(ENGINE(GetCapValueFromIdx)(i)) == nPixelType) return true;
    return false;
}

// ---- Direct settings ---------------------------------------------------------------------

bool twain::TwainSetCurrentBitDepth(int32_t nBitDepth) { return ENGINE(SetBitDepth)(nBitDepth) == 1; }
bool twain::TwainSetCurrentBrightness(int32_t nBrightnessValue) {
    return ENGINE(SetBrightness)(double(nBrightnessValue)) == 1;
}
bool twain::TwainSetCurrentContrast(int32_t nContrastValue) {
    return ENGINE(SetContrast)(double(nContrastValue)) == 1;
}
bool twain::TwainSetCurrentPixelType(int32_t nPixelType) {
    return ENGINE(SetCurrentPixelType)(nPixelType) == 1;
}
bool twain::TwainSetCurrentResolution(int32_t nResolution) {
    return ENGINE(SetCurrentResolution)(double(nResolution)) == 1;
}
bool twain::TwainSetPaperSize(int32_t nSize) { return ENGINE(SetPaperSize)(nSize) == 1; }
bool twain::TwainSetImageLayout(double nLeft, double nTop, double nRight, double nBottom) {
    return ENGINE(SetImageLayout)(nLeft, nTop, nRight, nBottom) == 1;
}
bool twain::TwainResetImageLayout() { return ENGINE(ResetImageLayout)() == 1; }

bool twain::TwainSetAutoBrightness(bool bAutoBrightness) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(SetAutoBright)(flag(bAutoBrightness)) == 1;
}
bool twain::TwainSetAutoFeed(bool bAutoFeed) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(SetAutoFeed)(flag(bAutoFeed)) == 1;
}
bool twain::TwainSetAutoScan(bool bAutoScan) { return ENGINE(SetAutoScan)(flag(bAutoScan)) == 1; }
bool twain::TwainSetAutomaticBorderDetection(bool bAutoBorderDetect) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(AutomaticBorderDetection)(flag(bAutoBorderDetect)) == 1;
}
bool twain::TwainSetAutomaticDeskew(bool bAutoDeskew) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(AutomaticDeskew)(flag(bAutoDeskew)) == 1;
}
bool twain::TwainSetAutomaticRotation(bool bAutoRotate) {
    return ENGINE(AutomaticRotate)(flag(bAutoRotate)) == 1;
}
bool twain::TwainEnableDuplex(bool bDuplex) {
    if (!CheckEngineVersion()) return false;
    return ENGINE(EnableDuplex)(flag(bDuplex)) == 1;
}
int32_t twain::TwainGetPaperSize() { return ENGINE(GetPaperSize)(); }
int32_t twain::TwainGetDuplexMode() {
    if (!CheckEngineVersion()) return 0;
    return ENGINE(GetDuplexMode)();
}
