#include "imaging/modGdiplus.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "imaging/encoder_table.h"
#include "lumtwainpro/com_error.h"
#include "platform/number_text.h"
#include "platform/win/dib.h"

namespace modGdiplus {
namespace {

struct Record;

// The thread's records in creation order. A record lives inside its image (as the image's
// attachment) and leaves the list when the image goes.
struct RecordList {
    Record* first = nullptr;
    Record* last = nullptr;
    size_t count = 0;
    ~RecordList();
};

struct Record final : GpImageAttachment {
    ImageRecord data;
    RecordList* list = nullptr;
    Record* prev = nullptr;
    Record* next = nullptr;

    void link(RecordList& l) {
        list = &l;
        prev = l.last;
        (prev ? prev->next : l.first) = this;
        l.last = this;
        ++l.count;
    }
    void unlink() {
        if (!list) return;
        (prev ? prev->next : list->first) = next;
        (next ? next->prev : list->last) = prev;
        --list->count;
        list = nullptr;
    }
    // What the record owns goes with its image.
    ~Record() override {
        unlink();
        if (data.ownsDibMemory) GlobalFree(data.dibMemory);
        if (data.ownsTempFile) DeleteFileA(data.tempFile.c_str());
    }
};

RecordList::~RecordList() {
    // Images outliving the list (the platform's tables end after it) must not touch it.
    for (Record* r = first; r; r = r->next) r->list = nullptr;
}

struct Session {
    ULONG token = 0;
    bool started = false;
    int32_t users = 0;
    std::string version;
    RecordList records;
};

Session& session() {
    thread_local Session s;
    return s;
}

Record* find_record(GpImage image) {
    return image ? dynamic_cast<Record*>(LumGdipGetImageAttachment(image)) : nullptr;
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
    double v = 0;
    return i != 0 && platform::ParseReal(std::string_view(text).substr(0, i), &v) ? v : 0;
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
    // Copy the handles first: disposing unlinks each record.
    std::vector<GpImage> handles;
    for (Record* r = s.records.first; r; r = r->next) handles.push_back(r->data.image);
    for (GpImage h : handles) DisposeImage(h);
    ClearEncoderTable();
    GdiplusShutdown(s.token);
    s.started = false;
}

const std::string& GdiplusVersion() { return session().version; }
bool GdiplusBelow6() { return numeric_prefix(session().version) < 6; }

namespace {

// Attaches a new record to the image and lists it; the image owns it from then on.
Record* attach_record(GpImage image, std::unique_ptr<Record> record) {
    Record* r = record.get();
    r->data.image = image;
    if (LumGdipSetImageAttachment(image, std::move(record)) != Gdiplus::Ok) return nullptr;
    r->link(session().records);
    return r;
}

}  // namespace

void RegisterImage(GpImage image, const std::string& formatName) {
    if (image == 0) return;
    if (Record* r = find_record(image)) {
        if (!formatName.empty()) r->data.formatName = formatName;
        return;
    }
    auto record = std::make_unique<Record>();
    if (!formatName.empty()) record->data.formatName = formatName;
    else GetRawFormatName(image, record->data.formatName);
    if (!attach_record(image, std::move(record))) return;
    GdipImageForceValidation(image);
}

EngineStatus DisposeImage(GpImage image) {
    if (image == 0) return Gdiplus::InvalidParameter;
    // The image's record, and what it owns, go with the image.
    return GdipDisposeImage(image);
}

void MarkTempFile(GpImage image, const std::string& path) {
    if (Record* r = find_record(image)) {
        r->data.ownsTempFile = true;
        r->data.tempFile = path;
    }
}

bool OwnsDibMemory(GpImage image) {
    Record* r = find_record(image);
    return r && r->data.ownsDibMemory;
}

bool IsImageAlive(GpImage image) {
    ImageType type;
    return image != 0 && GdipGetImageType(image, &type) == Gdiplus::Ok;
}

EngineStatus LoadImageFromStream(GpImage& image, IStream* stream, bool registerImage) {
    image = 0;
    if (!stream) return Gdiplus::InvalidParameter;
    try {
        EngineStatus status = GdipLoadImageFromStream(stream, &image);
        if (registerImage) RegisterImage(image, "");
        return status;
    } catch (const ComError& e) {
        win::SetErrorDetail(e.what());
        return kStatusStreamDecodeError;
    }
}

EngineStatus LoadImageFromBytes(GpImage& image, const SafeArray<uint8_t>& bytes, bool keep) {
    image = 0;
    if (bytes.empty() || bytes.ubound() <= 0) return Gdiplus::InvalidParameter;
    // The kept copy is read in place and lives exactly as long as the image.
    std::unique_ptr<Record> record;
    const uint8_t* data = bytes.data();
    if (keep) {
        record = std::make_unique<Record>();
        record->data.keepsBytes = true;
        record->data.bytes = bytes;
        data = record->data.bytes.data();
    }
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(data, bytes.size());
    if (!stream) return kStatusNoMemoryStream;
    EngineStatus status = LoadImageFromStream(image, stream.get(), false);
    stream = nullptr;
    if (status != Gdiplus::Ok || !keep) return status;
    GetRawFormatName(image, record->data.formatName);
    attach_record(image, std::move(record));
    return status;
}

namespace {

// Where the pixel rows of a packed DIB start, checked against the block: zero when the
// block cannot hold what its header says.
size_t dib_bits_offset(const BYTE* block, size_t size) {
    win::DibHeader h;
    return win::ParsePackedDib(block, size, &h) ? h.bits_offset() : 0;
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
    if (Record* r = takeOwnership ? find_record(image) : nullptr) {
        r->data.ownsDibMemory = true;
        r->data.dibMemory = memory;
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

std::vector<ImageRecord> ImageTable() {
    std::vector<ImageRecord> table;
    for (Record* r = session().records.first; r; r = r->next) table.push_back(r->data);
    return table;
}

size_t ImageCount() { return session().records.count; }
int32_t SessionUsers() { return session().users; }
bool SessionStarted() { return session().started; }

}  // namespace modGdiplus
