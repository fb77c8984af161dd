// Windows: classes, creation and destruction, window procedures and messages, state, focus
// and capture, properties and pictures.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/win/window_p.h"

namespace win {

namespace {

std::string upper(const char* s) {
    std::string out = s ? s : "";
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Classes every thread has.
void register_builtins(WindowThread& t) {
    auto add = [&](const char* name, WNDPROC proc, UINT style) {
        WNDCLASSA wc;
        wc.style = style;
        wc.lpfnWndProc = proc;
        wc.lpszClassName = name;
        t.classes[name] = wc;
    };
    add("SCROLLBAR", scrollbar_proc, 0);
    add("STATIC", static_proc, 0);
    add("LUMSHAPE", shape_proc, 0);
}

BuiltinClass builtin_of(const std::string& name) {
    if (name == "SCROLLBAR") return BuiltinClass::ScrollBar;
    if (name == "STATIC") return BuiltinClass::Static;
    if (name == "LUMSHAPE") return BuiltinClass::Shape;
    return BuiltinClass::None;
}

// A top-level window's surface: a 32-bit top-down bitmap selected into a memory DC.
bool make_surface(Window& w, int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = std::max(width, 1);
    bi.bmiHeader.biHeight = -std::max(height, 1);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(0, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    if (!bm) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SetErrorDetail("a 32-bit surface of " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels could not be allocated");
        return false;
    }
    if (!w.dc) w.dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(w.dc, bm);
    if (!old) {
        DeleteObject(bm);
        return false;
    }
    if (w.bitmap) DeleteObject(w.bitmap);
    w.bitmap = bm;
    return true;
}

// Keeps the overlapping part of the old surface; the rest gets the background.
bool resize_surface(Window& w, int width, int height) {
    Surface before;
    std::vector<uint8_t> keep;
    int kw = 0, kh = 0;
    if (GetSurface(w.dc, &before)) {
        kw = std::min(before.width, width);
        kh = std::min(before.height, height);
        keep.resize(size_t(std::max(kw, 0)) * 4 * size_t(std::max(kh, 0)));
        for (int y = 0; y < kh; ++y)
            std::memcpy(keep.data() + size_t(y) * kw * 4,
                        before.scan0 + ptrdiff_t(y) * before.stride, size_t(kw) * 4);
    }
    if (!make_surface(w, width, height)) return false;
    repaint_background(w);
    Surface after;
    if (GetSurface(w.dc, &after))
        for (int y = 0; y < kh; ++y)
            std::memcpy(after.scan0 + ptrdiff_t(y) * after.stride, keep.data() + size_t(y) * kw * 4,
                        size_t(kw) * 4);
    return true;
}

void forget_window(WindowThread& t, HWND h) {
    if (t.focus == h) t.focus = 0;
    if (t.capture == h) {
        t.capture = 0;
        t.buttons = 0;
    }
    std::erase_if(t.timers, [h](const TimerEntry& e) { return e.window == h; });
}

}  // namespace

Window::~Window() {
    if (dc) DeleteDC(dc);
    if (bitmap) DeleteObject(bitmap);
}

WindowThread& window_thread() {
    thread_local WindowThread t = [] {
        WindowThread n;
        register_builtins(n);
        return n;
    }();
    return t;
}

platform::HandleTable<Window>& windows() {
    return platform::thread_table<Window>(platform::HandleKind::Window);
}

Window* find_window(HWND handle) {
    Window* w = windows().find(handle);
    return w && !w->destroying ? w : nullptr;
}

Window* top_level(Window* w) {
    while (w && w->parent) w = windows().find(w->parent);
    return w;
}

POINT offset_in_top(const Window* w) {
    POINT p{0, 0};
    while (w && w->parent) {
        p.x += w->x;
        p.y += w->y;
        w = windows().find(w->parent);
    }
    return p;
}

HDC window_dc(HWND window) {
    Window* w = top_level(find_window(window));
    return w ? w->dc : 0;
}

void SetHostHooks(HostHooks hooks) {
    window_thread().hooks = std::move(hooks);
}

size_t WindowCount() {
    return windows().size();
}

}  // namespace win

using namespace win;

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || !*wc->lpszClassName) return 0;
    WindowThread& t = window_thread();
    std::string name = upper(wc->lpszClassName);
    if (t.classes.count(name)) return 0;  // ERROR_CLASS_ALREADY_EXISTS on the platform
    t.class_names.push_back(name);
    WNDCLASSA copy = *wc;
    copy.lpszClassName = nullptr;  // looked up by the map key
    t.classes[name] = copy;
    return ATOM(t.classes.size());
}

