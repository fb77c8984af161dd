// LumViewer: start and termination, the window and its constituent parts, the window
// procedure that turns messages into the control's handlers, and the messages it shows.
#include <cstdio>

#include "net/cInet.h"
#include "platform/win/window_p.h"
#include "viewer/viewer_p.h"

namespace viewer {

namespace {
constexpr const char* kWindowClass = "LumViewerWindow";
constexpr const char* kCaption = "LumViewer";
constexpr int kDesignWidth = 320;
constexpr int kDesignHeight = 240;
}  // namespace

void show_error(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), kCaption, MB_ICONERROR);
}
void show_plain(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), kCaption, MB_OK);
}

ThreadMarks& marks() {
    thread_local ThreadMarks m;
    return m;
}

namespace {

LumViewer::State* state_of(HWND window) {
    return reinterpret_cast<LumViewer::State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

int16_t shift_state() {
    int16_t s = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) s |= 1;
    if (GetKeyState(VK_CONTROL) & 0x8000) s |= 2;
    if (GetKeyState(VK_MENU) & 0x8000) s |= 4;
    return s;
}

int16_t button_of(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return 2;
        default:
            return 4;
    }
}

int16_t held_buttons(WPARAM w) {
    return int16_t(((w & MK_LBUTTON) ? 1 : 0) | ((w & MK_RBUTTON) ? 2 : 0) |
                   ((w & MK_MBUTTON) ? 4 : 0));
}

bool mouse_message(UINT m, LumViewer::State& s, WPARAM w, LPARAM l) {
    float x = float(GET_X_LPARAM(l)), y = float(GET_Y_LPARAM(l));
    switch (m) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            s.OnMouseDown(button_of(m), shift_state(), x, y);
            return true;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            s.OnMouseUp(button_of(m), shift_state(), x, y);
            return true;
        case WM_MOUSEMOVE:
            s.OnMouseMove(held_buttons(w), shift_state(), x, y);
            return true;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            s.click_pending = false;
            s.raise([](LumViewerEvents& e) { e.DblClickControl(); });
            return true;
        default:
            return false;
    }
}

}  // namespace

}  // namespace viewer

using namespace viewer;

