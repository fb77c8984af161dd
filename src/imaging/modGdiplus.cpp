#include "imaging/modGdiplus.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unistd.h>

#include "imaging/encoder_table.h"

namespace modGdiplus {
namespace {

struct Session {
    ULONG token = 0;
    bool started = false;
    int32_t users = 0;
    std::string version;
    std::vector<ImageRecord> table;
};

Session& session() {
    thread_local Session s;
    return s;
}

ImageRecord* find_record(GpImage image) {
    for (ImageRecord& r : session().table)
        if (r.image == image) return &r;
    return nullptr;
}

std::string read_gdiplus_version() {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA("gdiplus.dll", &handle);
    if (size == 0) return "Unknown";
    std::vector<BYTE> block(size);
    void* info = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoA("gdiplus.dll", handle, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &info, &len) || len < sizeof(VS_FIXEDFILEINFO))
        return "Undefined";
    const auto* fi = static_cast<const VS_FIXEDFILEINFO*>(info);
    return std::to_string(fi->dwFileVersionMS >> 16) + "." +
           std::to_string(fi->dwFileVersionMS & 0xFFFF) + "." +
           std::to_string(fi->dwFileVersionLS >> 16) + "." +
           std::to_string(fi->dwFileVersionLS & 0xFFFF);
}

// The longest leading part of the text that reads as a decimal number ("5.1.3102" -> 5.1).
double numeric_prefix(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isdigit((unsigned char)text[i])) ++i;
    if (i < text.size() && text[i] == '.') {
        size_t j = i + 1;
        while (j < text.size() && std::isdigit((unsigned char)text[j])) ++j;
        if (j > i + 1) i = j;
    }
    return i == 0 ? 0 : std::strtod(text.substr(0, i).c_str(), nullptr);
}

}  // namespace

bool EngineStartup() {
    Session& s = session();
    ++s.users;
    if (!s.started) {
        GdiplusStartupInput input;
        if (GdiplusStartup(&s.token, &input, nullptr) == Gdiplus::Ok) {
            s.started = true;
            BuildEncoderTable();
            s.version = read_gdiplus_version();
        }
    }
    return s.started;
}

void EngineShutdown() {
    Session& s = session();
    --s.users;
    if (!s.started || s.users != 0) return;
    // Copy the handles first: DisposeImage walks the same table.
    std::vector<GpImage> handles;
    for (const ImageRecord& r : s.table) handles.push_back(r.image);
    for (GpImage h : handles) DisposeImage(h);
    s.table.clear();
    ClearEncoderTable();
    GdiplusShutdown(s.token);
    s.started = false;
}

const std::string& GdiplusVersion() { return session().version; }
bool GdiplusBelow6() { return numeric_prefix(session().version) < 6; }

void RegisterImage(GpImage image, const std::string& formatName) {
    if (image == 0) return;
    if (ImageRecord* r = find_record(image)) {
        if (!formatName.empty()) r->formatName = formatName;
        return;
    }
    ImageRecord record;
    record.image = image;
    if (!formatName.empty()) record.formatName = formatName;
    else GetRawFormatName(image, record.formatName);
    session().table.push_back(std::move(record));
    GdipImageForceValidation(image);
}

EngineStatus DisposeImage(GpImage image) {
    if (image == 0) return Gdiplus::InvalidParameter;
    EngineStatus status = GdipDisposeImage(image);
    ImageRecord* r = find_record(image);
    if (status != Gdiplus::Ok || !r) return status;
    if (r->ownsDibMemory) {
        GlobalFree(r->dibMemory);
        r->dibMemory = 0;
        r->ownsDibMemory = false;
    }
    if (r->ownsTempFile) {
        ::unlink(r->tempFile.c_str());
        r->tempFile.clear();
        r->ownsTempFile = false;
    }
    if (r->keepsBytes) {
        r->bytes.clear();
        r->keepsBytes = false;
    }
    r->image = 0;
    return status;
}

void MarkTempFile(GpImage image, const std::string& path) {
    if (ImageRecord* r = image ? find_record(image) : nullptr) {
        r->ownsTempFile = true;
        r->tempFile = path;
    }
}

EngineStatus LoadImageFromStream(GpImage& image, IStream* stream, bool registerImage) {
    image = 0;
    if (!stream) return Gdiplus::InvalidParameter;
    try {
        EngineStatus status = GdipLoadImageFromStream(stream, &image);
        if (registerImage) RegisterImage(image, "");
        return status;
    } catch (...) {
        return kStatusStreamDecodeError;
    }
}

EngineStatus LoadImageFromBytes(GpImage& image, const SafeArray<uint8_t>& bytes, bool keep) {
    image = 0;
    if (bytes.empty() || bytes.ubound() <= 0) return Gdiplus::InvalidParameter;
    Session& s = session();
    const uint8_t* data = bytes.data();
    size_t size = bytes.size();
    if (keep) {
        ImageRecord record;
        record.keepsBytes = true;
        record.bytes = bytes;
        s.table.push_back(std::move(record));
        data = s.table.back().bytes.data();
    }
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(data, size);
    if (!stream) {
        if (keep) s.table.pop_back();
        return kStatusNoMemoryStream;
    }
    EngineStatus status = LoadImageFromStream(image, stream.get(), false);
    stream = nullptr;
    if (!keep) return status;
    if (status != Gdiplus::Ok) {
        s.table.pop_back();
        return status;
    }
    s.table.back().image = image;
    return status;
}

