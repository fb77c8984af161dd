// TWAIN standard values that the engine speaks (twain.h of the TWAIN Working Group).
#pragma once

#include <cstdint>

namespace lumtwain {

// Result codes (TWRC_*).
constexpr int kTwrcSuccess = 0;
constexpr int kTwrcFailure = 1;
constexpr int kTwrcCheckStatus = 2;
constexpr int kTwrcCancel = 3;
constexpr int kTwrcXferDone = 6;
constexpr int kTwrcEndOfList = 7;

// Condition codes (TWCC_*).
constexpr int kTwccSuccess = 0;
constexpr int kTwccBummer = 1;
constexpr int kTwccLowMemory = 2;
constexpr int kTwccNoDs = 3;
constexpr int kTwccOperationError = 5;
constexpr int kTwccBadValue = 10;
constexpr int kTwccSeqError = 11;
constexpr int kTwccCapUnsupported = 13;
constexpr int kTwccCapBadOperation = 14;
constexpr int kTwccDenied = 16;
constexpr int kTwccFileNotFound = 18;
constexpr int kTwccPaperJam = 20;
constexpr int kTwccCheckDeviceOnline = 23;
constexpr int kTwccNoMedia = 29;  // TWAIN 2.1: the feeder is empty

// Item types (TWTY_*).
constexpr int kTwtyInvalid = -1;
constexpr int kTwtyInt8 = 0;
constexpr int kTwtyInt16 = 1;
constexpr int kTwtyInt32 = 2;
constexpr int kTwtyUint8 = 3;
constexpr int kTwtyUint16 = 4;
constexpr int kTwtyUint32 = 5;
constexpr int kTwtyBool = 6;
constexpr int kTwtyFix32 = 7;
constexpr int kTwtyFrame = 8;
constexpr int kTwtyStr32 = 9;
constexpr int kTwtyStr64 = 10;
constexpr int kTwtyStr128 = 11;
constexpr int kTwtyStr255 = 12;
constexpr int kTwtyStr1024 = 13;
constexpr int kTwtyUni512 = 14;

constexpr bool is_text_type(int t) {
    return t >= kTwtyStr32 && t <= kTwtyUni512;
}
// Longest text (bytes, without NUL) a TW_STRnn item holds.
constexpr int text_type_capacity(int t) {
    switch (t) {
        case kTwtyStr32:
            return 32;
        case kTwtyStr64:
            return 64;
        case kTwtyStr128:
            return 128;
        case kTwtyStr255:
            return 255;
        case kTwtyStr1024:
            return 1024;
        case kTwtyUni512:
            return 512;
        default:
            return 0;
    }
}

// Pixel types (TWPT_*), units (TWUN_*), duplex (TWDX_*).
constexpr int kTwptBw = 0;
constexpr int kTwptGray = 1;
constexpr int kTwptRgb = 2;
constexpr int kTwunInches = 0;
constexpr int kTwunCentimeters = 1;
constexpr int kTwunPicas = 2;
constexpr int kTwunPoints = 3;
constexpr int kTwunTwips = 4;
constexpr int kTwunPixels = 5;
constexpr int kTwunMillimeters = 6;
constexpr int kTwdxNone = 0;
constexpr int kTwdx1Pass = 1;

// Capability codes.
constexpr int kCapXferCount = 1;
constexpr int kIcapCompression = 256;
constexpr int kIcapPixelType = 257;
constexpr int kIcapUnits = 258;
constexpr int kIcapXferMech = 259;
constexpr int kCapAuthor = 4096;
constexpr int kCapCaption = 4097;
constexpr int kCapFeederEnabled = 4098;
constexpr int kCapFeederLoaded = 4099;
constexpr int kCapTimeDate = 4100;
constexpr int kCapSupportedCaps = 4101;
constexpr int kCapAutoFeed = 4103;
constexpr int kCapIndicators = 4107;
constexpr int kCapPaperDetectable = 4109;
constexpr int kCapUiControllable = 4110;
constexpr int kCapDeviceOnline = 4111;
constexpr int kCapAutoScan = 4112;
constexpr int kCapDuplex = 4114;
constexpr int kCapDuplexEnabled = 4115;
constexpr int kCapCameraPreviewUi = 4129;
constexpr int kCapSerialNumber = 4132;
constexpr int kIcapAutoBright = 4352;
constexpr int kIcapBrightness = 4353;
constexpr int kIcapContrast = 4355;
constexpr int kIcapPhysicalWidth = 4369;
constexpr int kIcapPhysicalHeight = 4370;
constexpr int kIcapXNativeResolution = 4374;
constexpr int kIcapYNativeResolution = 4375;
constexpr int kIcapXResolution = 4376;
constexpr int kIcapYResolution = 4377;
constexpr int kIcapPixelFlavor = 4383;
constexpr int kIcapPlanarChunky = 4384;
constexpr int kIcapSupportedSizes = 4386;
constexpr int kIcapThreshold = 4387;
constexpr int kIcapBitDepth = 4395;
constexpr int kIcapAutomaticBorderDetection = 4432;
constexpr int kIcapAutomaticDeskew = 4433;
constexpr int kIcapAutomaticRotate = 4434;
// CAP_CUSTOMBASE + 1, the engine's own: the capabilities it emulates in software for the
// open source (UINT16 enumeration, read-only).
constexpr int kCapEmulated = 0x8001;

// Supported-size codes (TWSS_*).
constexpr int kTwssNone = 0;
constexpr int kTwssA4 = 1;
constexpr int kTwssJisB5 = 2;
constexpr int kTwssUsLetter = 3;
constexpr int kTwssUsLegal = 4;
constexpr int kTwssA5 = 5;
constexpr int kTwssIsoB6 = 7;
constexpr int kTwssUsExecutive = 10;
constexpr int kTwssA6 = 13;
constexpr int kTwssUsStatement = 52;
constexpr int kTwssBusinessCard = 53;

// Paper sizes the engine knows, in millimetres (portrait).
struct PaperSize {
    int code;
    double width_mm;
    double height_mm;
};
inline constexpr PaperSize kPaperSizes[] = {
    {kTwssA4, 210.0, 297.0},           {kTwssJisB5, 182.0, 257.0}, {kTwssUsLetter, 215.9, 279.4},
    {kTwssUsLegal, 215.9, 355.6},      {kTwssA5, 148.0, 210.0},    {kTwssIsoB6, 125.0, 176.0},
    {kTwssUsExecutive, 184.15, 266.7}, {kTwssA6, 105.0, 148.0},    {kTwssUsStatement, 139.7, 215.9},
    {kTwssBusinessCard, 90.0, 55.0},
};

}  // namespace lumtwain
