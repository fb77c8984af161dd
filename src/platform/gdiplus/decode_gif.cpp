// GIF through giflib, every frame. One frame: 8bppIndexed at the logical screen size (outside
// the frame rectangle the transparent index, else the background index). Several frames: each
// composed onto the logical screen as 32bppARGB, starting from transparent black:
//
//   disposal 0, 1   leave the frame in place
//   disposal 2      clear its rectangle to transparent before the next frame
//   disposal 3      restore the screen as it was before the frame
//
// A first frame reaching past the logical screen (or a screen of size 0) widens the screen;
// later frames are clipped to it. Delays (1/100 s) come from each frame's graphic control
// extension; the loop count from the NETSCAPE2.0 block (1 when there is none).
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/gdiplus/codecs_p.h"

namespace gdip::codec {
namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int read_fn(GifFileType* gif, GifByteType* out, int len) {
    auto* in = static_cast<Input*>(gif->UserData);
    size_t k = std::min<size_t>(size_t(std::max(len, 0)), in->size - in->pos);
    std::memcpy(out, in->data + in->pos, k);
    in->pos += k;
    return int(k);
}

struct GifCloser {
    void operator()(GifFileType* g) const {
        int err = 0;
        DGifCloseFile(g, &err);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

struct Control {  // the graphic control extension that applies to the next frame
    int transparent = -1;
    int disposal = 0;
    int delay = 0;
};

// One decoded frame, clipped to the screen.
struct RawFrame {
    int32_t x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<uint8_t> indices;  // w × h
    std::vector<uint8_t> decoded;  // per row: 1 when the row was read
    std::vector<ARGB> palette;
    Control control;
};

std::vector<ARGB> colour_map(const ColorMapObject* map) {
    if (!map || !map->Colors || map->ColorCount <= 0) return grey_palette(256);
    std::vector<ARGB> p(size_t(std::min(map->ColorCount, 256)));
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = argb(255, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    return p;
}

class GifDecoder {
  public:
    GifDecoder(GifFileType* gif, size_t input) : m_gif(gif), m_budget(input, Expansion::Lzw) {}
    [[nodiscard]] GpStatus run(Image& image);

  private:
    [[nodiscard]] GpStatus read_frame(bool* stop);
    void read_extension(int code, GifByteType* ext);
    [[nodiscard]] GpStatus compose(const RawFrame& raw);
    [[nodiscard]] GpStatus single(const RawFrame& raw);

    GifFileType* m_gif;
    FrameBudget m_budget;
    int32_t m_sw = 0, m_sh = 0;
    Control m_control;
    int m_loops = 1;
    bool m_first_seen = false;
    RawFrame m_first;              // kept until a second frame shows the GIF is animated
    std::vector<Frame> m_out;      // composed frames
    std::vector<uint8_t> m_saved;  // screen before a disposal-3 frame
    struct Rect {
        int32_t x0, y0, w, h;
    } m_prev{};  // rectangle and disposal of the last composed frame
    int m_prev_disposal = 0;
    std::vector<int> m_delays;
};

GpStatus GifDecoder::read_frame(bool* stop) {
    if (DGifGetImageDesc(m_gif) == GIF_ERROR) return *stop = true, Gdiplus::Ok;
    const GifImageDesc& d = m_gif->Image;
    if (d.Width <= 0 || d.Height <= 0) return *stop = true, Gdiplus::Ok;
    if (!m_first_seen) {  // the first frame may widen the screen
        m_sw = std::max(m_sw, d.Left + d.Width);
        m_sh = std::max(m_sh, d.Top + d.Height);
    }
    RawFrame raw;
    raw.control = std::exchange(m_control, Control{});
    raw.palette = colour_map(d.ColorMap ? d.ColorMap : m_gif->SColorMap);
    raw.x0 = std::min(d.Left, m_sw);
    raw.y0 = std::min(d.Top, m_sh);
    raw.w = std::min(d.Left + d.Width, m_sw) - raw.x0;
    raw.h = std::min(d.Top + d.Height, m_sh) - raw.y0;
    if (GpStatus st = m_budget.check(size_t(raw.w) * size_t(raw.h)); st != Gdiplus::Ok) return st;
    raw.indices.assign(size_t(raw.w) * size_t(raw.h), 0);
    raw.decoded.assign(size_t(raw.h), 0);
    std::vector<GifPixelType> line(size_t(d.Width));
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes && !*stop; ++pass) {
        int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
        for (int r = start; r < d.Height; r += step) {
            if (DGifGetLine(m_gif, line.data(), d.Width) == GIF_ERROR) {
                *stop = true;  // truncated: keep the rows read so far
                break;
            }
            int y = d.Top + r - raw.y0;
            if (y < 0 || y >= raw.h || raw.w <= 0) continue;
            std::memcpy(&raw.indices[size_t(y) * size_t(raw.w)], line.data() + (raw.x0 - d.Left),
                        size_t(raw.w));
            raw.decoded[size_t(y)] = 1;
        }
    }
    m_delays.push_back(raw.control.delay);
    if (!m_first_seen) {
        m_first_seen = true;
        m_first = std::move(raw);
        return Gdiplus::Ok;
    }
    if (m_out.empty())
        if (GpStatus st = compose(m_first); st != Gdiplus::Ok) return st;
    return compose(raw);
}

void GifDecoder::read_extension(int code, GifByteType* ext) {
    if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) {
            m_control.transparent = gcb.TransparentColor;
            m_control.disposal = gcb.DisposalMode;
            m_control.delay = gcb.DelayTime;
        }
    }
    bool netscape = code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] == 11 &&
                    (std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0 ||
                     std::memcmp(ext + 1, "ANIMEXTS1.0", 11) == 0);
    while (ext) {
        if (DGifGetExtensionNext(m_gif, &ext) == GIF_ERROR) return;
        if (netscape && ext && ext[0] >= 3 && ext[1] == 1) {
            m_loops = ext[2] | (ext[3] << 8);
            netscape = false;
        }
    }
}

