// Zoom: the zoom members, the layout of the image in the window (zoom by mode, the maximum
// zoom, scroll ranges and placement) and the scroll bars' visibility and geometry.
#include <algorithm>

#include "viewer/viewer_p.h"

using State = LumViewer::State;
using viewer::round_even;

namespace {

// The scroll bars keep 16-bit values.
constexpr int32_t kBarLimit = 32767;

// The share of the scroll range an alignment asks for on each axis; negative keeps the
// current position.
double horizontal_share(int32_t alignment) {
    switch (alignment) {
        case 0:
        case 4:
        case 7:
            return 0.0;
        case 2:
        case 6:
        case 9:
            return 0.5;
        case 1:
        case 5:
        case 8:
            return 1.0;
        default:
            return -1.0;
    }
}

double vertical_share(int32_t alignment) {
    if (alignment >= 0 && alignment <= 2) return 0.5;
    if (alignment >= 4 && alignment <= 6) return 0.0;
    if (alignment >= 7 && alignment <= 9) return 1.0;
    return -1.0;
}

}  // namespace

int State::inner_width() const {
    RECT r;
    return GetClientRect(window, &r) ? r.right : 0;
}
int State::inner_height() const {
    RECT r;
    return GetClientRect(window, &r) ? r.bottom : 0;
}
int State::bar_width() const {
    win::WindowBounds b;
    return win::GetWindowBounds(vscroll, &b) ? b.width : 0;
}
int State::bar_height() const {
    win::WindowBounds b;
    return win::GetWindowBounds(hscroll, &b) ? b.height : 0;
}
bool State::bar_visible(HWND bar) const {
    return IsWindowVisible(bar) != FALSE;
}
int32_t State::bar_max(HWND bar) const {
    win::ScrollBarValues v;
    return win::GetScrollBarValues(bar, &v) ? v.max : 0;
}
int32_t State::bar_value(HWND bar) const {
    win::ScrollBarValues v;
    return win::GetScrollBarValues(bar, &v) ? v.value : 0;
}

void State::set_bar_value(HWND bar, int32_t value) {
    bool ready = layout_ready;
    layout_ready = false;
    win::SetScrollBarValue(bar, std::clamp(value, 0, bar_max(bar)));
    layout_ready = ready;
}

void State::ComputeMaxZoom() {
    double max_w = round_even(inner_width() + 32765.0 - bar_width());
    double max_h = round_even(inner_height() + 32765.0 - bar_height());
    if (image_width < 1 || image_height < 1)
        max_zoom = 1.0;
    else if (image_height / aspect >= image_width)
        max_zoom = max_h / (image_height / aspect);
    else
        max_zoom = max_w / image_width;
    if (zoom > max_zoom) zoom = max_zoom;
}

void State::UpdateScrollRanges() {
    layout_ready = false;
    int W = inner_width(), H = inner_height(), bw = bar_width(), bh = bar_height();
    int32_t h_max = 0, v_max = 0;
    if (W >= displayed_width)
        set_bar_value(hscroll, 0);
    else
        h_max = round_even(double(displayed_width) - W + bw);
    if (H >= displayed_height)
        set_bar_value(vscroll, 0);
    else
        v_max = h_max < 1 ? round_even(double(displayed_height) - H)
                          : round_even(double(displayed_height) - H + bh);
    if (v_max == 0 && h_max >= 1) h_max = round_even(double(h_max) - bw);
    // A window that shrank since the maximum zoom was computed could ask for more than a
    // bar holds.
    h_max = std::clamp(h_max, 0, kBarLimit);
    v_max = std::clamp(v_max, 0, kBarLimit);
    win::SetScrollBarRange(vscroll, 0, v_max);
    win::SetScrollBarRange(hscroll, 0, h_max);
    if (v_max < 1) v_align_pending = true;
    if (h_max < 1) h_align_pending = true;
    layout_ready = true;
}

