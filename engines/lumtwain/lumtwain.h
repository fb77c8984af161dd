// The TWAIN engine's exports, as the scanning control loads them at run time.
// C linkage; integers 32-bit, reals 64-bit; texts NUL-terminated UTF-8, owned by the engine
// and valid until the next call that returns a text; flags 1 or 0. A result of exactly 1
// is success unless noted. Window handles are passed through and may be 0.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LUMTWAIN_API __attribute__((visibility("default")))

// Session
LUMTWAIN_API int32_t LUMTWAIN_GetVersion(void);
LUMTWAIN_API int32_t LUMTWAIN_State(void);  // 1..7
LUMTWAIN_API int32_t LUMTWAIN_IsAvailable(void);
LUMTWAIN_API int32_t LUMTWAIN_OpenSourceManager(int32_t hwnd);
LUMTWAIN_API int32_t LUMTWAIN_CloseSourceManager(int32_t hwnd);
LUMTWAIN_API int32_t LUMTWAIN_UnloadSourceManager(void);
LUMTWAIN_API int32_t LUMTWAIN_SelectImageSource(int32_t hwnd);
LUMTWAIN_API int32_t LUMTWAIN_OpenSource(const char* name);
LUMTWAIN_API int32_t LUMTWAIN_OpenDefaultSource(void);
LUMTWAIN_API int32_t LUMTWAIN_CloseSource(void);
LUMTWAIN_API int32_t LUMTWAIN_DisableSource(void);
LUMTWAIN_API int32_t LUMTWAIN_SourceSetup(int32_t hwnd);
LUMTWAIN_API int32_t LUMTWAIN_RegisterApp(int32_t major, int32_t minor, int32_t language,
                                          int32_t country, const char* version,
                                          const char* company, const char* family,
                                          const char* product);

// Names: an empty text ends the list.
LUMTWAIN_API const char* LUMTWAIN_GetFirstSourceName(void);
LUMTWAIN_API const char* LUMTWAIN_GetNextSourceName(void);
LUMTWAIN_API const char* LUMTWAIN_GetCurrentSourceName(void);
LUMTWAIN_API const char* LUMTWAIN_GetDefaultSourceName(void);

