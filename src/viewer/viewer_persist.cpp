// The persisted property set: the new-instance values, and the load and save steps over a
// property bag, each in the control's own order.
#include <map>

#include "viewer/viewer_p.h"

using State = LumViewer::State;
using win::WindowProperty;

namespace {

// One property of the bag: how a stored value is applied (false: the value is unusable and
// the default stays) and how the current value is written.
struct Persisted {
    VARTYPE type;
    bool (*apply)(LumViewer&, State&, const VARIANT&);
    VARIANT (*value)(LumViewer&, State&);
};

bool as_bool(const VARIANT& v) {
    return v.lVal != 0;
}
int32_t as_long(const VARIANT& v) {
    return v.lVal;
}

// Values a put would refuse are refused when loading too: a damaged bag must not leave the
// control in a state its members never produce.
const std::map<std::string, Persisted>& table() {
    using L = LumViewer;
    static const std::map<std::string, Persisted> t = {
        {"ScrollBars",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.scroll_bars = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.scroll_bars); }}},
        {"EnableMenu",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.enable_menu = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.enable_menu); }}},
        {"Zoom",
         {VT_R8,
          [](L&, State& s, const VARIANT& v) { return v.dblVal > 0 && (s.zoom = v.dblVal, true); },
          [](L&, State& s) { return VARIANT::R8(s.zoom); }}},
        {"ImageWidth",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) >= 0 && (s.image_width = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.image_width); }}},
        {"ImageHeight",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) >= 0 && (s.image_height = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.image_height); }}},
        {"MouseMode",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) >= 0 && as_long(v) <= 3 && (s.mouse_mode = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.mouse_mode); }}},
        {"ZoomStep",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) > 0 && (s.zoom_step = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.zoom_step); }}},
        {"VerticalResolution",
         {VT_R4,
          [](L&, State& s, const VARIANT& v) {
              s.vertical_resolution = float(v.dblVal);
              return true;
          },
          [](L&, State& s) { return VARIANT::R4(s.vertical_resolution); }}},
        {"HorizontalResolution",
         {VT_R4,
          [](L&, State& s, const VARIANT& v) {
              s.horizontal_resolution = float(v.dblVal);
              return true;
          },
          [](L&, State& s) { return VARIANT::R4(s.horizontal_resolution); }}},
        {"NumPages",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              s.num_pages = as_long(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.num_pages); }}},
        {"Currentpage",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              s.current_page = as_long(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.current_page); }}},
        {"SilentMode",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.silent = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.silent); }}},
        {"PdfDpiRendering",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) >= 1 && as_long(v) <= 400 && (s.pdf_dpi = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.pdf_dpi); }}},
        {"pdfForceTemporaryMode",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.pdf_force_temp = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.pdf_force_temp); }}},
        {"ImageForceTemporaryMode",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.image_force_temp = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.image_force_temp); }}},
        {"SkipImageResolution",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.skip_resolution = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.skip_resolution); }}},
        {"LockControl",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.lock_control = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.lock_control); }}},
        {"ZoomMode",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              int32_t z = as_long(v);
              return z >= 1 && z <= 6 && (s.zoom_mode = z, true);
          },
          [](L&, State& s) { return VARIANT::I4(s.zoom_mode); }}},
        {"PdfRenderingMode",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return (as_long(v) == 0 || as_long(v) == 1) &&
                     (s.pdf_rendering_mode = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.pdf_rendering_mode); }}},
        {"EnableMouseWheel",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.enable_mouse_wheel = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.enable_mouse_wheel); }}},
        {"ImageAlignment",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              s.image_alignment = as_long(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.image_alignment); }}},
        {"AnimateGIF",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.animate_gif = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.animate_gif); }}},
        {"Enabled",
         {VT_BOOL,
          [](L& c, State&, const VARIANT& v) {
              c.put_Enabled(as_bool(v));
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.enabled); }}},
        {"ScrollSmallChange",
         {VT_I2,
          [](L& c, State&, const VARIANT& v) {
              return as_long(v) > 0 && (c.put_ScrollSmallChange(int16_t(as_long(v))), true);
          },
          [](L&, State& s) { return VARIANT::I2(s.scroll_small); }}},
        {"ScrollLargeChange",
         {VT_I2,
          [](L& c, State&, const VARIANT& v) {
              return as_long(v) > 0 && (c.put_ScrollLargeChange(int16_t(as_long(v))), true);
          },
          [](L&, State& s) { return VARIANT::I2(s.scroll_large); }}},
        {"RectDrawMode",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_RectDrawMode(as_long(v));
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.rect_draw_mode); }}},
        {"RectBorderStyle",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_RectBorderStyle(as_long(v));
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.rect_border_style); }}},
        {"RectBorderColor",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_RectBorderColor(as_long(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::I4(c.get_RectBorderColor()); }}},
        {"RectBorderSize",
         {VT_I2,
          [](L& c, State&, const VARIANT& v) {
              c.put_RectBorderSize(int16_t(as_long(v)));
              return true;
          },
          [](L& c, State&) { return VARIANT::I2(c.get_RectBorderSize()); }}},
        {"ClipControls",
         {VT_BOOL,
          [](L& c, State&, const VARIANT& v) {
              c.put_ClipControls(as_bool(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::Bool(c.get_ClipControls()); }}},
        {"BorderStyle",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_BorderStyle(as_long(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::I4(c.get_BorderStyle()); }}},
        {"Appearance",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_Appearance(as_long(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::I4(c.get_Appearance()); }}},
        {"BackStyle",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.put_BackStyle(as_long(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::I4(c.get_BackStyle()); }}},
        {"BackColor",
         {VT_I4,
          [](L& c, State&, const VARIANT& v) {
              c.SetBackGroundColor(as_long(v));
              return true;
          },
          [](L& c, State&) { return VARIANT::I4(c.get_BackColor()); }}},
        {"ScrollOptimization",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.scroll_optimization = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.scroll_optimization); }}},
        {"ViewerQuality",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              s.viewer_quality = as_long(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.viewer_quality); }}},
        {"ViewerQualityAuto",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.viewer_quality_auto = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.viewer_quality_auto); }}},
        {"ForcePictureMode",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.force_picture_mode = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.force_picture_mode); }}},
        {"MouseIcon",
         {VT_UNKNOWN,
          [](L&, State& s, const VARIANT& v) {
              ComPtr<IPicture> p = v.punkVal ? v.punkVal.query<IPicture>(IID_IPicture) : nullptr;
              if (v.punkVal && !p) return false;
              win::SetWindowPicture(s.window, win::WindowPicture::MouseIcon, p);
              return true;
          },
          [](L& c, State&) {
              return VARIANT::Unknown(ComPtr<IUnknown>(c.get_MouseIcon().get()));
          }}},
        {"KeepImagePosition",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.keep_image_position = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.keep_image_position); }}},
        {"MouseWheelMode",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              s.mouse_wheel_mode = as_long(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::I4(s.mouse_wheel_mode); }}},
        {"ViewerDrop",
         {VT_BOOL,
          [](L& c, State&, const VARIANT& v) {
              c.put_ViewerDrop(as_bool(v));
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.viewer_drop); }}},
        {"DisableAutoFocus",
         {VT_BOOL,
          [](L&, State& s, const VARIANT& v) {
              s.disable_auto_focus = as_bool(v);
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.disable_auto_focus); }}},
    };
    return t;
}

