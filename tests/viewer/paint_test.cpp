// Painting: the window's pixels against a reference resampling of the same source
// rectangle computed here, the deferred quality pass on the virtual clock, the lock, the
// picture modes, and what a paint signals.
#include <cmath>
#include <random>

#include "imaging/image_props.h"
#include "viewer/viewer_engine.h"
#include "viewer/viewer_fixture.h"

namespace viewtest {
namespace {

ARGB noise_pixel(int x, int y) {
    uint32_t h = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return 0xFF000000u | (h & 0xFFFFFF);
}

// A linear ramp: any interpolation reproduces it away from the edges.
ARGB ramp_pixel(int x, int y) {
    return 0xFF000000u | uint32_t(std::min(x, 255)) << 16 | uint32_t(std::min(y, 255)) << 8 | 0x40;
}

struct Area {
    int32_t src_x, src_y, src_w, src_h;  // 0-based
    int dst_x, dst_y, dst_w, dst_h;
};

class PaintTest : public ViewerTest {
  protected:
    // Where the last paint took its pixels from and put them.
    Area area() {
        LumViewer& v = *m_viewer;
        Area a;
        v.GetDisplayedArea(a.src_x, a.src_y, a.src_w, a.src_h);
        a.src_x -= 1, a.src_y -= 1;
        RECT r;
        GetClientRect(v.hwnd(), &r);
        int vw = r.right - (visible("VScroll") ? 17 : 0);
        int vh = r.bottom - (visible("HScroll") ? 17 : 0);
        int dw = int(std::nearbyint(v.get_ImageWidth() * v.get_Zoom()));
        int dh = int(std::nearbyint(dw / (double(v.get_ImageWidth()) / v.get_ImageHeight())));
        a.dst_x = vw < dw ? 0 : v.GetImageLeft();
        a.dst_w = vw < dw ? vw : dw;
        a.dst_y = vh < dh ? 0 : v.GetImageTop();
        a.dst_h = vh < dh ? vh : dh;
        return a;
    }
    // Fraction of destination pixels equal to nearest-neighbour sampling at pixel centres.
    double nearest_agreement(const std::function<ARGB(int, int)>& f) {
        Area a = area();
        int same = 0, total = 0;
        for (int y = 0; y < a.dst_h; ++y)
            for (int x = 0; x < a.dst_w; ++x) {
                int sx = a.src_x + int(std::floor((x + 0.5) * a.src_w / a.dst_w));
                int sy = a.src_y + int(std::floor((y + 0.5) * a.src_h / a.dst_h));
                uint32_t want = f(sx, sy) & 0xFFFFFF;
                same += (window_bgra(a.dst_x + x, a.dst_y + y) & 0xFFFFFF) == want;
                ++total;
            }
        return double(same) / total;
    }
    // The worst channel difference from the ramp at the mapped centres, `margin` pixels in.
    int ramp_error(int margin) {
        Area a = area();
        int worst = 0;
        for (int y = margin; y < a.dst_h - margin; y += 3)
            for (int x = margin; x < a.dst_w - margin; x += 3) {
                double sx = a.src_x + (x + 0.5) * a.src_w / a.dst_w - 0.5;
                double sy = a.src_y + (y + 0.5) * a.src_h / a.dst_h - 0.5;
                uint32_t p = window_bgra(a.dst_x + x, a.dst_y + y);
                worst = std::max(worst, std::abs(int((p >> 16) & 255) - int(std::lround(sx))));
                worst = std::max(worst, std::abs(int((p >> 8) & 255) - int(std::lround(sy))));
            }
        return worst;
    }
};

TEST_F(PaintTest, ZoomOneIsThePixelsThemselvesCentredOnTheBackground) {
    LumViewer& v = make(400, 300);
    v.put_ViewerQuality(4);     // zoom 1.0 is nearest neighbour whatever the quality
    v.put_BackColor(0x00FF00);  // OLE green
    ASSERT_EQ(show(make_image(300, 200, noise_pixel)), 0);
    EXPECT_EQ(v.GetImageLeft(), 50);
    EXPECT_EQ(v.GetImageTop(), 50);
    for (int y = 0; y < 200; y += 7)
        for (int x = 0; x < 300; x += 5)
            ASSERT_EQ(window_bgra(50 + x, 50 + y), noise_pixel(x, y)) << x << "," << y;
    EXPECT_EQ(window_bgra(10, 10), 0xFF00FF00u) << "the background, opaque";
}

TEST_F(PaintTest, ANarrowImageIsDrawnWholeAtItsLeft) {
    LumViewer& v = make(400, 100);
    ASSERT_EQ(show(make_image(360, 100, noise_pixel)), 0);
    EXPECT_EQ(v.GetImageLeft(), 20);
    Area a = area();
    EXPECT_EQ(a.src_x, 0);
    EXPECT_EQ(a.src_w, 360);
    EXPECT_EQ(a.dst_x, 20);
    EXPECT_EQ(window_bgra(20, 0), noise_pixel(0, 0));
    EXPECT_EQ(window_bgra(379, 99), noise_pixel(359, 99));
}

class PaintAtZoom : public PaintTest, public ::testing::WithParamInterface<double> {};

TEST_P(PaintAtZoom, NearestNeighbourSamplesThePixelCentres) {
    LumViewer& v = make(500, 400);
    v.put_ViewerQuality(0);
    ASSERT_EQ(show(make_image(900, 700, noise_pixel)), 0);
    if (GetParam() == 0)
        v.put_ZoomMode(2);
    else
        v.put_Zoom(GetParam());
    ASSERT_EQ(v.last_status(), 0);
    v.SetHVScrollBarPosition(v.GetHScrollBarMaxPosition() / 3, v.GetVScrollBarMaxPosition() / 2);
    // Pixels whose centre falls exactly on a source boundary may go either way.
    EXPECT_GT(nearest_agreement(noise_pixel), 0.98);
}

TEST_P(PaintAtZoom, HighQualityModesFollowTheSmoothImage) {
    for (int quality : {1, 2, 3, 4}) {
        SCOPED_TRACE(quality);
        LumViewer& v = make(300, 260);
        v.put_ViewerQuality(quality);
        ASSERT_EQ(show(make_image(256, 256, ramp_pixel)), 0);
        if (GetParam() == 0)
            v.put_ZoomMode(2);
        else
            v.put_Zoom(GetParam());
        ASSERT_EQ(v.last_status(), 0);
        EXPECT_LE(ramp_error(4), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, PaintAtZoom, ::testing::Values(0.0, 0.37, 3.0),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("Fit")
                                                    : "x" + std::to_string(int(info.param * 100));
                         });

TEST_F(PaintTest, OnlyTheVisibleSourceRectangleIsDrawn) {
    LumViewer& v = make(400, 300);
    ASSERT_EQ(show(make_image(2000, 1500, noise_pixel)), 0);
    v.put_Zoom(3.0);
    v.SetHVScrollBarPosition(900, 600);
    Area a = area();
    EXPECT_EQ(a.src_x, 300) << "-(image left) / zoom";
    EXPECT_EQ(a.src_y, 200);
    EXPECT_EQ(a.src_w, int(std::nearbyint(383 / 3.0)));
    EXPECT_EQ(a.src_h, int(std::nearbyint(283 / 3.0)));
}

TEST_F(PaintTest, QualityPassComesThreeHundredMillisecondsAfterTheLastPaint) {
    LumViewer& v = make(400, 300);
    v.put_ViewerQualityAuto(true);
    ASSERT_EQ(show(make_image(900, 700, noise_pixel)), 0);
    v.put_Zoom(0.5);
    EXPECT_EQ(v.get_ViewerQuality(), 0);
    EXPECT_FALSE(v.quality_pass_done());
    auto fast = nearest_agreement(noise_pixel);
    EXPECT_GT(fast, 0.98) << "the interactive paint is nearest neighbour";
    win::AdvanceClock(299);
    EXPECT_EQ(v.get_ViewerQuality(), 0);
    win::AdvanceClock(1);
    EXPECT_EQ(v.get_ViewerQuality(), 4);
    EXPECT_TRUE(v.quality_pass_done());
    EXPECT_LT(nearest_agreement(noise_pixel), 0.5) << "now filtered";
    bool checked = false;
    v.menu_state("mnqualitybicubichq", &checked, nullptr, nullptr);
    EXPECT_TRUE(checked);
    m_events.reset();
    win::AdvanceClock(10000);
    EXPECT_EQ(m_events.n("PageChange"), 0) << "one quality pass per layout";
}

TEST_F(PaintTest, LockControlPaintsNothingButRaisesPageChange) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(100, 100, noise_pixel)), 0);
    uint32_t before = window_bgra(100, 100);
    v.put_LockControl(true);
    m_events.reset();
    v.put_Zoom(2.0);
    EXPECT_EQ(window_bgra(100, 100), before);
    EXPECT_EQ(m_events.n("PageChange"), 1);
    EXPECT_EQ(m_events.n("Displayed"), 0);
    v.put_LockControl(false);
    v.Redraw();
    EXPECT_NE(window_bgra(100, 100), before);
}