void State::UpdateScrollBars() {
    menu.check("mnscroll", scroll_bars);
    bool h_show = false, v_show = false;
    if (zoom_mode == 2) {
        h_align_pending = v_align_pending = true;
    } else {
        h_show = bar_max(hscroll) >= 1 && scroll_bars;
        v_show = bar_max(vscroll) >= 1 && scroll_bars;
    }
    ShowWindow(hscroll, h_show ? SW_SHOW : SW_HIDE);
    ShowWindow(vscroll, v_show ? SW_SHOW : SW_HIDE);
    int W = inner_width(), H = inner_height();
    win::WindowBounds v, h;
    win::GetWindowBounds(vscroll, &v);
    win::GetWindowBounds(hscroll, &h);
    MoveWindow(vscroll, v.x, v.y, v.width, h_show ? std::max(0, H - h.height) : H, TRUE);
    MoveWindow(hscroll, h.x, h.y, v_show ? std::max(0, W - v.width) : W, h.height, TRUE);
    ShowWindow(corner, h_show && v_show ? SW_SHOW : SW_HIDE);
}

void State::LayoutImage(GpImage image) {
    viewer::marks().busy = true;
    quality_done = false;
    auto done = [&] {
        if (zoom_mode == 10) zoom_mode = 4;  // the transient mode never outlives its layout
        RefreshZoomMenu();
        RefreshQualityMenu();
        viewer::marks().busy = false;
        layout_ready = true;
    };
    if (status_was_set) last_status = 0;
    GpImage target = image ? image : shown_image();
    int W = inner_width(), H = inner_height();
    if (W <= 0 || H <= 0 || last_status != 0 || !target || image_width <= 0 || image_height <= 0)
        return done();
    raise([](LumViewerEvents& e) { e.ZoomChange(); });
    double R = double(image_width) / image_height * aspect;
    double z = zoom;
    bool to_rect = false;
    int32_t rect[4] = {0, 0, 0, 0};
    switch (zoom_mode) {
        case 1:
            z = 1.0;
            break;
        case 2:
            z = R >= double(W) / H ? double(W) / image_width : double(H) / image_height * aspect;
            break;
        case 3:
            z = double(W) / image_width;
            if (image_width * z / R > H && scroll_bars) {
                z = double(W - bar_width()) / image_width;
                if (image_width * z / R < H) z = double(H) / image_height * aspect;
            }
            break;
        case 5:
            z = double(H) / image_height * aspect;
            if (image_width * z > W && scroll_bars) {
                z = double(H - bar_height()) / image_height * aspect;
                if (image_width * z < W) z = double(W) / image_width;
            }
            break;
        case 6:
            displayed_width = W;
            displayed_height = H;
            z = double(H) / image_height * aspect;
            break;
        case 10:
            self.GetRectValues(rect[0], rect[1], rect[2], rect[3]);
            if (rect[2] >= 1) z = double(W) / rect[2];
            // Heights in image pixels are drawn divided by the aspect factor.
            if (rect[3] > 0 && double(H) / rect[3] * aspect < z) z = double(H) / rect[3] * aspect;
            to_rect = true;
            zoom_mode = 4;
            break;
        default:
            break;
    }
    if (z > max_zoom) z = max_zoom;
    zoom = z;
    if (zoom_mode != 6) {
        displayed_width = round_even(image_width * z);
        displayed_height = round_even(displayed_width / R);
    }
    int32_t hm = bar_max(hscroll), vm = bar_max(vscroll);
    double h_rel = hm >= 1 ? double(bar_value(hscroll)) / hm : 0.0;
    double v_rel = vm >= 1 ? double(bar_value(vscroll)) / vm : 0.0;
    UpdateScrollRanges();
    layout_ready = false;
    hm = bar_max(hscroll);
    vm = bar_max(vscroll);
    if (to_rect) {
        // The rectangle's first pixel (1-based) at the window's top-left corner.
        image_left = std::clamp(round_even(-(rect[0] - 1) * zoom), -hm, 0);
        image_top = std::clamp(round_even(-(rect[1] - 1) * zoom / aspect), -vm, 0);
        set_bar_value(hscroll, -image_left);
        set_bar_value(vscroll, -image_top);
    } else {
        int AW = W, AH = H;
        if (scroll_bars) {
            if (hm >= 1) AH = H - bar_height();
            if (vm >= 1) AW = W - bar_width();
        }
        if (displayed_width > AW) {
            double share = horizontal_share(image_alignment);
            if (h_align_pending && !keep_image_position && share >= 0) h_rel = share;
            int32_t value = round_even(hm * h_rel);
            set_bar_value(hscroll, value);
            image_left = -bar_value(hscroll);
        } else {
            image_left = round_even((AW - displayed_width) / 2.0);
        }
        if (displayed_height > AH) {
            double share = vertical_share(image_alignment);
            if (v_align_pending && !keep_image_position && share >= 0) v_rel = share;
            int32_t value = round_even(vm * v_rel);
            set_bar_value(vscroll, value);
            image_top = -bar_value(vscroll);
        } else {
            image_top = round_even((AH - displayed_height) / 2.0);
        }
    }
    PaintImage(target);
    raise([](LumViewerEvents& e) { e.ZoomChanged(); });
    done();
}

