// The scanning control: acquires pages through the TWAIN engine, keeps them as image
// identifiers of the image engine, and queries, exports and saves the native image.
//
// Members store their outcome in the last status (GetStat) as the control's status model
// says; engine and GDI+ failures never throw. Only an unexpected run-time error (for
// example the TWAIN engine library missing for a member that calls it without the version
// test) ends a member with ComError.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "lumtwainpro/com_error.h"
#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"

// LumTwainStatus values the control stores itself.
enum LumTwainStatus : int32_t {
    LumTwainOk = 0,
    LumTwainGenericError = 1,
    LumTwainInvalidParameter = 2,
    LumTwainError = 30,
    LumTwainWrongVersion = 31,
    LumTwainBadState = 32,
    LumTwainTransferCanceled = 33,
    LumTwainTransferError = 34,
};

class LUM_API twain {
public:
    twain();
    ~twain();
    twain(const twain&) = delete;
    twain& operator=(const twain&) = delete;

    // The control's extent is fixed at 420 by 420 twips, whatever the host asks.
    static constexpr int32_t kExtentTwips = 420;
    void OnResize(int32_t& width_twips, int32_t& height_twips) const;

    // ---- Core ---------------------------------------------------------------------------
    int32_t GetStat();
    int32_t GetNativeImage();
    void SetNativeImage(int32_t nImageID);
    int32_t CloseImage(int32_t nImageID);

    // ---- Acquisition --------------------------------------------------------------------
    int32_t TwainAcquireToDib(int32_t hwnd = 0);
    int32_t TwainAcquireToImageID(int32_t hwnd = 0);
    bool TwainEndXfer();
    bool TwainEndAllXfers();
    bool TwainLastXferFail();
    bool TwainUserClosedSource();
    void TwainDisableAutoSourceClose(bool bAutoSourceClose);
    void TwainSetMultiTransfer(bool bMultiTransfer);
    bool TwainSetXferCount(int32_t nXfers);
    void TwainSetHideUI(bool bHide);
    bool TwainGetHideUI();
    bool TwainSetIndicators(bool bShowIndicator);
    int32_t TwainGetState();
    void TwainSetErrorMessage(bool bShowErrors);
    void TwainSetDebugMode(bool bDebugMode);

    // ---- Sources ------------------------------------------------------------------------
    bool TwainIsAvailable();
    bool TwainSelectSource(int32_t hwnd = 0);
    bool TwainOpenSource(const std::string& sSourceName);
    bool TwainOpenDefaultSource();
    bool TwainCloseSource();
    bool TwainDisableSource();
    bool TwainCloseSourceManager(int32_t hwnd = 0);
    bool TwainUnloadSourceManager();
    bool TwainShowSetupDialogSource(int32_t hwnd = 0);
    void TwainSetApplicationInfo(int32_t nMajorNumVersion, int32_t nMinorNumVersion,
                                 int32_t nLanguageID, int32_t nCountryID,
                                 const std::string& sVersionInfo, const std::string& sCompanyName,
                                 const std::string& sProductFamily,
                                 const std::string& sProductName);
    int32_t TwainGetSourceCount();
    std::string TwainGetSourceName(int32_t nSourceNo);
    std::string TwainGetCurrentSourceName();
    std::string TwainGetDefaultSourceName();
    int32_t TwainGetLastResultCode();
    int32_t TwainGetLastConditionCode();

