// The window stand-in: surfaces, child controls, input routing, timers on the virtual
// clock, shapes and drops.
#include <gtest/gtest.h>

#include <vector>

#include "lumtwainpro/window.h"
#include "platform/win/win.h"

namespace {

struct Message {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

std::vector<Message>& log() {
    thread_local std::vector<Message> l;
    return l;
}

LRESULT recording_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    log().push_back({w, m, wp, lp});
    return 0;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSA wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = recording_proc;
        wc.lpszClassName = "TestRecorder";
        RegisterClassA(&wc);
        m_top = CreateWindowExA(0, "TestRecorder", "", 0, 0, 0, 200, 100, 0, 0, nullptr, nullptr);
        ASSERT_NE(m_top, 0u);
        log().clear();
    }
    void TearDown() override {
        DestroyWindow(m_top);
        EXPECT_EQ(win::TimerCount(), 0u) << "a destroyed window's timers must go with it";
    }
    std::vector<UINT> messages_to(HWND w) const {
        std::vector<UINT> out;
        for (auto& m : log())
            if (m.window == w) out.push_back(m.message);
        return out;
    }
    HWND child(const char* cls, DWORD style, int x, int y, int w, int h) {
        return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_top, 0,
                               nullptr, nullptr);
    }
    uint32_t pixel(int x, int y) {
        win::WindowPixels px;
        EXPECT_TRUE(win::GetWindowPixels(m_top, &px));
        const uint8_t* p = px.bgra.data() + (size_t(y) * px.width + x) * 4;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    HWND m_top = 0;
};

TEST_F(WindowTest, SurfaceIsTheWindowsDeviceContextAndFollowsResizes) {
    HDC dc = GetDC(m_top);
    win::Surface s;
    ASSERT_TRUE(win::GetSurface(dc, &s));
    EXPECT_EQ(s.width, 200);
    EXPECT_EQ(s.height, 100);
    reinterpret_cast<uint32_t*>(s.scan0)[0] = 0xFF123456u;
    ASSERT_TRUE(win::ResizeWindow(m_top, 300, 50));
    ASSERT_EQ(messages_to(m_top), std::vector<UINT>{WM_SIZE});
    EXPECT_EQ(log().back().lparam, MAKELPARAM(300, 50));
    ASSERT_TRUE(win::GetSurface(GetDC(m_top), &s));
    EXPECT_EQ(s.width, 300);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(s.scan0)[0], 0xFF123456u) << "kept across the resize";
    EXPECT_FALSE(win::ResizeWindow(m_top, 40000, 10));
    EXPECT_EQ(GetDC(HWND(12345)), 0u) << "no DC for a window that does not exist";
}

TEST_F(WindowTest, ScrollBarKeepsSixteenBitValuesAndNotifiesItsParent) {
    HWND bar = child("SCROLLBAR", SBS_HORZ, 0, 83, 183, 17);
    ASSERT_TRUE(win::SetScrollBarRange(bar, 0, 100));
    ASSERT_TRUE(win::SetScrollBarChanges(bar, 5, 20));
    EXPECT_FALSE(win::SetScrollBarValue(bar, 101)) << "outside the range is refused";
    EXPECT_FALSE(win::SetScrollBarRange(bar, 0, 40000));
    log().clear();
    ASSERT_TRUE(win::SetScrollBarValue(bar, 60));
    ASSERT_EQ(log().size(), 1u);
    EXPECT_EQ(log()[0].message, WM_HSCROLL);
    EXPECT_EQ(HWND(log()[0].lparam), bar);
    EXPECT_EQ(LOWORD(log()[0].wparam), SB_THUMBPOSITION);
    log().clear();
    ASSERT_TRUE(win::SetScrollBarValue(bar, 60));
    EXPECT_TRUE(log().empty()) << "no change, no notification";
    ASSERT_TRUE(win::SetScrollBarRange(bar, 0, 50));  // pulls the value in and says so
    win::ScrollBarValues v;
    ASSERT_TRUE(win::GetScrollBarValues(bar, &v));
    EXPECT_EQ(v.value, 50);
    EXPECT_EQ(log().size(), 1u);
}

