// The viewer control: shows an image (from files, memory, GDI handles, the clipboard, image
// identifiers of the scanning control, HTTP and FTP) in its window, zoomed and scrolled, and
// tells the host what happens through events.
//
// The control owns a window of the win stand-in (hwnd()): a headless window until a host
// maps it onto a real one; a host drives it with the input calls of lumtwainpro/window.h and
// shows win::GetWindowPixels. Members that show something return a ViewerStatus and keep
// it as the last status; a non-zero last status stops painting until the next source is
// shown. Properties are get_X / put_X pairs. No member throws except where a run-time error
// ends it (ComError).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lumtwainpro/com_error.h"
#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"
#include "lumtwainpro/propbag.h"
#include "lumtwainpro/window.h"

enum ViewerStatus : int32_t {
    ViewerOk = 0,
    ViewerGenericError = 1,
    ViewerInvalidParameter = 2,
    ViewerOutOfMemory = 3,
    ViewerNotImplemented = 6,
    ViewerWin32Error = 7,
    ViewerFileNotFound = 10,
    ViewerUnknownImageFormat = 13,
    ViewerPdfCanNotOpenFile = 27,
    ViewerInternetOpenError = 100,
    ViewerInternetConnectError = 101,
    ViewerInternetHttpOpenRequestError = 102,
    ViewerInternetHttpQueryError = 103,
    ViewerInternetFtpGetFileError = 104,
    ViewerInternetHttpSendRequestError = 105,
    ViewerInternetHttpInvalidFileLength = 106,
    ViewerInternetHttpTransferError = 107,
};

// The events of the viewer (__LumViewer, identifiers 1 to 20 in this order). A host derives
// from this and overrides what it needs; by-reference arguments may be changed by the
// handler and the control goes on with the changed values. An exception leaving a handler
// is logged (win::DebugLog) and does not unwind through the control.
class LUM_API LumViewerEvents {
  public:
    virtual ~LumViewerEvents() = default;
    virtual void DataReceived(int32_t& nPercentProgress, int32_t& nLeftToTransfer,
                              int32_t& nTotalLength) {}
    virtual void ZoomChange() {}
    virtual void ScrollControl() {}
    virtual void ZoomChanged() {}
    virtual void PageChange() {}
    virtual void PictureChange() {}
    virtual void Displayed() {}
    virtual void KeyPressControl(int16_t& KeyAscii) {}
    virtual void KeyUpControl(int16_t& KeyCode, int16_t& shift) {}
    virtual void KeyDownControl(int16_t& KeyCode, int16_t& shift) {}
    virtual void MouseMoveControl(int16_t& Button, int16_t& shift, float& X, float& y) {}
    virtual void ClickControl() {}
    virtual void DblClickControl() {}
    virtual void MouseDownControl(int16_t& Button, int16_t& shift, float& X, float& y) {}
    virtual void MouseUpControl(int16_t& Button, int16_t& shift, float& X, float& y) {}
    virtual void ResizeControl() {}
    virtual void FileDrop(std::string& sFilePath) {}
    virtual void Rotation(int32_t& nRotation) {}
    virtual void FilesDrop(SafeArray<std::string>& sFilesPath, int32_t& nFilesCount) {}
    virtual void PictureChanged() {}
};

class LUM_API LumViewer {
  public:
    // Starts the image engine for this thread and makes the control's window (a headless
    // window of 320 x 240 inner pixels) with the new-instance property values.
    LumViewer();
    // Terminates (once) and destroys the window.
    ~LumViewer();
    LumViewer(const LumViewer&) = delete;
    LumViewer& operator=(const LumViewer&) = delete;

    // Events go to `sink` (not owned; null for none).
    void SetEventSink(LumViewerEvents* sink);
    // The persisted properties, read from a bag (missing ones keep their defaults) and
    // written to it in the control's order. False when the bag refused a value.
    void ReadProperties(IPropertyBag* bag);
    bool WriteProperties(IPropertyBag* bag);
    // The new-instance property values.
    void InitProperties();

