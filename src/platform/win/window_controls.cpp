// The built-in child classes: the scroll bar with its 16-bit values and its mouse handling
// (arrows, track, thumb), the static box and the shape. Keys that reach a child are passed
// to its parent, so that the control that contains them handles the keyboard itself.
#include <algorithm>
#include <cmath>

#include "platform/win/window_p.h"

namespace win {

namespace {

Window* find_bar(HWND bar) {
    Window* w = find_window(bar);
    return w && w->builtin == BuiltinClass::ScrollBar ? w : nullptr;
}

LRESULT forward_keys(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR)
        return SendMessageA(GetParent(window), message, wparam, lparam);
    return 0;
}

// Sets the value from user input; notifies with `code` when it changed.
void user_value(Window& bar, int value, WPARAM code) {
    value = std::clamp(value, int(bar.bar.min), int(bar.bar.max));
    if (value == bar.bar.value) return;
    bar.bar.value = SHORT(value);
    HWND h = bar.handle;
    InvalidateRect(h, nullptr, FALSE);
    notify_bar_parent(h, code);
}

int along(const Window& bar, LPARAM lparam) {
    return (bar.style & SBS_VERT) ? GET_Y_LPARAM(lparam) : GET_X_LPARAM(lparam);
}

// The value whose thumb starts at `thumb_start`.
int value_at(const Window& bar, int thumb_start) {
    BarLayout l = bar_layout(bar);
    int room = l.track - l.thumb;
    if (room <= 0) return bar.bar.min;
    double f = double(thumb_start - l.track_start) / room;
    return int(std::nearbyint(bar.bar.min + f * (bar.bar.max - bar.bar.min)));
}

void bar_press(Window& bar, LPARAM lparam) {
    BarLayout l = bar_layout(bar);
    int p = along(bar, lparam);
    const ScrollBarValues& v = bar.bar;
    if (p < l.arrow)
        user_value(bar, v.value - v.small_change, SB_LINEUP);
    else if (p >= l.length - l.arrow)
        user_value(bar, v.value + v.small_change, SB_LINEDOWN);
    else if (p < l.thumb_start)
        user_value(bar, v.value - v.large_change, SB_PAGEUP);
    else if (p >= l.thumb_start + l.thumb)
        user_value(bar, v.value + v.large_change, SB_PAGEDOWN);
    else
        bar.drag = BarDrag{true, p - l.thumb_start, v.value};
}

}  // namespace

BarLayout bar_layout(const Window& bar) {
    BarLayout l;
    bool vertical = bar.style & SBS_VERT;
    l.length = vertical ? bar.height : bar.width;
    l.breadth = vertical ? bar.width : bar.height;
    l.arrow = std::min(l.breadth, l.length / 2);
    l.track_start = l.arrow;
    l.track = std::max(l.length - 2 * l.arrow, 0);
    l.thumb = std::min(l.breadth, l.track);
    const ScrollBarValues& v = bar.bar;
    int range = v.max - v.min;
    int room = l.track - l.thumb;
    l.thumb_start = l.track_start;
    if (range > 0 && room > 0)
        l.thumb_start += int(std::nearbyint(double(v.value - v.min) * room / range));
    return l;
}

void notify_bar_parent(HWND bar, WPARAM code) {
    Window* w = find_window(bar);
    if (!w || !w->parent) return;
    UINT message = (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(w->parent, message, code, LPARAM(bar));
}

LRESULT scrollbar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* bar = find_bar(window);
    if (!bar) return 0;
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            bar_press(*bar, lparam);
            return 0;
        case WM_MOUSEMOVE:
            if (bar->drag.active && (wparam & MK_LBUTTON))
                user_value(*bar, value_at(*bar, along(*bar, lparam) - bar->drag.grab),
                           SB_THUMBTRACK);
            return 0;
        case WM_LBUTTONUP:
            if (bar->drag.active) {
                bar->drag.active = false;
                if (bar->bar.value != bar->drag.start_value)
                    notify_bar_parent(window, SB_THUMBPOSITION);
            }
            return 0;
        default:
            return forward_keys(window, message, wparam, lparam);
    }
}

LRESULT static_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return forward_keys(window, message, wparam, lparam);
}

LRESULT shape_proc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

BOOL GetScrollBarValues(HWND bar, ScrollBarValues* out) {
    Window* w = find_bar(bar);
    if (!w || !out) return FALSE;
    *out = w->bar;
    return TRUE;
}

BOOL SetScrollBarValue(HWND bar, int value) {
    Window* w = find_bar(bar);
    if (!w || value < w->bar.min || value > w->bar.max) return FALSE;
    if (value == w->bar.value) return TRUE;
    w->bar.value = SHORT(value);
    InvalidateRect(bar, nullptr, FALSE);
    notify_bar_parent(bar, SB_THUMBPOSITION);
    return TRUE;
}

BOOL SetScrollBarRange(HWND bar, int min, int max) {
    Window* w = find_bar(bar);
    if (!w || min > max || min < -32768 || max > 32767) return FALSE;
    w->bar.min = SHORT(min);
    w->bar.max = SHORT(max);
    InvalidateRect(bar, nullptr, FALSE);
    int pulled = std::clamp(int(w->bar.value), min, max);
    if (pulled != w->bar.value) {
        w->bar.value = SHORT(pulled);
        notify_bar_parent(bar, SB_THUMBPOSITION);
    }
    return TRUE;
}

BOOL SetScrollBarChanges(HWND bar, int small_change, int large_change) {
    Window* w = find_bar(bar);
    if (!w || small_change < 1 || large_change < 1 || small_change > 32767 || large_change > 32767)
        return FALSE;
    w->bar.small_change = SHORT(small_change);
    w->bar.large_change = SHORT(large_change);
    return TRUE;
}

}  // namespace win
