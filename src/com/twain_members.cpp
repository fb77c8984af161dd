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

std::vector<MemberInfo> effect_rows() {
    return {
        row<&twain::FiltersToPicture>(1000, "FiltersToPicture"),
        row<&twain::FiltersToZone>(1001, "FiltersToZone", "nTop, nLeft, nWidth, nHeight"),
        row<&twain::SetBrightnessEffect>(1002, "SetBrightnessEffect", "nBrightnessPct", kStatus),
        row<&twain::SetContrastEffect>(1003, "SetContrastEffect", "nContrastPct", kStatus),
        row<&twain::SetGammaCorrectionEffect>(1004, "SetGammaCorrectionEffect", "nGammaFactor",
                                              kStatus),
        row<&twain::SetSaturationEffect>(1005, "SetSaturationEffect", "nSaturationPct", kStatus),
        row<&twain::SetSepiaEffect>(1006, "SetSepiaEffect", "", kStatus),
        row<&twain::SetStretchContrastEffect>(1007, "SetStretchContrastEffect", "", kStatus),
        row<&twain::SetNegativeEffect>(1008, "SetNegativeEffect", "", kStatus),
        row<&twain::SetSoftenEffect>(1009, "SetSoftenEffect", "nSoftenValue", kStatus),
        row<&twain::SetSmoothEffect>(1010, "SetSmoothEffect", "", kStatus),
        row<&twain::IsBlank>(1011, "IsBlank", "nConfidence = 98"),
    };
}

std::vector<MemberInfo> geometry_rows() {
    constexpr const char* kRect = "nSrcX, nSrcY, nWidth, nHeight";
    return {
        row<&twain::Crop>(1100, "Crop", kRect, kStatus),
        row<&twain::CropTop>(1101, "CropTop", "nLines", kStatus),
        row<&twain::CropBottom>(1102, "CropBottom", "nLines", kStatus),
        row<&twain::CropLeft>(1103, "CropLeft", "nLines", kStatus),
        row<&twain::CropRight>(1104, "CropRight", "nLines", kStatus),
        row<&twain::CropWhiteBands>(1105, "CropWhiteBands",
                                    "nConfidence = 100, nSkipLinesCount = 0", kStatus),
        row<&twain::CropBlackBands>(1106, "CropBlackBands",
                                    "nConfidence = 100, nSkipLinesCount = 0", kStatus),
        row<&twain::CropBorders2>(1107, "CropBorders2", "nConfidence, nColorReference = 1",
                                  kStatus),
        row<&twain::CropBorders>(1108, "CropBorders", "", kStatus),
        row<&twain::Rotate>(1109, "Rotate", "nRotation:RotateFlipType", kStatus),
        row<&twain::Resize>(1110, "Resize",
                            "nNewPictureWidth, nNewPictureHeight, "
                            "nInterpolationMode:InterpolationMode = 0",
                            kStatus),
        row<&twain::ConvertTo1Bpp>(1111, "ConvertTo1Bpp", "", kStatus),
        row<&twain::ConvertTo4Bpp>(1112, "ConvertTo4Bpp", "", kStatus),
        row<&twain::ConvertTo4BppPal>(1113, "ConvertTo4BppPal", "nARGBColorsArray", kStatus),
        row<&twain::ConvertTo8Bpp>(1114, "ConvertTo8Bpp", "", kStatus),
        row<&twain::ConvertTo16Bpp>(1115, "ConvertTo16Bpp", "", kStatus),
        row<&twain::ConvertTo24Bpp>(1116, "ConvertTo24Bpp", "", kStatus),
        row<&twain::ConvertTo32Bpp>(1117, "ConvertTo32Bpp", "", kStatus),
        row<&twain::ConvertTo48Bpp>(1118, "ConvertTo48Bpp", "", kStatus),
        row<&twain::ConvertTo64Bpp>(1119, "ConvertTo64Bpp", "", kStatus),
        row<&twain::ColorPaletteConvertToHalftone>(1120, "ColorPaletteConvertToHalftone", "",
                                                   kStatus),
        row<&twain::ColorPaletteGetColorsCount>(1121, "ColorPaletteGetColorsCount"),
        row<&twain::ColorPaletteGet>(1122, "ColorPaletteGet", "nColorsArray, nEntriesCount",
                                     kStatus),
        row<&twain::ColorPaletteSet>(1123, "ColorPaletteSet", "nARGBColorsArray", kStatus),
    };
}