constexpr const char* kLoadOrder[] = {"ScrollBars",
                                      "EnableMenu",
                                      "Zoom",
                                      "ImageWidth",
                                      "ImageHeight",
                                      "MouseMode",
                                      "ZoomStep",
                                      "VerticalResolution",
                                      "HorizontalResolution",
                                      "NumPages",
                                      "Currentpage",
                                      "SilentMode",
                                      "PdfDpiRendering",
                                      "pdfForceTemporaryMode",
                                      "ImageForceTemporaryMode",
                                      "SkipImageResolution",
                                      "LockControl",
                                      "ZoomMode",
                                      "PdfRenderingMode",
                                      "EnableMouseWheel",
                                      "ImageAlignment",
                                      "AnimateGIF",
                                      "Enabled",
                                      "ScrollSmallChange",
                                      "ScrollLargeChange",
                                      "RectDrawMode",
                                      "RectBorderStyle",
                                      "RectBorderColor",
                                      "RectBorderSize",
                                      "ClipControls",
                                      "BorderStyle",
                                      "Appearance",
                                      "BackStyle",
                                      "BackColor",
                                      "ScrollOptimization",
                                      "ViewerQuality",
                                      "ViewerQualityAuto",
                                      "ForcePictureMode",
                                      "MouseIcon",
                                      "KeepImagePosition",
                                      "MouseWheelMode",
                                      "ViewerDrop",
                                      "DisableAutoFocus"};