TEST_F(PaintTest, TransparentWindowGetsPictureAndMaskForcePictureModeOnlyThePicture) {
    LumViewer& v = make(200, 200);
    v.put_BackStyle(0);
    ASSERT_EQ(show(make_image(100, 100, [](int, int) { return 0xFFFF8000u; })), 0);
    EXPECT_TRUE(win::GetWindowPicture(v.hwnd(), win::WindowPicture::Picture));
    EXPECT_TRUE(win::GetWindowPicture(v.hwnd(), win::WindowPicture::MaskPicture));
    EXPECT_EQ(window_bgra(100, 100), 0xFFFF8000u);
    EXPECT_EQ(window_bgra(10, 10) >> 24, 0u) << "outside the image the window is transparent";
    LumViewer& w = make(200, 200);
    w.put_ForcePictureMode(true);
    ASSERT_EQ(show(make_image(100, 100, [](int, int) { return 0xFFFF8000u; })), 0);
    EXPECT_TRUE(win::GetWindowPicture(w.hwnd(), win::WindowPicture::Picture));
    EXPECT_FALSE(win::GetWindowPicture(w.hwnd(), win::WindowPicture::MaskPicture));
    EXPECT_EQ(window_bgra(100, 100), 0xFFFF8000u);
    w.Clear();
    EXPECT_FALSE(win::GetWindowPicture(w.hwnd(), win::WindowPicture::Picture));
}

