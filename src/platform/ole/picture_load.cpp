// The picture file loader, over the gdiplus stand-in's decoders.
#include "platform/ole/picture_load.h"

#include <cstring>
#include <memory>

#include "platform/gdiplus/codec_p.h"
#include "platform/gdiplus/pixels_p.h"
#include "platform/win/file_read.h"
#include "platform/win/win.h"

namespace {

using namespace gdip;

// Pictures are small by nature: anything larger is not read.
constexpr uint64_t kMaxPictureFile = uint64_t(256) << 20;

bool is_cursor(const std::vector<uint8_t>& b) {
    return b.size() >= 6 && b[0] == 0 && b[1] == 0 && b[2] == 2 && b[3] == 0;
}

// The frame as a new top-down 32-bit DIB section of straight ARGB; 0 on failure.
HBITMAP argb_section(const Frame& f) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = f.width;
    info.bmiHeader.biHeight = -f.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
    if (!bitmap) return 0;
    PixelView dst{static_cast<BYTE*>(bits), f.width, f.height, f.width * 4,
                  PixelFormat32bppARGB,     {},      0};
    if (convert_pixels(frame_view(f), dst) != Gdiplus::Ok) {
        DeleteObject(bitmap);
        return 0;
    }
    return bitmap;
}

// An icon of the frame: its alpha in the colour bitmap, an empty AND mask.
HICON icon_of(const Frame& f, HBITMAP colour) {
    std::vector<uint8_t> mask_info(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(mask_info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = f.width;
    h->biHeight = -f.height;
    h->biPlanes = 1;
    h->biBitCount = 1;
    auto* white = reinterpret_cast<RGBQUAD*>(mask_info.data() + sizeof(BITMAPINFOHEADER)) + 1;
    *white = {255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP mask = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(mask_info.data()),
                                    DIB_RGB_COLORS, &bits, 0, 0);
    if (!mask) return 0;
    ICONINFO ii{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(mask);
    return icon;
}

// The format of a file by its first bytes, a cursor read as the icon it is (an icon directory
// with hot spots); false for the formats the loader does not read.
bool picture_format(std::vector<uint8_t>& bytes, GUID* format) {
    if (is_cursor(bytes)) bytes[2] = 1;
    if (LumGdipSniffImageFormat(bytes.data(), bytes.size(), format) != Gdiplus::Ok) return false;
    return *format == ImageFormatIcon || *format == ImageFormatBMP || *format == ImageFormatGIF ||
           *format == ImageFormatJPEG;
}

HRESULT load(const char* path, REFIID iid, void** out) {
    std::vector<uint8_t> bytes;
    GUID format{};
    // The signature first, so that files of other formats are not read whole.
    if (!path || !win::ReadFileHead(path, 16, &bytes)) return CTL_E_FILENOTFOUND;
    if (!picture_format(bytes, &format)) return CTL_E_INVALIDPICTURE;
    if (!win::ReadWholeFile(path, &bytes, kMaxPictureFile)) return CTL_E_FILENOTFOUND;
    if (!picture_format(bytes, &format)) return CTL_E_INVALIDPICTURE;
    const bool icon = format == ImageFormatIcon;
    std::unique_ptr<Image> image;
    if (decode_bytes(bytes.data(), bytes.size(), &image) != Gdiplus::Ok)
        return CTL_E_INVALIDPICTURE;
    HBITMAP bitmap = argb_section(image->frames.front());
    if (!bitmap) return E_OUTOFMEMORY;
    PICTDESC desc;
    if (icon) {
        desc.picType = PICTYPE_ICON;
        desc.icon.hicon = icon_of(image->frames.front(), bitmap);
        DeleteObject(bitmap);
        if (!desc.icon.hicon) return E_OUTOFMEMORY;
    } else {
        desc.picType = PICTYPE_BITMAP;
        desc.bmp.hbitmap = bitmap;
    }
    HRESULT hr = OleCreatePictureIndirect(&desc, iid, TRUE, out);
    if (FAILED(hr)) icon ? (void)DestroyIcon(desc.icon.hicon) : (void)DeleteObject(bitmap);
    return hr;
}

}  // namespace

HRESULT OleLoadPicturePath(const char* path, IUnknown*, DWORD, DWORD, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return load(path, iid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        win::SetErrorDetail(e.what());
        return E_FAIL;
    }
}
