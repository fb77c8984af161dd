// The COM object of the viewer: IDispatch over the _LumViewer rows, the __LumViewer events
// through a connection point (each event invokes every advised sink, whose changes to
// by-reference arguments the control then uses), property changes through a second one
// (IPropertyNotifySink::OnChanged after every put), and IPersistPropertyBag.
#include <map>

#include "com/dispatch_traits.h"
#include "com/viewer_object.h"
#include "lumtwainpro/viewer.h"

namespace com {

namespace {

// Sinks of one outgoing interface `iid`, each reached through its `Sink` interface.
template <class Sink>
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(IUnknown& outer, const IID& iid, const IID& sink_iid)
        : m_outer(outer), m_iid(iid), m_sink_iid(sink_iid) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IConnectionPoint)) return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return m_outer.AddRef(); }
    ULONG Release() override { return m_outer.Release(); }

    HRESULT GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = m_iid;
        return S_OK;
    }
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        ComPtr<Sink> d = ComPtr<IUnknown>(sink).query<Sink>(m_sink_iid);
        if (!d) return CONNECT_E_CANNOTCONNECT;
        *cookie = m_next++;
        m_sinks.emplace(*cookie, std::move(d));
        return S_OK;
    }
    HRESULT Unadvise(DWORD cookie) override {
        return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
    }

    // The sinks at the moment an event starts (a handler may unadvise).
    std::vector<ComPtr<Sink>> sinks() const {
        std::vector<ComPtr<Sink>> out;
        for (auto& [cookie, s] : m_sinks) out.push_back(s);
        return out;
    }
    void clear() { m_sinks.clear(); }

  private:
    IUnknown& m_outer;
    IID m_iid, m_sink_iid;
    std::map<DWORD, ComPtr<Sink>> m_sinks;
    DWORD m_next = 1;
};

// A by-reference argument as the sinks left it; a value of the wrong type keeps the old one.
template <class T>
void take_back(const VARIANT& v, T& arg, UINT index) {
    try {
        arg = Automation<Stored<T>>::from(v, index);
    } catch (const ComError&) {
    }
}

class ViewerObject final : public DispatchObject,
                           public IConnectionPointContainer,
                           public IPersistPropertyBag,
                           private LumViewerEvents {
  public:
    ViewerObject()
        : DispatchObject(lumviewer_interface(), "LumTwainPro.LumViewer"),
          m_point(static_cast<IDispatch&>(*this), lumviewer_events().iid, IID_IDispatch),
          m_changes(static_cast<IDispatch&>(*this), IID_IPropertyNotifySink,
                    IID_IPropertyNotifySink) {
        m_viewer.SetEventSink(this);
    }
    ~ViewerObject() override {
        m_viewer.SetEventSink(nullptr);
        m_point.clear();
        m_changes.clear();
    }

    // Every put that the control took (also one whose value its rules ignore) is announced.
    HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* arg_err) override {
        HRESULT hr = DispatchObject::Invoke(id, flags, params, result, excep, arg_err);
        if (SUCCEEDED(hr) && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
            for (auto& sink : m_changes.sinks()) sink->OnChanged(id);
        return hr;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IID_IPersistPropertyBag)
            *out = static_cast<IPersistPropertyBag*>(this);
        else
            return DispatchObject::QueryInterface(iid, out);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }

    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IPropertyNotifySink)
            *out = &m_changes;
        else if (iid == lumviewer_events().iid || iid == IID_IDispatch)
            *out = &m_point;
        else
            return CONNECT_E_NOCONNECTION;
        (*out)->AddRef();
        return S_OK;
    }

    HRESULT InitNew() override {
        m_viewer.InitProperties();
        return S_OK;
    }
    HRESULT Load(IPropertyBag* bag, IErrorLog*) override {
        if (!bag) return E_POINTER;
        m_viewer.ReadProperties(bag);
        return S_OK;
    }
    HRESULT Save(IPropertyBag* bag, BOOL, BOOL) override {
        if (!bag) return E_POINTER;
        return m_viewer.WriteProperties(bag) ? S_OK : E_FAIL;
    }

    LumViewer& viewer() { return m_viewer; }

  protected:
    void* instance() override { return &m_viewer; }

  private:
    // Invokes every sink with the arguments by reference, then takes back what they left.
    template <class... A>
    void fire(DISPID id, A&... args) {
        std::vector<ComPtr<IDispatch>> sinks = m_point.sinks();
        if (sinks.empty()) return;
        std::vector<VARIANT> values{Automation<Stored<A>>::to(args)...};
        std::vector<VARIANT> passed;
        for (auto it = values.rbegin(); it != values.rend(); ++it)
            passed.push_back(VARIANT::ByRef(&*it));
        for (auto& sink : sinks) {
            DISPPARAMS p{passed.data(), nullptr, UINT(passed.size()), 0};
            EXCEPINFO excep;
            sink->Invoke(id, DISPATCH_METHOD, &p, nullptr, &excep, nullptr);
        }
        UINT index = 0;
        ((take_back(values[index], args, index), ++index), ...);
    }

    void DataReceived(int32_t& a, int32_t& b, int32_t& c) override { fire(1, a, b, c); }
    void ZoomChange() override { fire(2); }
    void ScrollControl() override { fire(3); }
    void ZoomChanged() override { fire(4); }
    void PageChange() override { fire(5); }
    void PictureChange() override { fire(6); }
    void Displayed() override { fire(7); }
    void KeyPressControl(int16_t& k) override { fire(8, k); }
    void KeyUpControl(int16_t& k, int16_t& s) override { fire(9, k, s); }
    void KeyDownControl(int16_t& k, int16_t& s) override { fire(10, k, s); }
    void MouseMoveControl(int16_t& b, int16_t& s, float& x, float& y) override {
        fire(11, b, s, x, y);
    }
    void ClickControl() override { fire(12); }
    void DblClickControl() override { fire(13); }
    void MouseDownControl(int16_t& b, int16_t& s, float& x, float& y) override {
        fire(14, b, s, x, y);
    }
    void MouseUpControl(int16_t& b, int16_t& s, float& x, float& y) override {
        fire(15, b, s, x, y);
    }
    void ResizeControl() override { fire(16); }
    void FileDrop(std::string& f) override { fire(17, f); }
    void Rotation(int32_t& r) override { fire(18, r); }
    void FilesDrop(SafeArray<std::string>& f, int32_t& n) override { fire(19, f, n); }
    void PictureChanged() override { fire(20); }

    LumViewer m_viewer;
    ConnectionPoint<IDispatch> m_point;
    ConnectionPoint<IPropertyNotifySink> m_changes;
};

HRESULT create_viewer(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        *out = new ViewerObject();  // owned by its references
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

Creator lumviewer_creator() {
    return &create_viewer;
}

LumViewer* viewer_of(IDispatch* object) {
    auto* v = dynamic_cast<ViewerObject*>(object);
    return v ? &v->viewer() : nullptr;
}

}  // namespace com