TEST_F(PaintTest, EventsAfterAPaint) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(50, 50, noise_pixel)), 0);
    std::vector<std::string> want{"ZoomChange",     "PictureChange", "Displayed",
                                  "PictureChanged", "PageChange",    "ZoomChanged"};
    EXPECT_EQ(m_events.order, want);
    m_events.reset();
    v.Redraw();
    EXPECT_EQ(m_events.n("PictureChange"), 0) << "the same image again";
    EXPECT_EQ(m_events.n("Displayed"), 1);
}

TEST_F(PaintTest, AFailedPaintIsReportedOnceAndTheNextPaintTriesAgain) {
    LumViewer& v = make(200, 200, false);
    GpImage image = make_image(50, 50, noise_pixel);
    ASSERT_EQ(show(image), 0);
    modGdiplus::DisposeImage(image);  // the host closed it behind the viewer's back
    win::TakeMessageBoxes();
    v.put_Zoom(2.0);
    EXPECT_EQ(v.last_status(), 2);
    auto boxes = win::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can not display image error no: 2");
    v.put_Zoom(1.5);  // the status-was-set flag clears it first: tried (and failed) again
    EXPECT_EQ(win::TakeMessageBoxes().size(), 1u);
}

TEST_F(PaintTest, TheCornerTakesTheFocusUnlessAutoFocusIsOff) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(400, 400, noise_pixel)), 0);
    ASSERT_TRUE(visible("shCorner"));
    EXPECT_EQ(GetFocus(), v.part("shCorner"));
    SetFocus(v.hwnd());
    v.put_DisableAutoFocus(true);
    v.Redraw();
    EXPECT_EQ(GetFocus(), v.hwnd());
}

TEST_F(PaintTest, ClickingABarArrowScrollsByOneSmallChange) {
    LumViewer& v = make(200, 200);
    v.put_ImageAlignment(4);  // top left: opens at 0, 0
    ASSERT_EQ(show(make_image(400, 400, noise_pixel)), 0);
    ASSERT_EQ(v.GetVScrollBarPosition(), 0);
    m_events.reset();
    win::SendMouseDown(v.hwnd(), 1, 0, 190, 175);  // the vertical bar's lower arrow
    win::SendMouseUp(v.hwnd(), 1, 0, 190, 175);
    EXPECT_EQ(v.GetVScrollBarPosition(), 1);
    EXPECT_EQ(v.GetImageTop(), -1);
    EXPECT_EQ(m_events.n("ScrollControl"), 1);
    EXPECT_EQ(m_events.n("MouseDownControl"), 0) << "the bar took the click";
    EXPECT_EQ(window_bgra(0, 0), noise_pixel(0, 1));
}