    // ---- Generic capabilities -----------------------------------------------------------
    int32_t TwainGetAvailableCapValuesCount(int32_t nCap);
    int32_t TwainGetAvailableCapValuesNumeric(int32_t nCap, SafeArray<double>& arValues);
    int32_t TwainGetAvailableCapValuesString(int32_t nCap, SafeArray<std::string>& arValues);
    double TwainGetAvailableCapValueNoNumeric(int32_t nCap, int32_t nNumber);
    std::string TwainGetAvailableCapValueNoString(int32_t nCap, int32_t nNumber);
    bool TwainGetCapCurrentNumeric(int32_t nCap, double& nCurrentValue);
    bool TwainGetCapCurrentString(int32_t nCap, std::string& sCurrentValue);
    bool TwainGetCapRangeNumeric(int32_t nCap, double& nMinValue, double& nMaxValue,
                                 double& nStepValue);
    bool TwainSetCapCurrentNumeric(int32_t nCap, int32_t nItemType, int32_t nNewValue);
    bool TwainSetCapCurrentString(int32_t nCap, int32_t nItemType, const std::string& sNewValue);
    bool TwainResetCap(int32_t nCap);
    int32_t TwainGetCapItemType(int32_t nCap);

    // ---- Value-list families ------------------------------------------------------------
    int32_t TwainGetAvailableBrightness(SafeArray<double>& arValues);
    int32_t TwainGetAvailableBrightnessCount();
    double TwainGetAvailableBrightnessNo(int32_t nNumber);
    int32_t TwainGetAvailableContrast(SafeArray<double>& arValues);
    int32_t TwainGetAvailableContrastCount();
    double TwainGetAvailableContrastNo(int32_t nNumber);
    int32_t TwainGetAvailableBitDepths(SafeArray<int32_t>& arValues);
    int32_t TwainGetAvailableBitDepthsCount();
    int32_t TwainGetAvailableBitDepthNo(int32_t nNumber);
    int32_t TwainGetAvailablePixelTypes(SafeArray<int32_t>& arValues);
    int32_t TwainGetAvailablePixelTypesCount();
    int32_t TwainGetAvailablePixelTypeNo(int32_t nNumber);
    int32_t TwainGetAvailableXResolutions(SafeArray<int32_t>& arValues);
    int32_t TwainGetAvailableXResolutionsCount();
    int32_t TwainGetAvailableXResolutionNo(int32_t nNumber);
    int32_t TwainGetAvailableYResolutions(SafeArray<int32_t>& arValues);
    int32_t TwainGetAvailableYResolutionsCount();
    int32_t TwainGetAvailableYResolutionNo(int32_t nNumber);
    int32_t TwainGetAvailablePaperSize(SafeArray<int32_t>& arValues);
    int32_t TwainGetAvailablePaperSizeCount();
    int32_t TwainGetAvailablePaperSizeNo(int32_t nNumber);

    // ---- Current values -----------------------------------------------------------------
    int32_t TwainGetCurrentBitDepth();
    int32_t TwainGetCurrentBrightness();
    int32_t TwainGetCurrentContrast();
    int32_t TwainGetCurrentPixelType();
    int32_t TwainGetCurrentResolution();
    double TwainGetPhysicalWidth();
    double TwainGetPhysicalHeight();
    int32_t TwainGetCurrentThreshold();
    int32_t TwainGetCurrentPlanarChunky();
    int32_t TwainGetCurrentPixelFlavor();
    bool TwainSetCurrentThreshold(int32_t nThreshold);
    bool TwainSetCurrentPlanarChunky(int32_t nPlanarChunky);
    bool TwainSetCurrentPixelFlavor(int32_t nPixelFlavor);
    bool TwainHasCameraPreviewUI();
    bool TwainIsDuplexEnabled();
    bool TwainIsFeederSelected();
    bool TwainIsAutoFeedOn();
    bool TwainIsFeederLoaded();
    bool TwainHasFeeder();
    bool TwainSelectFeeder(bool bSelectFeeder);
    bool TwainIsAutomaticBorderDetectionAvailable();
    bool TwainIsAutomaticDeskewAvailable();
    bool TwainIsAutomaticRotationAvailable();
    bool TwainIsPixelTypeAvailable(int32_t nPixelType);

