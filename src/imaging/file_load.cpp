#include "imaging/file_load.h"

#include <cctype>
#include <exception>

#include "codecs/cLoadPCX.h"
#include "codecs/mPNMFileIO.h"
#include "imaging/image_props.h"
#include "platform/image_file_loader.h"
#include "platform/ole/picture_load.h"
#include "platform/win/file_read.h"

namespace modGdiplus {
namespace {

bool names_a_file(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The last three characters of the trimmed path, upper-cased; empty for three or fewer.
std::string extension_of(const std::string& path) {
    size_t b = path.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    std::string t = path.substr(b, path.find_last_not_of(' ') - b + 1);
    if (t.size() <= 3) return "";
    std::string ext = t.substr(t.size() - 3);
    for (char& c : ext) c = char(std::toupper((unsigned char)c));
    return ext;
}

EngineStatus load_picture(GpImage& image, const std::string& path) {
    ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicturePath(path.c_str(), nullptr, 0, 0, IID_IPicture,
                                  reinterpret_cast<void**>(picture.put()))) ||
        !picture)
        return Gdiplus::UnknownImageFormat;
    return CreateImageFromPicture(image, picture.get()) == Gdiplus::Ok
               ? Gdiplus::Ok
               : Gdiplus::UnknownImageFormat;
}

EngineStatus load_pnm(GpImage& image, const std::string& path) {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!mPNMFileIO::ReadPnm(path, width, height, pixels)) return Gdiplus::UnknownImageFormat;
    if (width < 1 || height < 1) return Gdiplus::GenericError;
    EngineStatus status = CreateBlankImage(width, height, PixelFormat24bppRGB, image);
    if (status != Gdiplus::Ok) return status;
    BitmapData data;
    data.Width = UINT(width);
    data.Height = UINT(height);
    data.Stride = (3 * width + 3) / 4 * 4;
    data.PixelFormat = PixelFormat24bppRGB;
    data.Scan0 = pixels.data();
    status = LockImageBits(image, {0, 0, width, height}, kLockWriteFromBuffer, PixelFormat24bppRGB,
                           data);
    // The pixels are written when the lock is released.
    if (status == Gdiplus::Ok) status = UnlockImageBits(image, data);
    if (status != Gdiplus::Ok) {
        DisposeImage(image);
        image = 0;
    }
    return status;
}

EngineStatus load_pcx(GpImage& image, const std::string& path) {
    cLoadPCX pcx;
    HBITMAP bitmap = pcx.LoadPCX(path);
    if (!bitmap) return Gdiplus::GenericError;
    EngineStatus status = CreateImageFromHBitmap(image, bitmap);
    DeleteObject(bitmap);
    if (status == Gdiplus::Ok && pcx.getHdpi() > 0 && pcx.getVdpi() > 0)
        SetImageResolution(image, float(pcx.getHdpi()), float(pcx.getVdpi()));
    return status;
}

EngineStatus own_codecs(GpImage& image, const std::string& path, std::string& name) {
    EngineStatus status = load_picture(image, path);
    if (status == Gdiplus::Ok) return status;
    const std::string ext = extension_of(path);
    if (ext == "PNM" || ext == "PPM" || ext == "PBM" || ext == "PGM") {
        try {
            status = load_pnm(image, path);
        } catch (const std::exception&) {
            status = Gdiplus::GenericError;
        }
    } else if (ext == "PCX") {
        try {
            status = load_pcx(image, path);
        } catch (const std::exception&) {
            status = Gdiplus::GenericError;
        }
    }
    if (status == Gdiplus::Ok) name = ext;
    return status;
}

}  // namespace

EngineStatus LoadWithOwnCodecs(GpImage& image, const std::string& path, std::string& formatName) {
    image = 0;
    formatName.clear();
    try {
        EngineStatus status = own_codecs(image, path, formatName);
        if (status != Gdiplus::Ok && image) {
            DisposeImage(image);
            image = 0;
        }
        return status;
    } catch (const std::exception&) {
        if (image) DisposeImage(image);
        image = 0;
        formatName.clear();
        return Gdiplus::UnknownImageFormat;
    }
}

namespace {

EngineStatus load_file(GpImage& image, const std::string& path, bool icm) {
    image = 0;
    if (!names_a_file(path)) {
        RegisterImage(image, "");
        return Gdiplus::FileNotFound;
    }
    std::string name;
    EngineStatus status = icm ? GdipCreateBitmapFromFileICM(path.c_str(), &image)
                              : GdipCreateBitmapFromFile(path.c_str(), &image);
    if (status == Gdiplus::Ok) {
        GetRawFormatName(image, name);
    } else {
        image = 0;
        if (icm) return LoadImageFromFile(image, path);
        status = LoadWithOwnCodecs(image, path, name);
    }
    RegisterImage(image, name);
    return status;
}

}  // namespace

EngineStatus LoadImageFromFile(GpImage& image, const std::string& path) {
    return load_file(image, path, false);
}

EngineStatus LoadImageFromFileICM(GpImage& image, const std::string& path) {
    return load_file(image, path, true);
}

namespace {

// Nothing may escape into the engine.
GpStatus load_for_engine(const char* path, GpImage* image) {
    try {
        return GpStatus(LoadImageFromFile(*image, path));
    } catch (const std::exception&) {
        if (*image) DisposeImage(*image);
        *image = 0;
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace

void InstallEngineFileLoader() {
    LumSetImageFileLoader(&load_for_engine);
}

}  // namespace modGdiplus