GpStatus GifDecoder::compose(const RawFrame& raw) {
    Frame f;
    if (GpStatus st = m_budget.new_frame(m_sw, m_sh, PixelFormat32bppARGB, &f); st != Gdiplus::Ok)
        return st;
    const size_t row_bytes = size_t(m_sw) * 4;
    if (!m_out.empty()) {  // start from the previous screen, then undo its frame's disposal
        const Frame& prev = m_out.back();
        for (int32_t y = 0; y < m_sh; ++y) std::memcpy(f.row(y), prev.row(y), row_bytes);
        if (m_prev_disposal == 2)
            for (int32_t y = m_prev.y0; y < m_prev.y0 + m_prev.h; ++y)
                std::memset(f.row(y) + size_t(m_prev.x0) * 4, 0, size_t(m_prev.w) * 4);
        if (m_prev_disposal == 3 && !m_saved.empty())
            for (int32_t y = 0; y < m_sh; ++y)
                std::memcpy(f.row(y), &m_saved[size_t(y) * row_bytes], row_bytes);
    }
    if (raw.control.disposal == 3) {
        m_saved.resize(row_bytes * size_t(m_sh));
        for (int32_t y = 0; y < m_sh; ++y)
            std::memcpy(&m_saved[size_t(y) * row_bytes], f.row(y), row_bytes);
    }
    for (int32_t y = 0; y < raw.h; ++y) {
        if (!raw.decoded[size_t(y)]) continue;
        auto* dst = reinterpret_cast<uint8_t*>(f.row(raw.y0 + y)) + size_t(raw.x0) * 4;
        const uint8_t* src = &raw.indices[size_t(y) * size_t(raw.w)];
        for (int32_t x = 0; x < raw.w; ++x, dst += 4) {
            int i = src[x];
            if (i == raw.control.transparent) continue;
            ARGB c = size_t(i) < raw.palette.size() ? raw.palette[size_t(i)] : 0xFF000000u;
            dst[0] = uint8_t(c), dst[1] = uint8_t(c >> 8), dst[2] = uint8_t(c >> 16), dst[3] = 0xFF;
        }
    }
    m_prev = {raw.x0, raw.y0, raw.w, raw.h};
    m_prev_disposal = raw.control.disposal;
    m_out.push_back(std::move(f));
    return Gdiplus::Ok;
}

