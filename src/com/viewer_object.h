// The viewer control behind a COM object made by the viewer's class factory.
#pragma once

#include "com/dispatch.h"
#include "lumtwainpro/export.h"

class LumViewer;

namespace com {

// The control of a viewer object; null for any other object.
LUM_API LumViewer* viewer_of(IDispatch* object);

}  // namespace com
