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

// A stored value as the C++ value of its type, and back.
template <VARTYPE VT>
auto from_variant(const VARIANT& v) {
    if constexpr (VT == VT_BOOL)
        return as_bool(v);
    else if constexpr (VT == VT_R4)
        return float(v.dblVal);
    else if constexpr (VT == VT_R8)
        return v.dblVal;
    else
        return as_long(v);
}

template <VARTYPE VT, class T>
VARIANT to_variant(T x) {
    if constexpr (VT == VT_BOOL)
        return VARIANT::Bool(bool(x));
    else if constexpr (VT == VT_I2)
        return VARIANT::I2(int16_t(x));
    else if constexpr (VT == VT_R4)
        return VARIANT::R4(float(x));
    else if constexpr (VT == VT_R8)
        return VARIANT::R8(double(x));
    else
        return VARIANT::I4(int32_t(x));
}

// A state field that takes any stored value of its type.
template <VARTYPE VT, auto Field>
Persisted field() {
    return {VT,
            [](LumViewer&, State& s, const VARIANT& v) {
                s.*Field = from_variant<VT>(v);
                return true;
            },
            [](LumViewer&, State& s) { return to_variant<VT>(s.*Field); }};
}

// A property loaded through its put, which applies its own rules, and saved from its get.
template <VARTYPE VT, auto Put, auto Get>
Persisted member() {
    return {VT,
            [](LumViewer& c, State&, const VARIANT& v) {
                (c.*Put)(from_variant<VT>(v));
                return true;
            },
            [](LumViewer& c, State&) { return to_variant<VT>((c.*Get)()); }};
}

// Values a put would refuse are refused when loading too: a damaged bag must not leave the
// control in a state its members never produce.
const std::map<std::string, Persisted>& table() {
    using L = LumViewer;
    static const std::map<std::string, Persisted> t = {
        {"ScrollBars", field<VT_BOOL, &State::scroll_bars>()},
        {"EnableMenu", field<VT_BOOL, &State::enable_menu>()},
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
        {"VerticalResolution", field<VT_R4, &State::vertical_resolution>()},
        {"HorizontalResolution", field<VT_R4, &State::horizontal_resolution>()},
        {"NumPages", field<VT_I4, &State::num_pages>()},
        {"Currentpage", field<VT_I4, &State::current_page>()},
        {"SilentMode", field<VT_BOOL, &State::silent>()},
        {"PdfDpiRendering",
         {VT_I4,
          [](L&, State& s, const VARIANT& v) {
              return as_long(v) >= 1 && as_long(v) <= 400 && (s.pdf_dpi = as_long(v), true);
          },
          [](L&, State& s) { return VARIANT::I4(s.pdf_dpi); }}},
        {"pdfForceTemporaryMode", field<VT_BOOL, &State::pdf_force_temp>()},
        {"ImageForceTemporaryMode", field<VT_BOOL, &State::image_force_temp>()},
        {"SkipImageResolution", field<VT_BOOL, &State::skip_resolution>()},
        {"LockControl", field<VT_BOOL, &State::lock_control>()},
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
        {"EnableMouseWheel", field<VT_BOOL, &State::enable_mouse_wheel>()},
        {"ImageAlignment", field<VT_I4, &State::image_alignment>()},
        {"AnimateGIF", field<VT_BOOL, &State::animate_gif>()},
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
        {"RectBorderColor", member<VT_I4, &L::put_RectBorderColor, &L::get_RectBorderColor>()},
        {"RectBorderSize", member<VT_I2, &L::put_RectBorderSize, &L::get_RectBorderSize>()},
        {"ClipControls", member<VT_BOOL, &L::put_ClipControls, &L::get_ClipControls>()},
        {"BorderStyle", member<VT_I4, &L::put_BorderStyle, &L::get_BorderStyle>()},
        {"Appearance", member<VT_I4, &L::put_Appearance, &L::get_Appearance>()},
        {"BackStyle", member<VT_I4, &L::put_BackStyle, &L::get_BackStyle>()},
        {"BackColor", member<VT_I4, &L::SetBackGroundColor, &L::get_BackColor>()},
        {"ScrollOptimization", field<VT_BOOL, &State::scroll_optimization>()},
        {"ViewerQuality", field<VT_I4, &State::viewer_quality>()},
        {"ViewerQualityAuto", field<VT_BOOL, &State::viewer_quality_auto>()},
        {"ForcePictureMode", field<VT_BOOL, &State::force_picture_mode>()},
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
        {"KeepImagePosition", field<VT_BOOL, &State::keep_image_position>()},
        {"MouseWheelMode", field<VT_I4, &State::mouse_wheel_mode>()},
        {"ViewerDrop",
         {VT_BOOL,
          [](L& c, State&, const VARIANT& v) {
              c.put_ViewerDrop(as_bool(v));
              return true;
          },
          [](L&, State& s) { return VARIANT::Bool(s.viewer_drop); }}},
        {"DisableAutoFocus", field<VT_BOOL, &State::disable_auto_focus>()},
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