GpStatus GifDecoder::single(const RawFrame& raw) {
    Frame f;
    if (GpStatus st = m_budget.new_frame(m_sw, m_sh, PixelFormat8bppIndexed, &f); st != Gdiplus::Ok)
        return st;
    std::vector<ARGB> palette = raw.palette;
    int fill = raw.control.transparent >= 0 ? raw.control.transparent : m_gif->SBackGroundColor;
    if (size_t(fill) >= palette.size()) fill = 0;
    if (raw.control.transparent >= 0 && size_t(raw.control.transparent) < palette.size())
        palette[size_t(raw.control.transparent)] &= 0x00FFFFFFu;
    for (int32_t y = 0; y < m_sh; ++y) std::memset(f.row(y), fill, size_t(m_sw));
    for (int32_t y = 0; y < raw.h; ++y)
        if (raw.decoded[size_t(y)])
            std::memcpy(f.row(raw.y0 + y) + raw.x0, &raw.indices[size_t(y) * size_t(raw.w)],
                        size_t(raw.w));
    set_palette(f, std::move(palette));
    m_out.push_back(std::move(f));
    return Gdiplus::Ok;
}

GpStatus GifDecoder::run(Image& image) {
    m_sw = m_gif->SWidth;
    m_sh = m_gif->SHeight;
    bool stop = false;
    while (!stop) {
        GifRecordType type;
        if (DGifGetRecordType(m_gif, &type) == GIF_ERROR) break;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (GpStatus st = read_frame(&stop); st != Gdiplus::Ok) return st;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(m_gif, &code, &ext) == GIF_ERROR) break;
            read_extension(code, ext);
        } else if (type == TERMINATE_RECORD_TYPE) {
            break;
        }
    }
    if (!m_first_seen) return Gdiplus::GenericError;
    if (m_out.empty())
        if (GpStatus st = single(m_first); st != Gdiplus::Ok) return st;
    image.frames = std::move(m_out);
    image.frame_dimension = FrameDimensionTime;
    std::vector<uint32_t> delays(m_delays.begin(), m_delays.end());
    add_longs(image, PropertyTagFrameDelay, delays);
    add_short(image, PropertyTagLoopCount, uint16_t(m_loops));
    if (const ColorMapObject* map = m_gif->SColorMap; map && map->Colors && map->ColorCount > 0) {
        std::vector<BYTE> rgb;
        for (int i = 0; i < map->ColorCount; ++i)
            rgb.insert(rgb.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
        add_property(image, 0x5102, PropertyTagTypeByte, std::move(rgb));
    }
    add_property(image, 0x5103, PropertyTagTypeByte, {uint8_t(m_gif->SBackGroundColor)});
    if (m_first.control.transparent >= 0)
        add_property(image, 0x5104, PropertyTagTypeByte, {uint8_t(m_first.control.transparent)});
    return Gdiplus::Ok;
}

}  // namespace

bool sniff_gif(const uint8_t* p, size_t n) {
    return n >= 6 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0);
}

GpStatus decode_gif(const uint8_t* p, size_t n, Image& image) {
    Input in{p, n, 0};
    int err = 0;
    GifPtr gif(DGifOpen(&in, read_fn, &err));
    if (!gif) return err == D_GIF_ERR_NOT_ENOUGH_MEM ? Gdiplus::OutOfMemory : Gdiplus::GenericError;
    auto decoder = std::make_unique<GifDecoder>(gif.get(), n);
    return decoder->run(image);
}

}  // namespace gdip::codec
