// cPDF: image XObjects (raw samples through Flate, or JPEG data), and drawing them.
#include <zlib.h>

#include <climits>
#include <cmath>
#include <new>

#include "codecs/cPDF.h"
#include "codecs/cPDF_p.h"
#include "imaging/file_load.h"
#include "imaging/image_props.h"
#include "imaging/save.h"

using namespace pdf;

struct cPDF::Encoded {
    std::vector<uint8_t> data;     // raw rows without padding, or a JPEG file
    std::vector<uint8_t> palette;  // 2^bits RGB entries of an indexed image
    int32_t width = 0, height = 0, bits = 0;
    float resX = 0, resY = 0;
    bool jpeg = false;
    int components = 3;  // of the JPEG data
};

namespace {

// Image files come in through the image engine's file loader and are released after use.
GpStatus load_image_file(const std::string& path, GpImage& image) {
    return GpStatus(modGdiplus::LoadImageFromFile(image, path));
}
void release_loaded_image(GpImage image) {
    GdipDisposeImage(image);
}

// Components of the frame of a JPEG file (1 grey, 3 colour, 4 CMYK), 0 when none is found.
int jpeg_components(const std::vector<uint8_t>& j) {
    size_t i = 2;
    if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8) return 0;
    while (i + 4 <= j.size()) {
        if (j[i] != 0xFF) return 0;
        uint8_t m = j[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
            i += 2;
            continue;
        }
        size_t length = size_t(j[i + 2]) << 8 | j[i + 3];
        bool frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (frame) return i + 9 < j.size() && length >= 8 ? j[i + 9] : 0;
        if (m == 0xDA || length < 2) return 0;
        i += 2 + length;
    }
    return 0;
}

std::string colour_space_of_jpeg(int components) {
    return components == 1 ? "/DeviceGray" : components == 4 ? "/DeviceCMYK" : "/DeviceRGB";
}

int32_t round_dpi(float dpi) {
    double r = std::nearbyint(double(dpi));
    return r > INT32_MAX || r < INT32_MIN || !std::isfinite(r) ? 0 : int32_t(r);
}

// Row bytes and the format the pixels are read in, for the raw path.
bool raw_layout(int32_t width, int32_t bits, bool indexed, size_t* row, PixelFormat* format) {
    uint64_t w = uint64_t(width);
    if (indexed && bits == 1)
        *row = size_t((w + 7) / 8), *format = PixelFormat1bppIndexed;
    else if (indexed && bits == 4)
        *row = size_t((w + 1) / 2), *format = PixelFormat4bppIndexed;
    else if (indexed && bits == 8)
        *row = size_t(w), *format = PixelFormat8bppIndexed;
    else if (!indexed)
        *row = size_t(3 * w), *format = PixelFormat24bppRGB;
    else
        return false;
    return *row <= size_t(INT_MAX);
}

bool read_palette(GpImage image, int32_t bits, std::vector<uint8_t>& out) {
    std::vector<BYTE> buffer;
    if (modGdiplus::GetPalette(image, buffer) != Gdiplus::Ok || buffer.size() < 8) return false;
    const auto* p = reinterpret_cast<const ColorPalette*>(buffer.data());
    size_t entries = size_t(1) << bits;
    size_t count = std::min<size_t>({p->Count, entries, (buffer.size() - 8) / 4});
    // Entries the image's palette does not have are black; an empty palette is all black.
    out.assign(entries * 3, 0);
    for (size_t i = 0; i < count; ++i) {
        ARGB c = p->Entries[i];
        out[3 * i] = uint8_t(c >> 16);
        out[3 * i + 1] = uint8_t(c >> 8);
        out[3 * i + 2] = uint8_t(c);
    }
    return true;
}

