// Input as calls: a host's mouse, wheel, key, resize and drop calls become the platform's
// messages to the window under the pointer, the capturing window or the focused window.
#include <algorithm>

#include "platform/win/window_p.h"

namespace win {

namespace {

// The innermost visible, enabled child under (x, y) (coordinates of `w`), or `w` itself.
// Shapes take no input.
Window* hit_test(Window* w, int x, int y) {
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Window* c = find_window(*it);
        if (!c || !c->visible || c->builtin == BuiltinClass::Shape) continue;
        if (x < c->x || y < c->y || x >= c->x + c->width || y >= c->y + c->height) continue;
        if (!c->enabled) return w;
        return hit_test(c, x - c->x, y - c->y);
    }
    return w;
}

WPARAM mouse_keys(const WindowThread& t) {
    WPARAM k = 0;
    if (t.buttons & kButtonLeft) k |= MK_LBUTTON;
    if (t.buttons & kButtonRight) k |= MK_RBUTTON;
    if (t.buttons & kButtonMiddle) k |= MK_MBUTTON;
    if (t.shift & kShiftMask) k |= MK_SHIFT;
    if (t.shift & kCtrlMask) k |= MK_CONTROL;
    return k;
}

UINT button_message(int button, int kind) {  // kind 0 down, 1 up, 2 double click
    UINT base = button == kButtonRight    ? WM_RBUTTONDOWN
                : button == kButtonMiddle ? WM_MBUTTONDOWN
                                          : WM_LBUTTONDOWN;
    return base + UINT(kind);
}

bool valid_button(int button) {
    return button == kButtonLeft || button == kButtonRight || button == kButtonMiddle;
}

// The top-level window that takes input, or null when it is missing or disabled.
Window* input_window(HWND window) {
    Window* w = find_window(window);
    return w && w->enabled && !w->parent ? w : nullptr;
}

// Sends a mouse message to the capturing window, else to the window under the point, in
// the receiver's coordinates.
void route_mouse(Window* top, UINT message, int x, int y) {
    WindowThread& t = window_thread();
    Window* target = nullptr;
    if (Window* c = find_window(t.capture); c && top_level(c) == top) target = c;
    if (!target) target = hit_test(top, x, y);
    POINT o = offset_in_top(target);
    SendMessageA(target->handle, message, mouse_keys(t), MAKELPARAM(x - o.x, y - o.y));
}

BOOL press(HWND window, int button, int shift, int x, int y, int kind) {
    Window* top = input_window(window);
    if (!top || !valid_button(button)) return FALSE;
    WindowThread& t = window_thread();
    t.shift = shift;
    t.buttons |= button;
    if (!GetCapture()) {
        Window* under = hit_test(top, x, y);
        t.capture = under->handle;
    }
    UINT message = button_message(button, kind);
    if (kind == 2) {
        Window* target = find_window(t.capture);
        if (target && !(target->class_style & CS_DBLCLKS)) message = button_message(button, 0);
    }
    route_mouse(top, message, x, y);
    return TRUE;
}

HWND key_target(Window* top) {
    HWND focus = GetFocus();
    if (focus && top_level(find_window(focus)) == top) return focus;
    return top->handle;
}

}  // namespace

BOOL SendMouseDown(HWND window, int button, int shift, int x, int y) {
    return press(window, button, shift, x, y, 0);
}

BOOL SendDoubleClick(HWND window, int button, int shift, int x, int y) {
    return press(window, button, shift, x, y, 2);
}

BOOL SendMouseUp(HWND window, int button, int shift, int x, int y) {
    Window* top = input_window(window);
    if (!top || !valid_button(button)) return FALSE;
    WindowThread& t = window_thread();
    t.shift = shift;
    t.buttons &= ~button;
    route_mouse(top, button_message(button, 1), x, y);
    if (t.buttons == 0) t.capture = 0;
    return TRUE;
}

BOOL SendMouseMove(HWND window, int buttons, int shift, int x, int y) {
    Window* top = input_window(window);
    if (!top) return FALSE;
    WindowThread& t = window_thread();
    t.shift = shift;
    t.buttons = buttons & (kButtonLeft | kButtonRight | kButtonMiddle);
    if (t.buttons == 0) t.capture = 0;
    route_mouse(top, WM_MOUSEMOVE, x, y);
    return TRUE;
}

BOOL SendMouseWheel(HWND window, int delta, int shift, int x, int y) {
    Window* top = input_window(window);
    if (!top) return FALSE;
    WindowThread& t = window_thread();
    t.shift = shift;
    delta = std::clamp(delta, -32768, 32767);
    WPARAM w = mouse_keys(t) | (WPARAM(uint16_t(int16_t(delta))) << 16);
    SendMessageA(top->handle, WM_MOUSEWHEEL, w, MAKELPARAM(x, y));
    return TRUE;
}

BOOL SendKeyDown(HWND window, int key_code, int shift) {
    Window* top = input_window(window);
    if (!top) return FALSE;
    window_thread().shift = shift;
    SendMessageA(key_target(top), WM_KEYDOWN, WPARAM(key_code & 0xFFFF), 1);
    return TRUE;
}

BOOL SendKeyUp(HWND window, int key_code, int shift) {
    Window* top = input_window(window);
    if (!top) return FALSE;
    window_thread().shift = shift;
    SendMessageA(key_target(top), WM_KEYUP, WPARAM(key_code & 0xFFFF), LPARAM(0xC0000001u));
    return TRUE;
}

BOOL SendChar(HWND window, int character) {
    Window* top = input_window(window);
    if (!top) return FALSE;
    SendMessageA(key_target(top), WM_CHAR, WPARAM(character & 0xFFFF), 1);
    return TRUE;
}

BOOL ResizeWindow(HWND window, int width, int height) {
    Window* w = find_window(window);
    if (!w || w->parent || width < 0 || height < 0 || width > 32767 || height > 32767) return FALSE;
    return MoveWindow(window, 0, 0, width, height, TRUE);
}

BOOL DropFiles(HWND window, const std::vector<std::string>& files, int x, int y) {
    Window* top = input_window(window);
    if (!top || top->props[int(WindowProperty::OleDropMode)] != 1) return FALSE;
    DROPFILESLIST list{files, POINT{x, y}};
    SendMessageA(window, WM_DROPFILES, WPARAM(&list), 0);
    return TRUE;
}

}  // namespace win
