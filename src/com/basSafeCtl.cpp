// Interfaces are recognised by their brace-enclosed upper-case GUID text.
#include "com/basSafeCtl.h"

#include <string>

namespace basSafeCtl {

namespace {

// Set once when the library is loaded; nothing clears them.
const bool m_fSafeForScripting = true;
const bool m_fSafeForInitializing = true;

constexpr const char* kIDispatch = "{00020400-0000-0000-C000-000000000046}";
constexpr const char* kIPersistStorage = "{0000010A-0000-0000-C000-000000000046}";
constexpr const char* kIPersistStream = "{00000109-0000-0000-C000-000000000046}";
constexpr const char* kIPersistPropertyBag = "{37D84F60-42CB-11CE-8135-00AA004BB851}";

// Safe for untrusted callers (1) and for untrusted data (2).
constexpr DWORD kSupportedOptions = 3;

enum class Kind { Dispatch, Persistence, Other };

Kind classify(const IID& iid) {
    std::string text = ole::GuidToString(iid);
    if (text == kIDispatch) return Kind::Dispatch;
    if (text == kIPersistStorage || text == kIPersistStream || text == kIPersistPropertyBag)
        return Kind::Persistence;
    return Kind::Other;
}

}  // namespace

bool IsSafeForScripting() {
    return m_fSafeForScripting;
}
bool IsSafeForInitializing() {
    return m_fSafeForInitializing;
}

HRESULT GetInterfaceSafetyOptions(const IID* iid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = kSupportedOptions;
    if (!iid) return S_OK;
    switch (classify(*iid)) {
        case Kind::Dispatch:
            *enabled = IsSafeForScripting() ? 1 : 0;
            return S_OK;
        case Kind::Persistence:
            *enabled = IsSafeForInitializing() ? 2 : 0;
            return S_OK;
        case Kind::Other:
            break;
    }
    return E_NOINTERFACE;
}

HRESULT SetInterfaceSafetyOptions(const IID* iid, DWORD mask, DWORD enabled) {
    if (!iid) return S_OK;
    switch (classify(*iid)) {
        case Kind::Dispatch:
            return (mask & enabled) == 1 && IsSafeForScripting() ? S_OK : E_FAIL;
        case Kind::Persistence:
            return (mask & enabled) == 2 && IsSafeForInitializing() ? S_OK : E_FAIL;
        case Kind::Other:
            break;
    }
    return E_NOINTERFACE;
}

}  // namespace basSafeCtl
