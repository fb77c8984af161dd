// The rows of _LumViewer, the viewer control's dispatch interface, and of __LumViewer, its
// events. DISPIDs are part of the published interface: never renumber a row, give a new
// member the next free number of its group. Events keep the identifiers 1 to 20.
#include "com/dispatch_traits.h"
#include "lumtwainpro/viewer.h"

namespace com {

namespace {

constexpr GUID kIidLumViewer = guid_of("93811183-c312-4377-bf8b-a5f30945b454");
constexpr GUID kIidLumViewerEvents = guid_of("0b39adf7-9d80-49fb-8a4f-11cee0e0a116");
constexpr const char* kStatus = "ViewerStatus";
using V = LumViewer;

std::vector<MemberInfo> property_rows() {
    std::vector<std::vector<MemberInfo>> groups = {
        property<&V::get_ScrollBars, &V::put_ScrollBars>(1, "ScrollBars"),
        property<&V::get_EnableMenu, &V::put_EnableMenu>(2, "EnableMenu"),
        property<&V::get_Zoom, &V::put_Zoom>(3, "Zoom"),
        property<&V::get_ImageWidth, &V::put_ImageWidth>(4, "ImageWidth"),
        property<&V::get_ImageHeight, &V::put_ImageHeight>(5, "ImageHeight"),
        property<&V::get_MouseMode, &V::put_MouseMode>(6, "MouseMode", "ViewerMouseMode"),
        property<&V::get_ZoomStep, &V::put_ZoomStep>(7, "ZoomStep"),
        property<&V::get_VerticalResolution, &V::put_VerticalResolution>(8, "VerticalResolution"),
        property<&V::get_HorizontalResolution, &V::put_HorizontalResolution>(
            9, "HorizontalResolution"),
        property<&V::get_NumPages, &V::put_NumPages>(10, "NumPages"),
        property<&V::get_Currentpage, &V::put_Currentpage>(11, "Currentpage"),
        property<&V::get_SilentMode, &V::put_SilentMode>(12, "SilentMode"),
        property<&V::get_PdfDpiRendering, &V::put_PdfDpiRendering>(13, "PdfDpiRendering"),
        property<&V::get_pdfForceTemporaryMode, &V::put_pdfForceTemporaryMode>(
            14, "pdfForceTemporaryMode"),
        property<&V::get_ImageForceTemporaryMode, &V::put_ImageForceTemporaryMode>(
            15, "ImageForceTemporaryMode"),
        property<&V::get_SkipImageResolution, &V::put_SkipImageResolution>(16,
                                                                           "SkipImageResolution"),
        property<&V::get_LockControl, &V::put_LockControl>(17, "LockControl"),
        property<&V::get_ZoomMode, &V::put_ZoomMode>(18, "ZoomMode", "ViewerZoomMode"),
        property<&V::get_PdfRenderingMode, &V::put_PdfRenderingMode>(19, "PdfRenderingMode",
                                                                     "ViewerPdfRenderingMode"),
        property<&V::get_EnableMouseWheel, &V::put_EnableMouseWheel>(20, "EnableMouseWheel"),
        property<&V::get_ImageAlignment, &V::put_ImageAlignment>(21, "ImageAlignment",
                                                                 "ViewerImagePosition"),
        property<&V::get_AnimateGIF, &V::put_AnimateGIF>(22, "AnimateGIF"),
        property<&V::get_Enabled, &V::put_Enabled>(23, "Enabled"),
        property<&V::get_ScrollSmallChange, &V::put_ScrollSmallChange>(24, "ScrollSmallChange"),
        property<&V::get_ScrollLargeChange, &V::put_ScrollLargeChange>(25, "ScrollLargeChange"),
        property<&V::get_RectDrawMode, &V::put_RectDrawMode>(26, "RectDrawMode",
                                                             "ViewerRectDrawMode"),
        property<&V::get_RectBorderStyle, &V::put_RectBorderStyle>(27, "RectBorderStyle",
                                                                   "ViewerRectBorderStyle"),
        property<&V::get_RectBorderColor, &V::put_RectBorderColor>(28, "RectBorderColor"),
        property<&V::get_RectBorderSize, &V::put_RectBorderSize>(29, "RectBorderSize"),
        property<&V::get_ClipControls, &V::put_ClipControls>(30, "ClipControls"),
        property<&V::get_BorderStyle, &V::put_BorderStyle>(31, "BorderStyle", "ViewerBorderStyle"),
        property<&V::get_Appearance, &V::put_Appearance>(32, "Appearance", "ViewerAppearance"),
        property<&V::get_BackStyle, &V::put_BackStyle>(33, "BackStyle", "ViewerBackStyleMode"),
        property<&V::get_BackColor, &V::put_BackColor>(34, "BackColor"),
        property<&V::get_ScrollOptimization, &V::put_ScrollOptimization>(35, "ScrollOptimization"),
        property<&V::get_ViewerQuality, &V::put_ViewerQuality>(36, "ViewerQuality", "QualityMode"),
        property<&V::get_ViewerQualityAuto, &V::put_ViewerQualityAuto>(37, "ViewerQualityAuto"),
        property<&V::get_ForcePictureMode, &V::put_ForcePictureMode>(38, "ForcePictureMode"),
        property<&V::get_MouseIcon, &V::putref_MouseIcon>(39, "MouseIcon"),
        property<&V::get_KeepImagePosition, &V::put_KeepImagePosition>(40, "KeepImagePosition"),
        property<&V::get_MouseWheelMode, &V::put_MouseWheelMode>(41, "MouseWheelMode",
                                                                 "ViewerMouseWheelMode"),
        property<&V::get_ViewerDrop, &V::put_ViewerDrop>(42, "ViewerDrop"),
        property<&V::get_DisableAutoFocus, &V::put_DisableAutoFocus>(43, "DisableAutoFocus"),
        property<&V::get_ImageLeftCoord, &V::put_ImageLeftCoord>(44, "ImageLeftCoord"),
        property<&V::get_ImageTopCoord, &V::put_ImageTopCoord>(45, "ImageTopCoord"),
        property<&V::get_hwnd>(46, "hwnd"),
        property<&V::get_hdc>(47, "hdc"),
    };
    std::vector<MemberInfo> out;
    for (auto& g : groups)
        for (auto& r : g) out.push_back(std::move(r));
    return out;
}

std::vector<MemberInfo> core_rows() {
    return {
        row<&V::GetVersion>(100, "GetVersion"),
        row<&V::Terminate>(101, "Terminate"),
        row<&V::Clear>(102, "Clear"),
        row<&V::SetBackGroundColor>(103, "SetBackGroundColor", "nRGBColor"),
    };
}

std::vector<MemberInfo> source_rows() {
    return {
        row<&V::DisplayFromFile>(200, "DisplayFromFile", "sFilePath", kStatus),
        row<&V::DisplayFromFileICM>(201, "DisplayFromFileICM", "sFilePath", kStatus),
        row<&V::DisplayFromByteArray>(202, "DisplayFromByteArray", "arBytes", kStatus),
        row<&V::DisplayFromStream>(203, "DisplayFromStream", "oStream", kStatus),
        row<&V::DisplayFromStdPicture>(204, "DisplayFromStdPicture", "oStdPicture", kStatus),
        row<&V::DisplayFromHBitmap>(205, "DisplayFromHBitmap", "nHbitmap", kStatus),
        row<&V::DisplayFromGdiDib>(206, "DisplayFromGdiDib", "nGdiDibRef", kStatus),
        row<&V::DisplayFromClipboardData>(207, "DisplayFromClipboardData", "", kStatus),
        row<&V::DisplayFromImageRef>(208, "DisplayFromImageRef", "nImageID", kStatus),
        row<&V::SetNativeImage>(209, "SetNativeImage", "nImageID", kStatus),
        row<&V::GetNativeImage>(210, "GetNativeImage"),
        row<&V::DisplayFromURL>(211, "DisplayFromURL", "sHost, sPath, nHTTPPort = 80", kStatus),
        row<&V::DisplayFromFTP>(212, "DisplayFromFTP",
                                "sHost, sPath, sLogin = \"\", sPassword = \"\", nFTPPort = 21",
                                kStatus),
        row<&V::DisplayFromURLStop>(213, "DisplayFromURLStop"),
        row<&V::SetHttpTransfertBufferSize>(214, "SetHttpTransfertBufferSize", "nBuffersize"),
        row<&V::SetFtpPassiveMode>(215, "SetFtpPassiveMode", "bPassiveMode"),
        row<&V::DisplayFromPdfFile>(216, "DisplayFromPdfFile", "sPdfFilePath, sPassword = \"\"",
                                    kStatus),
        row<&V::Redraw>(217, "Redraw", "", kStatus),
        row<&V::Refresh>(218, "Refresh"),
        row<&V::CloseImage>(219, "CloseImage"),
        row<&V::Close2Image>(220, "Close2Image"),
        row<&V::ImageClosed>(221, "ImageClosed"),
        row<&V::Rotate90>(222, "Rotate90", "", kStatus),
        row<&V::Rotate180>(223, "Rotate180", "", kStatus),
        row<&V::Rotate270>(224, "Rotate270", "", kStatus),
        row<&V::FlipX>(225, "FlipX", "", kStatus),
        row<&V::FlipX90>(226, "FlipX90", "", kStatus),
        row<&V::FlipX180>(227, "FlipX180", "", kStatus),
        row<&V::FlipX270>(228, "FlipX270", "", kStatus),
        row<&V::GetHBitmap>(229, "GetHBitmap"),
        row<&V::DeleteHBitmap>(230, "DeleteHBitmap", "nHbitmap"),
        row<&V::Copy2Clipboard>(231, "Copy2Clipboard"),
        row<&V::CopyRegion2Clipboard>(232, "CopyRegion2Clipboard", "nXsrc, nYsrc, nWidth, nHeight"),
        row<&V::GetWidthMM>(233, "GetWidthMM"),
        row<&V::GetHeightMM>(234, "GetHeightMM"),
    };
}

std::vector<MemberInfo> zoom_rows() {
    return {
        row<&V::ZoomIN>(300, "ZoomIN", "", kStatus),
        row<&V::ZoomOUT>(301, "ZoomOUT", "", kStatus),
        row<&V::SetZoom>(302, "SetZoom", "nZoomPercent", kStatus),
        row<&V::SetZoom100>(303, "SetZoom100", "", kStatus),
        row<&V::SetZoomFitControl>(304, "SetZoomFitControl", "", kStatus),
        row<&V::SetZoomWidthControl>(305, "SetZoomWidthControl", "", kStatus),
        row<&V::SetZoomHeightControl>(306, "SetZoomHeightControl", "", kStatus),
        row<&V::SetZoomControl>(307, "SetZoomControl", "", kStatus),
        row<&V::ZoomRect>(308, "ZoomRect", "", kStatus),
        row<&V::GetMaxZoom>(309, "GetMaxZoom"),
        row<&V::GetHScrollBarMaxPosition>(310, "GetHScrollBarMaxPosition"),
        row<&V::GetVScrollBarMaxPosition>(311, "GetVScrollBarMaxPosition"),
        row<&V::GetHScrollBarPosition>(312, "GetHScrollBarPosition"),
        row<&V::GetVScrollBarPosition>(313, "GetVScrollBarPosition"),
        row<&V::SetHScrollBarPosition>(314, "SetHScrollBarPosition", "nNewHPosition"),
        row<&V::SetVScrollBarPosition>(315, "SetVScrollBarPosition", "nNewVPosition"),
        row<&V::SetHVScrollBarPosition>(316, "SetHVScrollBarPosition",
                                        "nNewHPosition, nNewVPosition"),
        row<&V::GetDisplayedArea>(317, "GetDisplayedArea", "nLeft, nTop, nWidth, nHeight"),
        row<&V::GetDisplayedAreaMM>(318, "GetDisplayedAreaMM", "nLeft, nTop, nWidth, nHeight"),
        row<&V::GetImageLeft>(319, "GetImageLeft"),
        row<&V::GetImageTop>(320, "GetImageTop"),
    };
}

std::vector<MemberInfo> rectangle_rows() {
    return {
        row<&V::ClearRect>(400, "ClearRect"),
        row<&V::isRectDrawed>(401, "isRectDrawed"),
        row<&V::GetRectValues>(402, "GetRectValues", "nLeft, nTop, nWidth, nHeight"),
        row<&V::SetRectValues>(403, "SetRectValues", "nLeft, nTop, nWidth, nHeight"),
        row<&V::CoordObjectToImage>(404, "CoordObjectToImage",
                                    "nObjectX, nObjectY, nImageX, nImageY"),
        row<&V::CoordImageToObject>(405, "CoordImageToObject",
                                    "nImageX, nImageY, nObjectX, nObjectY"),
        row<&V::GetMouseX>(406, "GetMouseX"),
        row<&V::GetMouseY>(407, "GetMouseY"),
    };
}

std::vector<MemberInfo> frame_rows() {
    return {
        row<&V::GetTotalFrame>(500, "GetTotalFrame"),
        row<&V::PlayGif>(501, "PlayGif", "", kStatus),
        row<&V::StopGif>(502, "StopGif"),
    };
}

InterfaceInfo build() {
    InterfaceInfo iface{"_LumViewer", kIidLumViewer, {}};
    for (auto group :
         {property_rows, core_rows, source_rows, zoom_rows, rectangle_rows, frame_rows})
        for (auto& m : group()) iface.members.push_back(std::move(m));
    return iface;
}

InterfaceInfo build_events() {
    using I16 = int16_t&;
    using I32 = int32_t&;
    using F = float&;
    constexpr const char* kMouse = "Button, shift, X, y";
    return InterfaceInfo{
        "__LumViewer",
        kIidLumViewerEvents,
        {
            event<void(I32, I32, I32)>(1, "DataReceived",
                                       "nPercentProgress, nLeftToTransfer, nTotalLength"),
            event<void()>(2, "ZoomChange"),
            event<void()>(3, "ScrollControl"),
            event<void()>(4, "ZoomChanged"),
            event<void()>(5, "PageChange"),
            event<void()>(6, "PictureChange"),
            event<void()>(7, "Displayed"),
            event<void(I16)>(8, "KeyPressControl", "KeyAscii"),
            event<void(I16, I16)>(9, "KeyUpControl", "KeyCode, shift"),
            event<void(I16, I16)>(10, "KeyDownControl", "KeyCode, shift"),
            event<void(I16, I16, F, F)>(11, "MouseMoveControl", kMouse),
            event<void()>(12, "ClickControl"),
            event<void()>(13, "DblClickControl"),
            event<void(I16, I16, F, F)>(14, "MouseDownControl", kMouse),
            event<void(I16, I16, F, F)>(15, "MouseUpControl", kMouse),
            event<void()>(16, "ResizeControl"),
            event<void(std::string&)>(17, "FileDrop", "sFilePath"),
            event<void(I32)>(18, "Rotation", "nRotation"),
            event<void(SafeArray<std::string>&, I32)>(19, "FilesDrop", "sFilesPath, nFilesCount"),
            event<void()>(20, "PictureChanged"),
        }};
}

}  // namespace

const InterfaceInfo& lumviewer_interface() {
    static const InterfaceInfo iface = build();
    return iface;
}

const InterfaceInfo& lumviewer_events() {
    static const InterfaceInfo iface = build_events();
    return iface;
}

}  // namespace com
