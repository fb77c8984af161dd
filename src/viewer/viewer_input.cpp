// Input: the mouse, key and drop handlers with their events, the mouse position in image
// pixels, and the selection rectangle in image and window coordinates.
#include <sys/stat.h>

#include <algorithm>

#include "viewer/viewer_p.h"

using State = LumViewer::State;
using viewer::round_even;

void State::MousePosition(float x, float y) {
    if (zoom != 0 && last_status == 0 && current && inner_width() > 0 && inner_height() > 0) {
        int32_t ix = 0, iy = 0;
        self.CoordObjectToImage(round_even(x), round_even(y), ix, iy);
        mouse_image_x = std::clamp(ix, 1, std::max(image_width, 1));
        mouse_image_y = std::clamp(iy, 1, std::max(image_height, 1));
    } else {
        mouse_image_x = mouse_image_y = 0;
    }
}

// The mouse modes act on these after the events: the press, the drag and the release.
void State::OnMouseDown(int16_t button, int16_t shift, float x, float y) {
    viewer::marks().mouse_button = true;
    MousePosition(x, y);
    raise([&](LumViewerEvents& e) { e.MouseDownControl(button, shift, x, y); });
    mouse_down_x = round_even(x);
    mouse_down_y = round_even(y);
    click_pending = button == 1;
}

void State::OnMouseMove(int16_t button, int16_t shift, float x, float y) {
    viewer::marks().mouse_move = true;
    raise([&](LumViewerEvents& e) { e.MouseMoveControl(button, shift, x, y); });
    MousePosition(x, y);
    viewer::marks().mouse_move = false;
}

void State::OnMouseUp(int16_t button, int16_t shift, float x, float y) {
    if (!custom_mouse_icon) win::SetWindowProperty(window, win::WindowProperty::MousePointer, 0);
    MousePosition(x, y);
    panning = false;
    raise([&](LumViewerEvents& e) { e.MouseUpControl(button, shift, x, y); });
    viewer::marks().mouse_button = false;
    if (click_pending && button == 1) {
        click_pending = false;
        raise([](LumViewerEvents& e) { e.ClickControl(); });
    }
}

void State::OnKeyDown(int16_t key, int16_t shift) {
    viewer::marks().key_down = true;
    raise([&](LumViewerEvents& e) { e.KeyDownControl(key, shift); });
}

void State::OnKeyUp(int16_t key, int16_t shift) {
    raise([&](LumViewerEvents& e) { e.KeyUpControl(key, shift); });
    if (enable_mouse_wheel) KeypadZoom(key);
    viewer::marks().key_down = false;
}

void State::OnChar(int16_t ascii) {
    raise([&](LumViewerEvents& e) { e.KeyPressControl(ascii); });
}

void State::OnDrop(const DROPFILESLIST& list) {
    if (!viewer_drop) return;
    std::vector<std::string> kept;
    for (const std::string& f : list.files) {
        struct stat st;
        if (!f.empty() && ::stat(f.c_str(), &st) == 0) kept.push_back(f);
    }
    if (kept.empty()) return;
    raise([&](LumViewerEvents& e) {
        std::string first = kept.front();
        e.FileDrop(first);
    });
    raise([&](LumViewerEvents& e) {
        SafeArray<std::string> files = SafeArray<std::string>::from(kept, 0);
        int32_t count = int32_t(kept.size());
        e.FilesDrop(files, count);
    });
}

// ---- Selection rectangle ---------------------------------------------------------------

void State::RefreshRect() {
    if (!current) {
        rect_drawn = false;
        return;
    }
    rect_drawn = self.isRectDrawed();
    if (rect_drawn)
        self.GetRectValues(stored_rect[0], stored_rect[1], stored_rect[2], stored_rect[3]);
}

void State::PlaceRectangle(int32_t left, int32_t top, int32_t width, int32_t height) {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    self.CoordImageToObject(left, top, x1, y1);
    self.CoordImageToObject(left + width, top + height, x2, y2);
    int32_t w = x2 - x1 > 0 ? x2 - x1 : 1, h = y2 - y1 > 0 ? y2 - y1 : 1;
    MoveWindow(shape, x1, y1, w, h, TRUE);
}

void LumViewer::ClearRect() {
    MoveWindow(m->shape, -1, -1, 1, 1, TRUE);
    m->mouse_down_x = m->mouse_down_y = 0;
    std::fill(std::begin(m->stored_rect), std::end(m->stored_rect), 0);
    m->outside_x = m->outside_y = true;
    m->rect_drawn = false;
}

bool LumViewer::isRectDrawed() {
    win::WindowBounds b;
    return win::GetWindowBounds(m->shape, &b) && b.width > 1 && b.height > 1;
}

void LumViewer::GetRectValues(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight) {
    win::WindowBounds b;
    if (!win::GetWindowBounds(m->shape, &b) || (b.width <= 1 && b.height <= 1)) {
        nLeft = nTop = 1;
        nWidth = nHeight = 0;
        return;
    }
    int32_t x2 = 0, y2 = 0;
    CoordObjectToImage(b.x, b.y, nLeft, nTop);
    CoordObjectToImage(b.x + b.width, b.y + b.height, x2, y2);
    nWidth = x2 - nLeft;
    nHeight = y2 - nTop;
    if (nTop + nHeight > m->image_height + 1) nHeight -= 1;
    if (nLeft + nWidth > m->image_width + 1) nWidth -= 1;
}

void LumViewer::SetRectValues(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight) {
    m->PlaceRectangle(nLeft, nTop, nWidth, nHeight);
    m->RefreshRect();
}

void LumViewer::CoordObjectToImage(int32_t nObjectX, int32_t nObjectY, int32_t& nImageX,
                                   int32_t& nImageY) {
    if (m->zoom == 0) return;
    nImageY = round_even((nObjectY - m->image_top) / m->zoom * m->aspect) + 1;
    nImageX = round_even((nObjectX - m->image_left) / m->zoom) + 1;
}

void LumViewer::CoordImageToObject(int32_t nImageX, int32_t nImageY, int32_t& nObjectX,
                                   int32_t& nObjectY) {
    if (m->aspect != 0) nObjectY = round_even((nImageY - 1) * m->zoom / m->aspect) + m->image_top;
    nObjectX = round_even((nImageX - 1) * m->zoom) + m->image_left;
}

int32_t LumViewer::GetMouseX() {
    return m->mouse_image_x;
}
int32_t LumViewer::GetMouseY() {
    return m->mouse_image_y;
}
