// The viewer's instance state and its private routines, shared by the files of src/viewer.
// Names follow the control's own: LayoutImage, PaintImage, ReadImageInfo, ...
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "imaging/modGdiplus.h"
#include "lumtwainpro/viewer.h"
#include "platform/win/win.h"
#include "viewer/viewer_engine.h"
#include "viewer/viewer_menu.h"

class cInet;
class cColor;

namespace viewer {

// Computed coordinates and sizes round to nearest with ties to even; values beyond the
// 32-bit range saturate.
inline int32_t round_even(double v) {
    if (std::isnan(v)) return 0;
    double r = std::nearbyint(v);
    if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(r);
}

// The viewer's message boxes.
void show_error(HWND owner, const std::string& text);
void show_plain(HWND owner, const std::string& text);

// Thread-wide marks of every viewer of the thread, read by the wheel hook.
struct ThreadMarks {
    bool busy = false;          // a layout or refresh runs
    bool wheel = false;         // a wheel message is being turned into keys
    bool mouse_button = false;  // a button is held in a viewer
    bool mouse_move = false;    // a mouse move is being handled
    bool key_down = false;      // a key is held in a viewer
};
ThreadMarks& marks();

}  // namespace viewer

struct LumViewer::State {
    explicit State(LumViewer& owner) : self(owner) {}
    LumViewer& self;
    LumViewerEvents* events = nullptr;

    // ---- Window and constituent parts ---------------------------------------------------
    HWND window = 0;
    HWND hscroll = 0, vscroll = 0, corner = 0, shape = 0;
    viewer::Menu menu;
    bool quality_timer = false;  // TmQual enabled
    static constexpr UINT_PTR kQualityTimer = 1;
    static constexpr UINT kQualityInterval = 300;

    // ---- Instance state -----------------------------------------------------------------
    GpImage current = 0;
    GpImage display_copy = 0;
    int32_t display_copy_page = 0;
    GpImage last_painted = 0;
    int16_t source_kind = 0;  // 0 nothing, 1 raster image, 2 PDF
    int32_t last_status = 0;
    bool status_was_set = false;
    int32_t image_width = 0, image_height = 0;
    float horizontal_resolution = 0, vertical_resolution = 0;
    double aspect = 1.0;
    double zoom = 1.0;
    double max_zoom = 1.0;
    int32_t displayed_width = 0, displayed_height = 0;
    int32_t image_left = 0, image_top = 0;
    int32_t visible[4] = {0, 0, 0, 0};  // left, top, width, height of the last paint
    bool h_align_pending = true, v_align_pending = true;
    bool layout_ready = true;
    int32_t num_pages = 0, current_page = 0;
    bool animation = false;
    std::vector<int32_t> frame_delays;
    bool custom_mouse_icon = false;
    bool wheel_hook = false;
    std::string temp_copy_path, temp_pdf_path;
    bool temp_copy_in_use = false;
    int32_t http_buffer_size = 1024;
    bool ftp_passive = true;
    int32_t platform_id = 0;
    bool terminated = false;
    bool quality_done = false;
    bool zoom_to_rect_centre = false;

    // Download in progress (DisplayFromURL).
    bool transfer_running = false;
    cInet* transfer = nullptr;

    // Selection rectangle, mouse (selection and mouse modes build on these).
    int32_t stored_rect[4] = {0, 0, 0, 0};
    bool rect_drawn = false;
    int32_t mouse_down_x = 0, mouse_down_y = 0;
    bool outside_x = true, outside_y = true;
    int32_t mouse_image_x = 0, mouse_image_y = 0;
    bool panning = false;
    bool click_pending = false;

    // Animation (frames).
    int32_t next_frame = 1;
    int32_t loop_counter = -1;
    UINT_PTR animation_timer = 0;

