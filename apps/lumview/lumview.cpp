// lumview: shows an image the way the viewer control paints it, without a display.
//
//   lumview --render INPUT OUTPUT.png [options]
//
// INPUT is a file, http://host[:port]/path or ftp://[user[:password]@]host[:port]/path.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "lumtwainpro/viewer.h"
#include "lumtwainpro/window.h"
#include "platform/gdiplus/gdiplus.h"

namespace {

const char* kUsage =
    "usage: lumview --render INPUT OUTPUT.png [options]\n"
    "INPUT: a file, http://host[:port]/path or ftp://[user[:password]@]host[:port]/path\n"
    "options:\n"
    "  --size WxH          the window's inner size (default 800x600)\n"
    "  --zoom-mode M       100, fit, width, height, stretch or custom (default fit)\n"
    "  --zoom Z            the zoom (1.0 = one screen pixel per image pixel; implies custom)\n"
    "  --scroll X,Y        the scroll bars' positions after zooming\n"
    "  --align A           the image alignment 0..9 of a larger image (default 2, centred)\n"
    "  --quality Q         0 low, 1 bilinear, 2 bicubic, 3 bilinear HQ, 4 bicubic HQ, or auto:\n"
    "                      the fast paint, then the deferred high-quality pass (default 4)\n"
    "  --fast              with --quality auto: keep the fast paint, before the quality pass\n"
    "  --back-color RRGGBB the background around the image (default 000000)\n"
    "The PNG holds the window as a host shows it, scroll bars included.\n";

struct Options {
    std::string input, output;
    int width = 800, height = 600;
    int zoom_mode = 2;
    double zoom = 0;
    bool scroll = false;
    int scroll_x = 0, scroll_y = 0;
    int align = 2;
    int quality = 4;
    bool quality_auto = false;
    bool fast = false;
    int32_t back_color = 0;
};

[[noreturn]] void bad(const char* what, const std::string& text) {
    throw std::invalid_argument(std::string("bad ") + what + ": \"" + text + "\"");
}

// The whole text as a number of its kind, or a clear complaint naming the option.
template <class T, class Convert>
T whole(const std::string& text, const char* what, Convert convert) {
    size_t used = 0;
    T v{};
    try {
        v = convert(text, &used);
    } catch (const std::logic_error&) {  // no digits, or out of range
        bad(what, text);
    }
    if (text.empty() || used != text.size()) bad(what, text);
    return v;
}

int number(const std::string& text, const char* what, int low, int high) {
    int v = whole<int>(text, what, [](const std::string& t, size_t* n) { return std::stoi(t, n); });
    if (v < low || v > high) bad(what, text);
    return v;
}

int number(const std::string& text, const char* what) {
    return number(text, what, INT32_MIN, INT32_MAX);
}

double zoom_of(const std::string& text) {
    double z = whole<double>(text, "--zoom",
                             [](const std::string& t, size_t* n) { return std::stod(t, n); });
    if (!std::isfinite(z) || z <= 0) bad("--zoom (a number above 0)", text);
    return z;
}

int32_t colour_of(const std::string& text) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        bad("--back-color (RRGGBB)", text);
    unsigned rgb = unsigned(std::stoul(text, nullptr, 16));
    return int32_t((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));  // 0x00BBGGRR
}

int zoom_mode_of(const std::string& m) {
    if (m == "100") return 1;
    if (m == "fit") return 2;
    if (m == "width") return 3;
    if (m == "custom") return 4;
    if (m == "height") return 5;
    if (m == "stretch") return 6;
    throw std::invalid_argument("bad --zoom-mode: " + m);
}

void pair_of(const std::string& text, char sep, int* a, int* b, const char* what) {
    size_t at = text.find(sep);
    if (at == std::string::npos) throw std::invalid_argument(std::string("bad ") + what);
    *a = number(text.substr(0, at), what);
    *b = number(text.substr(at + 1), what);
}

Options parse(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
            return argv[++i];
        };
        if (a == "--render") continue;
        if (a == "--size")
            pair_of(value(), 'x', &o.width, &o.height, "--size");
        else if (a == "--zoom-mode")
            o.zoom_mode = zoom_mode_of(value());
        else if (a == "--zoom")
            o.zoom = zoom_of(value()), o.zoom_mode = 4;
        else if (a == "--scroll")
            pair_of(value(), ',', &o.scroll_x, &o.scroll_y, "--scroll"), o.scroll = true;
        else if (a == "--align")
            o.align = number(value(), "--align (0 to 9)", 0, 9);
        else if (a == "--fast")
            o.fast = true;
        else if (a == "--back-color")
            o.back_color = colour_of(value());
        else if (a == "--quality") {
            std::string q = value();
            if (q == "auto")
                o.quality_auto = true;
            else
                o.quality = number(q, "--quality (0 to 4 or auto)", 0, 4);
        } else if (a.rfind("--", 0) == 0)
            throw std::invalid_argument("unknown option " + a);
        else
            positional.push_back(a);
    }
    if (positional.size() != 2) throw std::invalid_argument("INPUT and OUTPUT are needed");
    if (o.width < 1 || o.height < 1 || o.width > 32767 || o.height > 32767)
        throw std::invalid_argument("--size: 1 to 32767 pixels each way");
    o.input = positional[0];
    o.output = positional[1];
    return o;
}

