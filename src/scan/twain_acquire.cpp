// Acquisition members and the engine's transfer options.
#include "imaging/modGdiplus.h"
#include "scan/lumtwain_engine.h"
#include "lumtwainpro/twain.h"

namespace {
int32_t flag(bool b) { return b ? 1 : 0; }
}  // namespace

int32_t twain::TwainAcquireToDib(int32_t hwnd) {
    if (!CheckEngineVersion()) return 0;
    uint32_t block = ENGINE(AcquireNative)(hwnd);
    if (block != 0) {
        m_lastStatus = LumTwainOk;
        return int32_t(block);
    }
    if (ENGINE(UserClosedSource)() != 0) m_lastStatus = LumTwainTransferCanceled;
    else if (ENGINE(XferFail)() != 0) m_lastStatus = LumTwainTransferError;
    else m_lastStatus = LumTwainError;
    return 0;
}

int32_t twain::TwainAcquireToImageID(int32_t hwnd) {
    int32_t block = TwainAcquireToDib(hwnd);
    if (block == 0) return 0;
    GpImage image = 0;
    store(modGdiplus::CreateImageFromDib(image, HGLOBAL(block), true));
    if (m_lastStatus == LumTwainOk) {
        m_nativeImageID = int32_t(image);
        return m_nativeImageID;
    }
    ENGINE(FreeNative)(uint32_t(block));
    return int32_t(image);
}

bool twain::TwainEndXfer() { return ENGINE(EndXfer)() == 1; }
bool twain::TwainEndAllXfers() { return ENGINE(AbortAllPendingXfers)() == 1; }

bool twain::TwainLastXferFail() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(XferFail)() == 1;
}

bool twain::TwainUserClosedSource() {
    if (!CheckEngineVersion()) return false;
    return ENGINE(UserClosedSource)() == 1;
}

void twain::TwainDisableAutoSourceClose(bool bAutoSourceClose) {
    if (!CheckEngineVersion()) return;
    ENGINE(AutoSourceClose)(flag(bAutoSourceClose));
}

void twain::TwainSetMultiTransfer(bool bMultiTransfer) {
    ENGINE(SetMultiTransfer)(flag(bMultiTransfer));
}

bool twain::TwainSetXferCount(int32_t nXfers) { return ENGINE(NegotiateXferCount)(nXfers) == 1; }
void twain::TwainSetHideUI(bool bHide) { ENGINE(SetHideUI)(flag(bHide)); }
bool twain::TwainGetHideUI() { return ENGINE(GetHideUI)() == 1; }

bool twain::TwainSetIndicators(bool bShowIndicator) {
    return ENGINE(SetIndicators)(flag(bShowIndicator)) == 1;
}

int32_t twain::TwainGetState() {
    if (!CheckEngineVersion()) return -1;
    return ENGINE(State)();
}

void twain::TwainSetErrorMessage(bool bShowErrors) { ENGINE(SetShowError)(flag(bShowErrors)); }
void twain::TwainSetDebugMode(bool bDebugMode) { ENGINE(SetDebugMode)(flag(bDebugMode)); }