bool read_raw(GpImage image, PixelFormat own, int32_t w, int32_t h, int32_t& bits,
              std::vector<uint8_t>& data, std::vector<uint8_t>& palette) {
    bool indexed = (own & PixelFormatIndexed) != 0;
    size_t row = 0;
    PixelFormat format = 0;
    if (!raw_layout(w, bits, indexed, &row, &format)) return false;
    if (row != 0 && size_t(h) > SIZE_MAX / 2 / row) return false;
    try {
        data.assign(row * size_t(h), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    BitmapData d;
    d.Width = UINT(w);
    d.Height = UINT(h);
    d.Stride = INT(row);
    d.PixelFormat = format;
    d.Scan0 = data.data();
    GpRect rect{0, 0, w, h};
    if (modGdiplus::LockImageBits(image, rect, modGdiplus::kLockReadIntoBuffer, format, d) !=
        Gdiplus::Ok)
        return false;
    (void)modGdiplus::UnlockImageBits(image, d);
    if (!indexed) {
        bits = 24;
        for (size_t i = 0; i + 2 < data.size(); i += 3) std::swap(data[i], data[i + 2]);
        return true;
    }
    return read_palette(image, bits, palette);
}

bool encode_jpeg(GpImage image, std::vector<uint8_t>& data, int& components) {
    SafeArray<uint8_t> bytes;
    int32_t count = 0;
    if (modGdiplus::SaveToBytes(image, count, bytes, "JPG", 90) != Gdiplus::Ok || count <= 0)
        return false;
    data = std::move(bytes.values());
    data.resize(std::min(data.size(), size_t(count)));
    components = jpeg_components(data);
    return components != 0;
}

}  // namespace

bool cPDF::EncodeImage(uint32_t image, Encoded& e) {
    using namespace modGdiplus;
    PixelFormat format = 0;
    if (GetImageWidth(image, e.width) != Gdiplus::Ok ||
        GetImageHeight(image, e.height) != Gdiplus::Ok)
        return false;
    (void)GetImageHorizontalResolution(image, e.resX);
    (void)GetImageVerticalResolution(image, e.resY);
    if (GetPixelFormatValue(image, format) != Gdiplus::Ok) return false;
    (void)GetBitDepth(image, e.bits);
    if (e.width <= 0 || e.height <= 0 || e.bits <= 0) return false;
    bool indexed = (format & PixelFormatIndexed) != 0;
    bool lossless = indexed && m_zlibAvailable && !(m_indexedAsJpeg && e.bits > 1);
    if (lossless || !m_compressData)
        return read_raw(image, format, e.width, e.height, e.bits, e.data, e.palette);
    e.jpeg = true;
    return encode_jpeg(image, e.data, e.components);
}

int32_t cPDF::PdfAddImage(const VARIANT& source, int32_t nKind) {
    if (!CanAddObjects()) return 0;
    VARIANT v;
    GpImage image = 0;
    if (nKind == 1) {
        if (FAILED(VariantChangeType(&v, &source, 0, VT_BSTR))) return 0;
        if (load_image_file(v.bstrVal, image) != Gdiplus::Ok) return 0;
    } else if (nKind == 2) {
        if (FAILED(VariantChangeType(&v, &source, 0, VT_I4))) return 0;
        image = GpImage(v.lVal);
    } else {
        return 0;
    }
    Encoded e;
    bool ok = EncodeImage(image, e);
    if (nKind == 1) release_loaded_image(image);
    if (!ok || m_images.size() >= size_t(INT32_MAX)) return 0;
    std::string name = "Img" + Str(static_cast<long long>(m_images.size() + 1));
    if (!WriteImageObject(name, e)) return 0;
    m_images.push_back({e.width, e.height, round_dpi(e.resX), round_dpi(e.resY)});
    return int32_t(m_images.size());
}

bool cPDF::CompressBytes(const std::vector<uint8_t>& data, std::vector<uint8_t>& out,
                         int level) const {
    // One call into a buffer sized in advance: 1 % and 12 bytes above the input.
    double capacity = std::nearbyint(double(data.size()) * 1.01 + 12);
    if (capacity > double(SIZE_MAX / 2)) return false;
    try {
        out.resize(size_t(capacity));
    } catch (const std::bad_alloc&) {
        return false;
    }
    uLongf length = uLongf(out.size());
    if (compress2(out.data(), &length, data.data(), uLong(data.size()), level) != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(size_t(length));
    return true;
}

bool cPDF::WriteImageObject(const std::string& name, const Encoded& e) {
    std::vector<uint8_t> compressed;
    const std::vector<uint8_t>* data = &e.data;
    std::string filter;
    if (e.jpeg) {
        filter = " /Filter/DCTDecode";
    } else if (m_compressData && m_zlibAvailable) {
        if (!CompressBytes(e.data, compressed, m_compressLevel)) return false;
        data = &compressed;
        filter = " /Filter/FlateDecode";
    }
    // JPEG data is described by its own components, whatever the image's format was.
    bool indexed = !e.jpeg && e.bits <= 8;
    if (m_highestObject + (indexed ? 3 : 2) > 32767) return false;
    int16_t n = BeginObject(0);
    WriteLine(JoinCR({"<<", "/Type /XObject", "/Subtype /Image", "/Name /" + name,
                      "/Width " + Str(e.width), "/Height " + Str(e.height)}));
    std::string length = Str(static_cast<long long>(data->size()));
    if (indexed)
        WriteLine(JoinCR({"/BitsPerComponent " + Str(e.bits),
                          "/ColorSpace [/Indexed /DeviceRGB " + Str((1 << e.bits) - 1) + " " +
                              Str(n + 2) + " 0 R]",
                          "/Length " + length + filter}));
    else
        WriteLine(JoinCR({"/BitsPerComponent 8",
                          "/ColorSpace " + (e.jpeg ? colour_space_of_jpeg(e.components)
                                                   : std::string("/DeviceRGB")),
                          "/Length " + Str(n + 1) + " 0 R" + filter}));
    WriteBytes(">>\rstream\r\n");
    WriteBytes({reinterpret_cast<const char*>(data->data()), data->size()});
    WriteLine("\rendstream");
    CloseObject();
    m_imageResources += "/" + name + " " + Str(n) + " 0 R \r";
    BeginObject(0);
    WriteLine(length);
    CloseObject();
    if (indexed) {
        BeginObject(0);
        WriteBytes("<</Length " + Str(static_cast<long long>(e.palette.size())) +
                   " >>\rstream\r\n");
        WriteBytes({reinterpret_cast<const char*>(e.palette.data()), e.palette.size()});
        WriteLine("\rendstream");
        CloseObject();
    }
    return true;
}

void cPDF::DrawImg(int32_t nImage, float x, float y, float width, float height) {
    if (!m_file) Raise(kBadFileNumber);
    // A number that names no image would make the page refer to a missing resource.
    if (nImage < 1 || size_t(nImage) > m_images.size()) return;
    Content("q\r" + FormatFixed(width) + " 0 0 " + FormatFixed(height) + " " + FormatFixed(x) +
            " " + FormatFixed(y) + " cm /Img" + Str(nImage) + " Do Q");
}

int32_t cPDF::ImageWidth(int32_t n) const {
    return n >= 1 && size_t(n) <= m_images.size() ? m_images[size_t(n) - 1].width : 0;
}
int32_t cPDF::ImageHeight(int32_t n) const {
    return n >= 1 && size_t(n) <= m_images.size() ? m_images[size_t(n) - 1].height : 0;
}
int32_t cPDF::ImageResX(int32_t n) const {
    return n >= 1 && size_t(n) <= m_images.size() ? m_images[size_t(n) - 1].resX : 0;
}
int32_t cPDF::ImageResY(int32_t n) const {
    return n >= 1 && size_t(n) <= m_images.size() ? m_images[size_t(n) - 1].resY : 0;
}