    // ---- Persisted properties -----------------------------------------------------------
    bool scroll_bars = true;
    bool enable_menu = true;
    int32_t mouse_mode = 2;
    int32_t zoom_step = 10;
    int32_t zoom_mode = 1;
    int16_t scroll_small = 1, scroll_large = 50;
    bool silent = false;
    int32_t pdf_dpi = 110;
    bool pdf_force_temp = false;
    bool image_force_temp = false;
    bool skip_resolution = false;
    bool lock_control = false;
    int32_t pdf_rendering_mode = 0;
    bool enable_mouse_wheel = true;
    int32_t image_alignment = 2;
    bool animate_gif = false;
    bool enabled = true;
    int32_t rect_draw_mode = 13;
    int32_t rect_border_style = 1;
    bool scroll_optimization = true;
    int32_t viewer_quality = 4;
    bool viewer_quality_auto = false;
    bool force_picture_mode = false;
    bool keep_image_position = false;
    int32_t mouse_wheel_mode = 0;
    bool viewer_drop = false;
    bool disable_auto_focus = false;

    // ---- Life cycle (LumViewer.cpp) -----------------------------------------------------
    void Start();
    void Terminate();
    void OnResize();
    void Fail(const char* prefix, const std::string& what);  // last status 1 and a message

    // ---- Events -------------------------------------------------------------------------
    // Calls the host's handler; what it throws stays with it.
    template <class F>
    void raise(F&& call) {
        if (!events) return;
        try {
            call(*events);
        } catch (const std::exception& e) {
            win::DebugLog(std::string("LumViewer: an event handler failed: ") + e.what());
        } catch (...) {
            win::DebugLog("LumViewer: an event handler failed");
        }
    }

    // ---- Display sources (viewer_sources.cpp) -------------------------------------------
    int32_t ShowLoaded(int32_t status);  // steps 4 and 5 of the common display sequence
    void ReleasePdfIfShown();
    void ResetDisplayState(bool keep_pages, bool keep_geometry);
    int32_t ReleaseCurrentImage();
    void ReadImageInfo(GpImage image);
    int32_t MakeDisplayCopy();
    void ReleaseDisplayCopy();
    int32_t RotateFlipDisplayed(int32_t rotate_flip);
    void ClosePdfDocument();
    GpImage shown_image() const { return display_copy ? display_copy : current; }

    // ---- Zoom and scrolling (viewer_layout.cpp, viewer_scroll.cpp) ------------------------
    void LayoutImage(GpImage image = 0);
    void ComputeMaxZoom();
    void UpdateScrollRanges();
    void UpdateScrollBars();
    void OnScrollChange(HWND bar);
    int32_t bar_max(HWND bar) const;
    int32_t bar_value(HWND bar) const;
    void set_bar_value(HWND bar, int32_t value);  // with layout ready False around it
    int bar_width() const;                        // the vertical bar's width
    int bar_height() const;                       // the horizontal bar's height
    bool bar_visible(HWND bar) const;
    int inner_width() const;
    int inner_height() const;
    void InstallWheelHook();
    void RemoveWheelHook();
    void KeypadZoom(int16_t key_code);

    // ---- Painting (viewer_paint.cpp) ----------------------------------------------------
    void PaintImage(GpImage image = 0, bool quality_pass = false);
    viewer::DrawRequest VisibleArea(int visible_width, int visible_height) const;
    int32_t DrawVisible(GpImage target, const viewer::DrawRequest& r, int visible_width,
                        int visible_height);
    int32_t SelectInterpolation(bool quality_pass);
    void SetQualityTimer(bool on);
    void OnQualityTimer();

    // ---- Input (viewer_input.cpp) -------------------------------------------------------
    void MousePosition(float x, float y);
    void OnMouseDown(int16_t button, int16_t shift, float x, float y);
    void OnMouseMove(int16_t button, int16_t shift, float x, float y);
    void OnMouseUp(int16_t button, int16_t shift, float x, float y);
    void OnKeyDown(int16_t key, int16_t shift);
    void OnKeyUp(int16_t key, int16_t shift);
    void OnChar(int16_t ascii);
    void OnDrop(const DROPFILESLIST& files);
    void RefreshRect();  // the drawn flag and the stored rectangle
    void PlaceRectangle(int32_t left, int32_t top, int32_t width, int32_t height);

    // ---- Frames (viewer_frames.cpp) -----------------------------------------------------
    void AnimationTick();
    void KillAnimationTimer();

    // ---- Menu check marks (viewer_menu.cpp) ---------------------------------------------
    void RefreshZoomMenu();
    void RefreshQualityMenu();
    void RefreshMouseMenu();
};
