// The rows of _LumViewer, the viewer control's dispatch interface. The viewer joins the
// table with a row per member here (row<&LumViewer::DisplayFromFile>(...), as in
// twain_members.cpp) and its creator in typelib.cpp; until then its class factory answers
// CLASS_E_CLASSNOTAVAILABLE.
#include "com/typelib.h"

namespace com {

namespace {
constexpr GUID kIidLumViewer = guid_of("93811183-c312-4377-bf8b-a5f30945b454");
}

const InterfaceInfo& lumviewer_interface() {
    static const InterfaceInfo iface{"_LumViewer", kIidLumViewer, {}};
    return iface;
}

}  // namespace com
