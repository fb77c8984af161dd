// The OLE picture file loader (olepro32's OleLoadPicturePath).
#pragma once

#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

LUM_BEGIN_EXPORTS

// CTL_E_INVALIDPICTURE: the file is not of a picture format the loader reads.
constexpr HRESULT CTL_E_INVALIDPICTURE = static_cast<HRESULT>(0x800A01E1u);
// CTL_E_FILENOTFOUND: nothing can be read at the path.
constexpr HRESULT CTL_E_FILENOTFOUND = static_cast<HRESULT>(0x800A0035u);

// Loads a BMP or DIB, ICO, CUR, GIF (its first frame) or JPEG file into a new picture object
// that owns its handle: an icon picture for icons and cursors, a bitmap picture (a 32-bit DIB
// section) for the rest. `caller`, `reserved` and `colour` are ignored, as on the platform.
// Metafiles are not read.
HRESULT OleLoadPicturePath(const char* path, IUnknown* caller, DWORD reserved, DWORD colour,
                           REFIID iid, void** out);

LUM_END_EXPORTS