namespace {

// Where the pixel rows of a packed DIB start, checked against the block: the header's own
// size, the colour masks of a 40-byte BI_BITFIELDS header, and biClrUsed entries (or the
// full table for 8 bits and less). Zero when the block cannot hold what the header says.
size_t dib_bits_offset(const BYTE* block, size_t size) {
    if (size < sizeof(BITMAPINFOHEADER)) return 0;
    BITMAPINFOHEADER h;
    std::memcpy(&h, block, sizeof h);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size) return 0;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min())
        return 0;
    switch (h.biBitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return 0;
    }
    uint64_t colors = h.biClrUsed;
    if (h.biBitCount <= 8) {
        if (colors == 0 || colors > (1u << h.biBitCount)) colors = 1u << h.biBitCount;
    }
    uint64_t offset = h.biSize + colors * 4;
    if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) offset += 12;
    uint64_t rows = uint64_t(h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight);
    uint64_t stride = (uint64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    uint64_t end = offset + stride * rows;
    if (end > size) return 0;
    return size_t(offset);
}

}  // namespace

EngineStatus CreateImageFromDib(GpImage& image, HGLOBAL memory, bool takeOwnership) {
    image = 0;
    if (memory == 0) return Gdiplus::InvalidParameter;
    auto* block = static_cast<BYTE*>(GlobalLock(memory));
    if (!block) return Gdiplus::GenericError;
    size_t offset = dib_bits_offset(block, GlobalSize(memory));
    if (offset == 0) {
        GlobalUnlock(memory);
        return Gdiplus::InvalidParameter;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, block, sizeof h);
    EngineStatus status = GdipCreateBitmapFromGdiDib(reinterpret_cast<BITMAPINFO*>(block),
                                                     block + offset, &image);
    RegisterImage(image, "");
    GlobalUnlock(memory);
    if (status != Gdiplus::Ok) return status;
    if (takeOwnership) {
        ImageRecord* r = find_record(image);
        r->ownsDibMemory = true;
        r->dibMemory = memory;
    }
    // Pels per metre to dpi, rounded half to even: 2835 gives 72.
    float dpi_x = float(std::nearbyint(h.biXPelsPerMeter / 100.0 * 2.54));
    float dpi_y = float(std::nearbyint(h.biYPelsPerMeter / 100.0 * 2.54));
    if (dpi_x > 0 && dpi_y > 0) GdipBitmapSetResolution(image, dpi_x, dpi_y);
    return status;
}

EngineStatus CreateImageFromHBitmap(GpImage& image, HBITMAP bitmap, HPALETTE palette) {
    image = 0;
    EngineStatus status = GdipCreateBitmapFromHBITMAP(bitmap, palette, &image);
    RegisterImage(image, "");
    return status;
}

namespace {

EngineStatus rasterise_metafile(GpImage& image, GpMetafile metafile) {
    UINT width = 0, height = 0;
    REAL dpi_x = 0, dpi_y = 0;
    GdipGetImageWidth(metafile, &width);
    GdipGetImageHeight(metafile, &height);
    HDC screen = GetDC(0);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, int(width), int(height));
    ReleaseDC(0, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    GdipGetImageHorizontalResolution(metafile, &dpi_x);
    GdipGetImageVerticalResolution(metafile, &dpi_y);
    GpGraphics graphics = 0;
    EngineStatus status = GdipCreateFromHDC(dc, &graphics);
    if (status != Gdiplus::Ok) {
        GdipDisposeImage(metafile);
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
        return status;
    }
    GdipGraphicsClear(graphics, 0xFFFFFFFF);
    status = GdipDrawImage(graphics, metafile, 0, 0);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(metafile);
    SelectObject(dc, previous);
    DeleteDC(dc);
    if (status != Gdiplus::Ok) {
        DeleteObject(bitmap);
        return status;
    }
    status = CreateImageFromHBitmap(image, bitmap);
    DeleteObject(bitmap);
    if (status == Gdiplus::Ok) GdipBitmapSetResolution(image, dpi_x, dpi_y);
    return status;
}

}  // namespace

EngineStatus CreateImageFromPicture(GpImage& image, IPicture* picture) {
    image = 0;
    if (!picture) return Gdiplus::InvalidParameter;
    SHORT type = 0;
    OLE_HANDLE handle = 0, palette = 0;
    picture->get_Type(&type);
    picture->get_Handle(&handle);
    if (type == PICTYPE_ICON) {
        EngineStatus status = GdipCreateBitmapFromHICON(handle, &image);
        RegisterImage(image, "");
        return status;
    }
    if (type == PICTYPE_METAFILE || type == PICTYPE_ENHMETAFILE) {
        GpMetafile metafile = 0;
        WmfPlaceableFileHeader header{};
        EngineStatus status = type == PICTYPE_METAFILE
                                  ? GdipCreateMetafileFromWmf(handle, FALSE, &header, &metafile)
                                  : GdipCreateMetafileFromEmf(handle, FALSE, &metafile);
        if (status != Gdiplus::Ok) return status;
        return rasterise_metafile(image, metafile);
    }
    picture->get_hPal(&palette);
    return CreateImageFromHBitmap(image, handle, palette);
}

