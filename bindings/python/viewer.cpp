// LumViewer in Python: a headless window of a given size, its pixels, input calls, events
// registered by name, persisted properties in a file bag, and the thread's virtual clock.
#include <pybind11/stl.h>

#include <map>

#include "com/viewer_object.h"
#include "lumtwainpro/propbag.h"
#include "lumtwainpro/viewer.h"
#include "lumtwainpro_p.h"
#include "platform/win/win.h"

namespace lumpy {

namespace {

// The Python handlers of one viewer, as the sink of its connection point. A handler gets
// the event's arguments; it may return a dict (by name) or a tuple (all of them) of new
// values for the by-reference arguments. An exception in a handler is reported through
// sys.unraisablehook and goes no further.
class EventSink final : public RefCounted<IDispatch> {
  public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IDispatch)) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT GetIDsOfNames(const std::string*, UINT, DISPID*) override { return E_NOTIMPL; }
    const com::InterfaceInfo* GetInterfaceInfo() override { return &com::lumviewer_events(); }

    HRESULT Invoke(DISPID id, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        py::gil_scoped_acquire gil;
        auto it = m_handlers.find(id);
        const com::MemberInfo* event = com::lumviewer_events().find(id);
        if (it == m_handlers.end() || !event || !params) return S_OK;
        std::vector<py::object> handlers = it->second;  // a handler may change the list
        for (auto& h : handlers) call(*event, h, *params);
        return S_OK;
    }

    void add(DISPID id, py::object handler) { m_handlers[id].push_back(std::move(handler)); }
    // Removes one handler, or every handler of the event when `handler` is None.
    void remove(DISPID id, const py::object& handler) {
        auto it = m_handlers.find(id);
        if (it == m_handlers.end()) return;
        if (handler.is_none())
            m_handlers.erase(it);
        else
            std::erase_if(it->second, [&](const py::object& h) { return h.is(handler); });
    }
    void clear() { m_handlers.clear(); }

  private:
    static void call(const com::MemberInfo& event, const py::object& handler, DISPPARAMS& p) {
        size_t n = event.params.size();
        if (p.cArgs != n) return;
        // rgvarg is in reverse order; each is a reference to the control's value.
        std::vector<VARIANT*> args(n);
        for (size_t i = 0; i < n; ++i) {
            VARIANT& a = p.rgvarg[n - 1 - i];
            args[i] = a.vt == (VT_BYREF | VT_VARIANT) ? a.pvarVal : &a;
        }
        try {
            py::list values;
            for (size_t i = 0; i < n; ++i)
                values.append(to_python(*args[i], event.params[i].enumeration));
            py::object result = handler(*py::tuple(values));
            take_back(event, result, args);
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable(handler);
        } catch (const std::exception& e) {
            PyErr_SetString(PyExc_RuntimeError, e.what());
            PyErr_WriteUnraisable(handler.ptr());
        }
    }

    static void take_back(const com::MemberInfo& event, const py::object& result,
                          const std::vector<VARIANT*>& args) {
        if (result.is_none()) return;
        auto set = [&](size_t i, py::handle v) {
            if (event.params[i].by_ref) *args[i] = to_variant(v, event.params[i]);
        };
        if (py::isinstance<py::dict>(result)) {
            for (auto [key, value] : result.cast<py::dict>()) {
                std::string name = py::str(key);
                size_t i = 0;
                while (i < args.size() && !com::iequals(event.params[i].name, name)) ++i;
                if (i == args.size())
                    throw py::value_error(event.name + " has no argument '" + name + "'");
                set(i, value);
            }
        } else if (py::isinstance<py::tuple>(result) && py::len(result) == args.size()) {
            py::tuple t = result.cast<py::tuple>();
            for (size_t i = 0; i < args.size(); ++i) set(i, t[i]);
        } else if (args.size() == 1) {
            set(0, result);
        } else {
            throw py::type_error(event.name + ": a handler returns None, a dict or a tuple of " +
                                 std::to_string(args.size()) + " values");
        }
    }

    std::map<DISPID, std::vector<py::object>> m_handlers;
};

// The Python handlers told the name of each property put, as the viewer's
// IPropertyNotifySink; an exception in one is reported like one in an event handler.
class PropertySink final : public RefCounted<IPropertyNotifySink> {
  public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IPropertyNotifySink)) return E_NOINTERFACE;
        *out = static_cast<IPropertyNotifySink*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT OnChanged(DISPID id) override {
        py::gil_scoped_acquire gil;
        const com::MemberInfo* m = com::lumviewer_interface().find(id);
        std::string name = m ? m->name : std::to_string(id);
        std::vector<py::object> handlers = m_handlers;  // a handler may change the list
        for (auto& h : handlers) {
            try {
                h(name);
            } catch (py::error_already_set& e) {
                e.discard_as_unraisable(h);
            }
        }
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID) override { return S_OK; }

    void add(py::object handler) { m_handlers.push_back(std::move(handler)); }
    void remove(const py::object& handler) {
        if (handler.is_none())
            m_handlers.clear();
        else
            std::erase_if(m_handlers, [&](const py::object& h) { return h.is(handler); });
    }

  private:
    std::vector<py::object> m_handlers;
};

