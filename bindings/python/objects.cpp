// VARIANT conversions, stream and picture objects, and the enumerations as IntEnums.
#include <pybind11/stl.h>

#include <cmath>
#include <limits>

#include "lumtwainpro_p.h"

namespace lumpy {

namespace {

PyObject* g_module = nullptr;  // borrowed: lives as long as the interpreter holds it

template <class T>
VARIANT list_to_array(py::handle list, VARTYPE element) {
    SafeArray<T> out(0, ULONG(py::len(list)));
    LONG i = 0;
    for (py::handle item : list) {
        VARIANT v = to_variant(item, com::ParamInfo{});
        VARIANT c;
        HRESULT hr = VariantChangeType(&c, &v, 0, element);
        if (FAILED(hr))
            raise_com_error(hr == DISP_E_OVERFLOW ? HRESULT(0x800A0006u) : HRESULT(0x800A000Du),
                            hr == DISP_E_OVERFLOW ? 6 : 13,
                            hr == DISP_E_OVERFLOW ? "Overflow" : "Type mismatch");
        if constexpr (std::is_same_v<T, std::string>)
            out.at(i++) = c.bstrVal;
        else if constexpr (std::is_floating_point_v<T>)
            out.at(i++) = T(c.dblVal);
        else
            out.at(i++) = T(c.lVal);
    }
    return VARIANT::FromArray(element, std::move(out));
}

VARIANT sequence_to_variant(py::handle seq, com::VarType type) {
    using com::VarType;
    switch (type) {
        case VarType::ByteArray:
            return list_to_array<uint8_t>(seq, VT_UI1);
        case VarType::LongArray:
            return list_to_array<int32_t>(seq, VT_I4);
        case VarType::SingleArray:
            return list_to_array<float>(seq, VT_R4);
        case VarType::DoubleArray:
            return list_to_array<double>(seq, VT_R8);
        case VarType::StringArray:
            return list_to_array<std::string>(seq, VT_BSTR);
        default:
            return VARIANT::FromArray(VT_VARIANT, SafeArray<int32_t>());  // no scalar
    }
}

VARIANT int_to_variant(py::handle value) {
    int overflow = 0;
    long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (!overflow && n >= INT32_MIN && n <= INT32_MAX) return VARIANT::I4(int32_t(n));
    if (!overflow) return VARIANT::R8(double(n));
    // Too large for any automation integer: coercion reports the overflow.
    return VARIANT::R8(overflow > 0 ? HUGE_VAL : -HUGE_VAL);
}

template <class E>
py::list array_to_list(const SafeArray<E>& a, bool booleans) {
    py::list out;
    for (const E& e : a.values()) {
        if constexpr (std::is_arithmetic_v<E>) {
            if (booleans)
                out.append(py::bool_(e != 0));
            else
                out.append(e);
        } else {
            out.append(e);
        }
    }
    return out;
}

py::object array_to_python(const VARIANT& v) {
    if (auto* bytes = std::get_if<SafeArray<uint8_t>>(&v.parray))
        return py::bytes(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    bool booleans = (v.vt & ~VT_ARRAY) == VT_BOOL;
    return std::visit(
        [booleans](const auto& a) -> py::object {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::monostate>)
                return py::list();
            else
                return array_to_list(a, booleans);
        },
        v.parray);
}

py::object object_to_python(const VARIANT& v) {
    if (!v.punkVal) return py::none();
    ComPtr<IUnknown> unk = v.punkVal;
    if (auto s = unk.query<IStream>(IID_IStream)) return py::cast(Stream(s));
    if (auto p = unk.query<IPicture>(IID_IPicture)) return py::cast(Picture(p));
    return py::none();
}

}  // namespace

void raise_com_error(HRESULT hr, int32_t number, const std::string& message) {
    py::object type = py::module_::import("lumtwainpro").attr("ComError");
    py::object error = type(message, uint32_t(hr), number);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

void check(HRESULT hr, const char* what) {
    if (FAILED(hr)) raise_com_error(hr, 0, std::string(what) + " failed");
}

VARIANT to_variant(py::handle value, const com::ParamInfo& param) {
    if (py::isinstance<py::bool_>(value)) return VARIANT::Bool(value.cast<bool>());
    if (PyLong_Check(value.ptr())) return int_to_variant(value);
    if (PyFloat_Check(value.ptr())) return VARIANT::R8(value.cast<double>());
    if (py::isinstance<py::str>(value)) return VARIANT::Str(value.cast<std::string>());
    if (py::isinstance<py::bytes>(value) || PyByteArray_Check(value.ptr())) {
        std::string b = py::isinstance<py::bytes>(value)
                            ? value.cast<std::string>()
                            : std::string(PyByteArray_AsString(value.ptr()),
                                          size_t(PyByteArray_Size(value.ptr())));
        return VARIANT::FromArray(VT_UI1, SafeArray<uint8_t>::from({b.begin(), b.end()}));
    }
    if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value))
        return sequence_to_variant(value, param.type);
    if (py::isinstance<Stream>(value))
        return VARIANT::Unknown(ComPtr<IUnknown>(value.cast<Stream&>().get()));
    if (py::isinstance<Picture>(value))
        return VARIANT::Unknown(ComPtr<IUnknown>(value.cast<Picture&>().get()));
    if (value.is_none()) return VARIANT{};
    throw py::type_error("argument " + param.name + ": unsupported type " +
                         std::string(py::str(value.get_type().attr("__name__"))));
}