namespace {

// The clipboard's data in `format` as a picture that owns a copy of it.
ComPtr<IPicture> clipboard_picture(UINT format) {
    HANDLE data = GetClipboardData(format);
    PICTDESC desc;
    if (format == CF_DIB) {
        auto* block = static_cast<BYTE*>(GlobalLock(data));
        size_t offset = block ? dib_bits_offset(block, GlobalSize(data)) : 0;
        void* bits = nullptr;
        HBITMAP bitmap = offset ? CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(block),
                                                   DIB_RGB_COLORS, &bits, 0, 0)
                                : 0;
        if (bitmap) {
            BITMAP bm{};
            GetObject(bitmap, sizeof bm, &bm);
            std::memcpy(bits, block + offset, size_t(bm.bmWidthBytes) * size_t(bm.bmHeight));
        }
        if (block) GlobalUnlock(data);
        if (!bitmap) return {};
        desc.picType = PICTYPE_BITMAP;
        desc.bmp.hbitmap = bitmap;
    } else if (format == CF_BITMAP || format == CF_PALETTE) {
        win::BitmapView v;
        HBITMAP source = GetClipboardData(CF_BITMAP);
        if (!win::GetBitmapView(source, &v)) return {};
        HBITMAP copy = CreateCompatibleBitmap(0, v.width, v.height);
        win::Surface s;
        HDC dc = CreateCompatibleDC(0);
        HGDIOBJ old = SelectObject(dc, copy);
        GpBitmap src = 0;
        GpGraphics g = 0;
        if (win::GetSurface(dc, &s) && GdipCreateBitmapFromHBITMAP(source, 0, &src) == 0 &&
            GdipCreateFromHDC(dc, &g) == 0)
            GdipDrawImageI(g, src, 0, 0);
        GdipDeleteGraphics(g);
        GdipDisposeImage(src);
        SelectObject(dc, old);
        DeleteDC(dc);
        desc.picType = PICTYPE_BITMAP;
        desc.bmp.hbitmap = copy;
    } else {
        auto* mfp = static_cast<METAFILEPICT*>(GlobalLock(data));
        const win::MetafileData* m = mfp ? win::FindMetafile(mfp->hMF) : nullptr;
        if (mfp) GlobalUnlock(data);
        if (!m) return {};
        desc.picType = PICTYPE_METAFILE;
        desc.wmf.hmeta = win::RecordMetafile(*m, false);
    }
    ComPtr<IPicture> picture;
    OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(picture.put()));
    return picture;
}

}  // namespace

EngineStatus CreateImageFromClipboard(GpImage& image) {
    image = 0;
    if (!OpenClipboard(0)) return Gdiplus::GenericError;
    ComPtr<IPicture> picture;
    for (UINT format : {CF_DIB, CF_BITMAP, CF_PALETTE, CF_METAFILEPICT}) {
        if (!IsClipboardFormatAvailable(format)) continue;
        picture = clipboard_picture(format);
        break;
    }
    CloseClipboard();
    if (!picture) return Gdiplus::GenericError;
    return CreateImageFromPicture(image, picture.get());
}

EngineStatus CreateBlankImage(int32_t width, int32_t height, PixelFormat format, GpImage& image) {
    image = 0;
    EngineStatus status = GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &image);
    RegisterImage(image, "");
    return status;
}

EngineStatus GetRawFormatName(GpImage image, std::string& name) {
    name.clear();
    if (image == 0) return Gdiplus::InvalidParameter;
    GUID format;
    EngineStatus status = GdipGetImageRawFormat(image, &format);
    if (status != Gdiplus::Ok) return status;
    static const std::pair<const GUID*, const char*> kNames[] = {
        {&ImageFormatUndefined, "Undefined"}, {&ImageFormatMemoryBMP, "Memory BMP"},
        {&ImageFormatBMP, "BMP"},             {&ImageFormatEMF, "EMF"},
        {&ImageFormatWMF, "WMF"},             {&ImageFormatJPEG, "JPEG"},
        {&ImageFormatPNG, "PNG"},             {&ImageFormatGIF, "GIF"},
        {&ImageFormatTIFF, "TIFF"},           {&ImageFormatEXIF, "EXIF"},
        {&ImageFormatIcon, "ICON"},
    };
    std::string text = ole::GuidToString(format);
    name = "Undefined";
    for (const auto& [guid, n] : kNames)
        if (ole::GuidToString(*guid) == text) name = n;
    return status;
}

const std::vector<ImageRecord>& ImageTable() { return session().table; }
int32_t SessionUsers() { return session().users; }
bool SessionStarted() { return session().started; }

}  // namespace modGdiplus
