// Shared pieces of the viewer tests: a viewer in a headless window of a chosen size, engine
// images made from pixel functions, and a sink that records events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/modGdiplus.h"
#include "lumtwainpro/viewer.h"
#include "lumtwainpro/window.h"
#include "platform/win/win.h"

namespace viewtest {

// Counts every event and keeps the arguments of the ones tests look at.
struct Recorder : LumViewerEvents {
    std::map<std::string, int> count;
    std::vector<std::string> order;
    std::vector<std::array<int32_t, 3>> progress;
    std::vector<int32_t> rotations;
    std::vector<std::string> dropped;
    std::string first_drop;
    // Runs inside KeyUpControl; may change the key code.
    std::function<void(int16_t&)> on_key_up;
    std::function<void(int32_t&, int32_t&, int32_t&)> on_data;
    std::function<void()> on_page_change;

    void hit(const char* name) {
        ++count[name];
        order.push_back(name);
    }
    int n(const std::string& name) const {
        auto it = count.find(name);
        return it == count.end() ? 0 : it->second;
    }
    void reset() {
        count.clear();
        order.clear();
    }

    void DataReceived(int32_t& a, int32_t& b, int32_t& c) override {
        hit("DataReceived");
        progress.push_back({a, b, c});
        if (on_data) on_data(a, b, c);
    }
    void ZoomChange() override { hit("ZoomChange"); }
    void ScrollControl() override { hit("ScrollControl"); }
    void ZoomChanged() override { hit("ZoomChanged"); }
    void PageChange() override {
        hit("PageChange");
        if (on_page_change) on_page_change();
    }
    void PictureChange() override { hit("PictureChange"); }
    void Displayed() override { hit("Displayed"); }
    void KeyPressControl(int16_t&) override { hit("KeyPressControl"); }
    void KeyUpControl(int16_t& k, int16_t&) override {
        hit("KeyUpControl");
        if (on_key_up) on_key_up(k);
    }
    void KeyDownControl(int16_t&, int16_t&) override { hit("KeyDownControl"); }
    void MouseMoveControl(int16_t&, int16_t&, float&, float&) override { hit("MouseMoveControl"); }
    void ClickControl() override { hit("ClickControl"); }
    void DblClickControl() override { hit("DblClickControl"); }
    void MouseDownControl(int16_t&, int16_t&, float&, float&) override { hit("MouseDownControl"); }
    void MouseUpControl(int16_t&, int16_t&, float&, float&) override { hit("MouseUpControl"); }
    void ResizeControl() override { hit("ResizeControl"); }
    void FileDrop(std::string& f) override {
        hit("FileDrop");
        first_drop = f;
    }
    void Rotation(int32_t& r) override {
        hit("Rotation");
        rotations.push_back(r);
    }
    void FilesDrop(SafeArray<std::string>& f, int32_t& n) override {
        hit("FilesDrop");
        dropped = f.values();
        EXPECT_EQ(n, int32_t(f.size()));
    }
    void PictureChanged() override { hit("PictureChanged"); }
};

// A registered 32-bit ARGB engine image whose pixel (x, y) is f(x, y).
GpImage make_image(int width, int height, const std::function<ARGB(int, int)>& f, float dpi_x = 96,
                   float dpi_y = 96);
// A 24-bit gradient page (for the larger sizes): smooth, so every resampler agrees on it.
GpImage make_gradient(int width, int height, PixelFormat format = PixelFormat24bppRGB);
// The pixel of an engine image as ARGB.
ARGB pixel_of(GpImage image, int x, int y);

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A viewer in a window of width x height, events recorded, silent unless asked.
    LumViewer& make(int width, int height, bool silent = true);
    // Shows an engine image through DisplayFromImageRef; the viewer owns it afterwards.
    int32_t show(GpImage image);
    // The window's pixel (BGRA order) at (x, y), from a snapshot taken when the window last
    // changed (take_snapshot) or at the first call after it.
    uint32_t window_bgra(int x, int y);
    void take_snapshot();
    win::WindowPixels m_snapshot;
    bool m_snapshot_valid = false;
    win::ScrollBarValues bar(const char* name);
    bool visible(const char* name);

    std::unique_ptr<LumViewer> m_viewer;
    Recorder m_events;
    ULONG m_session = 0;
};

}  // namespace viewtest
