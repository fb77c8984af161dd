// Stand-in for the GDI+ flat API (gdiplus.dll) that the system calls. Images are 32-bit
// handles of a per-thread table; a stale or unknown handle gives InvalidParameter.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/ole.h"
#include "platform/win/win.h"

LUM_BEGIN_EXPORTS

namespace Gdiplus {
enum Status : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};
}  // namespace Gdiplus
using GpStatus = Gdiplus::Status;

using GpImage = uint32_t;  // image handle (bitmaps and metafiles)
using GpBitmap = uint32_t;
using GpMetafile = uint32_t;
using GpGraphics = uint32_t;
using ARGB = uint32_t;
using PROPID = uint32_t;
using REAL = float;
using PixelFormat = int32_t;

// ---- Pixel formats -------------------------------------------------------------------
constexpr PixelFormat PixelFormatIndexed = 0x00010000;
constexpr PixelFormat PixelFormatGDI = 0x00020000;
constexpr PixelFormat PixelFormatAlpha = 0x00040000;
constexpr PixelFormat PixelFormatPAlpha = 0x00080000;
constexpr PixelFormat PixelFormatExtended = 0x00100000;
constexpr PixelFormat PixelFormatCanonical = 0x00200000;
constexpr PixelFormat PixelFormatUndefined = 0;
constexpr PixelFormat PixelFormatDontCare = 0;
constexpr PixelFormat PixelFormat1bppIndexed = 0x30101;
constexpr PixelFormat PixelFormat4bppIndexed = 0x30402;
constexpr PixelFormat PixelFormat8bppIndexed = 0x30803;
constexpr PixelFormat PixelFormat16bppGrayScale = 0x101004;
constexpr PixelFormat PixelFormat16bppRGB555 = 0x21005;
constexpr PixelFormat PixelFormat16bppRGB565 = 0x21006;
constexpr PixelFormat PixelFormat16bppARGB1555 = 0x61007;
constexpr PixelFormat PixelFormat24bppRGB = 0x21808;
constexpr PixelFormat PixelFormat32bppRGB = 0x22009;
constexpr PixelFormat PixelFormat32bppARGB = 0x26200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0xD200B;
constexpr PixelFormat PixelFormat48bppRGB = 0x10300C;
constexpr PixelFormat PixelFormat64bppARGB = 0x34400D;
constexpr PixelFormat PixelFormat64bppPARGB = 0x1C400E;
constexpr PixelFormat PixelFormat32bppCMYK = 0x200F;

// ---- Records -------------------------------------------------------------------------
struct GpRect {
    INT X = 0, Y = 0, Width = 0, Height = 0;
};
struct GpRectF {
    REAL X = 0, Y = 0, Width = 0, Height = 0;
};

enum ImageLockMode : UINT {
    ImageLockModeRead = 1,
    ImageLockModeWrite = 2,
    ImageLockModeUserInputBuf = 4,
};

struct BitmapData {
    UINT Width = 0;
    UINT Height = 0;
    INT Stride = 0;
    int32_t PixelFormat = 0;  // a PixelFormat value
    void* Scan0 = nullptr;
    UINT_PTR Reserved = 0;
};

enum PaletteFlags : UINT {
    PaletteFlagsHasAlpha = 0x0001,
    PaletteFlagsGrayScale = 0x0002,
    PaletteFlagsHalftone = 0x0004,
};
// A palette in a caller buffer: Count entries follow the header (GdipGetImagePaletteSize
// gives the buffer size).
struct ColorPalette {
    UINT Flags;
    UINT Count;
    ARGB Entries[1];
};

struct PropertyItem {
    PROPID id;
    ULONG length;  // bytes of value
    WORD type;
    void* value;
};
constexpr WORD PropertyTagTypeByte = 1;
constexpr WORD PropertyTagTypeASCII = 2;
constexpr WORD PropertyTagTypeShort = 3;
constexpr WORD PropertyTagTypeLong = 4;
constexpr WORD PropertyTagTypeRational = 5;
constexpr WORD PropertyTagTypeUndefined = 7;
constexpr WORD PropertyTagTypeSLONG = 9;
constexpr WORD PropertyTagTypeSRational = 10;
constexpr PROPID PropertyTagFrameDelay = 0x5100;
constexpr PROPID PropertyTagLoopCount = 0x5101;