TEST_F(PaintTest, TheSelectionFollowsTheImageAfterAZoom) {
    LumViewer& v = make(300, 300);
    ASSERT_EQ(show(make_image(100, 100, noise_pixel)), 0);
    v.SetRectValues(11, 21, 30, 40);
    v.put_Zoom(2.0);
    win::WindowBounds b;
    win::GetWindowBounds(v.part("shRect"), &b);
    int32_t ox = 0, oy = 0;
    v.CoordImageToObject(11, 21, ox, oy);
    EXPECT_EQ(b.x, ox);
    EXPECT_EQ(b.y, oy);
    EXPECT_EQ(b.width, 60);
    EXPECT_EQ(b.height, 80);
}

// The engine's drawing, refusing for lack of memory the first `failures` calls; every call is
// recorded.
struct ScarceMemory {
    struct Call {
        GpImage image;
        int32_t mode;
        viewer::DrawRequest request;
    };
    static inline thread_local int failures = 0;
    static inline thread_local std::vector<Call> calls;
    static modGdiplus::EngineStatus draw(GpGraphics g, GpImage image, const viewer::DrawRequest& r,
                                         int32_t mode) {
        calls.push_back({image, mode, r});
        if (failures > 0) {
            --failures;
            return Gdiplus::OutOfMemory;
        }
        return viewer::EngineDraw(g, image, r, mode);
    }
};

class OutOfMemoryPaint : public PaintTest {
  protected:
    void SetUp() override {
        PaintTest::SetUp();
        viewer::SetDrawCall(&ScarceMemory::draw);
        ScarceMemory::calls.clear();
    }
    void TearDown() override {
        viewer::SetDrawCall(nullptr);
        PaintTest::TearDown();
    }
    // Paints the image where it is, failing the first `failures` draws; the window's pixels.
    std::vector<uint8_t> paint_with(int failures) {
        ScarceMemory::failures = failures;
        ScarceMemory::calls.clear();
        LumViewer& v = *m_viewer;
        v.SetHVScrollBarPosition(v.GetHScrollBarPosition(), v.GetVScrollBarPosition());
        take_snapshot();
        return m_snapshot.bgra;
    }
};

TEST_F(OutOfMemoryPaint, NearestNeighbourThenAClipOfTheVisibleArea) {
    LumViewer& v = make(200, 150, false);
    v.put_ViewerQuality(4);
    GpImage image = make_image(400, 300, noise_pixel);
    ASSERT_EQ(show(image), 0);
    v.put_Zoom(2.0);
    v.SetHVScrollBarPosition(300, 200);
    v.put_ViewerQuality(0);
    std::vector<uint8_t> nearest = paint_with(0);
    ASSERT_EQ(ScarceMemory::calls.size(), 1u);
    viewer::DrawRequest visible = ScarceMemory::calls[0].request;
    ASSERT_GT(visible.src_x, 0);
    v.put_ViewerQuality(4);

    EXPECT_EQ(paint_with(1), nearest) << "the retry is nearest neighbour";
    ASSERT_EQ(ScarceMemory::calls.size(), 2u);
    EXPECT_EQ(ScarceMemory::calls[0].mode, 7);
    EXPECT_EQ(ScarceMemory::calls[1].mode, 5);
    EXPECT_EQ(v.last_status(), 0);

    EXPECT_EQ(paint_with(2), nearest) << "the clip drawn unscaled at its origin looks the same";
    ASSERT_EQ(ScarceMemory::calls.size(), 3u);
    const ScarceMemory::Call& clip = ScarceMemory::calls[2];
    EXPECT_NE(clip.image, image);
    EXPECT_EQ(clip.mode, 5);
    EXPECT_EQ(clip.request.src_x, 0);
    EXPECT_EQ(clip.request.src_y, 0);
    EXPECT_EQ(clip.request.src_width, visible.src_width);
    EXPECT_EQ(clip.request.src_height, visible.src_height);
    UINT width = 0;
    EXPECT_NE(GdipGetImageWidth(clip.image, &width), Gdiplus::Ok) << "the clip is disposed";
    EXPECT_EQ(v.last_status(), 0);
    EXPECT_TRUE(win::TakeMessageBoxes().empty());

    paint_with(3);
    EXPECT_EQ(v.last_status(), 3);
    auto boxes = win::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can not display image error no: 3");
    paint_with(0);
    EXPECT_EQ(v.last_status(), 0) << "the next paint tries again";
    ASSERT_EQ(ScarceMemory::calls.size(), 1u);
    EXPECT_EQ(ScarceMemory::calls[0].mode, 7);
}

}  // namespace
}  // namespace viewtest