    // ---- Direct settings ----------------------------------------------------------------
    bool TwainSetCurrentBitDepth(int32_t nBitDepth);
    bool TwainSetCurrentBrightness(int32_t nBrightnessValue);
    bool TwainSetCurrentContrast(int32_t nContrastValue);
    bool TwainSetCurrentPixelType(int32_t nPixelType);
    bool TwainSetCurrentResolution(int32_t nResolution);
    bool TwainSetPaperSize(int32_t nSize);
    bool TwainSetImageLayout(double nLeft, double nTop, double nRight, double nBottom);
    bool TwainResetImageLayout();
    bool TwainSetAutoBrightness(bool bAutoBrightness);
    bool TwainSetAutoFeed(bool bAutoFeed);
    bool TwainSetAutoScan(bool bAutoScan);
    bool TwainSetAutomaticBorderDetection(bool bAutoBorderDetect);
    bool TwainSetAutomaticDeskew(bool bAutoDeskew);
    bool TwainSetAutomaticRotation(bool bAutoRotate);
    bool TwainEnableDuplex(bool bDuplex);
    int32_t TwainGetPaperSize();
    int32_t TwainGetDuplexMode();

    // ---- Save and export ----------------------------------------------------------------
    int32_t SaveAsBmp(const std::string& sFilename);
    int32_t SaveAsJpeg(const std::string& sFilename, int32_t nQuality = 75);
    int32_t SaveAsPng(const std::string& sFilename);
    int32_t SaveAsGif(const std::string& sFilename);
    int32_t SaveAsTiff(const std::string& sFilename, int32_t nModeCompression = 2,
                       int32_t nColorDepth = 0);
    int32_t SaveAsByteArray(SafeArray<uint8_t>& arBytes, int32_t& nBitsRead,
                            const std::string& sImageFormat, int32_t nEncoderParameter = 0);
    int32_t SaveAsStream(ComPtr<IStream>& oStream, const std::string& sImageFormat,
                         int32_t nEncoderParameter = 0);
    std::string SaveAsString(const std::string& sImageFormat, int32_t nEncoderParameter = 0);
    int32_t TiffSaveAsNativeMultiPage(const std::string& sFilename, int32_t nModeCompression = 2);
    int32_t TiffAddToNativeMultipage(int32_t nImageID);
    int32_t TiffCloseNativeMultiPage();

    // ---- PDF ----------------------------------------------------------------------------
    bool SaveAsPdf(const std::string& sFilename);

    // ---- Own-format saves -------------------------------------------------------------
    // The native image through the library's own writers: an interlaced GIF89a file
    // (images of more than 8 bits reduced to 256 colours by the octree; a palette entry of
    // alpha 0 becomes the transparent colour), and a PNM file (P4 for 1 bit, P5 for a grey
    // palette, P6 otherwise). 1 when the writer fails (a GIF side above 65535 pixels, a file
    // that cannot be written); the file is replaced whole or not at all. Without a native
    // image nothing is written: the last status if it is a failure, else 2.
    int32_t SaveAsGifI(const std::string& sFilename);
    int32_t SaveAsPnm(const std::string& sFilename);

    // ---- FTP upload ---------------------------------------------------------------------
    // Uploads the native image, saved in `sImageFormat` (BMP, JPG with the quality
    // nEncoderParameter, TIF with the compression nEncoderParameter, PNG, PDF, GIF; anything
    // else JPEG at quality 75), to `sPath` on the FTP server. 100 no internet support, 101 no
    // connection or login, 108 the server refused the file; a save failure's own status.
    // Without a native image nothing is sent: the last status if it is a failure, else 2.
    // A port outside 1..65535 is the overflow run-time error (ComError 6).
    int32_t SaveToFTP(const std::string& sImageFormat, int32_t nEncoderParameter,
                      const std::string& sHost, const std::string& sPath,
                      const std::string& sLogin = "", const std::string& sPassword = "",
                      int32_t nFTPPort = 21);
    void SetFtpPassiveMode(bool bPassiveMode);