struct Viewer : Control {
    explicit Viewer(Control c) : Control(std::move(c)) {}
    ComPtr<EventSink> sink;
    DWORD cookie = 0;
    ComPtr<PropertySink> changes;
    DWORD changes_cookie = 0;

    LumViewer& control() const {
        LumViewer* v = com::viewer_of(object.get());
        if (!v) raise_com_error(E_UNEXPECTED, 0, "not a viewer");
        return *v;
    }
    HWND window() const { return control().hwnd(); }
};

DISPID event_id(const std::string& name) {
    const com::MemberInfo* e = com::lumviewer_events().find(name);
    if (!e) throw py::value_error("LumViewer has no event '" + name + "'");
    return e->dispid;
}

// Not an event of the control: the property browser's notification, by property name.
constexpr const char* kPropertyChanged = "PropertyChanged";

ComPtr<IConnectionPoint> connection_point(const Viewer& v, const IID& iid) {
    auto container = ComPtr<IDispatch>(v.object.get())
                         .query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (!container || FAILED(container->FindConnectionPoint(iid, point.put())))
        raise_com_error(E_NOINTERFACE, 0, "the viewer has no connection point");
    return point;
}

void on(Viewer& v, const std::string& name, py::object handler) {
    if (!PyCallable_Check(handler.ptr())) throw py::type_error("the handler is not callable");
    if (name == kPropertyChanged) {
        if (!v.changes) {
            auto sink = ComPtr<PropertySink>::adopt(new PropertySink);
            check(connection_point(v, IID_IPropertyNotifySink)
                      ->Advise(static_cast<IPropertyNotifySink*>(sink.get()), &v.changes_cookie),
                  "Advise");
            v.changes = sink;
        }
        v.changes->add(std::move(handler));
        return;
    }
    DISPID id = event_id(name);
    if (!v.sink) {
        auto sink = ComPtr<EventSink>::adopt(new EventSink);
        check(connection_point(v, com::lumviewer_events().iid)
                  ->Advise(static_cast<IDispatch*>(sink.get()), &v.cookie),
              "Advise");
        v.sink = sink;
    }
    v.sink->add(id, std::move(handler));
}

void off(Viewer& v, py::object name, py::object handler) {
    bool all = name.is_none();
    if (v.changes && (all || name.cast<std::string>() == kPropertyChanged))
        v.changes->remove(all ? py::none() : handler);
    if (!all && name.cast<std::string>() == kPropertyChanged) return;
    if (!v.sink) return;
    if (all)
        v.sink->clear();
    else
        v.sink->remove(event_id(name.cast<std::string>()), handler);
}

py::tuple window_pixels(const Viewer& v) {
    win::WindowPixels px;
    if (!win::GetWindowPixels(v.window(), &px)) raise_com_error(E_FAIL, 0, "no window");
    return py::make_tuple(px.width, px.height,
                          py::bytes(reinterpret_cast<const char*>(px.bgra.data()), px.bgra.size()));
}

py::dict part_info(const Viewer& v, const std::string& name) {
    HWND h = v.control().part(name);
    if (!h) throw py::value_error("the viewer has no part '" + name + "'");
    win::WindowBounds b;
    win::GetWindowBounds(h, &b);
    py::dict d;
    d["visible"] = IsWindowVisible(h) != FALSE;
    d["bounds"] = py::make_tuple(b.x, b.y, b.width, b.height);
    d["focused"] = GetFocus() == h;
    win::ScrollBarValues sb;
    if (win::GetScrollBarValues(h, &sb)) {
        d["min"] = sb.min, d["max"] = sb.max, d["value"] = sb.value;
        d["small_change"] = sb.small_change, d["large_change"] = sb.large_change;
    }
    return d;
}

void persist(const Viewer& v, const std::string& path, bool save) {
    ComPtr<IPropertyBag> bag;
    check(ole::CreateFilePropertyBag(path, bag.put()), "CreateFilePropertyBag");
    auto persist =
        ComPtr<IDispatch>(v.object.get()).query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) raise_com_error(E_NOINTERFACE, 0, "the viewer does not persist");
    if (!save) {
        check(persist->Load(bag.get(), nullptr), "Load");
        return;
    }
    check(persist->Save(bag.get(), TRUE, TRUE), "Save");
    HRESULT hr = ole::SaveFilePropertyBag(bag.get());
    if (FAILED(hr))
        raise_com_error(hr, 0, "the property bag could not be written: " + win::GetErrorDetail());
}

// A size out of range is a ValueError; a surface that cannot be had, a MemoryError.
void resize_window(HWND window, int width, int height) {
    if (width < 0 || height < 0 || width > 32767 || height > 32767)
        throw py::value_error("the window size must be 0 to 32767 pixels each way");
    if (!win::ResizeWindow(window, width, height)) {
        PyErr_SetString(PyExc_MemoryError, win::GetErrorDetail().c_str());
        throw py::error_already_set();
    }
}

