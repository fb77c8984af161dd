// Zoom modes, the maximum zoom, scroll ranges and placement.
#include <cmath>

#include "viewer/viewer_fixture.h"

namespace viewtest {
namespace {

ARGB grey(int, int) {
    return 0xFF808080u;
}

class LayoutTest : public ViewerTest {};

TEST_F(LayoutTest, FitToControlCentresAWideImage) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(1000, 500, grey)), 0);
    v.put_ZoomMode(2);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 0.4);
    EXPECT_EQ(v.GetImageLeft(), 0);
    EXPECT_EQ(v.GetImageTop(), 100) << "(400 - 200) / 2";
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 0);
    EXPECT_EQ(v.GetVScrollBarMaxPosition(), 0);
    EXPECT_FALSE(visible("HScroll"));
    EXPECT_FALSE(visible("VScroll"));
}

TEST_F(LayoutTest, AspectFactorDrawsANonSquarePixelImageSquare) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(1000, 500, grey, 200, 100)), 0);
    v.put_ZoomMode(2);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 0.4);
    EXPECT_EQ(v.GetImageTop(), 0) << "displayed 400 x 400: R = 2 x 0.5 = 1";
    v.put_SkipImageResolution(true);
    v.Redraw();
    EXPECT_EQ(v.GetImageTop(), 100) << "resolutions skipped: drawn 400 x 200";
}

TEST_F(LayoutTest, ZoomMembersOutOfRangeDoNothing) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(100, 100, grey)), 0);
    double max = v.GetMaxZoom();
    EXPECT_DOUBLE_EQ(max, (400 + 32765 - 17) / 100.0);
    v.put_Zoom(max - 0.05);
    m_events.reset();
    v.ZoomIN();  // max + 0.05 is beyond the maximum: no clamping
    EXPECT_DOUBLE_EQ(v.get_Zoom(), max - 0.05);
    EXPECT_EQ(m_events.n("ZoomChange"), 0);
    v.put_Zoom(0.1);
    v.ZoomOUT();  // 0.0 is not above 0.001
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 0.1);
    v.SetZoom(0);
    v.SetZoom(-5);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 0.1);
    v.SetZoom(250);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 2.5);
    EXPECT_EQ(v.get_ZoomMode(), 4);
    v.put_Zoom(1e9);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), max) << "a put beyond the maximum takes the maximum";
}

TEST_F(LayoutTest, SetZoom100InModeOneDoesNotLayOutAgain) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(100, 100, grey)), 0);
    m_events.reset();
    v.SetZoom100();
    EXPECT_EQ(m_events.n("ZoomChange"), 0);
    v.put_ZoomMode(99);
    EXPECT_EQ(v.get_ZoomMode(), 1) << "an unknown mode is ignored";
    v.put_ZoomMode(5);
    EXPECT_EQ(m_events.n("ZoomChange"), 1);
    bool checked = false;
    ASSERT_TRUE(v.menu_state("mnZoomheight", &checked, nullptr, nullptr));
    EXPECT_TRUE(checked);
    ASSERT_TRUE(v.menu_state("mnzoom100", &checked, nullptr, nullptr));
    EXPECT_FALSE(checked);
}

TEST_F(LayoutTest, OnePixelWiderThanTheWindowScrollsByOne) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(400, 400, grey)), 0);
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 0);
    EXPECT_FALSE(visible("HScroll"));
    ASSERT_EQ(show(make_image(401, 400, grey)), 0);
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 1) << "the bar's width added, then taken off";
    EXPECT_EQ(v.GetVScrollBarMaxPosition(), 0);
    EXPECT_TRUE(visible("HScroll"));
    EXPECT_FALSE(visible("VScroll"));
    EXPECT_FALSE(visible("shCorner"));
    win::WindowBounds b;
    win::GetWindowBounds(v.part("HScroll"), &b);
    EXPECT_EQ(b.width, 400) << "no vertical bar: the horizontal one takes the whole width";
}