    // ---- Query, cloning and export ------------------------------------------------------
    int32_t CreateClonedImage(int32_t nImageID);
    int32_t CreateClonedImageArea(int32_t nImageID, int32_t nSrcX, int32_t nSrcY, int32_t nWidth,
                                  int32_t nHeight);
    int32_t GetWidth();
    int32_t GetHeight();
    std::string GetImageFormat();
    std::string GetPixelFormat();
    int32_t GetIntPixelFormat();
    float GetHorizontalResolution();
    float GetVerticalResolution();
    int32_t SetHorizontalResolution(float nHorizontalresolution);
    int32_t SetVerticalResolution(float nVerticalresolution);
    ComPtr<IPicture> GetPicture();
    int32_t GetHBitmap();
    void DeleteHBitmap(int32_t nHbitmap);
    void DeletePictureObject(ComPtr<IPicture>& oPictureObject);

    // ---- Filters and effects ------------------------------------------------------------
    // Effects act on the whole native image, or after FiltersToZone on the zone (1-based
    // top and left). Each returns and stores the engine's status; without a native image they
    // change nothing and return the last status.
    void FiltersToPicture();
    void FiltersToZone(int32_t nTop, int32_t nLeft, int32_t nWidth, int32_t nHeight);
    int32_t SetBrightnessEffect(int32_t nBrightnessPct);
    int32_t SetContrastEffect(int32_t nContrastPct);
    int32_t SetGammaCorrectionEffect(int32_t nGammaFactor);
    int32_t SetSaturationEffect(int32_t nSaturationPct);
    int32_t SetSepiaEffect();
    int32_t SetStretchContrastEffect();
    int32_t SetNegativeEffect();
    int32_t SetSoftenEffect(int32_t nSoftenValue);
    int32_t SetSmoothEffect();
    // True when at most (100 - nConfidence) percent of the pixels are marked; not a status.
    bool IsBlank(int32_t nConfidence = 98);

    // ---- Geometry and colour depth ------------------------------------------------------
    // Each replaces the native image on success and keeps its resolution; a failure leaves
    // the native image as it was. Coordinates are 1-based.
    int32_t Crop(int32_t nSrcX, int32_t nSrcY, int32_t nWidth, int32_t nHeight);
    int32_t CropTop(int32_t nLines);
    int32_t CropBottom(int32_t nLines);
    int32_t CropLeft(int32_t nLines);
    int32_t CropRight(int32_t nLines);
    int32_t CropWhiteBands(int32_t nConfidence = 100, int32_t nSkipLinesCount = 0);
    int32_t CropBlackBands(int32_t nConfidence = 100, int32_t nSkipLinesCount = 0);
    int32_t CropBorders2(int32_t nConfidence, int32_t nColorReference = 1);
    int32_t CropBorders();
    int32_t Rotate(int32_t nRotation);
    int32_t Resize(int32_t nNewPictureWidth, int32_t nNewPictureHeight,
                   int32_t nInterpolationMode = 0);
    int32_t ConvertTo1Bpp();
    int32_t ConvertTo4Bpp();
    // 1 to 16 ARGB colours; more, or none, give 2.
    int32_t ConvertTo4BppPal(const SafeArray<int32_t>& nARGBColorsArray);
    int32_t ConvertTo8Bpp();
    int32_t ConvertTo16Bpp();
    int32_t ConvertTo24Bpp();
    int32_t ConvertTo32Bpp();
    int32_t ConvertTo48Bpp();
    int32_t ConvertTo64Bpp();
    int32_t ColorPaletteConvertToHalftone();
    int32_t ColorPaletteGetColorsCount();
    int32_t ColorPaletteGet(SafeArray<int32_t>& nColorsArray, int32_t& nEntriesCount);
    // Up to 256 ARGB colours; more give 2.
    int32_t ColorPaletteSet(const SafeArray<int32_t>& nARGBColorsArray);

