// Stand-in for the drawing part of the GDI+ flat API: graphics objects on images, device
// contexts and windows; brushes, pens, fonts and font families, string formats; image
// drawing with the interpolation modes, world transforms, text; and RotateFlip.
//
// Objects are 32-bit handles of one per-thread table; a stale handle or one of another kind
// of object gives InvalidParameter. Drawing is done with cairo, text is laid out by pango.
// Coordinates are in the page unit (pixels unless GdipSetPageUnit says otherwise), mapped by
// the world transform. Only the target's pixels that a call covers are read and written.
#pragma once

#include "platform/gdiplus/gdiplus.h"

LUM_BEGIN_EXPORTS

using GpBrush = uint32_t;
using GpSolidFill = uint32_t;
using GpLineGradient = uint32_t;
using GpTexture = uint32_t;
using GpPen = uint32_t;
using GpFont = uint32_t;
using GpFontFamily = uint32_t;
using GpFontCollection = uint32_t;
using GpStringFormat = uint32_t;
using GpImageAttributes = uint32_t;
using WCHAR = char16_t;
using LANGID = uint16_t;

struct GpPointF {
    REAL X = 0, Y = 0;
};

enum SmoothingMode : INT {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
};
enum InterpolationMode : INT {
    InterpolationModeInvalid = -1,
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};
enum CompositingQuality : INT {
    CompositingQualityDefault = 0,
    CompositingQualityHighSpeed = 1,
    CompositingQualityHighQuality = 2,
    CompositingQualityGammaCorrected = 3,
    CompositingQualityAssumeLinear = 4,
};
enum CompositingMode : INT { CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1 };
enum PixelOffsetMode : INT {
    PixelOffsetModeDefault = 0,
    PixelOffsetModeHighSpeed = 1,
    PixelOffsetModeHighQuality = 2,
    PixelOffsetModeNone = 3,
    PixelOffsetModeHalf = 4,
};
enum GpUnit : INT {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};
enum MatrixOrder : INT { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };
enum CoordinateSpace : INT {
    CoordinateSpaceWorld = 0,
    CoordinateSpacePage = 1,
    CoordinateSpaceDevice = 2
};
enum TextRenderingHint : INT {
    TextRenderingHintSystemDefault = 0,
    TextRenderingHintSingleBitPerPixelGridFit = 1,
    TextRenderingHintSingleBitPerPixel = 2,
    TextRenderingHintAntiAliasGridFit = 3,
    TextRenderingHintAntiAlias = 4,
    TextRenderingHintClearTypeGridFit = 5,
};
enum StringAlignment : INT {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2
};
enum LinearGradientMode : INT {
    LinearGradientModeHorizontal = 0,
    LinearGradientModeVertical = 1,
    LinearGradientModeForwardDiagonal = 2,
    LinearGradientModeBackwardDiagonal = 3,
};
enum WrapMode : INT {
    WrapModeTile = 0,
    WrapModeTileFlipX = 1,
    WrapModeTileFlipY = 2,
    WrapModeTileFlipXY = 3,
    WrapModeClamp = 4,
};
enum FontStyle : INT {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};
enum BrushType : INT {
    BrushTypeSolidColor = 0,
    BrushTypeHatchFill = 1,
    BrushTypeTextureFill = 2,
    BrushTypePathGradient = 3,
    BrushTypeLinearGradient = 4,
};
enum RotateFlipType : INT {
    RotateNoneFlipNone = 0,
    Rotate90FlipNone = 1,
    Rotate180FlipNone = 2,
    Rotate270FlipNone = 3,
    RotateNoneFlipX = 4,
    Rotate90FlipX = 5,
    Rotate180FlipX = 6,
    Rotate270FlipX = 7,
};
constexpr INT StringFormatFlagsNoWrap = 0x1000;
constexpr INT StringFormatFlagsNoClip = 0x4000;
constexpr LANGID LANG_NEUTRAL = 0;

// Drawing callback of the image drawing calls: drawing is aborted when it returns TRUE.
using DrawImageAbort = BOOL (*)(void* data);

// ---- Graphics objects ------------------------------------------------------------------
// On a device context with pixels (a memory DC with a 32-bit bitmap) or without (the
// screen: drawing succeeds and changes nothing). OutOfMemory for an unknown DC.
GpStatus GdipCreateFromHDC(HDC dc, GpGraphics* graphics);
// On the window's surface: its DC must have pixels. OutOfMemory for a window without one.
GpStatus GdipCreateFromHWND(HWND window, GpGraphics* graphics);
// On a bitmap of a non-indexed format; OutOfMemory for an indexed bitmap, as the platform.
GpStatus GdipGetImageGraphicsContext(GpImage image, GpGraphics* graphics);
GpStatus GdipDeleteGraphics(GpGraphics graphics);

