// Windows of the win stand-in, toolkit-neutral: what a control draws into and what a host
// drives. A window has an inner size and a 32-bit ARGB drawing surface (its device context,
// GetDC), an enabled state, colours and styles, a mouse pointer, a picture and a mask
// picture; child windows (scroll bars, a static box) and lightweight shapes are drawn over
// the surface when the host asks for the window's pixels.
//
// Input arrives as calls (win::Send*: mouse, wheel, keys, resize, drops) that become the
// platform's messages to the window procedure of the window under the pointer, the window
// that holds the mouse capture, or the focused window. Timers (SetTimer) run on the thread's
// message loop, whose clock is virtual: it moves only when the host calls
// win::AdvanceClock, so that tests make timers fire deterministically and a real host (a Qt
// widget) advances it from its own event loop by the time that passed.
//
// Windows, timers and the clock are per thread. Handles are 32-bit keys of the thread's
// window table; a stale handle fails as a null one does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ATOM = uint16_t;
using HMENU = uint32_t;
using HINSTANCE = void*;
using OLE_COLOR = uint32_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// ---- Messages ------------------------------------------------------------------------
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;  // lparam: inner width | inner height << 16
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_KEYDOWN = 0x0100;  // wparam: virtual key code
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;     // wparam: the character
constexpr UINT WM_TIMER = 0x0113;    // wparam: timer identifier, lparam: its TIMERPROC or 0
constexpr UINT WM_HSCROLL = 0x0114;  // from a scroll bar: wparam code, lparam the bar
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_MOUSEMOVE = 0x0200;  // wparam: MK_* keys, lparam: x | y << 16 (signed)
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;  // wparam: MK_* | signed delta << 16
constexpr UINT WM_DROPFILES = 0x0233;   // wparam: a const DROPFILESLIST*
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

// Scroll bar notification codes (low word of wparam of WM_HSCROLL / WM_VSCROLL). A bar sends
// SB_THUMBTRACK while its thumb is dragged and SB_THUMBPOSITION for every other change of
// its value, whether by the user or by a program.
constexpr WPARAM SB_LINEUP = 0;
constexpr WPARAM SB_LINEDOWN = 1;
constexpr WPARAM SB_PAGEUP = 2;
constexpr WPARAM SB_PAGEDOWN = 3;
constexpr WPARAM SB_THUMBPOSITION = 4;
constexpr WPARAM SB_THUMBTRACK = 5;
constexpr WPARAM SB_ENDSCROLL = 8;

constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ADD = 0x6B;       // 107, numeric keypad plus
constexpr int VK_SUBTRACT = 0x6D;  // 109, numeric keypad minus

inline WORD LOWORD(uintptr_t v) {
    return WORD(v & 0xFFFF);
}
inline WORD HIWORD(uintptr_t v) {
    return WORD((v >> 16) & 0xFFFF);
}
inline int GET_X_LPARAM(LPARAM l) {
    return int(int16_t(LOWORD(uintptr_t(l))));
}
inline int GET_Y_LPARAM(LPARAM l) {
    return int(int16_t(HIWORD(uintptr_t(l))));
}
inline short GET_WHEEL_DELTA_WPARAM(WPARAM w) {
    return short(HIWORD(w));
}
inline LPARAM MAKELPARAM(int lo, int hi) {
    return LPARAM(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16);
}

// ---- Classes and windows -------------------------------------------------------------
constexpr UINT CS_DBLCLKS = 0x0008;
struct WNDCLASSA {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    const char* lpszClassName = nullptr;
};
// Built-in classes: "SCROLLBAR" (style SBS_HORZ or SBS_VERT), "STATIC" (a box filled with
// the button-face colour) and "LUMSHAPE" (a rectangle outline drawn over its parent with a
// pen mix mode; it takes no input).
ATOM RegisterClassA(const WNDCLASSA* wc);

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD SBS_HORZ = 0x0000;
constexpr DWORD SBS_VERT = 0x0001;

