// Builds type-library rows from member pointers: the automation type of every parameter and
// of the result follows from the C++ signature, and one generic invoker per member converts
// the VARIANT arguments, calls the member and writes the by-reference outputs back.
//
// Template-heavy: include it only in the files that hold the rows of an interface.
#pragma once

#include <initializer_list>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "com/dispatch.h"
#include "com/typelib.h"
#include "lumtwainpro/com_error.h"

namespace com {

// Coerces `arg` to `vt` with the platform's rules; a failure is the run-time error 6
// (overflow) or 13 (type mismatch) of argument `index`.
VARIANT coerce_argument(const VARIANT& arg, VARTYPE vt, UINT index);
// Reads an interface of an object argument: null for Nothing, error 13 when the object
// does not answer `iid`.
IUnknown* object_argument(const VARIANT& arg, REFIID iid, UINT index);
[[noreturn]] void throw_type_mismatch(UINT index);

// The run-time error of an argument that cannot be coerced to its parameter's type.
class ArgumentError : public ComError {
  public:
    ArgumentError(int32_t number, std::string description, UINT index)
        : ComError(number, std::move(description)), m_index(index) {}
    UINT index() const { return m_index; }

  private:
    UINT m_index;
};

// The automation side of a C++ parameter or result type.
template <class T>
struct Automation;

template <class T, VarType kType, VARTYPE kVt>
struct ScalarAutomation {
    static constexpr VarType type = kType;
    static T from(const VARIANT& v, UINT index) {
        VARIANT c = coerce_argument(v, kVt, index);
        if constexpr (kVt == VT_R4 || kVt == VT_R8)
            return T(c.dblVal);
        else if constexpr (kVt == VT_BOOL)
            return c.lVal != 0;
        else
            return T(c.lVal);
    }
    static VARIANT to(T value) {
        if constexpr (kVt == VT_I4)
            return VARIANT::I4(value);
        else if constexpr (kVt == VT_I2)
            return VARIANT::I2(value);
        else if constexpr (kVt == VT_UI1)
            return VARIANT::UI1(value);
        else if constexpr (kVt == VT_BOOL)
            return VARIANT::Bool(value);
        else if constexpr (kVt == VT_R4)
            return VARIANT::R4(value);
        else
            return VARIANT::R8(value);
    }
};

template <>
struct Automation<int32_t> : ScalarAutomation<int32_t, VarType::Long, VT_I4> {};
template <>
struct Automation<int16_t> : ScalarAutomation<int16_t, VarType::Integer, VT_I2> {};
template <>
struct Automation<uint8_t> : ScalarAutomation<uint8_t, VarType::Byte, VT_UI1> {};
template <>
struct Automation<bool> : ScalarAutomation<bool, VarType::Boolean, VT_BOOL> {};
template <>
struct Automation<float> : ScalarAutomation<float, VarType::Single, VT_R4> {};
template <>
struct Automation<double> : ScalarAutomation<double, VarType::Double, VT_R8> {};

template <>
struct Automation<std::string> {
    static constexpr VarType type = VarType::String;
    static std::string from(const VARIANT& v, UINT index) {
        return coerce_argument(v, VT_BSTR, index).bstrVal;
    }
    static VARIANT to(std::string value) { return VARIANT::Str(std::move(value)); }
};

template <class I, VarType kType>
struct ObjectAutomation {
    static constexpr VarType type = kType;
    static ComPtr<I> from(const VARIANT& v, UINT index) {
        static const IID& iid = kType == VarType::Stream ? IID_IStream : IID_IPicture;
        return ComPtr<I>::adopt(static_cast<I*>(object_argument(v, iid, index)));
    }
    static VARIANT to(const ComPtr<I>& value) {
        return VARIANT::Unknown(ComPtr<IUnknown>(static_cast<IUnknown*>(value.get())));
    }
};
template <>
struct Automation<ComPtr<IStream>> : ObjectAutomation<IStream, VarType::Stream> {};
template <>
struct Automation<ComPtr<IPicture>> : ObjectAutomation<IPicture, VarType::Picture> {};

template <class E, VarType kType, VARTYPE kElement>
struct ArrayAutomation {
    static constexpr VarType type = kType;
    static SafeArray<E> from(const VARIANT& v, UINT index) {
        if (v.vt == VT_EMPTY) return {};
        if (v.vt == (VT_ARRAY | kElement))
            if (auto* a = std::get_if<SafeArray<E>>(&v.parray)) return *a;
        throw_type_mismatch(index);
    }
    static VARIANT to(SafeArray<E> value) { return VARIANT::FromArray(kElement, std::move(value)); }
};

template <>
struct Automation<SafeArray<uint8_t>> : ArrayAutomation<uint8_t, VarType::ByteArray, VT_UI1> {};
template <>
struct Automation<SafeArray<int16_t>> : ArrayAutomation<int16_t, VarType::IntegerArray, VT_I2> {};
template <>
struct Automation<SafeArray<int32_t>> : ArrayAutomation<int32_t, VarType::LongArray, VT_I4> {};
template <>
struct Automation<SafeArray<float>> : ArrayAutomation<float, VarType::SingleArray, VT_R4> {};
template <>
struct Automation<SafeArray<double>> : ArrayAutomation<double, VarType::DoubleArray, VT_R8> {};
template <>
struct Automation<SafeArray<std::string>>
    : ArrayAutomation<std::string, VarType::StringArray, VT_BSTR> {};

// A parameter of type A: by reference when it is a non-const lvalue reference.
template <class A>
constexpr bool kByRef =
    std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;
template <class A>
using Stored = std::remove_cvref_t<A>;

template <class>
struct MemberTraits;
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
    using Args = std::tuple<A...>;
};