TEST_F(LayoutTest, BottomRightAlignmentThenTheUsersPositionIsKept) {
    LumViewer& v = make(400, 300);
    v.put_ImageAlignment(8);
    ASSERT_EQ(show(make_image(1000, 800, grey)), 0);
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 1000 - 400 + 17);
    EXPECT_EQ(v.GetVScrollBarMaxPosition(), 800 - 300 + 17);
    EXPECT_EQ(v.GetHScrollBarPosition(), 617);
    EXPECT_EQ(v.GetVScrollBarPosition(), 517);
    EXPECT_EQ(v.GetImageLeft(), -617);
    EXPECT_EQ(v.GetImageTop(), -517);
    EXPECT_TRUE(visible("shCorner"));
    v.SetHScrollBarPosition(300);
    EXPECT_EQ(v.GetImageLeft(), -300);
    v.put_Zoom(1.1);
    int32_t hmax = v.GetHScrollBarMaxPosition();
    EXPECT_EQ(hmax, 1100 - 400 + 17);
    EXPECT_EQ(v.GetHScrollBarPosition(), int32_t(std::nearbyint(hmax * 300.0 / 617)))
        << "the relative position the user chose";
    EXPECT_EQ(v.GetVScrollBarPosition(), v.GetVScrollBarMaxPosition())
        << "the vertical axis was not scrolled: still aligned to the bottom";
}

TEST_F(LayoutTest, KeepImagePositionSkipsTheAlignment) {
    LumViewer& v = make(400, 300);
    v.put_ImageAlignment(8);
    v.put_KeepImagePosition(true);
    ASSERT_EQ(show(make_image(1000, 800, grey)), 0);
    EXPECT_EQ(v.GetHScrollBarPosition(), 0);
    v.SetHVScrollBarPosition(100, 50);
    ASSERT_EQ(show(make_image(1000, 800, grey)), 0);
    EXPECT_EQ(v.GetHScrollBarPosition(), 100) << "a new image keeps the bar values";
    EXPECT_EQ(v.GetVScrollBarPosition(), 50);
}

TEST_F(LayoutTest, ZoomRectPutsTheRectangleAtTheTopLeftAtTheTighterZoom) {
    LumViewer& v = make(400, 400);
    ASSERT_EQ(show(make_image(1000, 1000, grey)), 0);
    v.SetRectValues(101, 201, 100, 50);
    ASSERT_TRUE(v.isRectDrawed());
    int32_t l, t, w, h;
    v.GetRectValues(l, t, w, h);
    EXPECT_EQ(l, 101);
    EXPECT_EQ(t, 201);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    v.ZoomRect();
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 4.0) << "400 / 100 against 400 / 50: the tighter axis";
    EXPECT_EQ(v.get_ZoomMode(), 4);
    EXPECT_EQ(v.GetImageLeft(), -400) << "the rectangle's first column at the left edge";
    EXPECT_EQ(v.GetImageTop(), -800);
    v.GetRectValues(l, t, w, h);
    EXPECT_EQ(l, 101) << "the rectangle follows the image";
    EXPECT_EQ(w, 100);
    v.ClearRect();
    m_events.reset();
    v.ZoomRect();
    EXPECT_EQ(m_events.n("ZoomChange"), 0) << "no rectangle, no zoom";
}

TEST_F(LayoutTest, ShrinkingTheWindowAtMaximumZoomKeepsTheBarsInRange) {
    LumViewer& v = make(2000, 2000);
    ASSERT_EQ(show(make_image(100, 50, grey)), 0);
    v.put_Zoom(1e9);
    ASSERT_TRUE(win::ResizeWindow(v.hwnd(), 300, 200));
    EXPECT_LE(v.GetHScrollBarMaxPosition(), 32767);
    EXPECT_LE(v.GetVScrollBarMaxPosition(), 32767);
    EXPECT_LE(v.get_Zoom(), v.GetMaxZoom()) << "lowered after the resize";
    EXPECT_EQ(m_events.n("ResizeControl"), 1);
}

TEST_F(LayoutTest, ScrollBarsOffHidesTheBarsButKeepsTheRange) {
    LumViewer& v = make(300, 300);
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    EXPECT_TRUE(visible("VScroll"));
    v.put_ScrollBars(false);
    EXPECT_FALSE(visible("VScroll"));
    EXPECT_FALSE(visible("HScroll"));
    EXPECT_EQ(v.GetVScrollBarMaxPosition(), 600 - 300 + 17);
    v.SetVScrollBarPosition(100000);
    EXPECT_EQ(v.GetVScrollBarPosition(), v.GetVScrollBarMaxPosition()) << "clamped";
}

