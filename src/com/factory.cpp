// Class factories of the creatable coclasses and the server's lifetime entry points.
#include "com/dispatch.h"

namespace com {

namespace {

class ClassFactory final : public RefCounted<IClassFactory> {
  public:
    explicit ClassFactory(const CoclassInfo& coclass) : m_coclass(coclass) { object_created(); }
    ~ClassFactory() override { object_destroyed(); }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<IDispatch> object;
        HRESULT hr = m_coclass.create(object.put());
        if (FAILED(hr)) return hr;
        return object->QueryInterface(iid, out);
    }

    HRESULT LockServer(BOOL lock) override {
        lock_server(lock != FALSE);
        return S_OK;
    }

  private:
    const CoclassInfo& m_coclass;
};

}  // namespace

}  // namespace com

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const com::CoclassInfo* coclass = com::type_library().find_coclass(clsid);
    if (!coclass || !coclass->creatable || !coclass->create) return CLASS_E_CLASSNOTAVAILABLE;
    ComPtr<IClassFactory> factory = ComPtr<IClassFactory>::adopt(new com::ClassFactory(*coclass));
    return factory->QueryInterface(iid, out);
}

HRESULT DllCanUnloadNow() {
    return com::can_unload() ? S_OK : S_FALSE;
}
