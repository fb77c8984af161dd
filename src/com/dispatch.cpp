// Invoke over the table: argument placement (positional, named, missing), defaults,
// by-reference arguments, coercion errors and the run-time errors of members.
#include "com/dispatch.h"

#include <atomic>
#include <new>
#include <stdexcept>

#include "com/basSafeCtl.h"
#include "com/dispatch_traits.h"

const IID IID_IConnectionPointContainer =
    ole::MakeGuid(0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
const IID IID_IConnectionPoint =
    ole::MakeGuid(0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
const IID IID_IPropertyNotifySink =
    ole::MakeGuid(0x9BFBBC02, 0xEFF1, 0x101A, 0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);

namespace com {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

ArgumentError argument_error(HRESULT hr, UINT index) {
    if (hr == DISP_E_OVERFLOW) return ArgumentError(ComError::kOverflow, "Overflow", index);
    return ArgumentError(ComError::kTypeMismatch, "Type mismatch", index);
}

void fill_excepinfo(EXCEPINFO* excep, const std::string& source, const ComError& e) {
    if (!excep) return;
    excep->bstrSource = source;
    excep->bstrDescription = e.what();
    excep->scode = e.hresult();
    excep->number = e.number();
}

// The caller's VARIANT that an argument designates (through a by-reference argument).
VARIANT* target_of(VARIANT* arg) {
    if (arg->vt == (VT_BYREF | VT_VARIANT)) return arg->pvarVal;
    return arg;
}

// Places the arguments of a call on the member's parameters; null where none was given.
HRESULT place_arguments(const MemberInfo& m, const DISPPARAMS& p, std::vector<VARIANT*>* slots) {
    size_t n = m.params.size();
    if (p.cArgs > n) return DISP_E_BADPARAMCOUNT;
    if (p.cNamedArgs > p.cArgs || (p.cArgs && !p.rgvarg) || (p.cNamedArgs && !p.rgdispidNamedArgs))
        return E_INVALIDARG;
    slots->assign(n, nullptr);
    UINT positional = p.cArgs - p.cNamedArgs;
    for (UINT i = 0; i < positional; ++i) (*slots)[i] = &p.rgvarg[p.cArgs - 1 - i];
    for (UINT j = 0; j < p.cNamedArgs; ++j) {
        DISPID id = p.rgdispidNamedArgs[j];
        // The value of a property put is its last parameter.
        if (id == DISPID_PROPERTYPUT && n > 0) id = DISPID(n - 1);
        if (id < 0 || size_t(id) >= n) return DISP_E_PARAMNOTFOUND;
        if ((*slots)[size_t(id)]) return E_INVALIDARG;  // given twice
        (*slots)[size_t(id)] = &p.rgvarg[j];
    }
    return S_OK;
}

// The VARIANT each parameter reads: the caller's, a default, or a scratch one for an
// output the caller left out. Fails for a required argument left out.
HRESULT resolve_arguments(const MemberInfo& m, const std::vector<VARIANT*>& slots,
                          std::vector<VARIANT>* scratch, std::vector<VARIANT*>* args,
                          UINT* arg_err) {
    scratch->assign(m.params.size(), VARIANT{});
    args->assign(m.params.size(), nullptr);
    for (size_t i = 0; i < m.params.size(); ++i) {
        const ParamInfo& param = m.params[i];
        VARIANT* given = slots[i] ? target_of(slots[i]) : nullptr;
        if (slots[i] && !given) {
            if (arg_err) *arg_err = UINT(i);
            return E_INVALIDARG;  // a by-reference argument pointing nowhere
        }
        if (given && !given->is_missing()) {
            // Only a by-reference argument lets the member change the caller's VARIANT.
            if (param.by_ref && given != slots[i])
                (*args)[i] = given;
            else
                (*args)[i] = &((*scratch)[i] = *given);
        } else if (param.by_ref) {
            (*args)[i] = &(*scratch)[i];  // an output nobody reads: starts empty
        } else if (param.optional) {
            (*args)[i] = &((*scratch)[i] = param.default_value);
        } else {
            if (arg_err) *arg_err = UINT(i);
            return DISP_E_PARAMNOTOPTIONAL;
        }
    }
    return S_OK;
}

// Runs the member; a run-time error of the member or of an argument becomes
// DISP_E_EXCEPTION with the error in `excep`.
HRESULT run(const MemberInfo& m, void* object, VARIANT* const* args, VARIANT* result,
            const std::string& source, EXCEPINFO* excep, UINT* arg_err) {
    try {
        m.invoke(object, args, result);
        return S_OK;
    } catch (const ArgumentError& e) {
        if (arg_err) *arg_err = e.index();
        fill_excepinfo(excep, source, e);
    } catch (const ComError& e) {
        fill_excepinfo(excep, source, e);
    } catch (const std::bad_alloc&) {
        fill_excepinfo(excep, source, ComError(ComError::kOutOfMemory, "Out of memory"));
    } catch (const std::out_of_range&) {
        fill_excepinfo(excep, source,
                       ComError(ComError::kSubscriptOutOfRange, "Subscript out of range"));
    } catch (const std::exception& e) {
        fill_excepinfo(excep, source, ComError(51, std::string("Internal error: ") + e.what()));
    }
    return DISP_E_EXCEPTION;
}

}  // namespace

VARIANT coerce_argument(const VARIANT& arg, VARTYPE vt, UINT index) {
    VARIANT out;
    HRESULT hr = VariantChangeType(&out, &arg, 0, vt);
    if (FAILED(hr)) throw argument_error(hr, index);
    return out;
}

IUnknown* object_argument(const VARIANT& arg, REFIID iid, UINT index) {
    if (arg.vt == VT_EMPTY || ((arg.vt == VT_UNKNOWN || arg.vt == VT_DISPATCH) && !arg.punkVal))
        return nullptr;
    void* out = nullptr;
    if ((arg.vt != VT_UNKNOWN && arg.vt != VT_DISPATCH) ||
        FAILED(arg.punkVal->QueryInterface(iid, &out)) || !out)
        throw_type_mismatch(index);
    return static_cast<IUnknown*>(out);
}

void throw_type_mismatch(UINT index) {
    throw argument_error(DISP_E_TYPEMISMATCH, index);
}

HRESULT invoke_member(const InterfaceInfo& iface, void* object, DISPID id, WORD flags,
                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
    const MemberInfo* m = nullptr;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        bool ref = flags & DISPATCH_PROPERTYPUTREF;
        m = iface.find(id, ref ? MemberKind::PropertyPutRef : MemberKind::PropertyPut);
        if (!m) m = iface.find(id, ref ? MemberKind::PropertyPut : MemberKind::PropertyPutRef);
    } else if (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) {
        m = iface.find(id);
        if (m && m->kind == MemberKind::Event) m = nullptr;
    }
    if (!m) return DISP_E_MEMBERNOTFOUND;
    if (!m->error.empty() || !m->invoke) return E_UNEXPECTED;
    DISPPARAMS none;
    std::vector<VARIANT*> slots;
    HRESULT hr = place_arguments(*m, params ? *params : none, &slots);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> scratch;
    std::vector<VARIANT*> args;
    hr = resolve_arguments(*m, slots, &scratch, &args, arg_err);
    if (FAILED(hr)) return hr;
    // The result is built aside so that a failing member leaves the caller's untouched.
    VARIANT value;
    hr = run(*m, object, args.data(), &value, iface.name, excep, arg_err);
    if (SUCCEEDED(hr) && result) *result = std::move(value);
    return hr;
}

// ---- DispatchObject ---------------------------------------------------------------------

DispatchObject::DispatchObject(const InterfaceInfo& iface, std::string source)
    : m_iface(iface), m_source(std::move(source)) {
    object_created();
}

DispatchObject::~DispatchObject() {
    object_destroyed();
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_iface.iid)
        *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IObjectSafety)
        *out = static_cast<IObjectSafety*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT DispatchObject::GetIDsOfNames(const std::string* names, UINT count, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const MemberInfo* m = m_iface.find(names[0]);
    if (!m) return DISP_E_UNKNOWNNAME;
    ids[0] = m->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        for (size_t p = 0; p < m->params.size(); ++p)
            if (iequals(m->params[p].name, names[i])) ids[i] = DISPID(p);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excep, UINT* arg_err) {
    return invoke_member(m_iface, instance(), id, flags, params, result, excep, arg_err);
}

