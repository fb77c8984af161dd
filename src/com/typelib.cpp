// The library's table: coclasses with their fixed GUIDs, and the checks that keep rows sound.
#include "com/typelib.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "com/dispatch_traits.h"

namespace com {

namespace {

constexpr GUID kLibId = guid_of("206f2be4-c3f6-423c-a30f-9427c91c1aab");
constexpr GUID kClsidTwain = guid_of("c74e88a7-c010-4c24-9c06-79f5d41d35a4");
constexpr GUID kClsidLumViewer = guid_of("6ee47aa7-caa0-4451-988d-083d0c74b0c1");
constexpr GUID kClsidDummy = guid_of("d068545a-5e7f-4898-a9d5-fd0d0efb0234");
constexpr GUID kIidTwainEvents = guid_of("45e392b3-6e5a-42cb-a37f-0df499714a3b");
constexpr GUID kIidLumViewerEvents = guid_of("0b39adf7-9d80-49fb-8a4f-11cee0e0a116");
constexpr GUID kIidDummy = guid_of("4a1c9bd2-0f57-4c1e-9a43-7d2b8e61c5f0");

const InterfaceInfo& dummy_interface() {
    static const InterfaceInfo iface{"_dummy", kIidDummy, {}};
    return iface;
}

TypeLibrary build() {
    TypeLibrary lib;
    lib.name = "LumTwainPro";
    lib.libid = kLibId;
    lib.major = 1;
    lib.minor = 4;
    lib.help = "LumTwain Pro OCX - TWAIN ActiveX";
    lib.coclasses = {
        {"twain", kClsidTwain, "LumTwainPro.twain", &twain_interface(), kIidTwainEvents, true,
         twain_creator()},
        {"LumViewer", kClsidLumViewer, "LumTwainPro.LumViewer", &lumviewer_interface(),
         kIidLumViewerEvents, true, lumviewer_creator(), &lumviewer_events()},
        {"dummy", kClsidDummy, "", &dummy_interface(), GUID{}, false, nullptr},
    };
    lib.interfaces = {&twain_interface(), &lumviewer_interface(), &lumviewer_events(),
                      &dummy_interface()};
    lib.enumerations = twain_enumerations();
    for (auto& e : library_enumerations()) lib.enumerations.push_back(std::move(e));
    return lib;
}

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

// One parameter of a row: "name", "name:Enumeration", each optionally "= default".
ParamInfo parse_param(std::string_view text, VarType type, bool by_ref, std::string* error) {
    ParamInfo p;
    p.type = type;
    p.by_ref = by_ref;
    size_t eq = text.find('=');
    std::string head = trim(text.substr(0, eq));
    if (size_t colon = head.find(':'); colon != std::string::npos) {
        p.enumeration = trim(std::string_view(head).substr(colon + 1));
        head = trim(std::string_view(head).substr(0, colon));
    }
    p.name = head;
    if (eq == std::string_view::npos) return p;
    p.optional = true;
    p.default_text = trim(text.substr(eq + 1));
    std::string value = p.default_text;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    VARIANT text_value = VARIANT::Str(value);
    if (is_array(type) || type == VarType::Stream || type == VarType::Picture ||
        FAILED(VariantChangeType(&p.default_value, &text_value, 0, variant_type(type))))
        *error = "default of " + p.name + " does not fit its type";
    return p;
}

}  // namespace

bool iequals(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view type_name(VarType type) {
    static constexpr std::string_view kNames[] = {"void",    "Long",     "Integer",  "Byte",
                                                  "Boolean", "Single",   "Double",   "String",
                                                  "IStream", "IPicture", "Byte()",   "Integer()",
                                                  "Long()",  "Single()", "Double()", "String()"};
    return kNames[size_t(type)];
}

VARTYPE variant_type(VarType type) {
    static constexpr VARTYPE kTypes[] = {VT_EMPTY,
                                         VT_I4,
                                         VT_I2,
                                         VT_UI1,
                                         VT_BOOL,
                                         VT_R4,
                                         VT_R8,
                                         VT_BSTR,
                                         VT_UNKNOWN,
                                         VT_UNKNOWN,
                                         VT_ARRAY | VT_UI1,
                                         VT_ARRAY | VT_I2,
                                         VT_ARRAY | VT_I4,
                                         VT_ARRAY | VT_R4,
                                         VT_ARRAY | VT_R8,
                                         VT_ARRAY | VT_BSTR};
    return kTypes[size_t(type)];
}

bool is_array(VarType type) {
    return type >= VarType::ByteArray;
}

MemberInfo make_member(DISPID dispid, std::string name, std::string_view params,
                       std::initializer_list<std::pair<VarType, bool>> types, VarType result,
                       std::string result_enumeration, Invoker invoke) {
    MemberInfo m;
    m.dispid = dispid;
    m.name = std::move(name);
    m.result = result;
    m.result_enumeration = std::move(result_enumeration);
    m.invoke = invoke;
    std::vector<std::string_view> texts;
    for (size_t at = 0; !trim(params).empty() && at <= params.size();) {
        size_t comma = params.find(',', at);
        if (comma == std::string_view::npos) comma = params.size();
        texts.push_back(params.substr(at, comma - at));
        at = comma + 1;
    }
    if (texts.size() != types.size()) {
        m.error = m.name + ": " + std::to_string(texts.size()) + " parameter names for " +
                  std::to_string(types.size()) + " parameters";
        return m;
    }
    bool optional_seen = false;
    auto type = types.begin();
    for (auto text : texts) {
        std::string error;
        m.params.push_back(parse_param(text, type->first, type->second, &error));
        ++type;
        if (!error.empty()) m.error = m.name + ": " + error;
        if (m.params.back().optional)
            optional_seen = true;
        else if (optional_seen && !m.params.back().by_ref)
            m.error = m.name + ": a required parameter follows an optional one";
    }
    return m;
}

namespace {
bool readable(MemberKind k) {
    return k == MemberKind::Method || k == MemberKind::PropertyGet || k == MemberKind::Event;
}
}  // namespace

const MemberInfo* InterfaceInfo::find(std::string_view n) const {
    for (auto& m : members)
        if (readable(m.kind) && iequals(m.name, n)) return &m;
    return nullptr;
}

const MemberInfo* InterfaceInfo::find(DISPID id) const {
    for (auto& m : members)
        if (readable(m.kind) && m.dispid == id) return &m;
    return nullptr;
}

const MemberInfo* InterfaceInfo::find(std::string_view n, MemberKind kind) const {
    for (auto& m : members)
        if (m.kind == kind && iequals(m.name, n)) return &m;
    return nullptr;
}

const MemberInfo* InterfaceInfo::find(DISPID id, MemberKind kind) const {
    for (auto& m : members)
        if (m.kind == kind && m.dispid == id) return &m;
    return nullptr;
}

const CoclassInfo* TypeLibrary::find_coclass(const CLSID& clsid) const {
    for (auto& c : coclasses)
        if (c.clsid == clsid) return &c;
    return nullptr;
}

const CoclassInfo* TypeLibrary::find_prog_id(std::string_view prog_id) const {
    for (auto& c : coclasses)
        if (!c.prog_id.empty() && iequals(c.prog_id, prog_id)) return &c;
    return nullptr;
}

const EnumInfo* TypeLibrary::find_enum(std::string_view n) const {
    for (auto& e : enumerations)
        if (e.name == n) return &e;
    return nullptr;
}

std::vector<std::string> TypeLibrary::problems() const {
    std::vector<std::string> out;
    auto check_enum = [&](const std::string& where, const std::string& e) {
        if (!e.empty() && !find_enum(e)) out.push_back(where + ": unknown enumeration " + e);
    };
    for (const InterfaceInfo* iface : interfaces) {
        // A get and a put share their DISPID and name; anything else is a duplicate.
        auto group = [](MemberKind k) {
            return k == MemberKind::PropertyPut || k == MemberKind::PropertyPutRef ? 1 : 0;
        };
        std::set<std::pair<DISPID, int>> ids;
        std::set<std::pair<std::string, int>> names;
        for (auto& m : iface->members) {
            if (!m.error.empty()) out.push_back(m.error);
            if (!ids.insert({m.dispid, group(m.kind)}).second)
                out.push_back(m.name + ": duplicate DISPID");
            std::string lower = m.name;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            if (!names.insert({lower, group(m.kind)}).second)
                out.push_back(m.name + ": duplicate name");
            if (group(m.kind)) {
                const MemberInfo* get = iface->find(m.dispid, MemberKind::PropertyGet);
                if (!get || !iequals(get->name, m.name))
                    out.push_back(m.name + ": a put without its get");
            }
            check_enum(m.name, m.result_enumeration);
            for (auto& p : m.params) check_enum(m.name + "." + p.name, p.enumeration);
        }
    }
    std::set<std::string> enum_names;
    for (auto& e : enumerations)
        if (!enum_names.insert(e.name).second) out.push_back(e.name + ": duplicate enumeration");
    return out;
}

const TypeLibrary& type_library() {
    static const TypeLibrary lib = build();
    return lib;
}

}  // namespace com