// ---- Zoom members ------------------------------------------------------------------------

double LumViewer::get_Zoom() {
    return m->zoom;
}

void LumViewer::put_Zoom(double value) {
    if (!(value > 0)) return;
    if (m->current && value > m->max_zoom) value = m->max_zoom;
    if (value == m->zoom) return;
    m->zoom = value;
    m->zoom_mode = 4;
    if (m->current) m->LayoutImage();
}

int32_t LumViewer::get_ZoomMode() {
    return m->zoom_mode;
}

void LumViewer::put_ZoomMode(int32_t value) {
    if (value == m->zoom_mode) return;
    switch (value) {
        case 1:
            SetZoom100();
            break;
        case 2:
            SetZoomFitControl();
            break;
        case 3:
            SetZoomWidthControl();
            break;
        case 5:
            SetZoomHeightControl();
            break;
        case 6:
            SetZoomControl();
            break;
        case 4:
            break;
        default:
            return;
    }
    m->zoom_mode = value;
    m->RefreshZoomMenu();
}

int32_t LumViewer::ZoomIN() {
    double next = m->zoom + m->zoom_step / 100.0;
    if (next <= m->max_zoom && m->current) {
        m->zoom_mode = 4;
        m->zoom = next;
        m->LayoutImage();
    }
    return m->last_status;
}

int32_t LumViewer::ZoomOUT() {
    double next = m->zoom - m->zoom_step / 100.0;
    if (next > 0.001 && m->current) {
        m->zoom_mode = 4;
        m->zoom = next;
        m->LayoutImage();
    }
    return m->last_status;
}

int32_t LumViewer::SetZoom(double nZoomPercent) {
    if (nZoomPercent > 0 && nZoomPercent / 100.0 <= m->max_zoom) {
        m->zoom_mode = 4;
        m->zoom = nZoomPercent / 100.0;
        m->LayoutImage();
    }
    return m->last_status;
}

namespace {
int32_t set_mode(State& s, int32_t mode) {
    if (s.zoom_mode != mode) {
        s.zoom_mode = mode;
        s.LayoutImage();
    }
    return s.last_status;
}
}  // namespace

int32_t LumViewer::SetZoom100() {
    return set_mode(*m, 1);
}
int32_t LumViewer::SetZoomFitControl() {
    return set_mode(*m, 2);
}
int32_t LumViewer::SetZoomWidthControl() {
    return set_mode(*m, 3);
}
int32_t LumViewer::SetZoomHeightControl() {
    return set_mode(*m, 5);
}
int32_t LumViewer::SetZoomControl() {
    return set_mode(*m, 6);
}

int32_t LumViewer::ZoomRect() {
    if (m->rect_drawn) {
        m->zoom_mode = 10;
        m->LayoutImage();
    }
    return m->last_status;
}

double LumViewer::GetMaxZoom() {
    return m->max_zoom;
}
