// The library-wide safety marks and the IObjectSafety answers shared by both controls.
#pragma once

#include "lumtwainpro/ole.h"

namespace basSafeCtl {

// Both marks are True from load to unload.
bool IsSafeForScripting();
bool IsSafeForInitializing();

// IObjectSafety::GetInterfaceSafetyOptions: supported := 3; for IDispatch enabled := 1 when
// safe for scripting, for IPersistStorage, IPersistStream and IPersistPropertyBag 2 when
// safe for initialising (else 0); a null `iid` succeeds without further effect; any other
// interface E_NOINTERFACE. Null out pointers give E_POINTER.
HRESULT GetInterfaceSafetyOptions(const IID* iid, DWORD* supported, DWORD* enabled);
// IObjectSafety::SetInterfaceSafetyOptions: succeeds for IDispatch only when
// (mask AND enabled) = 1 and the library is safe for scripting, for the persistence
// interfaces only when it is 2 and the library is safe for initialising, else E_FAIL; a null
// `iid` succeeds without effect; any other interface E_NOINTERFACE.
HRESULT SetInterfaceSafetyOptions(const IID* iid, DWORD mask, DWORD enabled);

}  // namespace basSafeCtl
