// Display sources: the common display sequence over the engine's loaders, the release and
// reset of what is shown, the image information, the display copy, rotation, and the
// clipboard and size members.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "imaging/image_props.h"
#include "platform/win/file.h"
#include "viewer/viewer_engine.h"
#include "viewer/viewer_p.h"

using State = LumViewer::State;

namespace viewer {

std::string normalise_path(const std::string& path) {
    size_t b = path.find_first_not_of(" \t"), e = path.find_last_not_of(" \t");
    std::string p = b == std::string::npos ? "" : path.substr(b, e - b + 1);
    std::string out;
    for (char c : p) {
        if (c == '\\') c = '/';
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    return out;
}

namespace {

std::string upper_tail(const std::string& path, size_t n) {
    if (path.size() <= n) return "";
    std::string t = path.substr(path.size() - n);
    for (char& c : t) c = char(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

// Copies `from` to `to`, which must not exist yet (created exclusively); false when the copy
// could not be made whole (nothing is left behind then).
bool copy_exclusively(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in || !win::CreateNewFile(to)) return false;
    auto out = win::CreateReplacement(to);
    std::vector<char> buf(1 << 16);
    bool ok = out != nullptr;
    while (ok && in) {
        in.read(buf.data(), std::streamsize(buf.size()));
        if (in.gcount() > 0) ok = out->Write(buf.data(), size_t(in.gcount()));
    }
    ok = ok && in.eof() && out->Commit();
    if (!ok) DeleteFileA(to.c_str());
    return ok;
}

}  // namespace

}  // namespace viewer

using namespace viewer;

void State::ReleasePdfIfShown() {
    if (source_kind != 2) return;
    ReleaseCurrentImage();
    ClosePdfDocument();
}

int32_t State::ShowLoaded(int32_t status) {
    last_status = status;
    if (status == 0) {
        source_kind = 1;
        current_page = 1;
        ReadImageInfo(0);
        LayoutImage();
    }
    return last_status;
}

void State::ResetDisplayState(bool keep_pages, bool keep_geometry) {
    menu.enable("mnplaygif", false);
    menu.enable("mnstopgif", false);
    if (!keep_geometry) {
        aspect = 1.0;
        image_width = image_height = 0;
        horizontal_resolution = vertical_resolution = 0;
        image_left = image_top = displayed_width = displayed_height = 0;
        std::fill(std::begin(visible), std::end(visible), 0);
    }
    if (!keep_pages) num_pages = 0;
    current_page = 0;
    last_status = 0;
    source_kind = 0;
    self.ClearRect();
    layout_ready = false;
    if (!keep_image_position) {
        win::SetScrollBarRange(hscroll, 0, 0);
        win::SetScrollBarRange(vscroll, 0, 0);
    }
    ShowWindow(hscroll, SW_HIDE);
    ShowWindow(vscroll, SW_HIDE);
    ShowWindow(corner, SW_HIDE);
    if (!custom_mouse_icon) win::SetWindowProperty(window, win::WindowProperty::MousePointer, 0);
    max_zoom = 1.0;
    current = 0;
    h_align_pending = v_align_pending = true;
    if (animation) self.StopGif();
    status_was_set = false;
    ReleaseDisplayCopy();
}

int32_t State::ReleaseCurrentImage() {
    last_painted = 0;
    int32_t status = 0;
    if (current) {
        status = modGdiplus::DisposeImage(current);
        last_status = status;
        if (status == 0) current = 0;
        if (temp_copy_in_use) {
            DeleteFileA(temp_copy_path.c_str());
            temp_copy_in_use = false;
        }
    }
    ReleaseDisplayCopy();
    return status;
}

void State::ReleaseDisplayCopy() {
    if (display_copy) modGdiplus::DisposeImage(display_copy);
    display_copy = 0;
}

int32_t State::MakeDisplayCopy() {
    ReleaseDisplayCopy();
    GpImage copy = 0;
    int32_t status = modGdiplus::ConvertByPixelCopy(current, copy, PixelFormat32bppARGB);
    if (status == 0) {
        display_copy = copy;
        display_copy_page = current_page;
    }
    return status;
}

namespace {

// Frame delays of a GIF in milliseconds: hundredths times ten, 0 as 100 ms.
std::vector<int32_t> delays_ms(GpImage image) {
    SafeArray<int32_t> raw;
    std::vector<int32_t> out;
    if (modGdiplus::GetFrameDelays(image, raw) != 0) return out;
    for (int32_t d : raw.values()) out.push_back(d ? d * 10 : 100);
    return out;
}

}  // namespace

void State::ReadImageInfo(GpImage image) {
    self.ClearRect();
    std::string format;
    if (image == 0) {
        for (const char* item : {"mnfirstframe", "mnpreviousframe", "mnnextframe", "mnlastframe"})
            menu.enable(item, false);
        modGdiplus::GetRawFormatName(current, format);
    }
    GpImage target = image ? image : current;
    PixelFormat pf = 0;
    if (scroll_optimization && format != "GIF" && !display_copy && modGdiplus::GdiplusBelow6() &&
        modGdiplus::GetPixelFormatValue(current, pf) == 0 && (pf & PixelFormatIndexed))
        MakeDisplayCopy();
    if (last_status == 0) {
        struct Step {
            int32_t (*read)(GpImage, State&);
            const char* message;
        };
        static const Step kSteps[] = {
            {[](GpImage i, State& s) { return modGdiplus::GetImageHeight(i, s.image_height); },
             "Can not get picture height"},
            {[](GpImage i, State& s) { return modGdiplus::GetImageWidth(i, s.image_width); },
             "Can not get picture width"},
            {[](GpImage i, State& s) {
                 return modGdiplus::GetImageHorizontalResolution(i, s.horizontal_resolution);
             },
             "Can not get picture horizontal resolution"},
            {[](GpImage i, State& s) {
                 return modGdiplus::GetImageVerticalResolution(i, s.vertical_resolution);
             },
             "Can not get picture vertical resolution"},
        };
        for (const Step& step : kSteps) {
            last_status = step.read(target, *this);
            if (last_status != 0) {
                if (!silent) show_error(window, step.message);
                break;
            }
        }
    }
    aspect = horizontal_resolution == 0 || skip_resolution
                 ? 1.0
                 : double(vertical_resolution) / double(horizontal_resolution);
    if (aspect <= 0 || !std::isfinite(aspect)) aspect = 1.0;  // a negative or odd resolution
    image_width = std::max(image_width, 1);
    image_height = std::max(image_height, 1);
    ComputeMaxZoom();
    if (image == 0 && source_kind == 1) {
        int32_t count = 0;
        if (format == "GIF") {
            num_pages = modGdiplus::GetFrameCount(current, count) == 0 && count > 0 ? count : 1;
            frame_delays = num_pages > 1 ? delays_ms(current) : std::vector<int32_t>{};
            animation = num_pages > 1;
        } else if (format == "TIFF") {
            animation = false;
            num_pages = modGdiplus::GetPageCount(current, count) == 0 && count > 0 ? count : 1;
        } else {
            num_pages = 1;
            animation = false;
        }
        menu.enable("mnplaygif", animation);
        if (animation && animate_gif) self.PlayGif();
    } else {
        menu.enable("mnplaygif", false);
    }
    menu.enable("mnnextframe", num_pages > 1);
    menu.enable("mnlastframe", num_pages > 1);
}

int32_t State::RotateFlipDisplayed(int32_t rotate_flip) {
    GpImage target = 0;
    if (num_pages > 1 && source_kind == 1) {
        if (display_copy_page != current_page || !display_copy) last_status = MakeDisplayCopy();
        target = display_copy;
    } else {
        target = display_copy ? display_copy : current;
    }
    if (last_status == 0) last_status = RotateFlip(target, rotate_flip);
    ReadImageInfo(target);
    LayoutImage(target);
    raise([&](LumViewerEvents& e) {
        int32_t n = rotate_flip;
        e.Rotation(n);
    });
    return last_status;
}

// ---- Members ---------------------------------------------------------------------------

namespace {

// Steps 3 to 5 of the common display sequence, after steps 1 and 2 (begin).
template <class Load>
int32_t finish(State& s, Load load) {
    GpImage image = 0;
    int32_t status = load(image);
    s.current = status == 0 ? image : 0;
    return s.ShowLoaded(status);
}

void begin(State& s) {
    s.ReleasePdfIfShown();
    s.ResetDisplayState(false, false);
    // A copy made for an earlier image goes with that image (the engine deletes it).
    s.temp_copy_in_use = false;
}

template <class Load>
int32_t display(State& s, Load load) {
    begin(s);
    return finish(s, load);
}

}  // namespace

int32_t LumViewer::display_file(const std::string& sFilePath, bool colour_managed) {
    State& s = *m;
    begin(s);
    std::string path = normalise_path(sFilePath);
    if (upper_tail(path, 3) == "PDF") return DisplayFromPdfFile(path, "");
    return finish(s, [&](GpImage& image) {
        std::string from = path;
        bool copied = s.image_force_temp && copy_exclusively(path, s.temp_copy_path);
        if (copied) from = s.temp_copy_path;
        int32_t status = LoadFile(image, from, colour_managed);
        if (copied && status == 0) {
            s.temp_copy_in_use = true;
            modGdiplus::MarkTempFile(image, from);  // goes with the image however it goes
        } else if (copied) {
            DeleteFileA(from.c_str());
        }
        return status;
    });
}

int32_t LumViewer::DisplayFromFile(const std::string& sFilePath) {
    return display_file(sFilePath, false);
}

int32_t LumViewer::DisplayFromFileICM(const std::string& sFilePath) {
    return display_file(sFilePath, true);
}

int32_t LumViewer::DisplayFromByteArray(const SafeArray<uint8_t>& arBytes) {
    return display(
        *m, [&](GpImage& image) { return modGdiplus::LoadImageFromBytes(image, arBytes, true); });
}

int32_t LumViewer::DisplayFromStream(ComPtr<IStream> oStream) {
    return display(*m, [&](GpImage& image) {
        if (!oStream) return int32_t(Gdiplus::InvalidParameter);
        return modGdiplus::LoadImageFromStream(image, oStream.get(), true);
    });
}

int32_t LumViewer::DisplayFromStdPicture(ComPtr<IPicture> oStdPicture) {
    return display(*m, [&](GpImage& image) {
        return modGdiplus::CreateImageFromPicture(image, oStdPicture.get());
    });
}

int32_t LumViewer::DisplayFromHBitmap(int32_t nHbitmap) {
    return display(*m, [&](GpImage& image) {
        return modGdiplus::CreateImageFromHBitmap(image, HBITMAP(nHbitmap));
    });
}

int32_t LumViewer::DisplayFromGdiDib(int32_t nGdiDibRef) {
    return display(*m, [&](GpImage& image) {
        return modGdiplus::CreateImageFromDib(image, HGLOBAL(nGdiDibRef), false);
    });
}

int32_t LumViewer::DisplayFromClipboardData() {
    return display(*m, [&](GpImage& image) { return modGdiplus::CreateImageFromClipboard(image); });
}

int32_t LumViewer::DisplayFromImageRef(int32_t nImageID) {
    return SetNativeImage(nImageID);
}

int32_t LumViewer::SetNativeImage(int32_t nImageID) {
    State& s = *m;
    bool keep_page = false;
    if (s.source_kind != 2) {
        s.ResetDisplayState(false, false);
        s.source_kind = 1;
    } else if (GpImage(nImageID) == s.current) {
        keep_page = true;
    } else {
        s.ReleaseCurrentImage();
        s.ClosePdfDocument();
        s.ResetDisplayState(false, false);
        s.source_kind = 1;
    }
    if (nImageID == 0) return s.last_status = ViewerInvalidParameter;
    if (GpImage(nImageID) != s.current) s.temp_copy_in_use = false;
    s.current = GpImage(nImageID);
    s.last_status = 0;
    if (!keep_page) s.current_page = 1;
    s.ReadImageInfo(0);
    s.LayoutImage();
    return s.last_status;
}

int32_t LumViewer::GetNativeImage() {
    return int32_t(m->current);
}

int32_t LumViewer::Redraw() {
    if (m->current) {
        m->ReadImageInfo(0);
        m->LayoutImage();
    }
    return m->last_status;
}

void LumViewer::Refresh() {
    InvalidateRect(m->window, nullptr, FALSE);
    UpdateWindow(m->window);
}

void LumViewer::CloseImage() {
    m->ReleaseCurrentImage();
    m->ClosePdfDocument();
    m->ResetDisplayState(false, false);
    Clear();
    m->raise([](LumViewerEvents& e) { e.PageChange(); });
}

void LumViewer::Close2Image() {
    m->ReleaseCurrentImage();
    m->ClosePdfDocument();
    m->ResetDisplayState(false, false);
}

void LumViewer::ImageClosed() {
    m->ResetDisplayState(false, true);
}

int32_t LumViewer::Rotate90() {
    return m->RotateFlipDisplayed(1);
}
int32_t LumViewer::Rotate180() {
    return m->RotateFlipDisplayed(2);
}
int32_t LumViewer::Rotate270() {
    return m->RotateFlipDisplayed(3);
}
int32_t LumViewer::FlipX() {
    return m->RotateFlipDisplayed(4);
}
int32_t LumViewer::FlipX90() {
    return m->RotateFlipDisplayed(5);
}
int32_t LumViewer::FlipX180() {
    return m->RotateFlipDisplayed(6);
}
int32_t LumViewer::FlipX270() {
    return m->RotateFlipDisplayed(7);
}

int32_t LumViewer::GetHBitmap() {
    HBITMAP bm = 0;
    m->last_status = modGdiplus::CreateHBitmap(m->current, bm, 0);
    return int32_t(bm);
}

void LumViewer::DeleteHBitmap(int32_t nHbitmap) {
    DeleteObject(HGDIOBJ(nHbitmap));
}

void LumViewer::Copy2Clipboard() {
    GpImage image = m->shown_image();
    if (image) (void)modGdiplus::CopyImageToClipboard(image);
}

void LumViewer::CopyRegion2Clipboard(int32_t nXsrc, int32_t nYsrc, int32_t nWidth,
                                     int32_t nHeight) {
    GpImage image = m->shown_image();
    if (!image) return;
    PixelFormat format = 0;
    if (modGdiplus::GetPixelFormatValue(image, format) != 0) return;
    GpImage clone = 0;
    if (modGdiplus::CloneImageArea(image, nXsrc - 1, nYsrc - 1, nWidth, nHeight, format, clone) !=
        0)
        return;
    (void)modGdiplus::CopyImageToClipboard(clone);
    GdipDisposeImage(clone);
}

float LumViewer::GetWidthMM() {
    float r = m->horizontal_resolution;
    return r > 0 ? float(m->image_width / double(r) * 25.4) : 0.0f;
}

float LumViewer::GetHeightMM() {
    float r = m->vertical_resolution;
    return r > 0 ? float(m->image_height / double(r) * 25.4) : 0.0f;
}

void LumViewer::SetHttpTransfertBufferSize(int32_t nBuffersize) {
    m->http_buffer_size = nBuffersize;
}
void LumViewer::SetFtpPassiveMode(bool bPassiveMode) {
    m->ftp_passive = bPassiveMode;
}
