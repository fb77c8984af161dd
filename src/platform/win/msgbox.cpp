// Message boxes go to a per-thread sink: recorded (and echoed to stderr) when headless,
// or shown by the host's handler.
#include <cstdio>
#include <utility>

#include "platform/win/win.h"

namespace {
struct Sink {
    std::vector<win::MessageBoxRecord> shown;
    win::MessageBoxHandler handler;
    bool echo = true;
};
Sink& sink() {
    thread_local Sink s;
    return s;
}
}  // namespace

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
    win::MessageBoxRecord r{text ? text : "", caption ? caption : "Error", type};
    Sink& s = sink();
    s.shown.push_back(r);
    if (s.handler) return s.handler(r);
    if (s.echo) std::fprintf(stderr, "[%s] %s\n", r.caption.c_str(), r.text.c_str());
    return IDOK;
}

namespace win {
std::vector<MessageBoxRecord> TakeMessageBoxes() { return std::exchange(sink().shown, {}); }
void SetMessageBoxHandler(MessageBoxHandler handler) { sink().handler = std::move(handler); }
void SetMessageBoxEcho(bool echo) { sink().echo = echo; }
}  // namespace win