enum ImageType : UINT { ImageTypeUnknown = 0, ImageTypeBitmap = 1, ImageTypeMetafile = 2 };

struct GdiplusStartupInput {
    uint32_t GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

// Encoders.
struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;
    void* Value;
};
struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[16];
};
constexpr ULONG EncoderParameterValueTypeLong = 4;
constexpr ULONG EncoderValueCompressionLZW = 2;
constexpr ULONG EncoderValueCompressionCCITT3 = 3;
constexpr ULONG EncoderValueCompressionCCITT4 = 4;
constexpr ULONG EncoderValueCompressionRle = 5;
constexpr ULONG EncoderValueCompressionNone = 6;
constexpr ULONG EncoderValueMultiFrame = 18;
constexpr ULONG EncoderValueFlush = 20;
constexpr ULONG EncoderValueFrameDimensionPage = 23;

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    std::string CodecName;
    std::string DllName;
    std::string FormatDescription;
    std::string FilenameExtension;
    std::string MimeType;
    DWORD Flags;
    DWORD Version;
};

// GUIDs of the platform.
extern const GUID ImageFormatUndefined;
extern const GUID ImageFormatMemoryBMP;
extern const GUID ImageFormatBMP;
extern const GUID ImageFormatEMF;
extern const GUID ImageFormatWMF;
extern const GUID ImageFormatJPEG;
extern const GUID ImageFormatPNG;
extern const GUID ImageFormatGIF;
extern const GUID ImageFormatTIFF;
extern const GUID ImageFormatEXIF;
extern const GUID ImageFormatIcon;
extern const GUID FrameDimensionTime;
extern const GUID FrameDimensionResolution;
extern const GUID FrameDimensionPage;
extern const GUID EncoderCompression;
extern const GUID EncoderColorDepth;
extern const GUID EncoderQuality;
extern const GUID EncoderSaveFlag;

// ---- Session -------------------------------------------------------------------------
GpStatus GdiplusStartup(ULONG* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG token);

// The file version that the thread's "gdiplus.dll" version resource reports, e.g.
// "6.1.7601.24546" (the default, or LUMTWAIN_GDIPLUS_VERSION). An empty text means the file
// has no version resource; "error" makes reading it fail.
void LumGdiplusSetFileVersion(const std::string& version);
std::string LumGdiplusFileVersion();

// ---- Images --------------------------------------------------------------------------
GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                   BYTE* scan0, GpBitmap* bitmap);
// The bitmap reads and writes `bits` in place; they must outlive it.
GpStatus GdipCreateBitmapFromGdiDib(const BITMAPINFO* info, void* bits, GpBitmap* bitmap);
GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap* bitmap);
GpStatus GdipCreateBitmapFromHICON(HICON icon, GpBitmap* bitmap);
GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, HBITMAP* hbm, ARGB background);
GpStatus GdipCreateHICONFromBitmap(GpBitmap bitmap, HICON* icon);
GpStatus GdipCreateMetafileFromEmf(HENHMETAFILE emf, BOOL delete_emf, GpMetafile* metafile);
struct WmfPlaceableFileHeader {
    uint32_t Key;
    int16_t Hmf;
    int16_t BoundingBox[4];
    int16_t Inch;
    uint32_t Reserved;
    int16_t Checksum;
};
GpStatus GdipCreateMetafileFromWmf(HMETAFILE wmf, BOOL delete_wmf,
                                   const WmfPlaceableFileHeader* header, GpMetafile* metafile);
GpStatus GdipLoadImageFromStream(IStream* stream, GpImage* image);
// Not in the platform's API: the raw format of the decoder whose signature the bytes match,
// as GDI+ matches its codecs' signature patterns. UnknownImageFormat when none does.
GpStatus LumGdipSniffImageFormat(const BYTE* data, size_t size, GUID* format);
GpStatus GdipLoadImageFromFile(const char* filename, GpImage* image);
GpStatus GdipCreateBitmapFromFile(const char* filename, GpBitmap* bitmap);
// With colour management: pixels of a file that carries an ICC profile are converted to sRGB.
GpStatus GdipLoadImageFromFileICM(const char* filename, GpImage* image);
GpStatus GdipCreateBitmapFromFileICM(const char* filename, GpBitmap* bitmap);
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap* bitmap);
GpStatus GdipCloneImage(GpImage image, GpImage* clone);
GpStatus GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format,
                              GpBitmap source, GpBitmap* clone);
