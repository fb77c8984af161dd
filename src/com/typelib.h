// The type library LumTwainPro 1.4: coclasses, dispatch interfaces with their members, and
// the public enumerations. One declarative table drives Invoke, the class factories,
// registration and the Python module, so each member is described exactly once.
//
// A dispatch member is a row: DISPID, name, a member pointer of the control's C++ class and a
// parameter list ("sFilename, nModeCompression:TifCompression = 2"). Types, by-reference flags
// and the result type come from the member pointer (com/dispatch_traits.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

LUM_BEGIN_EXPORTS

struct IDispatch;

namespace com {

// GUID from "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" at compile time.
consteval GUID guid_of(const char (&text)[37]) {
    auto hex = [&](int at, int digits) {
        uint32_t v = 0;
        for (int i = at; i < at + digits; ++i) {
            char c = text[i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0) throw "bad GUID text";  // not constant: a compile error
            v = v * 16 + uint32_t(d);
        }
        return v;
    };
    GUID g;
    g.Data1 = hex(0, 8);
    g.Data2 = uint16_t(hex(9, 4));
    g.Data3 = uint16_t(hex(14, 4));
    g.Data4[0] = uint8_t(hex(19, 2));
    g.Data4[1] = uint8_t(hex(21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = uint8_t(hex(24 + 2 * i, 2));
    return g;
}

// Automation types of parameters and results.
enum class VarType : uint8_t {
    Void,
    Long,
    Integer,
    Byte,
    Boolean,
    Single,
    Double,
    String,
    Stream,   // IStream object
    Picture,  // IPicture object
    ByteArray,
    IntegerArray,
    LongArray,
    SingleArray,
    DoubleArray,
    StringArray,
};
// "Long", "Double()", "IStream", ...
std::string_view type_name(VarType type);
// The VARIANT tag a value of `type` travels in (VT_ARRAY | element for arrays).
VARTYPE variant_type(VarType type);
bool is_array(VarType type);

struct ParamInfo {
    std::string name;
    VarType type = VarType::Void;
    bool by_ref = false;
    bool optional = false;
    VARIANT default_value;     // VT_EMPTY unless optional
    std::string default_text;  // as written in the row, for introspection
    std::string enumeration;   // empty unless the parameter carries one
};

// Calls the member on `object` with one VARIANT per parameter (defaults already filled in,
// by-reference ones pointing at the caller's VARIANTs) and stores the result. Throws
// ComError for a run-time error of the member or an argument that cannot be coerced.
using Invoker = void (*)(void* object, VARIANT* const* args, VARIANT* result);

// A property is a get row and a put (or putref) row with the same DISPID and name.
enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut, PropertyPutRef, Event };

struct MemberInfo {
    DISPID dispid = 0;
    MemberKind kind = MemberKind::Method;
    std::string name;
    std::vector<ParamInfo> params;
    VarType result = VarType::Void;
    std::string result_enumeration;
    Invoker invoke = nullptr;
    std::string error;  // a row that does not match its member pointer; empty when sound
};

struct InterfaceInfo {
    std::string name;
    GUID iid;
    std::vector<MemberInfo> members;

    // A method, property get or event of that name (case-insensitive) or DISPID.
    const MemberInfo* find(std::string_view name) const;
    const MemberInfo* find(DISPID dispid) const;
    // The row of that kind.
    const MemberInfo* find(std::string_view name, MemberKind kind) const;
    const MemberInfo* find(DISPID dispid, MemberKind kind) const;
};

struct EnumValue {
    std::string name;
    int32_t value = 0;
};

struct EnumInfo {
    std::string name;
    GUID guid;
    std::vector<EnumValue> values;
};

// Creates the control and its COM object (one reference). Null while a control is not built.
using Creator = HRESULT (*)(IDispatch** out);

struct CoclassInfo {
    std::string name;
    GUID clsid;
    std::string prog_id;  // empty for a class that is not creatable
    const InterfaceInfo* dispatch = nullptr;
    GUID events_iid;
    bool creatable = true;
    Creator create = nullptr;
    const InterfaceInfo* events = nullptr;  // the source interface, when it has events
};

struct TypeLibrary {
    std::string name;
    GUID libid;
    uint16_t major = 0;
    uint16_t minor = 0;
    std::string help;
    std::vector<CoclassInfo> coclasses;
    std::vector<const InterfaceInfo*> interfaces;
    std::vector<EnumInfo> enumerations;

    const CoclassInfo* find_coclass(const CLSID& clsid) const;
    const CoclassInfo* find_prog_id(std::string_view prog_id) const;  // case-insensitive
    const EnumInfo* find_enum(std::string_view name) const;
    // Rows that do not match their member pointers, unknown enumerations, duplicate DISPIDs
    // or names; empty for a sound table.
    std::vector<std::string> problems() const;
};

const TypeLibrary& type_library();

// Parts of the table defined beside it.
const InterfaceInfo& twain_interface();
const InterfaceInfo& lumviewer_interface();
const InterfaceInfo& lumviewer_events();
Creator twain_creator();
Creator lumviewer_creator();
std::vector<EnumInfo> twain_enumerations();
std::vector<EnumInfo> library_enumerations();

bool iequals(std::string_view a, std::string_view b);

}  // namespace com

LUM_END_EXPORTS
