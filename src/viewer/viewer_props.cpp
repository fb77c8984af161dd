// The simple properties of the viewer and its persisted property set.
#include "viewer/viewer_p.h"

using State = LumViewer::State;
using win::WindowProperty;

namespace {

win::ShapeStyle shape_style(HWND shape) {
    win::ShapeStyle st;
    win::GetShapeStyle(shape, &st);
    return st;
}

void set_shape(HWND shape, void (*change)(win::ShapeStyle&, int32_t), int32_t value) {
    win::ShapeStyle st = shape_style(shape);
    change(st, value);
    win::SetShapeStyle(shape, st);
}

}  // namespace

bool LumViewer::get_ScrollBars() {
    return m->scroll_bars;
}
void LumViewer::put_ScrollBars(bool value) {
    if (value == m->scroll_bars) return;
    m->scroll_bars = value;
    m->LayoutImage();
}
bool LumViewer::get_EnableMenu() {
    return m->enable_menu;
}
void LumViewer::put_EnableMenu(bool value) {
    m->enable_menu = value;
}
int32_t LumViewer::get_ZoomStep() {
    return m->zoom_step;
}
void LumViewer::put_ZoomStep(int32_t value) {
    if (value > 0) m->zoom_step = value;
}
int32_t LumViewer::get_MouseMode() {
    return m->mouse_mode;
}
void LumViewer::put_MouseMode(int32_t value) {
    if (value < 0 || value > 3) return;
    m->custom_mouse_icon = false;
    if (value == 0 || value == 2) ClearRect();
    m->mouse_mode = value;
    m->RefreshMouseMenu();
}
int16_t LumViewer::get_ScrollSmallChange() {
    return m->scroll_small;
}
void LumViewer::put_ScrollSmallChange(int16_t value) {
    if (value <= 0) return;
    m->scroll_small = value;
    win::SetScrollBarChanges(m->hscroll, value, m->scroll_large);
    win::SetScrollBarChanges(m->vscroll, value, m->scroll_large);
}
int16_t LumViewer::get_ScrollLargeChange() {
    return m->scroll_large;
}
void LumViewer::put_ScrollLargeChange(int16_t value) {
    if (value <= 0) return;
    m->scroll_large = value;
    win::SetScrollBarChanges(m->hscroll, m->scroll_small, value);
    win::SetScrollBarChanges(m->vscroll, m->scroll_small, value);
}
bool LumViewer::get_SilentMode() {
    return m->silent;
}
void LumViewer::put_SilentMode(bool value) {
    m->silent = value;
}
int32_t LumViewer::get_PdfDpiRendering() {
    return m->pdf_dpi;
}
void LumViewer::put_PdfDpiRendering(int32_t value) {
    if (value >= 1 && value <= 400) m->pdf_dpi = value;
}
int32_t LumViewer::get_PdfRenderingMode() {
    return m->pdf_rendering_mode;
}
void LumViewer::put_PdfRenderingMode(int32_t value) {
    if (value == 0 || value == 1) m->pdf_rendering_mode = value;
}
bool LumViewer::get_pdfForceTemporaryMode() {
    return m->pdf_force_temp;
}
void LumViewer::put_pdfForceTemporaryMode(bool value) {
    m->pdf_force_temp = value;
}
bool LumViewer::get_ImageForceTemporaryMode() {
    return m->image_force_temp;
}
void LumViewer::put_ImageForceTemporaryMode(bool value) {
    m->image_force_temp = value;
}
bool LumViewer::get_SkipImageResolution() {
    return m->skip_resolution;
}
void LumViewer::put_SkipImageResolution(bool value) {
    m->skip_resolution = value;
}
bool LumViewer::get_LockControl() {
    return m->lock_control;
}
void LumViewer::put_LockControl(bool value) {
    m->lock_control = value;
}
bool LumViewer::get_ScrollOptimization() {
    return m->scroll_optimization;
}
void LumViewer::put_ScrollOptimization(bool value) {
    m->scroll_optimization = value;
}
bool LumViewer::get_ForcePictureMode() {
    return m->force_picture_mode;
}
void LumViewer::put_ForcePictureMode(bool value) {
    m->force_picture_mode = value;
}
bool LumViewer::get_KeepImagePosition() {
    return m->keep_image_position;
}
void LumViewer::put_KeepImagePosition(bool value) {
    m->keep_image_position = value;
}
int32_t LumViewer::get_MouseWheelMode() {
    return m->mouse_wheel_mode;
}
void LumViewer::put_MouseWheelMode(int32_t value) {
    m->mouse_wheel_mode = value;
}
bool LumViewer::get_DisableAutoFocus() {
    return m->disable_auto_focus;
}
void LumViewer::put_DisableAutoFocus(bool value) {
    m->disable_auto_focus = value;
}

int32_t LumViewer::get_RectBorderStyle() {
    return m->rect_border_style;
}
void LumViewer::put_RectBorderStyle(int32_t value) {
    m->rect_border_style = value;
    set_shape(
        m->shape, [](win::ShapeStyle& s, int32_t v) { s.border_style = v; }, value);
}
int32_t LumViewer::get_RectDrawMode() {
    return m->rect_draw_mode;
}
void LumViewer::put_RectDrawMode(int32_t value) {
    m->rect_draw_mode = value;
    set_shape(
        m->shape, [](win::ShapeStyle& s, int32_t v) { s.draw_mode = v; }, value);
}
int32_t LumViewer::get_RectBorderColor() {
    return int32_t(shape_style(m->shape).border_color);
}
void LumViewer::put_RectBorderColor(int32_t value) {
    set_shape(
        m->shape, [](win::ShapeStyle& s, int32_t v) { s.border_color = OLE_COLOR(v); }, value);
}
int16_t LumViewer::get_RectBorderSize() {
    return int16_t(shape_style(m->shape).border_width);
}
void LumViewer::put_RectBorderSize(int16_t value) {
    set_shape(
        m->shape, [](win::ShapeStyle& s, int32_t v) { s.border_width = v; }, value);
}

