// Shared pieces of the lumtwainpro module: the Python side of VARIANTs, streams, pictures
// and run-time errors.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <thread>

#include "com/dispatch.h"
#include "com/typelib.h"

namespace lumpy {

namespace py = pybind11;

// Raises lumtwainpro.ComError(message, hresult, number).
[[noreturn]] void raise_com_error(HRESULT hr, int32_t number, const std::string& message);

// A COM object belongs to the thread that made it, as an apartment-threaded object does: its
// handles live in that thread's tables. Used from another thread it fails with
// RPC_E_WRONG_THREAD. Released on another thread (Python's collector may do that), a control
// is left alive rather than ending a session that is not the releasing thread's; streams and
// pictures hand what they free back to their own thread.
template <class T, bool kReleaseAnywhere>
struct ThreadBound {
    explicit ThreadBound(ComPtr<T> o) : object(std::move(o)) {}
    ThreadBound(const ThreadBound&) = default;
    ThreadBound& operator=(const ThreadBound&) = default;
    ~ThreadBound() {
        if (!kReleaseAnywhere && std::this_thread::get_id() != owner) object.detach();
    }
    T* get() const {
        constexpr HRESULT kWrongThread = static_cast<HRESULT>(0x8001010Eu);  // RPC_E_WRONG_THREAD
        if (std::this_thread::get_id() != owner)
            raise_com_error(kWrongThread, 0, "the object was made on another thread");
        return object.get();
    }

    ComPtr<T> object;
    std::thread::id owner = std::this_thread::get_id();
};

using Stream = ThreadBound<IStream, true>;
using Picture = ThreadBound<IPicture, true>;
// Raises ComError for a failing HRESULT of a stream or picture call.
void check(HRESULT hr, const char* what);

// A Python value as an argument for `param`. Throws TypeError for a value no automation type
// holds; the coercion to the parameter's type is Invoke's.
VARIANT to_variant(py::handle value, const com::ParamInfo& param);
// A VARIANT as a Python value; integers carrying `enumeration` become its IntEnum members.
py::object to_python(const VARIANT& value, const std::string& enumeration);

using BoundDispatch = ThreadBound<IDispatch, false>;

// A control: its COM object, called by member name.
struct Control {
    BoundDispatch object;
    std::string coclass;
};

struct Method {
    BoundDispatch object;
    const com::MemberInfo* member;
};

// Calls a row of the object's interface with Python arguments; `flags` DISPATCH_METHOD,
// DISPATCH_PROPERTYGET or a put. Returns the result and the by-reference outputs.
py::object invoke_member(const BoundDispatch& object, const com::MemberInfo& m, WORD flags,
                         const py::args& args, const py::kwargs& kwargs);
// Creates a control through its class factory.
Control create_control(const com::CoclassInfo& c);

void register_objects(py::module_& m);
void register_enumerations(py::module_& m);
// LumViewer(width, height), its window, input and events, and the thread's clock.
void register_viewer(py::module_& m);

}  // namespace lumpy
