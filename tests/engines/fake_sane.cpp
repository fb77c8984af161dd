// libsane-lumfake.so.1: a SANE backend of the tests' own whose devices misbehave the way
// real backends do. libsane's dll backend loads it when dll.conf names `lumfake` and the
// folder holding it is on LD_LIBRARY_PATH. Each device name is its behaviour:
//
//   good           a well-behaved 64 x 48 grey or colour scanner
//   hang-read      sane_read never returns
//   hang-start     sane_start never returns
//   hang-once      sane_read never returns while the file named by LUMFAKE_FLAG exists
//                  (the file is removed first, so the next process scans normally)
//   endless        sane_read returns GOOD with no data for ever
//   abort-read     sane_read calls abort()
//   abort-open     sane_open calls abort()
//   short-bpl      colour, 100 pixels per line in 150 bytes per line
//   depth4         grey at depth 4
//   bad-format     a frame format SANE does not define
//   huge-lines     2^30 lines of 100 bytes
//   overlong-read  sane_read reports more bytes than the buffer holds
//   frame-mismatch a three-pass scan whose green frame is wider than its red one
//   cancel-race    the sane_read that ends the page cancels the reader thread started by
//                  sane_start while it holds a lock with asynchronous cancellation on, then
//                  takes that lock (see race_reader)
#include <pthread.h>
#include <sane/sane.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kNames[] = {"good",           "hang-read",  "hang-start", "hang-once",
                              "endless",        "abort-read", "abort-open", "short-bpl",
                              "depth4",         "bad-format", "huge-lines", "overlong-read",
                              "frame-mismatch", "cancel-race"};
constexpr int kDevices = int(sizeof kNames / sizeof kNames[0]);

SANE_Device g_devices[kDevices];
const SANE_Device* g_list[kDevices + 1];

SANE_String_Const g_modes[] = {"Gray", "Color", nullptr};
SANE_Range g_resolution_range = {25, 600, 1};

enum { kOptCount, kOptResolution, kOptMode, kOptions };

struct Device {
    std::string name;
    SANE_Option_Descriptor options[kOptions];
    SANE_Word resolution = 100;
    std::string mode = "Gray";
    bool scanning = false;
    int frame = 0;  // the next frame of a three-pass scan
    std::vector<uint8_t> data;
    size_t sent = 0;
    pthread_t reader{};
    bool reader_running = false;
};

void describe(Device* d) {
    std::memset(d->options, 0, sizeof d->options);
    SANE_Option_Descriptor& count = d->options[kOptCount];
    count.name = "";
    count.title = "Number of options";
    count.type = SANE_TYPE_INT;
    count.size = sizeof(SANE_Word);
    count.cap = SANE_CAP_SOFT_DETECT;
    SANE_Option_Descriptor& res = d->options[kOptResolution];
    res.name = "resolution";
    res.title = "Resolution";
    res.type = SANE_TYPE_INT;
    res.unit = SANE_UNIT_DPI;
    res.size = sizeof(SANE_Word);
    res.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    res.constraint_type = SANE_CONSTRAINT_RANGE;
    res.constraint.range = &g_resolution_range;
    SANE_Option_Descriptor& mode = d->options[kOptMode];
    mode.name = "mode";
    mode.title = "Mode";
    mode.type = SANE_TYPE_STRING;
    mode.size = 16;
    mode.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    mode.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    mode.constraint.string_list = g_modes;
}

bool is(const Device* d, const char* name) {
    return d->name == name;
}

void sleep_for_ever() {
    for (;;) sleep(60);
}

