// The lumtwainpro module: controls created through their class factories and called by
// member name through IDispatch, generic over the type library's rows.
//
// A member returns its result followed by the final values of its by-reference parameters
// (a tuple when there are any); a member without a result returns just those values.
// The GIL stays held: the controls' state belongs to the calling thread anyway.
#include <pybind11/eval.h>
#include <pybind11/stl.h>

#include <optional>
#include <thread>

#include "com/registry.h"
#include "lumtwainpro_p.h"
#include "platform/win/win.h"

namespace lumpy {

namespace {

const char* kComErrorSource = R"py(
class ComError(Exception):
    """The run-time error that ended a member: .hresult, .number and the message."""

    def __init__(self, message, hresult, number):
        super().__init__(message)
        self.hresult = hresult
        self.number = number

    def __str__(self):
        return "%s (HRESULT 0x%08X, error %d)" % (self.args[0], self.hresult, self.number)
)py";

// Which parameter each Python argument fills.
std::vector<std::optional<py::object>> place(const com::MemberInfo& m, const py::args& args,
                                             const py::kwargs& kwargs) {
    size_t n = m.params.size();
    if (args.size() > n)
        throw py::type_error(m.name + "() takes at most " + std::to_string(n) + " arguments (" +
                             std::to_string(args.size()) + " given)");
    std::vector<std::optional<py::object>> given(n);
    for (size_t i = 0; i < args.size(); ++i) given[i] = py::reinterpret_borrow<py::object>(args[i]);
    for (auto [key, value] : kwargs) {
        std::string name = py::str(key);
        size_t i = 0;
        while (i < n && !com::iequals(m.params[i].name, name)) ++i;
        if (i == n) throw py::type_error(m.name + "() has no parameter '" + name + "'");
        if (given[i]) throw py::type_error(m.name + "() got two values for '" + name + "'");
        given[i] = py::reinterpret_borrow<py::object>(value);
    }
    return given;
}

[[noreturn]] void raise_failure(const com::MemberInfo& m, HRESULT hr, const EXCEPINFO& e,
                                UINT arg_err) {
    if (hr == DISP_E_EXCEPTION)
        raise_com_error(e.scode, e.number, m.name + ": " + e.bstrDescription);
    if (hr == DISP_E_PARAMNOTOPTIONAL && arg_err < m.params.size())
        throw py::type_error(m.name + "() missing required argument '" + m.params[arg_err].name +
                             "'");
    raise_com_error(hr, 0, m.name + ": Invoke failed");
}

}  // namespace

py::object invoke_member(const BoundDispatch& object, const com::MemberInfo& m, WORD flags,
                         const py::args& args, const py::kwargs& kwargs) {
    auto given = place(m, args, kwargs);
    size_t n = m.params.size();
    // Inputs, and the VARIANTs that by-reference parameters write their outputs to.
    std::vector<VARIANT> values(n), passed(n);
    for (size_t i = 0; i < n; ++i) {
        const com::ParamInfo& p = m.params[i];
        bool have = given[i] && !given[i]->is_none();
        if (have)
            values[i] = to_variant(*given[i], p);
        else if (!p.by_ref)
            values[i] = VARIANT::Missing();
        passed[n - 1 - i] = p.by_ref ? VARIANT::ByRef(&values[i]) : values[i];
    }
    DISPID named = DISPID_PROPERTYPUT;
    bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS dp{passed.data(), put ? &named : nullptr, UINT(n), put ? 1u : 0u};
    VARIANT result;
    EXCEPINFO excep;
    UINT arg_err = UINT(-1);
    HRESULT hr = object.get()->Invoke(m.dispid, flags, &dp, &result, &excep, &arg_err);
    if (FAILED(hr)) raise_failure(m, hr, excep, arg_err);

    py::list out;
    if (m.result != com::VarType::Void) out.append(to_python(result, m.result_enumeration));
    for (size_t i = 0; i < n; ++i)
        if (m.params[i].by_ref) out.append(to_python(values[i], m.params[i].enumeration));
    if (out.empty()) return py::none();
    if (out.size() == 1) return out[0];
    return py::tuple(out);
}

namespace {

py::object invoke(const Method& method, const py::args& args, const py::kwargs& kwargs) {
    return invoke_member(method.object, *method.member, DISPATCH_METHOD, args, kwargs);
}

}  // namespace

Control create_control(const com::CoclassInfo& c) {
    ComPtr<IClassFactory> factory;
    HRESULT hr =
        DllGetClassObject(c.clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(hr)) raise_com_error(hr, 0, c.name + ": class not available");
    ComPtr<IDispatch> object;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.put()));
    if (FAILED(hr)) raise_com_error(hr, 0, c.name + ": CreateInstance failed");
    return Control{BoundDispatch(object), c.name};
}