// A window of `width` x `height` inner pixels (a child at x, y of its parent). The window
// procedure gets WM_CREATE with lparam `param` before this returns. 0 for an unknown class,
// a parent that is not a window, or a surface that cannot be allocated.
HWND CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, destroys the children first, kills the window's timers.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
constexpr int GWLP_WNDPROC = -4;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWLP_USERDATA = -21;
// The previous value; 0 (with ERROR_INVALID_HANDLE) for a window that does not exist.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);

// Calls the window procedure now; 0 for a window that does not exist.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Queues the message for the thread's message loop (win::PumpMessages, win::AdvanceClock).
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Returns whether the window was disabled before. Sends WM_ENABLE when the state changes.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
// Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
// Moves a child inside its parent; resizes any window (WM_SIZE when the size changed).
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// (0, 0, inner width, inner height).
BOOL GetClientRect(HWND window, RECT* rect);

HWND SetFocus(HWND window);  // the window that had the focus
HWND GetFocus();
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// The host is asked to show the window's pixels again (win::SetHostHooks).
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);

// Bit 0x8000 set while the key is held, from the state of the last input call.
SHORT GetKeyState(int virtual_key);

constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
int GetSystemMetrics(int index);

// ---- Timers and the clock ------------------------------------------------------------
constexpr UINT USER_TIMER_MINIMUM = 10;
// A periodic timer of the thread: due every `elapse` ms (at least USER_TIMER_MINIMUM) of the
// thread's clock until killed. With a window, (window, id) names it and setting it again
// restarts it; the expiry calls `proc` or sends WM_TIMER to the window. Without a window a
// new identifier is returned. 0 when the window does not exist.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
// Milliseconds of the thread's clock.
DWORD GetTickCount();

// ---- Version -------------------------------------------------------------------------
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
// This platform answers as an NT-family system (platform identifier 2).
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Files dropped on a window: WM_DROPFILES carries a pointer to this list, valid during the
// message.
struct DROPFILESLIST {
    std::vector<std::string> files;
    POINT pt;  // inner coordinates of the drop
};