// The frame a device reports; `frame` counts the frames of a three-pass scan.
SANE_Parameters parameters(const Device* d) {
    SANE_Parameters p{};
    bool colour = d->mode == "Color";
    p.format = colour ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    p.last_frame = SANE_TRUE;
    p.pixels_per_line = 64;
    p.lines = 48;
    p.depth = 8;
    p.bytes_per_line = p.pixels_per_line * (colour ? 3 : 1);
    if (is(d, "short-bpl")) {
        p.format = SANE_FRAME_RGB;
        p.pixels_per_line = 100;
        p.bytes_per_line = 150;
        p.lines = 10;
    } else if (is(d, "depth4")) {
        p.format = SANE_FRAME_GRAY;
        p.depth = 4;
        p.pixels_per_line = 100;
        p.bytes_per_line = 50;
        p.lines = 10;
    } else if (is(d, "bad-format")) {
        p.format = SANE_Frame(7);
    } else if (is(d, "huge-lines")) {
        p.format = SANE_FRAME_GRAY;
        p.pixels_per_line = p.bytes_per_line = 100;
        p.lines = 1 << 30;
    } else if (is(d, "frame-mismatch")) {
        p.format = d->frame == 0 ? SANE_FRAME_RED : SANE_FRAME_GREEN;
        p.last_frame = SANE_FALSE;
        p.bytes_per_line = p.pixels_per_line = d->frame == 0 ? 64 : 65;
    }
    return p;
}

void fill_page(Device* d) {
    SANE_Parameters p = parameters(d);
    size_t lines = p.lines > 0 && p.lines <= 4096 ? size_t(p.lines) : 48;
    d->data.resize(size_t(p.bytes_per_line) * lines);
    for (size_t i = 0; i < d->data.size(); ++i)
        d->data[i] = uint8_t((i % size_t(p.bytes_per_line)) * 3 + (i / size_t(p.bytes_per_line)));
    d->sent = 0;
}

// cancel-race models what hangs SANE's test backend now and then: its reader thread runs with
// asynchronous cancellation and is cancelled at the end of the page while inside free(), so
// the malloc arena's lock is never released. Here the lock is the backend's own, and the
// reader is sure to be inside it when the cancel comes.
pthread_mutex_t g_arena = PTHREAD_MUTEX_INITIALIZER;
std::atomic<bool> g_inside{false};

void* race_reader(void*) {
    int old;
    pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &old);
    pthread_setcanceltype(PTHREAD_CANCEL_ASYNCHRONOUS, &old);
    pthread_mutex_lock(&g_arena);
    g_inside = true;
    // Work without a cancellation point, as free() returning memory to the system.
    timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    do clock_gettime(CLOCK_MONOTONIC, &now);
    while ((now.tv_sec - start.tv_sec) * 1000000000L + (now.tv_nsec - start.tv_nsec) < 50000000L);
    pthread_mutex_unlock(&g_arena);
    return nullptr;
}

// Ends the pass as sanei_thread does: cancel the reader wherever it is and join it. The next
// use of the lock (the next malloc) hangs for ever when the reader died holding it.
void stop_reader(Device* d) {
    if (!d->reader_running) return;
    while (!g_inside) sched_yield();
    pthread_cancel(d->reader);
    pthread_join(d->reader, nullptr);
    d->reader_running = false;
    g_inside = false;
    pthread_mutex_lock(&g_arena);
    pthread_mutex_unlock(&g_arena);
}

void end_scan(Device* d) {
    stop_reader(d);
    d->scanning = false;
    d->frame = 0;
}

}  // namespace