GpStatus GdipSetSmoothingMode(GpGraphics graphics, SmoothingMode mode);
GpStatus GdipGetSmoothingMode(GpGraphics graphics, SmoothingMode* mode);
GpStatus GdipSetInterpolationMode(GpGraphics graphics, InterpolationMode mode);
GpStatus GdipGetInterpolationMode(GpGraphics graphics, InterpolationMode* mode);
GpStatus GdipSetCompositingQuality(GpGraphics graphics, CompositingQuality quality);
GpStatus GdipGetCompositingQuality(GpGraphics graphics, CompositingQuality* quality);
GpStatus GdipSetCompositingMode(GpGraphics graphics, CompositingMode mode);
GpStatus GdipGetCompositingMode(GpGraphics graphics, CompositingMode* mode);
GpStatus GdipSetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode mode);
GpStatus GdipGetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode* mode);
GpStatus GdipSetTextRenderingHint(GpGraphics graphics, TextRenderingHint hint);
GpStatus GdipGetTextRenderingHint(GpGraphics graphics, TextRenderingHint* hint);
// UnitWorld is refused (InvalidParameter); UnitDisplay is the pixel on a device.
GpStatus GdipSetPageUnit(GpGraphics graphics, GpUnit unit);
GpStatus GdipGetPageUnit(GpGraphics graphics, GpUnit* unit);
GpStatus GdipSetPageScale(GpGraphics graphics, REAL scale);
GpStatus GdipGetPageScale(GpGraphics graphics, REAL* scale);
GpStatus GdipGetDpiX(GpGraphics graphics, REAL* dpi);
GpStatus GdipGetDpiY(GpGraphics graphics, REAL* dpi);

// World transforms (angles in degrees, clockwise on the y-down surface).
GpStatus GdipResetWorldTransform(GpGraphics graphics);
GpStatus GdipRotateWorldTransform(GpGraphics graphics, REAL angle, MatrixOrder order);
GpStatus GdipTranslateWorldTransform(GpGraphics graphics, REAL dx, REAL dy, MatrixOrder order);
GpStatus GdipScaleWorldTransform(GpGraphics graphics, REAL sx, REAL sy, MatrixOrder order);
// The six elements m11, m12, m21, m22, dx, dy of the world transform.
GpStatus LumGdipGetWorldTransformElements(GpGraphics graphics, REAL elements[6]);
GpStatus GdipTransformPoints(GpGraphics graphics, CoordinateSpace destination,
                             CoordinateSpace source, GpPointF* points, INT count);

// ---- Filling and outlining -----------------------------------------------------------
GpStatus GdipGraphicsClear(GpGraphics graphics, ARGB color);
GpStatus GdipFillRectangle(GpGraphics graphics, GpBrush brush, REAL x, REAL y, REAL width,
                           REAL height);
GpStatus GdipFillRectangleI(GpGraphics graphics, GpBrush brush, INT x, INT y, INT width,
                            INT height);
GpStatus GdipFillRectangles(GpGraphics graphics, GpBrush brush, const GpRectF* rects, INT count);
GpStatus GdipDrawRectangle(GpGraphics graphics, GpPen pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawRectangleI(GpGraphics graphics, GpPen pen, INT x, INT y, INT width, INT height);
GpStatus GdipDrawRectangles(GpGraphics graphics, GpPen pen, const GpRectF* rects, INT count);

// ---- Images --------------------------------------------------------------------------
// The image at its physical size (its resolution against the target's) at (x, y).
GpStatus GdipDrawImage(GpGraphics graphics, GpImage image, REAL x, REAL y);
GpStatus GdipDrawImageI(GpGraphics graphics, GpImage image, INT x, INT y);
// The whole image scaled into the rectangle.
GpStatus GdipDrawImageRect(GpGraphics graphics, GpImage image, REAL x, REAL y, REAL width,
                           REAL height);
GpStatus GdipDrawImageRectI(GpGraphics graphics, GpImage image, INT x, INT y, INT width,
                            INT height);
// The source rectangle (in src_unit, only UnitPixel) scaled into the destination one. Only
// the destination pixels that lie on the target are computed. Nearest neighbour, bilinear
// and bicubic sample the source at the mapped pixel centre; the high-quality modes filter
// over the source area each target pixel covers when shrinking. Edges are clamped.
GpStatus GdipDrawImageRectRect(GpGraphics graphics, GpImage image, REAL dst_x, REAL dst_y,
                               REAL dst_width, REAL dst_height, REAL src_x, REAL src_y,
                               REAL src_width, REAL src_height, GpUnit src_unit,
                               GpImageAttributes attributes, DrawImageAbort callback,
                               void* callback_data);
GpStatus GdipDrawImageRectRectI(GpGraphics graphics, GpImage image, INT dst_x, INT dst_y,
                                INT dst_width, INT dst_height, INT src_x, INT src_y, INT src_width,
                                INT src_height, GpUnit src_unit, GpImageAttributes attributes,
                                DrawImageAbort callback, void* callback_data);

// ---- Brushes and pens ----------------------------------------------------------------
GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill* brush);
// A gradient from color1 at the rectangle's start edge to color2 at its end edge.
GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2,
                                     LinearGradientMode mode, WrapMode wrap, GpLineGradient* brush);
