// Shared pieces of the lumtwainpro module: the Python side of VARIANTs, streams, pictures
// and run-time errors.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "com/dispatch.h"
#include "com/typelib.h"

namespace lumpy {

namespace py = pybind11;

struct Stream {
    ComPtr<IStream> stream;
};

struct Picture {
    ComPtr<IPicture> picture;
};

// Raises lumtwainpro.ComError(message, hresult, number).
[[noreturn]] void raise_com_error(HRESULT hr, int32_t number, const std::string& message);
// Raises ComError for a failing HRESULT of a stream or picture call.
void check(HRESULT hr, const char* what);

// A Python value as an argument for `param`. Throws TypeError for a value no automation type
// holds; the coercion to the parameter's type is Invoke's.
VARIANT to_variant(py::handle value, const com::ParamInfo& param);
// A VARIANT as a Python value; integers carrying `enumeration` become its IntEnum members.
py::object to_python(const VARIANT& value, const std::string& enumeration);

void register_objects(py::module_& m);
void register_enumerations(py::module_& m);

}  // namespace lumpy