// Diagnostics
LUMTWAIN_API int32_t LUMTWAIN_GetLastResultCode(void);     // TWRC_*
LUMTWAIN_API int32_t LUMTWAIN_GetLastConditionCode(void);  // TWCC_*
LUMTWAIN_API int32_t LUMTWAIN_SetShowError(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_SetDebugMode(int32_t flag);

// Transfer
LUMTWAIN_API int32_t LUMTWAIN_SetHideUI(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_GetHideUI(void);
LUMTWAIN_API int32_t LUMTWAIN_SetIndicators(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_SetMultiTransfer(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_AutoSourceClose(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_NegotiateXferCount(int32_t count);
// A movable global memory block (HGLOBAL of the platform stand-in) holding a packed DIB
// that the caller owns, or 0.
LUMTWAIN_API uint32_t LUMTWAIN_AcquireNative(int32_t hwnd);
LUMTWAIN_API int32_t LUMTWAIN_FreeNative(uint32_t block);
LUMTWAIN_API int32_t LUMTWAIN_UserClosedSource(void);
LUMTWAIN_API int32_t LUMTWAIN_XferFail(void);
LUMTWAIN_API int32_t LUMTWAIN_EndXfer(void);
LUMTWAIN_API int32_t LUMTWAIN_AbortAllPendingXfers(void);

// Capabilities. Modes of the loaders: 1 every value offered, 2 the current value.
LUMTWAIN_API int32_t LUMTWAIN_LoadCapValuesN(int32_t cap, int32_t mode);  // count, <= 0 none
LUMTWAIN_API int32_t LUMTWAIN_LoadCapValuesS(int32_t cap, int32_t mode);
LUMTWAIN_API double LUMTWAIN_GetCapValueFromIdx(int32_t index);  // 0-based
LUMTWAIN_API const char* LUMTWAIN_GetCapValueFromIdxS(int32_t index);
LUMTWAIN_API double LUMTWAIN_GetLastCapValueCurrent(void);
LUMTWAIN_API const char* LUMTWAIN_GetLastCapValueCurrentS(void);
LUMTWAIN_API int32_t LUMTWAIN_LoadCapValuesRangeN(int32_t cap);  // >= 1 loaded
LUMTWAIN_API double LUMTWAIN_GetLastMinCapValueRange(void);
LUMTWAIN_API double LUMTWAIN_GetLastMaxCapValueRange(void);
LUMTWAIN_API double LUMTWAIN_GetLastStepCapValueRange(void);
LUMTWAIN_API int32_t LUMTWAIN_GetCapItemType(int32_t cap);  // TWTY_*, -1 unknown
LUMTWAIN_API int32_t LUMTWAIN_ToFix32(double value);        // whole << 16 | fraction
// Non-zero is success. For TWTY_FIX32 `value` is already in fixed point.
LUMTWAIN_API int32_t LUMTWAIN_SetCapOneValue(int32_t cap, int32_t item_type, int32_t value);
LUMTWAIN_API int32_t LUMTWAIN_SetCapOneValueS(int32_t cap, int32_t item_type, const char* value);
LUMTWAIN_API int32_t LUMTWAIN_Reset(int32_t cap);

// Settings
LUMTWAIN_API int32_t LUMTWAIN_SetBitDepth(int32_t bits);
LUMTWAIN_API int32_t LUMTWAIN_SetCurrentPixelType(int32_t type);
LUMTWAIN_API int32_t LUMTWAIN_SetPaperSize(int32_t size);
LUMTWAIN_API int32_t LUMTWAIN_SetCurrentUnits(int32_t units);  // 0 inches
LUMTWAIN_API int32_t LUMTWAIN_SetBrightness(double value);
LUMTWAIN_API int32_t LUMTWAIN_SetContrast(double value);
LUMTWAIN_API int32_t LUMTWAIN_SetCurrentResolution(double dpi);
LUMTWAIN_API int32_t LUMTWAIN_SetImageLayout(double left, double top, double right,
                                             double bottom);
LUMTWAIN_API int32_t LUMTWAIN_ResetImageLayout(void);
LUMTWAIN_API int32_t LUMTWAIN_SetAutoFeed(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_SetAutoScan(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_SetAutoBright(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_AutomaticBorderDetection(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_AutomaticDeskew(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_AutomaticRotate(int32_t flag);
LUMTWAIN_API int32_t LUMTWAIN_EnableDuplex(int32_t flag);

// Readings
LUMTWAIN_API int32_t LUMTWAIN_GetBitDepth(void);
LUMTWAIN_API int32_t LUMTWAIN_GetPixelType(void);
LUMTWAIN_API int32_t LUMTWAIN_GetPaperSize(void);
LUMTWAIN_API int32_t LUMTWAIN_GetDuplexMode(void);
LUMTWAIN_API double LUMTWAIN_GetBrightness(void);
LUMTWAIN_API double LUMTWAIN_GetContrast(void);
LUMTWAIN_API double LUMTWAIN_GetCurrentResolution(void);
LUMTWAIN_API double LUMTWAIN_GetPhysicalWidth(void);
LUMTWAIN_API double LUMTWAIN_GetPhysicalHeight(void);

// For tests. TestReset closes everything and reads LUMTWAIN_VIRTUAL again (fresh paper).
// TestDecodePage reads the page marker of a virtual scanner page: 1 with its page number and
// side (0 front, 1 back), 0 when the block holds none.
LUMTWAIN_API int32_t LUMTWAIN_TestReset(void);
LUMTWAIN_API int32_t LUMTWAIN_TestDecodePage(uint32_t block, int32_t* page, int32_t* side);

#ifdef __cplusplus
}
#endif
