#include "imaging/image_props.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdiplus/pixel_format.h"

namespace modGdiplus {

EngineStatus GetImageWidth(GpImage image, int32_t& width) {
    width = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    UINT w = 0;
    EngineStatus s = GdipGetImageWidth(image, &w);
    if (s == Gdiplus::Ok) width = int32_t(w);
    return s;
}

EngineStatus GetImageHeight(GpImage image, int32_t& height) {
    height = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    UINT h = 0;
    EngineStatus s = GdipGetImageHeight(image, &h);
    if (s == Gdiplus::Ok) height = int32_t(h);
    return s;
}

EngineStatus GetImageHorizontalResolution(GpImage image, float& dpi) {
    dpi = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    EngineStatus s = GdipGetImageHorizontalResolution(image, &dpi);
    if (s != Gdiplus::Ok) dpi = 0;
    return s;
}

EngineStatus GetImageVerticalResolution(GpImage image, float& dpi) {
    dpi = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    EngineStatus s = GdipGetImageVerticalResolution(image, &dpi);
    if (s != Gdiplus::Ok) dpi = 0;
    return s;
}

EngineStatus SetImageResolution(GpImage image, float horizontal, float vertical) {
    if (image == 0) return Gdiplus::InvalidParameter;
    GdipImageForceValidation(image);
    return GdipBitmapSetResolution(image, horizontal, vertical);
}

EngineStatus GetPixelFormatValue(GpImage image, PixelFormat& format) {
    format = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipGetImagePixelFormat(image, &format);
}

EngineStatus GetPixelFormatName(GpImage image, std::string& name) {
    if (image == 0) return Gdiplus::InvalidParameter;
    PixelFormat format = 0;
    EngineStatus s = GdipGetImagePixelFormat(image, &format);
    if (s == Gdiplus::Ok) name = std::string(gdip::pixel_format_name(format));
    return s;
}

EngineStatus GetBitDepth(GpImage image, int32_t& bits) {
    bits = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    PixelFormat format = 0;
    EngineStatus s = GdipGetImagePixelFormat(image, &format);
    if (s == Gdiplus::Ok) bits = BitDepthOfFormat(format);
    return s;
}

int32_t BitDepthOfFormat(PixelFormat format) { return gdip::pixel_format_bits(format); }

namespace {
EngineStatus count_of(GpImage image, const char* format_name, const GUID& dimension,
                      int32_t& count) {
    count = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    std::string name;
    EngineStatus s = GetRawFormatName(image, name);
    if (s != Gdiplus::Ok || name != format_name) return s;
    UINT n = 0;
    s = GdipImageGetFrameCount(image, &dimension, &n);
    if (s == Gdiplus::Ok) count = int32_t(n);
    return s;
}
}  // namespace

EngineStatus GetFrameCount(GpImage image, int32_t& count) {
    return count_of(image, "GIF", FrameDimensionTime, count);
}

EngineStatus GetPageCount(GpImage image, int32_t& count) {
    return count_of(image, "TIFF", FrameDimensionPage, count);
}

EngineStatus SelectFrame(GpImage image, int32_t index) {
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipImageSelectActiveFrame(image, &FrameDimensionTime, UINT(index));
}

EngineStatus SelectPage(GpImage image, int32_t index) {
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipImageSelectActiveFrame(image, &FrameDimensionPage, UINT(index));
}

EngineStatus GetFrameDelays(GpImage image, SafeArray<int32_t>& delays) {
    if (image == 0) return Gdiplus::InvalidParameter;
    int32_t frames = 0;
    EngineStatus status = GetFrameCount(image, frames);
    if (frames <= 1) return status;
    int32_t count = 0;
    GetPropertyCount(image, count);
    for (int32_t i = 1; i <= count; ++i) {
        auto item = GetPropertyItemByIndex(image, i, count);
        if (!item || item->id != PropertyTagFrameDelay) continue;
        size_t values = item->value.size() / 4;
        if (values == 0) break;
        delays.redim(0, ULONG(frames));
        for (size_t j = 0; j < values && j < size_t(frames); ++j)
            std::memcpy(&delays.at(LONG(j)), item->value.data() + 4 * j, 4);
        break;
    }
    return status;
}

EngineStatus GetPaletteSize(GpImage image, int32_t& size) {
    size = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    INT n = 0;
    EngineStatus s = GdipGetImagePaletteSize(image, &n);
    size = n;
    return s;
}

EngineStatus GetPalette(GpImage image, std::vector<BYTE>& palette) {
    int32_t size = 0;
    EngineStatus s = GetPaletteSize(image, size);
    if (s != Gdiplus::Ok) return s;
    palette.assign(size_t(std::max<int32_t>(size, sizeof(ColorPalette))), 0);
    return GdipGetImagePalette(image, reinterpret_cast<ColorPalette*>(palette.data()), size);
}

EngineStatus SetPalette(GpImage image, const std::vector<BYTE>& palette) {
    if (image == 0 || palette.size() < 8) return Gdiplus::InvalidParameter;
    ColorPalette head;
    std::memcpy(&head, palette.data(), 8);
    if (palette.size() < 8 + size_t(head.Count) * 4) return Gdiplus::InvalidParameter;
    return GdipSetImagePalette(image, reinterpret_cast<const ColorPalette*>(palette.data()));
}

EngineStatus GetPixel(GpImage image, int32_t x, int32_t y, ARGB& color) {
    color = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipBitmapGetPixel(image, x, y, &color);
}

EngineStatus LockImageBits(GpImage image, const GpRect& rect, UINT mode, PixelFormat format,
                           BitmapData& data) {
    if (image == 0) return Gdiplus::InvalidParameter;
    PixelFormat own = 0;
    GdipGetImagePixelFormat(image, &own);
    if (GdiplusBelow6() && gdip::is_indexed(own) && format != own && mode == kLockWriteFromBuffer)
        return kStatusPixelFormatMustBeConverted;
    return GdipBitmapLockBits(image, &rect, mode, format, &data);
}

EngineStatus UnlockImageBits(GpImage image, BitmapData& data) {
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipBitmapUnlockBits(image, &data);
}

EngineStatus GetImageGraphics(GpImage image, PixelFormat format, GpGraphics& graphics) {
    graphics = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    if (GdiplusBelow6()) {
        if (format == 0) GdipGetImagePixelFormat(image, &format);
        if (gdip::is_indexed(format)) return kStatusPixelFormatMustBeConverted;
    }
    return GdipGetImageGraphicsContext(image, &graphics);
}

namespace {
TransferRect& last_transfer() {
    thread_local TransferRect r;
    return r;
}
}  // namespace

const TransferRect& LastTransferRect() { return last_transfer(); }

EngineStatus TransferArgbPixels(GpImage image, SafeArray<uint8_t>& pixels, const GpRect& rect,
                                bool read) {
    last_transfer() = {rect.Width, rect.Height};
    if (image == 0) return Gdiplus::InvalidParameter;
    if (rect.Width <= 0 || rect.Height <= 0) return Gdiplus::InvalidParameter;
    uint64_t bytes = uint64_t(rect.Width) * uint64_t(rect.Height) * 4;
    if (bytes > (uint64_t(1) << 31)) return Gdiplus::OutOfMemory;
    try {
        if (read) {
            pixels.redim({SAFEARRAYBOUND{4, 0}, SAFEARRAYBOUND{ULONG(rect.Width), 0},
                          SAFEARRAYBOUND{ULONG(rect.Height), 0}});
        } else if (pixels.size() < bytes) {
            return Gdiplus::InvalidParameter;
        }
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    BitmapData data;
    data.Width = UINT(rect.Width);
    data.Height = UINT(rect.Height);
    data.Stride = rect.Width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = pixels.data();
    EngineStatus s = LockImageBits(image, rect, read ? kLockReadIntoBuffer : kLockWriteFromBuffer,
                                   PixelFormat32bppARGB, data);
    if (s != Gdiplus::Ok) return s;
    return GdipBitmapUnlockBits(image, &data);
}

EngineStatus ConvertByPixelCopy(GpImage image, GpImage& converted, PixelFormat format) {
    converted = 0;
    int32_t w = 0, h = 0;
    float dx = 0, dy = 0;
    EngineStatus s = GetImageWidth(image, w);
    if (s == Gdiplus::Ok) s = GetImageHeight(image, h);
    if (s == Gdiplus::Ok) s = GetImageHorizontalResolution(image, dx);
    if (s == Gdiplus::Ok) s = GetImageVerticalResolution(image, dy);
    if (s != Gdiplus::Ok) return s;
    SafeArray<uint8_t> pixels;
    GpRect rect{0, 0, w, h};
    if ((s = TransferArgbPixels(image, pixels, rect, true)) != Gdiplus::Ok) return s;
    if ((s = CreateBlankImage(w, h, format, converted)) != Gdiplus::Ok) return s;
    if ((s = TransferArgbPixels(converted, pixels, rect, false)) != Gdiplus::Ok) return s;
    return SetImageResolution(converted, dx, dy);
}

EngineStatus CreateHBitmap(GpImage image, HBITMAP& bitmap, ARGB background) {
    bitmap = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipCreateHBITMAPFromBitmap(image, &bitmap, background);
}

ComPtr<IPicture> PictureFromHBitmap(HBITMAP bitmap) {
    PICTDESC desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPicture> picture;
    OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(picture.put()));
    return picture;
}

EngineStatus ImageToPicture(GpImage image, ComPtr<IPicture>& picture) {
    if (image == 0) return Gdiplus::InvalidParameter;
    HBITMAP bitmap = 0;
    EngineStatus s = GdipCreateHBITMAPFromBitmap(image, &bitmap, 0);
    if (s != Gdiplus::Ok) return s;
    PICTDESC desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPicture> made;
    OleCreatePictureIndirect(&desc, IID_IDispatch, TRUE, reinterpret_cast<void**>(made.put()));
    picture = made;
    return s;
}

EngineStatus CopyImageToClipboard(GpImage image) {
    ComPtr<IPicture> picture;
    EngineStatus s = ImageToPicture(image, picture);
    if (s != Gdiplus::Ok) return s;
    // The clipboard owns its data: it gets a bitmap of its own, as the picture's copy.
    if (OpenClipboard(0)) {
        EmptyClipboard();
        HBITMAP copy = 0;
        if (GdipCreateHBITMAPFromBitmap(image, &copy, 0) == Gdiplus::Ok)
            SetClipboardData(CF_BITMAP, copy);
        CloseClipboard();
    }
    return s;
}

EngineStatus CloneImage(GpImage image, GpImage& clone) {
    clone = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipCloneImage(image, &clone);
}

EngineStatus CloneImageArea(GpImage image, int32_t x, int32_t y, int32_t width, int32_t height,
                            PixelFormat format, GpImage& clone) {
    clone = 0;
    if (image == 0) return Gdiplus::InvalidParameter;
    return GdipCloneBitmapAreaI(x, y, width, height, format, image, &clone);
}

void GetPropertyCount(GpImage image, int32_t& count) {
    count = 0;
    UINT n = 0;
    if (image != 0 && GdipGetPropertyCount(image, &n) == Gdiplus::Ok) count = int32_t(n);
}

std::optional<RawPropertyItem> GetPropertyItemByIndex(GpImage image, int32_t index,
                                                      int32_t count) {
    if (index < 1 || index > count || image == 0) return std::nullopt;
    std::vector<PROPID> ids(static_cast<size_t>(count));
    if (GdipGetPropertyIdList(image, UINT(count), ids.data()) != Gdiplus::Ok) return std::nullopt;
    PROPID id = ids[size_t(index - 1)];
    UINT size = 0;
    if (GdipGetPropertyItemSize(image, id, &size) != Gdiplus::Ok || size < sizeof(PropertyItem))
        return std::nullopt;
    std::vector<BYTE> buffer(size);
    auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
    RawPropertyItem raw;
    raw.buffer_size = size;
    if (GdipGetPropertyItem(image, id, size, item) != Gdiplus::Ok) return RawPropertyItem{};
    raw.id = item->id;
    raw.length = item->length;
    raw.type = item->type;
    if (item->value && item->length <= size)
        raw.value.assign(static_cast<BYTE*>(item->value),
                         static_cast<BYTE*>(item->value) + item->length);
    return raw;
}

}  // namespace modGdiplus