namespace {

py::object optional_text(const std::string& s) {
    return s.empty() ? py::object(py::none()) : py::object(py::str(s));
}

py::dict describe_member(const com::MemberInfo& m) {
    py::list params;
    for (auto& p : m.params) {
        py::dict d;
        d["name"] = p.name;
        d["type"] = std::string(com::type_name(p.type));
        d["by_ref"] = p.by_ref;
        d["optional"] = p.optional;
        d["default"] = p.optional ? to_python(p.default_value, p.enumeration) : py::none();
        d["enum"] = optional_text(p.enumeration);
        params.append(d);
    }
    static const char* kKinds[] = {"method", "propget", "propput", "propputref", "event"};
    py::dict d;
    d["name"] = m.name;
    d["kind"] = kKinds[int(m.kind)];
    d["dispid"] = m.dispid;
    d["result"] = std::string(com::type_name(m.result));
    d["result_enum"] = optional_text(m.result_enumeration);
    d["params"] = params;
    return d;
}

py::dict describe_library() {
    const com::TypeLibrary& lib = com::type_library();
    py::dict d;
    d["name"] = lib.name;
    d["guid"] = ole::GuidToString(lib.libid);
    d["version"] = std::to_string(lib.major) + "." + std::to_string(lib.minor);
    d["help"] = lib.help;
    py::list coclasses;
    for (auto& c : lib.coclasses)
        coclasses.append(
            py::dict(py::arg("name") = c.name, py::arg("clsid") = ole::GuidToString(c.clsid),
                     py::arg("progid") = c.prog_id, py::arg("interface") = c.dispatch->name,
                     py::arg("creatable") = c.creatable && c.create != nullptr));
    d["coclasses"] = coclasses;
    py::dict interfaces;
    for (auto* i : lib.interfaces) {
        py::list members;
        for (auto& m : i->members) members.append(describe_member(m));
        interfaces[py::str(i->name)] = members;
    }
    d["interfaces"] = interfaces;
    py::dict enums;
    for (auto& e : lib.enumerations) {
        py::list values;
        for (auto& v : e.values) values.append(py::make_tuple(v.name, v.value));
        enums[py::str(e.name)] = values;
    }
    d["enums"] = enums;
    return d;
}

void register_controls(py::module_& m) {
    py::class_<Method>(m, "Method")
        .def("__call__", &invoke)
        .def_property_readonly("name", [](const Method& f) { return f.member->name; })
        .def("__repr__", [](const Method& f) { return "<member " + f.member->name + ">"; });

    py::class_<Control>(m, "Control")
        .def("__getattr__",
             [](const Control& c, const std::string& name) -> py::object {
                 const com::MemberInfo* member = c.object.get()->GetInterfaceInfo()->find(name);
                 if (!member)
                     throw py::attribute_error("'" + c.coclass + "' has no member '" + name + "'");
                 // A property reads as its value.
                 if (member->kind == com::MemberKind::PropertyGet)
                     return invoke_member(c.object, *member, DISPATCH_PROPERTYGET, py::args(),
                                          py::kwargs());
                 return py::cast(Method{c.object, member});
             })
        .def("__setattr__",
             [](const Control& c, const std::string& name, py::object value) {
                 const com::InterfaceInfo* iface = c.object.get()->GetInterfaceInfo();
                 WORD flags = DISPATCH_PROPERTYPUT;
                 const com::MemberInfo* member = iface->find(name, com::MemberKind::PropertyPut);
                 if (!member) {
                     member = iface->find(name, com::MemberKind::PropertyPutRef);
                     flags = DISPATCH_PROPERTYPUTREF;
                 }
                 if (!member)
                     throw py::attribute_error("'" + c.coclass + "' has no property '" + name +
                                               "' that can be set");
                 invoke_member(c.object, *member, flags, py::make_tuple(value), py::kwargs());
             })
        .def("__dir__",
             [](const Control& c) {
                 std::vector<std::string> names;
                 for (auto& member : c.object.get()->GetInterfaceInfo()->members)
                     if (member.kind == com::MemberKind::Method ||
                         member.kind == com::MemberKind::PropertyGet)
                         names.push_back(member.name);
                 return names;
             })
        .def("__repr__", [](const Control& c) { return "<lumtwainpro." + c.coclass + ">"; });

    for (const com::CoclassInfo& c : com::type_library().coclasses)
        if (c.creatable && c.name != "LumViewer")
            m.def(
                c.name.c_str(), [&c] { return create_control(c); },
                ("Creates a " + c.name + " control through its class factory.").c_str());
    register_viewer(m);
}

}  // namespace

}  // namespace lumpy

PYBIND11_MODULE(lumtwainpro, m) {
    namespace py = pybind11;
    using namespace lumpy;
    m.doc() = "LumTwain Pro: the twain scanning control and the LumViewer control.";
    py::exec(kComErrorSource, m.attr("__dict__"));
    m.attr("ComError").attr("__module__") = "lumtwainpro";
    register_enumerations(m);
    register_objects(m);
    register_controls(m);

    m.def("type_library", &describe_library, "Names, DISPIDs and parameters of the library.");
    m.def(
        "message_boxes",
        [] {
            py::list out;
            for (auto& b : win::TakeMessageBoxes())
                out.append(py::make_tuple(b.text, b.caption, b.type & 0xF0u));
            return out;
        },
        "Returns and clears the (text, caption, icon) message boxes shown on this thread.");
    m.def("set_message_box_echo", &win::SetMessageBoxEcho,
          "Whether headless message boxes are also written to standard error.");
    m.def("DllRegisterServer", [] { return uint32_t(DllRegisterServer()); });
    m.def("DllUnregisterServer", [] { return uint32_t(DllUnregisterServer()); });
    m.def("DllCanUnloadNow", [] { return uint32_t(DllCanUnloadNow()); });
    m.def("registry_path", &com::registry_path);
    m.def("error_detail", [] { return win::GetErrorDetail(); },
          "Why the last platform failure of this thread happened, in words.");
}