constexpr const char* kSaveOrder[] = {"ScrollBars",
                                      "EnableMenu",
                                      "Zoom",
                                      "ImageWidth",
                                      "ImageHeight",
                                      "MouseMode",
                                      "ZoomStep",
                                      "ScrollSmallChange",
                                      "ScrollLargeChange",
                                      "VerticalResolution",
                                      "HorizontalResolution",
                                      "NumPages",
                                      "Currentpage",
                                      "SilentMode",
                                      "PdfDpiRendering",
                                      "pdfForceTemporaryMode",
                                      "ImageForceTemporaryMode",
                                      "SkipImageResolution",
                                      "LockControl",
                                      "ZoomMode",
                                      "PdfRenderingMode",
                                      "RectBorderStyle",
                                      "RectDrawMode",
                                      "Enabled",
                                      "EnableMouseWheel",
                                      "ImageAlignment",
                                      "AnimateGIF",
                                      "RectBorderSize",
                                      "ClipControls",
                                      "RectBorderColor",
                                      "BorderStyle",
                                      "Appearance",
                                      "BackStyle",
                                      "BackColor",
                                      "ScrollOptimization",
                                      "ViewerQuality",
                                      "ViewerQualityAuto",
                                      "ForcePictureMode",
                                      "MouseIcon",
                                      "KeepImagePosition",
                                      "MouseWheelMode",
                                      "ViewerDrop",
                                      "DisableAutoFocus"};

// The stored value coerced to the property's type; false when it is missing or unusable.
bool read_value(IPropertyBag* bag, const char* name, VARTYPE type, VARIANT* out) {
    VARIANT raw;
    if (FAILED(bag->Read(name, &raw, nullptr))) return false;
    if (type == VT_UNKNOWN) {
        if (raw.vt != VT_UNKNOWN && raw.vt != VT_DISPATCH && raw.vt != VT_EMPTY) return false;
        *out = std::move(raw);
        return true;
    }
    return SUCCEEDED(VariantChangeType(out, &raw, 0, type));
}

}  // namespace

void LumViewer::InitProperties() {
    State& s = *m;
    s.scroll_bars = true;
    s.enable_menu = true;
    s.zoom = 1.0;
    s.mouse_mode = 2;
    s.zoom_step = 10;
    put_ScrollSmallChange(1);
    put_ScrollLargeChange(50);
    s.pdf_dpi = 110;
    s.zoom_mode = 1;
    s.pdf_rendering_mode = 0;
    put_RectBorderStyle(1);
    put_RectDrawMode(13);
    put_Enabled(true);
    s.enable_mouse_wheel = true;
    s.image_alignment = 2;
    s.scroll_optimization = true;
    s.viewer_quality = 4;
    s.silent = s.pdf_force_temp = s.image_force_temp = s.skip_resolution = false;
    s.lock_control = s.animate_gif = s.viewer_quality_auto = s.force_picture_mode = false;
    s.keep_image_position = s.disable_auto_focus = false;
    s.mouse_wheel_mode = 0;
    put_ViewerDrop(false);
    s.image_width = s.image_height = s.num_pages = s.current_page = 0;
    s.horizontal_resolution = s.vertical_resolution = 0;
    s.RefreshZoomMenu();
    s.RefreshMouseMenu();
    s.RefreshQualityMenu();
}

void LumViewer::ReadProperties(IPropertyBag* bag) {
    if (!bag) return;
    for (const char* name : kLoadOrder) {
        const Persisted& p = table().at(name);
        VARIANT v;
        if (read_value(bag, name, p.type, &v)) p.apply(*this, *m, v);
    }
    m->RefreshZoomMenu();
    m->RefreshMouseMenu();
    m->RefreshQualityMenu();
}

bool LumViewer::WriteProperties(IPropertyBag* bag) {
    if (!bag) return false;
    bool ok = true;
    for (const char* name : kSaveOrder) {
        VARIANT v = table().at(name).value(*this, *m);
        if (FAILED(bag->Write(name, &v))) ok = false;
    }
    return ok;
}