Viewer make_viewer(int width, int height) {
    const com::CoclassInfo* c = com::type_library().find_prog_id("LumTwainPro.LumViewer");
    Viewer v(create_control(*c));
    resize_window(v.window(), width, height);
    return v;
}

void check_input(BOOL ok) {
    if (!ok) raise_com_error(E_FAIL, 0, "the window takes no input (disabled or gone)");
}

}  // namespace

void register_viewer(py::module_& m) {
    using py::arg;
    py::class_<Viewer, Control>(m, "LumViewerControl")
        .def("window_pixels", &window_pixels,
             "The window as a host shows it: (width, height, BGRA bytes, top row first).")
        .def("part", &part_info, arg("name"),
             "State of a constituent part: HScroll, VScroll, shCorner or shRect.")
        .def("menu_item",
             [](const Viewer& v, const std::string& name) {
                 bool checked = false, enabled = false;
                 std::string caption;
                 if (!v.control().menu_state(name, &checked, &enabled, &caption))
                     throw py::value_error("the viewer's menu has no item '" + name + "'");
                 return py::make_tuple(caption, checked, enabled);
             })
        .def("on", &on, arg("event"), arg("handler"), "Calls handler(*arguments) on the event.")
        .def("off", &off, arg("event") = py::none(), arg("handler") = py::none(),
             "Removes a handler, the event's handlers, or every handler.")
        .def(
            "mouse_down",
            [](const Viewer& v, int x, int y, int button, int shift) {
                check_input(win::SendMouseDown(v.window(), button, shift, x, y));
            },
            arg("x"), arg("y"), arg("button") = 1, arg("shift") = 0)
        .def(
            "mouse_move",
            [](const Viewer& v, int x, int y, int buttons, int shift) {
                check_input(win::SendMouseMove(v.window(), buttons, shift, x, y));
            },
            arg("x"), arg("y"), arg("buttons") = 0, arg("shift") = 0)
        .def(
            "mouse_up",
            [](const Viewer& v, int x, int y, int button, int shift) {
                check_input(win::SendMouseUp(v.window(), button, shift, x, y));
            },
            arg("x"), arg("y"), arg("button") = 1, arg("shift") = 0)
        .def(
            "double_click",
            [](const Viewer& v, int x, int y, int button, int shift) {
                check_input(win::SendDoubleClick(v.window(), button, shift, x, y));
                check_input(win::SendMouseUp(v.window(), button, shift, x, y));
            },
            arg("x"), arg("y"), arg("button") = 1, arg("shift") = 0)
        .def(
            "wheel",
            [](const Viewer& v, int delta, int x, int y, int shift) {
                check_input(win::SendMouseWheel(v.window(), delta, shift, x, y));
            },
            arg("delta") = WHEEL_DELTA, arg("x") = 0, arg("y") = 0, arg("shift") = 0)
        .def(
            "key_down",
            [](const Viewer& v, int code, int shift) {
                check_input(win::SendKeyDown(v.window(), code, shift));
            },
            arg("code"), arg("shift") = 0)
        .def(
            "key_up",
            [](const Viewer& v, int code, int shift) {
                check_input(win::SendKeyUp(v.window(), code, shift));
            },
            arg("code"), arg("shift") = 0)
        .def(
            "key",
            [](const Viewer& v, int code, int shift) {
                check_input(win::SendKeyDown(v.window(), code, shift));
                check_input(win::SendKeyUp(v.window(), code, shift));
            },
            arg("code"), arg("shift") = 0)
        .def(
            "key_press",
            [](const Viewer& v, int character) {
                check_input(win::SendChar(v.window(), character));
            },
            arg("character"))
        .def(
            "resize",
            [](const Viewer& v, int width, int height) {
                resize_window(v.window(), width, height);
            },
            arg("width"), arg("height"))
        .def(
            "drop_files",
            [](const Viewer& v, const std::vector<std::string>& files, int x, int y) {
                return win::DropFiles(v.window(), files, x, y) != FALSE;
            },
            arg("files"), arg("x") = 0, arg("y") = 0,
            "Drops files on the window; False when it does not accept drops (ViewerDrop).")
        .def(
            "save_properties",
            [](const Viewer& v, const std::string& path) { persist(v, path, true); }, arg("path"),
            "Writes the persisted properties to a property bag file.")
        .def(
            "load_properties",
            [](const Viewer& v, const std::string& path) { persist(v, path, false); }, arg("path"),
            "Reads the persisted properties from a property bag file.")
        .def_property_readonly("window", [](const Viewer& v) { return v.window(); });

    m.def("LumViewer", &make_viewer, arg("width") = 320, arg("height") = 240,
          "Creates a viewer control in a headless window of that inner size.");
    m.def("advance_clock", &win::AdvanceClock, arg("ms"),
          "Moves this thread's clock forward and fires the timers that fall due; returns how "
          "many fired.");
    m.def("clock", &win::ClockNow, "This thread's clock in milliseconds.");
    m.def("pump_messages", &win::PumpMessages, "Dispatches the messages posted on this thread.");
}

}  // namespace lumpy