TEST_F(WindowTest, ScrollBarArrowsTrackAndThumbFollowTheMouse) {
    HWND bar = child("SCROLLBAR", SBS_HORZ, 0, 83, 183, 17);
    win::SetScrollBarRange(bar, 0, 100);
    win::SetScrollBarChanges(bar, 5, 20);
    auto value = [&] {
        win::ScrollBarValues v;
        win::GetScrollBarValues(bar, &v);
        return int(v.value);
    };
    auto click = [&](int x) {
        win::SendMouseDown(m_top, 1, 0, x, 90);
        win::SendMouseUp(m_top, 1, 0, x, 90);
    };
    click(175);  // right arrow
    EXPECT_EQ(value(), 5);
    click(3);  // left arrow
    EXPECT_EQ(value(), 0);
    click(120);  // track after the thumb
    EXPECT_EQ(value(), 20);
    click(18);  // track before the thumb
    EXPECT_EQ(value(), 0);
    // Drag the thumb (17 wide at the track's start) to the far end.
    log().clear();
    win::SendMouseDown(m_top, 1, 0, 20, 90);
    win::SendMouseMove(m_top, 1, 0, 400, 90);  // captured: beyond the window still drags
    EXPECT_EQ(value(), 100);
    win::SendMouseUp(m_top, 1, 0, 400, 90);
    std::vector<WPARAM> codes;
    for (auto& m : log())
        if (m.message == WM_HSCROLL) codes.push_back(LOWORD(m.wparam));
    EXPECT_EQ(codes, (std::vector<WPARAM>{SB_THUMBTRACK, SB_THUMBPOSITION}));
    EXPECT_TRUE(messages_to(m_top).size() == codes.size()) << "the parent saw no mouse message";
}

