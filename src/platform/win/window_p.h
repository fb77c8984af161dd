// Windows of the win stand-in: the per-thread window table, classes, focus, capture, input
// state and the message loop, shared by window.cpp, window_input.cpp, window_timer.cpp,
// window_pixels.cpp and the built-in classes.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "lumtwainpro/window.h"
#include "platform/context.h"
#include "platform/win/win.h"

namespace win {

enum class BuiltinClass { None, ScrollBar, Static, Shape };

// Drag state of a scroll bar's thumb.
struct BarDrag {
    bool active = false;
    int grab = 0;  // pointer offset from the thumb's start along the bar
    SHORT start_value = 0;
};

struct Window {
    HWND handle = 0;
    HWND parent = 0;
    std::vector<HWND> children;  // bottom to top
    std::string class_name;
    BuiltinClass builtin = BuiltinClass::None;
    UINT class_style = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    LONG_PTR user_data = 0;
    LONG_PTR id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
    bool visible = true;
    bool destroying = false;

    // A top-level window draws into its own 32-bit surface; children draw on their parent.
    HBITMAP bitmap = 0;
    HDC dc = 0;

    int32_t props[8] = {int32_t(0x8000000Fu), 1, 0, 1, 1, 0, 0, 0};  // WindowProperty order
    ComPtr<IPicture> pictures[3];

    ScrollBarValues bar;
    BarDrag drag;
    ShapeStyle shape;

    ~Window();
};

struct TimerEntry {
    HWND window = 0;
    UINT_PTR id = 0;
    UINT interval = 0;
    int64_t due = 0;
    TIMERPROC proc = nullptr;
    uint64_t order = 0;  // ties of due time fire in the order they were set
};

struct PostedMessage {
    HWND window = 0;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
};

// Everything of the windowing system that belongs to one thread.
struct WindowThread {
    std::map<std::string, WNDCLASSA> classes;  // upper-case names
    std::vector<std::string> class_names;      // keeps the names the classes point at
    HWND focus = 0;
    HWND capture = 0;
    int buttons = 0;  // kButton* held
    int shift = 0;    // kShiftMask ... of the last input call
    int64_t now = 0;
    std::vector<TimerEntry> timers;
    uint64_t timer_order = 0;
    UINT_PTR next_free_timer = 0x7FFF0000;
    std::deque<PostedMessage> posted;
    HostHooks hooks;
    bool in_host_events = false;
};

WindowThread& window_thread();
platform::HandleTable<Window>& windows();
Window* find_window(HWND handle);
// The top-level window a window belongs to (itself when it has no parent).
Window* top_level(Window* w);
// Position of a window's top-left corner in its top-level window's inner coordinates.
POINT offset_in_top(const Window* w);

// The built-in class procedures.
LRESULT scrollbar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT static_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT shape_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Scroll bar geometry along its length: arrows, track and thumb (pixels from the bar's
// start).
struct BarLayout {
    int length = 0, breadth = 0;
    int arrow = 0;                   // each arrow's extent
    int thumb_start = 0, thumb = 0;  // thumb position and extent
    int track_start = 0, track = 0;
};
BarLayout bar_layout(const Window& bar);
// Sends a scroll notification from the bar to its parent.
void notify_bar_parent(HWND bar, WPARAM code);

// Repaints an empty surface: back colour (or transparent), then the picture.
void repaint_background(Window& w);
// Draws a child or shape over the composed pixels of its top-level window.
void draw_child(const Window& child, WindowPixels& px, POINT origin);
void draw_shape(const Window& shape, WindowPixels& px, POINT origin);

// The window's device context for GetDC, 0 for a window without a surface.
HDC window_dc(HWND window);

// A bitmap of any depth as 32-bit BGRA rows (alpha 255), top row first.
bool bitmap_to_bgra(HBITMAP bitmap, int* width, int* height, std::vector<uint8_t>* bgra);
// A new 32-bit top-down DIB section holding the rows; 0 when it cannot be made.
HBITMAP bitmap_from_bgra(int width, int height, const std::vector<uint8_t>& bgra);

}  // namespace win