// The image is copied: the brush does not depend on it afterwards.
GpStatus GdipCreateTexture(GpImage image, WrapMode wrap, GpTexture* brush);
GpStatus GdipGetBrushType(GpBrush brush, BrushType* type);
GpStatus GdipDeleteBrush(GpBrush brush);
GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen* pen);
GpStatus GdipDeletePen(GpPen pen);

// ---- Fonts ---------------------------------------------------------------------------
// The installed families; `collection` may be 0 (the system's). FontFamilyNotFound for a
// name that is neither an installed family nor one that the system declares metric-
// compatible with an installed one (Arial, Times New Roman and Courier New are the
// Liberation families).
GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection collection,
                                      GpFontFamily* family);
GpStatus GdipDeleteFontFamily(GpFontFamily family);
// The installed family's own name, NUL-terminated in 32 characters.
GpStatus GdipGetFamilyName(GpFontFamily family, WCHAR name[32], LANGID language);
GpStatus GdipIsStyleAvailable(GpFontFamily family, INT style, BOOL* available);
GpStatus GdipNewInstalledFontCollection(GpFontCollection* collection);
GpStatus GdipGetFontCollectionFamilyCount(GpFontCollection collection, INT* count);
GpStatus GdipGetFontCollectionFamilyList(GpFontCollection collection, INT wanted,
                                         GpFontFamily* families, INT* found);
// A size in `unit`: UnitWorld and UnitPixel are pixels of the target, UnitPoint 1/72 inch,
// UnitInch, UnitDocument 1/300 inch, UnitMillimeter; UnitDisplay is refused.
GpStatus GdipCreateFont(GpFontFamily family, REAL size, INT style, GpUnit unit, GpFont* font);
GpStatus GdipDeleteFont(GpFont font);
GpStatus GdipGetFontSize(GpFont font, REAL* size);
GpStatus GdipGetFontStyle(GpFont font, INT* style);

// ---- Text ----------------------------------------------------------------------------
GpStatus GdipCreateStringFormat(INT flags, LANGID language, GpStringFormat* format);
GpStatus GdipDeleteStringFormat(GpStringFormat format);
GpStatus GdipSetStringFormatAlign(GpStringFormat format, StringAlignment align);
GpStatus GdipGetStringFormatAlign(GpStringFormat format, StringAlignment* align);
GpStatus GdipSetStringFormatLineAlign(GpStringFormat format, StringAlignment align);
GpStatus GdipGetStringFormatLineAlign(GpStringFormat format, StringAlignment* align);
GpStatus GdipSetStringFormatFlags(GpStringFormat format, INT flags);
// `length` -1: NUL-terminated. A layout rectangle of width or height 0 does not wrap or
// clip in that direction; otherwise lines wrap at words inside its width, are aligned by the
// format, and what falls outside is clipped. Lines break at "\n".
GpStatus GdipDrawString(GpGraphics graphics, const WCHAR* text, INT length, GpFont font,
                        const GpRectF* layout, GpStringFormat format, GpBrush brush);
// The box the text occupies when drawn as GdipDrawString would.
GpStatus GdipMeasureString(GpGraphics graphics, const WCHAR* text, INT length, GpFont font,
                           const GpRectF* layout, GpStringFormat format, GpRectF* bounds,
                           INT* codepoints_fitted, INT* lines_filled);

// ---- Geometry ------------------------------------------------------------------------
// Rotates (clockwise) and flips the active frame in place; the resolutions follow the axes.
GpStatus GdipImageRotateFlip(GpImage image, RotateFlipType type);

LUM_END_EXPORTS
