// The LUMTWAIN_* exports over the calling thread's session. They live in lumtwain_core so
// that the tests call the very functions liblumtwain.so exports.
#include <string>

#include "codes.h"
#include "dib_view.h"
#include "lumtwain.h"
#include "lumtwainpro/host.h"
#include "session.h"

using lumtwain::Session;

namespace {

Session& S() {
    return Session::current();
}
int32_t flag(bool b) {
    return b ? 1 : 0;
}

// Texts out stay valid until the next call that returns a text.
const char* text_out(std::string text) {
    thread_local std::string buffer;
    buffer = std::move(text);
    return buffer.c_str();
}

}  // namespace

extern "C" {

int32_t LUMTWAIN_GetVersion(void) {
    return 410;
}
int32_t LUMTWAIN_State(void) {
    return S().state();
}
int32_t LUMTWAIN_IsAvailable(void) {
    return 1;
}
int32_t LUMTWAIN_OpenSourceManager(int32_t) {
    return flag(S().open_manager());
}
int32_t LUMTWAIN_CloseSourceManager(int32_t) {
    return flag(S().close_manager());
}
int32_t LUMTWAIN_UnloadSourceManager(void) {
    return flag(S().unload_manager());
}
int32_t LUMTWAIN_SelectImageSource(int32_t) {
    return flag(S().select_source());
}
int32_t LUMTWAIN_OpenSource(const char* name) {
    return flag(S().open_source(name ? std::string(name) : std::string()));
}
int32_t LUMTWAIN_OpenDefaultSource(void) {
    return flag(S().open_default_source());
}
int32_t LUMTWAIN_CloseSource(void) {
    return flag(S().close_source());
}
int32_t LUMTWAIN_DisableSource(void) {
    return flag(S().disable_source());
}
int32_t LUMTWAIN_SourceSetup(int32_t) {
    return flag(S().source_setup());
}
int32_t LUMTWAIN_RegisterApp(int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                             const char*, const char*) {
    return 1;
}

const char* LUMTWAIN_GetFirstSourceName(void) {
    return text_out(S().first_name());
}
const char* LUMTWAIN_GetNextSourceName(void) {
    return text_out(S().next_name());
}
const char* LUMTWAIN_GetCurrentSourceName(void) {
    return text_out(S().current_name());
}
const char* LUMTWAIN_GetDefaultSourceName(void) {
    return text_out(S().default_name());
}

int32_t LUMTWAIN_GetLastResultCode(void) {
    return S().result_code();
}
int32_t LUMTWAIN_GetLastConditionCode(void) {
    return S().condition_code();
}
int32_t LUMTWAIN_SetShowError(int32_t on) {
    return S().show_errors = on != 0, 1;
}
int32_t LUMTWAIN_SetDebugMode(int32_t on) {
    return S().debug = on != 0, 1;
}

int32_t LUMTWAIN_SetHideUI(int32_t on) {
    return S().hide_ui = on != 0, 1;
}
int32_t LUMTWAIN_GetHideUI(void) {
    return flag(S().hide_ui);
}
int32_t LUMTWAIN_SetIndicators(int32_t on) {
    return flag(S().set_indicators(on != 0));
}
int32_t LUMTWAIN_SetMultiTransfer(int32_t on) {
    return S().multi_transfer = on != 0, 1;
}
int32_t LUMTWAIN_AutoSourceClose(int32_t on) {
    return S().auto_close = on != 0, 1;
}
int32_t LUMTWAIN_NegotiateXferCount(int32_t n) {
    return flag(S().negotiate_xfer_count(n));
}
uint32_t LUMTWAIN_AcquireNative(int32_t) {
    return S().acquire();
}
int32_t LUMTWAIN_FreeNative(uint32_t block) {
    return flag(block && GlobalFree(block) == 0);
}
int32_t LUMTWAIN_UserClosedSource(void) {
    return flag(S().user_closed());
}
int32_t LUMTWAIN_XferFail(void) {
    return flag(S().xfer_failed());
}
int32_t LUMTWAIN_EndXfer(void) {
    return flag(S().end_xfer());
}
int32_t LUMTWAIN_AbortAllPendingXfers(void) {
    return flag(S().abort_all());
}

int32_t LUMTWAIN_LoadCapValuesN(int32_t cap, int32_t mode) {
    return S().load_values(cap, mode, false);
}
int32_t LUMTWAIN_LoadCapValuesS(int32_t cap, int32_t mode) {
    return S().load_values(cap, mode, true);
}
double LUMTWAIN_GetCapValueFromIdx(int32_t i) {
    return S().value_at(i);
}
const char* LUMTWAIN_GetCapValueFromIdxS(int32_t i) {
    return text_out(S().text_at(i));
}
double LUMTWAIN_GetLastCapValueCurrent(void) {
    return S().last_current();
}
const char* LUMTWAIN_GetLastCapValueCurrentS(void) {
    return text_out(S().last_current_text());
}
int32_t LUMTWAIN_LoadCapValuesRangeN(int32_t cap) {
    return S().load_range(cap);
}
double LUMTWAIN_GetLastMinCapValueRange(void) {
    return S().range_min();
}
double LUMTWAIN_GetLastMaxCapValueRange(void) {
    return S().range_max();
}
double LUMTWAIN_GetLastStepCapValueRange(void) {
    return S().range_step();
}
int32_t LUMTWAIN_GetCapItemType(int32_t cap) {
    return S().item_type(cap);
}
int32_t LUMTWAIN_ToFix32(double v) {
    return lumtwain::ToFix32(v);
}
int32_t LUMTWAIN_SetCapOneValue(int32_t cap, int32_t type, int32_t value) {
    return flag(S().set_one(cap, type, value));
}
int32_t LUMTWAIN_SetCapOneValueS(int32_t cap, int32_t type, const char* value) {
    return flag(S().set_one_text(cap, type, value));
}
int32_t LUMTWAIN_Reset(int32_t cap) {
    return flag(S().reset(cap));
}

int32_t LUMTWAIN_SetBitDepth(int32_t bits) {
    return flag(S().set_number(lumtwain::kIcapBitDepth, bits));
}
int32_t LUMTWAIN_SetCurrentPixelType(int32_t type) {
    return flag(S().set_number(lumtwain::kIcapPixelType, type));
}
int32_t LUMTWAIN_SetPaperSize(int32_t size) {
    return flag(S().set_number(lumtwain::kIcapSupportedSizes, size));
}
int32_t LUMTWAIN_SetCurrentUnits(int32_t units) {
    return flag(S().set_number(lumtwain::kIcapUnits, units));
}
int32_t LUMTWAIN_SetBrightness(double v) {
    return flag(S().set_number(lumtwain::kIcapBrightness, v));
}
int32_t LUMTWAIN_SetContrast(double v) {
    return flag(S().set_number(lumtwain::kIcapContrast, v));
}
int32_t LUMTWAIN_SetCurrentResolution(double dpi) {
    bool x = S().set_number(lumtwain::kIcapXResolution, dpi);
    if (x) S().set_number(lumtwain::kIcapYResolution, dpi);
    return flag(x);
}
int32_t LUMTWAIN_SetImageLayout(double left, double top, double right, double bottom) {
    return flag(S().set_layout(left, top, right, bottom));
}
int32_t LUMTWAIN_ResetImageLayout(void) {
    return flag(S().reset_layout());
}
int32_t LUMTWAIN_SetAutoFeed(int32_t on) {
    return flag(S().set_number(lumtwain::kCapAutoFeed, on != 0));
}
int32_t LUMTWAIN_SetAutoScan(int32_t on) {
    return flag(S().set_number(lumtwain::kCapAutoScan, on != 0));
}
int32_t LUMTWAIN_SetAutoBright(int32_t on) {
    return flag(S().set_number(lumtwain::kIcapAutoBright, on != 0));
}
int32_t LUMTWAIN_AutomaticBorderDetection(int32_t on) {
    return flag(S().set_number(lumtwain::kIcapAutomaticBorderDetection, on != 0));
}
int32_t LUMTWAIN_AutomaticDeskew(int32_t on) {
    return flag(S().set_number(lumtwain::kIcapAutomaticDeskew, on != 0));
}
int32_t LUMTWAIN_AutomaticRotate(int32_t on) {
    return flag(S().set_number(lumtwain::kIcapAutomaticRotate, on != 0));
}
int32_t LUMTWAIN_EnableDuplex(int32_t on) {
    return flag(S().set_number(lumtwain::kCapDuplexEnabled, on != 0));
}

int32_t LUMTWAIN_GetBitDepth(void) {
    return int32_t(S().get_number(lumtwain::kIcapBitDepth, 0));
}
int32_t LUMTWAIN_GetPixelType(void) {
    return int32_t(S().get_number(lumtwain::kIcapPixelType, -1));
}
int32_t LUMTWAIN_GetPaperSize(void) {
    return int32_t(S().get_number(lumtwain::kIcapSupportedSizes, 0));
}
int32_t LUMTWAIN_GetDuplexMode(void) {
    return int32_t(S().get_number(lumtwain::kCapDuplex, 0));
}
double LUMTWAIN_GetBrightness(void) {
    return S().get_number(lumtwain::kIcapBrightness, 0);
}
double LUMTWAIN_GetContrast(void) {
    return S().get_number(lumtwain::kIcapContrast, 0);
}
double LUMTWAIN_GetCurrentResolution(void) {
    return S().get_number(lumtwain::kIcapXResolution, 0);
}
double LUMTWAIN_GetPhysicalWidth(void) {
    return S().get_number(lumtwain::kIcapPhysicalWidth, 0);
}
double LUMTWAIN_GetPhysicalHeight(void) {
    return S().get_number(lumtwain::kIcapPhysicalHeight, 0);
}

// ---- For tests of the engine and of the controls over it -------------------------------

// Closes everything and reads LUMTWAIN_VIRTUAL again: a fresh session and fresh paper.
int32_t LUMTWAIN_TestReset(void) {
    return S().reset_all(), 1;
}

// Decodes the page marker of a virtual scanner page held in a DIB block: 1 with the page
// number and side (0 front, 1 back), 0 when the block holds no readable marker.
int32_t LUMTWAIN_TestDecodePage(uint32_t block, int32_t* page, int32_t* side) {
    SIZE_T size = GlobalSize(block);
    const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(block));
    if (!p) return 0;
    std::optional<lumtwain::DibView> view = lumtwain::ParseDib(p, size);
    std::optional<lumtwain::PageMark> mark;
    if (view) mark = lumtwain::DecodePageMark(*view);
    GlobalUnlock(block);
    if (!mark) return 0;
    if (page) *page = mark->page;
    if (side) *side = mark->side;
    return 1;
}

}  // extern "C"