TEST_F(WindowTest, MouseGoesToTheWindowUnderThePointerAndStaysCaptured) {
    HWND box = child("STATIC", 0, 150, 50, 20, 20);
    win::SendMouseDown(m_top, 1, 1, 10, 10);
    win::SendMouseMove(m_top, 1, 1, 160, 60);  // over the box, but the top window has the mouse
    win::SendMouseUp(m_top, 1, 0, 160, 60);
    ASSERT_EQ(messages_to(m_top), (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    EXPECT_EQ(log()[0].wparam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(GET_X_LPARAM(log()[1].lparam), 160);
    EXPECT_EQ(GetCapture(), 0u);
    log().clear();
    win::SendDoubleClick(m_top, 1, 0, 5, 5);
    EXPECT_EQ(messages_to(m_top), std::vector<UINT>{WM_LBUTTONDBLCLK})
        << "the class has CS_DBLCLKS";
    win::SendMouseUp(m_top, 1, 0, 5, 5);
    log().clear();
    win::SendMouseMove(m_top, 0, 0, -5, -7);
    EXPECT_EQ(GET_X_LPARAM(log().back().lparam), -5) << "coordinates are signed";
    EXPECT_EQ(GET_Y_LPARAM(log().back().lparam), -7);
    (void)box;
}

TEST_F(WindowTest, DisabledWindowTakesNoInput) {
    EXPECT_FALSE(EnableWindow(m_top, FALSE));
    log().clear();
    EXPECT_FALSE(win::SendMouseDown(m_top, 1, 0, 1, 1));
    EXPECT_FALSE(win::SendKeyDown(m_top, 65, 0));
    EXPECT_FALSE(win::SendMouseWheel(m_top, 120, 0, 1, 1));
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(EnableWindow(m_top, TRUE)) << "it was disabled";
}

TEST_F(WindowTest, KeysGoToTheFocusedChildAndOnToItsParent) {
    HWND box = child("STATIC", 0, 0, 0, 10, 10);
    ASSERT_EQ(SetFocus(box), 0u);
    EXPECT_EQ(GetFocus(), box);
    log().clear();
    win::SendKeyDown(m_top, 0x41, 1);
    ASSERT_EQ(messages_to(m_top), std::vector<UINT>{WM_KEYDOWN});
    EXPECT_EQ(log()[0].wparam, 0x41u);
    EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
    EXPECT_FALSE(GetKeyState(VK_CONTROL) & 0x8000);
    DestroyWindow(box);
    EXPECT_EQ(GetFocus(), 0u) << "a destroyed window loses the focus";
}

TEST_F(WindowTest, TimersFireInOrderOnTheVirtualClock) {
    int64_t start = win::ClockNow();
    ASSERT_EQ(SetTimer(m_top, 7, 300, nullptr), 7u);
    ASSERT_EQ(SetTimer(m_top, 8, 100, nullptr), 8u);
    EXPECT_EQ(win::NextTimerDue(), 100);
    EXPECT_EQ(win::AdvanceClock(99), 0);
    EXPECT_EQ(win::AdvanceClock(1), 1);
    EXPECT_EQ(win::AdvanceClock(500), 7) << "8 at 200 to 600, 7 at 300 and 600";
    std::vector<WPARAM> ids;
    for (auto& m : log())
        if (m.message == WM_TIMER) ids.push_back(m.wparam);
    // At a tie the timer that was set (or re-armed) first fires first.
    EXPECT_EQ(ids, (std::vector<WPARAM>{8, 8, 7, 8, 8, 8, 7, 8}));
    EXPECT_EQ(win::ClockNow() - start, 600);
    // Setting it again restarts its count; killing it stops it.
    SetTimer(m_top, 7, 300, nullptr);
    EXPECT_TRUE(KillTimer(m_top, 8));
    EXPECT_FALSE(KillTimer(m_top, 8));
    log().clear();
    EXPECT_EQ(win::AdvanceClock(299), 0);
    EXPECT_EQ(win::AdvanceClock(1), 1);
    EXPECT_EQ(SetTimer(m_top, 9, 0, nullptr), 9u);
    EXPECT_EQ(win::NextTimerDue(), 10) << "never below the platform's minimum";
}

UINT_PTR g_one_shot = 0;
int g_proc_calls = 0;
void one_shot_proc(HWND window, UINT, UINT_PTR id, DWORD) {
    ++g_proc_calls;
    KillTimer(window, id);
    if (g_proc_calls < 3) g_one_shot = SetTimer(window, id, 50 * UINT(g_proc_calls), one_shot_proc);
}

TEST_F(WindowTest, OneShotTimersSetAgainFromTheirProcedure) {
    g_proc_calls = 0;
    SetTimer(m_top, 42, 10, one_shot_proc);
    EXPECT_EQ(win::AdvanceClock(1000), 3) << "after 10, 60 and 160 ms, then no more";
    EXPECT_EQ(g_proc_calls, 3);
    EXPECT_EQ(win::TimerCount(), 0u);
}

TEST_F(WindowTest, PostedMessagesWaitForTheLoop) {
    PostMessageA(m_top, WM_USER + 1, 1, 2);
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(win::PumpMessages(), 1);
    ASSERT_EQ(messages_to(m_top), std::vector<UINT>{WM_USER + 1});
    HWND gone = child("STATIC", 0, 0, 0, 1, 1);
    PostMessageA(gone, WM_USER, 0, 0);
    DestroyWindow(gone);
    EXPECT_EQ(win::PumpMessages(), 0) << "a message to a destroyed window is dropped";
}

TEST_F(WindowTest, ShapeOutlineIsMixedWithThePixelsUnderIt) {
    HDC dc = GetDC(m_top);
    win::Surface s;
    ASSERT_TRUE(win::GetSurface(dc, &s));
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            reinterpret_cast<uint32_t*>(s.scan0 + y * s.stride)[x] = 0xFF0000FFu;  // blue
    HWND shape = child("LUMSHAPE", 0, 10, 10, 20, 10);
    win::ShapeStyle st;
    st.border_color = 0x0000FF;  // OLE red
    st.draw_mode = 7;            // XOR
    ASSERT_TRUE(win::SetShapeStyle(shape, st));
    EXPECT_EQ(pixel(10, 10), 0xFF00FFu) << "red XOR blue";
    EXPECT_EQ(pixel(29, 19), 0xFF00FFu) << "bottom-right corner of the outline";
    EXPECT_EQ(pixel(15, 15), 0x0000FFu) << "inside is untouched";
    st.draw_mode = 13;
    st.border_style = 3;  // dots: three on, three off
    win::SetShapeStyle(shape, st);
    EXPECT_EQ(pixel(12, 10), 0xFF0000u);
    EXPECT_EQ(pixel(13, 10), 0x0000FFu);
    st.border_style = 0;
    win::SetShapeStyle(shape, st);
    EXPECT_EQ(pixel(10, 10), 0x0000FFu) << "a transparent border draws nothing";
}

TEST_F(WindowTest, DropsNeedTheManualDropMode) {
    EXPECT_FALSE(win::DropFiles(m_top, {"/tmp"}));
    win::SetWindowProperty(m_top, win::WindowProperty::OleDropMode, 1);
    EXPECT_TRUE(win::DropFiles(m_top, {"/tmp"}, 3, 4));
    EXPECT_EQ(messages_to(m_top), std::vector<UINT>{WM_DROPFILES});
}

LRESULT g_previous_calls = 0;
WNDPROC g_previous = nullptr;
LRESULT subclass_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    ++g_previous_calls;
    return CallWindowProcA(g_previous, w, m, wp, lp);
}

TEST_F(WindowTest, SubclassingChainsToThePreviousProcedure) {
    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(m_top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&subclass_proc)));
    ASSERT_EQ(g_previous, &recording_proc);
    SendMessageA(m_top, WM_USER, 0, 0);
    EXPECT_EQ(g_previous_calls, 1);
    EXPECT_EQ(messages_to(m_top), std::vector<UINT>{WM_USER});
    SetWindowLongPtrA(m_top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
}

TEST(WindowVersion, ReportsAnNtPlatform) {
    OSVERSIONINFOA info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
}

}  // namespace

namespace {

TEST(WindowHost, ProcessEventsRunsFromThePumpAndIsNeverReentered) {
    int calls = 0;
    win::HostHooks hooks;
    hooks.process_events = [&] {
        ++calls;
        win::PumpMessages();  // a host whose own loop pumps again
    };
    win::SetHostHooks(hooks);
    win::PumpMessages();
    win::AdvanceClock(10);
    win::SetHostHooks({});
    EXPECT_EQ(calls, 2);
}

}  // namespace
