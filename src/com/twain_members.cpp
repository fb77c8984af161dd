// The rows of _twain, the scanning control's dispatch interface. DISPIDs are part of the
// published interface: never renumber a row, give a new member the next free number of its
// group.
#include "com/dispatch_traits.h"
#include "lumtwainpro/twain.h"

namespace com {

namespace {

constexpr GUID kIidTwain = guid_of("e8450428-0e82-484e-8105-4102cf3a9789");
constexpr const char* kStatus = "LumTwainStatus";

std::vector<MemberInfo> core_rows() {
    return {
        row<&twain::GetStat>(1, "GetStat", "", kStatus),
        row<&twain::GetNativeImage>(2, "GetNativeImage"),
        row<&twain::SetNativeImage>(3, "SetNativeImage", "nImageID"),
        row<&twain::CloseImage>(4, "CloseImage", "nImageID", kStatus),
    };
}

std::vector<MemberInfo> acquisition_rows() {
    return {
        row<&twain::TwainAcquireToDib>(100, "TwainAcquireToDib", "hwnd = 0"),
        row<&twain::TwainAcquireToImageID>(101, "TwainAcquireToImageID", "hwnd = 0"),
        row<&twain::TwainEndXfer>(102, "TwainEndXfer"),
        row<&twain::TwainEndAllXfers>(103, "TwainEndAllXfers"),
        row<&twain::TwainLastXferFail>(104, "TwainLastXferFail"),
        row<&twain::TwainUserClosedSource>(105, "TwainUserClosedSource"),
        row<&twain::TwainDisableAutoSourceClose>(106, "TwainDisableAutoSourceClose",
                                                 "bAutoSourceClose"),
        row<&twain::TwainSetMultiTransfer>(107, "TwainSetMultiTransfer", "bMultiTransfer"),
        row<&twain::TwainSetXferCount>(108, "TwainSetXferCount", "nXfers"),
        row<&twain::TwainSetHideUI>(109, "TwainSetHideUI", "bHide"),
        row<&twain::TwainGetHideUI>(110, "TwainGetHideUI"),
        row<&twain::TwainSetIndicators>(111, "TwainSetIndicators", "bShowIndicator"),
        row<&twain::TwainGetState>(112, "TwainGetState", "", "TwainStatus"),
        row<&twain::TwainSetErrorMessage>(113, "TwainSetErrorMessage", "bShowErrors"),
        row<&twain::TwainSetDebugMode>(114, "TwainSetDebugMode", "bDebugMode"),
    };
}

std::vector<MemberInfo> source_rows() {
    return {
        row<&twain::TwainIsAvailable>(200, "TwainIsAvailable"),
        row<&twain::TwainSelectSource>(201, "TwainSelectSource", "hwnd = 0"),
        row<&twain::TwainOpenSource>(202, "TwainOpenSource", "sSourceName"),
        row<&twain::TwainOpenDefaultSource>(203, "TwainOpenDefaultSource"),
        row<&twain::TwainCloseSource>(204, "TwainCloseSource"),
        row<&twain::TwainDisableSource>(205, "TwainDisableSource"),
        row<&twain::TwainCloseSourceManager>(206, "TwainCloseSourceManager", "hwnd = 0"),
        row<&twain::TwainUnloadSourceManager>(207, "TwainUnloadSourceManager"),
        row<&twain::TwainShowSetupDialogSource>(208, "TwainShowSetupDialogSource", "hwnd = 0"),
        row<&twain::TwainSetApplicationInfo>(
            209, "TwainSetApplicationInfo",
            "nMajorNumVersion, nMinorNumVersion, nLanguageID:TwainLanguage, "
            "nCountryID:TwainCountry, sVersionInfo, sCompanyName, sProductFamily, sProductName"),
        row<&twain::TwainGetSourceCount>(210, "TwainGetSourceCount"),
        row<&twain::TwainGetSourceName>(211, "TwainGetSourceName", "nSourceNo"),
        row<&twain::TwainGetCurrentSourceName>(212, "TwainGetCurrentSourceName"),
        row<&twain::TwainGetDefaultSourceName>(213, "TwainGetDefaultSourceName"),
        row<&twain::TwainGetLastResultCode>(214, "TwainGetLastResultCode", "", "TwainResultCode"),
        row<&twain::TwainGetLastConditionCode>(215, "TwainGetLastConditionCode", "",
                                               "TwainConditionCode"),
    };
}

std::vector<MemberInfo> capability_rows() {
    constexpr const char* kCap = "nCap:TwainCapabilities";
    return {
        row<&twain::TwainGetAvailableCapValuesCount>(300, "TwainGetAvailableCapValuesCount", kCap),
        row<&twain::TwainGetAvailableCapValuesNumeric>(301, "TwainGetAvailableCapValuesNumeric",
                                                       "nCap:TwainCapabilities, arValues"),
        row<&twain::TwainGetAvailableCapValuesString>(302, "TwainGetAvailableCapValuesString",
                                                      "nCap:TwainCapabilities, arValues"),
        row<&twain::TwainGetAvailableCapValueNoNumeric>(303, "TwainGetAvailableCapValueNoNumeric",
                                                        "nCap:TwainCapabilities, nNumber"),
        row<&twain::TwainGetAvailableCapValueNoString>(304, "TwainGetAvailableCapValueNoString",
                                                       "nCap:TwainCapabilities, nNumber"),
        row<&twain::TwainGetCapCurrentNumeric>(305, "TwainGetCapCurrentNumeric",
                                               "nCap:TwainCapabilities, nCurrentValue"),
        row<&twain::TwainGetCapCurrentString>(306, "TwainGetCapCurrentString",
                                              "nCap:TwainCapabilities, sCurrentValue"),
        row<&twain::TwainGetCapRangeNumeric>(
            307, "TwainGetCapRangeNumeric",
            "nCap:TwainCapabilities, nMinValue, nMaxValue, nStepValue"),
        row<&twain::TwainSetCapCurrentNumeric>(
            308, "TwainSetCapCurrentNumeric",
            "nCap:TwainCapabilities, nItemType:TwainItemTypes, nNewValue"),
        row<&twain::TwainSetCapCurrentString>(
            309, "TwainSetCapCurrentString",
            "nCap:TwainCapabilities, nItemType:TwainItemTypes, sNewValue"),
        row<&twain::TwainResetCap>(310, "TwainResetCap", kCap),
        row<&twain::TwainGetCapItemType>(311, "TwainGetCapItemType", kCap, "TwainItemTypes"),
    };
}

std::vector<MemberInfo> value_list_rows() {
    return {
        row<&twain::TwainGetAvailableBrightness>(400, "TwainGetAvailableBrightness", "arValues"),
        row<&twain::TwainGetAvailableBrightnessCount>(401, "TwainGetAvailableBrightnessCount"),
        row<&twain::TwainGetAvailableBrightnessNo>(402, "TwainGetAvailableBrightnessNo", "nNumber"),
        row<&twain::TwainGetAvailableContrast>(403, "TwainGetAvailableContrast", "arValues"),
        row<&twain::TwainGetAvailableContrastCount>(404, "TwainGetAvailableContrastCount"),
        row<&twain::TwainGetAvailableContrastNo>(405, "TwainGetAvailableContrastNo", "nNumber"),
        row<&twain::TwainGetAvailableBitDepths>(406, "TwainGetAvailableBitDepths", "arValues"),
        row<&twain::TwainGetAvailableBitDepthsCount>(407, "TwainGetAvailableBitDepthsCount"),
        row<&twain::TwainGetAvailableBitDepthNo>(408, "TwainGetAvailableBitDepthNo", "nNumber"),
        row<&twain::TwainGetAvailablePixelTypes>(409, "TwainGetAvailablePixelTypes", "arValues"),
        row<&twain::TwainGetAvailablePixelTypesCount>(410, "TwainGetAvailablePixelTypesCount"),
        row<&twain::TwainGetAvailablePixelTypeNo>(411, "TwainGetAvailablePixelTypeNo", "nNumber",
                                                  "TwainPixelType"),
        row<&twain::TwainGetAvailableXResolutions>(412, "TwainGetAvailableXResolutions",
                                                   "arValues"),
        row<&twain::TwainGetAvailableXResolutionsCount>(413, "TwainGetAvailableXResolutionsCount"),
        row<&twain::TwainGetAvailableXResolutionNo>(414, "TwainGetAvailableXResolutionNo",
                                                    "nNumber"),
        row<&twain::TwainGetAvailableYResolutions>(415, "TwainGetAvailableYResolutions",
                                                   "arValues"),
        row<&twain::TwainGetAvailableYResolutionsCount>(416, "TwainGetAvailableYResolutionsCount"),
        row<&twain::TwainGetAvailableYResolutionNo>(417, "TwainGetAvailableYResolutionNo",
                                                    "nNumber"),
        row<&twain::TwainGetAvailablePaperSize>(418, "TwainGetAvailablePaperSize", "arValues"),
        row<&twain::TwainGetAvailablePaperSizeCount>(419, "TwainGetAvailablePaperSizeCount"),
        row<&twain::TwainGetAvailablePaperSizeNo>(420, "TwainGetAvailablePaperSizeNo", "nNumber",
                                                  "TwainPaperSize"),
    };
}

std::vector<MemberInfo> current_value_rows() {
    return {
        row<&twain::TwainGetCurrentBitDepth>(500, "TwainGetCurrentBitDepth"),
        row<&twain::TwainGetCurrentBrightness>(501, "TwainGetCurrentBrightness"),
        row<&twain::TwainGetCurrentContrast>(502, "TwainGetCurrentContrast"),
        row<&twain::TwainGetCurrentPixelType>(503, "TwainGetCurrentPixelType", "",
                                              "TwainPixelType"),
        row<&twain::TwainGetCurrentResolution>(504, "TwainGetCurrentResolution"),
        row<&twain::TwainGetPhysicalWidth>(505, "TwainGetPhysicalWidth"),
        row<&twain::TwainGetPhysicalHeight>(506, "TwainGetPhysicalHeight"),
        row<&twain::TwainGetCurrentThreshold>(507, "TwainGetCurrentThreshold"),
        row<&twain::TwainGetCurrentPlanarChunky>(508, "TwainGetCurrentPlanarChunky"),
        row<&twain::TwainGetCurrentPixelFlavor>(509, "TwainGetCurrentPixelFlavor"),
        row<&twain::TwainSetCurrentThreshold>(510, "TwainSetCurrentThreshold", "nThreshold"),
        row<&twain::TwainSetCurrentPlanarChunky>(511, "TwainSetCurrentPlanarChunky",
                                                 "nPlanarChunky"),
        row<&twain::TwainSetCurrentPixelFlavor>(512, "TwainSetCurrentPixelFlavor", "nPixelFlavor"),
        row<&twain::TwainHasCameraPreviewUI>(513, "TwainHasCameraPreviewUI"),
        row<&twain::TwainIsDuplexEnabled>(514, "TwainIsDuplexEnabled"),
        row<&twain::TwainIsFeederSelected>(515, "TwainIsFeederSelected"),
        row<&twain::TwainIsAutoFeedOn>(516, "TwainIsAutoFeedOn"),
        row<&twain::TwainIsFeederLoaded>(517, "TwainIsFeederLoaded"),
        row<&twain::TwainHasFeeder>(518, "TwainHasFeeder"),
        row<&twain::TwainSelectFeeder>(519, "TwainSelectFeeder", "bSelectFeeder"),
        row<&twain::TwainIsAutomaticBorderDetectionAvailable>(
            520, "TwainIsAutomaticBorderDetectionAvailable"),
        row<&twain::TwainIsAutomaticDeskewAvailable>(521, "TwainIsAutomaticDeskewAvailable"),
        row<&twain::TwainIsAutomaticRotationAvailable>(522, "TwainIsAutomaticRotationAvailable"),
        row<&twain::TwainIsPixelTypeAvailable>(523, "TwainIsPixelTypeAvailable",
                                               "nPixelType:TwainPixelType"),
    };
}

std::vector<MemberInfo> setting_rows() {
    return {
        row<&twain::TwainSetCurrentBitDepth>(600, "TwainSetCurrentBitDepth", "nBitDepth"),
        row<&twain::TwainSetCurrentBrightness>(601, "TwainSetCurrentBrightness",
                                               "nBrightnessValue"),
        row<&twain::TwainSetCurrentContrast>(602, "TwainSetCurrentContrast", "nContrastValue"),
        row<&twain::TwainSetCurrentPixelType>(603, "TwainSetCurrentPixelType",
                                              "nPixelType:TwainPixelType"),
        row<&twain::TwainSetCurrentResolution>(604, "TwainSetCurrentResolution", "nResolution"),
        row<&twain::TwainSetPaperSize>(605, "TwainSetPaperSize", "nSize:TwainPaperSize"),
        row<&twain::TwainSetImageLayout>(606, "TwainSetImageLayout",
                                         "nLeft, nTop, nRight, nBottom"),
        row<&twain::TwainResetImageLayout>(607, "TwainResetImageLayout"),
        row<&twain::TwainSetAutoBrightness>(608, "TwainSetAutoBrightness", "bAutoBrightness"),
        row<&twain::TwainSetAutoFeed>(609, "TwainSetAutoFeed", "bAutoFeed"),
        row<&twain::TwainSetAutoScan>(610, "TwainSetAutoScan", "bAutoScan"),
        row<&twain::TwainSetAutomaticBorderDetection>(611, "TwainSetAutomaticBorderDetection",
                                                      "bAutoBorderDetect"),
        row<&twain::TwainSetAutomaticDeskew>(612, "TwainSetAutomaticDeskew", "bAutoDeskew"),
        row<&twain::TwainSetAutomaticRotation>(613, "TwainSetAutomaticRotation", "bAutoRotate"),
        row<&twain::TwainEnableDuplex>(614, "TwainEnableDuplex", "bDuplex"),
        row<&twain::TwainGetPaperSize>(615, "TwainGetPaperSize", "", "TwainPaperSize"),
        row<&twain::TwainGetDuplexMode>(616, "TwainGetDuplexMode"),
    };
}

std::vector<MemberInfo> save_rows() {
    return {
        row<&twain::SaveAsBmp>(700, "SaveAsBmp", "sFilename", kStatus),
        row<&twain::SaveAsJpeg>(701, "SaveAsJpeg", "sFilename, nQuality = 75", kStatus),
        row<&twain::SaveAsPng>(702, "SaveAsPng", "sFilename", kStatus),
        row<&twain::SaveAsGif>(703, "SaveAsGif", "sFilename", kStatus),
        row<&twain::SaveAsTiff>(704, "SaveAsTiff",
                                "sFilename, nModeCompression:TifCompression = 2, nColorDepth = 0",
                                kStatus),
        row<&twain::SaveAsByteArray>(705, "SaveAsByteArray",
                                     "arBytes, nBitsRead, sImageFormat, nEncoderParameter = 0",
                                     kStatus),
        row<&twain::SaveAsStream>(706, "SaveAsStream",
                                  "oStream, sImageFormat, nEncoderParameter = 0", kStatus),
        row<&twain::SaveAsString>(707, "SaveAsString", "sImageFormat, nEncoderParameter = 0"),
        row<&twain::TiffSaveAsNativeMultiPage>(708, "TiffSaveAsNativeMultiPage",
                                               "sFilename, nModeCompression:TifCompression = 2",
                                               kStatus),
        row<&twain::TiffAddToNativeMultipage>(709, "TiffAddToNativeMultipage", "nImageID", kStatus),
        row<&twain::TiffCloseNativeMultiPage>(710, "TiffCloseNativeMultiPage", "", kStatus),
    };
}

std::vector<MemberInfo> query_rows() {
    return {
        row<&twain::CreateClonedImage>(800, "CreateClonedImage", "nImageID"),
        row<&twain::CreateClonedImageArea>(801, "CreateClonedImageArea",
                                           "nImageID, nSrcX, nSrcY, nWidth, nHeight"),
        row<&twain::GetWidth>(802, "GetWidth"),
        row<&twain::GetHeight>(803, "GetHeight"),
        row<&twain::GetImageFormat>(804, "GetImageFormat"),
        row<&twain::GetPixelFormat>(805, "GetPixelFormat"),
        row<&twain::GetIntPixelFormat>(806, "GetIntPixelFormat"),
        row<&twain::GetHorizontalResolution>(807, "GetHorizontalResolution"),
        row<&twain::GetVerticalResolution>(808, "GetVerticalResolution"),
        row<&twain::SetHorizontalResolution>(809, "SetHorizontalResolution",
                                             "nHorizontalresolution", kStatus),
        row<&twain::SetVerticalResolution>(810, "SetVerticalResolution", "nVerticalresolution",
                                           kStatus),
        row<&twain::GetPicture>(811, "GetPicture"),
        row<&twain::GetHBitmap>(812, "GetHBitmap"),
        row<&twain::DeleteHBitmap>(813, "DeleteHBitmap", "nHbitmap"),
        row<&twain::DeletePictureObject>(814, "DeletePictureObject", "oPictureObject"),
    };
}

std::vector<MemberInfo> pdf_rows() {
    return {
        row<&twain::SaveAsPdf>(900, "SaveAsPdf", "sFilename"),
    };
}

std::vector<MemberInfo> ftp_rows() {
    return {
        row<&twain::SaveToFTP>(910, "SaveToFTP",
                               "sImageFormat, nEncoderParameter, sHost, sPath, sLogin = \"\", "
                               "sPassword = \"\", nFTPPort = 21",
                               kStatus),
        row<&twain::SetFtpPassiveMode>(911, "SetFtpPassiveMode", "bPassiveMode"),
    };
}

std::vector<MemberInfo> own_format_rows() {
    return {
        row<&twain::SaveAsGifI>(920, "SaveAsGifI", "sFilename", kStatus),
        row<&twain::SaveAsPnm>(921, "SaveAsPnm", "sFilename", kStatus),
    };
}

InterfaceInfo build() {
    InterfaceInfo iface{"_twain", kIidTwain, {}};
    for (auto group : {core_rows, acquisition_rows, source_rows, capability_rows, value_list_rows,
                       current_value_rows, setting_rows, save_rows, query_rows, pdf_rows,
                       ftp_rows, own_format_rows})
        for (auto& m : group()) iface.members.push_back(std::move(m));
    return iface;
}

HRESULT create_twain(IDispatch** out) {
    return create_control<twain>(twain_interface(), "LumTwainPro.twain", out);
}

}  // namespace

const InterfaceInfo& twain_interface() {
    static const InterfaceInfo iface = build();
    return iface;
}

Creator twain_creator() {
    return &create_twain;
}

}  // namespace com
