// The context menu's items and the check marks that follow the zoom mode, the mouse mode and
// the quality settings.
#include "viewer/viewer_menu.h"

#include "viewer/viewer_p.h"

namespace viewer {

Menu::Menu() {
    struct Row {
        const char *name, *caption, *parent;
    };
    static const Row kRows[] = {
        {"mnframes", "Frames", ""},
        {"mnfirstframe", "Goto First frame", "mnframes"},
        {"mnpreviousframe", "Goto Previous frame", "mnframes"},
        {"mnnextframe", "Goto Next frame", "mnframes"},
        {"mnlastframe", "Goto Last frame", "mnframes"},
        {"mnplaygif", "Play Gif", "mnframes"},
        {"mnstopgif", "Stop Gif", "mnframes"},
        {"mnRotation", "Rotation", ""},
        {"mn90", "90\u00b0", "mnRotation"},
        {"mn180", "180\u00b0", "mnRotation"},
        {"mn270", "270\u00b0", "mnRotation"},
        {"mnflipx", "Flip X", "mnRotation"},
        {"mn90flipx", "90\u00b0   Flip X", "mnRotation"},
        {"mn180Flipx", "180\u00b0 Flip X", "mnRotation"},
        {"mn270FlipX", "270\u00b0 Flip X", "mnRotation"},
        {"mnscroll", "ScrollBars", ""},
        {"mnclipboard", "Copy to Clipboard", ""},
        {"mnzoom", "Zoom", ""},
        {"mnZoomin", "Zoom in", "mnzoom"},
        {"mnzoomout", "Zoom out", "mnzoom"},
        {"mnzoom100", "Zoom 100%", "mnzoom"},
        {"mnzoomfit", "Zoom to viewer (keep image ratio)", "mnzoom"},
        {"mnZoomwidth", "Zoom to viewer width", "mnzoom"},
        {"mnZoomheight", "Zoom to viewer height", "mnzoom"},
        {"mnzoomrect", "Zoom to area selection", "mnzoom"},
        {"mnzoomviewer", "Zoom to viewer (don't keep image ratio)", "mnzoom"},
        {"mnmousemode", "Mouse Mode", ""},
        {"mnstandard", "Default", "mnmousemode"},
        {"mnhandcursor", "Hand cursor", "mnmousemode"},
        {"mnareaselection", "Area selection", "mnmousemode"},
        {"mnautozoom", "Auto Zoom", "mnmousemode"},
        {"mnviewquality", "Viewer Quality", ""},
        {"mnautomatic", "Automatic", "mnviewquality"},
        {"mntrail", "-", "mnviewquality"},
        {"mnqualitylow", "Quality Low", "mnviewquality"},
        {"mnqualitybilinear", "Quality Bilinear", "mnviewquality"},
        {"mnqualitybicubic", "Quality Bicubic", "mnviewquality"},
        {"mnqualitybilinearhq", "Quality Bilinear HQ", "mnviewquality"},
        {"mnqualitybicubichq", "Quality Bicubic HQ", "mnviewquality"},
    };
    for (const Row& r : kRows) m_items.push_back(MenuItem{r.name, r.caption, r.parent});
    enable("mnpreviousframe", false);
    enable("mnnextframe", false);
    enable("mnplaygif", false);
    check("mnzoom100", true);
}

MenuItem* Menu::find(const std::string& name) {
    for (auto& i : m_items)
        if (i.name == name) return &i;
    return nullptr;
}

const MenuItem* Menu::find(const std::string& name) const {
    return const_cast<Menu*>(this)->find(name);
}

void Menu::check(const std::string& name, bool checked) {
    if (MenuItem* i = find(name)) i->checked = checked;
}

void Menu::enable(const std::string& name, bool enabled) {
    if (MenuItem* i = find(name)) i->enabled = enabled;
}

}  // namespace viewer

void LumViewer::State::RefreshZoomMenu() {
    menu.check("mnzoom100", zoom_mode == 1);
    menu.check("mnzoomfit", zoom_mode == 2);
    menu.check("mnZoomwidth", zoom_mode == 3);
    menu.check("mnZoomheight", zoom_mode == 5);
    menu.check("mnzoomviewer", zoom_mode == 6);
}

void LumViewer::State::RefreshQualityMenu() {
    menu.check("mnautomatic", viewer_quality_auto);
    static const char* kItems[] = {"mnqualitylow", "mnqualitybilinear", "mnqualitybicubic",
                                   "mnqualitybilinearhq", "mnqualitybicubichq"};
    for (int q = 0; q < 5; ++q) menu.check(kItems[q], viewer_quality == q);
}

void LumViewer::State::RefreshMouseMenu() {
    menu.check("mnstandard", mouse_mode == 0);
    menu.check("mnhandcursor", mouse_mode == 2);
    menu.check("mnareaselection", mouse_mode == 1);
    menu.check("mnautozoom", mouse_mode == 3);
}