HWND CreateWindowExA(DWORD, const char* class_name, const char*, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE, void* param) {
    WindowThread& t = window_thread();
    auto cls = t.classes.find(upper(class_name));
    if (cls == t.classes.end()) return 0;
    Window* p = parent ? find_window(parent) : nullptr;
    if (parent && !p) return 0;
    auto w = std::make_unique<Window>();
    w->parent = parent;
    w->class_name = cls->first;
    w->builtin = builtin_of(cls->first);
    w->class_style = cls->second.style;
    w->proc = cls->second.lpfnWndProc;
    w->style = style;
    w->id = LONG_PTR(menu);
    w->x = parent ? x : 0;
    w->y = parent ? y : 0;
    w->width = std::max(width, 0);
    w->height = std::max(height, 0);
    w->enabled = !(style & WS_DISABLED);
    w->visible = !parent || (style & WS_VISIBLE);
    if (w->builtin == BuiltinClass::ScrollBar) w->bar.max = 32767;
    if (!parent) {
        if (!make_surface(*w, w->width, w->height)) return 0;
        repaint_background(*w);
    }
    HWND h = windows().insert(std::move(w));
    if (!h) return 0;
    Window* made = windows().find(h);
    made->handle = h;
    if (p) p->children.push_back(h);
    SendMessageA(h, WM_CREATE, 0, LPARAM(param));
    return IsWindow(h) ? h : 0;
}

BOOL DestroyWindow(HWND window) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    std::vector<HWND> children = w->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) DestroyWindow(*it);
    SendMessageA(window, WM_DESTROY, 0, 0);
    w = windows().find(window);
    if (!w) return TRUE;
    w->destroying = true;
    if (Window* p = windows().find(w->parent)) std::erase(p->children, window);
    forget_window(window_thread(), window);
    windows().erase(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return find_window(window) != nullptr;
}

HWND GetParent(HWND window) {
    Window* w = find_window(window);
    return w ? w->parent : 0;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return proc ? proc(window, message, wparam, lparam) : 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Window* w = find_window(window);
    if (!w) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
        case GWLP_WNDPROC:
            old = LONG_PTR(w->proc);
            if (value) w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_USERDATA:
            old = std::exchange(w->user_data, value);
            break;
        case GWL_ID:
            old = std::exchange(w->id, value);
            break;
        case GWL_STYLE:
            old = LONG_PTR(std::exchange(w->style, DWORD(value)));
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    Window* w = find_window(window);
    if (!w) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return LONG_PTR(w->proc);
        case GWLP_USERDATA:
            return w->user_data;
        case GWL_ID:
            return w->id;
        case GWL_STYLE:
            return LONG_PTR(w->style);
        default:
            return 0;
    }
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = windows().find(window);
    // WM_DESTROY still reaches a window being destroyed.
    if (!w || (w->destroying && message != WM_DESTROY)) return 0;
    WNDPROC proc = w->proc;  // the window may go away inside its procedure
    return proc ? proc(window, message, wparam, lparam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window && !find_window(window)) return FALSE;
    window_thread().posted.push_back({window, message, wparam, lparam});
    return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    bool was_disabled = !w->enabled;
    if (w->enabled != (enable != FALSE)) {
        w->enabled = enable != FALSE;
        if (!w->enabled) {
            WindowThread& t = window_thread();
            if (t.capture == window) ReleaseCapture();
            if (t.focus == window) t.focus = 0;
        }
        SendMessageA(window, WM_ENABLE, WPARAM(enable != FALSE), 0);
    }
    return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    Window* w = find_window(window);
    return w && w->enabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    bool was = w->visible;
    w->visible = command != SW_HIDE;
    if (was != w->visible) InvalidateRect(window, nullptr, FALSE);
    return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    Window* w = find_window(window);
    return w && w->visible ? TRUE : FALSE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    width = std::max(width, 0);
    height = std::max(height, 0);
    bool resized = width != w->width || height != w->height;
    if (!w->parent && resized && !resize_surface(*w, width, height)) return FALSE;
    if (w->parent) {
        w->x = x;
        w->y = y;
    }
    w->width = width;
    w->height = height;
    if (resized) SendMessageA(window, WM_SIZE, 0, MAKELPARAM(width, height));
    if (repaint) InvalidateRect(window, nullptr, FALSE);
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Window* w = find_window(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->width, w->height};
    return TRUE;
}

