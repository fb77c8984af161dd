// Image identifiers over a long life: 100 000 acquire/close cycles on the virtual scanner at
// its lowest resolution (50 dpi), with no identifier handed out twice, the resident set flat, the
// time per cycle the same at the end as at the start, and a lookup costing the same with 10
// or 100 000 images open.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "platform/win/win.h"
#include "lumtwainpro/twain.h"

namespace {

double rss_mb() { return benchsupport::status_bytes("VmRSS") / (1024.0 * 1024.0); }

using Clock = std::chrono::steady_clock;

void BM_AcquireCloseCycles(benchmark::State& state) {
    const int64_t cycles = state.range(0);
    // A small page, so that the cycle measures the identifiers and the table rather than
    // drawing pixels.
    benchsupport::VirtualScanner scanner("page_size = 20 x 20\n");
    twain control;
    control.TwainSetHideUI(true);
    double lowest = 0, highest = 0, step = 0;
    constexpr int32_t kXResolution = 4376;
    if (!control.TwainOpenSource("Virtual Scanner") ||
        !control.TwainGetCapRangeNumeric(kXResolution, lowest, highest, step) ||
        !control.TwainSetCurrentResolution(int32_t(lowest))) {
        state.SkipWithError("the virtual scanner refused the settings");
        return;
    }
    // One bit per possible identifier, allocated before the run: only the pages of the bits
    // the run sets are touched, so the resident set measures the library, not this test.
    constexpr size_t kWords = (size_t(1) << 28) / 64;  // identifiers carry a 28-bit serial
    std::unique_ptr<uint64_t, decltype(&std::free)> seen(
        static_cast<uint64_t*>(std::calloc(kWords, sizeof(uint64_t))), &std::free);
    int64_t repeats = 0;
    double rss_start = 0, first_us = 0, last_us = 0;
    const int64_t window = cycles / 10;
    for (auto _ : state) {
        Clock::time_point mark = Clock::now();
        for (int64_t i = 0; i < cycles; ++i) {
            int32_t id = control.TwainAcquireToImageID();
            if (id == 0) {
                state.SkipWithError(("status " + std::to_string(control.GetStat())).c_str());
                return;
            }
            uint64_t& word = seen.get()[(uint32_t(id) & 0x0FFFFFFFu) >> 6];
            if (word & (uint64_t(1) << (id & 63))) ++repeats;
            word |= uint64_t(1) << (id & 63);
            control.CloseImage(id);
            if (i + 1 == window) {
                first_us = std::chrono::duration<double, std::micro>(Clock::now() - mark).count();
                rss_start = rss_mb();
            }
            if (i + 1 == cycles - window) mark = Clock::now();
        }
        last_us = std::chrono::duration<double, std::micro>(Clock::now() - mark).count();
    }
    state.counters["cycles"] = double(cycles);
    state.counters["repeated_ids"] = double(repeats);
    state.counters["us_per_cycle_first_10pc"] = first_us / double(window);
    state.counters["us_per_cycle_last_10pc"] = last_us / double(window);
    state.counters["rss_MB_after_10pc"] = rss_start;
    state.counters["rss_MB_end"] = rss_mb();
    state.counters["table_records_left"] = double(modGdiplus::ImageCount());
    state.counters["dpi"] = lowest;
    control.TwainCloseSource();
    control.TwainCloseSourceManager();
}
BENCHMARK(BM_AcquireCloseCycles)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One query of an image among `live` open ones.
void BM_LookupAmongOpenImages(benchmark::State& state) {
    const int64_t live = state.range(0);
    twain control;
    std::vector<GpImage> images(static_cast<size_t>(live));
    for (GpImage& img : images) modGdiplus::CreateBlankImage(1, 1, PixelFormat24bppRGB, img);
    size_t at = 0;
    for (auto _ : state) {
        int32_t width = 0;
        modGdiplus::GetImageWidth(images[at], width);
        benchmark::DoNotOptimize(width);
        at = (at + 7919) % images.size();
    }
    for (GpImage img : images) modGdiplus::DisposeImage(img);
    state.counters["open_images"] = double(live);
}
BENCHMARK(BM_LookupAmongOpenImages)->Arg(10)->Arg(1000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
