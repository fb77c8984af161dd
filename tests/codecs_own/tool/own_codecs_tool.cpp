// own_codecs_tool: drives the own codecs for the Python oracle tests and the comparison
// scripts. Every command prints one JSON line.
//
//   gif RAW W H BITS INTERLACED PALETTE TRANSPARENT OUT   WriteGif89a (RAW: packed rows)
//   pnm-write RAW W H BPP PALETTE INDEXED GREY OUT        WritePnm
//   pnm-read IN OUT                                       ReadPnm: OUT gets the BGR rows
//   pcx-read IN OUT                                       cLoadPCX: OUT gets R, G, B rows
//   load [icm] IN OUT                                     LoadImageFromFile(ICM): OUT gets
//                                                         R, G, B, A rows
//   save-gif IN OUT / save-pnm IN OUT                     load IN, SaveGifOwnWriter / SavePnm
//   save-gif-platform IN OUT                              load IN, SaveGif (the GDI+ encoder)
//   quantize IN OUT                                       load IN, QuantizeTo8Bpp(256): OUT
//                                                         gets R, G, B rows
// PALETTE files hold 4-byte entries (red, green, blue, alpha); "-" for none.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/cLoadPCX.h"
#include "codecs/mGIFSave89a.h"
#include "codecs/mPNMFileIO.h"
#include "imaging/file_load.h"
#include "imaging/image_props.h"
#include "imaging/own_save.h"
#include "imaging/quantize.h"
#include "imaging/save.h"
#include "platform/win/win.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes slurp(const std::string& path) {
    if (path == "-") return {};
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void dump(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// The image's pixels as R, G, B (and A) rows without padding.
Bytes rgba_rows(GpImage image, bool alpha, int32_t* w, int32_t* h) {
    modGdiplus::GetImageWidth(image, *w);
    modGdiplus::GetImageHeight(image, *h);
    Bytes bgra(size_t(*w) * size_t(*h) * 4);
    BitmapData d;
    d.Width = UINT(*w), d.Height = UINT(*h), d.Stride = *w * 4;
    d.PixelFormat = PixelFormat32bppARGB;
    d.Scan0 = bgra.data();
    if (modGdiplus::LockImageBits(image, {0, 0, *w, *h}, modGdiplus::kLockReadIntoBuffer,
                                  PixelFormat32bppARGB, d) == 0)
        modGdiplus::UnlockImageBits(image, d);
    Bytes out;
    out.reserve(bgra.size());
    for (size_t i = 0; i < bgra.size(); i += 4) {
        out.insert(out.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
        if (alpha) out.push_back(bgra[i + 3]);
    }
    return out;
}

int gif(char** a) {
    Bytes raw = slurp(a[0]), pal = slurp(a[5]);
    int r = mGIFSave89a::WriteGif89a(a[7], std::stoi(a[1]), std::stoi(a[2]), std::stoi(a[3]), raw,
                                     std::stoi(a[3]), pal, std::stoi(a[4]) != 0, std::stoi(a[6]));
    std::printf("{\"result\": %d}\n", r);
    return r == 1 ? 0 : 1;
}

int pnm_write(char** a) {
    Bytes raw = slurp(a[0]), pal = slurp(a[4]);
    bool ok = mPNMFileIO::WritePnm(a[7], std::stoi(a[1]), std::stoi(a[2]), raw, std::stoi(a[3]),
                                   pal, std::stoi(a[5]), std::stoi(a[6]));
    std::printf("{\"ok\": %s}\n", ok ? "true" : "false");
    return ok ? 0 : 1;
}

int pnm_read(char** a) {
    int32_t w = 0, h = 0;
    Bytes px;
    bool ok = mPNMFileIO::ReadPnm(a[0], w, h, px);
    dump(a[1], px);
    std::printf("{\"ok\": %s, \"width\": %d, \"height\": %d}\n", ok ? "true" : "false", w, h);
    return ok ? 0 : 1;
}

int pcx_read(char** a) {
    cLoadPCX pcx;
    HBITMAP bitmap = pcx.LoadPCX(a[0]);
    win::BitmapView v;
    if (!bitmap || !win::GetBitmapView(bitmap, &v)) {
        std::printf("{\"ok\": false}\n");
        return 1;
    }
    Bytes out;
    for (int y = 0; y < v.height; ++y) {
        const BYTE* row = v.scan0 + ptrdiff_t(y) * v.stride;
        for (int x = 0; x < v.width; ++x) {
            if (v.bits_per_pixel == 32) {
                out.insert(out.end(), {row[4 * x + 2], row[4 * x + 1], row[4 * x]});
                continue;
            }
            int bpp = v.bits_per_pixel;
            int idx = (row[x * bpp / 8] >> (8 - bpp - (x * bpp) % 8)) & ((1 << bpp) - 1);
            const RGBQUAD& q = v.colors.at(size_t(idx));
            out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
        }
    }
    dump(a[1], out);
    std::printf(
        "{\"ok\": true, \"bits\": %d, \"width\": %d, \"height\": %d, \"hdpi\": %d, "
        "\"vdpi\": %d}\n",
        v.bits_per_pixel, v.width, v.height, pcx.getHdpi(), pcx.getVdpi());
    DeleteObject(bitmap);
    return 0;
}

int load(bool icm, char** a) {
    GpImage image = 0;
    int status = icm ? modGdiplus::LoadImageFromFileICM(image, a[0])
                     : modGdiplus::LoadImageFromFile(image, a[0]);
    std::string name, format;
    for (const auto& r : modGdiplus::ImageTable())
        if (r.image == image) name = r.formatName;
    int32_t w = 0, h = 0;
    if (status == 0) {
        modGdiplus::GetPixelFormatName(image, format);
        dump(a[1], rgba_rows(image, true, &w, &h));
        modGdiplus::DisposeImage(image);
    }
    std::printf(
        "{\"status\": %d, \"format\": \"%s\", \"pixel_format\": \"%s\", \"width\": %d, "
        "\"height\": %d}\n",
        status, name.c_str(), format.c_str(), w, h);
    return status == 0 ? 0 : 1;
}

int save(int kind, char** a) {
    GpImage image = 0;
    int status = modGdiplus::LoadImageFromFile(image, a[0]);
    if (status == 0) {
        status = kind == 0   ? modGdiplus::SaveGifOwnWriter(image, a[1])
                 : kind == 1 ? modGdiplus::SavePnm(image, a[1])
                             : modGdiplus::SaveGif(image, a[1]);
        modGdiplus::DisposeImage(image);
    }
    std::printf("{\"status\": %d}\n", status);
    return status == 0 ? 0 : 1;
}

int quantize(char** a) {
    GpImage image = 0, reduced = 0;
    int status = modGdiplus::LoadImageFromFile(image, a[0]);
    int32_t colours = 256, w = 0, h = 0;
    std::vector<BYTE> palette;
    if (status == 0) status = modGdiplus::QuantizeTo8Bpp(image, reduced, colours, palette);
    if (status == 0) dump(a[1], rgba_rows(reduced, false, &w, &h));
    modGdiplus::DisposeImage(reduced);
    modGdiplus::DisposeImage(image);
    std::printf("{\"status\": %d, \"colours\": %d}\n", status, colours);
    return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string cmd = argv[1];
    char** a = argv + 2;
    const int n = argc - 2;
    modGdiplus::EngineStartup();
    int rc = 2;
    if (cmd == "gif" && n == 8)
        rc = gif(a);
    else if (cmd == "pnm-write" && n == 8)
        rc = pnm_write(a);
    else if (cmd == "pnm-read" && n == 2)
        rc = pnm_read(a);
    else if (cmd == "pcx-read" && n == 2)
        rc = pcx_read(a);
    else if (cmd == "load" && n == 3 && std::string(a[0]) == "icm")
        rc = load(true, a + 1);
    else if (cmd == "load" && n == 2)
        rc = load(false, a);
    else if (cmd == "save-gif" && n == 2)
        rc = save(0, a);
    else if (cmd == "save-pnm" && n == 2)
        rc = save(1, a);
    else if (cmd == "save-gif-platform" && n == 2)
        rc = save(2, a);
    else if (cmd == "quantize" && n == 2)
        rc = quantize(a);
    else
        std::fprintf(stderr, "own_codecs_tool: bad arguments\n");
    modGdiplus::EngineShutdown();
    return rc;
}