py::object to_python(const VARIANT& v, const std::string& enumeration) {
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return py::none();
        case VT_BOOL:
            return py::bool_(v.lVal != 0);
        case VT_R4:
        case VT_R8:
            return py::float_(v.dblVal);
        case VT_BSTR:
            return py::str(v.bstrVal);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return object_to_python(v);
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_ERROR:
            break;
        default:
            return (v.vt & VT_ARRAY) ? array_to_python(v) : py::none();
    }
    py::int_ n(v.lVal);
    if (enumeration.empty() || !g_module) return n;
    py::object e = py::reinterpret_borrow<py::module_>(g_module).attr(enumeration.c_str());
    try {
        return e(n);
    } catch (py::error_already_set&) {
        return n;  // a value the enumeration does not name (22, 23, ...)
    }
}

void register_enumerations(py::module_& m) {
    g_module = m.ptr();
    py::object int_enum = py::module_::import("enum").attr("IntEnum");
    for (const com::EnumInfo& e : com::type_library().enumerations) {
        py::list members;
        for (auto& v : e.values) members.append(py::make_tuple(v.name, v.value));
        // Names sharing a value become aliases of its first name.
        m.attr(e.name.c_str()) = int_enum(e.name, members, py::arg("module") = "lumtwainpro");
    }
}

void register_objects(py::module_& m) {
    py::class_<Stream>(m, "Stream", "A COM stream (IStream).")
        .def("Read",
             [](Stream& s, int64_t count) {
                 if (count < 0) throw py::value_error("count must not be negative");
                 STATSTG st;
                 uint64_t at = 0;
                 check(s.get()->Seek(0, STREAM_SEEK_CUR, &at), "Seek");
                 check(s.get()->Stat(&st, STATFLAG_NONAME), "Stat");
                 uint64_t left = st.cbSize > at ? st.cbSize - at : 0;
                 std::string buf(size_t(std::min<uint64_t>(uint64_t(count), left)), '\0');
                 ULONG got = 0;
                 check(s.get()->Read(buf.data(), ULONG(buf.size()), &got), "Read");
                 buf.resize(got);
                 return py::bytes(buf);
             })
        .def("Write",
             [](Stream& s, py::bytes data) {
                 std::string b = data;
                 ULONG written = 0;
                 check(s.get()->Write(b.data(), ULONG(b.size()), &written), "Write");
                 return written;
             })
        .def(
            "Seek",
            [](Stream& s, int64_t offset, DWORD origin) {
                uint64_t at = 0;
                check(s.get()->Seek(offset, origin, &at), "Seek");
                return at;
            },
            py::arg("offset"), py::arg("origin") = STREAM_SEEK_SET)
        .def("Stat",
             [](Stream& s) {
                 STATSTG st;
                 check(s.get()->Stat(&st, STATFLAG_NONAME), "Stat");
                 py::object ns = py::module_::import("types").attr("SimpleNamespace");
                 return ns(py::arg("cbSize") = st.cbSize, py::arg("type") = st.type);
             })
        .def("SetSize",
             [](Stream& s, uint64_t size) { check(s.get()->SetSize(size), "SetSize"); });

    py::class_<Picture>(m, "Picture", "An OLE picture object (IPicture).")
        .def_property_readonly("Handle",
                               [](Picture& p) {
                                   OLE_HANDLE h = 0;
                                   check(p.get()->get_Handle(&h), "Handle");
                                   return h;
                               })
        .def_property_readonly("hPal",
                               [](Picture& p) {
                                   OLE_HANDLE h = 0;
                                   check(p.get()->get_hPal(&h), "hPal");
                                   return h;
                               })
        .def_property_readonly("Type",
                               [](Picture& p) {
                                   SHORT t = 0;
                                   check(p.get()->get_Type(&t), "Type");
                                   return t;
                               })
        .def_property_readonly("Width",
                               [](Picture& p) {
                                   LONG w = 0;
                                   check(p.get()->get_Width(&w), "Width");
                                   return w;
                               })
        .def_property_readonly("Height", [](Picture& p) {
            LONG h = 0;
            check(p.get()->get_Height(&h), "Height");
            return h;
        });

    m.def(
        "create_stream",
        [](py::bytes initial) {
            ComPtr<IStream> s;
            check(CreateStreamOnHGlobal(0, TRUE, s.put()), "CreateStreamOnHGlobal");
            std::string b = initial;
            ULONG written = 0;
            check(s->Write(b.data(), ULONG(b.size()), &written), "Write");
            check(s->Seek(0, STREAM_SEEK_SET, nullptr), "Seek");
            return Stream(s);
        },
        py::arg("data") = py::bytes(""),
        "A stream over a new global memory block holding `data`, positioned at its start.");
}

}  // namespace lumpy
