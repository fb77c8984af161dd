// 50 A4 pages at 300 dpi RGB (26 MB each) from SANE's test backend, scanned two ways: through
// the engine and its worker process (the way the library works now), and in-process with the
// same SANE driver code writing each page straight into a global block (the way the engine
// worked before it had a worker). Pages per second, and the host's peak memory against its
// memory after the first page; the worker's own peak is reported beside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "codes.h"
#include "driver.h"
#include "lumtwain.h"
#include "platform/win/win.h"

namespace {

constexpr int kPages = 50;
constexpr const char* kDevice = "Noname frontend-tester (test:0)";

// Forgets the peak so far: the next VmHWM is this benchmark's own.
void reset_peak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The pid of this process's SANE worker, or empty.
std::string worker_pid() {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc"), closedir);
    for (dirent* e; dir && (e = readdir(dir.get()));) {
        std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(in, line) || line.find("(lumtwain-sane-w") == std::string::npos) continue;
        size_t close = line.rfind(')');
        int ppid = 0;
        char state;
        if (std::sscanf(line.c_str() + close + 2, "%c %d", &state, &ppid) == 2 && ppid == getpid())
            return e->d_name;
    }
    return "";
}

// SANE's test backend, one device with a bed that holds A4, through a configuration folder
// of our own.
struct SaneSetup {
    SaneSetup() {
        folder.write("dll.conf", "test\n");
        folder.write("test.conf", "number_of_devices 1\ngeometry_max 432.0\n");
        setenv("SANE_CONFIG_DIR", folder.path().c_str(), 1);
        setenv("LUMTWAIN_SANE", "1", 1);
    }
    benchsupport::ConfigFolder folder;
};

void report(benchmark::State& state, int64_t pages, double first_rss, double page_bytes,
            double worker_peak) {
    const double peak = benchsupport::status_bytes("VmHWM"), mb = 1024.0 * 1024.0;
    state.counters["pages/s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    state.counters["page_MB"] = page_bytes / mb;
    state.counters["rss_first_MB"] = first_rss / mb;
    state.counters["peak_rss_MB"] = peak / mb;
    state.counters["peak_within_2_pages"] = peak <= first_rss + 2 * page_bytes ? 1 : 0;
    state.counters["worker_peak_MB"] = worker_peak / mb;
    state.counters["live_blocks"] = double(win::live_global_blocks());
}

void BM_ThroughTheWorker(benchmark::State& state) {
    SaneSetup setup;
    if (LUMTWAIN_OpenSource(kDevice) != 1 ||
        LUMTWAIN_SetCurrentUnits(lumtwain::kTwunMillimeters) != 1 ||
        LUMTWAIN_SetImageLayout(0, 0, 210, 297) != 1 || LUMTWAIN_SetCurrentResolution(300) != 1 ||
        LUMTWAIN_SetCurrentPixelType(lumtwain::kTwptRgb) != 1) {
        state.SkipWithError("the test backend refused the settings (is it installed?)");
        return;
    }
    reset_peak();
    double first_rss = 0, page_bytes = 0, worker_peak = 0;
    int64_t pages = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPages; ++i) {
            uint32_t block = LUMTWAIN_AcquireNative(0);
            if (!block) {
                state.SkipWithError("a scan failed");
                return;
            }
            if (pages++ == 0) {
                first_rss = benchsupport::status_bytes("VmRSS");
                page_bytes = double(GlobalSize(block));
            }
            LUMTWAIN_FreeNative(block);
        }
    }
    worker_peak = benchsupport::status_bytes("VmHWM", worker_pid());
    report(state, pages, first_rss, page_bytes, worker_peak);
    LUMTWAIN_UnloadSourceManager();
}

void BM_InProcess(benchmark::State& state) {
    SaneSetup setup;
    lumtwain::SaneDriver driver;
    lumtwain::wire::OpenReply opened = driver.open("test:0");
    if (opened.status != SANE_STATUS_GOOD) {
        state.SkipWithError("the test backend is not installed");
        return;
    }
    lumtwain::wire::ScanRequest request;
    request.handle = opened.handle;
    request.pixel_type = lumtwain::kTwptRgb;
    request.dpi = 300;
    request.frame = {0, 0, 210, 297};
    request.bed = {0, 0, 432, 432};
    reset_peak();
    double first_rss = 0, page_bytes = 0;
    int64_t pages = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPages; ++i) {
            HGLOBAL block = 0;
            auto sink = [&](size_t bytes) {
                block = GlobalAlloc(GMEM_MOVEABLE, bytes);
                return block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
            };
            lumtwain::wire::ScanReply r = driver.scan(request, sink, nullptr);
            if (block) GlobalUnlock(block);
            driver.end_batch(opened.handle);  // a flatbed page is a batch of its own
            if (r.status != SANE_STATUS_GOOD || !block) {
                state.SkipWithError("a scan failed");
                return;
            }
            if (pages++ == 0) {
                first_rss = benchsupport::status_bytes("VmRSS");
                page_bytes = double(GlobalSize(block));
            }
            GlobalFree(block);
        }
    }
    report(state, pages, first_rss, page_bytes, 0);
}

BENCHMARK(BM_ThroughTheWorker)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcess)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