TEST_F(LayoutTest, WidthAndHeightModesLeaveRoomForTheOtherBar) {
    LumViewer& v = make(400, 300);
    ASSERT_EQ(show(make_image(800, 1200, grey)), 0);
    v.put_ZoomMode(3);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), (400.0 - 17) / 800)
        << "taller than the window: room for the bar";
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 0);
    v.put_ZoomMode(5);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 300.0 / 1200);
    v.put_ZoomMode(6);
    EXPECT_EQ(v.GetImageLeft(), 0);
    EXPECT_EQ(v.GetImageTop(), 0);
    EXPECT_EQ(v.GetHScrollBarMaxPosition(), 0);
    EXPECT_EQ(v.GetVScrollBarMaxPosition(), 0) << "stretched to the window";
}

TEST_F(LayoutTest, KeypadKeysZoomOrScrollAsTheWheelModeSays) {
    LumViewer& v = make(300, 300);
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    win::SendKeyDown(v.hwnd(), VK_ADD, 0);
    win::SendKeyUp(v.hwnd(), VK_ADD, 0);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.1);
    v.put_MouseWheelMode(1);
    v.SetVScrollBarPosition(20);
    win::SendKeyUp(v.hwnd(), VK_ADD, 0);
    EXPECT_EQ(v.GetVScrollBarPosition(), 0) << "20 - 50 is below 0";
    win::SendKeyUp(v.hwnd(), VK_SUBTRACT, 0);
    EXPECT_EQ(v.GetVScrollBarPosition(), 50);
    m_events.on_key_up = [](int16_t& code) { code = 0; };
    win::SendKeyUp(v.hwnd(), VK_SUBTRACT, 0);
    EXPECT_EQ(v.GetVScrollBarPosition(), 50) << "the host set KeyCode to 0";
}

}  // namespace
}  // namespace viewtest

namespace viewtest {
namespace {

class WheelTest : public ViewerTest {};

TEST_F(WheelTest, TheWheelZoomsThroughTheKeypadKeysWithTheirEvents) {
    LumViewer& v = make(300, 300);
    win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0) << "nothing shown, nothing hooked";
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    m_events.reset();
    win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.1);
    EXPECT_EQ(m_events.n("KeyDownControl"), 1);
    EXPECT_EQ(m_events.n("KeyUpControl"), 1);
    win::SendMouseWheel(v.hwnd(), -120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0);
    // A button held in the viewer: the wheel is ignored.
    win::SendMouseDown(v.hwnd(), 1, 0, 10, 10);
    win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0);
    win::SendMouseUp(v.hwnd(), 1, 0, 10, 10);
    v.put_EnableMouseWheel(false);
    win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0) << "unhooked";
    EXPECT_EQ(GetWindowLongPtrA(v.hwnd(), GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&LumViewer::WindowProc));
}

TEST_F(WheelTest, AViewerDisabledAtItsFirstPaintGetsTheWheelOnceEnabled) {
    LumViewer& v = make(300, 300);
    v.put_Enabled(false);
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    EXPECT_FALSE(win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10)) << "disabled: no input";
    v.put_Enabled(true);
    win::SendMouseWheel(v.hwnd(), 120, 0, 10, 10);
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.1);
}

TEST_F(LayoutTest, TheTransientRectangleModeNeverOutlivesItsLayout) {
    LumViewer& v = make(300, 300);
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    v.SetRectValues(1, 1, 50, 50);
    ASSERT_TRUE(win::ResizeWindow(v.hwnd(), 0, 0));
    v.ZoomRect();  // a window of no size: the layout does nothing
    EXPECT_EQ(v.get_ZoomMode(), 4);
}

TEST_F(LayoutTest, AWindowSmallerThanItsBarsPaintsWithoutFailing) {
    LumViewer& v = make(10, 10, false);
    win::TakeMessageBoxes();
    ASSERT_EQ(show(make_image(600, 600, grey)), 0);
    v.put_Zoom(30);
    EXPECT_EQ(v.last_status(), 0);
    EXPECT_TRUE(win::TakeMessageBoxes().empty());
}

}  // namespace
}  // namespace viewtest