    // ---- Display, text and fonts ----------------------------------------------------------
    // Positions are 1-based (DrawTextBox takes its rectangle as given). Font heights are in
    // the font unit (FontSetUnit, points by default). A family that is not installed gives 14.
    int32_t DisplayImageOnHDC(int32_t nHDC, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                              int32_t nDstHeight, int32_t nSmoothingMode = 3,
                              int32_t nInterpolationMode = 0);
    int32_t DisplayImageOnHwnd(int32_t nHWND, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                               int32_t nDstHeight, int32_t nSmoothingMode = 3,
                               int32_t nInterpolationMode = 0);
    int32_t DisplayImageRectOnHDC(int32_t nHDC, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                                  int32_t nDstHeight, int32_t nSrcX, int32_t nSrcY,
                                  int32_t nSrcWidth, int32_t nSrcHeight, int32_t nSmoothingMode = 3,
                                  int32_t nInterpolationMode = 0);
    int32_t DisplayImageRectOnHwnd(int32_t nHWND, int32_t nDstX, int32_t nDstY, int32_t nDstWidth,
                                   int32_t nDstHeight, int32_t nSrcX, int32_t nSrcY,
                                   int32_t nSrcWidth, int32_t nSrcHeight,
                                   int32_t nSmoothingMode = 3, int32_t nInterpolationMode = 0);
    int32_t DrawText(const std::string& sText, int32_t nDstX, int32_t nDstY, int32_t nFontHeight,
                     int32_t nFontStyle = 0, int32_t nColor = -16777216,
                     const std::string& sFontName = "Arial", bool bAntiAlias = true);
    int32_t DrawTextBackColor(const std::string& sText, int32_t nDstX, int32_t nDstY,
                              int32_t nFontHeight, int32_t nFontStyle = 0,
                              int32_t nColor = -16777216, const std::string& sFontName = "Arial",
                              int32_t nBackColor = -1, bool bAntiAlias = true);
    int32_t DrawRotatedText(int32_t nAngle, const std::string& sText, int32_t nDstX, int32_t nDstY,
                            int32_t nFontHeight, int32_t nFontStyle = 0, int32_t nColor = -16777216,
                            const std::string& sFontName = "Arial", bool bAntiAlias = true);
    int32_t DrawRotatedTextBackColor(int32_t nAngle, const std::string& sText, int32_t nDstX,
                                     int32_t nDstY, int32_t nFontHeight, int32_t nFontStyle = 0,
                                     int32_t nColor = -16777216,
                                     const std::string& sFontName = "Arial",
                                     int32_t nBackColor = -1, bool bAntiAlias = true);
    int32_t DrawTextBox(const std::string& sText, int32_t nLeft, int32_t nTop, int32_t nWidth,
                        int32_t nHeight, int32_t nFontHeight, int32_t nAlignment = 1,
                        int32_t nFontStyle = 0, int32_t nColor = -16777216,
                        const std::string& sFontName = "Arial", bool bDrawTextBox = false,
                        bool bAntiAlias = true);
    int32_t DrawTextGradient(const std::string& sText, int32_t nDstX, int32_t nDstY,
                             int32_t nStartColor, int32_t nEndColor, int32_t nFontHeight,
                             int32_t nFontStyle = 0, const std::string& sFontName = "Arial",
                             bool bAntiAlias = true);
    int32_t DrawTextTexture(const std::string& sText, int32_t nDstX, int32_t nDstY,
                            const std::string& sTextureFilePath, int32_t nFontHeight,
                            int32_t nFontStyle = 0, const std::string& sFontName = "Arial",
                            bool bAntiAlias = true);
    void FontSetUnit(int32_t nUnitMode);
    int32_t FontGetUnit();
    int32_t FontGetCount();
    std::string FontGetName(int32_t nFontNo);
    bool FontIsStyleAvailable(const std::string& sFontName, int32_t nFontStyle);