bool LumViewer::get_Enabled() {
    return m->enabled;
}
void LumViewer::put_Enabled(bool value) {
    m->enabled = value;
    EnableWindow(m->window, value);
}
bool LumViewer::get_EnableMouseWheel() {
    return m->enable_mouse_wheel;
}
void LumViewer::put_EnableMouseWheel(bool value) {
    m->enable_mouse_wheel = value;
    if (!value)
        m->RemoveWheelHook();
    else if (m->current)
        m->InstallWheelHook();
}
int32_t LumViewer::get_ImageAlignment() {
    return m->image_alignment;
}
void LumViewer::put_ImageAlignment(int32_t value) {
    if (value == m->image_alignment) return;
    m->image_alignment = value;
    if (!m->current) return;
    m->h_align_pending = m->v_align_pending = true;
    m->ReadImageInfo(0);
    m->LayoutImage();
}
bool LumViewer::get_AnimateGIF() {
    return m->animate_gif;
}
void LumViewer::put_AnimateGIF(bool value) {
    if (value == m->animate_gif) {
        StopGif();
        return;
    }
    m->animate_gif = value;
    if (value) PlayGif();
}

int32_t LumViewer::get_Appearance() {
    return win::GetWindowProperty(m->window, WindowProperty::Appearance);
}
void LumViewer::put_Appearance(int32_t value) {
    win::SetWindowProperty(m->window, WindowProperty::Appearance, value);
}
int32_t LumViewer::get_BackStyle() {
    return win::GetWindowProperty(m->window, WindowProperty::BackStyle);
}
void LumViewer::put_BackStyle(int32_t value) {
    win::SetWindowProperty(m->window, WindowProperty::BackStyle, value);
}
int32_t LumViewer::get_BorderStyle() {
    return win::GetWindowProperty(m->window, WindowProperty::BorderStyle);
}
void LumViewer::put_BorderStyle(int32_t value) {
    win::SetWindowProperty(m->window, WindowProperty::BorderStyle, value);
}
bool LumViewer::get_ClipControls() {
    return win::GetWindowProperty(m->window, WindowProperty::ClipControls) != 0;
}
void LumViewer::put_ClipControls(bool value) {
    win::SetWindowProperty(m->window, WindowProperty::ClipControls, value);
}
int32_t LumViewer::get_BackColor() {
    return win::GetWindowProperty(m->window, WindowProperty::BackColor);
}
void LumViewer::put_BackColor(int32_t value) {
    SetBackGroundColor(value);
}
void LumViewer::SetBackGroundColor(int32_t nRGBColor) {
    win::SetWindowProperty(m->window, WindowProperty::BackColor, nRGBColor);
}
int32_t LumViewer::get_ViewerQuality() {
    return m->viewer_quality;
}
void LumViewer::put_ViewerQuality(int32_t value) {
    m->viewer_quality = value;
    m->LayoutImage();
}
bool LumViewer::get_ViewerQualityAuto() {
    return m->viewer_quality_auto;
}
void LumViewer::put_ViewerQualityAuto(bool value) {
    m->viewer_quality_auto = value;
    m->SetQualityTimer(value);
}
bool LumViewer::get_ViewerDrop() {
    return m->viewer_drop;
}
void LumViewer::put_ViewerDrop(bool value) {
    m->viewer_drop = value;
    win::SetWindowProperty(m->window, WindowProperty::OleDropMode, value ? 1 : 0);
}
ComPtr<IPicture> LumViewer::get_MouseIcon() {
    return win::GetWindowPicture(m->window, win::WindowPicture::MouseIcon);
}
void LumViewer::putref_MouseIcon(ComPtr<IPicture> value) {
    win::SetWindowPicture(m->window, win::WindowPicture::MouseIcon, std::move(value));
    win::SetWindowProperty(m->window, WindowProperty::MousePointer, 99);
    m->custom_mouse_icon = true;
}

int32_t LumViewer::get_ImageWidth() {
    return m->image_width;
}
void LumViewer::put_ImageWidth(int32_t) {}
int32_t LumViewer::get_ImageHeight() {
    return m->image_height;
}
void LumViewer::put_ImageHeight(int32_t) {}
float LumViewer::get_HorizontalResolution() {
    return m->horizontal_resolution;
}
void LumViewer::put_HorizontalResolution(float) {}
float LumViewer::get_VerticalResolution() {
    return m->vertical_resolution;
}
void LumViewer::put_VerticalResolution(float) {}
int32_t LumViewer::get_NumPages() {
    return m->num_pages;
}
void LumViewer::put_NumPages(int32_t) {}
int32_t LumViewer::get_Currentpage() {
    return m->current_page;
}
void LumViewer::put_Currentpage(int32_t) {}
int32_t LumViewer::get_ImageLeftCoord() {
    return m->image_left;
}
void LumViewer::put_ImageLeftCoord(int32_t) {}
int32_t LumViewer::get_ImageTopCoord() {
    return m->image_top;
}
void LumViewer::put_ImageTopCoord(int32_t) {}
int32_t LumViewer::get_hwnd() {
    return int32_t(m->window);
}
int32_t LumViewer::get_hdc() {
    return int32_t(GetDC(m->window));
}
