// Painting: the visible source rectangle drawn into the window directly, or through a
// picture for a transparent window; the interpolation chosen from the quality settings; the
// deferred high-quality pass of TmQual; what is signalled after a paint.
#include <algorithm>

#include "imaging/image_props.h"
#include "viewer/viewer_engine.h"
#include "viewer/viewer_p.h"

using State = LumViewer::State;
using viewer::round_even;

namespace {

// The window's background colour as opaque ARGB.
ARGB opaque_back_color(HWND window) {
    OLE_COLOR c = OLE_COLOR(win::GetWindowProperty(window, win::WindowProperty::BackColor));
    return 0xFF000000u | win::OleColorToRgb(c);
}

// The image drawn into a new 32-bit picture of the visible size.
int32_t render_to_picture(int32_t width, int32_t height, GpImage image,
                          const viewer::DrawRequest& r, ComPtr<IPicture>& picture) {
    GpImage canvas = 0;
    int32_t status = modGdiplus::CreateBlankImage(width, height, PixelFormat32bppARGB, canvas);
    if (status != 0) return status;
    GpGraphics g = 0;
    status = modGdiplus::GetImageGraphics(canvas, PixelFormat32bppARGB, g);
    if (status == 0) {
        status = viewer::DrawImagePart(g, image, r);
        GdipDeleteGraphics(g);
    }
    if (status == 0) status = modGdiplus::ImageToPicture(canvas, picture);
    modGdiplus::DisposeImage(canvas);
    return status;
}

}  // namespace

int32_t State::SelectInterpolation(bool) {
    if (zoom == 1.0) return 5;  // nearest neighbour
    if (viewer_quality_auto) {
        viewer_quality = quality_done ? 4 : 0;
        return quality_done ? 7 : 5;
    }
    switch (viewer_quality) {
        case 0:
            return 5;
        case 1:
            return 3;
        case 2:
            return 4;
        case 3:
            return 6;
        case 4:
            return 7;
        default:
            return 0;
    }
}

void State::SetQualityTimer(bool on) {
    if (on)
        SetTimer(window, kQualityTimer, kQualityInterval, nullptr);
    else if (quality_timer)
        KillTimer(window, kQualityTimer);
    quality_timer = on;
}

void State::OnQualityTimer() {
    SetQualityTimer(false);
    if (!viewer_quality_auto || quality_done) return;
    quality_done = true;
    PaintImage(0, true);
    RefreshQualityMenu();
}

// The source rectangle of what is visible and where it goes, in a visible area of vw x vh.
viewer::DrawRequest State::VisibleArea(int vw, int vh) const {
    viewer::DrawRequest r;
    if (vw < displayed_width) {
        r.dst_x = 0, r.dst_width = vw;
        r.src_x = round_even(-image_left / zoom);
        r.src_width = round_even(vw / zoom);
    } else {
        r.dst_x = image_left, r.dst_width = displayed_width;
        r.src_x = 0, r.src_width = image_width;
    }
    if (vh < displayed_height) {
        r.dst_y = 0, r.dst_height = vh;
        r.src_y = round_even(-image_top / zoom * aspect);
        r.src_height = round_even(vh / zoom * aspect);
    } else {
        r.dst_y = image_top, r.dst_height = displayed_height;
        r.src_y = 0, r.src_height = image_height;
    }
    // At least one source pixel, never past the image (a tiny window at a large zoom rounds
    // the source to nothing).
    r.src_width = std::clamp(r.src_width, 1, image_width);
    r.src_height = std::clamp(r.src_height, 1, image_height);
    if (r.src_x + r.src_width > image_width) r.src_x = image_width - r.src_width;
    if (r.src_y + r.src_height > image_height) r.src_y = image_height - r.src_height;
    r.src_x = std::max(r.src_x, 0);
    r.src_y = std::max(r.src_y, 0);
    return r;
}

// Direct drawing on the window, or a picture for a transparent window (and on request).
int32_t State::DrawVisible(GpImage target, const viewer::DrawRequest& r, int vw, int vh) {
    if (vw == 0 || vh == 0 || r.dst_width <= 0 || r.dst_height <= 0) return 0;  // nothing shows
    int32_t status = 0;
    int32_t back_style = win::GetWindowProperty(window, win::WindowProperty::BackStyle);
    if (back_style == 0 || force_picture_mode) {
        win::SetWindowProperty(window, win::WindowProperty::AutoRedraw, 0);
        ComPtr<IPicture> picture;
        status = render_to_picture(vw, vh, target, r, picture);
        if (status == 0) {
            win::SetWindowPicture(window, win::WindowPicture::Picture, picture);
            if (back_style == 0)
                win::SetWindowPicture(window, win::WindowPicture::MaskPicture, picture);
        }
        return status;
    }
    win::SetWindowProperty(window, win::WindowProperty::AutoRedraw, 1);
    GpGraphics g =
        viewer::GraphicsOnDc(GetDC(window), opaque_back_color(window), target, r, &status);
    if (g) {
        status = viewer::DrawImagePart(g, target, r);
        GdipDeleteGraphics(g);
    }
    return status;
}

void State::PaintImage(GpImage image, bool quality_pass) {
    SetQualityTimer(false);
    UpdateScrollBars();
    if (status_was_set) last_status = 0;
    GpImage target = image ? image : shown_image();
    if (!(zoom > 0) || last_status != 0 || !target) return;
    bool changed = target != last_painted;
    if (changed) {
        raise([](LumViewerEvents& e) { e.PictureChange(); });
        last_painted = target;
    }
    if (!lock_control) {
        if (viewer_quality_auto && !quality_pass) quality_done = false;
        // A window smaller than its scroll bars shows nothing of the image.
        int vw = std::max(inner_width() - (bar_visible(vscroll) ? bar_width() : 0), 0);
        int vh = std::max(inner_height() - (bar_visible(hscroll) ? bar_height() : 0), 0);
        viewer::DrawRequest r = VisibleArea(vw, vh);
        visible[0] = r.src_x, visible[1] = r.src_y;
        visible[2] = r.src_width, visible[3] = r.src_height;
        r.interpolation = SelectInterpolation(quality_pass);
        int32_t status = DrawVisible(target, r, vw, vh);
        last_status = status;
        if (status == 0) {
            if (enable_mouse_wheel) InstallWheelHook();
            raise([](LumViewerEvents& e) { e.Displayed(); });
            self.Refresh();
            if (!quality_done) SetQualityTimer(viewer_quality_auto);
        } else {
            InvalidateRect(window, nullptr, FALSE);  // the surface may have been cleared
            if (!silent)
                viewer::show_error(window,
                                   "Can not display image error no: " + std::to_string(status));
        }
    }
    if (changed) raise([](LumViewerEvents& e) { e.PictureChanged(); });
    raise([](LumViewerEvents& e) { e.PageChange(); });
    status_was_set = last_status != 0;
    if (rect_drawn) PlaceRectangle(stored_rect[0], stored_rect[1], stored_rect[2], stored_rect[3]);
    if (!disable_auto_focus && IsWindowVisible(corner)) SetFocus(corner);
    layout_ready = true;
}