namespace win {

// ---- What a host drives --------------------------------------------------------------
// Mouse buttons as the controls number them.
constexpr int kButtonLeft = 1;
constexpr int kButtonRight = 2;
constexpr int kButtonMiddle = 4;
// Shift states: 1 shift, 2 control, 4 alt.
constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

// Each returns FALSE when the window does not exist or is disabled (input to a disabled
// window is dropped, as on the platform), else TRUE. Coordinates are inner pixels of
// `window`; the message goes to the child under the point (or the capturing window) in its
// own coordinates. A button press captures the mouse until every button is up.
BOOL SendMouseDown(HWND window, int button, int shift, int x, int y);
BOOL SendMouseMove(HWND window, int buttons, int shift, int x, int y);
BOOL SendMouseUp(HWND window, int button, int shift, int x, int y);
BOOL SendDoubleClick(HWND window, int button, int shift, int x, int y);
// `delta` in WHEEL_DELTA units per notch; positive is away from the user.
BOOL SendMouseWheel(HWND window, int delta, int shift, int x, int y);
// To the focused window when it is `window` or inside it, else to `window`.
BOOL SendKeyDown(HWND window, int key_code, int shift);
BOOL SendKeyUp(HWND window, int key_code, int shift);
BOOL SendChar(HWND window, int character);
// Resizes the window's inner area (and its surface); WM_SIZE follows when it changed.
BOOL ResizeWindow(HWND window, int width, int height);
// Sends WM_DROPFILES when the window accepts drops (OLE drop mode 1, manual); FALSE when it
// does not.
BOOL DropFiles(HWND window, const std::vector<std::string>& files, int x = 0, int y = 0);

// The window's pixels as a host shows them: the surface with its shapes and visible child
// windows drawn over it. BGRA rows, top row first, stride width * 4. FALSE for a window that
// does not exist.
struct WindowPixels {
    int width = 0, height = 0;
    std::vector<uint8_t> bgra;
};
BOOL GetWindowPixels(HWND window, WindowPixels* out);

// What a host is told: a window asks to be shown again, its pointer changed; and, while a
// control works for long (a download between its chunks), the chance to run the host's own
// pending events (a click on a stop button that calls DisplayFromURLStop).
struct HostHooks {
    std::function<void(HWND)> invalidated;
    std::function<void(HWND, int pointer)> pointer_changed;
    std::function<void()> process_events;  // from PumpMessages; never re-entered
};
// For the calling thread; empty functions are not called.
void SetHostHooks(HostHooks hooks);

// ---- The message loop and the clock --------------------------------------------------
// Milliseconds since the thread's clock started; it starts at 0.
int64_t ClockNow();
// Moves the clock forward by `ms` (0 or more), firing every timer that falls due on the way
// in order of due time, with the clock set to each expiry's time while it runs, then
// dispatching posted messages. Returns the number of timer expiries.
int AdvanceClock(int64_t ms);
// Runs the host's process_events hook, then dispatches the messages posted so far (those
// posted meanwhile wait for the next pump). Returns how many were dispatched.
int PumpMessages();
// Milliseconds until the next timer falls due, -1 when none is running.
int64_t NextTimerDue();
// Timers running on the thread (for leak checks).
size_t TimerCount();
size_t WindowCount();

// ---- Window properties ---------------------------------------------------------------
enum class WindowProperty {
    BackColor,     // OLE colour (0x00BBGGRR; 0x80000000 | index for a system colour)
    Appearance,    // 0 flat, 1 3D
    BorderStyle,   // 0 none, 1 fixed single
    BackStyle,     // 0 transparent, 1 opaque
    ClipControls,  // Boolean
    AutoRedraw,    // Boolean
    OleDropMode,   // 0 none, 1 manual
    MousePointer,  // 0 default, 2 cross, 99 custom (the mouse icon), ...
};
// FALSE for a window that does not exist. Changing the back colour repaints an empty
// surface with it; the mouse pointer is reported through HostHooks::pointer_changed.
BOOL SetWindowProperty(HWND window, WindowProperty property, int32_t value);
int32_t GetWindowProperty(HWND window, WindowProperty property);

enum class WindowPicture { Picture, MaskPicture, MouseIcon };
// Setting the picture draws it at the surface's top-left corner over the back colour (or
// over transparent pixels when the back style is transparent); the mask picture's
// transparent pixels are transparent in the window's pixels. Null removes it.
BOOL SetWindowPicture(HWND window, WindowPicture which, ComPtr<IPicture> picture);
ComPtr<IPicture> GetWindowPicture(HWND window, WindowPicture which);
// Fills the surface with the back colour (transparent when the back style is transparent).
BOOL ClearWindowSurface(HWND window);

// An OLE colour as opaque-free RGB 0x00RRGGBB; system colours (0x80000000 | index) map to
// the platform's default scheme.
uint32_t OleColorToRgb(OLE_COLOR color);

// ---- Scroll bars ---------------------------------------------------------------------
// The values of a "SCROLLBAR" child: 16-bit as the platform's scroll bar control keeps them.
struct ScrollBarValues {
    SHORT min = 0;
    SHORT max = 32767;
    SHORT value = 0;
    SHORT small_change = 1;
    SHORT large_change = 1;
};
BOOL GetScrollBarValues(HWND bar, ScrollBarValues* out);
// A value outside min..max is refused (FALSE). A changed value notifies the parent
// (SB_THUMBPOSITION) before this returns.
BOOL SetScrollBarValue(HWND bar, int value);
// min <= max; the value is pulled into the new range first, notifying the parent.
BOOL SetScrollBarRange(HWND bar, int min, int max);
// Both changes at least 1.
BOOL SetScrollBarChanges(HWND bar, int small_change, int large_change);

// ---- Shapes ("LUMSHAPE") -------------------------------------------------------------
struct ShapeStyle {
    OLE_COLOR border_color = 0;
    int border_width = 1;
    int border_style = 1;  // 0 transparent, 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot
    int draw_mode = 13;    // pen mix mode R2_BLACK (1) .. R2_WHITE (16); 13 copies the pen
};
BOOL SetShapeStyle(HWND shape, const ShapeStyle& style);
BOOL GetShapeStyle(HWND shape, ShapeStyle* out);
// Position and size inside the parent (any values, also negative).
struct WindowBounds {
    int x = 0, y = 0, width = 0, height = 0;
};
BOOL GetWindowBounds(HWND window, WindowBounds* out);

}  // namespace win

LUM_END_EXPORTS
