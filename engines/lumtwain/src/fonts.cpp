#include "fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <mutex>

namespace lumtwain {
namespace {

// The file of an installed face of `family` in `style`, or empty. FcFontList only lists
// faces that exist, so a substitute family is never taken for the one asked for.
std::string find_face(FcConfig* config, const char* family, const char* style) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* set = FcFontList(config, pattern, objects);
    std::string file;
    FcChar8* path = nullptr;
    if (set && set->nfont > 0 &&
        FcPatternGetString(set->fonts[0], FC_FILE, 0, &path) == FcResultMatch)
        file = reinterpret_cast<const char*>(path);
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return file;
}

int round_px(FT_Pos v) {
    return int((v + 32) >> 6);  // 26.6 fixed point
}

}  // namespace

const FontFiles& LiberationSans() {
    static FontFiles files;
    static std::once_flag once;
    std::call_once(once, [] {
        // A configuration of our own, gone once the files are known: the library keeps no
        // fontconfig state behind.
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (!config) return;
        files.regular = find_face(config, "Liberation Sans", "Regular");
        files.bold = find_face(config, "Liberation Sans", "Bold");
        if (files.bold.empty()) files.bold = files.regular;
        FcConfigDestroy(config);
    });
    return files;
}

struct Font::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Font::Font(const std::string& file, double points, double dpi_x, double dpi_y)
    : m_points(points), m_dpi_x(dpi_x), m_dpi_y(dpi_y) {
    auto impl = std::make_unique<Impl>();
    FT_UInt hres = FT_UInt(std::lround(std::max(1.0, dpi_x)));
    FT_UInt vres = FT_UInt(std::lround(std::max(1.0, dpi_y)));
    if (!file.empty() && FT_Init_FreeType(&impl->library) == 0 &&
        FT_New_Face(impl->library, file.c_str(), 0, &impl->face) == 0 &&
        FT_Set_Char_Size(impl->face, 0, FT_F26Dot6(std::lround(points * 64)), hres, vres) == 0) {
        m_ascent = round_px(impl->face->size->metrics.ascender);
        m_line = round_px(impl->face->size->metrics.height);
        m_impl = std::move(impl);
        return;
    }
    // No font: boxes of roughly Liberation Sans's proportions.
    m_ascent = int(std::lround(points / 72.0 * dpi_y * 0.905));
    m_line = int(std::lround(points / 72.0 * dpi_y * 1.15));
}

Font::~Font() = default;

const Glyph& Font::glyph(char32_t c) {
    auto it = m_cache.find(c);
    if (it != m_cache.end()) return it->second;
    Glyph g;
    if (m_impl && FT_Load_Char(m_impl->face, FT_ULong(c), FT_LOAD_RENDER) == 0) {
        FT_GlyphSlot slot = m_impl->face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        g.width = int(bm.width);
        g.rows = int(bm.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = round_px(slot->advance.x);
        g.coverage.resize(size_t(g.width) * size_t(g.rows));
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x)
                g.coverage[size_t(y) * size_t(g.width) + size_t(x)] =
                    bm.buffer[ptrdiff_t(y) * bm.pitch + x];
    } else if (!m_impl) {
        double em_x = m_points / 72.0 * m_dpi_x, em_y = m_points / 72.0 * m_dpi_y;
        g.advance = int(std::lround(em_x * (c == ' ' ? 0.28 : 0.56)));
        if (c != ' ') {
            g.width = std::max(1, int(em_x * 0.5));
            g.rows = std::max(1, int(em_y * 0.52));
            g.top = g.rows;
            g.coverage.assign(size_t(g.width) * size_t(g.rows), 255);
        }
    }
    return m_cache.emplace(c, std::move(g)).first->second;
}

int Font::text_width(const std::string& text) {
    int w = 0;
    for (unsigned char c : text) w += glyph(c).advance;
    return w;
}

}  // namespace lumtwain
