// GdipBitmapLockBits / GdipBitmapUnlockBits.
//
// A lock in the frame's own format whose rectangle starts on a byte boundary hands out the
// frame's rows in place. Any other lock goes through a buffer: ours, or the caller's with
// ImageLockModeUserInputBuf. The buffer is filled (converted) at lock time for read modes
// and converted back into the frame at unlock for write modes.
#include <algorithm>
#include <map>
#include <memory>
#include <new>

#include "platform/gdiplus/pixels_p.h"

using namespace gdip;

namespace {

constexpr UINT kModeMask = ImageLockModeRead | ImageLockModeWrite | ImageLockModeUserInputBuf;

struct LockRecord {
    size_t frame = 0;
    GpRect rect;
    UINT flags = 0;
    PixelFormat format = 0;
    BYTE* scan0 = nullptr;  // what the caller got: in the frame, in `buffer`, or its own
    int32_t stride = 0;
    bool direct = false;
    std::unique_ptr<BYTE[]> buffer;  // not zeroed when a read fills it anyway
    std::vector<ARGB> palette;       // of the locked format when it is indexed
};

// Outstanding locks of the thread, by bitmap handle. A bitmap disposed while locked leaves
// a record behind; it is dropped at the next lock call.
std::map<GpBitmap, LockRecord>& locks() {
    thread_local std::map<GpBitmap, LockRecord> table;
    return table;
}

void drop_stale_locks() {
    std::erase_if(locks(), [](const auto& kv) { return find_bitmap(kv.first) == nullptr; });
}

// The buffer view of a lock, and the frame rectangle it stands for.
PixelView buffer_view(const LockRecord& r) {
    return {r.scan0, r.rect.Width, r.rect.Height, r.stride, r.format, r.palette, 0};
}
PixelView frame_rect_view(Frame& f, const GpRect& rect) {
    PixelView v = frame_view(f);
    v.scan0 = f.row(rect.Y);
    v.x0 = rect.X;
    v.width = rect.Width;
    v.height = rect.Height;
    return v;
}

bool can_lock_in_place(const Frame& f, const GpRect& rect, PixelFormat format, UINT flags) {
    return format == f.format && !(flags & ImageLockModeUserInputBuf) &&
           (int64_t(rect.X) * pixel_format_bits(format)) % 8 == 0;
}

// Sets up where the caller's pixels live; InvalidParameter for a bad caller buffer.
GpStatus place_pixels(Frame& f, const BitmapData& data, LockRecord& r) {
    auto row = row_bytes(r.rect.Width, r.format);
    if (!row) return Gdiplus::InvalidParameter;
    if (r.direct) {
        r.scan0 = f.row(r.rect.Y) + int64_t(r.rect.X) * pixel_format_bits(r.format) / 8;
        r.stride = f.stride;
        return Gdiplus::Ok;
    }
    if (r.flags & ImageLockModeUserInputBuf) {
        if (!data.Scan0 || std::abs(int64_t(data.Stride)) < *row) return Gdiplus::InvalidParameter;
        if ((data.Width && data.Width < UINT(r.rect.Width)) ||
            (data.Height && data.Height < UINT(r.rect.Height)))
            return Gdiplus::InvalidParameter;
        r.scan0 = static_cast<BYTE*>(data.Scan0);
        r.stride = data.Stride;
        return Gdiplus::Ok;
    }
    auto stride = aligned_stride(r.rect.Width, r.format);
    auto bytes = stride ? buffer_size(r.rect.Height, *stride) : std::nullopt;
    if (!bytes) return Gdiplus::OutOfMemory;
    try {
        r.buffer = std::make_unique_for_overwrite<BYTE[]>(*bytes);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
    // A read overwrites every byte, except the unused bits of sub-byte rows: zero those too.
    if (!(r.flags & ImageLockModeRead) || pixel_format_bits(r.format) < 8)
        std::fill_n(r.buffer.get(), *bytes, BYTE(0));
    r.scan0 = r.buffer.get();
    r.stride = *stride;
    return Gdiplus::Ok;
}

}  // namespace

GpStatus GdipBitmapLockBits(GpBitmap bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                            BitmapData* data) {
    Image* img = find_bitmap(bitmap);  // metafiles cannot be locked
    if (!img || !data || (flags & ~kModeMask) ||
        !(flags & (ImageLockModeRead | ImageLockModeWrite)))
        return Gdiplus::InvalidParameter;
    drop_stale_locks();
    if (is_locked(*img) || locks().count(bitmap)) return Gdiplus::WrongState;
    Frame& f = img->frame();
    if (format == PixelFormatDontCare)
        format = (flags & ImageLockModeUserInputBuf) ? data->PixelFormat : f.format;
    if (!find_pixel_format(format)) return Gdiplus::InvalidParameter;

    LockRecord r;
    r.frame = img->active;
    r.rect = rect ? *rect : GpRect{0, 0, f.width, f.height};
    if (!rect_inside(r.rect, f)) return Gdiplus::InvalidParameter;
    r.flags = flags;
    r.format = format;
    r.direct = can_lock_in_place(f, r.rect, format, flags);
    if (is_indexed(format)) r.palette = palette_for(f, format);
    if (GpStatus s = place_pixels(f, *data, r); s != Gdiplus::Ok) return s;

    if (!r.direct && (flags & ImageLockModeRead)) {
        if (GpStatus s = convert_pixels(as_const(frame_rect_view(f, r.rect)), buffer_view(r));
            s != Gdiplus::Ok)
            return s;
    }
    data->Width = UINT(r.rect.Width);
    data->Height = UINT(r.rect.Height);
    data->Stride = r.stride;
    data->PixelFormat = format;
    data->Scan0 = r.scan0;
    data->Reserved = bitmap;
    locks()[bitmap] = std::move(r);
    img->lock_count = 1;
    return Gdiplus::Ok;
}

GpStatus GdipBitmapUnlockBits(GpBitmap bitmap, BitmapData* data) {
    Image* img = find_bitmap(bitmap);
    if (!img || !data) return Gdiplus::InvalidParameter;
    auto it = locks().find(bitmap);
    if (it == locks().end()) return Gdiplus::WrongState;
    LockRecord r = std::move(it->second);
    locks().erase(it);
    img->lock_count = 0;
    if (r.direct || !(r.flags & ImageLockModeWrite) || r.frame >= img->frames.size())
        return Gdiplus::Ok;
    Frame& f = img->frames[r.frame];
    std::vector<ARGB> frame_palette;
    PixelView target = frame_rect_view(f, r.rect);
    if (is_indexed(f.format) && f.palette.empty()) {
        frame_palette = default_palette(f.format);
        target.palette = frame_palette;
    }
    return convert_pixels(as_const(buffer_view(r)), target);
}