// "host[:port]/path" of a URL after its scheme.
void split_url(const std::string& rest, std::string* host, int* port, std::string* path,
               int default_port) {
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    *path = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t colon = authority.rfind(':');
    *port = default_port;
    if (colon != std::string::npos) {
        *port = number(authority.substr(colon + 1), "port (1 to 65535)", 1, 65535);
        authority = authority.substr(0, colon);
    }
    *host = authority;
}

int32_t display(LumViewer& v, const std::string& input) {
    std::string host, path;
    int port = 0;
    if (input.rfind("http://", 0) == 0 || input.rfind("https://", 0) == 0) {
        bool secure = input[4] == 's';
        split_url(input.substr(secure ? 8 : 7), &host, &port, &path, secure ? 443 : 80);
        return v.DisplayFromURL(host, path, port);
    }
    if (input.rfind("ftp://", 0) == 0) {
        std::string rest = input.substr(6), user, password;
        size_t at = rest.find('@');
        if (at != std::string::npos) {
            user = rest.substr(0, at);
            rest = rest.substr(at + 1);
            size_t colon = user.find(':');
            if (colon != std::string::npos) password = user.substr(colon + 1), user.resize(colon);
        }
        split_url(rest, &host, &port, &path, 21);
        return v.DisplayFromFTP(host, path.substr(1), user, password, port);
    }
    return v.DisplayFromFile(input);
}

bool write_png(const win::WindowPixels& px, const std::string& path) {
    GpBitmap bitmap = 0;
    auto* scan0 = const_cast<BYTE*>(px.bgra.data());
    if (GdipCreateBitmapFromScan0(px.width, px.height, px.width * 4, PixelFormat32bppARGB, scan0,
                                  &bitmap) != Gdiplus::Ok)
        return false;
    const CLSID* png = nullptr;
    for (const auto& e : LumGdiplusEncoders())
        if (e.MimeType == "image/png") png = &e.Clsid;
    bool ok = png && GdipSaveImageToFile(bitmap, path.c_str(), png, nullptr) == Gdiplus::Ok;
    GdipDisposeImage(bitmap);
    return ok;
}

int render(const Options& o) {
    LumViewer v;
    v.put_SilentMode(true);
    v.SetBackGroundColor(o.back_color);
    v.put_ImageAlignment(o.align);
    v.put_ViewerQualityAuto(o.quality_auto);
    if (!o.quality_auto) v.put_ViewerQuality(o.quality);
    if (!win::ResizeWindow(v.hwnd(), o.width, o.height)) {
        std::fprintf(stderr, "lumview: no %dx%d window: %s\n", o.width, o.height,
                     win::GetErrorDetail().c_str());
        return 3;
    }
    int32_t status = display(v, o.input);
    if (status != 0) {
        std::fprintf(stderr, "lumview: %s cannot be shown: status %d%s%s\n", o.input.c_str(),
                     status, win::GetErrorDetail().empty() ? "" : " - ",
                     win::GetErrorDetail().c_str());
        return 3;
    }
    v.put_ZoomMode(o.zoom_mode);
    if (o.zoom > 0) v.put_Zoom(o.zoom);
    if (o.scroll) v.SetHVScrollBarPosition(o.scroll_x, o.scroll_y);
    if (o.quality_auto && !o.fast) win::AdvanceClock(300);  // the deferred quality pass
    if (v.last_status() != 0) {
        std::fprintf(stderr, "lumview: painting failed with status %d\n", v.last_status());
        return 3;
    }
    win::WindowPixels px;
    if (!win::GetWindowPixels(v.hwnd(), &px) || !write_png(px, o.output)) {
        std::fprintf(stderr, "lumview: cannot write %s: %s\n", o.output.c_str(),
                     win::GetErrorDetail().c_str());
        return 4;
    }
    int32_t l = 0, t = 0, w = 0, h = 0;
    v.GetDisplayedArea(l, t, w, h);
    std::printf("%s: %dx%d window, zoom %.6g, image at (%d, %d), showing %dx%d from (%d, %d)\n",
                o.output.c_str(), o.width, o.height, v.get_Zoom(), v.GetImageLeft(),
                v.GetImageTop(), w, h, l, t);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool render_asked = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--render")
            render_asked = true;
        else if (std::string(argv[i]) == "--help")
            return std::fputs(kUsage, stdout), 0;
    if (!render_asked) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    win::SetMessageBoxEcho(false);
    try {
        return render(parse(argc, argv));
    } catch (const ComError& e) {
        std::fprintf(stderr, "lumview: %s (error %d)\n", e.what(), e.number());
        return 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumview: %s\n%s", e.what(), kUsage);
        return 2;
    }
}