    // ---- Colour values --------------------------------------------------------------------
    // ARGB raises ComError 6 (overflow) for a component outside 0..255; GetRGB raises
    // ComError 5 for a negative one and takes a component above 255 as 255.
    int32_t ARGB(int32_t nAlpha, int32_t nRed, int32_t nGreen, int32_t nBlue);
    int32_t GetRGB(int32_t nRed, int32_t nGreen, int32_t nBlue);
    void ColorGetRGBFromRGBValue(int32_t nRGBValue, uint8_t& nRed, uint8_t& nGreen, uint8_t& nBlue);
    void ColorGetRGBFromRGBValuel(int32_t nRGBValue, int32_t& nRed, int32_t& nGreen,
                                  int32_t& nBlue);
    void ColorGetARGBFromARGBValue(int32_t nARGBValue, uint8_t& nAlpha, uint8_t& nRed,
                                   uint8_t& nGreen, uint8_t& nBlue);
    void ColorGetARGBFromARGBValuel(int32_t nARGBValue, int32_t& nAlpha, int32_t& nRed,
                                    int32_t& nGreen, int32_t& nBlue);

    // ---- Clipboard ------------------------------------------------------------------------
    int32_t CopyToClipboard();
    int32_t CopyRegionToClipboard(int32_t nSrcX, int32_t nSrcY, int32_t nWidth, int32_t nHeight);
    void DeleteClipboardData();

    // State of an image taken before an editing member replaces it.
    struct ImageStateSnapshot {
        int32_t width = 0;
        int32_t height = 0;
        float vertical_resolution = 0;
        float horizontal_resolution = 0;
        int32_t pixel_format = 0;  // a GDI+ PixelFormat value
    };
    const ImageStateSnapshot& image_state() const { return m_snapshot; }

    // Instance state, read by tests.
    int32_t multi_page_image() const { return m_multiPageImageID; }
    bool ftp_passive_mode() const { return m_ftpPassiveMode; }
    int32_t filters_target() const { return m_filtersTarget; }
    std::array<int32_t, 4> filter_zone() const { return m_filterZone; }
    int32_t font_unit() const { return m_fontUnit; }

private:
    bool CheckEngineVersion();
    // Shared shapes of the capability members.
    template <class T>
    int32_t list_values(int32_t cap, SafeArray<T>& out);
    double value_no(int32_t cap, int32_t number);
    bool current_flag(int32_t cap);
    bool open_with_defaults(bool default_source, const std::string& name);
    void SaveImageState(int32_t image);
    void RestoreImageState(int32_t image);
    int32_t store(int32_t status) { return m_lastStatus = status; }
    // Editing helpers.
    int32_t apply_effect(int32_t effect, double parameter, float h = 0, float s = 0.5f,
                         float l = 1);
    bool refresh_filter_zone();
    int32_t replace_native(int32_t image, bool close_old);
    int32_t crop_uniform(int32_t confidence, uint32_t colour, int32_t skip, int32_t tolerance);
    int32_t convert_by_copy(int32_t format);
    int32_t convert_4bpp(const std::vector<uint32_t>& palette, uint32_t flags);
    int32_t draw_text(const std::string& text, int32_t x, int32_t y, float angle, int32_t height,
                      int32_t style, const std::string& font, bool anti_alias, int kind,
                      uint32_t color, uint32_t color2, const std::string& texture, bool background,
                      uint32_t back);
    int32_t display(bool dc, int32_t handle, int32_t x, int32_t y, int32_t w, int32_t h,
                    const int32_t* src, int32_t smoothing, int32_t interpolation);
    // What a member acting on the native image does without one.
    int32_t no_native_image();

    int32_t m_nativeImageID = 0;
    int32_t m_multiPageImageID = 0;
    int32_t m_lastStatus = 0;
    bool m_ftpPassiveMode = true;
    int32_t m_filtersTarget = 1;
    std::array<int32_t, 4> m_filterZone{};
    int32_t m_fontUnit = 3;  // UnitPoint
    ImageStateSnapshot m_snapshot;
};