template <auto M, class C, class R, class... A, size_t... I>
void call_member(C* object, VARIANT* const* args, VARIANT* result, std::index_sequence<I...>) {
    // Braced initialisation converts the arguments left to right.
    std::tuple<Stored<A>...> values{Automation<Stored<A>>::from(*args[I], UINT(I))...};
    if constexpr (std::is_void_v<R>) {
        (object->*M)(std::get<I>(values)...);
        if (result) *result = VARIANT{};
    } else {
        R r = (object->*M)(std::get<I>(values)...);
        if (result) *result = Automation<Stored<R>>::to(std::move(r));
    }
    ((kByRef<A> ? void(*args[I] = Automation<Stored<A>>::to(std::get<I>(values))) : void()), ...);
}

template <auto M, class C, class R, class... A>
void invoke_row(void* object, VARIANT* const* args, VARIANT* result, R (C::*)(A...)) {
    call_member<M, C, R, A...>(static_cast<C*>(object), args, result,
                               std::index_sequence_for<A...>{});
}

template <auto M>
void invoker(void* object, VARIANT* const* args, VARIANT* result) {
    invoke_row<M>(object, args, result, M);
}

// Parses "a, b:Enum = 3" against the parameter types; records a mismatch in `error`.
MemberInfo make_member(DISPID dispid, std::string name, std::string_view params,
                       std::initializer_list<std::pair<VarType, bool>> types, VarType result,
                       std::string result_enumeration, Invoker invoke);

// One row: row<&twain::SaveAsJpeg>(701, "SaveAsJpeg", "sFilename, nQuality = 75",
// "LumTwainStatus"). The parameter list gives names, optional ":Enumeration" and "= default".
template <auto M>
MemberInfo row(DISPID dispid, std::string name, std::string_view params = {},
               std::string result_enumeration = {}) {
    return [&]<class C, class R, class... A>(R (C::*)(A...)) {
        VarType result = VarType::Void;
        if constexpr (!std::is_void_v<R>) result = Automation<Stored<R>>::type;
        return make_member(dispid, std::move(name), params,
                           {std::pair{Automation<Stored<A>>::type, kByRef<A>}...}, result,
                           std::move(result_enumeration), &invoker<M>);
    }(M);
}

// A property: a get row (no parameters) and, unless it is read-only, a put row whose one
// parameter is the new value. `Put` may be nullptr for a read-only property; a put taking an
// object (a ComPtr) is a putref row. property<&C::get_Zoom, &C::put_Zoom>(1, "Zoom").
template <auto Get, auto Put = nullptr>
std::vector<MemberInfo> property(DISPID dispid, std::string name, std::string enumeration = {}) {
    std::vector<MemberInfo> rows;
    MemberInfo get = row<Get>(dispid, name, "", enumeration);
    get.kind = MemberKind::PropertyGet;
    if (!get.params.empty()) get.error = name + ": a property get takes no parameters";
    rows.push_back(std::move(get));
    // By type: a member pointer compared with nullptr is no constant under the sanitizers.
    if constexpr (!std::is_null_pointer_v<decltype(Put)>) {
        std::string param = "vNewValue";
        if (!enumeration.empty()) param += ":" + enumeration;
        MemberInfo put = row<Put>(dispid, name, param);
        bool object = put.params.size() == 1 && (put.params[0].type == VarType::Picture ||
                                                 put.params[0].type == VarType::Stream);
        put.kind = object ? MemberKind::PropertyPutRef : MemberKind::PropertyPut;
        rows.push_back(std::move(put));
    }
    return rows;
}

// An event of a source interface, from the handler's signature: event<void(int32_t&)>(18,
// "Rotation", "nRotation"). Reference parameters are by reference.
template <class Signature>
MemberInfo event(DISPID dispid, std::string name, std::string_view params = {}) {
    return [&]<class... A>(void (*)(A...)) {
        MemberInfo m = make_member(dispid, std::move(name), params,
                                   {std::pair{Automation<Stored<A>>::type, kByRef<A>}...},
                                   VarType::Void, {}, nullptr);
        m.kind = MemberKind::Event;
        return m;
    }(static_cast<Signature*>(nullptr));
}

// Creates the COM object of control class T for an interface of the table.
template <class T>
HRESULT create_control(const InterfaceInfo& iface, std::string source, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        *out = new ControlObject<T>(iface, std::move(source));  // owned by its references
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace com
