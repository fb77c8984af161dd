// The engine's small operations on an existing image: size, resolution, pixel format,
// frames and pages, palette, guarded pixel access, transfers, conversion, export to
// pictures and the clipboard, and raw property items.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

EngineStatus GetImageWidth(GpImage image, int32_t& width);
EngineStatus GetImageHeight(GpImage image, int32_t& height);
EngineStatus GetImageHorizontalResolution(GpImage image, float& dpi);
EngineStatus GetImageVerticalResolution(GpImage image, float& dpi);
EngineStatus SetImageResolution(GpImage image, float horizontal, float vertical);
EngineStatus GetPixelFormatValue(GpImage image, PixelFormat& format);
// Leaves `name` as it was when GDI+ fails.
EngineStatus GetPixelFormatName(GpImage image, std::string& name);
EngineStatus GetBitDepth(GpImage image, int32_t& bits);
int32_t BitDepthOfFormat(PixelFormat format);

EngineStatus GetFrameCount(GpImage image, int32_t& count);  // GIF frames, else 0
EngineStatus GetPageCount(GpImage image, int32_t& count);   // TIFF pages, else 0
EngineStatus SelectFrame(GpImage image, int32_t index);
EngineStatus SelectPage(GpImage image, int32_t index);
// Hundredths of a second, bounds 0 .. frames - 1.
EngineStatus GetFrameDelays(GpImage image, SafeArray<int32_t>& delays);

EngineStatus GetPaletteSize(GpImage image, int32_t& size);
EngineStatus GetPalette(GpImage image, std::vector<BYTE>& palette);  // a ColorPalette buffer
EngineStatus SetPalette(GpImage image, const std::vector<BYTE>& palette);
EngineStatus GetPixel(GpImage image, int32_t x, int32_t y, ARGB& color);

constexpr UINT kLockRead = 1;
constexpr UINT kLockWrite = 2;
constexpr UINT kLockReadIntoBuffer = 5;
constexpr UINT kLockWriteFromBuffer = 6;
// Below GDI+ 6, writing another format into an indexed image from a caller buffer is
// refused with 60 instead of being attempted.
EngineStatus LockImageBits(GpImage image, const GpRect& rect, UINT mode, PixelFormat format,
                           BitmapData& data);
EngineStatus UnlockImageBits(GpImage image, BitmapData& data);
EngineStatus GetImageGraphics(GpImage image, PixelFormat format, GpGraphics& graphics);

// The rectangle of the last transfer, remembered for the pixel filters.
struct TransferRect {
    int32_t width = 0, height = 0;
};
const TransferRect& LastTransferRect();
// Read: `pixels` gets bounds (0..3, 0..w-1, 0..h-1), channels B, G, R, A. Write: its
// elements are the 32bppARGB rows.
EngineStatus TransferArgbPixels(GpImage image, SafeArray<uint8_t>& pixels, const GpRect& rect,
                                bool read);
EngineStatus ConvertByPixelCopy(GpImage image, GpImage& converted, PixelFormat format);

EngineStatus CreateHBitmap(GpImage image, HBITMAP& bitmap, ARGB background);
ComPtr<IPicture> PictureFromHBitmap(HBITMAP bitmap);
// A picture of bitmap type that owns its bitmap, on a black background.
EngineStatus ImageToPicture(GpImage image, ComPtr<IPicture>& picture);
EngineStatus CopyImageToClipboard(GpImage image);

// Copies that are not entered in the image table.
EngineStatus CloneImage(GpImage image, GpImage& clone);
EngineStatus CloneImageArea(GpImage image, int32_t x, int32_t y, int32_t width, int32_t height,
                            PixelFormat format, GpImage& clone);

struct RawPropertyItem {
    PROPID id = 0;
    ULONG length = 0;
    WORD type = 0;
    std::vector<BYTE> value;
    UINT buffer_size = 0;
};
void GetPropertyCount(GpImage image, int32_t& count);
// Index 1-based within 1..count; nullopt for no item.
std::optional<RawPropertyItem> GetPropertyItemByIndex(GpImage image, int32_t index, int32_t count);

}  // namespace modGdiplus