extern "C" {

SANE_Status sane_lumfake_init(SANE_Int* version, SANE_Auth_Callback) {
    if (version) *version = SANE_VERSION_CODE(1, 0, 0);
    for (int i = 0; i < kDevices; ++i) {
        g_devices[i] = SANE_Device{kNames[i], "LumFake", "Scanner", "virtual device"};
        g_list[i] = &g_devices[i];
    }
    g_list[kDevices] = nullptr;
    return SANE_STATUS_GOOD;
}

void sane_lumfake_exit(void) {}

SANE_Status sane_lumfake_get_devices(const SANE_Device*** list, SANE_Bool) {
    *list = g_list;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_lumfake_open(SANE_String_Const name, SANE_Handle* handle) {
    for (int i = 0; i < kDevices; ++i)
        if (name && std::strcmp(name, kNames[i]) == 0) {
            if (std::strcmp(name, "abort-open") == 0) std::abort();
            auto* d = new Device;
            d->name = name;
            describe(d);
            *handle = d;
            return SANE_STATUS_GOOD;
        }
    return SANE_STATUS_INVAL;
}

void sane_lumfake_close(SANE_Handle h) {
    auto* d = static_cast<Device*>(h);
    end_scan(d);
    delete d;
}

const SANE_Option_Descriptor* sane_lumfake_get_option_descriptor(SANE_Handle h, SANE_Int n) {
    auto* d = static_cast<Device*>(h);
    return n >= 0 && n < kOptions ? &d->options[n] : nullptr;
}

SANE_Status sane_lumfake_control_option(SANE_Handle h, SANE_Int n, SANE_Action action, void* value,
                                        SANE_Int* info) {
    auto* d = static_cast<Device*>(h);
    if (info) *info = 0;
    if (d->scanning) return SANE_STATUS_DEVICE_BUSY;
    if (action == SANE_ACTION_GET_VALUE) {
        if (n == kOptCount) *static_cast<SANE_Word*>(value) = kOptions;
        if (n == kOptResolution) *static_cast<SANE_Word*>(value) = d->resolution;
        if (n == kOptMode) std::strcpy(static_cast<char*>(value), d->mode.c_str());
        return n >= 0 && n < kOptions ? SANE_STATUS_GOOD : SANE_STATUS_INVAL;
    }
    if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_UNSUPPORTED;
    if (n == kOptResolution) {
        SANE_Word v = *static_cast<SANE_Word*>(value);
        d->resolution = v < 25 ? 25 : v > 600 ? 600 : v;
        return SANE_STATUS_GOOD;
    }
    if (n == kOptMode) {
        std::string m = static_cast<const char*>(value);
        if (m != "Gray" && m != "Color") return SANE_STATUS_INVAL;
        d->mode = m;
        return SANE_STATUS_GOOD;
    }
    return SANE_STATUS_INVAL;
}

SANE_Status sane_lumfake_get_parameters(SANE_Handle h, SANE_Parameters* p) {
    *p = parameters(static_cast<Device*>(h));
    return SANE_STATUS_GOOD;
}

SANE_Status sane_lumfake_start(SANE_Handle h) {
    auto* d = static_cast<Device*>(h);
    if (is(d, "hang-start")) sleep_for_ever();
    if (d->scanning && !is(d, "frame-mismatch")) return SANE_STATUS_INVAL;
    d->scanning = true;
    fill_page(d);
    if (is(d, "cancel-race")) {
        d->reader_running = pthread_create(&d->reader, nullptr, race_reader, nullptr) == 0;
        if (!d->reader_running) return SANE_STATUS_NO_MEM;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status sane_lumfake_read(SANE_Handle h, SANE_Byte* buf, SANE_Int max, SANE_Int* len) {
    auto* d = static_cast<Device*>(h);
    *len = 0;
    if (!d->scanning) return SANE_STATUS_INVAL;
    if (is(d, "hang-read")) sleep_for_ever();
    if (is(d, "hang-once")) {
        const char* flag = std::getenv("LUMFAKE_FLAG");
        if (flag && unlink(flag) == 0) sleep_for_ever();
    }
    if (is(d, "abort-read")) std::abort();
    if (is(d, "endless")) return SANE_STATUS_GOOD;
    if (is(d, "overlong-read")) return *len = max + 1, SANE_STATUS_GOOD;
    if (d->sent >= d->data.size()) {
        stop_reader(d);  // the end of the page ends the pass
        if (is(d, "frame-mismatch"))
            ++d->frame, d->sent = 0, fill_page(d);
        else
            d->scanning = false;
        return SANE_STATUS_EOF;
    }
    size_t n = std::min(size_t(max), d->data.size() - d->sent);
    std::memcpy(buf, d->data.data() + d->sent, n);
    d->sent += n;
    *len = SANE_Int(n);
    return SANE_STATUS_GOOD;
}

void sane_lumfake_cancel(SANE_Handle h) {
    end_scan(static_cast<Device*>(h));
}

SANE_Status sane_lumfake_set_io_mode(SANE_Handle, SANE_Bool non_blocking) {
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_lumfake_get_select_fd(SANE_Handle, SANE_Int*) {
    return SANE_STATUS_UNSUPPORTED;
}

}  // extern "C"
