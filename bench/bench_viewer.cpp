// The viewer's repaints: a 1920 x 1080 window over an A4 page at 300 dpi (2480 x 3508,
// 24 bits), at zoom 1, fit, 0.37 and 3.0, with nearest neighbour (the interactive paint) and
// high-quality bicubic (the deferred pass); scrolling by one small change; a zoom step with
// its layout; and the deferred pass itself as TmQual runs it.
//
// Aim: every interactive repaint under 16 ms, the high-quality pass under 50 ms. Only the
// visible source rectangle is drawn. Anchor on this kind of machine: Pillow resizes the whole
// page to a quarter, bilinear, in about 29 ms (bench/compare_viewer.py measures it here).
#include <benchmark/benchmark.h>

#include <memory>

#include "imaging/modGdiplus.h"
#include "lumtwainpro/viewer.h"
#include "lumtwainpro/window.h"
#include "platform/win/win.h"

namespace {

constexpr int kPageWidth = 2480, kPageHeight = 3508;

// A page with structure at every scale, so that no path can skip work on flat areas.
GpImage make_page() {
    GpImage image = 0;
    modGdiplus::CreateBlankImage(kPageWidth, kPageHeight, PixelFormat24bppRGB, image);
    BitmapData d;
    GpRect r{0, 0, kPageWidth, kPageHeight};
    GdipBitmapLockBits(image, &r, ImageLockModeWrite, PixelFormat24bppRGB, &d);
    for (int y = 0; y < kPageHeight; ++y) {
        auto* row = static_cast<uint8_t*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
        for (int x = 0; x < kPageWidth; ++x) {
            row[3 * x] = uint8_t(x ^ y);
            row[3 * x + 1] = uint8_t(x * 7 + y);
            row[3 * x + 2] = uint8_t((x / 40 + y / 40) % 2 ? 230 : 30);
        }
    }
    GdipBitmapUnlockBits(image, &d);
    GdipBitmapSetResolution(image, 300, 300);
    return image;
}

// One viewer with the page shown, per benchmark (the page is made once per process).
struct Scene {
    std::unique_ptr<LumViewer> viewer;
    GpImage page = 0;

    Scene(double zoom, int quality, bool quality_auto = false) {
        win::SetMessageBoxEcho(false);
        viewer = std::make_unique<LumViewer>();
        viewer->put_SilentMode(true);
        win::ResizeWindow(viewer->hwnd(), 1920, 1080);
        viewer->put_ViewerQualityAuto(quality_auto);
        if (!quality_auto) viewer->put_ViewerQuality(quality);
        page = make_page();
        viewer->DisplayFromImageRef(int32_t(page));
        if (zoom == 0)
            viewer->put_ZoomMode(2);
        else
            viewer->put_Zoom(zoom);
        // Somewhere in the middle of the page when it scrolls.
        viewer->SetHVScrollBarPosition(viewer->GetHScrollBarMaxPosition() / 2,
                                       viewer->GetVScrollBarMaxPosition() / 2);
    }
    ~Scene() {
        viewer->CloseImage();
        viewer.reset();
        win::AdvanceClock(1000);
    }
};

// zoom 0 is fit; quality as ViewerQuality (0 nearest, 4 high-quality bicubic).
void BM_Repaint(benchmark::State& state) {
    double zoom = state.range(0) / 100.0;
    Scene s(zoom, int(state.range(1)));
    int32_t h = s.viewer->GetHScrollBarPosition(), v = s.viewer->GetVScrollBarPosition();
    for (auto _ : state) s.viewer->SetHVScrollBarPosition(h, v);  // one paint, same place
    int32_t l, t, w, hh;
    s.viewer->GetDisplayedArea(l, t, w, hh);
    state.counters["source_px"] = double(w) * hh;
    state.counters["status"] = s.viewer->last_status();
}
BENCHMARK(BM_Repaint)
    ->ArgNames({"zoom%", "quality"})
    ->Args({100, 0})
    ->Args({0, 0})
    ->Args({0, 4})
    ->Args({37, 0})
    ->Args({37, 4})
    ->Args({300, 0})
    ->Args({300, 4})
    ->Unit(benchmark::kMillisecond);

// Scrolling by one small change (1 pixel), back and forth: the interactive paint.
void BM_ScrollSmallChange(benchmark::State& state) {
    Scene s(state.range(0) / 100.0, 0, true);
    int32_t v = s.viewer->GetVScrollBarPosition();
    bool down = true;
    for (auto _ : state) {
        s.viewer->SetVScrollBarPosition(down ? v + 1 : v);
        down = !down;
    }
    state.counters["status"] = s.viewer->last_status();
}
BENCHMARK(BM_ScrollSmallChange)
    ->ArgName("zoom%")
    ->Arg(100)
    ->Arg(37)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond);

// A zoom step from the keyboard or wheel: layout, ranges and the fast paint.
void BM_ZoomStep(benchmark::State& state) {
    Scene s(0.37, 0, true);
    bool in = true;
    for (auto _ : state) {
        in ? s.viewer->ZoomIN() : s.viewer->ZoomOUT();
        in = !in;
    }
    state.counters["status"] = s.viewer->last_status();
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond);

// The deferred high-quality pass as TmQual runs it, 300 ms after the fast paint.
void BM_QualityPass(benchmark::State& state) {
    double zoom = state.range(0) / 100.0;
    Scene s(zoom, 0, true);
    int32_t h = s.viewer->GetHScrollBarPosition(), v = s.viewer->GetVScrollBarPosition();
    for (auto _ : state) {
        state.PauseTiming();
        s.viewer->SetHVScrollBarPosition(h, v);  // the fast paint arms the timer
        win::AdvanceClock(299);
        state.ResumeTiming();
        win::AdvanceClock(1);  // the quality pass
    }
    state.counters["quality"] = s.viewer->get_ViewerQuality();
    state.counters["status"] = s.viewer->last_status();
}
BENCHMARK(BM_QualityPass)
    ->ArgName("zoom%")
    ->Arg(0)
    ->Arg(37)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