// Disposes the image. When it heads a multipage file that cannot be completed, the image is
// disposed all the same and the failure (Win32Error) is returned.
GpStatus GdipDisposeImage(GpImage image);
GpStatus GdipImageForceValidation(GpImage image);

// Not in the platform's API: one object a host attaches to an image, destroyed with it after
// its pixels, which may live in memory the object owns (an image engine's record of what the
// image depends on). Attaching replaces (and destroys) an earlier attachment.
struct GpImageAttachment {
    virtual ~GpImageAttachment() = default;
};
GpStatus LumGdipSetImageAttachment(GpImage image, std::unique_ptr<GpImageAttachment> attachment);
// Null for an unknown handle or an image without one.
GpImageAttachment* LumGdipGetImageAttachment(GpImage image);
GpStatus GdipGetImageType(GpImage image, ImageType* type);
GpStatus GdipGetImageRawFormat(GpImage image, GUID* format);
GpStatus GdipGetImageWidth(GpImage image, UINT* width);
GpStatus GdipGetImageHeight(GpImage image, UINT* height);
GpStatus GdipGetImageHorizontalResolution(GpImage image, REAL* dpi);
GpStatus GdipGetImageVerticalResolution(GpImage image, REAL* dpi);
GpStatus GdipBitmapSetResolution(GpBitmap bitmap, REAL dpi_x, REAL dpi_y);
GpStatus GdipGetImagePixelFormat(GpImage image, PixelFormat* format);
GpStatus GdipGetImageFlags(GpImage image, UINT* flags);

// ---- Frames, palettes, properties, pixels --------------------------------------------
GpStatus GdipImageGetFrameDimensionsCount(GpImage image, UINT* count);
GpStatus GdipImageGetFrameDimensionsList(GpImage image, GUID* dimensions, UINT count);
GpStatus GdipImageGetFrameCount(GpImage image, const GUID* dimension, UINT* count);
GpStatus GdipImageSelectActiveFrame(GpImage image, const GUID* dimension, UINT index);
GpStatus GdipGetImagePaletteSize(GpImage image, INT* size);
GpStatus GdipGetImagePalette(GpImage image, ColorPalette* palette, INT size);
GpStatus GdipSetImagePalette(GpImage image, const ColorPalette* palette);
GpStatus GdipGetPropertyCount(GpImage image, UINT* count);
GpStatus GdipGetPropertyIdList(GpImage image, UINT count, PROPID* list);
GpStatus GdipGetPropertyItemSize(GpImage image, PROPID id, UINT* size);
GpStatus GdipGetPropertyItem(GpImage image, PROPID id, UINT size, PropertyItem* buffer);
GpStatus GdipSetPropertyItem(GpImage image, const PropertyItem* item);
GpStatus GdipBitmapGetPixel(GpBitmap bitmap, INT x, INT y, ARGB* color);
GpStatus GdipBitmapSetPixel(GpBitmap bitmap, INT x, INT y, ARGB color);
// Modes: ImageLockModeRead / Write, with ImageLockModeUserInputBuf the caller's `data`
// (Width, Height, Stride, PixelFormat, Scan0) is the buffer read into or written from.
// Any two formats of the pixel-format table convert.
GpStatus GdipBitmapLockBits(GpBitmap bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                            BitmapData* data);
GpStatus GdipBitmapUnlockBits(GpBitmap bitmap, BitmapData* data);

// ---- Encoders ------------------------------------------------------------------------
GpStatus GdipGetImageEncodersSize(UINT* count, UINT* size);
// The encoder list in the platform's order (BMP, JPEG, GIF, TIFF, PNG).
const std::vector<ImageCodecInfo>& LumGdiplusEncoders();
GpStatus GdipSaveImageToFile(GpImage image, const char* filename, const CLSID* encoder,
                             const EncoderParameters* params);
GpStatus GdipSaveImageToStream(GpImage image, IStream* stream, const CLSID* encoder,
                               const EncoderParameters* params);
GpStatus GdipSaveAdd(GpImage image, const EncoderParameters* params);
GpStatus GdipSaveAddImage(GpImage image, GpImage new_image, const EncoderParameters* params);

LUM_END_EXPORTS

// Graphics objects, brushes, pens, fonts, text, image drawing and rotation.
#include "platform/gdiplus/gdiplus_graphics.h"