HRESULT DispatchObject::GetInterfaceSafetyOptions(const IID* iid, DWORD* supported,
                                                  DWORD* enabled) {
    return basSafeCtl::GetInterfaceSafetyOptions(iid, supported, enabled);
}

HRESULT DispatchObject::SetInterfaceSafetyOptions(const IID* iid, DWORD mask, DWORD enabled) {
    return basSafeCtl::SetInterfaceSafetyOptions(iid, mask, enabled);
}

// ---- Server lifetime --------------------------------------------------------------------

void object_created() {
    ++g_objects;
}
void object_destroyed() {
    --g_objects;
}
void lock_server(bool lock) {
    if (lock)
        ++g_locks;
    else if (g_locks > 0)
        --g_locks;  // an unbalanced unlock must not hide live locks
}
bool can_unload() {
    return g_objects == 0 && g_locks == 0;
}

HRESULT call(IDispatch* object, std::string_view member, std::vector<VARIANT> args, VARIANT* result,
             EXCEPINFO* excep) {
    if (!object) return E_POINTER;
    std::string name(member);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(&name, 1, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    // By-reference arguments keep pointing at the caller's VARIANTs.
    DISPPARAMS p;
    p.rgvarg = reversed.data();
    p.cArgs = UINT(reversed.size());
    EXCEPINFO scratch;
    return object->Invoke(id, DISPATCH_METHOD, &p, result, excep ? excep : &scratch, nullptr);
}

HRESULT put_property(IDispatch* object, std::string_view property, VARIANT value,
                     EXCEPINFO* excep) {
    if (!object) return E_POINTER;
    std::string name(property);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(&name, 1, &id);
    if (FAILED(hr)) return hr;
    bool is_object = value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS p{&value, &named, 1, 1};
    EXCEPINFO scratch;
    return object->Invoke(id, is_object ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, &p,
                          nullptr, excep ? excep : &scratch, nullptr);
}

HRESULT clsid_from_prog_id(std::string_view prog_id, CLSID* out) {
    if (!out) return E_POINTER;
    const CoclassInfo* c = type_library().find_prog_id(prog_id);
    if (!c) return REGDB_E_CLASSNOTREG;
    *out = c->clsid;
    return S_OK;
}

HRESULT create_object(std::string_view prog_id_or_clsid, ComPtr<IDispatch>* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CLSID clsid;
    if (!ole::ParseGuid(prog_id_or_clsid, &clsid)) {
        HRESULT hr = clsid_from_prog_id(prog_id_or_clsid, &clsid);
        if (FAILED(hr)) return hr;
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr =
        DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(out->put()));
}

}  // namespace com