    // ---- Core properties (get_X / put_X) ------------------------------------------------
    bool get_ScrollBars();
    void put_ScrollBars(bool value);
    bool get_EnableMenu();
    void put_EnableMenu(bool value);
    double get_Zoom();
    void put_Zoom(double value);
    int32_t get_ZoomStep();
    void put_ZoomStep(int32_t value);
    int32_t get_ZoomMode();
    void put_ZoomMode(int32_t value);
    int32_t get_MouseMode();
    void put_MouseMode(int32_t value);
    int16_t get_ScrollSmallChange();
    void put_ScrollSmallChange(int16_t value);
    int16_t get_ScrollLargeChange();
    void put_ScrollLargeChange(int16_t value);
    bool get_SilentMode();
    void put_SilentMode(bool value);
    int32_t get_PdfDpiRendering();
    void put_PdfDpiRendering(int32_t value);
    int32_t get_PdfRenderingMode();
    void put_PdfRenderingMode(int32_t value);
    bool get_pdfForceTemporaryMode();
    void put_pdfForceTemporaryMode(bool value);
    bool get_ImageForceTemporaryMode();
    void put_ImageForceTemporaryMode(bool value);
    bool get_SkipImageResolution();
    void put_SkipImageResolution(bool value);
    bool get_LockControl();
    void put_LockControl(bool value);
    bool get_ScrollOptimization();
    void put_ScrollOptimization(bool value);
    bool get_ForcePictureMode();
    void put_ForcePictureMode(bool value);
    bool get_KeepImagePosition();
    void put_KeepImagePosition(bool value);
    int32_t get_MouseWheelMode();
    void put_MouseWheelMode(int32_t value);
    bool get_DisableAutoFocus();
    void put_DisableAutoFocus(bool value);
    int32_t get_RectBorderStyle();
    void put_RectBorderStyle(int32_t value);
    int32_t get_RectDrawMode();
    void put_RectDrawMode(int32_t value);
    int32_t get_RectBorderColor();
    void put_RectBorderColor(int32_t value);
    int16_t get_RectBorderSize();
    void put_RectBorderSize(int16_t value);
    bool get_Enabled();
    void put_Enabled(bool value);
    bool get_EnableMouseWheel();
    void put_EnableMouseWheel(bool value);
    int32_t get_ImageAlignment();
    void put_ImageAlignment(int32_t value);
    bool get_AnimateGIF();
    void put_AnimateGIF(bool value);
    int32_t get_Appearance();
    void put_Appearance(int32_t value);
    int32_t get_BackStyle();
    void put_BackStyle(int32_t value);
    int32_t get_BorderStyle();
    void put_BorderStyle(int32_t value);
    bool get_ClipControls();
    void put_ClipControls(bool value);
    int32_t get_BackColor();
    void put_BackColor(int32_t value);
    int32_t get_ViewerQuality();
    void put_ViewerQuality(int32_t value);
    bool get_ViewerQualityAuto();
    void put_ViewerQualityAuto(bool value);
    bool get_ViewerDrop();
    void put_ViewerDrop(bool value);
    ComPtr<IPicture> get_MouseIcon();
    void putref_MouseIcon(ComPtr<IPicture> value);
    // Read-only in effect: a put is accepted and changes nothing.
    int32_t get_ImageWidth();
    void put_ImageWidth(int32_t value);
    int32_t get_ImageHeight();
    void put_ImageHeight(int32_t value);
    float get_HorizontalResolution();
    void put_HorizontalResolution(float value);
    float get_VerticalResolution();
    void put_VerticalResolution(float value);
    int32_t get_NumPages();
    void put_NumPages(int32_t value);
    int32_t get_Currentpage();
    void put_Currentpage(int32_t value);
    int32_t get_ImageLeftCoord();
    void put_ImageLeftCoord(int32_t value);
    int32_t get_ImageTopCoord();
    void put_ImageTopCoord(int32_t value);
    int32_t get_hwnd();
    int32_t get_hdc();

    // ---- Core methods -------------------------------------------------------------------
    double GetVersion();  // 4.511
    void Terminate();
    void Clear();
    void SetBackGroundColor(int32_t nRGBColor);

