// Property bags: where a host keeps a control's persisted properties between runs. A control
// reads and writes them through IPersistPropertyBag; the host supplies the bag. The file bag
// here keeps them in a text file, so that a host keeps a viewer's settings between runs.
#pragma once

#include <string>

#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

LUM_BEGIN_EXPORTS

extern const IID IID_IPropertyBag;

struct IErrorLog;

struct IPropertyBag : IUnknown {
    // The stored value; E_INVALIDARG when the bag holds no property of that name (the
    // reader then keeps its default). Names are compared without regard to case.
    virtual HRESULT Read(const char* name, VARIANT* value, IErrorLog* log) = 0;
    // Stores a number, Boolean, text or picture (VT_UNKNOWN holding an IPicture; an empty
    // one stores "no picture"). E_INVALIDARG for other types.
    virtual HRESULT Write(const char* name, const VARIANT* value) = 0;
};

struct IPersistPropertyBag : IUnknown {
    // A new instance: the control's defaults.
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) = 0;
};

namespace ole {

// A bag kept in memory and, when `path` is not empty, in that file: the file is read now
// when it exists (a missing file is an empty bag) and written by SaveFilePropertyBag.
// Lines the bag cannot read are skipped, so their properties take their defaults. Fails with
// STG_E_INVALIDFUNCTION (and the reason in win::GetErrorDetail) when the file exists but
// cannot be read, or is larger than 16 MB.
HRESULT CreateFilePropertyBag(const std::string& path, IPropertyBag** out);
// Writes the bag to its file, whole or not at all; E_FAIL (with the last error and its
// reason set) when the file could not be written, E_INVALIDARG for a bag that is not a
// file bag or has no path.
HRESULT SaveFilePropertyBag(IPropertyBag* bag);

}  // namespace ole

LUM_END_EXPORTS