LRESULT LumViewer::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    State* s = state_of(window);
    if (!s || s->terminated) return DefWindowProcA(window, message, wparam, lparam);
    switch (message) {
        case WM_SIZE:
            s->OnResize();
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            s->OnScrollChange(HWND(lparam));
            return 0;
        case WM_TIMER:
            if (wparam == State::kQualityTimer) s->OnQualityTimer();
            return 0;
        case WM_KEYDOWN:
            s->OnKeyDown(int16_t(wparam), shift_state());
            return 0;
        case WM_KEYUP:
            s->OnKeyUp(int16_t(wparam), shift_state());
            return 0;
        case WM_CHAR:
            s->OnChar(int16_t(wparam));
            return 0;
        case WM_DROPFILES:
            if (wparam) s->OnDrop(*reinterpret_cast<const DROPFILESLIST*>(wparam));
            return 0;
        case WM_DESTROY:
            s->Terminate();
            return 0;
        default:
            if (mouse_message(message, *s, wparam, lparam)) return 0;
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

void LumViewer::State::Fail(const char* prefix, const std::string& what) {
    last_status = ViewerGenericError;
    if (!silent) show_plain(window, prefix + what);
}

void LumViewer::State::Start() {
    modGdiplus::EngineStartup();
    http_buffer_size = 1024;
    ftp_passive = true;
    menu.enable("mnplaygif", false);
    menu.enable("mnstopgif", false);
    // The image state of a control that shows nothing; alignment pending, layout ready.
    image_width = image_height = 0;
    horizontal_resolution = vertical_resolution = 0;
    image_left = image_top = displayed_width = displayed_height = 0;
    num_pages = current_page = 0;
    last_status = 0;
    source_kind = 0;
    aspect = max_zoom = 1.0;
    h_align_pending = v_align_pending = layout_ready = true;
    wheel_hook = false;
    current = display_copy = 0;
    std::string folder = win::GetTempFolder();
    temp_copy_path = folder + std::to_string(window);
    temp_pdf_path = temp_copy_path + ".pdf";
    temp_copy_in_use = false;
    self.ClearRect();
    RefreshZoomMenu();
    RefreshMouseMenu();
    RefreshQualityMenu();
    UpdateScrollBars();
    OSVERSIONINFOA info;
    platform_id = GetVersionExA(&info) ? int32_t(info.dwPlatformId) : 0;
}

void LumViewer::State::Terminate() {
    if (terminated) return;
    if (platform_id != 1) RemoveWheelHook();
    ClosePdfDocument();
    KillAnimationTimer();
    SetQualityTimer(false);
    // The host owns the displayed image; the control owns only its display copy.
    ReleaseDisplayCopy();
    current = 0;
    modGdiplus::EngineShutdown();
    terminated = true;
}

void LumViewer::State::OnResize() {
    int w = inner_width(), h = inner_height();
    if (w <= 0 || h <= 0) return;
    int bw = bar_width(), bh = bar_height();
    win::WindowBounds v, hb;
    win::GetWindowBounds(hscroll, &hb);
    if (h - bh > 0) {
        MoveWindow(vscroll, w - bw, 0, bw, h - bh, TRUE);
        MoveWindow(hscroll, 0, h - bh, hb.width, bh, TRUE);
    }
    win::GetWindowBounds(hscroll, &hb);
    if (w - bw > 0) MoveWindow(hscroll, hb.x, hb.y, w - bw, bh, TRUE);
    win::GetWindowBounds(vscroll, &v);
    win::GetWindowBounds(hscroll, &hb);
    MoveWindow(corner, v.x, hb.y, bw, bh, TRUE);
    LayoutImage();
    ComputeMaxZoom();
    raise([](LumViewerEvents& e) { e.ResizeControl(); });
}

LumViewer::LumViewer() : m(std::make_unique<State>(*this)) {
    WNDCLASSA wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &LumViewer::WindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // once per thread; later calls find it registered
    m->window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, kDesignWidth, kDesignHeight, 0, 0,
                                nullptr, nullptr);
    SetWindowLongPtrA(m->window, GWLP_USERDATA, LONG_PTR(m.get()));
    int bw = GetSystemMetrics(SM_CXVSCROLL), bh = GetSystemMetrics(SM_CYHSCROLL);
    auto child = [&](const char* cls, DWORD style, int x, int y, int w, int h) {
        return CreateWindowExA(0, cls, "", WS_CHILD | style, x, y, w, h, m->window, 0, nullptr,
                               nullptr);
    };
    m->shape = child("LUMSHAPE", WS_VISIBLE, -1, -1, 1, 1);
    m->hscroll = child("SCROLLBAR", SBS_HORZ, 0, kDesignHeight - bh, kDesignWidth - bw, bh);
    m->vscroll = child("SCROLLBAR", SBS_VERT, kDesignWidth - bw, 0, bw, kDesignHeight - bh);
    m->corner = child("STATIC", 0, kDesignWidth - bw, kDesignHeight - bh, bw, bh);
    win::SetScrollBarRange(m->hscroll, 0, 0);
    win::SetScrollBarRange(m->vscroll, 0, 0);
    // Design values of the window: black and opaque, with a single 3D border.
    win::SetWindowProperty(m->window, win::WindowProperty::BackColor, 0);
    win::SetWindowProperty(m->window, win::WindowProperty::BorderStyle, 1);
    win::ClearWindowSurface(m->window);
    if (!m->window || !m->hscroll || !m->vscroll || !m->corner || !m->shape) {
        m->Fail("Init Error: ", "the control's window could not be created");
        return;
    }
    m->Start();
    InitProperties();
}

LumViewer::~LumViewer() {
    m->Terminate();
    if (m->window) {
        SetWindowLongPtrA(m->window, GWLP_USERDATA, 0);
        DestroyWindow(m->window);
    }
}

void LumViewer::SetEventSink(LumViewerEvents* sink) {
    m->events = sink;
}
void LumViewer::Terminate() {
    m->Terminate();
}
double LumViewer::GetVersion() {
    return 4.511;
}
HWND LumViewer::hwnd() const {
    return m->window;
}
int32_t LumViewer::last_status() const {
    return m->last_status;
}
int32_t LumViewer::display_copy() const {
    return int32_t(m->display_copy);
}
int32_t LumViewer::source_kind() const {
    return m->source_kind;
}
bool LumViewer::quality_pass_done() const {
    return m->quality_done;
}

HWND LumViewer::part(const std::string& name) const {
    if (name == "HScroll") return m->hscroll;
    if (name == "VScroll") return m->vscroll;
    if (name == "shCorner") return m->corner;
    if (name == "shRect") return m->shape;
    return 0;
}

bool LumViewer::menu_state(const std::string& item, bool* checked, bool* enabled,
                           std::string* caption) const {
    const MenuItem* i = m->menu.find(item);
    if (!i) return false;
    if (checked) *checked = i->checked;
    if (enabled) *enabled = i->enabled;
    if (caption) *caption = i->caption;
    return true;
}

void LumViewer::Clear() {
    if (m->lock_control) return;
    HWND w = m->window;
    if (win::GetWindowPicture(w, win::WindowPicture::Picture))
        win::SetWindowPicture(w, win::WindowPicture::Picture, nullptr);
    if (win::GetWindowPicture(w, win::WindowPicture::MaskPicture))
        win::SetWindowPicture(w, win::WindowPicture::MaskPicture, nullptr);
    win::ClearWindowSurface(w);
}
