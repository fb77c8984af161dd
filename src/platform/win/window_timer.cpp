// Timers and the message loop of a thread, on its virtual clock.
#include <algorithm>
#include <limits>

#include "platform/win/window_p.h"

namespace win {

namespace {

TimerEntry* find_timer(WindowThread& t, HWND window, UINT_PTR id) {
    for (auto& e : t.timers)
        if (e.window == window && e.id == id) return &e;
    return nullptr;
}

// The running timer due first (by due time, then by the order it was set), when it falls
// due at or before `limit`.
TimerEntry* next_due(WindowThread& t, int64_t limit) {
    TimerEntry* best = nullptr;
    for (auto& e : t.timers)
        if (e.due <= limit &&
            (!best || e.due < best->due || (e.due == best->due && e.order < best->order)))
            best = &e;
    return best;
}

void fire(const TimerEntry& e, int64_t now) {
    if (e.proc)
        e.proc(e.window, WM_TIMER, e.id, DWORD(now));
    else if (e.window)
        SendMessageA(e.window, WM_TIMER, e.id, 0);
}

}  // namespace

int64_t ClockNow() {
    return window_thread().now;
}

int AdvanceClock(int64_t ms) {
    WindowThread& t = window_thread();
    if (ms < 0) ms = 0;
    int64_t target = t.now > std::numeric_limits<int64_t>::max() - ms
                         ? std::numeric_limits<int64_t>::max()
                         : t.now + ms;
    int fired = 0;
    PumpMessages();
    while (TimerEntry* e = next_due(t, target)) {
        t.now = std::max(t.now, e->due);
        // Re-armed before it runs: the procedure may kill it or set it again.
        e->due = t.now + e->interval;
        e->order = t.timer_order++;
        TimerEntry copy = *e;
        fire(copy, t.now);
        ++fired;
        PumpMessages();
    }
    t.now = target;
    return fired;
}

int PumpMessages() {
    WindowThread& t = window_thread();
    if (t.hooks.process_events && !t.in_host_events) {
        // Cleared however the hook ends, or the host's events would never run again.
        struct Reentry {
            bool& flag;
            ~Reentry() { flag = false; }
        } guard{t.in_host_events};
        t.in_host_events = true;
        std::function<void()> process = t.hooks.process_events;  // the hook may replace itself
        process();
    }
    size_t n = t.posted.size();
    int done = 0;
    for (size_t i = 0; i < n && !t.posted.empty(); ++i) {
        PostedMessage m = t.posted.front();
        t.posted.pop_front();
        if (m.window && !IsWindow(m.window)) continue;
        SendMessageA(m.window, m.message, m.wparam, m.lparam);
        ++done;
    }
    return done;
}

int64_t NextTimerDue() {
    WindowThread& t = window_thread();
    TimerEntry* e = next_due(t, std::numeric_limits<int64_t>::max());
    return e ? std::max<int64_t>(0, e->due - t.now) : -1;
}

size_t TimerCount() {
    return window_thread().timers.size();
}

}  // namespace win

using namespace win;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    WindowThread& t = window_thread();
    if (window && !IsWindow(window)) return 0;
    if (!window) {
        // A free identifier of its own; the caller's is ignored, as on the platform.
        do id = ++t.next_free_timer;
        while (id == 0 || find_timer(t, 0, id));
    }
    UINT interval = std::max(elapse, USER_TIMER_MINIMUM);
    TimerEntry* e = find_timer(t, window, id);
    if (!e) {
        t.timers.push_back(TimerEntry{window, id});
        e = &t.timers.back();
    }
    e->interval = interval;
    e->due = t.now + interval;
    e->proc = proc;
    e->order = t.timer_order++;
    return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    WindowThread& t = window_thread();
    size_t before = t.timers.size();
    std::erase_if(t.timers, [&](const TimerEntry& e) { return e.window == window && e.id == id; });
    return t.timers.size() != before ? TRUE : FALSE;
}

DWORD GetTickCount() {
    return DWORD(window_thread().now);
}
