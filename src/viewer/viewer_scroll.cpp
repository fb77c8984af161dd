// Scrolling: the scroll members, the scroll bars' change handling, the displayed area, and
// the mouse wheel turned into the keypad keys 107 and 109 by a hook on the viewer's window.
#include <algorithm>

#include "viewer/viewer_p.h"

using State = LumViewer::State;

namespace {

// The thread's hooked viewer windows, in the order they were hooked.
struct HookEntry {
    HWND window = 0;
    WNDPROC previous = nullptr;
    bool removed = false;
};

std::vector<HookEntry>& hooks() {
    thread_local std::vector<HookEntry> list;
    return list;
}

HookEntry* live_entry(HWND window) {
    for (auto& e : hooks())
        if (e.window == window && !e.removed) return &e;
    return nullptr;
}

LRESULT wheel_hook_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    HookEntry* entry = live_entry(window);
    WNDPROC previous = entry ? entry->previous : &LumViewer::WindowProc;
    viewer::ThreadMarks& mk = viewer::marks();
    if (message == WM_MOUSEWHEEL && IsWindowEnabled(window) && !mk.wheel && !mk.mouse_button &&
        !mk.mouse_move && !mk.key_down && !mk.busy) {
        mk.wheel = true;
        // Forward (away from the user) zooms in: the delta is the high word, signed.
        WPARAM key = int32_t(uint32_t(wparam)) > 0 ? VK_ADD : VK_SUBTRACT;
        if (SendMessageA(window, WM_KEYDOWN, key, 1) == 0)
            SendMessageA(window, WM_KEYUP, key, LPARAM(0xC0000001u));
        mk.wheel = false;
    }
    return CallWindowProcA(previous, window, message, wparam, lparam);
}

}  // namespace

void State::InstallWheelHook() {
    if (!window || wheel_hook) return;
    wheel_hook = true;
    // Hooked whether or not the window is enabled now: the hook itself ignores a disabled
    // window, and a viewer enabled later must get the wheel too.
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&wheel_hook_proc)));
    hooks().push_back(HookEntry{window, previous, false});
}

void State::RemoveWheelHook() {
    if (!wheel_hook) return;
    wheel_hook = false;
    HookEntry* entry = live_entry(window);
    if (!entry) return;
    entry->removed = true;
    WNDPROC previous = entry->previous;
    win::PumpMessages();
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    std::erase_if(hooks(), [this](const HookEntry& e) { return e.window == window && e.removed; });
}

void State::KeypadZoom(int16_t key_code) {
    if (key_code != VK_ADD && key_code != VK_SUBTRACT) return;
    int32_t value = bar_value(vscroll), max = bar_max(vscroll);
    if (key_code == VK_SUBTRACT) {
        if (mouse_wheel_mode == 0)
            self.ZoomOUT();
        else if (mouse_wheel_mode == 1)
            win::SetScrollBarValue(vscroll,
                                   value + scroll_large > max ? max : value + scroll_large);
    } else {
        if (mouse_wheel_mode == 0)
            self.ZoomIN();
        else if (mouse_wheel_mode == 1)
            win::SetScrollBarValue(vscroll, value - scroll_large < 0 ? 0 : value - scroll_large);
    }
}

void State::OnScrollChange(HWND bar) {
    if (!layout_ready || (bar != hscroll && bar != vscroll)) return;
    if (bar == vscroll) {
        v_align_pending = false;
        image_top = -bar_value(vscroll);
    } else {
        h_align_pending = false;
        image_left = -bar_value(hscroll);
    }
    PaintImage();
    raise([](LumViewerEvents& e) { e.ScrollControl(); });
}

int32_t LumViewer::GetHScrollBarMaxPosition() {
    return m->bar_max(m->hscroll);
}
int32_t LumViewer::GetVScrollBarMaxPosition() {
    return m->bar_max(m->vscroll);
}
int32_t LumViewer::GetHScrollBarPosition() {
    return m->bar_value(m->hscroll);
}
int32_t LumViewer::GetVScrollBarPosition() {
    return m->bar_value(m->vscroll);
}

void LumViewer::SetHScrollBarPosition(int32_t nNewHPosition) {
    m->layout_ready = true;
    win::SetScrollBarValue(m->hscroll, std::clamp(nNewHPosition, 0, m->bar_max(m->hscroll)));
}

void LumViewer::SetVScrollBarPosition(int32_t nNewVPosition) {
    m->layout_ready = true;
    win::SetScrollBarValue(m->vscroll, std::clamp(nNewVPosition, 0, m->bar_max(m->vscroll)));
}

void LumViewer::SetHVScrollBarPosition(int32_t nNewHPosition, int32_t nNewVPosition) {
    bool was_locked = m->lock_control;
    m->lock_control = true;
    int32_t h = std::clamp(nNewHPosition, 0, m->bar_max(m->hscroll));
    int32_t v = std::clamp(nNewVPosition, 0, m->bar_max(m->vscroll));
    m->layout_ready = true;
    win::SetScrollBarValue(m->vscroll, v);
    win::SetScrollBarValue(m->hscroll, h);
    if (!was_locked) {
        m->lock_control = false;
        m->PaintImage();
        m->raise([](LumViewerEvents& e) { e.ScrollControl(); });
    }
}

void LumViewer::GetDisplayedArea(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight) {
    nLeft = m->visible[0] + 1;
    nTop = m->visible[1] + 1;
    nWidth = m->visible[2];
    nHeight = m->visible[3];
}

void LumViewer::GetDisplayedAreaMM(float& nLeft, float& nTop, float& nWidth, float& nHeight) {
    if (m->horizontal_resolution > 0) {
        nLeft = float(m->visible[0] / double(m->horizontal_resolution) * 25.4);
        nWidth = float(m->visible[2] / double(m->horizontal_resolution) * 25.4);
    }
    if (m->vertical_resolution > 0) {
        nTop = float(m->visible[1] / double(m->vertical_resolution) * 25.4);
        nHeight = float(m->visible[3] / double(m->vertical_resolution) * 25.4);
    }
}

int32_t LumViewer::GetImageLeft() {
    return m->image_left;
}
int32_t LumViewer::GetImageTop() {
    return m->image_top;
}