    // ---- Display sources: each returns the ViewerStatus, also kept as the last status ----
    int32_t DisplayFromFile(const std::string& sFilePath);
    int32_t DisplayFromFileICM(const std::string& sFilePath);
    int32_t DisplayFromByteArray(const SafeArray<uint8_t>& arBytes);
    int32_t DisplayFromStream(ComPtr<IStream> oStream);
    int32_t DisplayFromStdPicture(ComPtr<IPicture> oStdPicture);
    int32_t DisplayFromHBitmap(int32_t nHbitmap);
    int32_t DisplayFromGdiDib(int32_t nGdiDibRef);
    int32_t DisplayFromClipboardData();
    // Shows an identifier of the image engine (of this control or the scanning control)
    // without copying it: the viewer draws the caller's image, and CloseImage disposes it.
    int32_t DisplayFromImageRef(int32_t nImageID);
    int32_t SetNativeImage(int32_t nImageID);
    int32_t GetNativeImage();
    // An HTTP GET of sPath on sHost ("http://" or "https://" before the host is dropped);
    // DataReceived reports every chunk. 100 to 107 for internet failures.
    int32_t DisplayFromURL(const std::string& sHost, const std::string& sPath,
                           int32_t nHTTPPort = 80);
    // Downloads to a temporary file that is deleted with the image.
    int32_t DisplayFromFTP(const std::string& sHost, const std::string& sPath,
                           const std::string& sLogin = "", const std::string& sPassword = "",
                           int32_t nFTPPort = 21);
    // While a download runs (from an event handler or the host's event loop): ends it after
    // the current chunk; the download then returns 107.
    void DisplayFromURLStop();
    void SetHttpTransfertBufferSize(int32_t nBuffersize);
    void SetFtpPassiveMode(bool bPassiveMode);
    int32_t DisplayFromPdfFile(const std::string& sPdfFilePath, const std::string& sPassword = "");
    int32_t Redraw();
    void Refresh();
    void CloseImage();
    void Close2Image();
    void ImageClosed();
    int32_t Rotate90();
    int32_t Rotate180();
    int32_t Rotate270();
    int32_t FlipX();
    int32_t FlipX90();
    int32_t FlipX180();
    int32_t FlipX270();
    int32_t GetHBitmap();
    void DeleteHBitmap(int32_t nHbitmap);
    void Copy2Clipboard();
    void CopyRegion2Clipboard(int32_t nXsrc, int32_t nYsrc, int32_t nWidth, int32_t nHeight);
    float GetWidthMM();
    float GetHeightMM();

    // ---- Zoom and scrolling -------------------------------------------------------------
    int32_t ZoomIN();
    int32_t ZoomOUT();
    int32_t SetZoom(double nZoomPercent);
    int32_t SetZoom100();
    int32_t SetZoomFitControl();
    int32_t SetZoomWidthControl();
    int32_t SetZoomHeightControl();
    int32_t SetZoomControl();
    int32_t ZoomRect();
    double GetMaxZoom();
    int32_t GetHScrollBarMaxPosition();
    int32_t GetVScrollBarMaxPosition();
    int32_t GetHScrollBarPosition();
    int32_t GetVScrollBarPosition();
    void SetHScrollBarPosition(int32_t nNewHPosition);
    void SetVScrollBarPosition(int32_t nNewVPosition);
    void SetHVScrollBarPosition(int32_t nNewHPosition, int32_t nNewVPosition);
    // The source rectangle of the last paint, in image pixels, left and top 1-based.
    void GetDisplayedArea(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight);
    void GetDisplayedAreaMM(float& nLeft, float& nTop, float& nWidth, float& nHeight);
    int32_t GetImageLeft();
    int32_t GetImageTop();

    // ---- Selection rectangle and coordinates --------------------------------------------
    void ClearRect();
    bool isRectDrawed();
    void GetRectValues(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight);
    void SetRectValues(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight);
    void CoordObjectToImage(int32_t nObjectX, int32_t nObjectY, int32_t& nImageX, int32_t& nImageY);
    void CoordImageToObject(int32_t nImageX, int32_t nImageY, int32_t& nObjectX, int32_t& nObjectY);
    int32_t GetMouseX();
    int32_t GetMouseY();

    // ---- Frames -------------------------------------------------------------------------
    int32_t GetTotalFrame();
    int32_t PlayGif();
    void StopGif();

    // ---- For hosts and tests ------------------------------------------------------------
    HWND hwnd() const;
    // The handle of a constituent part: "HScroll", "VScroll", "shCorner", "shRect"; 0 else.
    HWND part(const std::string& name) const;
    // The menu item's state, by its name ("mnzoom100", "mnplaygif", ...): false when there
    // is no such item.
    bool menu_state(const std::string& item, bool* checked, bool* enabled,
                    std::string* caption) const;
    int32_t last_status() const;
    int32_t display_copy() const;
    int32_t source_kind() const;
    bool quality_pass_done() const;

    struct State;
    // The window procedure of every viewer window.
    static LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    int32_t display_file(const std::string& path, bool colour_managed);
    std::unique_ptr<State> m;
};
