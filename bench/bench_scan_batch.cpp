// A feeder batch of 50 A4 pages at 300 dpi RGB from the virtual scanner, each acquired with
// TwainAcquireToImageID and closed at once: pages per second, and whether the resident set
// stays near one page's worth (a leak or a retained block grows it page by page). Document
// pages (the feeder's own) and the gradient.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench_support.h"
#include "imaging/modGdiplus.h"
#include "platform/win/win.h"
#include "lumtwainpro/twain.h"

namespace {

constexpr int kPages = 50;

size_t block_bytes(int32_t id) {
    for (const modGdiplus::ImageRecord& r : modGdiplus::ImageTable())
        if (int32_t(r.image) == id && r.dibMemory) return GlobalSize(r.dibMemory);
    return 0;
}

void BM_FeederBatch300dpiRgb(benchmark::State& state) {
    const char* kind = state.range(0) == 0 ? "document" : "gradient";
    state.SetLabel(kind);
    // A feeder that outlasts the run.
    benchsupport::VirtualScanner scanner(std::string("pages = 100000\npage_kind = ") + kind + "\n");
    twain control;
    if (!control.TwainOpenSource("Virtual Scanner") || !control.TwainSelectFeeder(true) ||
        !control.TwainSetAutoFeed(true) || !control.TwainSetCurrentResolution(300) ||
        !control.TwainSetCurrentPixelType(2) || !control.TwainSetXferCount(kPages)) {
        state.SkipWithError("the virtual scanner refused the settings");
        return;
    }
    control.TwainSetMultiTransfer(true);
    double first_rss = 0, page_bytes = 0;
    int64_t pages = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPages; ++i) {
            int32_t id = control.TwainAcquireToImageID();
            if (id == 0) {
                state.SkipWithError(
                    ("acquisition failed, status " + std::to_string(control.GetStat())).c_str());
                return;
            }
            if (pages == 0) {
                first_rss = benchsupport::status_bytes("VmRSS");
                page_bytes = double(block_bytes(id));
            }
            control.CloseImage(id);
            ++pages;
        }
        if (control.TwainGetState() != 4) {
            state.SkipWithError("the batch did not end after its count");
            return;
        }
    }
    const double peak = benchsupport::status_bytes("VmHWM"), mb = 1024.0 * 1024.0;
    state.counters["pages/s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    state.counters["page_MB"] = page_bytes / mb;
    state.counters["rss_first_MB"] = first_rss / mb;
    state.counters["peak_rss_MB"] = peak / mb;
    state.counters["peak_within_2_pages"] = peak <= first_rss + 2 * page_bytes ? 1 : 0;
    state.counters["live_blocks"] = double(win::live_global_blocks());
    control.TwainCloseSource();
    control.TwainCloseSourceManager();
}

BENCHMARK(BM_FeederBatch300dpiRgb)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