std::vector<MemberInfo> drawing_rows() {
    constexpr const char* kDisplay =
        "nDstX, nDstY, nDstWidth, nDstHeight, nSmoothingMode:SmoothingMode = 3, "
        "nInterpolationMode:InterpolationMode = 0";
    constexpr const char* kDisplayRect =
        "nDstX, nDstY, nDstWidth, nDstHeight, nSrcX, nSrcY, nSrcWidth, nSrcHeight, "
        "nSmoothingMode:SmoothingMode = 3, nInterpolationMode:InterpolationMode = 0";
    using std::string;
    return {
        row<&twain::DisplayImageOnHDC>(1200, "DisplayImageOnHDC", "nHDC, " + string(kDisplay),
                                       kStatus),
        row<&twain::DisplayImageOnHwnd>(1201, "DisplayImageOnHwnd", "nHWND, " + string(kDisplay),
                                        kStatus),
        row<&twain::DisplayImageRectOnHDC>(1202, "DisplayImageRectOnHDC",
                                           "nHDC, " + string(kDisplayRect), kStatus),
        row<&twain::DisplayImageRectOnHwnd>(1203, "DisplayImageRectOnHwnd",
                                            "nHWND, " + string(kDisplayRect), kStatus),
        row<&twain::DrawText>(1204, "DrawText",
                              "sText, nDstX, nDstY, nFontHeight, nFontStyle:FontStyle = 0, "
                              "nColor:Colors = -16777216, sFontName = \"Arial\", bAntiAlias = True",
                              kStatus),
        row<&twain::DrawTextBackColor>(
            1205, "DrawTextBackColor",
            "sText, nDstX, nDstY, nFontHeight, nFontStyle:FontStyle = 0, "
            "nColor:Colors = -16777216, sFontName = \"Arial\", nBackColor:Colors = -1, "
            "bAntiAlias = True",
            kStatus),
        row<&twain::DrawRotatedText>(1206, "DrawRotatedText",
                                     "nAngle, sText, nDstX, nDstY, nFontHeight, "
                                     "nFontStyle:FontStyle = 0, nColor:Colors = -16777216, "
                                     "sFontName = \"Arial\", bAntiAlias = True",
                                     kStatus),
        row<&twain::DrawRotatedTextBackColor>(
            1207, "DrawRotatedTextBackColor",
            "nAngle, sText, nDstX, nDstY, nFontHeight, nFontStyle:FontStyle = 0, "
            "nColor:Colors = -16777216, sFontName = \"Arial\", nBackColor:Colors = -1, "
            "bAntiAlias = True",
            kStatus),
        row<&twain::DrawTextBox>(1208, "DrawTextBox",
                                 "sText, nLeft, nTop, nWidth, nHeight, nFontHeight, "
                                 "nAlignment = 1, nFontStyle:FontStyle = 0, "
                                 "nColor:Colors = -16777216, sFontName = \"Arial\", "
                                 "bDrawTextBox = False, bAntiAlias = True",
                                 kStatus),
        row<&twain::DrawTextGradient>(1209, "DrawTextGradient",
                                      "sText, nDstX, nDstY, nStartColor:Colors, nEndColor:Colors, "
                                      "nFontHeight, nFontStyle:FontStyle = 0, "
                                      "sFontName = \"Arial\", bAntiAlias = True",
                                      kStatus),
        row<&twain::DrawTextTexture>(1210, "DrawTextTexture",
                                     "sText, nDstX, nDstY, sTextureFilePath, nFontHeight, "
                                     "nFontStyle:FontStyle = 0, sFontName = \"Arial\", "
                                     "bAntiAlias = True",
                                     kStatus),
        row<&twain::FontSetUnit>(1211, "FontSetUnit", "nUnitMode:UnitMode"),
        row<&twain::FontGetUnit>(1212, "FontGetUnit", "", "UnitMode"),
        row<&twain::FontGetCount>(1213, "FontGetCount"),
        row<&twain::FontGetName>(1214, "FontGetName", "nFontNo"),
        row<&twain::FontIsStyleAvailable>(1215, "FontIsStyleAvailable",
                                          "sFontName, nFontStyle:FontStyle"),
    };
}

std::vector<MemberInfo> colour_rows() {
    return {
        row<&twain::ARGB>(1300, "ARGB", "nAlpha, nRed, nGreen, nBlue", "Colors"),
        row<&twain::GetRGB>(1301, "GetRGB", "nRed, nGreen, nBlue"),
        row<&twain::ColorGetRGBFromRGBValue>(1302, "ColorGetRGBFromRGBValue",
                                             "nRGBValue, nRed, nGreen, nBlue"),
        row<&twain::ColorGetRGBFromRGBValuel>(1303, "ColorGetRGBFromRGBValuel",
                                              "nRGBValue, nRed, nGreen, nBlue"),
        row<&twain::ColorGetARGBFromARGBValue>(1304, "ColorGetARGBFromARGBValue",
                                               "nARGBValue:Colors, nAlpha, nRed, nGreen, nBlue"),
        row<&twain::ColorGetARGBFromARGBValuel>(1305, "ColorGetARGBFromARGBValuel",
                                                "nARGBValue:Colors, nAlpha, nRed, nGreen, nBlue"),
    };
}

std::vector<MemberInfo> clipboard_rows() {
    return {
        row<&twain::CopyToClipboard>(1400, "CopyToClipboard", "", kStatus),
        row<&twain::CopyRegionToClipboard>(1401, "CopyRegionToClipboard",
                                           "nSrcX, nSrcY, nWidth, nHeight", kStatus),
        row<&twain::DeleteClipboardData>(1402, "DeleteClipboardData"),
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
    for (auto group :
         {core_rows, acquisition_rows, source_rows, capability_rows, value_list_rows,
          current_value_rows, setting_rows, save_rows, query_rows, pdf_rows, ftp_rows,
          own_format_rows, effect_rows, geometry_rows, drawing_rows, colour_rows, clipboard_rows})
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