HWND SetFocus(HWND window) {
    WindowThread& t = window_thread();
    HWND old = t.focus;
    if (window) {
        Window* w = find_window(window);
        if (!w || !w->enabled) return 0;
    }
    if (old == window) return old;
    t.focus = window;
    if (old) SendMessageA(old, WM_KILLFOCUS, WPARAM(window), 0);
    if (window) SendMessageA(window, WM_SETFOCUS, WPARAM(old), 0);
    return old;
}

HWND GetFocus() {
    WindowThread& t = window_thread();
    if (t.focus && !find_window(t.focus)) t.focus = 0;
    return t.focus;
}

HWND SetCapture(HWND window) {
    WindowThread& t = window_thread();
    if (!find_window(window)) return 0;
    return std::exchange(t.capture, window);
}

BOOL ReleaseCapture() {
    WindowThread& t = window_thread();
    t.capture = 0;
    return TRUE;
}

HWND GetCapture() {
    WindowThread& t = window_thread();
    if (t.capture && !find_window(t.capture)) t.capture = 0;
    return t.capture;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    Window* top = top_level(find_window(window));
    if (!top) return FALSE;
    if (auto& hook = window_thread().hooks.invalidated) hook(top->handle);
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    return IsWindow(window);
}

SHORT GetKeyState(int virtual_key) {
    int s = window_thread().shift;
    bool down = (virtual_key == VK_SHIFT && (s & kShiftMask)) ||
                (virtual_key == VK_CONTROL && (s & kCtrlMask)) ||
                (virtual_key == VK_MENU && (s & kAltMask));
    return down ? SHORT(0x8000) : SHORT(0);
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
            return 17;
        default:
            return 0;
    }
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = 0;
    return TRUE;
}

namespace win {

BOOL SetWindowProperty(HWND window, WindowProperty property, int32_t value) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    int32_t& slot = w->props[int(property)];
    if (slot == value) return TRUE;
    slot = value;
    if (property == WindowProperty::MousePointer) {
        if (auto& hook = window_thread().hooks.pointer_changed) hook(window, value);
    }
    return TRUE;
}

int32_t GetWindowProperty(HWND window, WindowProperty property) {
    Window* w = find_window(window);
    return w ? w->props[int(property)] : 0;
}

BOOL SetWindowPicture(HWND window, WindowPicture which, ComPtr<IPicture> picture) {
    Window* w = find_window(window);
    if (!w) return FALSE;
    w->pictures[int(which)] = std::move(picture);
    if (which == WindowPicture::Picture && w->dc) repaint_background(*w);
    if (which != WindowPicture::MouseIcon) InvalidateRect(window, nullptr, FALSE);
    return TRUE;
}

ComPtr<IPicture> GetWindowPicture(HWND window, WindowPicture which) {
    Window* w = find_window(window);
    return w ? w->pictures[int(which)] : ComPtr<IPicture>();
}

BOOL ClearWindowSurface(HWND window) {
    Window* w = top_level(find_window(window));
    if (!w) return FALSE;
    repaint_background(*w);
    InvalidateRect(window, nullptr, FALSE);
    return TRUE;
}

BOOL GetWindowBounds(HWND window, WindowBounds* out) {
    Window* w = find_window(window);
    if (!w || !out) return FALSE;
    *out = WindowBounds{w->x, w->y, w->width, w->height};
    return TRUE;
}

BOOL SetShapeStyle(HWND shape, const ShapeStyle& style) {
    Window* w = find_window(shape);
    if (!w || w->builtin != BuiltinClass::Shape) return FALSE;
    w->shape = style;
    InvalidateRect(shape, nullptr, FALSE);
    return TRUE;
}

BOOL GetShapeStyle(HWND shape, ShapeStyle* out) {
    Window* w = find_window(shape);
    if (!w || w->builtin != BuiltinClass::Shape || !out) return FALSE;
    *out = w->shape;
    return TRUE;
}

}  // namespace win
