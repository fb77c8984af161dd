// Late binding for the controls: our IDispatch, driven by the type library's rows, and
// the other COM interfaces the library's objects answer (IClassFactory, IObjectSafety).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "com/typelib.h"
#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

LUM_BEGIN_EXPORTS

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

// Arguments as the platform passes them: rgvarg holds the arguments in reverse order, the
// named ones first, with their parameter indexes in rgdispidNamedArgs.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

// The run-time error that ended a member (Invoke returned DISP_E_EXCEPTION).
struct EXCEPINFO {
    std::string bstrSource;
    std::string bstrDescription;
    HRESULT scode = S_OK;
    int32_t number = 0;  // the classic error number
};

struct IDispatch : IUnknown {
    // names[0] is a member, the others its parameters (their DISPIDs are 0-based parameter
    // indexes). Case-insensitive. Unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
    virtual HRESULT GetIDsOfNames(const std::string* names, UINT count, DISPID* ids) = 0;
    // S_OK; DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL,
    // DISP_E_PARAMNOTFOUND, E_INVALIDARG for a bad call; DISP_E_EXCEPTION with `excep` filled
    // when the member (or the coercion of argument *arg_err) raised a run-time error.
    virtual HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* arg_err) = 0;
    // The type information of the object's dispatch interface (GetTypeInfo in short).
    virtual const com::InterfaceInfo* GetInterfaceInfo() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

// Events: a control's source interface is reached through its connection point; a sink is
// an IDispatch whose Invoke receives each event (by-reference arguments as VT_BYREF).
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    // The sink must answer IDispatch; `cookie` names the connection for Unadvise.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) = 0;
};

// Told after each put of a control's property (the host's property browser refreshes it).
extern const IID IID_IPropertyNotifySink;
struct IPropertyNotifySink : IUnknown {
    virtual HRESULT OnChanged(DISPID id) = 0;
    virtual HRESULT OnRequestEdit(DISPID id) = 0;
};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

// A null `iid` stands for the platform's null interface identifier.
struct IObjectSafety : IUnknown {
    virtual HRESULT GetInterfaceSafetyOptions(const IID* iid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(const IID* iid, DWORD mask, DWORD enabled) = 0;
};

namespace com {

// Invoke against a table row, for any object whose C++ instance is `object`.
HRESULT invoke_member(const InterfaceInfo& iface, void* object, DISPID id, WORD flags,
                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err);

// The COM object of a control: IUnknown, IDispatch and IObjectSafety over one C++ instance.
class DispatchObject : public RefCounted<IDispatch>, public IObjectSafety {
  public:
    DispatchObject(const InterfaceInfo& iface, std::string source);
    ~DispatchObject() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return RefCounted<IDispatch>::AddRef(); }
    ULONG Release() override { return RefCounted<IDispatch>::Release(); }

    HRESULT GetIDsOfNames(const std::string* names, UINT count, DISPID* ids) override;
    HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* arg_err) override;
    const InterfaceInfo* GetInterfaceInfo() override { return &m_iface; }

    HRESULT GetInterfaceSafetyOptions(const IID* iid, DWORD* supported, DWORD* enabled) override;
    HRESULT SetInterfaceSafetyOptions(const IID* iid, DWORD mask, DWORD enabled) override;

  protected:
    virtual void* instance() = 0;

  private:
    const InterfaceInfo& m_iface;
    std::string m_source;
};

// Owns one instance of the control class T, created with the object and destroyed with it.
template <class T>
class ControlObject final : public DispatchObject {
  public:
    ControlObject(const InterfaceInfo& iface, std::string source)
        : DispatchObject(iface, std::move(source)), m_control(std::make_unique<T>()) {}
    T& control() { return *m_control; }

  protected:
    void* instance() override { return m_control.get(); }

  private:
    std::unique_ptr<T> m_control;
};

// Objects (controls and factories) and server locks alive, for DllCanUnloadNow.
void object_created();
void object_destroyed();
void lock_server(bool lock);
bool can_unload();

// Calls a member by name with positional arguments in their natural order (by-reference
// ones as VARIANT::ByRef). For tests and hosts that need no named arguments.
HRESULT call(IDispatch* object, std::string_view member, std::vector<VARIANT> args,
             VARIANT* result = nullptr, EXCEPINFO* excep = nullptr);

// Puts a property (DISPATCH_PROPERTYPUT, or PUTREF for an object) by name.
HRESULT put_property(IDispatch* object, std::string_view property, VARIANT value,
                     EXCEPINFO* excep = nullptr);

// The class's CLSID from a ProgID of the table; REGDB_E_CLASSNOTREG when unknown.
HRESULT clsid_from_prog_id(std::string_view prog_id, CLSID* out);
// Creates a control by ProgID or by CLSID text, through its class factory.
HRESULT create_object(std::string_view prog_id_or_clsid, ComPtr<IDispatch>* out);

}  // namespace com

constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// The entry points of the in-process server.
extern "C" {
HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT DllCanUnloadNow();
HRESULT DllRegisterServer();
HRESULT DllUnregisterServer();
}

LUM_END_EXPORTS
