// Loading with colour management: an image whose file carries an ICC profile (JPEG APP2,
// PNG iCCP, TIFF tag 34675, all decoded as the property item 0x8773) is converted from that
// profile to sRGB through lcms2, perceptual intent. RGB profiles convert direct-colour
// frames and colour palettes; grey profiles convert grey palettes. A profile lcms2 cannot
// use, or one whose colour space does not match the pixels (a CMYK profile on the
// converted RGB of a CMYK JPEG), leaves the pixels as decoded, as the platform ignores
// such profiles. Property items stay as the file had them.
#include <lcms2.h>

#include <memory>

#include "platform/gdiplus/codecs_p.h"
#include "platform/gdiplus/pixels_p.h"

namespace {

using namespace gdip;

constexpr PROPID kIccProfile = 0x8773;

struct ContextDeleter {
    void operator()(void* c) const { cmsDeleteContext(cmsContext(c)); }
};
struct ProfileDeleter {
    void operator()(void* p) const { cmsCloseProfile(cmsHPROFILE(p)); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(cmsHTRANSFORM(t)); }
};
using Context = std::unique_ptr<void, ContextDeleter>;
using Profile = std::unique_ptr<void, ProfileDeleter>;
using Transform = std::unique_ptr<void, TransformDeleter>;

void log_lcms(cmsContext, cmsUInt32Number, const char* text) {
    win::DebugLog(std::string("lcms2: ") + text);
}

// The lcms2 layout of a direct-colour format (flags for alpha), 0 when not converted.
cmsUInt32Number layout_of(PixelFormat format, cmsUInt32Number* flags) {
    *flags = 0;
    switch (format) {
        case PixelFormat24bppRGB:
            return TYPE_BGR_8;
        case PixelFormat48bppRGB:
            return TYPE_BGR_16;
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            *flags = cmsFLAGS_COPY_ALPHA;
            return TYPE_BGRA_8;
        case PixelFormat32bppPARGB:
            *flags = cmsFLAGS_COPY_ALPHA;
            return TYPE_BGRA_8_PREMUL;
        case PixelFormat64bppARGB:
            *flags = cmsFLAGS_COPY_ALPHA;
            return TYPE_BGRA_16;
        case PixelFormat64bppPARGB:
            *flags = cmsFLAGS_COPY_ALPHA;
            return TYPE_BGRA_16_PREMUL;
        default:
            return 0;
    }
}

class SrgbConverter {
  public:
    SrgbConverter(const std::vector<BYTE>& icc) : m_context(cmsCreateContext(nullptr, nullptr)) {
        if (!m_context) return;
        cmsSetLogErrorHandlerTHR(ctx(), log_lcms);
        m_source.reset(cmsOpenProfileFromMemTHR(ctx(), icc.data(), cmsUInt32Number(icc.size())));
        m_srgb.reset(cmsCreate_sRGBProfileTHR(ctx()));
        if (m_source) m_space = cmsGetColorSpace(m_source.get());
    }

    // Converts one frame in place; false when it is left as it was.
    bool convert(Frame& f) {
        if (!m_source || !m_srgb) return false;
        if (is_indexed(f.format)) return convert_palette(f);
        cmsUInt32Number flags = 0, layout = layout_of(f.format, &flags);
        if (layout == 0 || m_space != cmsSigRgbData) return false;
        Transform t = make(layout, layout, flags);
        if (!t) return false;
        for (int32_t y = 0; y < f.height; ++y)
            cmsDoTransform(t.get(), f.row(y), f.row(y), cmsUInt32Number(f.width));
        return true;
    }

  private:
    cmsContext ctx() const { return cmsContext(m_context.get()); }
    Transform make(cmsUInt32Number in, cmsUInt32Number out, cmsUInt32Number flags) {
        return Transform(cmsCreateTransformTHR(ctx(), m_source.get(), in, m_srgb.get(), out,
                                               INTENT_PERCEPTUAL, flags));
    }

    // Palette entries are ARGB values: blue, green, red, alpha in memory.
    bool convert_palette(Frame& f) {
        if (f.palette.empty()) return false;
        if (m_space == cmsSigRgbData) {
            Transform t = make(TYPE_BGRA_8, TYPE_BGRA_8, cmsFLAGS_COPY_ALPHA);
            if (!t) return false;
            cmsDoTransform(t.get(), f.palette.data(), f.palette.data(),
                           cmsUInt32Number(f.palette.size()));
        } else if (m_space == cmsSigGrayData && (f.palette_flags & PaletteFlagsGrayScale)) {
            Transform t = make(TYPE_GRAY_8, TYPE_BGR_8, 0);
            if (!t) return false;
            for (ARGB& c : f.palette) {
                BYTE grey = BYTE(c), bgr[3];
                cmsDoTransform(t.get(), &grey, bgr, 1);
                c = (c & 0xFF000000u) | ARGB(bgr[2]) << 16 | ARGB(bgr[1]) << 8 | bgr[0];
            }
        } else {
            return false;
        }
        codec::set_palette(f, std::move(f.palette));
        return true;
    }

    Context m_context;
    Profile m_source, m_srgb;
    cmsColorSpaceSignature m_space = cmsSigRgbData;
};

const std::vector<BYTE>* profile_of(const std::vector<PropertyData>& items) {
    for (const auto& p : items)
        if (p.id == kIccProfile && !p.value.empty()) return &p.value;
    return nullptr;
}

void convert_to_srgb(Image& img) {
    const std::vector<BYTE>* shared = profile_of(img.properties);
    for (Frame& f : img.frames) {
        const std::vector<BYTE>* icc = f.has_properties ? profile_of(f.properties) : nullptr;
        if (!icc) icc = shared;
        if (!icc || f.stride == 0 || !f.owns_pixels()) continue;
        if (!SrgbConverter(*icc).convert(f))
            win::DebugLog("colour management: the embedded profile was not applied");
    }
}

GpStatus load_icm(const char* filename, GpBitmap* bitmap) {
    GpStatus s = GdipCreateBitmapFromFile(filename, bitmap);
    if (s != Gdiplus::Ok) return s;
    if (Image* img = find_bitmap(*bitmap)) {
        GpStatus c = guarded([&] {
            convert_to_srgb(*img);
            return Gdiplus::Ok;
        });
        if (c != Gdiplus::Ok) {
            GdipDisposeImage(*bitmap);
            *bitmap = 0;
            return c;
        }
    }
    return s;
}

}  // namespace

GpStatus GdipCreateBitmapFromFileICM(const char* filename, GpBitmap* bitmap) {
    return load_icm(filename, bitmap);
}

GpStatus GdipLoadImageFromFileICM(const char* filename, GpImage* image) {
    return load_icm(filename, image);
}
